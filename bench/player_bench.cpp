// Opens the expression editor N times on the sample document, waits 0.7 s
// and plays half a second in each, and counts the openings that ended in a back-end error or
// did not play. With --play: on generated clips with the frame number burnt
// in (containers at 320x240, H.264 at sizes up to 7680x4320), the editor's
// opening time and memory, and for Play from a position: the time to the
// first moving time code, the frame played first against the one shown, and
// the longest wait of the event loop while playing; --play NAME only the
// clips whose name holds NAME (e.g. "MPEG-PS", "7680x4320").
// Run by hand (see README.md); never by ctest.
#include "BenchSample.h"
#include "platform/MediaDetector.h"
#include "platform/Prompts.h"
#include "resources/StringTable.h"
#include "segments/PlayerModule.h"

#include "support/TestMedia.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QVideoFrame>
#include <QVideoSink>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

using namespace vimra;

namespace {

// Counts the boxes the editor shows.
struct CountingPrompts : SilentPrompts {
    QStringList texts;
    int MsgBox(const QString& text, Buttons buttons, Icon icon, const QString& title) override
    {
        texts << text;
        return SilentPrompts::MsgBox(text, buttons, icon, title);
    }
};

void waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Resident and peak resident memory in MB.
std::pair<long, long> residentMb()
{
    QFile status("/proc/self/status");
    long rss = 0, peak = 0;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                rss = line.mid(6).trimmed().split(' ')[0].toLong() / 1024;
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ')[0].toLong() / 1024;
        }
    return {rss, peak};
}

// Play from `from` in the open editor: until five frames have shown or 10 s.
void playFrom(VideoWindow& w, double from, double rate)
{
    auto* sink = w.picVideoWindow()->findChild<QVideoSink*>();
    auto* video = qobject_cast<QWidget*>(sink->parent());
    w.SeekTo(from);
    // A second's look at the still, as a cataloguer takes before Play.
    waitFor([] { return false; }, 1000);
    const QString before = w.txtTime()->text();
    // Read on the back end's thread from the frame's brightness plane and
    // looked at on the window's after the player's own look: a frame queued
    // whole would hold its picture until then, memory the program itself
    // does not hold, and converting a large one takes long.
    int frames = 0;
    int firstPlayed = -1;
    QObject context;
    QObject::connect(
        sink, &QVideoSink::videoFrameChanged, &context,
        [&](const QVideoFrame& f) {
            if (!f.isValid())
                return;
            QVideoFrame frame(f);
            int number = -1;
            if (frame.map(QVideoFrame::ReadOnly)) {
                number = test::stripedNumber(lumaThumbnail(frame.bits(0), frame.bytesPerLine(0), frame.size(), {160, 120}));
                frame.unmap();
            }
            QMetaObject::invokeMethod(&context, [&, number] {
                if (!video->isHidden() && frames++ == 0)
                    firstPlayed = number;
            }, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    // The event loop's longest wait: a timer due every 10 ms.
    QElapsedTimer clock;
    qint64 lastTick = 0, longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    clock.start();
    tick.start(10);
    w.button("cmdPlay")->click();
    const qint64 playAnswered = clock.elapsed();
    qint64 moving = -1;
    while (clock.elapsed() < 10000 && (frames < 25 || moving < 0)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (moving < 0 && w.txtTime()->text() != before)
            moving = clock.elapsed();
    }
    const qint64 pauseAsked = clock.elapsed();
    w.button("cmdPause")->click();
    const qint64 pauseAnswered = clock.elapsed() - pauseAsked;
    std::printf("  from %.2f (frame %d): first frame played %d, time code moving after %lld ms, "
                "Play answered in %lld ms, Pause in %lld ms, longest event-loop wait %lld ms\n",
                from, int(std::floor(from * rate + 1e-6)), firstPlayed, moving, playAnswered, pauseAnswered,
                longest);
}

int playBench(const QString& dir, AVDocument& doc, const QString& only)
{
    const QString clip = dir + "/sample-clip.mpg";
    const QStringList mp2{"-f", "lavfi", "-i", "sine=d=8", "-c:a", "mp2"};
    const QStringList aac{"-f", "lavfi", "-i", "sine=d=8", "-c:a", "aac"};
    const QStringList mpeg2{"-c:v", "mpeg2video", "-q:v", "2", "-f", "mpegts"};
    const QStringList h264{"-c:v", "libx264", "-preset", "ultrafast", "-g", "50"};
    const struct {
        const char* name;
        QStringList codec;
        int seconds;
        const char* size;
    } clips[] = {
        {"MPEG-TS MPEG-2+MP2", mp2 + mpeg2, 8, "320x240"},
        {"MPEG-TS MPEG-2", mpeg2, 8, "320x240"},
        {"MPEG-TS H.264+AAC", aac + h264 + QStringList{"-f", "mpegts"}, 8, "320x240"},
        {"MPEG-TS H.264", h264 + QStringList{"-f", "mpegts"}, 8, "320x240"},
        {"MPEG-PS MPEG-1+MP2", mp2 + QStringList{"-c:v", "mpeg1video", "-q:v", "2", "-f", "mpeg"}, 8, "320x240"},
        {"MPEG-PS MPEG-2", QStringList{"-c:v", "mpeg2video", "-q:v", "2", "-f", "vob"}, 8, "320x240"},
        {"MP4 H.264+AAC", aac + h264 + QStringList{"-f", "mp4"}, 8, "320x240"},
        {"MP4 H.264", h264 + QStringList{"-f", "mp4"}, 8, "320x240"},
        {"MKV H.264+AAC", aac + h264 + QStringList{"-f", "matroska"}, 8, "320x240"},
        {"MKV H.264", h264 + QStringList{"-f", "matroska"}, 8, "320x240"},
        {"MP4 H.264 1920x1080", h264 + QStringList{"-f", "mp4"}, 4, "1920x1080"},
        {"MP4 H.264 3840x2160", h264 + QStringList{"-f", "mp4"}, 4, "3840x2160"},
        {"MP4 H.264 7680x4320", h264 + QStringList{"-f", "mp4"}, 4, "7680x4320"},
    };
    const auto video = bench::versionOf(doc)->vdMainVideo();
    for (const auto& c : clips) {
        if (!QString::fromLatin1(c.name).contains(only))
            continue;
        if (test::stripedClip(clip, "25", c.codec, c.seconds, c.size).isEmpty()) {
            std::printf("%s: cannot make the clip\n", c.name);
            continue;
        }
        QElapsedTimer opening;
        opening.start();
        bench::inEditor(*video, [&](VideoWindow& w) {
            const qint64 opened = opening.elapsed();
            std::printf("%s: editor open in %lld ms, %ld MB resident\n", c.name, opened, residentMb().first);
            waitFor([] { return false; }, 1000);
            for (const double from : {1.2, 2.52, 3.6})
                playFrom(w, from, 25);
            const auto [rss, peak] = residentMb();
            std::printf("  %ld MB resident, %ld MB at most\n", rss, peak);
        });
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 300;
    StringTable::setLanguage(StringTable::Language::English);
    CountingPrompts prompts;
    setPrompts(&prompts);
    VideoForms videoForms;
    EditorForms editors(videoForms);
    setEditorFactory(&editors);
    PlayerModuleFactory players;
    setMediaPlayerFactory(&players);

    const QString dir = QDir::tempPath() + QStringLiteral("/vimra-player-bench-%1").arg(QCoreApplication::applicationPid());
    if (!bench::makeSample(dir))
        return 1;
    const auto doc = bench::openSample(dir);
    if (!doc)
        return 1;
    if (argc > 1 && QByteArrayView(argv[1]) == "--play") {
        const int result = playBench(dir, *doc, argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
        doc->release();
        QDir(dir).removeRecursively();
        return result;
    }
    const auto video = bench::versionOf(*doc)->vdMainVideo();

    int failed = 0;
    int dead = 0;
    for (int i = 0; i < runs; ++i) {
        prompts.texts.clear();
        bench::inEditor(*video, [&](VideoWindow& w) {
            // A look at the first frame, then played until the time code has
            // moved half a second, or the back end failed.
            waitFor([&] { return !prompts.texts.isEmpty(); }, 700);
            w.button("cmdPlay")->click();
            waitFor([&] { return !prompts.texts.isEmpty() || w.txtTime()->text() >= "00:00:00:12"; }, 5000);
            dead += w.txtTime()->text() < "00:00:00:12";
        });
        if (!prompts.texts.isEmpty()) {
            ++failed;
            std::printf("opening %d: %s\n", i + 1, qPrintable(prompts.texts.join(" | ")));
        }
    }
    std::printf("%d openings: %d ended in an error, %d did not play\n", runs, failed, dead);
    doc->release();
    QDir(dir).removeRecursively();
    return 0;
}
