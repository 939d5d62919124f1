// The media detector on the FFmpeg libraries, built as a module of its own:
// the program loads it the first time it looks at a media file, so starting
// the program does not load these libraries and the many they depend on.
#include "platform/MediaDetector.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <sys/stat.h>

namespace vimra {

namespace {

// FFmpeg prints its diagnostics on stderr; the program reports failures itself.
void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// FFmpeg's own way of opening the files a media file leads to.
using OpenFunction = int (*)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**);
OpenFunction g_defaultOpen = nullptr;

// Opens only regular files: a playlist may name a FIFO or a device among its
// parts, and opening one would wait for ever.
int openRegularFile(AVFormatContext* ctx, AVIOContext** pb, const char* url, int flags, AVDictionary** options)
{
    const char* path = std::strncmp(url, "file:", 5) == 0 ? url + 5 : url;
    struct stat st {};
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return AVERROR(EACCES);
    return g_defaultOpen(ctx, pb, url, flags, options);
}

bool isPlayable(const AVStream* stream)
{
    const AVCodecParameters* par = stream->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO)
        return true;
    // Text files with certain extensions open as ANSI art "video"; that is not media.
    return par->codec_type == AVMEDIA_TYPE_VIDEO && par->codec_id != AV_CODEC_ID_ANSI
        && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

// An opened local media file with its streams probed; closed on every way out.
class Input {
public:
    // `ignoreEditList`: MP4 times as stored, before the edit list trims the start.
    explicit Input(const QString& path, bool ignoreEditList = false)
    {
        quietLibraries();
        const QFileInfo info(path);
        if (!info.isFile())
            return;
        // Only local files: the "file:" prefix keeps a name that looks like a URL a
        // file name, and the whitelist keeps playlists from reaching anything else.
        const QByteArray url = "file:" + QFile::encodeName(info.absoluteFilePath());
        m_ctx = avformat_alloc_context();
        if (!m_ctx)
            return;
        static std::once_flag once;
        std::call_once(once, [this] { g_defaultOpen = m_ctx->io_open; });
        m_ctx->io_open = openRegularFile;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        if (ignoreEditList)
            av_dict_set(&options, "ignore_editlist", "1", 0);
        const int opened = avformat_open_input(&m_ctx, url.constData(), nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            m_ctx = nullptr;
        else if (avformat_find_stream_info(m_ctx, nullptr) < 0)
            avformat_close_input(&m_ctx);
    }
    ~Input()
    {
        if (m_ctx)
            avformat_close_input(&m_ctx);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    AVFormatContext* ctx() const { return m_ctx; }

    // The first video stream, else (when `audioToo`) the first audio stream;
    // data, subtitle and cover-art streams never count.
    AVStream* mainStream(bool audioToo) const
    {
        if (!m_ctx)
            return nullptr;
        AVStream* chosen = nullptr;
        for (unsigned i = 0; i < m_ctx->nb_streams; ++i) {
            AVStream* st = m_ctx->streams[i];
            if (!isPlayable(st) || (!audioToo && st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO))
                continue;
            if (!chosen || (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
                            && chosen->codecpar->codec_type != AVMEDIA_TYPE_VIDEO))
                chosen = st;
        }
        return chosen;
    }

    // The stream's own length when it knows it, else the container's.
    double lengthOf(const AVStream* st) const
    {
        double seconds = 0.0;
        if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
            seconds = st->duration * av_q2d(st->time_base);
        else if (m_ctx->duration != AV_NOPTS_VALUE && m_ctx->duration > 0)
            seconds = static_cast<double>(m_ctx->duration) / AV_TIME_BASE;
        return seconds > 0.0 ? seconds : 0.0;
    }

private:
    AVFormatContext* m_ctx = nullptr;
};

struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

// The frames of one file's video, decoded forward from a keyframe and kept
// in presentation order since the last seek (up to a memory budget), so that a
// step to a near frame, backwards too, decodes little or nothing.
class FrameSource {
public:
    explicit FrameSource(const QString& path) : m_input(path)
    {
        m_st = m_input.mainStream(false);
        if (!m_st)
            return;
        const AVCodec* codec = avcodec_find_decoder(m_st->codecpar->codec_id);
        if (!codec)
            return;
        m_dec.reset(avcodec_alloc_context3(codec));
        if (!m_dec || avcodec_parameters_to_context(m_dec.get(), m_st->codecpar) < 0
            || avcodec_open2(m_dec.get(), codec, nullptr) < 0) {
            m_dec.reset();
            return;
        }
        m_start = m_st->start_time != AV_NOPTS_VALUE ? m_st->start_time : 0;
        m_length = m_input.lengthOf(m_st);
        m_forwardReach = av_rescale_q(2, AVRational{1, 1}, m_st->time_base);
        m_origin = m_start - av_rescale_q(1, AVRational{1, 1}, m_st->time_base);
        const AVRational rate = av_guess_frame_rate(m_input.ctx(), m_st, nullptr);
        if (rate.num > 0 && rate.den > 0)
            m_frameTicks = av_rescale_q(1, av_inv_q(rate), m_st->time_base);
    }

    bool ok() const { return m_dec != nullptr; }
    double length() const { return m_length; }

    // The end of the last frame, decoded where the length is the demuxer's
    // guess: in an MPEG stream it is the last time stamp read, and many of
    // its packets carry none, so it may fall half a second short.
    double decodedLength()
    {
        if (!ok() || m_frameTicks <= 0 || m_input.ctx()->duration_estimation_method != AVFMT_DURATION_FROM_PTS)
            return m_length;
        const auto near = ticks(std::max(0.0, m_length - 1.0));
        if (!near || !at(*near))
            return m_length;
        // Bounded: a guess far off the end keeps the guess.
        for (int i = 0; i < 1000 && !m_runEnded; ++i)
            if (!decodeNext())
                break;
        if (!m_runEnded || m_run.empty())
            return m_length;
        const double end = static_cast<double>(ptsOf(m_run.back()) - m_start + m_frameTicks) * av_q2d(m_st->time_base);
        return std::max(end, m_length);
    }
    // The file's time of time 0.
    double startOffset() const { return m_start * av_q2d(m_st->time_base); }
    const AVFormatContext* format() const { return m_input.ctx(); }

    // Stream ticks of `seconds` from the stream's start, rounded down (so a
    // time on a frame's start picks that frame); nullopt when out of range.
    std::optional<int64_t> ticks(double seconds) const
    {
        const AVRational tb = m_st->time_base;
        const double t = std::floor(seconds * tb.den / tb.num + 1e-6);
        if (!std::isfinite(t) || t < 0 || t > static_cast<double>(std::numeric_limits<int64_t>::max() / 4))
            return std::nullopt;
        return m_start + static_cast<int64_t>(t);
    }

    // The last frame starting at or before `target` (stream ticks); the first
    // frame when all start later; nullptr when nothing can be decoded.
    const AVFrame* at(int64_t target)
    {
        if (!ok())
            return nullptr;
        if (m_run.empty() || ptsOf(m_run.front()) > target || target - ptsOf(m_run.back()) > m_forwardReach)
            return seekTo(target);
        while (!m_runEnded && ptsOf(m_run.back()) <= target)
            if (!decodeNext())
                break;
        return lastAtOrBefore(target);
    }

    // The start of the last key frame of the run at or before `target`, in
    // seconds; nullopt when the run holds none.
    std::optional<double> keyFrameBefore(int64_t target) const
    {
        for (auto f = m_run.rbegin(); f != m_run.rend(); ++f)
            if (ptsOf(*f) <= target && (*f)->key_frame)
                return static_cast<double>(ptsOf(*f) - m_start) * av_q2d(m_st->time_base);
        return std::nullopt;
    }

private:
    static int64_t ptsOf(const FramePtr& f) { return f->best_effort_timestamp; }

    const AVFrame* lastAtOrBefore(int64_t target) const
    {
        const auto after = std::upper_bound(m_run.begin(), m_run.end(), target,
                                            [](int64_t t, const FramePtr& f) { return t < ptsOf(f); });
        return after == m_run.begin() ? m_run.front().get() : std::prev(after)->get();
    }

    // Seeks back to a keyframe at or before the target and decodes forward; a
    // seek that lands late, or too near the end to tell the frames' times,
    // steps further back and tries again.
    const AVFrame* seekTo(int64_t target)
    {
        int64_t from = target;
        // A quarter second back at first, doubling.
        int64_t step = std::max<int64_t>(1, av_rescale_q(1, AVRational{1, 4}, m_st->time_base));
        for (int attempt = 0; attempt < 10; ++attempt) {
            // Demuxers that seek by decoding time land late when asked for the
            // first frame's start; asked for earlier still, some refuse.
            if (!seek(from) && !(from < m_start && seek(m_start)) && attempt > 0)
                break;
            avcodec_flush_buffers(m_dec.get());
            clearRun();
            // Landing past the last keyframe decodes nothing: that is late too.
            const bool decoded = decodeNext();
            if (!decoded && from <= m_origin)
                return nullptr;
            // Reaching the end with no time that counts leaves the frames at
            // guesses: that is late too. From the very start there is nothing
            // earlier: the first frame is the one shown.
            const bool landed = decoded && ptsOf(m_run.front()) <= target && (m_told || !m_runEnded);
            if (landed || (decoded && from <= m_origin)) {
                while (!m_runEnded && ptsOf(m_run.back()) <= target)
                    if (!decodeNext())
                        break;
                return lastAtOrBefore(target);
            }
            from = std::max(m_origin, from - step);
            step *= 2;
        }
        clearRun();
        return nullptr;
    }

    bool seek(int64_t ts)
    {
        return avformat_seek_file(m_input.ctx(), m_st->index, std::numeric_limits<int64_t>::min(), ts, ts, 0) >= 0
            || av_seek_frame(m_input.ctx(), m_st->index, ts, AVSEEK_FLAG_BACKWARD) >= 0;
    }

    void clearRun()
    {
        m_run.clear();
        m_pending.clear();
        m_bytes = 0;
        m_draining = m_runEnded = m_told = false;
    }

    // Appends the next frames in presentation order with their start times;
    // false at the stream's end or on an error, after which the last frame
    // decoded stays shown.
    bool decodeNext()
    {
        // The run's size stays the same once the oldest frames make room.
        const uint64_t before = m_kept;
        while (m_kept == before) {
            FramePtr frame = receive();
            if (!frame) {
                // Nothing after them confirms a time.
                placePending(counted());
                m_runEnded = true;
                return m_kept > before;
            }
            place(std::move(frame));
        }
        return true;
    }

    // A frame's start is the one its packet read from the file. Many packets
    // of an MPEG program stream carry none, and the times the demuxer makes
    // up for them (packets with no place in the file) count the piece of a
    // picture a seek lands in as a frame: they run a frame late up to the
    // next time read. A keyframe's time is in doubt too: when the headers
    // before its picture begin in one pack and the picture in the next, it
    // gets that pack's time, which the writer meant for the next picture.
    // So a keyframe's time counts once the run so far or another time read
    // agrees with it; frames without a time that counts are numbered a frame
    // apart from those with one.
    void place(FramePtr frame)
    {
        if (m_frameTicks <= 0) {
            keep(std::move(frame));
            return;
        }
        const bool read = readTime(frame);
        const bool key = frame->key_frame;
        m_pending.push_back(std::move(frame));
        if (!read) {
            // Counted on from the run; after many, as well as can be (a
            // stream that never tells has only the demuxer's guesses).
            if ((m_told && m_pending.size() == 1) || m_pending.size() > 64)
                placePending(counted());
            return;
        }
        const int64_t first = firstStart(m_pending.size() - 1);
        bool agreed = !key || (m_told && near(first, *counted()));
        for (size_t i = 0; i + 1 < m_pending.size() && !agreed; ++i)
            agreed = readTime(m_pending[i]) && near(firstStart(i), first);
        if (agreed)
            placePending(first);
    }

    // The frame's time was read from the file, where its packet has a place.
    static bool readTime(const FramePtr& f) { return f->pts != AV_NOPTS_VALUE && f->pkt_pos >= 0; }
    // Less than half a frame apart.
    bool near(int64_t a, int64_t b) const { return 2 * std::abs(a - b) < m_frameTicks; }
    // The start of the first pending frame as the time read with pending frame `i` has it.
    int64_t firstStart(size_t i) const { return m_pending[i]->pts - m_frameTicks * int64_t(i); }
    // The start of the first pending frame, a frame after the run's last
    // when the run's times count.
    std::optional<int64_t> counted() const
    {
        return m_told ? std::optional(ptsOf(m_run.back()) + m_frameTicks) : std::nullopt;
    }

    // Keeps the pending frames a frame apart from `first` (each one whose
    // time read is there keeps its own); without `first`, from the last time
    // read, else at the demuxer's guesses.
    void placePending(std::optional<int64_t> first)
    {
        m_told = m_told || first.has_value();
        if (!first)
            for (size_t i = m_pending.size(); i-- > 0 && !first;)
                if (readTime(m_pending[i]))
                    first = firstStart(i);
        int64_t at = first.value_or(0);
        for (FramePtr& f : m_pending) {
            if (first)
                f->best_effort_timestamp = readTime(f) && near(f->pts, at) ? f->pts : at;
            at += m_frameTicks;
            keep(std::move(f));
        }
        m_pending.clear();
    }

    // The next frame out of the decoder; nullptr at the end or on an error.
    FramePtr receive()
    {
        FramePtr frame(av_frame_alloc());
        while (true) {
            const int got = avcodec_receive_frame(m_dec.get(), frame.get());
            if (got == 0)
                return frame;
            if (got != AVERROR(EAGAIN) || m_draining)
                return nullptr;
            const int read = av_read_frame(m_input.ctx(), m_packet.get());
            if (read < 0) {
                m_draining = true;
                avcodec_send_packet(m_dec.get(), nullptr);
                continue;
            }
            const bool ours = m_packet->stream_index == m_st->index;
            const int sent = ours ? avcodec_send_packet(m_dec.get(), m_packet.get()) : 0;
            av_packet_unref(m_packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA)
                return nullptr;
        }
    }

    void keep(FramePtr frame)
    {
        if (frame->best_effort_timestamp == AV_NOPTS_VALUE)
            frame->best_effort_timestamp = m_run.empty() ? m_start : ptsOf(m_run.back()) + 1;
        // Frames out of order (a broken stream) would break the search.
        if (!m_run.empty() && ptsOf(frame) <= ptsOf(m_run.back()))
            return;
        for (const AVBufferRef* b : frame->buf)
            if (b)
                m_bytes += b->size;
        m_run.push_back(std::move(frame));
        ++m_kept;
        // The oldest go first; the newest two always stay, as a search
        // decodes up to the first frame past its target.
        while (m_bytes > kBudget && m_run.size() > 2) {
            for (const AVBufferRef* b : m_run.front()->buf)
                if (b)
                    m_bytes -= b->size;
            m_run.pop_front();
        }
    }

    static constexpr size_t kBudget = size_t(96) << 20;
    Input m_input;
    AVStream* m_st = nullptr;
    std::unique_ptr<AVCodecContext, CodecFree> m_dec;
    std::unique_ptr<AVPacket, PacketFree> m_packet{av_packet_alloc()};
    int64_t m_start = 0;
    double m_length = 0;
    // Further ahead than this a seek is cheaper than decoding every frame.
    int64_t m_forwardReach = 0;
    // A second before the first frame: a seek there lands on the first keyframe.
    int64_t m_origin = 0;
    int64_t m_frameTicks = 0;
    std::deque<FramePtr> m_run;
    // Frames kept since the reader opened.
    uint64_t m_kept = 0;
    // Decoded after the run, waiting for a time that counts.
    std::vector<FramePtr> m_pending;
    size_t m_bytes = 0;
    bool m_draining = false;
    bool m_runEnded = false;
    // The run's times count: read from the file, and agreed on.
    bool m_told = false;
};

void putLE(QByteArray& out, int offset, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[offset + i] = char((value >> (8 * i)) & 0xff);
}

// A 24-bit BMP: rows bottom up in blue-green-red order, each padded to four
// bytes, written in one piece.
bool saveBmp(const AVFrame* frame, const QString& bmpPath)
{
    const int w = frame->width;
    const int h = frame->height;
    if (w <= 0 || h <= 0 || w > 32768 || h > 32768)
        return false;
    const int stride = (w * 3 + 3) & ~3;
    const int headerSize = 14 + 40;
    QByteArray out(headerSize + qsizetype(stride) * h, '\0');
    out[0] = 'B';
    out[1] = 'M';
    putLE(out, 2, quint32(out.size()), 4);
    putLE(out, 10, headerSize, 4);
    putLE(out, 14, 40, 4);
    putLE(out, 18, quint32(w), 4);
    putLE(out, 22, quint32(h), 4);
    putLE(out, 26, 1, 2);
    putLE(out, 28, 24, 2);
    putLE(out, 34, quint32(stride) * quint32(h), 4);
    putLE(out, 38, 3780, 4); // 96 dots per inch
    putLE(out, 42, 3780, 4);

    SwsContext* sws = sws_getContext(w, h, static_cast<AVPixelFormat>(frame->format), w, h, AV_PIX_FMT_BGR24,
                                     SWS_POINT, nullptr, nullptr, nullptr);
    if (!sws)
        return false;
    // The last row first: start at the bottom and step upwards.
    uint8_t* bottom = reinterpret_cast<uint8_t*>(out.data()) + headerSize + qsizetype(stride) * (h - 1);
    uint8_t* dst[4] = {bottom, nullptr, nullptr, nullptr};
    int dstStride[4] = {-stride, 0, 0, 0};
    const int rows = sws_scale(sws, frame->data, frame->linesize, 0, h, dst, dstStride);
    sws_freeContext(sws);
    QFile file(bmpPath);
    if (rows != h || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size()) {
        file.remove();
        return false;
    }
    return true;
}

// The first program clock reference of a transport stream in seconds, read
// from the first packets (188 bytes, or 192 with a time code before each);
// nullopt when there is none.
std::optional<double> firstClockReference(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(qint64(4) << 20);
    const auto* d = reinterpret_cast<const uchar*>(head.constData());
    for (const qsizetype size : {188, 192}) {
        // In step from the first sync byte that five packets agree on.
        const auto inStep = [&](qsizetype from) {
            for (int k = 0; k < 5; ++k)
                if (from + k * size >= head.size() || d[from + k * size] != 0x47)
                    return false;
            return true;
        };
        qsizetype at = 0;
        while (at < size && !inStep(at))
            ++at;
        if (at == size)
            continue;
        for (; at + 188 <= head.size(); at += size) {
            const uchar* p = d + at;
            if (p[0] != 0x47)
                break;
            // An adaptation field long enough for a clock reference, which it carries.
            if ((p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10)) {
                const uint64_t base = (uint64_t(p[6]) << 25) | (uint64_t(p[7]) << 17) | (uint64_t(p[8]) << 9)
                                    | (uint64_t(p[9]) << 1) | (p[10] >> 7);
                const int extension = ((p[10] & 1) << 8) | p[11];
                return (double(base) * 300 + extension) / 27e6;
            }
        }
    }
    return std::nullopt;
}

// How the media back end counts the file's times, learnt once from the file:
// it stamps frames with the times stored in it, except that it counts a
// transport stream's from its first clock reference and an MP4's from before
// the edit list; its positions count as its stamps do, but from the edit
// list's start.
FrameReader::PlayerTimes playerTimesOf(const QString& path, const FrameSource& source)
{
    const double start = source.startOffset();
    const char* name = source.format()->iformat->name;
    FrameReader::PlayerTimes times{start, start};
    if (std::strcmp(name, "mpegts") == 0) {
        if (const auto clock = firstClockReference(path); clock && *clock <= start)
            times.stamp = times.position = start - *clock;
    } else if (std::strstr(name, "mp4")) {
        const Input stored(path, true);
        const AVStream* st = stored.mainStream(false);
        if (st && st->start_time != AV_NOPTS_VALUE)
            times.stamp = st->start_time * av_q2d(st->time_base);
    }
    return times;
}

// Whether the frame's first plane is its 8-bit brightness.
bool hasLumaPlane(const AVFrame* frame)
{
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
    return desc && !(desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) && desc->comp[0].depth == 8
        && (desc->flags & AV_PIX_FMT_FLAG_PLANAR) && desc->comp[0].plane == 0 && desc->comp[0].step == 1;
}

class LibavFrameReader final : public FrameReader {
public:
    explicit LibavFrameReader(const QString& path) : m_path(path), m_source(std::make_unique<FrameSource>(path))
    {
        if (m_source->ok()) {
            m_times = playerTimesOf(path, *m_source);
            const char* name = m_source->format()->iformat->name;
            m_landsOnKeyFrameAsked = std::strcmp(name, "mpegts") == 0;
            m_seeksToKeyFrames = m_landsOnKeyFrameAsked || std::strcmp(name, "mpeg") == 0;
        }
    }
    bool ok() const { return m_source && m_source->ok(); }

    QImage frameAt(double seconds, double slack, QSize within) override
    {
        const AVFrame* frame = frameFor(seconds, slack);
        if (!frame)
            return {};
        QSize size(frame->width, frame->height);
        if (!within.isEmpty() && size.boundedTo(within) != size)
            size = size.scaled(within, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        return converted(*frame, m_sws, AV_PIX_FMT_BGRA, QImage::Format_RGB32, size);
    }

    QImage thumbnailAt(double seconds, double slack, QSize size) override
    {
        const AVFrame* frame = frameFor(seconds, slack);
        if (!frame)
            return {};
        const QSize picture(frame->width, frame->height);
        if (hasLumaPlane(frame))
            return lumaThumbnail(frame->data[0], frame->linesize[0], picture, size);
        // Brightness from any other layout, at full size first.
        const QImage grey = converted(*frame, m_greySws, AV_PIX_FMT_GRAY8, QImage::Format_Grayscale8, picture);
        return grey.isNull() ? QImage() : lumaThumbnail(grey.constBits(), grey.bytesPerLine(), picture, size);
    }

    PlayerTimes playerTimes() const override { return m_times; }

    bool landsOnKeyFrameAsked() const override { return m_landsOnKeyFrameAsked; }
    bool seeksLandOnKeyFrames() const override { return m_seeksToKeyFrames; }

    std::optional<double> keyFrameOf(double seconds, double slack) override
    {
        const AVFrame* frame = m_seeksToKeyFrames ? frameFor(seconds, slack) : nullptr;
        return frame ? m_source->keyFrameBefore(frame->best_effort_timestamp) : std::nullopt;
    }

    void trim() override
    {
        m_source.reset();
        sws_freeContext(m_sws);
        sws_freeContext(m_greySws);
        m_sws = m_greySws = nullptr;
    }

    ~LibavFrameReader() override { trim(); }

private:
    // The frame in `layout`, which is `format`'s, at `size`.
    static QImage converted(const AVFrame& frame, SwsContext*& sws, AVPixelFormat layout, QImage::Format format,
                            QSize size)
    {
        QImage image(size, format);
        const bool same = size == QSize(frame.width, frame.height);
        sws = sws_getCachedContext(sws, frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
                                   size.width(), size.height(), layout, same ? SWS_POINT : SWS_AREA, nullptr, nullptr,
                                   nullptr);
        if (!sws || image.isNull())
            return {};
        // Colours as the player shows them.
        const bool hd = usesBt709(frame.colorspace == AVCOL_SPC_BT709, frame.colorspace == AVCOL_SPC_UNSPECIFIED,
                                  frame.height);
        sws_setColorspaceDetails(sws, sws_getCoefficients(hd ? SWS_CS_ITU709 : SWS_CS_ITU601),
                                 frame.color_range == AVCOL_RANGE_JPEG, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
        uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
        if (sws_scale(sws, frame.data, frame.linesize, 0, frame.height, dst, dstStride) != size.height())
            return {};
        return image;
    }

    const AVFrame* frameFor(double seconds, double slack)
    {
        // Opened afresh after a trim.
        if (!m_source)
            m_source = std::make_unique<FrameSource>(m_path);
        const auto target = m_source->ticks(std::max(0.0, seconds) + std::max(0.0, slack));
        const AVFrame* frame = target ? m_source->at(*target) : nullptr;
        return frame && frame->width > 0 && frame->height > 0 ? frame : nullptr;
    }

    const QString m_path;
    std::unique_ptr<FrameSource> m_source;
    PlayerTimes m_times;
    bool m_seeksToKeyFrames = false;
    bool m_landsOnKeyFrameAsked = false;
    SwsContext* m_sws = nullptr;
    SwsContext* m_greySws = nullptr;
};

class LibavDetector final : public MediaDetector {
public:
    double streamLength(const QString& path) override;
    QSize videoSize(const QString& path) override;
    double frameRate(const QString& path) override;
    bool writeFrame(const QString& path, double seconds, const QString& bmpPath) override;
    std::unique_ptr<FrameReader> frameReader(const QString& path) override;
};

} // namespace

double LibavDetector::streamLength(const QString& path)
{
    const Input input(path);
    const AVStream* st = input.mainStream(true);
    if (st && st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
        && input.ctx()->duration_estimation_method == AVFMT_DURATION_FROM_PTS) {
        FrameSource source(path);
        if (source.ok())
            return source.decodedLength();
    }
    return st ? input.lengthOf(st) : 0.0;
}

QSize LibavDetector::videoSize(const QString& path)
{
    const Input input(path);
    const AVStream* st = input.mainStream(false);
    if (!st || st->codecpar->width <= 0 || st->codecpar->height <= 0)
        return {};
    return {st->codecpar->width, st->codecpar->height};
}

double LibavDetector::frameRate(const QString& path)
{
    const Input input(path);
    AVStream* st = input.mainStream(false);
    if (!st)
        return 0.0;
    const AVRational rate = av_guess_frame_rate(input.ctx(), st, nullptr);
    return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
}

bool LibavDetector::writeFrame(const QString& path, double seconds, const QString& bmpPath)
{
    if (!std::isfinite(seconds) || seconds < 0.0)
        return false;
    FrameSource source(path);
    if (!source.ok() || (source.length() > 0.0 && seconds > source.length() && seconds > source.decodedLength()))
        return false;
    const auto target = source.ticks(seconds);
    const AVFrame* frame = target ? source.at(*target) : nullptr;
    return frame && saveBmp(frame, bmpPath);
}

std::unique_ptr<FrameReader> LibavDetector::frameReader(const QString& path)
{
    auto reader = std::make_unique<LibavFrameReader>(path);
    return reader->ok() ? std::move(reader) : nullptr;
}

} // namespace vimra

// The module's one entry point; the detector lives as long as the program.
extern "C" __attribute__((visibility("default"))) vimra::MediaDetector* vimraMediaDetector()
{
    static vimra::LibavDetector detector;
    return &detector;
}
