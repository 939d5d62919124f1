#include "platform/MediaDetector.h"

#include "support/TestFiles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vimra;

namespace {

bool ffmpeg(const QStringList& args)
{
    return QProcess::execute("ffmpeg", QStringList{"-v", "quiet", "-y"} + args) == 0;
}

} // namespace

TEST(MediaDetector, LengthOfGeneratedAudioAndVideo)
{
    QTemporaryDir tmp;
    const QString wav = tmp.filePath("tone.wav");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=duration=2", wav}));
    EXPECT_NEAR(MediaDetector::streamLength(wav), 2.0, 0.05);

    const QString avi = tmp.filePath("clip.avi");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc=duration=3:size=64x48:rate=25", "-c:v", "mpeg4", avi}));
    EXPECT_NEAR(MediaDetector::streamLength(avi), 3.0, 0.1);

    // A name that looks like a URL is still a local file.
    const QString odd = tmp.filePath("http:odd.wav");
    ASSERT_TRUE(QFile::copy(wav, odd));
    EXPECT_NEAR(MediaDetector::streamLength(odd), 2.0, 0.05);
}

TEST(MediaDetector, ZeroForAnythingElse)
{
    QTemporaryDir tmp;
    for (const char* name : {"notes.txt", "notes.nfo", "data.bin", "empty.wav"}) {
        SCOPED_TRACE(name);
        const QString file = tmp.filePath(name);
        ASSERT_NO_FATAL_FAILURE(test::writeFile(
            file, QByteArray(name) != "empty.wav" ? "Some plain words of text,\nnothing to play here.\n" : ""));
        EXPECT_EQ(MediaDetector::streamLength(file), 0.0);
    }
    EXPECT_EQ(MediaDetector::streamLength(tmp.filePath("missing.wav")), 0.0);
    EXPECT_EQ(MediaDetector::streamLength(tmp.path()), 0.0);
    EXPECT_EQ(MediaDetector::streamLength(""), 0.0);
}
