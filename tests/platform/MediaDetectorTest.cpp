#include "platform/MediaDetector.h"

#include "support/AnswersAtOnce.h"
#include "support/TestFiles.h"
#include "support/TestMedia.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include <sys/stat.h>

using namespace vimra;
using namespace vimra::test;

TEST(MediaDetector, LengthOfGeneratedAudioAndVideo)
{
    FfmpegMediaDetector detector;
    QTemporaryDir tmp;
    const QString wav = tmp.filePath("tone.wav");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=duration=2", wav}));
    EXPECT_NEAR(detector.streamLength(wav), 2.0, 0.05);

    const QString avi = tmp.filePath("clip.avi");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc=duration=3:size=64x48:rate=25", "-c:v", "mpeg4", avi}));
    EXPECT_NEAR(detector.streamLength(avi), 3.0, 0.1);

    // A name that looks like a URL is still a local file.
    const QString odd = tmp.filePath("http:odd.wav");
    ASSERT_TRUE(QFile::copy(wav, odd));
    EXPECT_NEAR(detector.streamLength(odd), 2.0, 0.05);
}

// An MPEG program stream with sound knows its length only from the last time
// stamp read, which many packets lack: the length is that of its frames, and
// the last of them can be grabbed.
TEST(MediaDetector, LengthOfAProgramStreamWithSoundIsThatOfItsFrames)
{
    FfmpegMediaDetector detector;
    QTemporaryDir tmp;
    const QStringList sound{"-f", "lavfi", "-i", "sine=d=6", "-c:a", "mp2"};
    for (const auto& [name, codec] : {std::pair{"clip.mpg", "mpeg1video"}, std::pair{"clip.vob", "mpeg2video"}}) {
        SCOPED_TRACE(name);
        const QString media = stripedClip(tmp.filePath(name), "25", sound + QStringList{"-c:v", codec, "-q:v", "2"}, 6);
        ASSERT_FALSE(media.isEmpty());
        EXPECT_NEAR(detector.streamLength(media), 6.0, 1e-6);
        const QString bmp = tmp.filePath("last.bmp");
        ASSERT_TRUE(detector.writeFrame(media, 5.97, bmp));
        EXPECT_EQ(stripedNumber(QImage(bmp)), 149);
    }
}

TEST(MediaDetector, ZeroForAnythingElse)
{
    FfmpegMediaDetector detector;
    QTemporaryDir tmp;
    for (const char* name : {"notes.txt", "notes.nfo", "data.bin", "empty.wav"}) {
        SCOPED_TRACE(name);
        const QString file = tmp.filePath(name);
        ASSERT_NO_FATAL_FAILURE(test::writeFile(
            file, QByteArray(name) != "empty.wav" ? "Some plain words of text,\nnothing to play here.\n" : ""));
        EXPECT_EQ(detector.streamLength(file), 0.0);
        EXPECT_TRUE(detector.videoSize(file).isEmpty());
        EXPECT_EQ(detector.frameRate(file), 0.0);
        EXPECT_FALSE(detector.writeFrame(file, 0.0, tmp.filePath("frame.bmp")));
    }
    // A playlist whose part is a FIFO: opening that would wait for ever.
    const QString playlist = tmp.filePath("list.m3u8"), part = tmp.filePath("part.ts");
    ASSERT_EQ(::mkfifo(QFile::encodeName(part).constData(), 0600), 0);
    test::writeFile(playlist, "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\npart.ts\n#EXT-X-ENDLIST\n");
    EXPECT_TRUE(bAnswersAtOnce({part}, [&] { EXPECT_EQ(detector.streamLength(playlist), 0.0); }));
    EXPECT_EQ(detector.streamLength(tmp.filePath("missing.wav")), 0.0);
    EXPECT_EQ(detector.streamLength(tmp.path()), 0.0);
    EXPECT_EQ(detector.streamLength(""), 0.0);
    EXPECT_FALSE(QFile::exists(tmp.filePath("frame.bmp")));
}

TEST(MediaDetector, FrameShowingAtATime)
{
    FfmpegMediaDetector detector;
    QTemporaryDir tmp;
    const QString clip = tmp.filePath("numbers.avi");
    ASSERT_TRUE(numberedClip(clip));
    EXPECT_EQ(detector.videoSize(clip), QSize(160, 120));
    EXPECT_NEAR(detector.frameRate(clip), 4.0, 1e-9);

    // On a frame's start, just before the next one, between keyframes, the very first and last.
    const struct {
        double seconds;
        int frame;
    } rows[] = {{15.0, 60}, {15.24, 60}, {10.0, 40}, {12.6, 50}, {0.0, 0}, {20.9, 83}, {6.25, 25}, {6.2, 24}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.seconds);
        const QString bmp = tmp.filePath("frame.bmp");
        ASSERT_TRUE(detector.writeFrame(clip, row.seconds, bmp));
        QFile file(bmp);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(30);
        EXPECT_EQ(header.left(2), "BM");
        EXPECT_EQ(uchar(header[28]), 24) << "bits per pixel";
        const QImage image(bmp);
        EXPECT_EQ(image.size(), QSize(160, 120));
        EXPECT_NEAR(qRed(image.pixel(80, 60)), numberedRed(row.frame), 1.2);
        QFile::remove(bmp);
    }

    // Past the end, a negative or a meaningless time, audio only: no frame, no file.
    const QString wav = tmp.filePath("tone.wav");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=duration=2", wav}));
    const QString bmp = tmp.filePath("none.bmp");
    EXPECT_FALSE(detector.writeFrame(clip, 30.0, bmp));
    EXPECT_FALSE(detector.writeFrame(clip, -1.0, bmp));
    EXPECT_FALSE(detector.writeFrame(clip, std::nan(""), bmp));
    EXPECT_FALSE(detector.writeFrame(wav, 1.0, bmp));
    EXPECT_TRUE(detector.videoSize(wav).isEmpty());
    EXPECT_FALSE(QFile::exists(bmp));
}

// Each frame, visited from the last to the first, shows its own number: in
// program streams whose packs split pictures and their headers, in a transport
// stream from its first keyframe on, and past the frames filling the memory.
TEST(MediaDetector, FrameReaderShowsTheFrameOfEachTime)
{
    FfmpegMediaDetector detector;
    QTemporaryDir tmp;
    const struct {
        const char *name, *rate;
        QStringList codec;
        int seconds;
        const char* size;
        int step;
    } clips[] = {
        {"pictures.mpg", "30000/1001", {"-c:v", "mpeg1video", "-q:v", "2", "-threads", "1"}, 8, "160x120", 1},
        {"pictures.vob", "25", {"-c:v", "mpeg2video", "-q:v", "3", "-bf", "2", "-threads", "1"}, 8, "160x120", 1},
        {"pictures.ts", "25", {"-c:v", "libx264", "-g", "30"}, 8, "160x120", 1},
        {"large.mp4", "25", {"-c:v", "libx264", "-preset", "ultrafast", "-g", "250"}, 4, "1920x1080", 40},
    };
    for (const auto& clip : clips) {
        SCOPED_TRACE(clip.name);
        const QString media = stripedClip(tmp.filePath(clip.name), clip.rate, clip.codec, clip.seconds, clip.size);
        ASSERT_FALSE(media.isEmpty());
        const double rate = detector.frameRate(media);
        const auto reader = detector.frameReader(media);
        ASSERT_TRUE(reader);
        for (int n = int(std::lround(clip.seconds * rate)) - 1; n >= 0; n -= clip.step)
            EXPECT_EQ(stripedNumber(reader->frameAt(n / rate, 0.5 / rate)), n) << "at " << n / rate;
        // Within a smaller size, and after the reader let go of its
        // decoding, the same frames, fitted to the size whatever its shape.
        for (const QSize within : {QSize(400, 400), QSize(4000, 90)}) {
            reader->trim();
            const QImage image = reader->frameAt(1.0, 0.5 / rate, within);
            EXPECT_EQ(stripedNumber(image), int(std::lround(rate)));
            const QSize native = reader->frameAt(1.0, 0.5 / rate).size();
            EXPECT_EQ(image.size(), native.boundedTo(within) == native ? native : native.scaled(within, Qt::KeepAspectRatio));
        }
    }
}

// An MPEG stream tells the key frame each frame decodes from (a player's
// seek lands on the one asked in a transport stream, at or after it in a
// program stream); a file with an index, where a seek lands on the time
// itself, tells none.
TEST(MediaDetector, KeyFrameOfAFrameInAnMpegStreamOnly)
{
    FfmpegMediaDetector detector;
    QTemporaryDir tmp;
    const QStringList gop50{"-c:v", "libx264", "-g", "50", "-keyint_min", "50", "-sc_threshold", "0"};
    const QStringList mpeg2{"-c:v", "mpeg2video", "-q:v", "2", "-g", "50", "-sc_threshold", "1000000000"};
    const struct {
        const char* name;
        QStringList codec;
        bool landsOnKeyFrameAsked;
        std::vector<std::pair<double, std::optional<double>>> asked; // time, its key frame
    } clips[] = {
        {"keys.ts", gop50, true, {{0.0, 0.0}, {1.2, 0.0}, {2.0, 2.0}, {2.52, 2.0}, {5.0, 4.0}}},
        {"keys.mpg", mpeg2, false, {{0.0, 0.0}, {1.2, 0.0}, {2.52, 2.0}, {5.0, 4.0}}},
        {"keys.mp4", gop50, false, {{1.2, std::nullopt}, {2.52, std::nullopt}}},
    };
    for (const auto& clip : clips) {
        SCOPED_TRACE(clip.name);
        const QString media = stripedClip(tmp.filePath(clip.name), "25", clip.codec, 6);
        ASSERT_FALSE(media.isEmpty());
        const auto reader = detector.frameReader(media);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->landsOnKeyFrameAsked(), clip.landsOnKeyFrameAsked);
        for (const auto& [at, key] : clip.asked) {
            const std::optional<double> found = reader->keyFrameOf(at, 0.02);
            ASSERT_EQ(found.has_value(), key.has_value()) << "at " << at;
            if (key)
                EXPECT_NEAR(*found, *key, 0.001) << "at " << at;
        }
    }
}
