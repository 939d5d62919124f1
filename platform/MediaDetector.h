#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

namespace vimra {

// The frames of one file's video at the times asked, for a player that shows
// the exact frame of its position. Keeps its place in the file, so that a
// step to a near frame costs little.
class FrameReader {
public:
    virtual ~FrameReader() = default;
    // The frame showing at `seconds` plus up to `slack` seconds (for times
    // rounded below a frame's start), at its native size or, when larger than
    // a valid `within`, scaled down to fit it; the first frame for a time
    // before it; a null image when nothing can be decoded.
    virtual QImage frameAt(double seconds, double slack, QSize within) = 0;
    QImage frameAt(double seconds, double slack) { return frameAt(seconds, slack, QSize()); }
    // The frame showing at `seconds` as a small grey picture of `size` (see
    // lumaThumbnail); a null image when nothing can be decoded.
    virtual QImage thumbnailAt(double seconds, double slack, QSize size) = 0;
    // How a player that stamps frames with the file's own times counts time 0:
    // the stamp of its frame, and the position a seek there asks for. They
    // differ where an edit list trims the start (MP4 with B-frames).
    struct PlayerTimes {
        double stamp = 0;
        double position = 0;
    };
    virtual PlayerTimes playerTimes() const = 0;
    // The start of the key frame from which the frame showing at `seconds`
    // (plus `slack`) decodes, in files where a player's seek lands on a key
    // frame near the time asked rather than on the time (MPEG transport and
    // program streams); nullopt elsewhere or when not known.
    virtual std::optional<double> keyFrameOf(double seconds, double slack)
    {
        (void)seconds;
        (void)slack;
        return std::nullopt;
    }
    // Whether a player's seek lands on a key frame near the time asked (as
    // keyFrameOf tells), not on the time.
    virtual bool seeksLandOnKeyFrames() const { return false; }
    // Whether a player's seek to one of those key frames lands on it exactly
    // (MPEG transport streams), rather than on one at or after it, up to a
    // group of pictures or two late (program streams).
    virtual bool landsOnKeyFrameAsked() const { return false; }
    // Lets go of what decoding holds (decoded frames, the decoder and its
    // buffers: hundreds of megabytes on large pictures); the next frame asked
    // opens the file afresh.
    virtual void trim() {}
};

// Whether a frame's colours convert by BT.709 rather than BT.601: where it is
// tagged so or, untagged, has more than 576 lines, as players take it.
inline bool usesBt709(bool tagged709, bool untagged, int lines) { return tagged709 || (untagged && lines > 576); }

// A `size` picture of a picture's brightness (its luma plane, or grey), each
// point the mean of a few samples of its cell: cheap on any picture size, and
// the same from a decoded frame and from a player's frame.
inline QImage lumaThumbnail(const uchar* luma, qsizetype stride, QSize picture, QSize size)
{
    QImage out(size, QImage::Format_Grayscale8);
    if (!luma || picture.isEmpty() || out.isNull())
        return {};
    constexpr int samples = 4;
    for (int y = 0; y < size.height(); ++y) {
        uchar* row = out.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            int sum = 0;
            for (int j = 0; j < samples; ++j) {
                const qsizetype py = (qsizetype(y) * samples + j) * picture.height() / (size.height() * samples);
                const uchar* line = luma + py * stride;
                for (int i = 0; i < samples; ++i)
                    sum += line[(qsizetype(x) * samples + i) * picture.width() / (size.width() * samples)];
            }
            row[x] = uchar(sum / (samples * samples));
        }
    }
    return out;
}

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
