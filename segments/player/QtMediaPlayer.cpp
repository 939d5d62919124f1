#include "segments/player/QtMediaPlayer.h"

#include "platform/MediaDetector.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QEvent>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QWidget>

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace vimra {

namespace {

// Thumbnails compared to tell frames apart.
constexpr QSize kThumbnail(32, 24);

qint64 difference(const QImage& a, const QImage& b)
{
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(int(a.constScanLine(y)[x]) - int(b.constScanLine(y)[x]));
    return sum;
}

// The back end's frame as a thumbnail, from its brightness plane where it has
// one (mapped, not converted: a converted 8K picture takes long).
QImage thumbnailOf(const QVideoFrame& shown)
{
    QVideoFrame frame(shown);
    switch (frame.pixelFormat()) {
    case QVideoFrameFormat::Format_YUV420P:
    case QVideoFrameFormat::Format_YUV422P:
    case QVideoFrameFormat::Format_YV12:
    case QVideoFrameFormat::Format_NV12:
    case QVideoFrameFormat::Format_NV21:
    case QVideoFrameFormat::Format_IMC1:
    case QVideoFrameFormat::Format_IMC2:
    case QVideoFrameFormat::Format_IMC3:
    case QVideoFrameFormat::Format_IMC4:
    case QVideoFrameFormat::Format_Y8:
        if (frame.map(QVideoFrame::ReadOnly)) {
            QImage small = lumaThumbnail(frame.bits(0), frame.bytesPerLine(0), frame.size(), kThumbnail);
            frame.unmap();
            return small;
        }
        return {};
    default: {
        const QImage grey = frame.toImage().convertToFormat(QImage::Format_Grayscale8);
        return lumaThumbnail(grey.constBits(), grey.bytesPerLine(), grey.size(), kThumbnail);
    }
    }
}

// Draws `image` over the whole of `widget`, black without one.
void paintFilling(QWidget& widget, const QImage& image)
{
    QPainter painter(&widget);
    if (image.isNull()) {
        painter.fillRect(widget.rect(), Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(widget.rect(), image);
}

// The back end's frame scaled to `size` (never larger than the frame) for
// the video picture. Planar and semi-planar 4:2:0 pictures, what software
// decoding gives, are sampled straight from their planes: the cost is that
// of the small picture, whatever the frame's size. Playing shows samples; the
// still after Pause is the frame decoded and scaled in full.
QImage pictureOf(const QVideoFrame& shown, QSize size)
{
    QVideoFrame frame(shown);
    const QSize from = frame.size();
    if (size.isEmpty() || from.isEmpty())
        return {};
    size = size.boundedTo(from);
    const QVideoFrameFormat::PixelFormat format = frame.pixelFormat();
    const bool planar = format == QVideoFrameFormat::Format_YUV420P || format == QVideoFrameFormat::Format_YV12;
    const bool interleaved = format == QVideoFrameFormat::Format_NV12 || format == QVideoFrameFormat::Format_NV21;
    if (!planar && !interleaved)
        return frame.toImage().scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!frame.map(QVideoFrame::ReadOnly))
        return {};
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull()) {
        frame.unmap();
        return {};
    }
    // Studio or full range, BT.601 or BT.709 as the stills take them.
    const QVideoFrameFormat surface = frame.surfaceFormat();
    const bool full = surface.colorRange() == QVideoFrameFormat::ColorRange_Full;
    const bool hd = usesBt709(surface.colorSpace() == QVideoFrameFormat::ColorSpace_BT709,
                              surface.colorSpace() == QVideoFrameFormat::ColorSpace_Undefined, from.height());
    const float ky = full ? 1.0f : 255.0f / 219.0f;
    const float kc = full ? 1.0f : 255.0f / 224.0f;
    const float rv = (hd ? 1.5748f : 1.402f) * kc, bu = (hd ? 1.8556f : 1.772f) * kc;
    const float gu = (hd ? 0.1873f : 0.3441f) * kc, gv = (hd ? 0.4681f : 0.7141f) * kc;
    const int black = full ? 0 : 16;
    const auto clamp = [](float v) { return uint(std::clamp(int(v + 0.5f), 0, 255)); };
    // The other order of the chroma samples: V before U.
    const bool vu = format == QVideoFrameFormat::Format_YV12 || format == QVideoFrameFormat::Format_NV21;
    std::vector<int> columns(size.width());
    for (int x = 0; x < size.width(); ++x)
        columns[x] = int((qint64(x) * 2 + 1) * from.width() / (qint64(size.width()) * 2));
    for (int y = 0; y < size.height(); ++y) {
        const int row = int((qint64(y) * 2 + 1) * from.height() / (qint64(size.height()) * 2));
        const uchar* luma = frame.bits(0) + qsizetype(row) * frame.bytesPerLine(0);
        const uchar* first = frame.bits(1) + qsizetype(row / 2) * frame.bytesPerLine(1);
        const uchar* second = planar ? frame.bits(2) + qsizetype(row / 2) * frame.bytesPerLine(2) : first + 1;
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int c = planar ? columns[x] / 2 : columns[x] / 2 * 2;
            const float a = float(first[c]) - 128, b = float(second[c]) - 128;
            const float u = vu ? b : a, v = vu ? a : b;
            const float l = (float(luma[columns[x]]) - black) * ky;
            line[x] = qRgb(clamp(l + rv * v), clamp(l - gu * u - gv * v), clamp(l + bu * u));
        }
    }
    frame.unmap();
    return out;
}

// The threads the back end's next decoders may use; 0 for as many as it likes.
std::atomic<int> g_decoderThreads{0};

// Sees every element added to any of the back end's pipelines: a software
// decoder runs one thread per processor, each holding frames of its own
// (50 MB each at 7680 x 4320).
gboolean onElementAdded(GSignalInvocationHint*, guint count, const GValue* params, gpointer)
{
    // deep-element-added (bin, sub_bin, element)
    if (count < 3 || !G_VALUE_HOLDS_OBJECT(&params[2]))
        return TRUE;
    auto* element = static_cast<GstElement*>(g_value_get_object(&params[2]));
    GstElementFactory* factory = element ? gst_element_get_factory(element) : nullptr;
    const gchar* name = factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : nullptr;
    const int threads = g_decoderThreads.load();
    if (name && g_str_has_prefix(name, "avdec_") &&
        g_object_class_find_property(G_OBJECT_GET_CLASS(element), "max-threads"))
        g_object_set(element, "max-threads", threads, nullptr);
    return TRUE;
}

// Bounds the threads of the decoders of the pipelines made from now on.
void boundDecoderThreads(QSize picture)
{
    static const bool hooked = [] {
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
        const guint signal = g_signal_lookup("deep-element-added", GST_TYPE_BIN);
        return signal != 0 && g_signal_add_emission_hook(signal, 0, onElementAdded, nullptr, nullptr) != 0;
    }();
    // Beyond 3840 x 2160 two threads keep up with what can be shown, and
    // hold a fraction of the memory.
    constexpr qint64 kLarge = 3840LL * 2160;
    if (hooked)
        g_decoderThreads = qint64(picture.width()) * picture.height() > kLarge ? 2 : 0;
}

} // namespace

// Tells which frame a picture the back end shows is, away from the window's
// thread: it compares the picture with the frames near a guess, decoded small
// by a frame reader of its own. One question at a time; a newer one replaces
// one not yet begun. It also decodes the pictures played where the back end
// has stopped, at the size they show.
class FrameCheck {
public:
    struct Question {
        quint64 serial = 0;
        double stamp = 0;
        QImage shown;
        qint64 near = 0;
    };
    // Called on the check's thread with the frame found: kNone when there
    // is no frame to compare with, kUnlike when the picture is like none
    // near (a picture decoded without its key frame).
    using Answer = std::function<void(const Question&, qint64)>;
    static constexpr qint64 kNone = -1;
    static constexpr qint64 kUnlike = -2;
    // Called on the check's thread with a frame start and its picture (null
    // when nothing decodes there).
    using Picture = std::function<void(double, const QImage&)>;
    // Called on the check's thread with a frame start and the key frame a
    // seek asks for to start playback there (see keyAskFor).
    using KeyFrame = std::function<void(double, std::optional<double>)>;

    FrameCheck(const QString& path, double frameLength, Answer answer, Picture picture, KeyFrame keyFrame)
        : m_path(path), m_length(frameLength), m_answer(std::move(answer)), m_picture(std::move(picture)),
          m_keyFrame(std::move(keyFrame)), m_thread([this] { run(); })
    {
    }
    ~FrameCheck()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void ask(Question question)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_next = std::move(question);
        }
        m_wake.notify_one();
    }

    // Asks for the picture of the frame starting at `seconds`, within `size`.
    void askPicture(double seconds, QSize size)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_nextPicture = {seconds, size};
        }
        m_wake.notify_one();
    }

    // Asks for the key frame to seek to for playback to start at the frame starting at `seconds`.
    void askKeyFrame(double seconds)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_nextKey = seconds;
        }
        m_wake.notify_one();
    }

private:
    void run()
    {
        while (true) {
            std::optional<Question> question;
            std::optional<std::pair<double, QSize>> picture;
            std::optional<double> key;
            {
                std::unique_lock lock(m_mutex);
                // Idle for a while, the reader lets go of its decoded frames.
                const auto due = [this] { return m_stop || m_next || m_nextPicture || m_nextKey; };
                if (!m_wake.wait_for(lock, std::chrono::seconds(1), due)) {
                    lock.unlock();
                    if (m_frames)
                        m_frames->trim();
                    continue;
                }
                if (m_stop)
                    return;
                // Playback waits for a key frame, a picture is due at once; a question can wait.
                if (m_nextKey)
                    key.swap(m_nextKey);
                else if (m_nextPicture)
                    picture.swap(m_nextPicture);
                else
                    question.swap(m_next);
            }
            if (!m_frames)
                m_frames = mediaDetector().frameReader(m_path);
            if (key) {
                m_keyFrame(*key, m_frames ? keyAskFor(*key) : std::nullopt);
            } else if (picture) {
                m_picture(picture->first,
                          m_frames ? m_frames->frameAt(picture->first, m_length / 2, picture->second) : QImage());
            } else {
                m_answer(*question, m_frames ? bestNear(*question) : kNone);
            }
        }
    }

    // Where the back end lands on a key frame it lands on the one asked
    // exactly: asked for the start's own, only the frames from it pass.
    // Elsewhere it lands on a key frame at or after the one asked, often the
    // next but one (MPEG program streams land up to two groups of pictures
    // late): asked for the key frame two before the start's, it lands before
    // the start the first time, and the frames from there pass.
    std::optional<double> keyAskFor(double at)
    {
        constexpr int kKeyFramesBack = 2;
        const double half = m_length / 2;
        std::optional<double> key = m_frames->keyFrameOf(at, half);
        if (key && !m_frames->landsOnKeyFrameAsked())
            for (int back = 0; back < kKeyFramesBack && key && *key > 0 && !stopping(); ++back)
                key = m_frames->keyFrameOf(*key - m_length, half);
        return key;
    }

    // The nearest frame of those within a frame of the guess that looks most
    // like the picture; further round it when it is not the guess.
    qint64 bestNear(const Question& question)
    {
        qint64 bestDifference = 0;
        std::optional<qint64> best = bestWithin(question.shown, question.near, 1, bestDifference);
        if (best && *best != question.near)
            best = bestWithin(question.shown, *best, 8, bestDifference);
        // The same frame decoded twice differs by a few levels at most.
        constexpr qint64 kLike = 24;
        if (best && bestDifference > kLike * kThumbnail.width() * kThumbnail.height())
            return kUnlike;
        return best.value_or(kNone);
    }

    std::optional<qint64> bestWithin(const QImage& shown, qint64 near, int radius, qint64& bestDifference)
    {
        std::optional<qint64> best;
        // Nearest first: among equal pictures the guess wins.
        for (int i = 0; i <= 2 * radius; ++i) {
            const qint64 n = near + (i % 2 ? -(i + 1) / 2 : i / 2);
            if (n < 0 || stopping())
                continue;
            const QImage decoded = m_frames->thumbnailAt(n * m_length, m_length / 2, kThumbnail);
            if (decoded.isNull())
                continue;
            const qint64 d = difference(shown, decoded);
            if (!best || d < bestDifference) {
                best = n;
                bestDifference = d;
            }
        }
        return best;
    }

    bool stopping()
    {
        const std::lock_guard lock(m_mutex);
        return m_stop;
    }

    const QString m_path;
    const double m_length;
    const Answer m_answer;
    const Picture m_picture;
    const KeyFrame m_keyFrame;
    std::unique_ptr<FrameReader> m_frames;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Question> m_next;
    std::optional<std::pair<double, QSize>> m_nextPicture;
    std::optional<double> m_nextKey;
    bool m_stop = false;
    std::thread m_thread;
};

// Takes what the player needs of each frame the back end hands its sink, on
// the back end's streaming thread, and passes it to the window's thread: a
// frame queued whole would keep its picture (50 MB at 7680 x 4320) until that
// thread comes to it, and the back end would go on making more.
struct FrameTap {
    explicit FrameTap(QtMediaPlayer* player) : owner(player) {}

    void take(const QVideoFrame& frame)
    {
        if (!frame.isValid())
            return;
        QtMediaPlayer::ShownFrame shown{frame.startTime(), frame.endTime(), {}, {}, seeks};
        if (wantThumbnail)
            shown.thumbnail = thumbnailOf(frame);
        QSize size;
        {
            const std::lock_guard lock(mutex);
            size = pictureSize;
        }
        shown.picture = pictureOf(frame, size);
        const std::lock_guard lock(mutex);
        if (owner)
            QMetaObject::invokeMethod(
                owner, [player = owner, shown] { player->onFrameShown(shown); }, Qt::QueuedConnection);
    }

    void forget()
    {
        const std::lock_guard lock(mutex);
        owner = nullptr;
    }

    void setPictureSize(QSize size)
    {
        const std::lock_guard lock(mutex);
        pictureSize = size;
    }

    std::mutex mutex;
    // Null once the player has gone; posted to under the lock, so nothing
    // reaches a player after it has gone.
    QtMediaPlayer* owner;
    // Set while the player wants the frames' small pictures.
    std::atomic<bool> wantThumbnail{false};
    // The seeks the back end has made.
    std::atomic<quint64> seeks{0};
    // The size of the video picture's pictures, in device pixels; empty
    // without a video picture.
    QSize pictureSize;
};

// Shows the back end's pictures, scaled to its size on the back end's
// thread, and the frame the player hands it. Drawn as any widget is: Qt's
// own video widget sets up a native window and a graphics pipeline of its
// own as it first shows (half a second on the window's thread), and converts
// each whole picture to draw it (a second a frame at 7680 x 4320 without a
// graphics card).
class VideoPicture : public QWidget {
public:
    explicit VideoPicture(QWidget* parent) : QWidget(parent), m_sink(new QVideoSink(this))
    {
        setObjectName(QStringLiteral("videoPicture"));
        m_sink->setObjectName(QStringLiteral("videoSink"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    QVideoSink* sink() const { return m_sink; }
    // The size its pictures are made at.
    QSize devicePixels() const { return size() * devicePixelRatioF(); }
    bool hasPicture() const { return !m_image.isNull(); }
    // What the picture shows, filling its place whatever the video's shape.
    void setPicture(const QImage& picture)
    {
        m_image = picture;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override { paintFilling(*this, m_image); }

private:
    QVideoSink* m_sink;
    QImage m_image;
};

// Paints one decoded frame in the video picture's place, filling it as the
// video picture does. A sibling, so that the frame the back end shows last
// stays behind it until the next plays.
class StillPicture : public QWidget {
public:
    explicit StillPicture(QWidget& video) : QWidget(video.parentWidget())
    {
        setObjectName(QStringLiteral("stillPicture"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

    QImage image;

protected:
    void paintEvent(QPaintEvent*) override { paintFilling(*this, image); }
};

QtMediaPlayer::QtMediaPlayer() : m_tap(std::make_shared<FrameTap>(this)) {}

QtMediaPlayer::~QtMediaPlayer()
{
    m_tap->forget();
    QObject::disconnect(m_tapConnection);
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
    m_pictureSize = mediaDetector().videoSize(path);
    m_picture = !m_pictureSize.isEmpty();
    const double rate = mediaDetector().frameRate(path);
    m_avgTimePerFrame = m_picture && rate > 0 ? 1.0 / rate : 0.0;
    if (m_picture)
        m_frames = mediaDetector().frameReader(path);
    if (m_frames) {
        m_times = m_frames->playerTimes();
        m_stampOffset = m_times.stamp;
        if (m_avgTimePerFrame > 0)
            m_check = std::make_unique<FrameCheck>(
                path, m_avgTimePerFrame, [this](const FrameCheck::Question& question, qint64 frame) {
                    QMetaObject::invokeMethod(
                        this, [this, serial = question.serial, stamp = question.stamp,
                               frame] { onFrameChecked(serial, stamp, frame); }, Qt::QueuedConnection);
                },
                [this](double at, const QImage& image) {
                    QMetaObject::invokeMethod(
                        this, [this, at, image] { onPicture(at, image); }, Qt::QueuedConnection);
                },
                [this](double at, std::optional<double> key) {
                    QMetaObject::invokeMethod(
                        this, [this, at, key] { onKeyFrame(at, key); }, Qt::QueuedConnection);
                });
    }

    m_path = path;
    makeBackend();
    return {};
}

void QtMediaPlayer::makeBackend()
{
    m_prerolled = false;
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
        else if (status == QMediaPlayer::EndOfMedia) {
            if (!seekEndedTooLate())
                onEnded();
        }
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
    boundDecoderThreads(m_pictureSize);
    m_player->setSource(QUrl::fromLocalFile(m_path));
}

void QtMediaPlayer::onLoaded()
{
    m_loaded = true;
    // Played before the media could seek, it waits paused for its seek: a
    // transport stream asked to seek as it starts playing may end at once.
    if (m_state == State::Paused || (m_state == State::Playing && m_pendingSeek))
        m_player->pause();
    else if (m_state == State::Playing)
        m_player->play();
    applyPendingSeek();
}

namespace {
// Seeks asked of the back end to start playback.
constexpr int kSeeks = 5;
// Frames before the start that pass rather than a seek more.
constexpr double kWait = 0.5;
// How far past its target a seek of the back end may land: a seek within this
// of the back end's end may find no frame before it ("No valid frames decoded
// before end of stream").
constexpr double kLateSeekReach = 2.0;
// A time built from a frame number lies within this of that frame's start.
constexpr double kNudge = 1e-6;
} // namespace

void QtMediaPlayer::applyPendingSeek()
{
    // The back end drops a seek made before the media can seek: the seek
    // waits until it can. While the still shows the picture the back end
    // need not follow every step (a seek of its own can take a third of a
    // second): it seeks when playing starts.
    if (!m_pendingSeek || !m_loaded || !m_player->isSeekable() || (showsStills() && m_state != State::Playing))
        return;
    // A transport stream without sound asked to seek before its first
    // picture has come may end at once.
    if (m_picture && m_output && !m_prerolled)
        return;
    // Playback starts at the frame showing.
    const double at = frameStart(*m_pendingSeek);
    const bool playing = m_state == State::Playing;
    // In MPEG streams the seek asks for a key frame, found by decoding away
    // from the window's thread: playing waits for it behind the still.
    if (playing && m_check && m_frames->seeksLandOnKeyFrames() && (!m_keyFor || m_keyFor->first != at)) {
        if (m_keyAskedFor != at) {
            m_keyAskedFor = at;
            m_check->askKeyFrame(at);
        }
        if (m_audio)
            m_audio->setMuted(true);
        return;
    }
    m_seekInFlight = playing;
    m_earlyAsk.reset();
    m_lateAsk.reset();
    m_seeksToStart = 0;
    m_startAt = playing ? std::optional(at) : std::nullopt;
    m_pendingSeek.reset();
    m_keyAsk = playing && m_keyFor && m_keyFor->first == at ? m_keyFor->second : std::nullopt;
    seekBackend(m_keyAsk ? *m_keyAsk : at);
    muteWhilePassing();
    if (m_state == State::Playing)
        m_player->play();
}

void QtMediaPlayer::onKeyFrame(double at, std::optional<double> key)
{
    if (m_keyAskedFor != at)
        return;
    m_keyAskedFor.reset();
    m_keyFor = {at, key};
    if (m_state == State::Playing && m_pendingSeek)
        applyPendingSeek();
}

void QtMediaPlayer::muteWhilePassing()
{
    // The frames before the start pass behind the still: their sound is not
    // where playback starts.
    if (m_audio)
        m_audio->setMuted(m_startAt.has_value());
}

void QtMediaPlayer::seekBackend(double seconds)
{
    m_askedAt = std::max(0.0, seconds);
    m_lastStamp = -1;
    m_tap->wantThumbnail = m_check != nullptr;
    m_unlikeSince.invalidate();
    m_landed = false;
    qint64 ms = std::llround((m_askedAt + m_times.position) * 1000);
    // The back end refuses a seek past its own length, which may count
    // from before the first frame (MPEG transport streams).
    if (const qint64 length = m_player->duration(); length > 0)
        ms = std::min(ms, length - std::llround(m_avgTimePerFrame * 1000) - 1);
    m_player->setPosition(std::max<qint64>(0, ms));
    // The seek has flushed what the back end had decoded: frames of the place
    // it left may still wait in the queue.
    ++m_tap->seeks;
}

bool QtMediaPlayer::seekEndedTooLate()
{
    // A transport stream without sound asked for a place in its last
    // seconds may end at once: a start past the place asked.
    // Near the back end's end the exact frames play instead.
    if (!m_startAt || m_landed || m_seeksToStart >= kSeeks || *m_startAt >= backendEnd() - kLateSeekReach)
        return false;
    m_lateAsk = m_askedAt;
    ++m_seeksToStart;
    seekBackend(m_earlyAsk ? (*m_earlyAsk + m_askedAt) / 2 : m_askedAt - 2 * kWait);
    m_player->play();
    return true;
}

bool QtMediaPlayer::startReached(double at)
{
    // Seeks in MPEG streams land on a key frame, seconds before the place
    // asked or after it: a start past it asks again earlier, one far before
    // it later (halfway between the asks either side once there are both),
    // a few times, and the last time where it landed before; the frames
    // before it pass with the still showing.
    const double target = *m_startAt;
    const double half = m_avgTimePerFrame / 2;
    const bool landing = !m_landed;
    m_landed = true;
    const std::optional<double> keyAsk = std::exchange(m_keyAsk, std::nullopt);
    if (landing && keyAsk && at > *keyAsk - half && at < target + half) {
        if (at < target - half)
            return false;
        m_startAt.reset();
        return true;
    }
    if (at > target + half && landing && m_seeksToStart <= kSeeks) {
        m_lateAsk = m_askedAt;
        // The last ask lands before the start for sure: where one landed
        // before, or further back than any landing was late.
        constexpr double kFarBack = 3.0;
        seekBackend(m_seeksToStart == kSeeks ? (m_earlyAsk ? *m_earlyAsk : std::max(0.0, target - kFarBack))
                    : m_earlyAsk             ? (*m_earlyAsk + m_askedAt) / 2
                                             : m_askedAt - (at - target) - kWait);
        ++m_seeksToStart;
        return false;
    }
    if (at < target - half) {
        if (landing && target - at > kWait && m_seeksToStart < kSeeks) {
            m_earlyAsk = m_askedAt;
            ++m_seeksToStart;
            seekBackend(m_lateAsk ? (m_askedAt + *m_lateAsk) / 2 : m_askedAt + (target - at));
        }
        return false;
    }
    m_startAt.reset();
    return true;
}

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
    return m_backendLength - std::max(0.0, m_times.position);
}

double QtMediaPlayer::lastFrame() const { return lastFrameStart(m_duration, m_avgTimePerFrame); }

void QtMediaPlayer::playTail(double from)
{
    m_state = State::Playing;
    m_startAt.reset();
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
    else if (!m_check || !m_still)
        showStill();
    // Decoded off the window's thread, one at a time: a slow picture drops
    // frames rather than holding the window.
    else if (m_position != m_stillAt && !m_tailPicturePending) {
        m_tailPicturePending = true;
        m_check->askPicture(m_position, m_still->size() * m_still->devicePixelRatioF());
    }
}

void QtMediaPlayer::onPicture(double at, const QImage& image)
{
    m_tailPicturePending = false;
    if (std::exchange(m_stillAsked, std::nullopt) == at && m_state != State::Playing && frameStart(m_position) == at &&
        showsStills()) {
        // Decoded, the exact frame replaces the one played last.
        if (!image.isNull()) {
            m_stillAt = at;
            m_still->image = image;
        }
        showStill();
        return;
    }
    if (!m_tail || !m_tail->isActive() || !m_still || image.isNull())
        return;
    m_stillAt = at;
    m_still->image = image;
    m_still->update();
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
    if (!showStillLater())
        showStill();
    if (m_listener)
        m_listener->mediaEnded();
}

void QtMediaPlayer::onFrameShown(const ShownFrame& frame)
{
    if (!m_prerolled && m_player) {
        m_prerolled = true;
        applyPendingSeek();
        return;
    }
    // Frames before playback seeks to its start, or from before the last
    // seek, are not its own.
    if (m_state != State::Playing || frame.start < 0 || m_keyAskedFor || frame.seeks != m_tap->seeks)
        return;
    const double length = m_avgTimePerFrame;
    double stamp = frame.start / 1e6;
    // A frame cut at the start of a seek's segment is stamped with that
    // start, not its own, and only whole frames tell the offset. Of a cut
    // frame's start and its end less a frame, the one on the frames' grid
    // is where it began (the end is cut at the end of the media).
    const bool cut = length > 0 && frame.end > frame.start &&
                     frame.end - frame.start < std::llround(length * 1e6) - 2;
    if (cut) {
        const auto offGrid = [&](double s) {
            const double n = (s - m_stampOffset) / length;
            return std::abs(n - std::nearbyint(n));
        };
        if (const double fromEnd = frame.end / 1e6 - length; offGrid(fromEnd) < offGrid(stamp))
            stamp = fromEnd;
    } else {
        // The stamps count as the file's own times, except that after a seek
        // they may be a frame off (in an MPEG program stream, within the first
        // group of pictures): the picture is looked at after a seek, and
        // whenever stamps that do not follow the last leave a count off the
        // file's own.
        const bool follows = m_lastStamp >= 0 && std::abs(stamp - m_lastStamp - length) < length / 4;
        bool checked = true;
        if (m_lastStamp < 0 || (!follows && m_stampOffset != m_times.stamp)) {
            m_stampOffset = m_times.stamp;
            checked = checkFrame(frame.thumbnail, stamp);
        }
        // Without its picture the next frame is looked at.
        m_lastStamp = checked ? stamp : -1;
    }
    // Whole microseconds: the nearest frame start is the one meant.
    const double at = stamp - m_stampOffset;
    const double shownAt = length > 0 ? std::nearbyint(at / length) * length : at;
    if (m_startAt) {
        // Where playback starts is told by the picture, unless that takes long
        // or the back end, whose seeks land where asked (all but MPEG
        // streams), lands on the start by its stamp: the frames that play on
        // while a large picture is looked at would pass behind the still.
        constexpr qint64 kCheckWait = 250;
        const bool landedOnStart = !m_landed && m_frames && !m_frames->seeksLandOnKeyFrames() &&
                                   std::abs(shownAt - *m_startAt) < length / 2;
        if (m_checkPending && m_checkAsked.elapsed() < kCheckWait && !landedOnStart)
            return;
        // Pictures like no frame of the file (decoded without their key
        // frame: grey) pass until the key frame comes, within a bound.
        constexpr qint64 kUnlikeWait = 3000;
        if (m_unlikeSince.isValid() && m_unlikeSince.elapsed() < kUnlikeWait)
            return;
        if (!startReached(shownAt))
            return;
        muteWhilePassing();
    }
    m_shownAt = shownAt;
    showPlayback();
    if (m_videoWidget && !frame.picture.isNull())
        m_videoWidget->setPicture(frame.picture);
}

bool QtMediaPlayer::checkFrame(const QImage& thumbnail, double stamp)
{
    if (!m_check)
        return true;
    if (thumbnail.isNull()) {
        m_tap->wantThumbnail = true;
        return false;
    }
    // Until playback has started every picture may be looked at.
    m_tap->wantThumbnail = m_startAt.has_value();
    FrameCheck::Question question;
    question.shown = thumbnail;
    question.serial = ++m_checkSerial;
    question.stamp = stamp;
    question.near = std::llround((stamp - m_stampOffset) / m_avgTimePerFrame);
    m_checkPending = true;
    m_checkAsked.start();
    m_check->ask(std::move(question));
    return true;
}

void QtMediaPlayer::onFrameChecked(quint64 serial, double stamp, qint64 frame)
{
    if (serial != m_checkSerial)
        return;
    m_checkPending = false;
    // The stamps count as the file's own times give or take a frame or two
    // (learnt from the file's streams, corrected by the pictures): a picture
    // that says otherwise is one decoded from a wrong reference.
    constexpr double kOffsetReach = 2.5;
    const double offset = stamp - frame * m_avgTimePerFrame;
    if (frame >= 0 && std::abs(offset - m_times.stamp) > kOffsetReach * m_avgTimePerFrame)
        frame = FrameCheck::kUnlike;
    if (frame >= 0) {
        m_stampOffset = offset;
        m_unlikeSince.invalidate();
    }
    // Playback starts at a picture of the file: the next one is looked at.
    else if (frame == FrameCheck::kUnlike && m_startAt) {
        m_lastStamp = -1;
        if (!m_unlikeSince.isValid())
            m_unlikeSince.start();
    }
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
        m_still->image = m_frames->frameAt(at, m_avgTimePerFrame / 2, stillSize());
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
    // Playing, the back end draws every picture: what decoding the stills
    // holds is let go until the next still.
    if (m_frames)
        m_frames->trim();
}

QSize QtMediaPlayer::stillSize() const
{
    // A still larger than its screen shows no more than one the screen's size.
    const QScreen* screen = m_still->screen();
    return screen ? screen->geometry().size() * screen->devicePixelRatio() : QSize();
}

bool QtMediaPlayer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_videoWidget && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        if (m_still)
            m_still->setGeometry(m_videoWidget->geometry());
        m_tap->setPictureSize(m_videoWidget->devicePixels());
    }
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
        if (m_pendingSeek)
            m_player->pause();
        else
            m_player->play();
    }
}

void QtMediaPlayer::Pause()
{
    if (!m_player)
        return;
    stopTail();
    m_position = CurrentPosition();
    // Paused before playback reached its start, the back end stands elsewhere.
    if (m_startAt)
        m_pendingSeek = m_position;
    m_startAt.reset();
    muteWhilePassing();
    m_state = State::Paused;
    if (m_loaded && !m_failed)
        m_player->pause();
    if (!showStillLater())
        showStill();
}

bool QtMediaPlayer::showStillLater()
{
    // The picture played last is the frame of the position: it stays while
    // the exact frame decodes away from the window's thread (a large one
    // takes a second).
    if (!m_check || !showsStills() || !m_still->isHidden() || !m_videoWidget->hasPicture() || m_shownAt < 0 ||
        frameStart(m_position) != m_shownAt)
        return false;
    m_stillAsked = m_shownAt;
    m_check->askPicture(m_shownAt, stillSize());
    return true;
}

void QtMediaPlayer::Stop()
{
    if (!m_player)
        return;
    stopTail();
    m_state = State::Stopped;
    m_position = 0;
    m_pendingSeek.reset();
    m_startAt.reset();
    muteWhilePassing();
    if (!m_failed)
        m_player->stop();
    showStill();
}

double QtMediaPlayer::CurrentPosition() const
{
    // Until the back end shows a frame of its own the still shows the position.
    if (m_player && m_loaded && !m_failed && m_state == State::Playing && !m_seekInFlight && !m_startAt &&
        !(m_tail && m_tail->isActive()) && (m_shownAt >= 0 || !m_still || m_still->isHidden()))
        return m_shownAt >= 0 ? m_shownAt : std::max(0.0, m_player->position() / 1000.0 - m_times.position);
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
    if (m_pendingSeek && m_state != State::Playing && m_frames && !m_frames->seeksLandOnKeyFrames()) {
        if (!m_standBy) {
            m_standBy = new QTimer(this);
            m_standBy->setSingleShot(true);
            connect(m_standBy, &QTimer::timeout, this, &QtMediaPlayer::standBy);
        }
        // Once the position rests: not every step of a drag.
        constexpr int kRest = 300;
        m_standBy->start(kRest);
    }
}

void QtMediaPlayer::standBy()
{
    // Where seeks land where asked, the paused back end seeks to the still's
    // frame and decodes it from its key frame while the cataloguer looks:
    // Play then only resumes. At its last frame there is nothing to play.
    if (!m_pendingSeek || m_state == State::Playing || m_failed || !m_loaded || !m_prerolled ||
        !m_player->isSeekable() || *m_pendingSeek >= backendEnd() - m_avgTimePerFrame)
        return;
    seekBackend(frameStart(*m_pendingSeek));
    m_pendingSeek.reset();
}

void QtMediaPlayer::setVideoOutput(QObject* output)
{
    if (m_videoWidget)
        m_videoWidget->removeEventFilter(this);
    delete m_still;
    m_videoWidget = dynamic_cast<VideoPicture*>(output);
    if (m_videoWidget) {
        if (m_videoWidget->parentWidget())
            m_still = new StillPicture(*m_videoWidget);
        m_videoWidget->installEventFilter(this);
    }
    m_tap->setPictureSize(m_videoWidget ? m_videoWidget->devicePixels() : QSize());
    QObject* backendOutput = m_videoWidget ? m_videoWidget->sink() : output;
    m_output = backendOutput;
    QObject::disconnect(m_tapConnection);
    if (QVideoSink* sink = qobject_cast<QVideoSink*>(backendOutput))
        // On the back end's thread, which waits meanwhile: the tap only takes
        // the frame's times and small pictures of it and passes them on.
        m_tapConnection = connect(
            sink, &QVideoSink::videoFrameChanged, sink, [tap = m_tap](const QVideoFrame& frame) { tap->take(frame); },
            Qt::DirectConnection);
    if (m_player)
        m_player->setVideoOutput(backendOutput);
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
    m_check.reset();
    ++m_checkSerial;
    m_checkPending = m_tailPicturePending = false;
    m_stillAsked.reset();
    m_keyFor.reset();
    m_keyAskedFor.reset();
    m_frames.reset();
    m_times = {};
    m_stampOffset = 0;
    m_startAt.reset();
    m_stillAt = m_shownAt = m_lastStamp = -1;
    m_failed = false;
    m_state = State::Stopped;
    m_position = 0;
    m_pendingSeek.reset();
    if (m_still) {
        m_still->hide();
        m_still->image = QImage();
    }
    if (m_videoWidget) {
        m_videoWidget->setPicture(QImage());
        m_videoWidget->show();
    }
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
    return new VideoPicture(parent);
}

} // namespace vimra
