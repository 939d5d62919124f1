#pragma once

#include "platform/MediaDetector.h"
#include "platform/MediaPlayer.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QAudioOutput;
class QMediaPlayer;
class QTimer;
class QVideoFrame;

namespace vimra {

class FrameCheck;
struct FrameTap;
class StillPicture;
class VideoPicture;

// The editor's player on Qt Multimedia. Opening asks the media detector for
// the length and the frame rate, which it answers at once; the media itself
// loads later, so the first seek waits for it.
// The back end seeks to a nearby frame only, so while paused or stopped a
// video widget's place shows the frame of the position decoded exactly by
// the media detector; during playback the position is that of the frame
// the back end shows.
// The back end stops short of the end of some files (MPEG streams lose their
// start offset's worth at the end, and a seek near the end may land past
// their last frame): from there on the exact frames play on, without sound,
// to the last frame, where playing rests.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class State { Stopped, Paused, Playing };
    // The Qt player of the media file, made afresh after a failure.
    void makeBackend();
    void dropBackend();
    void onLoaded();
    void applyPendingSeek();
    void onError(const QString& text);
    // The back end reached the end of its stream.
    void onEnded();
    // The position at which the back end's playback stops.
    double backendEnd() const;
    // Plays the exact frames from `from` on to the last frame.
    void playTail(double from);
    void tailTick();
    // A picture decoded away from the window's thread: one the exact frames
    // play, or the still paused at.
    void onPicture(double at, const QImage& image);
    // False when the exact frames were not playing.
    bool stopTail();
    void restAtEnd();
    double lastFrame() const;
    // What the player keeps of a frame the back end showed: its times in
    // microseconds and, when asked for, a small picture of it.
    struct ShownFrame {
        qint64 start = -1;
        qint64 end = -1;
        QImage thumbnail;
        // The frame at the video picture's size; null without one.
        QImage picture;
        // The back end's seeks before it.
        quint64 seeks = 0;
    };
    friend struct FrameTap;
    void onFrameShown(const ShownFrame& frame);
    // Asks which frame the whole frame stamped `stamp`, whose small picture
    // is `thumbnail`, shows; the answer corrects the stamp offset. False
    // without a picture to look at: the next frame's is asked for.
    bool checkFrame(const QImage& thumbnail, double stamp);
    void onFrameChecked(quint64 serial, double stamp, qint64 frame);
    // The key frame a seek asks for to start playback at the frame starting at `at`.
    void onKeyFrame(double at, std::optional<double> key);
    // Asks the back end for `seconds` (a frame start) as the place playback starts.
    void seekBackend(double seconds);
    // Seeks the paused back end to the position of the still.
    void standBy();
    // Silences the back end while the frames before the start pass.
    void muteWhilePassing();
    // Judges a frame the back end shows at `at` while playback is to start at
    // m_startAt: true once it has; it may seek again.
    bool startReached(double at);
    // True when the end came of a seek to start playback, which then asks again.
    bool seekEndedTooLate();
    // The start of the frame showing at `seconds`.
    double frameStart(double seconds) const;
    // Shows the exact frame of the position while not playing, the back
    // end's picture while playing.
    void showStill();
    // False without a video widget to stand in for or without exact frames:
    // then the back end's own picture is all there is.
    bool showsStills() const;
    void showPlayback();
    // Leaves the picture played last showing, when it is the position's
    // frame, until the still decodes away from the window's thread; false
    // when the still is to show at once.
    bool showStillLater();
    // The size within which stills are decoded.
    QSize stillSize() const;

    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
    QObject* m_output = nullptr;
    QString m_path;
    MediaPlayerListener* m_listener = nullptr;
    double m_duration = 0;
    double m_avgTimePerFrame = 0;
    bool m_picture = false;
    // The video's native size.
    QSize m_pictureSize;
    bool m_loaded = false;
    // The back end failed or reached its end: Run makes it afresh.
    bool m_failed = false;
    // The back end's own length, counted from its own start; 0 until known.
    double m_backendLength = 0;
    State m_state = State::Stopped;
    // QMediaPlayer keeps whole milliseconds and moves later: while not
    // playing, the position is the one last set, exactly.
    double m_position = 0;
    std::optional<double> m_pendingSeek;
    // A seek during playback answers its target until the player has moved.
    bool m_seekInFlight = false;
    // The start of the frame the back end showed last during playback; < 0 for none yet.
    double m_shownAt = -1;
    // How the back end counts this file's times.
    FrameReader::PlayerTimes m_times;
    // Back-end frame stamp minus frame start, in seconds.
    double m_stampOffset = 0;
    // The stamp of the whole frame the back end showed last; < 0 for none since the last seek.
    double m_lastStamp = -1;
    // While set, playback is to start at this frame start: the back end
    // lands near it only, and frames before it are passed over.
    std::optional<double> m_startAt;
    // The time last asked of the back end, and the asks since Play that
    // landed before and after the start.
    double m_askedAt = 0;
    std::optional<double> m_earlyAsk;
    std::optional<double> m_lateAsk;
    int m_seeksToStart = 0;
    // The key frame the start decodes from, asked of the back end first.
    std::optional<double> m_keyAsk;
    // The last start whose key frame is known, with it, and the start whose
    // key frame is being looked for.
    std::optional<std::pair<double, std::optional<double>>> m_keyFor;
    std::optional<double> m_keyAskedFor;
    // The back end has shown its first frame.
    bool m_prerolled = false;
    // A frame has shown since the back end was last asked to seek.
    bool m_landed = false;
    std::unique_ptr<FrameCheck> m_check;
    // Numbers the checks; an answer to an older one than the last asked is late.
    quint64 m_checkSerial = 0;
    bool m_checkPending = false;
    QElapsedTimer m_checkAsked;
    // Since when the pictures after the last seek are like no frame of the file.
    QElapsedTimer m_unlikeSince;
    std::unique_ptr<FrameReader> m_frames;
    // The frame start the still shows.
    double m_stillAt = -1;
    QTimer* m_tail = nullptr;
    // Due once the position has rested while not playing.
    QTimer* m_standBy = nullptr;
    QElapsedTimer m_tailClock;
    double m_tailFrom = 0;
    // A picture for the exact frames playing is being decoded.
    bool m_tailPicturePending = false;
    // The frame start of the still being decoded for the place paused at.
    std::optional<double> m_stillAsked;
    QPointer<VideoPicture> m_videoWidget;
    QPointer<StillPicture> m_still;
    // Takes the back end's frames on its own thread; shared with the connection.
    std::shared_ptr<FrameTap> m_tap;
    QMetaObject::Connection m_tapConnection;
};

class QtMediaPlayerFactory : public MediaPlayerFactory {
public:
    QtMediaPlayerFactory();
    std::unique_ptr<MediaPlayer> create() override;
    // A video picture that fills its place whatever the video's shape.
    QWidget* createVideoOutput(QWidget* parent) override;
};

} // namespace vimra
