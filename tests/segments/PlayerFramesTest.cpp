#include "segments/AdvancedSlider.h"
#include "segments/EditorRun.h"
#include "segments/Framelist.h"
#include "segments/player/QtMediaPlayer.h"
#include "support/HangBound.h"
#include "support/TestMedia.h"

#include <QAudioOutput>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPushButton>
#include <QTest>
#include <QVideoFrame>
#include <QThread>
#include <QVideoSink>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <random>

using namespace vimra;
using namespace vimra::test;

namespace {

struct KeptPlayers : QtMediaPlayerFactory {
    MediaPlayer* last = nullptr;
    std::unique_ptr<MediaPlayer> create() override
    {
        auto p = QtMediaPlayerFactory::create();
        last = p.get();
        return p;
    }
};

// FFmpeg's answers, counting the frames decoded on the window's thread while watching.
struct WatchedDetector : FfmpegMediaDetector {
    struct Reader : FrameReader {
        Reader(std::unique_ptr<FrameReader> r, WatchedDetector& d) : real(std::move(r)), detector(d) {}
        QImage frameAt(double s, double slack, QSize within) override
        {
            return detector.note(), real->frameAt(s, slack, within);
        }
        QImage thumbnailAt(double s, double slack, QSize size) override
        {
            return detector.note(), real->thumbnailAt(s, slack, size);
        }
        std::optional<double> keyFrameOf(double s, double slack) override
        {
            return detector.note(), real->keyFrameOf(s, slack);
        }
        PlayerTimes playerTimes() const override { return real->playerTimes(); }
        bool seeksLandOnKeyFrames() const override { return real->seeksLandOnKeyFrames(); }
        bool landsOnKeyFrameAsked() const override { return real->landsOnKeyFrameAsked(); }
        void trim() override { real->trim(); }
        std::unique_ptr<FrameReader> real;
        WatchedDetector& detector;
    };
    std::unique_ptr<FrameReader> frameReader(const QString& path) override
    {
        auto real = FfmpegMediaDetector::frameReader(path);
        return real ? std::make_unique<Reader>(std::move(real), *this) : nullptr;
    }
    void note()
    {
        if (watching && QThread::currentThread() == QCoreApplication::instance()->thread())
            ++onWindowThread;
    }
    std::atomic<bool> watching{false};
    std::atomic<int> onWindowThread{0};
};

class PlayerFramesTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        if (!QtMediaPlayer::backendAvailable())
            GTEST_SKIP() << "Qt Multimedia reports no back end to play with";
        setMediaPlayerFactory(&players);
    }
    void TearDown() override
    {
        setMediaPlayerFactory(nullptr);
        // The back ends the editors let go of are deleted later: here, not
        // in the next test.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        EditorTest::TearDown();
    }

    // The main Video over the clip's `length` seconds with two segments.
    std::shared_ptr<Expression> openOver(const QString& media, double length = 8)
    {
        setMedia(media);
        doc = open("Film.xml");
        ver = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1));
        ver->AddMainExpression("Main", "Video", 0, length);
        const auto video = ver->vdMainVideo();
        video->AddSubExpression("A", 1.0, 3.0);
        video->AddSubExpression("B", 4.4, 6.0);
        return video;
    }

    KeptPlayers players;
};

} // namespace

// Seeks, steps, segment jumps and clicks on the slider and the strip, each
// followed by a look at the picture as the window paints it: it shows the
// frame of the time code, on clips at a whole and at a fractional rate with
// an intra-only and a long-GOP codec. Playback's time code follows the
// back end's picture.
TEST_F(PlayerFramesTest, PictureShowsTheFrameOfTheTimeCode)
{
    const struct {
        const char* name;
        const char* rate;
        QStringList codec;
    } clips[] = {
        {"clip25.mpg", "25", {"-c:v", "mpeg1video", "-q:v", "2"}},
        {"clip2997.mpg", "30000/1001", {"-c:v", "mpeg1video", "-q:v", "2"}},
        {"clip25.mp4", "25", {"-c:v", "libx264", "-g", "60"}},
        {"clip2997.mp4", "30000/1001", {"-c:v", "libx264", "-g", "60"}},
    };
    std::mt19937 random(26);
    for (const auto& clip : clips) {
        SCOPED_TRACE(clip.name);
        const QString media = stripedClip(path("Film_files/" + QString::fromLatin1(clip.name)), clip.rate, clip.codec);
        ASSERT_FALSE(media.isEmpty());
        ASSERT_TRUE(inEditor(openOver(media), [&](VideoWindow& w) {
            ASSERT_TRUE(w.bHasMedia());
            MediaPlayer& player = *players.last;
            const double rate = 1 / player.AvgTimePerFrame();
            // Frame n starts at n / rate; the clip's 8 s end before frame ceil(8 rate).
            const int last = int(std::ceil(8 * rate)) - 1;
            const auto frameOf = [&](double t) { return std::min(int(std::floor(t * rate + 1e-6)), last); };
            // The back end's video sink waits a second at most for the main
            // thread when it starts: the event loop runs from here on between
            // actions, and the actions begin once the back end has loaded.
            auto* backEnd = dynamic_cast<QtMediaPlayer&>(player).findChild<QMediaPlayer*>();
            ASSERT_TRUE(QTest::qWaitFor([&] {
                return backEnd->mediaStatus() == QMediaPlayer::LoadedMedia ||
                       backEnd->mediaStatus() == QMediaPlayer::BufferedMedia || !prompts.calls.empty();
            }, test::kHangMs));
            ASSERT_TRUE(prompts.calls.empty()) << prompts.calls[0].text.toStdString();
            int hits = 0;
            for (int i = 0; i < 200; ++i) {
                switch (std::uniform_int_distribution(0, 9)(random)) {
                case 0: case 1: case 2: w.SeekTo(std::uniform_real_distribution(0.0, 8.0)(random)); break;
                case 3: case 4: w.button("cmdForward")->click(); break;
                case 5: w.button("cmdRewind")->click(); break;
                case 6: w.button(i % 2 ? "cmdNext" : "cmdPrev")->click(); break;
                case 7: emit w.advsld()->Click(1 + i % 2); break;
                case 8: emit w.Framelist1()->ImageClick(1 + i % 2, 1); break;
                default:
                    w.advsld()->setDPosition(std::uniform_real_distribution(0.0, 8.0)(random));
                    emit w.advsld()->Scroll();
                }
                QCoreApplication::processEvents();
                const double t = player.CurrentPosition();
                // At the media's end it names the last frame.
                ASSERT_EQ(w.txtTime()->text(),
                          FormatTime(std::min(t, lastFrameStart(player.Duration(), player.AvgTimePerFrame())), rate));
                const int shown = stripedNumber(w.picVideoWindow()->grab().toImage());
                hits += shown == frameOf(t);
                EXPECT_EQ(shown, frameOf(t)) << "at " << t << " after action " << i;
            }
            EXPECT_EQ(hits, 200);
            std::printf("%s: %d of 200 show the frame of the time code\n", clip.name, hits);

            // Playing, the time code names the frame the back end shows,
            // after a seek forwards and one backwards too (frames it passes
            // on its way to the start stay behind the still).
            auto* sink = w.picVideoWindow()->findChild<QVideoSink*>();
            auto* videoWidget = qobject_cast<QWidget*>(sink->parent());
            for (const double from : {1.0, 5.0, 2.0}) {
                SCOPED_TRACE(from);
                w.SeekTo(from);
                w.button("cmdPlay")->click();
                int checked = 0;
                QObject context;
                // Queued as the player's own look at the frame, so after it.
                QObject::connect(
                    sink, &QVideoSink::videoFrameChanged, &context,
                    [&](const QVideoFrame& f) {
                        const double t = player.CurrentPosition();
                        if (f.isValid() && checked < 10 && !videoWidget->isHidden()) {
                            EXPECT_EQ(stripedNumber(f.toImage()), frameOf(t)) << "at " << t;
                            ++checked;
                        }
                    },
                    Qt::QueuedConnection);
                EXPECT_TRUE(QTest::qWaitFor([&] { return checked == 10 || !prompts.calls.empty(); }, test::kHangMs));
                w.button("cmdPause")->click();
                EXPECT_EQ(stripedNumber(w.picVideoWindow()->grab().toImage()), frameOf(player.CurrentPosition()));
            }
            EXPECT_TRUE(prompts.calls.empty()) << prompts.calls[0].text.toStdString();
        }));
        doc->release();
    }
}

// A failure of the back end is reported once; the picture still follows
// every step, and Play starts the back end afresh.
TEST_F(PlayerFramesTest, BackEndFailureIsShownOnceAndTheEditorStaysUsable)
{
    const QString media = stripedClip(path("Film_files/sound.mpg"), "25",
                                      {"-f", "lavfi", "-i", "sine=d=8", "-c:v", "mpeg1video", "-c:a", "mp2"});
    ASSERT_FALSE(media.isEmpty());
    ASSERT_TRUE(inEditor(openOver(media), [&](VideoWindow& w) {
        MediaPlayer& player = *players.last;
        auto* backEnd = dynamic_cast<QtMediaPlayer&>(player).findChild<QMediaPlayer*>();
        ASSERT_TRUE(backEnd);
        const auto fail = [&] { emit backEnd->errorOccurred(QMediaPlayer::ResourceError, "Internal data stream error."); };
        fail();
        fail();
        // Told once the report has returned; Play pressed and the failure
        // reported again while it is told start nothing and add no box.
        EXPECT_TRUE(prompts.calls.empty());
        prompts.whileOpen = [&] {
            w.button("cmdPlay")->click();
            fail();
            QCoreApplication::processEvents();
            EXPECT_FALSE(w.bTimer1Running());
        };
        QCoreApplication::processEvents();
        ASSERT_EQ(prompts.calls.size(), 1u);
        EXPECT_EQ(prompts.calls[0].text, "Could not play the media file " + media + ": Internal data stream error.");

        w.SeekTo(2.0);
        w.button("cmdForward")->click();
        w.button("cmdForward")->click();
        EXPECT_EQ(w.txtTime()->text(), "00:00:02:02");
        EXPECT_EQ(stripedNumber(w.picVideoWindow()->grab().toImage()), 52);

        w.button("cmdPlay")->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return player.CurrentPosition() > 2.5; }, test::kHangMs));
        EXPECT_NE(dynamic_cast<QtMediaPlayer&>(player).findChild<QMediaPlayer*>(), backEnd);
        w.button("cmdPause")->click();
        const int frame = int(std::floor(player.CurrentPosition() * 25 + 1e-6));
        EXPECT_EQ(stripedNumber(w.picVideoWindow()->grab().toImage()), frame);
        EXPECT_EQ(prompts.calls.size(), 1u);
    }));
    doc->release();
}

// Play pressed near the end plays into the end and rests on the last frame,
// on program streams with sound, H.264 in MP4 and in a transport stream, and
// without sound; there the time code names the last frame, +1 keeps it and
// Play does nothing. Play from earlier then plays afresh.
TEST_F(PlayerFramesTest, PlayNearTheEndPlaysIntoTheLastFrame)
{
    const QStringList sound{"-f", "lavfi", "-i", "sine=d=6"};
    const struct {
        const char* name;
        const char* rate;
        QStringList codec;
    } clips[] = {
        {"mpeg1.mpg", "25", sound + QStringList{"-c:v", "mpeg1video", "-q:v", "2", "-c:a", "mp2"}},
        {"mpeg2.vob", "25", sound + QStringList{"-c:v", "mpeg2video", "-q:v", "2", "-c:a", "mp2"}},
        {"h264.mp4", "25", sound + QStringList{"-c:v", "libx264", "-g", "60", "-c:a", "aac"}},
        {"h264.ts", "25", sound + QStringList{"-c:v", "libx264", "-g", "60", "-c:a", "aac"}},
        {"h2997.mp4", "30000/1001", sound + QStringList{"-c:v", "libx264", "-g", "60", "-c:a", "aac"}},
        {"silent.mpg", "25", {"-c:v", "mpeg1video", "-q:v", "2"}},
    };
    for (const auto& clip : clips) {
        SCOPED_TRACE(clip.name);
        const QString media = stripedClip(path("Film_files/" + QString::fromLatin1(clip.name)), clip.rate, clip.codec, 6);
        ASSERT_FALSE(media.isEmpty());
        ASSERT_TRUE(inEditor(openOver(media, 6), [&](VideoWindow& w) {
            MediaPlayer& player = *players.last;
            const double rate = 1 / player.AvgTimePerFrame();
            const double end = lastFrameStart(player.Duration(), player.AvgTimePerFrame());
            const int last = int(std::lround(end * rate));
            const QString endCode = FormatTime(end, rate);
            const auto shown = [&] { return stripedNumber(w.picVideoWindow()->grab().toImage()); };
            // +1 there moves to the media's end, which shows the last frame too.
            const auto restsAtTheEnd = [&] {
                w.Timer1_Timer();
                EXPECT_GE(player.CurrentPosition(), end);
                EXPECT_LE(player.CurrentPosition(), player.Duration());
                EXPECT_EQ(w.txtTime()->text(), endCode);
                EXPECT_EQ(shown(), last);
            };
            for (const double before : {0.8, 0.3}) {
                SCOPED_TRACE(before);
                w.SeekTo(player.Duration() - before);
                const double from = player.CurrentPosition();
                w.button("cmdPlay")->click();
                int between = 0;
                EXPECT_TRUE(QTest::qWaitFor([&] {
                    const double t = player.CurrentPosition();
                    between += t > from && t < end;
                    return (t == end && shown() == last) || !prompts.calls.empty();
                }, 120000));
                ASSERT_TRUE(prompts.calls.empty()) << prompts.calls[0].text.toStdString();
                std::printf("%s: Play at %.2f s played into frame %d (%d looks on the way)\n", clip.name, from, last,
                            between);
                QTest::qWait(300);
                restsAtTheEnd();
                w.button("cmdForward")->click();
                restsAtTheEnd();
                w.button("cmdPlay")->click();
                QTest::qWait(300);
                restsAtTheEnd();
            }
            w.SeekTo(2.0);
            w.button("cmdPlay")->click();
            EXPECT_TRUE(QTest::qWaitFor([&] { return player.CurrentPosition() > 2.2 || !prompts.calls.empty(); }, 120000));
            w.button("cmdPause")->click();
            EXPECT_LT(player.CurrentPosition(), end);
            EXPECT_EQ(shown(), int(std::floor(player.CurrentPosition() * rate + 1e-6)));
            EXPECT_TRUE(prompts.calls.empty()) << prompts.calls[0].text.toStdString();
        }));
        doc->release();
    }
}

// Play from a position starts at the frame the window showed, on every
// container the back end seeks in its own way (MPEG streams land on a key
// frame seconds away), with sound and without: the first frames played are
// the position's and the next ones, and the time code names them. Nothing
// decodes on the window's thread from Play to the still after Pause.
TEST_F(PlayerFramesTest, PlayStartsAtTheFrameShownOnEveryContainer)
{
    // Outlives the players, which the editor may delete after the test.
    static WatchedDetector detector;
    setMediaDetector(&detector);
    const struct Restore {
        ~Restore() { setMediaDetector(nullptr); }
    } restore;
    const QStringList mp2{"-f", "lavfi", "-i", "sine=d=8", "-c:a", "mp2"};
    const QStringList aac{"-f", "lavfi", "-i", "sine=d=8", "-c:a", "aac"};
    const QStringList mpeg2{"-c:v", "mpeg2video", "-q:v", "2"};
    const QStringList h264{"-c:v", "libx264", "-g", "50"};
    const struct {
        const char* name;
        QStringList codec;
    } clips[] = {
        {"mpeg2.ts", mp2 + mpeg2},         {"mpeg2-silent.ts", mpeg2},
        {"h264.ts", aac + h264},           {"h264-silent.ts", h264},
        {"mpeg1.mpg", mp2 + QStringList{"-c:v", "mpeg1video", "-q:v", "2"}},
        {"mpeg2-silent.vob", mpeg2},       {"h264.mp4", aac + h264},
        {"h264-silent.mp4", h264},         {"h264.mkv", aac + h264},
        {"h264-silent.mkv", h264},
    };
    for (const auto& clip : clips) {
        SCOPED_TRACE(clip.name);
        const QString media = stripedClip(path("Film_files/" + QString::fromLatin1(clip.name)), "25", clip.codec);
        ASSERT_FALSE(media.isEmpty());
        ASSERT_TRUE(inEditor(openOver(media), [&](VideoWindow& w) {
            MediaPlayer& player = *players.last;
            auto* sink = w.picVideoWindow()->findChild<QVideoSink*>();
            auto* videoWidget = qobject_cast<QWidget*>(sink->parent());
            for (const double from : {4.96, 1.2, 3.4}) {
                SCOPED_TRACE(from);
                const int start = int(std::floor(from * 25 + 1e-6));
                w.SeekTo(from);
                // Resting there, the paused back end stands by at the still where its seeks land where asked.
                if (from == 3.4)
                    QTest::qWait(500);
                detector.onWindowThread = 0;
                detector.watching = true;
                w.button("cmdPlay")->click();
                std::vector<std::pair<int, int>> shown; // picture, time code's frame
                QObject context;
                // The sound is off while frames before the start pass, and on from the start.
                const QAudioOutput* sound = dynamic_cast<QtMediaPlayer&>(player).findChild<QAudioOutput*>();
                QObject::connect(
                    sink, &QVideoSink::videoFrameChanged, &context,
                    [&](const QVideoFrame& f) {
                        if (f.isValid() && sound && shown.size() < 5)
                            EXPECT_EQ(sound->isMuted(), videoWidget->isHidden());
                        if (f.isValid() && shown.size() < 5 && !videoWidget->isHidden())
                            shown.emplace_back(stripedNumber(f.toImage()),
                                               int(std::floor(player.CurrentPosition() * 25 + 1e-6)));
                    },
                    Qt::QueuedConnection);
                EXPECT_TRUE(QTest::qWaitFor([&] { return shown.size() == 5 || !prompts.calls.empty(); }, 120000));
                w.button("cmdPause")->click();
                const int paused = int(std::floor(player.CurrentPosition() * 25 + 1e-6));
                EXPECT_TRUE(QTest::qWaitFor(
                    [&] { return stripedNumber(w.picVideoWindow()->grab().toImage()) == paused; }, kHangMs));
                detector.watching = false;
                EXPECT_EQ(detector.onWindowThread, 0);
                ASSERT_TRUE(prompts.calls.empty()) << prompts.calls[0].text.toStdString();
                ASSERT_FALSE(shown.empty());
                EXPECT_LE(std::abs(shown[0].first - start), 1) << "first frame played " << shown[0].first;
                for (const auto& [picture, timeCode] : shown)
                    EXPECT_LE(std::abs(picture - timeCode), 1) << picture << " under time code frame " << timeCode;
            }
        }));
        doc->release();
    }
}
