// Times the expression editor offscreen: opening on an expression with many
// segments, a position tick deep into a long word list, and a frame step with
// the Qt player. Run by hand (see README.md); never by ctest.
#include "document/AVDocument.h"
#include "document/Transcript.h"
#include "document/Version.h"
#include "editor/EditorForms.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/IOManager.h"
#include "resources/StringTable.h"
#include "segments/AdvancedSlider.h"
#include "segments/QtMediaPlayer.h"
#include "segments/VideoForm.h"
#include "shell/frmMain.h"
#include "segments/RangeDialog.h"
#include "support/FakeMediaPlayer.h"
#include "support/FakePrompts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVideoSink>
#include <QVideoWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

using namespace vimra;

namespace {

struct Figure {
    std::vector<double> ms;
    double min() const { return *std::min_element(ms.begin(), ms.end()); }
    double median() const
    {
        auto v = ms;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    double max() const { return *std::max_element(ms.begin(), ms.end()); }
};

void row(const char* name, const Figure& f)
{
    std::printf("%-34s min %8.3f ms  median %8.3f ms  max %8.3f ms  (%zu runs)\n", name, f.min(), f.median(), f.max(),
                f.ms.size());
}

// Shows the expression's editor and runs `act` in it; closes it afterwards.
void inEditor(Expression& e, const std::function<void(VideoWindow&)>& act)
{
    auto* form = dynamic_cast<VideoForm*>(e.form().get());
    QTimer::singleShot(0, [&] {
        if (VideoWindow* w = form->videoWindow()) {
            act(*w);
            w->dialog()->reject();
        }
    });
    e.ShowForm(nullptr);
}

std::shared_ptr<Version> versionOf(const AVDocument& doc)
{
    return std::dynamic_pointer_cast<Version>(doc.colChilds().Item(1));
}

// From a click on "+1" (every fourth on "-1") to the new frame painted in
// the video's place, with the Qt player.
void frameSteps(const std::function<std::shared_ptr<AVDocument>()>& open, int runs, const char* name)
{
    const auto doc = open();
    if (!doc)
        return;
    Figure step;
    inEditor(*versionOf(*doc)->vdMainVideo(), [&](VideoWindow& w) {
        auto* still = w.dialog()->findChild<QWidget*>("stillPicture");
        if (!still || !w.bHasMedia())
            return;
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            w.button(i % 4 == 3 ? "cmdRewind" : "cmdForward")->click();
            still->repaint();
            step.ms.push_back(t.nsecsElapsed() / 1e6);
            QCoreApplication::processEvents();
        }
    });
    if (!step.ms.empty())
        row(name, step);
    else
        std::printf("%s: the media did not open\n", name);
    doc->release();
}

// Presses a button; a time dialog it opens is answered with `times` or its
// preset. The time runs until the events the press left (the main window's
// tree repainting) have been handled.
double press(VideoWindow& w, const char* button, bool dialog = false,
             std::optional<std::pair<double, double>> times = std::nullopt)
{
    if (dialog)
        QTimer::singleShot(0, [&w, times] {
            if (times)
                w.rangeDialog()->SetTime(times->first, times->second, 0);
            if (QDialog* d = w.rangeDialog()->window())
                d->findChild<QPushButton*>("OKButton")->click();
        });
    QElapsedTimer t;
    t.start();
    w.button(button)->click();
    QCoreApplication::processEvents();
    return t.nsecsElapsed() / 1e6;
}

// Each operation once on an expression of `n` segments at [2i, 2i + 1],
// with the main window's expression tree shown; each is checked to have
// done what its row says.
void segmentOperations(Expression& video, test::FakeMediaPlayerFactory& fake, frmMain& main, int n)
{
    test::FakePrompts prompts;
    main.ResetTree(DocumentUi::Tree::tvwExpression, video.verVersion());
    const auto& list = video.colSubExpressions();
    const QTreeWidgetItem* node = main.tvwExpression->topLevelItem(0)->child(0);
    inEditor(video, [&](VideoWindow& w) {
        auto& player = *fake.last;
        const auto select = [&](int a, int b) {
            w.advsld()->setIRangeSelectedStart(a);
            w.advsld()->setIRangeSelectedEnd(b);
        };
        int count = list.Count();
        const auto times = [&](int i) {
            const auto c = list.Item(i)->ckGetChunk();
            return std::pair(c->dStart, c->dend);
        };
        // The row, and a complaint unless the list, the slider and the tree hold `change` segments more.
        const auto once = [&](const char* name, double ms, int change, const std::function<bool()>& done = [] { return true; }) {
            row(name, Figure{{ms}});
            count += change;
            node = main.tvwExpression->topLevelItem(0)->child(0);
            if (!done() || list.Count() != count || w.advsld()->Count() != count || node->childCount() != count)
                std::fprintf(stderr, "%s: not done (%d segments, %d ranges, %d nodes, %d expected)\n", name,
                             list.Count(), w.advsld()->Count(), node->childCount(), count);
        };
        prompts.texts = {"Marked", "By dialog"};
        player.playTo(2 * n + 2.2);
        press(w, "cmdSel");
        player.playTo(2 * n + 2.6);
        once("create by marking", press(w, "cmdSel"), 1);
        player.playTo(2 * n + 3.2);
        once("create by the dialog", press(w, "cmdNew", true, std::pair{2 * n + 3.0, 2 * n + 4.0}), 1);
        // Member 3 is segment n - 2, at [2n - 4, 2n - 3].
        select(3, 3);
        once("modify", press(w, "cmdModif", true, std::pair{2 * n - 5.0, 2 * n - 3.0}), 0,
             [&] { return times(3) == std::pair(2 * n - 5.0, 2 * n - 3.0); });
        select(4, 4);
        once("remove one", press(w, "cmdCanc"), -1);
        select(1, 2);
        once("merge two", press(w, "cmdMerge"), -1,
             [&] { return times(list.Count()) == std::pair(2.0 * n - 2, 2.0 * n + 1); });
        // The segment ending last at or before n + 0.5 ends there.
        player.playTo(n + 0.5);
        const double before = times(n / 2 - 1).second;
        once("expand (|>)", press(w, "cmdExpandLeft"), 0,
             [&] { return before != n + 0.5 && times(n / 2 - 1).second == n + 0.5; });
        player.playTo(n + 0.7);
        // Segment n / 2 is at [n, n + 1].
        once("next bound", press(w, "cmdNext"), 0, [&] { return player.position == n + 1; });
        once("previous bound", press(w, "cmdPrev"), 0, [&] { return player.position == n; });
        // Members 101 to 200 are segments n - 103 down to n - 202: one run by time.
        select(101, 200);
        once("merge a run of 100", press(w, "cmdMerge"), -99,
             [&] { return times(list.Count()) == std::pair(2.0 * (n - 202), 2.0 * (n - 103) + 1); });
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int segments = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int words = argc > 2 ? std::max(10, atoi(argv[2])) : 50000;
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 50;
    StringTable::setLanguage(StringTable::Language::English);
    SilentPrompts silent;
    setPrompts(&silent);
    VideoForms videoForms;
    EditorForms editors(videoForms);
    setEditorFactory(&editors);

    // The sample document: a Version over an 8 s MPEG-1 clip.
    const QString dir = QDir::tempPath() + "/vimra-editor-bench";
    QDir(dir).removeRecursively();
    if (QProcess::execute(QStringLiteral(VIMRA_SCRIPTS "/make-sample.sh"), {dir}) != 0)
        return 1;
    const QString conf = dir + "/vimra.conf";
    QFile f(conf);
    f.open(QIODevice::WriteOnly);
    f.write("[Vimra]\nXSDPath=" VIMRA_RESOURCES "/vimra.xsd\n");
    f.close();
    qputenv("VIMRA_CONFIG", QFile::encodeName(conf));
    const std::function<std::shared_ptr<AVDocument>()> open = [&]() -> std::shared_ptr<AVDocument> {
        auto io = std::make_shared<IOManager>();
        io->setBFileSystem(true);
        auto doc = AVDocument::create();
        const QString error = doc->strOpen(dir + "/Sample.xml", editorFactory().create(QStringLiteral("AVDocument")), io);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "cannot open the sample: %s\n", qPrintable(error));
            return nullptr;
        }
        return doc;
    };

    {
        test::FakeMediaPlayerFactory fake;
        fake.script.duration = segments * 2 + 10;
        const auto doc = open();
        if (!doc)
            return 1;
        const auto ver = versionOf(*doc);
        ver->AddMainExpression("Long", "Video", 0, segments * 2 + 10);
        const auto video = ver->vdMainVideo();
        // Added back to front, so list order differs from chain order.
        for (int i = segments; i >= 1; --i)
            video->AddSubExpression(QString("Segment %1").arg(i), i * 2, i * 2 + 1);
        // The words fill the expression's span.
        const double gap = (segments * 2.0 + 8) / words;
        auto list = std::make_shared<WordColl>();
        for (int i = 0; i < words; ++i)
            list->Add({}, {}, i * gap, i * gap + gap / 2, "word");
        std::dynamic_pointer_cast<Transcript>(ver->trMainTranscript())->setWordList(list);

        Figure opening, early, late;
        for (int r = 0; r < 5; ++r) {
            QElapsedTimer t;
            t.start();
            inEditor(*video, [&](VideoWindow& w) {
                opening.ms.push_back(t.nsecsElapsed() / 1e6);
                if (w.advsld()->Count() != segments)
                    std::fprintf(stderr, "the slider holds %d ranges\n", w.advsld()->Count());
                auto& player = *fake.last;
                player.playTo(0);
                w.SeekTo(0);
                const auto tick = [&](Figure& fig, int word) {
                    player.playTo(word * gap);
                    QElapsedTimer tt;
                    tt.start();
                    w.Timer1_Timer();
                    fig.ms.push_back(tt.nsecsElapsed() / 1e6);
                };
                for (int i = 5; i < 5 + runs; ++i)
                    tick(early, i);
                w.SeekTo((words - runs - 5) * gap);
                for (int i = words - runs - 5; i < words - 5; ++i)
                    tick(late, i);
            });
        }
        std::printf("%d segments, %d words\n", segments, words);
        row("open the editor (fake player)", opening);
        row("timer tick at word 5", early);
        row("timer tick at word ~50,000", late);
        // The tree is shown as the program shows it, its keyframe icons made.
        frmMain main;
        main.show();
        segmentOperations(*video, fake, main, segments);
        doc->release();
    }

    QtMediaPlayerFactory qt;
    setMediaPlayerFactory(&qt);
    frameSteps(open, runs, "frame step, sample MPEG-1 clip");
    const QString h264 = dir + "/h264.mp4";
    if (QProcess::execute("ffmpeg", {"-v", "quiet", "-y", "-f", "lavfi", "-i", "testsrc=duration=8:size=320x240:rate=25",
                                     "-c:v", "libx264", "-pix_fmt", "yuv420p", h264})
        == 0) {
        // The same document, its Storage pointed at the generated clip.
        QFile s(dir + "/Sample_files/Sample_storage1.xml");
        s.open(QIODevice::ReadOnly);
        QString xml = QString::fromUtf8(s.readAll());
        s.close();
        const int a = xml.indexOf("<Collocation>") + 13;
        xml.replace(a, xml.indexOf("</Collocation>") - a, h264);
        s.open(QIODevice::WriteOnly | QIODevice::Truncate);
        s.write(xml.toUtf8());
        s.close();
        frameSteps(open, runs, "frame step, generated H.264 clip");
    }
    setMediaPlayerFactory(nullptr);
    QDir(dir).removeRecursively();
    return 0;
}
