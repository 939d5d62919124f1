#include "segments/PlayerModule.h"

#include "platform/MediaDetector.h"
#include "platform/Module.h"

namespace vimra {

PlayerModuleFactory::PlayerModuleFactory() : PlayerModuleFactory(VIMRA_PLAYER_MODULE) {}

PlayerModuleFactory::PlayerModuleFactory(std::string modulePath) : m_modulePath(std::move(modulePath)) {}

MediaPlayerFactory& PlayerModuleFactory::loaded()
{
    if (!m_loaded) {
        using Entry = MediaPlayerFactory* (*)(MediaDetector& (*)());
        const auto entry = reinterpret_cast<Entry>(
            moduleEntry(m_modulePath.c_str(), "vimraMediaPlayerFactory", "media files cannot be played"));
        m_loaded = entry ? entry(&mediaDetector) : &m_none;
    }
    return *m_loaded;
}

std::unique_ptr<MediaPlayer> PlayerModuleFactory::create() { return loaded().create(); }

QWidget* PlayerModuleFactory::createVideoOutput(QWidget* parent) { return loaded().createVideoOutput(parent); }

} // namespace vimra
