#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

namespace vimra {

// The frames of one file's video at the times asked, for a player that shows
// the exact frame of its position. Keeps its place in the file, so that a
// step to a near frame costs little.
class FrameReader {
public:
    virtual ~FrameReader() = default;
    // The frame showing at `seconds` plus up to `slack` seconds (for times
    // rounded below a frame's start), at its native size; the first frame for
    // a time before it; a null image when nothing can be decoded.
    virtual QImage frameAt(double seconds, double slack) = 0;
    // The time stamp in the file of time 0 (MPEG program streams start late).
    virtual double startOffset() const = 0;
};

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
    // A reader of the video's frames; nullptr when there is no video that can be decoded.
    virtual std::unique_ptr<FrameReader> frameReader(const QString&) { return nullptr; }
};

class FfmpegMediaDetector : public MediaDetector {
public:
    double streamLength(const QString& path) override;
    QSize videoSize(const QString& path) override;
    double frameRate(const QString& path) override;
    bool writeFrame(const QString& path, double seconds, const QString& bmpPath) override;
    std::unique_ptr<FrameReader> frameReader(const QString& path) override;
};

// The detector in force; never null.
MediaDetector& mediaDetector();
// Installs `d` (nullptr restores FFmpeg). The caller keeps ownership.
void setMediaDetector(MediaDetector* d);

} // namespace vimra
