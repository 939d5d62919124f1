#include "segments/player/QtMediaPlayer.h"

#include "support/HangBound.h"
#include "support/TestMedia.h"

#include <QTemporaryDir>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vimra;

namespace {

struct Reports : MediaPlayerListener {
    QStringList errors;
    void playbackError(const QString& text) override { errors << text; }
};

} // namespace

TEST(QtMediaPlayer, PlaysSeeksPausesAndShowsFrames)
{
    QtMediaPlayerFactory factory;
    if (!QtMediaPlayer::backendAvailable())
        GTEST_SKIP() << "Qt Multimedia reports no back end to play with";
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.avi");
    ASSERT_TRUE(test::ffmpeg({"-f", "lavfi", "-i", "testsrc=s=160x120:r=25:d=4", "-c:v", "mpeg4", clip}));

    auto player = factory.create();
    Reports reports;
    player->setListener(&reports);
    QVideoSink sink;
    int frames = 0;
    qint64 shownAt = -1; // microseconds
    QObject::connect(&sink, &QVideoSink::videoFrameChanged, [&](const QVideoFrame& f) {
        frames += f.isValid();
        shownAt = f.startTime();
    });
    player->setVideoOutput(&sink);

    ASSERT_EQ(player->open(dir.filePath("none.avi")), dir.filePath("none.avi") + " not found");
    ASSERT_EQ(player->open(clip), QString());
    EXPECT_NEAR(player->Duration(), 4, 0.05);
    EXPECT_NEAR(player->AvgTimePerFrame(), 0.04, 1e-9);
    EXPECT_TRUE(player->hasPicture());

    // Asked before the media has loaded: queued, then shown.
    player->setCurrentPosition(1.23456);
    player->Pause();
    EXPECT_TRUE(QTest::qWaitFor([&] { return frames > 0 || !reports.errors.isEmpty(); }, test::kHangMs));
    ASSERT_TRUE(reports.errors.isEmpty()) << reports.errors.join("; ").toStdString();
    // The frame shown is the one at the position asked, not the first.
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownAt >= 1200000; }, test::kHangMs)) << shownAt;
    EXPECT_LE(shownAt, 1240000);
    EXPECT_EQ(player->CurrentPosition(), 1.23456);

    player->Run();
    EXPECT_TRUE(QTest::qWaitFor([&] { return player->CurrentPosition() > 1.6; }, test::kHangMs));
    player->Pause();
    const double paused = player->CurrentPosition();
    QTest::qWait(300);
    EXPECT_EQ(player->CurrentPosition(), paused);

    player->setCurrentPosition(0.52);
    player->Pause();
    const int before = frames;
    EXPECT_TRUE(QTest::qWaitFor([&] { return frames > before; }, test::kHangMs));
    EXPECT_EQ(player->CurrentPosition(), 0.52);

    // Played before the media could seek: from the position asked. Frames
    // the back end passes on its way there (a seek may land early) pass
    // behind the still: the position never names one before the start.
    ASSERT_EQ(player->open(clip), QString());
    QList<double> positions;
    QObject::connect(&sink, &QVideoSink::videoFrameChanged, [&] { positions << player->CurrentPosition(); });
    player->setCurrentPosition(2.5);
    player->Run();
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownAt > 2600000 || !reports.errors.isEmpty(); }, test::kHangMs));
    EXPECT_TRUE(std::none_of(positions.begin(), positions.end(), [](double t) { return t < 2.48; })) << positions.size();
    player->release();
    EXPECT_TRUE(reports.errors.isEmpty()) << reports.errors.join("; ").toStdString();
}
