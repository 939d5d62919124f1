#include "platform/MediaDetector.h"

#include "platform/Installed.h"
#include "platform/Module.h"

namespace vimra {

namespace {

// Loaded once, on the first question; without it no media file can be read,
// which is said once on the program's error output.
MediaDetector* moduleDetector()
{
    static MediaDetector* const detector = []() -> MediaDetector* {
        using Entry = MediaDetector* (*)();
        const auto entry = reinterpret_cast<Entry>(
            moduleEntry(VIMRA_FFMPEG_MODULE, "vimraMediaDetector", "media files cannot be read"));
        return entry ? entry() : nullptr;
    }();
    return detector;
}

} // namespace

double FfmpegMediaDetector::streamLength(const QString& path)
{
    MediaDetector* d = moduleDetector();
    return d ? d->streamLength(path) : 0.0;
}

QSize FfmpegMediaDetector::videoSize(const QString& path)
{
    MediaDetector* d = moduleDetector();
    return d ? d->videoSize(path) : QSize();
}

double FfmpegMediaDetector::frameRate(const QString& path)
{
    MediaDetector* d = moduleDetector();
    return d ? d->frameRate(path) : 0.0;
}

bool FfmpegMediaDetector::writeFrame(const QString& path, double seconds, const QString& bmpPath)
{
    MediaDetector* d = moduleDetector();
    return d && d->writeFrame(path, seconds, bmpPath);
}

std::unique_ptr<FrameReader> FfmpegMediaDetector::frameReader(const QString& path)
{
    MediaDetector* d = moduleDetector();
    return d ? d->frameReader(path) : nullptr;
}

MediaDetector& mediaDetector() { return Installed<MediaDetector, FfmpegMediaDetector>::get(); }

void setMediaDetector(MediaDetector* d) { Installed<MediaDetector, FfmpegMediaDetector>::set(d); }

} // namespace vimra
