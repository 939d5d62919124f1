#pragma once

#include <QString>

#include <algorithm>
#include <cmath>
#include <memory>

class QObject;
class QWidget;

namespace vimra {

// Reports that reach the editor after a call has returned.
class MediaPlayerListener {
public:
    virtual ~MediaPlayerListener() = default;
    // The back end failed after a successful open (a missing decoder, say).
    virtual void playbackError(const QString& text) {}
    virtual void mediaEnded() {}
};

// Plays one media file for the expression editor. Times are seconds.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;

    // Error text, empty on success. The media starts stopped at 0.
    virtual QString open(const QString& path) = 0;
    virtual void Run() = 0;
    // The current frame stays shown.
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    // While paused or stopped this answers exactly the value last set.
    virtual double CurrentPosition() const = 0;
    virtual void setCurrentPosition(double seconds) = 0;
    virtual double Duration() const = 0;
    // Seconds per frame; 0 when there is no video or its rate is unknown.
    virtual double AvgTimePerFrame() const = 0;
    virtual bool hasPicture() const = 0;
    // The one door to a picture: the factory's video output or a QVideoSink.
    virtual void setVideoOutput(QObject* output) = 0;
    virtual void setListener(MediaPlayerListener* listener) = 0;
    // Stops and lets go of the media; no report arrives afterwards.
    virtual void release() = 0;
};

// The start of the last frame of media `duration` seconds long: where playing
// into the end rests, and the frame the time code names there.
inline double lastFrameStart(double duration, double avgTimePerFrame)
{
    if (duration <= 0 || avgTimePerFrame <= 0)
        return duration > 0 ? duration : 0.0;
    // The nudge keeps a length of whole frames from counting one more.
    const double frames = std::ceil(duration / avgTimePerFrame - 1e-6);
    return std::max(0.0, frames - 1) * avgTimePerFrame;
}

class MediaPlayerFactory {
public:
    virtual ~MediaPlayerFactory() = default;
    virtual std::unique_ptr<MediaPlayer> create() = 0;
    // The widget, a child of `parent`, that shows the picture of a player
    // made here; nullptr when the players show none.
    virtual QWidget* createVideoOutput(QWidget* parent) { return nullptr; }
};

// Makes players that open nothing, so that an editor without an installed
// player opens without media.
class NoMediaPlayerFactory : public MediaPlayerFactory {
public:
    std::unique_ptr<MediaPlayer> create() override;
};

// The factory in force; never null.
MediaPlayerFactory& mediaPlayerFactory();
// Installs `f` (nullptr restores the default). The caller keeps ownership.
void setMediaPlayerFactory(MediaPlayerFactory* f);

} // namespace vimra
