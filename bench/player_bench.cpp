// The expression editor's player offscreen, on the sample document:
//   player_bench open N    opens the editor N times, plays half a second in
//                          each and counts the openings that ended in a
//                          back-end error or did not play;
//   player_bench step N [h264]  times N frame steps (three +1, one -1) from
//                          the click to the new frame painted in the editor,
//                          on the sample's MPEG-1 clip or a generated H.264 one.
// Run by hand (see README.md); never by ctest.
#include "BenchSample.h"
#include "platform/Prompts.h"
#include "resources/StringTable.h"
#include "segments/QtMediaPlayer.h"

#include <QApplication>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

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

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("open");
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 300;
    StringTable::setLanguage(StringTable::Language::English);
    CountingPrompts prompts;
    setPrompts(&prompts);
    VideoForms videoForms;
    EditorForms editors(videoForms);
    setEditorFactory(&editors);
    QtMediaPlayerFactory qt;
    setMediaPlayerFactory(&qt);

    const QString dir = QDir::tempPath() + "/vimra-player-bench";
    if (!bench::makeSample(dir))
        return 1;
    // "h264": the sample's clip replaced by 8 s of PAL-sized H.264 with the
    // encoder's default keyframe distance (one keyframe in the clip).
    if (argc > 3 && QByteArray(argv[3]) == "h264"
        && QProcess::execute("ffmpeg", {"-v", "quiet", "-y", "-f", "lavfi", "-i", "testsrc=duration=8:size=720x576:rate=25",
                                        "-c:v", "libx264", "-pix_fmt", "yuv420p", "-f", "mp4", dir + "/sample-clip.mpg"})
               != 0)
        return 1;
    const auto doc = bench::openSample(dir);
    if (!doc)
        return 1;
    const auto video = bench::versionOf(*doc)->vdMainVideo();

    if (mode == QLatin1String("open")) {
        int failed = 0;
        int dead = 0;
        for (int i = 0; i < runs; ++i) {
            prompts.texts.clear();
            bench::inEditor(*video, [&](VideoWindow& w) {
                // Played until the time code has moved half a second, or the back end failed.
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
    } else {
        std::vector<double> ms;
        bench::inEditor(*video, [&](VideoWindow& w) {
            auto* still = w.dialog()->findChild<QWidget*>("stillPicture");
            if (!still)
                return;
            waitFor([] { return false; }, 1000);
            for (int i = 0; i < runs; ++i) {
                const bool back = i % 4 == 3;
                const QString before = w.txtTime()->text();
                QElapsedTimer t;
                t.start();
                w.button(back ? "cmdRewind" : "cmdForward")->click();
                // Painted as the screen would show it.
                still->repaint();
                ms.push_back(t.nsecsElapsed() / 1e6);
                if (w.txtTime()->text() == before)
                    std::fprintf(stderr, "step %d did not move\n", i);
                QCoreApplication::processEvents();
            }
        });
        if (ms.empty()) {
            std::printf("no picture to step in\n");
        } else {
            std::sort(ms.begin(), ms.end());
            std::printf("%zu frame steps (three forward, one back): median %.2f ms, 90th %.2f ms, max %.2f ms\n",
                        ms.size(), ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
        }
    }
    doc->release();
    QDir(dir).removeRecursively();
    return 0;
}
