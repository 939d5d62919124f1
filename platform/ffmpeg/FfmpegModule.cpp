// The media detector on the FFmpeg libraries, built as a module of its own:
// the program loads it the first time it looks at a media file, so starting
// the program does not load these libraries and the many they depend on.
#include "platform/MediaDetector.h"

#include <QFile>
#include <QFileInfo>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

namespace vimra {

namespace {

// FFmpeg prints its diagnostics on stderr; the program reports failures itself.
void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
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
    explicit Input(const QString& path)
    {
        quietLibraries();
        const QFileInfo info(path);
        if (!info.isFile())
            return;
        // Only local files: the "file:" prefix keeps a name that looks like a URL a
        // file name, and the whitelist keeps playlists from reaching anything else.
        const QByteArray url = "file:" + QFile::encodeName(info.absoluteFilePath());
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
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

// Decodes forward from wherever the input stands to the last frame showing at
// `target` (stream ticks). `late` tells that the first frame came after it;
// with `checkLate` a first keyframe after it tells so before anything is decoded.
FramePtr decodeTo(AVFormatContext* ctx, AVCodecContext* dec, int streamIndex, int64_t target, bool checkLate,
                  bool& late)
{
    late = false;
    bool keySeen = false;
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    FramePtr kept;
    FramePtr first;
    bool draining = false;
    while (true) {
        if (!draining) {
            const int read = av_read_frame(ctx, packet.get());
            if (read < 0) {
                draining = true;
                avcodec_send_packet(dec, nullptr);
            } else {
                const bool ours = packet->stream_index == streamIndex;
                if (ours && checkLate && !keySeen && (packet->flags & AV_PKT_FLAG_KEY)) {
                    keySeen = true;
                    if (packet->pts != AV_NOPTS_VALUE && packet->pts > target) {
                        late = true;
                        return nullptr;
                    }
                }
                const int sent = ours ? avcodec_send_packet(dec, packet.get()) : 0;
                av_packet_unref(packet.get());
                if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA)
                    return nullptr;
                if (!ours)
                    continue;
            }
        }
        while (true) {
            const int got = avcodec_receive_frame(dec, frame.get());
            if (got == AVERROR(EAGAIN) && !draining)
                break;
            if (got < 0) // end of stream or a decoder error: the last frame shown stays
                return kept ? std::move(kept) : std::move(first);
            const int64_t pts = frame->best_effort_timestamp;
            if (pts != AV_NOPTS_VALUE && pts > target) {
                if (kept)
                    return kept;
                late = true;
                if (!first) {
                    first.reset(av_frame_alloc());
                    av_frame_move_ref(first.get(), frame.get());
                }
                return first;
            }
            if (!kept)
                kept.reset(av_frame_alloc());
            av_frame_unref(kept.get());
            av_frame_move_ref(kept.get(), frame.get());
        }
    }
}

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

class LibavDetector final : public MediaDetector {
public:
    double streamLength(const QString& path) override;
    QSize videoSize(const QString& path) override;
    double frameRate(const QString& path) override;
    bool writeFrame(const QString& path, double seconds, const QString& bmpPath) override;
};

} // namespace

double LibavDetector::streamLength(const QString& path)
{
    const Input input(path);
    const AVStream* st = input.mainStream(true);
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
    const Input input(path);
    AVStream* st = input.mainStream(false);
    if (!st)
        return false;
    const double length = input.lengthOf(st);
    if (length > 0.0 && seconds > length)
        return false;

    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return false;
    std::unique_ptr<AVCodecContext, CodecFree> dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0
        || avcodec_open2(dec.get(), codec, nullptr) < 0)
        return false;

    // Ticks rounded down, so a time on a frame's start picks that frame; the
    // stream's start offset (MPEG program streams have one) is added.
    const AVRational tb = st->time_base;
    const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
    const double ticks = std::floor(seconds * tb.den / tb.num + 1e-6);
    if (ticks > static_cast<double>(std::numeric_limits<int64_t>::max() / 2))
        return false;
    const int64_t target = start + static_cast<int64_t>(ticks);

    // Seek back to a keyframe at or before the target and decode forward; a
    // seek that lands late steps further back and tries again.
    int64_t seekTo = target;
    // A quarter second back at first, doubling: a late landing is told by
    // its first keyframe, before anything is decoded, so a retry is cheap.
    int64_t step = std::max<int64_t>(1, av_rescale_q(1, AVRational{1, 4}, tb));
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (avformat_seek_file(input.ctx(), st->index, std::numeric_limits<int64_t>::min(), seekTo, seekTo, 0) < 0
            && av_seek_frame(input.ctx(), st->index, seekTo, AVSEEK_FLAG_BACKWARD) < 0 && attempt > 0)
            break;
        avcodec_flush_buffers(dec.get());
        bool late = false;
        FramePtr frame = decodeTo(input.ctx(), dec.get(), st->index, target, seekTo > start, late);
        if (!frame && !late)
            return false;
        // From the very start there is nothing earlier: the first frame is the one shown.
        if (frame && (!late || seekTo <= start))
            return saveBmp(frame.get(), bmpPath);
        seekTo = std::max(start, seekTo - step);
        step *= 2;
    }
    return false;
}

} // namespace vimra

// The module's one entry point; the detector lives as long as the program.
extern "C" __attribute__((visibility("default"))) vimra::MediaDetector* vimraMediaDetector()
{
    static vimra::LibavDetector detector;
    return &detector;
}
