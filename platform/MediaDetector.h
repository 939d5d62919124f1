#pragma once

#include <QSize>
#include <QString>

namespace vimra {

// Answers questions about a media file. The FFmpeg implementation is in force
// unless another is installed (tests install one that needs no media).
class MediaDetector {
public:
    virtual ~MediaDetector() = default;

    // Length in seconds of the file's first stream (the container's length when
    // that stream does not know its own); 0 when the file cannot be read or holds
    // no audio or video stream.
    virtual double streamLength(const QString& path) = 0;
    // The video's native size; an empty size when there is no video.
    virtual QSize videoSize(const QString& path) = 0;
    // Frames per second of the video; 0 when there is no video or it has no rate.
    virtual double frameRate(const QString& path) = 0;
    // Writes the frame showing at `seconds` to `bmpPath` as a 24-bit BMP at the
    // native size. False, and no file, when there is no such frame.
    virtual bool writeFrame(const QString& path, double seconds, const QString& bmpPath) = 0;
};

class FfmpegMediaDetector : public MediaDetector {
public:
    double streamLength(const QString& path) override;
    QSize videoSize(const QString& path) override;
    double frameRate(const QString& path) override;
    bool writeFrame(const QString& path, double seconds, const QString& bmpPath) override;
};

// The detector in force; never null.
MediaDetector& mediaDetector();
// Installs `d` (nullptr restores FFmpeg). The caller keeps ownership.
void setMediaDetector(MediaDetector* d);

} // namespace vimra
