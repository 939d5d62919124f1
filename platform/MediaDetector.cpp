#include "platform/MediaDetector.h"

#include <QFileInfo>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <mutex>

namespace vimra {

namespace {

// FFmpeg prints its diagnostics on stderr; the program reports failures itself.
void quietLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Closes the input on every way out.
struct InputGuard {
    AVFormatContext* ctx = nullptr;
    ~InputGuard()
    {
        if (ctx)
            avformat_close_input(&ctx);
    }
};

bool isPlayable(const AVStream* stream)
{
    const AVCodecParameters* par = stream->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO)
        return true;
    // Text files with certain extensions open as ANSI art "video"; that is not media.
    return par->codec_type == AVMEDIA_TYPE_VIDEO && par->codec_id != AV_CODEC_ID_ANSI
        && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

} // namespace

double MediaDetector::streamLength(const QString& path)
{
    quietLibraries();
    const QFileInfo info(path);
    if (!info.isFile())
        return 0.0;

    // Only local files: the "file:" prefix keeps a name that looks like a URL a
    // file name, and the whitelist keeps playlists from reaching anything else.
    const QByteArray url = "file:" + QFile::encodeName(info.absoluteFilePath());
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    InputGuard input;
    const int opened = avformat_open_input(&input.ctx, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return 0.0;
    if (avformat_find_stream_info(input.ctx, nullptr) < 0)
        return 0.0;

    // The first video stream sets the length, else the first audio stream;
    // data, subtitle and cover-art streams never do.
    const AVStream* chosen = nullptr;
    for (unsigned i = 0; i < input.ctx->nb_streams; ++i) {
        const AVStream* st = input.ctx->streams[i];
        if (!isPlayable(st))
            continue;
        if (!chosen || (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
                        && chosen->codecpar->codec_type != AVMEDIA_TYPE_VIDEO))
            chosen = st;
    }
    if (!chosen)
        return 0.0;

    double seconds = 0.0;
    if (chosen->duration != AV_NOPTS_VALUE && chosen->duration > 0)
        seconds = chosen->duration * av_q2d(chosen->time_base);
    else if (input.ctx->duration != AV_NOPTS_VALUE && input.ctx->duration > 0)
        seconds = static_cast<double>(input.ctx->duration) / AV_TIME_BASE;
    return seconds > 0.0 ? seconds : 0.0;
}

} // namespace vimra
