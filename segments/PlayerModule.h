#pragma once

#include "platform/MediaPlayer.h"

#include <string>

namespace vimra {

// The editor's player on Qt Multimedia, kept in a module of its own so that
// the program loads Qt Multimedia only when a media file is first opened.
// The module is loaded then and kept loaded; without it nothing plays, which
// is said once on the program's error output.
class PlayerModuleFactory : public MediaPlayerFactory {
public:
    // The module built with the program.
    PlayerModuleFactory();
    explicit PlayerModuleFactory(std::string modulePath);
    PlayerModuleFactory(const PlayerModuleFactory&) = delete;
    PlayerModuleFactory& operator=(const PlayerModuleFactory&) = delete;

    std::unique_ptr<MediaPlayer> create() override;
    QWidget* createVideoOutput(QWidget* parent) override;

private:
    MediaPlayerFactory& loaded();

    std::string m_modulePath;
    MediaPlayerFactory* m_loaded = nullptr;
    NoMediaPlayerFactory m_none;
};

} // namespace vimra
