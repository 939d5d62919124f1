#include "platform/MediaPlayer.h"

#include "platform/Installed.h"

namespace vimra {

namespace {

class NoMediaPlayer : public MediaPlayer {
public:
    QString open(const QString&) override { return QStringLiteral("No media player is available."); }
    void Run() override {}
    void Pause() override {}
    void Stop() override {}
    double CurrentPosition() const override { return 0; }
    void setCurrentPosition(double) override {}
    double Duration() const override { return 0; }
    double AvgTimePerFrame() const override { return 0; }
    bool hasPicture() const override { return false; }
    void setVideoOutput(QObject*) override {}
    void setListener(MediaPlayerListener*) override {}
    void release() override {}
};

} // namespace

std::unique_ptr<MediaPlayer> NoMediaPlayerFactory::create() { return std::make_unique<NoMediaPlayer>(); }

MediaPlayerFactory& mediaPlayerFactory() { return Installed<MediaPlayerFactory, NoMediaPlayerFactory>::get(); }

void setMediaPlayerFactory(MediaPlayerFactory* f) { Installed<MediaPlayerFactory, NoMediaPlayerFactory>::set(f); }

} // namespace vimra
