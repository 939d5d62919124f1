#include "segments/player/QtMediaPlayer.h"

#include "platform/MediaDetector.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QEvent>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <QWidget>

#include <cmath>

namespace vimra {

// Paints one decoded frame in the video widget's place, scaled as the video
// widget would scale it. A sibling, not a child: the video widget draws in a
// native window of its own that would cover anything inside it.
class StillPicture : public QWidget {
public:
    explicit StillPicture(QVideoWidget& video) : QWidget(video.parentWidget()), m_video(&video)
    {
        setObjectName(QStringLiteral("stillPicture"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

    QImage image;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        if (image.isNull())
            return;
        QRect target = rect();
        if (m_video && m_video->aspectRatioMode() != Qt::IgnoreAspectRatio) {
            const QSize scaled = image.size().scaled(size(), m_video->aspectRatioMode());
            target = QRect(QPoint(), scaled);
            target.moveCenter(rect().center());
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image);
    }

private:
    QPointer<QVideoWidget> m_video;
};

QtMediaPlayer::QtMediaPlayer() = default;

QtMediaPlayer::~QtMediaPlayer()
{
    release();
    delete m_still;
}

bool QtMediaPlayer::backendAvailable()
{
    QMediaPlayer probe;
    return probe.isAvailable();
}

QString QtMediaPlayer::open(const QString& path)
{
    release();
    if (!QFileInfo(path).isFile())
        return path + QStringLiteral(" not found");
    m_duration = mediaDetector().streamLength(path);
    if (m_duration <= 0)
        return QStringLiteral("%1 cannot be played: it holds no audio or video that can be read.").arg(path);
    m_picture = !mediaDetector().videoSize(path).isEmpty();
    const double rate = mediaDetector().frameRate(path);
    m_avgTimePerFrame = m_picture && rate > 0 ? 1.0 / rate : 0.0;
    if (m_picture)
        m_frames = mediaDetector().frameReader(path);

    m_path = path;
    makeBackend();
    return {};
}

void QtMediaPlayer::makeBackend()
{
    m_player = new QMediaPlayer(this);
    // An audio stream without an output leaves the back end's audio branch
    // unlinked, and now and then that stops the whole stream ("Internal data
    // stream error."). GStreamer's output falls back to a silent sink when no
    // sound device opens, so there is always one; other back ends get one
    // only when there is a device, as they may fail without.
    if (!QMediaDevices::audioOutputs().isEmpty() || qgetenv("QT_MEDIA_BACKEND") == "gstreamer") {
        m_audio = new QAudioOutput(m_player);
        m_player->setAudioOutput(m_audio);
    }
    if (m_output)
        m_player->setVideoOutput(m_output);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::LoadedMedia && !m_loaded)
            onLoaded();
        else if (status == QMediaPlayer::BufferedMedia)
            applyPendingSeek();
        else if (status == QMediaPlayer::EndOfMedia)
            onEnded();
    });
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 ms) {
        if (ms > 0)
            m_backendLength = ms / 1000.0;
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this] { m_seekInFlight = false; });
    // The back end ignores a seek until the paused media can seek.
    connect(m_player, &QMediaPlayer::seekableChanged, this, [this](bool seekable) {
        if (seekable)
            applyPendingSeek();
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& text) { onError(text); });
    m_player->setSource(QUrl::fromLocalFile(m_path));
}

void QtMediaPlayer::onLoaded()
{
    m_loaded = true;
    if (m_state == State::Paused)
        m_player->pause();
    else if (m_state == State::Playing)
        m_player->play();
    applyPendingSeek();
}

void QtMediaPlayer::applyPendingSeek()
{
    // The back end drops a seek made before the media can seek: the seek
    // waits until it can. While the still shows the picture the back end
    // need not follow every step (a seek of its own can take a third of a
    // second): it seeks when playing starts.
    if (!m_pendingSeek || !m_loaded || !m_player->isSeekable() || (showsStills() && m_state != State::Playing))
        return;
    m_seekInFlight = m_state == State::Playing;
    m_lastStamp = -1;
    m_player->setPosition(std::llround(*m_pendingSeek * 1000));
    m_pendingSeek.reset();
}

namespace {

// How far past its target a seek of the back end may land: a seek within this
// of the back end's end may find no frame before it ("No valid frames decoded
// before end of stream").
constexpr double kLateSeekReach = 2.0;
// A time built from a frame number lies within this of that frame's start.
constexpr double kNudge = 1e-6;

} // namespace

void QtMediaPlayer::onError(const QString& text)
{
    if (m_failed)
        return;
    m_position = CurrentPosition();
    m_failed = true;
    // Nothing shown from a place this near the back end's end is the end of
    // its stream, not a failure of the media: the exact frames play on.
    if (m_shownAt < 0 && m_position >= backendEnd() - kLateSeekReach) {
        if (m_state == State::Playing)
            playTail(m_position);
        return;
    }
    m_state = State::Paused;
    showStill();
    if (m_listener)
        m_listener->playbackError(text);
}

void QtMediaPlayer::onEnded()
{
    // Played again after its end the back end starts from the beginning
    // whatever it was asked: it is made afresh instead.
    const bool playing = m_state == State::Playing && !m_failed;
    const double reached = CurrentPosition() + (m_shownAt >= 0 ? m_avgTimePerFrame : 0.0);
    m_failed = true;
    if (playing)
        playTail(reached);
}

double QtMediaPlayer::backendEnd() const
{
    if (m_backendLength <= 0)
        return m_duration;
    // The back end counts from the file's own start: it stops that much early.
    const double offset = m_stampOffset ? *m_stampOffset : m_frames ? m_frames->startOffset() : 0.0;
    return m_backendLength - std::max(0.0, offset);
}

double QtMediaPlayer::lastFrame() const { return lastFrameStart(m_duration, m_avgTimePerFrame); }

void QtMediaPlayer::playTail(double from)
{
    m_state = State::Playing;
    m_position = frameStart(std::min(from, lastFrame()));
    if (m_position >= lastFrame() - kNudge) {
        restAtEnd();
        return;
    }
    if (!m_tail) {
        m_tail = new QTimer(this);
        m_tail->setTimerType(Qt::PreciseTimer);
        connect(m_tail, &QTimer::timeout, this, &QtMediaPlayer::tailTick);
    }
    m_tailFrom = m_position;
    m_tailClock.start();
    // Twice a frame, so that no frame shows late by more than half of one.
    m_tail->start(m_avgTimePerFrame > 0 ? std::max(1, int(m_avgTimePerFrame * 500)) : 20);
    showStill();
}

void QtMediaPlayer::tailTick()
{
    m_position = frameStart(std::min(m_tailFrom + m_tailClock.nsecsElapsed() / 1e9, lastFrame()));
    if (m_position >= lastFrame() - kNudge)
        restAtEnd();
    else
        showStill();
}

bool QtMediaPlayer::stopTail()
{
    if (!m_tail || !m_tail->isActive())
        return false;
    m_tail->stop();
    return true;
}

void QtMediaPlayer::restAtEnd()
{
    stopTail();
    m_position = lastFrame();
    m_state = State::Paused;
    showStill();
    if (m_listener)
        m_listener->mediaEnded();
}

void QtMediaPlayer::onFrameShown(const QVideoFrame& frame)
{
    if (m_state != State::Playing || !frame.isValid() || frame.startTime() < 0)
        return;
    const double length = m_avgTimePerFrame;
    double stamp = frame.startTime() / 1e6;
    // A frame cut at the start of a seek's segment is stamped with that
    // start, not its own, and only whole frames tell the offset. Of a cut
    // frame's start and its end less a frame, the one on the frames' grid
    // is where it began (the end is cut at the end of the media).
    const bool cut = length > 0 && frame.endTime() > frame.startTime() &&
                     frame.endTime() - frame.startTime() < std::llround(length * 1e6) - 2;
    if (cut) {
        if (!m_stampOffset)
            return;
        const auto offGrid = [&](double s) {
            const double n = (s - *m_stampOffset) / length;
            return std::abs(n - std::nearbyint(n));
        };
        if (const double fromEnd = frame.endTime() / 1e6 - length; offGrid(fromEnd) < offGrid(stamp))
            stamp = fromEnd;
    } else {
        // After a seek or a skipped frame the stamps may count from elsewhere
        // (in an MPEG program stream they move by a frame within the first
        // group of pictures after a seek): the picture is looked at again
        // whenever a stamp does not follow the last.
        const bool follows = m_lastStamp >= 0 && std::abs(stamp - m_lastStamp - length) < length / 4;
        if (!m_stampOffset)
            m_stampOffset = stampOffset(frame, stamp, m_frames ? m_frames->startOffset() : 0.0, 8);
        else if (!follows)
            m_stampOffset = stampOffset(frame, stamp, *m_stampOffset, 1);
        m_lastStamp = stamp;
    }
    // Whole microseconds: the nearest frame start is the one meant.
    const double at = stamp - *m_stampOffset;
    m_shownAt = length > 0 ? std::nearbyint(at / length) * length : at;
    showPlayback();
}

namespace {

QImage thumbnail(const QImage& image)
{
    return image.convertToFormat(QImage::Format_Grayscale8).scaled(32, 24, Qt::IgnoreAspectRatio,
                                                                   Qt::SmoothTransformation);
}

qint64 difference(const QImage& a, const QImage& b)
{
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(int(a.constScanLine(y)[x]) - int(b.constScanLine(y)[x]));
    return sum;
}

} // namespace

double QtMediaPlayer::stampOffset(const QVideoFrame& frame, double stamp, double guess, int reach) const
{
    // The back end stamps a frame with the file's own time, which is off the
    // position by the file's start (MPEG program streams) or by an edit list
    // (MP4 with B-frames). The frame's picture tells which frame it is.
    const QImage shown = m_frames && m_avgTimePerFrame > 0 ? thumbnail(frame.toImage()) : QImage();
    if (shown.isNull())
        return guess;
    const auto bestNear = [&](qint64 near, int radius) {
        std::optional<qint64> best;
        qint64 bestDifference = 0;
        // Nearest first: among equal pictures the guess wins.
        for (int i = 0; i <= 2 * radius; ++i) {
            const qint64 n = near + (i % 2 ? -(i + 1) / 2 : i / 2);
            const QImage decoded =
                n >= 0 ? m_frames->frameAt(n * m_avgTimePerFrame, m_avgTimePerFrame / 2) : QImage();
            if (decoded.isNull())
                continue;
            const qint64 d = difference(shown, thumbnail(decoded));
            if (!best || d < bestDifference) {
                best = n;
                bestDifference = d;
            }
        }
        return best;
    };
    const qint64 near = std::llround((stamp - guess) / m_avgTimePerFrame);
    std::optional<qint64> best = bestNear(near, reach);
    // The guess was off: look further around the frame that looked closest.
    if (best && *best != near && reach < 8)
        best = bestNear(*best, 8);
    return best ? stamp - *best * m_avgTimePerFrame : guess;
}

double QtMediaPlayer::frameStart(double seconds) const
{
    if (m_avgTimePerFrame <= 0)
        return seconds;
    // The nudge keeps a time built from a frame number on that frame, as the time code does.
    return std::floor(seconds / m_avgTimePerFrame + 1e-6) * m_avgTimePerFrame;
}

bool QtMediaPlayer::showsStills() const { return m_still && m_videoWidget && m_frames; }

void QtMediaPlayer::showStill()
{
    if (!showsStills())
        return;
    // Half a frame of slack: a frame's start in stream ticks may round above the time.
    const double at = frameStart(m_position);
    if (at != m_stillAt || m_still->image.isNull()) {
        m_stillAt = at;
        m_still->image = m_frames->frameAt(at, m_avgTimePerFrame / 2);
        m_still->update();
    }
    m_still->setGeometry(m_videoWidget->geometry());
    m_still->show();
    m_still->raise();
    m_videoWidget->hide();
}

void QtMediaPlayer::showPlayback()
{
    if (!m_still || !m_videoWidget || m_still->isHidden())
        return;
    m_videoWidget->show();
    m_still->hide();
    m_still->image = QImage();
}

bool QtMediaPlayer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_videoWidget && m_still && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        m_still->setGeometry(m_videoWidget->geometry());
    return false;
}

void QtMediaPlayer::Run()
{
    if (!m_player || (m_tail && m_tail->isActive()))
        return;
    if (m_state != State::Playing) {
        // At the last frame there is nothing left to play.
        if (m_position >= lastFrame() - kNudge)
            return;
        // Where the back end stops the exact frames play, back end or none.
        if (m_position >= backendEnd()) {
            playTail(m_position);
            return;
        }
    }
    // After a failure the back end starts afresh from the position.
    if (m_failed) {
        dropBackend();
        m_failed = false;
        m_pendingSeek = m_position;
        makeBackend();
    }
    m_state = State::Playing;
    m_shownAt = -1;
    // The still stays until the back end shows a frame of its own.
    if (m_loaded) {
        applyPendingSeek();
        m_player->play();
    }
}

void QtMediaPlayer::Pause()
{
    if (!m_player)
        return;
    stopTail();
    m_position = CurrentPosition();
    m_state = State::Paused;
    if (m_loaded && !m_failed)
        m_player->pause();
    showStill();
}

void QtMediaPlayer::Stop()
{
    if (!m_player)
        return;
    stopTail();
    m_state = State::Stopped;
    m_position = 0;
    m_pendingSeek.reset();
    if (!m_failed)
        m_player->stop();
    showStill();
}

double QtMediaPlayer::CurrentPosition() const
{
    // Until the back end shows a frame of its own the still shows the position.
    if (m_player && m_loaded && !m_failed && m_state == State::Playing && !m_seekInFlight &&
        !(m_tail && m_tail->isActive()) && (m_shownAt >= 0 || !m_still || m_still->isHidden()))
        return m_shownAt >= 0 ? m_shownAt : m_player->position() / 1000.0;
    return m_position;
}

void QtMediaPlayer::setCurrentPosition(double seconds)
{
    m_position = seconds;
    m_shownAt = -1;
    if (!m_player)
        return;
    // Moved while the exact frames play: playing goes on from the new place.
    if (stopTail()) {
        m_state = State::Paused;
        if (!m_failed)
            m_pendingSeek = seconds;
        Run();
        return;
    }
    if (m_state != State::Playing)
        showStill();
    if (m_failed)
        return;
    m_pendingSeek = seconds;
    applyPendingSeek();
}

void QtMediaPlayer::setVideoOutput(QObject* output)
{
    m_output = output;
    if (m_videoWidget)
        m_videoWidget->removeEventFilter(this);
    delete m_still;
    m_videoWidget = qobject_cast<QVideoWidget*>(output);
    if (m_videoWidget && m_videoWidget->parentWidget()) {
        m_still = new StillPicture(*m_videoWidget);
        m_videoWidget->installEventFilter(this);
    }
    if (QVideoSink* sink = m_videoWidget ? m_videoWidget->videoSink() : qobject_cast<QVideoSink*>(output))
        // Queued: the back end's sink hands a frame over while its streaming
        // thread waits, and a frame whose picture is looked at (decoding
        // frames of the file) could keep it waiting past its time-out, which
        // stops the stream.
        connect(sink, &QVideoSink::videoFrameChanged, this, &QtMediaPlayer::onFrameShown,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    if (m_player)
        m_player->setVideoOutput(output);
}

void QtMediaPlayer::dropBackend()
{
    if (!m_player)
        return;
    m_player->disconnect(this);
    m_player->stop();
    m_player->setVideoOutput(static_cast<QObject*>(nullptr));
    // Deleted later: this may be asked from inside one of its reports.
    m_player->deleteLater();
    m_player = nullptr;
    m_audio = nullptr;
    m_loaded = m_seekInFlight = false;
}

void QtMediaPlayer::release()
{
    stopTail();
    dropBackend();
    m_backendLength = 0;
    m_frames.reset();
    m_stampOffset.reset();
    m_stillAt = m_shownAt = m_lastStamp = -1;
    m_failed = false;
    m_state = State::Stopped;
    m_position = 0;
    m_pendingSeek.reset();
    if (m_still) {
        m_still->hide();
        m_still->image = QImage();
    }
    if (m_videoWidget)
        m_videoWidget->show();
}

QtMediaPlayerFactory::QtMediaPlayerFactory()
{
    // The GStreamer back end plays silently without a sound device.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
}

std::unique_ptr<MediaPlayer> QtMediaPlayerFactory::create() { return std::make_unique<QtMediaPlayer>(); }

QWidget* QtMediaPlayerFactory::createVideoOutput(QWidget* parent)
{
    auto* video = new QVideoWidget(parent);
    video->setAspectRatioMode(Qt::IgnoreAspectRatio);
    return video;
}

} // namespace vimra
