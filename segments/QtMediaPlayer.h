#pragma once

#include "platform/MediaPlayer.h"

#include <QObject>

#include <memory>
#include <optional>

class QAudioOutput;
class QMediaPlayer;

namespace vimra {

// The editor's player on Qt Multimedia. Opening asks the media detector for
// the length and the frame rate, which it answers at once; the media itself
// loads later, so the first seek waits for it.
class QtMediaPlayer : public QObject, public MediaPlayer {
    Q_OBJECT
public:
    QtMediaPlayer();
    ~QtMediaPlayer() override;

    // False when Qt Multimedia has no back end to play with.
    static bool backendAvailable();

    QString open(const QString& path) override;
    void Run() override;
    void Pause() override;
    void Stop() override;
    double CurrentPosition() const override;
    void setCurrentPosition(double seconds) override;
    double Duration() const override { return m_duration; }
    double AvgTimePerFrame() const override { return m_avgTimePerFrame; }
    bool hasPicture() const override { return m_picture; }
    void setVideoOutput(QObject* output) override;
    void setListener(MediaPlayerListener* listener) override { m_listener = listener; }
    void release() override;

private:
    enum class State { Stopped, Paused, Playing };
    void onLoaded();
    void applyPendingSeek();
    void onError(const QString& text);

    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
    QObject* m_output = nullptr;
    MediaPlayerListener* m_listener = nullptr;
    double m_duration = 0;
    double m_avgTimePerFrame = 0;
    bool m_picture = false;
    bool m_loaded = false;
    bool m_failed = false;
    State m_state = State::Stopped;
    // QMediaPlayer keeps whole milliseconds and moves later: while not
    // playing, the position is the one last set, exactly.
    double m_position = 0;
    std::optional<double> m_pendingSeek;
    // A seek during playback answers its target until the player has moved.
    bool m_seekInFlight = false;
};

class QtMediaPlayerFactory : public MediaPlayerFactory {
public:
    QtMediaPlayerFactory();
    std::unique_ptr<MediaPlayer> create() override;
};

} // namespace vimra
