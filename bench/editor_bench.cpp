// Times the expression editor offscreen: opening on an expression with many
// segments, a position tick deep into a long word list, and a frame step with
// the Qt player. Run by hand (see README.md); never by ctest.
#include "document/AVDocument.h"
#include "document/Transcript.h"
#include "document/Version.h"
#include "document/Video.h"
#include "editor/EditorForms.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/IOManager.h"
#include "resources/StringTable.h"
#include "segments/AdvancedSlider.h"
#include "segments/Framelist.h"
#include "segments/PlayerModule.h"
#include "segments/VideoForm.h"
#include "shell/frmMain.h"
#include "segments/RangeDialog.h"
#include "support/FakeMediaDetector.h"
#include "support/FakeMediaPlayer.h"
#include "support/FakePrompts.h"

#include "BenchSample.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace vimra;
using vimra::bench::inEditor;
using vimra::bench::versionOf;

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
// tree repainting) have been handled; what was left before (a selection's
// repainting) is handled first.
double press(VideoWindow& w, const char* button, bool dialog = false,
             std::optional<std::pair<double, double>> times = std::nullopt)
{
    QCoreApplication::processEvents();
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

// Each operation once on an expression of `n` segments, segment i at
// [2i, 2i + 1] (n even), with the main window's expression tree shown; each
// is checked to have done what its row says. Segments are chosen by their
// times, whatever their order in the list.
using Results = std::vector<std::pair<std::string, double>>;

void segmentOperations(Expression& video, test::FakeMediaPlayerFactory& fake, frmMain& main, int n,
                       Results* results = nullptr)
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
            const Chunk* c = list.Item(i)->spanPeek();
            return std::pair(c->dStart, c->dend);
        };
        // The list index of the segment starting at t, 0 for none.
        const auto at = [&](double t) {
            for (int i = 1; i <= list.Count(); ++i)
                if (const Chunk* c = list.Item(i)->spanPeek(); c && c->dStart == t)
                    return i;
            return 0;
        };
        // The row, and a complaint unless the list, the slider and the tree hold `change` segments more.
        const auto once = [&](const char* name, double ms, int change, const std::function<bool()>& done = [] { return true; }) {
            row(name, Figure{{ms}});
            if (results)
                results->emplace_back(name, ms);
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
        const int modified = at(2 * n - 4.0);
        select(modified, modified);
        once("modify", press(w, "cmdModif", true, std::pair{2 * n - 5.0, 2 * n - 3.0}), 0,
             [&] { return times(modified) == std::pair(2 * n - 5.0, 2 * n - 3.0); });
        select(at(2 * n - 6.0), at(2 * n - 6.0));
        once("remove one", press(w, "cmdCanc"), -1, [&] { return at(2 * n - 6.0) == 0; });
        select(at(2.0 * n), at(2 * n - 2.0));
        once("merge two", press(w, "cmdMerge"), -1,
             [&] { return times(list.Count()) == std::pair(2.0 * n - 2, 2.0 * n + 1); });
        // Segment n / 2 - 1, at [n - 2, n - 1], ends last at or before n + 0.5: it ends there.
        player.playTo(n + 0.5);
        const int widened = at(n - 2.0);
        once("expand (|>)", press(w, "cmdExpandLeft"), 0, [&] { return times(widened).second == n + 0.5; });
        player.playTo(n + 0.7);
        // Segment n / 2 is at [n, n + 1].
        once("next bound", press(w, "cmdNext"), 0, [&] { return player.position == n + 1; });
        once("previous bound", press(w, "cmdPrev"), 0, [&] { return player.position == n; });
        select(5, 5);
        player.playTo(n + 0.9);
        once("set the keyframe", press(w, "cmdKeyFrame"), 0);
        // Segments n - 103 down to n - 202: one run by time.
        select(at(2.0 * (n - 103)), at(2.0 * (n - 202)));
        once("merge a run of 100", press(w, "cmdMerge"), -99,
             [&] { return times(list.Count()) == std::pair(2.0 * (n - 202), 2.0 * (n - 103) + 1); });
    });
}

// ---- the recorded run: what the user sees after each step, for a byte
// comparison of two builds ----

QByteArray imageDigest(const QImage& image)
{
    if (image.isNull())
        return "null";
    const QImage i = image.convertToFormat(QImage::Format_ARGB32);
    QCryptographicHash h(QCryptographicHash::Md5);
    h.addData(QByteArrayView(reinterpret_cast<const char*>(i.constBits()), i.sizeInBytes()));
    return QByteArray::number(i.width()) + "x" + QByteArray::number(i.height()) + ":" + h.result().toHex();
}

QString times(const std::shared_ptr<Chunk>& c)
{
    return c ? QString::asprintf("[%.17g, %.17g]", c->dStart, c->dend) : QStringLiteral("none");
}

void dumpNode(QTextStream& out, const QTreeWidgetItem* node, int depth)
{
    const auto obj = frmMain::objectOf(node);
    out << QString(depth * 2, ' ') << node->text(0) << " | " << (obj ? obj->strGUID() : QString()) << " | "
        << node->data(0, frmMain::kKeyRole).toString() << " | " << node->data(0, frmMain::kPictureRole).toString()
        << " | " << node->data(0, frmMain::kSelPictureRole).toString() << " | "
        << imageDigest(node->icon(0).pixmap(32, 32).toImage()) << " | "
        << imageDigest(node->icon(0).pixmap(32, 32, QIcon::Selected).toImage()) << "\n";
    for (int i = 0; i < node->childCount(); ++i)
        dumpNode(out, node->child(i), depth + 1);
}

// Writes step `name`: the messages since the last step, the segment list and
// chain, the slider, the strip and the expression tree.
struct Recorder {
    QString dir;
    test::FakePrompts& prompts;
    frmMain& main;
    Expression& video;
    int step = 0;
    size_t calls = 0;

    void dump(const QString& name, VideoWindow* w)
    {
        QFile f(dir + QString::asprintf("/%02d ", ++step) + name + ".txt");
        f.open(QIODevice::WriteOnly);
        QTextStream out(&f);
        out << "messages\n";
        for (; calls < prompts.calls.size(); ++calls) {
            const auto& c = prompts.calls[calls];
            out << c.kind << " | " << c.text << " | " << c.title << " | " << c.buttons << " | " << c.icon << "\n";
        }
        const auto& list = video.colSubExpressions();
        out << "list " << list.Count() << "\n";
        for (const auto& s : list) {
            const auto next = s->objFollowedBy();
            out << s->strTitle() << " | " << s->strGUID() << " | " << times(s->ckGetChunk()) << " | "
                << (next ? next->strGUID() : QString()) << " | " << s->bChanged();
            if (const auto v = std::dynamic_pointer_cast<Video>(s)) {
                const auto k = v->objKeyframeObject();
                out << " | " << v->dGetKeyFrameTime() << " | " << (k ? k->strGUID() : QString());
            }
            out << "\n";
        }
        if (w) {
            const auto* slider = w->advsld();
            out << "slider " << slider->Count() << " selected " << slider->iRangeSelectedStart() << " "
                << slider->iRangeSelectedEnd() << " position " << slider->dPosition() << "\n";
            for (int i = 1; i <= slider->Count(); ++i) {
                const auto r = slider->ranges().Item(i);
                const auto& b = slider->boxes()[size_t(i - 1)];
                out << QString::asprintf("%.17g %.17g | %g %g | %d %08x %08x %08x | ", r->dBegin, r->dend,
                                         b.span.left, b.span.width, b.iBarPixels, b.barColor, b.leftTickColor,
                                         b.rightTickColor)
                    << b.label << "\n";
            }
            const auto* strip = w->Framelist1();
            out << "strip " << strip->Count() << " selected " << strip->iSelectedStart() << " "
                << strip->iSelectedEnd() << " scroll " << strip->scrollRange().max << " " << strip->canvasLeft() << "\n";
            for (const auto& image : strip->images())
                out << image.label << " | " << image.element << " " << image.position << " " << image.slot.image.left
                    << " " << image.squareVisible << QString::asprintf(" %08x | ", image.squareColor)
                    << imageDigest(image.picture) << "\n";
        }
        out << "tree\n";
        for (int i = 0; i < main.tvwExpression->topLevelItemCount(); ++i)
            dumpNode(out, main.tvwExpression->topLevelItem(i), 0);
    }
};

// The segment operations and the refusals, each followed by a dump; then a
// removal from the tree, a change through the model alone and a save, whose
// files are copied into `dir`/files.
void recordedRun(const std::shared_ptr<AVDocument>& doc, Expression& video, test::FakeMediaPlayerFactory& fake,
                 frmMain& main, int n, const QString& docDir, const QString& dir)
{
    test::FakePrompts prompts;
    Recorder rec{dir, prompts, main, video};
    main.ResetTree(DocumentUi::Tree::tvwExpression, video.verVersion());
    rec.dump("tree shown", nullptr);
    const auto& list = video.colSubExpressions();
    inEditor(video, [&](VideoWindow& w) {
        auto& player = *fake.last;
        const auto select = [&](int a, int b) {
            w.advsld()->setIRangeSelectedStart(a);
            w.advsld()->setIRangeSelectedEnd(b);
        };
        rec.dump("editor open", &w);
        prompts.texts = {"Marked", "By dialog", "Second by dialog", "", "Last"};
        player.playTo(2 * n + 2.2);
        press(w, "cmdSel");
        player.playTo(2 * n + 2.6);
        press(w, "cmdSel");
        rec.dump("create by marking", &w);
        player.playTo(2.5);
        press(w, "cmdSel");
        rec.dump("mark inside a segment", &w);
        press(w, "cmdNew", true, std::pair{2 * n + 3.0, 2 * n + 4.0});
        rec.dump("create by the dialog", &w);
        press(w, "cmdNew", true, std::pair{2 * n + 3.5, 2 * n + 4.5});
        rec.dump("create overlapping", &w);
        press(w, "cmdNew", true, std::pair{1.25, 1.75});
        rec.dump("create first in time", &w);
        press(w, "cmdNew", true, std::pair{0.25, 0.5});
        rec.dump("create without a title", &w);
        select(3, 3);
        press(w, "cmdModif", true, std::pair{2 * n - 5.0, 2 * n - 3.0});
        rec.dump("modify", &w);
        select(4, 4);
        press(w, "cmdCanc");
        rec.dump("remove one", &w);
        select(1, 2);
        press(w, "cmdMerge");
        rec.dump("merge two", &w);
        select(list.Count() - 3, list.Count());
        press(w, "cmdMerge");
        rec.dump("merge swallowing others", &w);
        player.playTo(n + 0.5);
        press(w, "cmdExpandLeft");
        rec.dump("expand left", &w);
        player.playTo(n / 2 + 0.25);
        press(w, "cmdExpandRight");
        rec.dump("expand right", &w);
        player.playTo(n + 0.7);
        press(w, "cmdNext");
        press(w, "cmdPrev");
        rec.dump("next and previous bound", &w);
        select(6, 6);
        player.playTo(n + 0.9);
        press(w, "cmdKeyFrame");
        rec.dump("set the keyframe", &w);
        select(101, std::min(200, list.Count()));
        press(w, "cmdMerge");
        rec.dump("merge a run", &w);
        select(8, 10);
        press(w, "cmdCanc");
        rec.dump("remove three", &w);
        player.playTo(2 * n + 8.0);
        press(w, "cmdSel");
        player.playTo(2 * n + 8.5);
        press(w, "cmdSel");
        rec.dump("create last", &w);
    });
    // The fifth node in the chain, deleted from the tree.
    QTreeWidgetItem* node = main.tvwExpression->topLevelItem(0)->child(0)->child(4);
    main.tvwExpression->setCurrentItem(node);
    node->setSelected(true);
    main.DeleteSelectedObject(main.tvwExpression);
    rec.dump("delete from the tree", nullptr);
    video.AddSubExpression("Through the model", 2 * n + 9.0, 2 * n + 9.5);
    video.RemoveSubExpressionByPointer(list.Item(7));
    rec.dump("through the model", nullptr);
    doc->bSave();
    rec.dump("saved", nullptr);
    QDirIterator it(docDir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString to = dir + "/files/" + QDir(docDir).relativeFilePath(path);
        QDir().mkpath(QFileInfo(to).path());
        QFile::copy(path, to);
    }
}

// One column of the sweep: the sample with `n` segments written as its main
// Video's files and opened, `beside` more Versions of 1,000 Video segments
// each, the editor opened three times, every segment operation once, and a
// segment added and removed through the model alone (five times each, the
// least kept).
Results sweepRun(const QString& dir, int n, int beside)
{
    Results out;
    test::FakeMediaPlayerFactory fake;
    fake.script.duration = n * 2 + 10;
    std::shared_ptr<AVDocument> doc;
    // Untimed: the editor opened and a segment added on a small document of
    // its own make the process's first window and start the frame grabber
    // (as the real player showing its first frame would); the
    // measured document opens afresh, its segments not yet ordered by time
    // and no new identifier searched for.
    const QString warmDir = dir + "-warm-up";
    if (bench::makeSample(warmDir) && bench::writeLongVideo(warmDir, 8)) {
        test::FakePrompts quiet;
        if (const auto warm = bench::openSample(warmDir)) {
            const auto video = versionOf(*warm)->vdMainVideo();
            inEditor(*video, [](VideoWindow&) {});
            video->AddSubExpression("Warm-up", 100.0, 100.5);
            warm->release();
        }
    }
    QDir(warmDir).removeRecursively();
    if (bench::makeSample(dir) && bench::writeLongVideo(dir, n)) {
        // The segments' keyframes lie past the clip's end: no grab is tried at open.
        test::FakeMediaDetector noFrames;
        noFrames.failGrabs = true;
        doc = bench::openSample(dir);
    }
    if (!doc)
        return out;
    test::FakePrompts setup;
    for (int v = 0; v < beside; ++v) {
        doc->AddChild(QString("Beside %1").arg(v + 1));
        const auto other = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(doc->colChilds().Count()));
        other->AddMainExpression("Other", "Video", 0, 2010);
        for (int i = 1000; i >= 1; --i)
            other->vdMainVideo()->AddSubExpression(QString("Other %1").arg(i), i * 2, i * 2 + 1);
    }
    const auto video = versionOf(*doc)->vdMainVideo();
    if (!video || video->colSubExpressions().Count() != n) {
        std::fprintf(stderr, "%d segments made\n", video ? video->colSubExpressions().Count() : -1);
        return out;
    }
    std::printf("%d segments, %d objects in the document\n", n, doc->collObjects().Count());
    // The program's document, as the main window's keyframe icons look for it.
    appState().objAVDoc = doc;
    // The first opening also orders the segments by time and indexes the
    // document's part-of fields; the create by marking that follows is the
    // first new identifier.
    Figure opening;
    for (int r = 0; r < 3; ++r) {
        QElapsedTimer t;
        t.start();
        inEditor(*video, [&](VideoWindow&) { opening.ms.push_back(t.nsecsElapsed() / 1e6); });
    }
    Figure first;
    first.ms.push_back(opening.ms.front());
    row("open the editor, the first time", first);
    row("open the editor (fake player)", opening);
    out.emplace_back("open the editor, the first time", first.min());
    out.emplace_back("open the editor", opening.min());
    {
        frmMain main;
        main.show();
        segmentOperations(*video, fake, main, n, &out);
    }
    Figure add, remove;
    for (int r = 0; r < 5; ++r) {
        QElapsedTimer t;
        t.start();
        video->AddSubExpression("Model", 2 * n + 7.0, 2 * n + 7.5);
        add.ms.push_back(t.nsecsElapsed() / 1e6);
        const auto added = video->colSubExpressions().Item(video->colSubExpressions().Count());
        t.restart();
        video->RemoveSubExpressionByPointer(added);
        remove.ms.push_back(t.nsecsElapsed() / 1e6);
    }
    row("AddSubExpression (model)", add);
    row("RemoveSubExpressionByPointer (model)", remove);
    out.emplace_back("AddSubExpression (model)", add.min());
    out.emplace_back("RemoveSubExpressionByPointer (model)", remove.min());
    appState().objAVDoc = nullptr;
    doc->release();
    return out;
}

// The table of the sweep: one column per run, and for sizes ten times apart
// the factor each operation grew by.
void printSweep(const std::vector<std::pair<QString, Results>>& columns, bool bGrowth)
{
    if (columns.empty() || columns.front().second.empty())
        return;
    std::printf("\n%-38s", "ms");
    for (const auto& [name, results] : columns)
        std::printf(" %22s", qPrintable(name));
    // "x10 -> x" heads the factor of the time for ten times the size.
    if (bGrowth)
        for (size_t c = 1; c < columns.size(); ++c)
            std::printf("  %13s", qPrintable(QString("x%1 -> x").arg(columns[c].first.split(' ').first().toDouble()
                                                                      / columns[c - 1].first.split(' ').first().toDouble())));
    std::printf("\n");
    for (size_t r = 0; r < columns.front().second.size(); ++r) {
        std::printf("%-38s", columns.front().second[r].first.c_str());
        for (const auto& [name, results] : columns)
            std::printf(" %22.3f", r < results.size() ? results[r].second : 0.0);
        if (bGrowth)
            for (size_t c = 1; c < columns.size(); ++c) {
                const auto& a = columns[c - 1].second;
                const auto& b = columns[c].second;
                if (r < a.size() && r < b.size() && a[r].second > 0)
                    std::printf("  %13.1f", b[r].second / a[r].second);
            }
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // --record DIR SEGMENTS: the recorded run alone.
    QString record;
    if (argc > 2 && QByteArray(argv[1]) == "--record") {
        record = QString::fromLocal8Bit(argv[2]);
        argv += 2;
        argc -= 2;
    }
    // --sizes N,N,...: the opening and the segment operations at each size,
    // then how each grows. --beside V,V,...: the same on 1,000 segments with
    // V more Versions of 1,000 Video segments each in the document, and a
    // segment added and removed through the model alone.
    std::vector<int> sizes, beside;
    for (const char* flag : {"--sizes", "--beside"})
        if (argc > 2 && QByteArray(argv[1]) == flag) {
            for (const auto& n : QByteArray(argv[2]).split(','))
                (QByteArray(flag) == "--sizes" ? sizes : beside).push_back(std::max(QByteArray(flag) == "--sizes" ? 8 : 0, n.toInt()));
            argv += 2;
            argc -= 2;
        }
    if (argc > 1 && argv[1][0] == '-') {
        std::fprintf(stderr, "usage: vimra_editor_bench [--record FOLDER] [--sizes N,N,...] [--beside V,V,...] "
                             "[SEGMENTS [WORDS [RUNS]]]\n");
        return 2;
    }
    // The operations pick segments around the middle and a run of them: at least eight.
    const int segments = argc > 1 ? std::max(8, atoi(argv[1])) : 1000;
    const int words = argc > 2 ? std::max(10, atoi(argv[2])) : 50000;
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 50;
    StringTable::setLanguage(StringTable::Language::English);
    SilentPrompts silent;
    setPrompts(&silent);
    VideoForms videoForms;
    EditorForms editors(videoForms);
    setEditorFactory(&editors);

    // The sample document: a Version over an 8 s MPEG-1 clip.
    // Identifiers are absolute paths: a recorded run is compared only with one in the same folder.
    const QString dir = qEnvironmentVariableIsEmpty("VIMRA_BENCH_DIR") ? QDir::tempPath() + "/vimra-editor-bench"
                                                                     : qEnvironmentVariable("VIMRA_BENCH_DIR");
    if (!bench::makeSample(dir))
        return 1;
    const std::function<std::shared_ptr<AVDocument>()> open = [&] { return bench::openSample(dir); };

    if (!sizes.empty() || !beside.empty()) {
        std::vector<std::pair<QString, Results>> columns;
        for (const int n : sizes)
            columns.emplace_back(QString::number(n) + " segments", sweepRun(dir, n, 0));
        for (const int v : beside)
            columns.emplace_back(QString::number(v) + " Versions beside", sweepRun(dir, 1000, v));
        printSweep(columns, !sizes.empty());
        QDir(dir).removeRecursively();
        return 0;
    }

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
        {
            test::FakePrompts setup;
            for (int i = segments; i >= 1; --i)
                video->AddSubExpression(QString("Segment %1").arg(i), i * 2, i * 2 + 1);
            if (!setup.calls.empty() || video->colSubExpressions().Count() != segments)
                std::fprintf(stderr, "%d segments made; the first message: %s\n", video->colSubExpressions().Count(),
                             setup.calls.empty() ? "" : qPrintable(setup.calls.front().text));
        }
        // The words fill the expression's span.
        const double gap = (segments * 2.0 + 8) / words;
        auto list = std::make_shared<WordColl>();
        for (int i = 0; i < words; ++i)
            list->Add({}, {}, i * gap, i * gap + gap / 2, "word");
        std::dynamic_pointer_cast<Transcript>(ver->trMainTranscript())->setWordList(list);
        if (!record.isEmpty()) {
            frmMain main;
            main.show();
            QDir().mkpath(record);
            // The tree's Delete acts on the program's document.
            appState().objAVDoc = doc;
            recordedRun(doc, *video, fake, main, segments, dir, record);
            appState().objAVDoc = nullptr;
            doc->release();
            QDir(dir).removeRecursively();
            return 0;
        }

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

    PlayerModuleFactory players;
    setMediaPlayerFactory(&players);
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
