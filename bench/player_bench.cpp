// Opens the expression editor N times on the sample document, waits 0.7 s
// and plays half a second in each, and counts the openings that ended in a back-end error or
// did not play. Run by hand (see README.md); never by ctest.
#include "BenchSample.h"
#include "platform/Prompts.h"
#include "resources/StringTable.h"
#include "segments/PlayerModule.h"

#include <QApplication>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QPushButton>

#include <algorithm>
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
