#include "document/DocumentTestSupport.h"

#include "document/DocumentLocator.h"
#include "document/Version.h"
#include "document/Video.h"
#include "segments/AdvancedSlider.h"
#include "segments/Framelist.h"
#include "segments/RangeDialog.h"
#include "segments/VideoForm.h"
#include "segments/EditorRun.h"
#include "shell/frmMain.h"

#include <QKeyEvent>
#include "support/FakeMediaPlayer.h"
#include "support/HangBound.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace vimra;
using namespace vimra::test;

namespace {

struct Seg {
    const char* title;
    double dStart, dEnd;
};
// One expected state: the segment list in list order and the titles along the chain.
struct State {
    std::vector<Seg> list;
    QString chain;
};

class VideoFormSegmentsTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        video = newMain("Video");
    }

    bool inEditor(const std::function<void(VideoWindow&)>& act) { return test::inEditor(video, act); }

    // Presses a button that opens the time dialog and answers it: OK with
    // the seconds given, or Cancel without them.
    void withDialog(VideoWindow& w, const char* button, std::optional<std::pair<int, int>> seconds)
    {
        QTimer::singleShot(0, [&w, seconds] {
            QDialog* d = w.rangeDialog()->window();
            ASSERT_TRUE(d);
            if (!seconds) {
                d->reject();
                return;
            }
            const auto put = [&](RangeTimes::Box mm, RangeTimes::Box ss, int t) {
                w.rangeDialog()->box(mm)->setText(QString::number(t / 60));
                w.rangeDialog()->box(ss)->setText(QString::number(t % 60));
            };
            put(RangeTimes::mm1, RangeTimes::ss1, seconds->first);
            put(RangeTimes::mm2, RangeTimes::ss2, seconds->second);
            d->findChild<QPushButton*>("OKButton")->click();
        });
        w.button(button)->click();
    }

    void mark(VideoWindow& w, double a, double b, const QString& title)
    {
        prompts.texts.push_back(title);
        player().playTo(a);
        w.button("cmdSel")->click();
        player().playTo(b);
        w.button("cmdSel")->click();
    }

    static void select(VideoWindow& w, int a, int b)
    {
        w.advsld()->setIRangeSelectedStart(a);
        w.advsld()->setIRangeSelectedEnd(b);
    }

    // The slider, the strip, the segment list and the chain against one state.
    void expectState(VideoWindow& w, const char* step, const State& st)
    {
        SCOPED_TRACE(step);
        const auto& list = video->colSubExpressions();
        ASSERT_EQ(list.Count(), int(st.list.size()));
        ASSERT_EQ(w.advsld()->Count(), int(st.list.size()));
        ASSERT_EQ(w.Framelist1()->images().size(), st.list.size());
        QStringList chain;
        std::shared_ptr<Expression> head;
        for (const auto& s : list)
            if (std::none_of(list.begin(), list.end(), [&](const auto& o) { return o->objFollowedBy() == s; }))
                head = head ? head : s;
        for (auto s = head; s && chain.size() <= list.Count(); s = s->objFollowedBy())
            chain << s->strTitle();
        EXPECT_EQ(chain.join(' '), st.chain);
        for (int i = 1; i <= list.Count(); ++i) {
            const Seg& e = st.list[size_t(i - 1)];
            const auto span = list.Item(i)->ckGetChunk();
            EXPECT_EQ(list.Item(i)->strTitle(), e.title) << i;
            EXPECT_EQ(std::pair(span->dStart, span->dend), std::pair(e.dStart, e.dEnd)) << i;
            EXPECT_EQ(w.advsld()->ranges().Item(i)->dBegin, e.dStart) << i;
            EXPECT_EQ(w.advsld()->ranges().Item(i)->dend, e.dEnd) << i;
            const auto& image = w.Framelist1()->images()[size_t(i - 1)];
            EXPECT_TRUE(image.label.startsWith(QStringLiteral("'") + e.title + "'")) << i;
            EXPECT_EQ(image.label, w.advsld()->boxes()[size_t(i - 1)].label) << i;
            EXPECT_EQ(image.position, chain.indexOf(e.title) + 1) << i;
        }
    }

    std::shared_ptr<Expression> video;
};

// The model refuses to remove a segment whose subtree is not wholly loaded;
// no document class answers so, this one does.
class UnloadedVideo : public Video {
public:
    using Video::Video;
    std::optional<SubTree> colSelSubTree() override { return std::nullopt; }
};

} // namespace

TEST_F(VideoFormSegmentsTest, CreateModifyRemoveAndMergeWalkThroughStates)
{
    ASSERT_TRUE(inEditor([&](VideoWindow& w) {
        // A first mark blinks the time box and the slider's line; the second ends both.
        const QColor base = w.txtTime()->palette().color(QPalette::Base);
        player().playTo(4);
        w.button("cmdSel")->click();
        EXPECT_TRUE(w.bMarking());
        EXPECT_TRUE(w.advsld()->blinkVisible());
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.bBlink(); }, test::kHangMs));
        EXPECT_NE(w.txtTime()->palette().color(QPalette::Base), base);
        prompts.texts.push_back("A");
        player().playTo(6);
        w.button("cmdSel")->click();
        EXPECT_FALSE(w.bMarking());
        EXPECT_FALSE(w.advsld()->blinkVisible());
        EXPECT_EQ(w.txtTime()->palette().color(QPalette::Base), base);
        EXPECT_EQ(prompts.calls.back().text, text(1103));
        EXPECT_EQ(prompts.calls.back().title, text(1104));
        expectState(w, "mark", {{{"A", 4, 6}}, "A"});

        mark(w, 10, 8, "B");
        mark(w, 16, 17, ""); // no title, no segment
        expectState(w, "reversed mark", {{{"A", 4, 6}, {"B", 8, 10}}, "A B"});

        player().playTo(12);
        withDialog(w, "cmdNew", std::pair{12, 14});
        prompts.texts.push_back("C");
        withDialog(w, "cmdNew", std::pair{12, 14});
        withDialog(w, "cmdNew", std::nullopt);
        withDialog(w, "cmdNew", std::pair{3, 11}); // holds A and B
        withDialog(w, "cmdNew", std::pair{70, 80}); // the end is clipped to 60
        EXPECT_EQ(prompts.messages().mid(prompts.messages().size() - 2), (QStringList{text(1149), text(1102)}));
        expectState(w, "dialog", {{{"A", 4, 6}, {"B", 8, 10}, {"C", 12, 14}}, "A B C"});

        // A segment whose file cannot be made adds no range.
        ASSERT_TRUE(QDir().rename(path("Film_files"), path("Film_files.away")));
        write("Film_files", "a file in the folder's place");
        const auto asked = prompts.calls.size();
        mark(w, 20, 22, "X");
        EXPECT_EQ(prompts.calls.size(), asked + 2); // the title, then the failure
        ASSERT_TRUE(QFile::remove(path("Film_files")));
        ASSERT_TRUE(QDir().rename(path("Film_files.away"), path("Film_files")));
        expectState(w, "failed create", {{{"A", 4, 6}, {"B", 8, 10}, {"C", 12, 14}}, "A B C"});

        // Modify moves A past the others; the chain keeps its order.
        select(w, 1, 3);
        withDialog(w, "cmdModif", std::pair{15, 16});
        expectState(w, "modify", {{{"A", 15, 16}, {"B", 8, 10}, {"C", 12, 14}}, "A B C"});

        // The slider's run from B to C by time leaves A, in all three lists.
        select(w, 2, 3);
        w.Framelist1()->setISelectedStart(2);
        w.Framelist1()->setISelectedEnd(1);
        prompts.answers = {Prompts::No};
        w.button("cmdCanc")->click();
        expectState(w, "remove refused", {{{"A", 15, 16}, {"B", 8, 10}, {"C", 12, 14}}, "A B C"});
        prompts.answers = {Prompts::Yes};
        w.Form_KeyUp(Qt::Key_Delete, Qt::NoModifier);
        expectState(w, "remove", {{{"A", 15, 16}}, "A"});

        // The merge covers both and keeps the anchor's title.
        mark(w, 16, 18, "D");
        select(w, 2, 1);
        prompts.answers = {Prompts::Yes};
        w.button("cmdMerge")->click();
        expectState(w, "merge", {{{"D", 15, 18}}, "D"});
        EXPECT_EQ(w.advsld()->iRangeSelectedStart(), -1);
        prompts.calls.clear();
        w.button("cmdMerge")->click();
        w.button("cmdCanc")->click();
        EXPECT_TRUE(prompts.calls.empty());
    }));
    // Saved and opened again, a new editor shows the last state.
    ASSERT_TRUE(doc->bSave());
    doc = open("Film.xml");
    video = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1))->vdMainVideo();
    ASSERT_TRUE(inEditor([&](VideoWindow& w) { expectState(w, "reopened", {{{"D", 15, 18}}, "D"}); }));
}

TEST_F(VideoFormSegmentsTest, RefusedMergesAndRemovalsKeepTheListsAligned)
{
    video->AddSubExpression("A", 4, 6);
    setObjectMaker([](const QString& cls, std::weak_ptr<AVDocument> d) -> std::shared_ptr<DocObject> {
        return cls == "Video" ? std::make_shared<UnloadedVideo>(std::move(d)) : nullptr;
    });
    video->AddSubExpression("B", 8, 10);
    setObjectMaker(nullptr);
    video->AddSubExpression("C", 12, 14);
    ASSERT_TRUE(inEditor([&](VideoWindow& w) {
        // Modify has stretched A over B: a merge of A alone would swallow B.
        select(w, 1, 1);
        withDialog(w, "cmdModif", std::pair{4, 11});
        select(w, 1, 1);
        prompts.answers = {Prompts::Yes};
        w.button("cmdMerge")->click();
        EXPECT_EQ(prompts.messages().back(), text(1149));
        expectState(w, "refused", {{{"A", 4, 11}, {"B", 8, 10}, {"C", 12, 14}}, "A B C"});

        // B stays; the members around it go, though its stay shifts their indexes.
        select(w, 1, 3);
        prompts.answers = {Prompts::Yes};
        w.button("cmdCanc")->click();
        EXPECT_EQ(prompts.messages().back(), "B :open whole document first!");
        expectState(w, "removal refused", {{{"B", 8, 10}}, "B"});
        // A merge with B removes the other and adds nothing.
        mark(w, 12, 14, "D");
        select(w, 1, 2);
        prompts.answers = {Prompts::Yes};
        w.button("cmdMerge")->click();
        EXPECT_EQ(prompts.messages().back(), "B :open whole document first!");
        expectState(w, "merge refused", {{{"B", 8, 10}}, "B"});
    }));
}

TEST_F(VideoFormSegmentsTest, BoundsExpandKeysAndKeyframe)
{
    video->AddSubExpression("A", 4, 6);
    video->AddSubExpression("B", 8, 10);
    ASSERT_TRUE(inEditor([&](VideoWindow& w) {
        player().playTo(4);
        w.button("cmdNext")->click();
        EXPECT_EQ(player().position, 6);
        w.button("cmdPrev")->click();
        EXPECT_EQ(player().position, 4);
        player().playTo(7);
        w.button("cmdExpandLeft")->click();  // "Extend rigth bound": A's end
        w.button("cmdExpandRight")->click(); // B's start
        expectState(w, "expand", {{{"A", 4, 7}, {"B", 7, 10}}, "A B"});

        // A click seeks to the range's start and copies the selection.
        w.advsld()->setIRangeSelectedStart(2);
        w.advsld()->setIRangeSelectedEnd(2);
        emit w.advsld()->Click(2);
        EXPECT_EQ(player().position, 7);
        EXPECT_EQ(w.Framelist1()->iSelectedStart(), 2);
        // A strip click seeks alike and copies the strip's selection back.
        w.Framelist1()->setISelectedStart(1);
        w.Framelist1()->setISelectedEnd(2);
        emit w.Framelist1()->ImageClick(1, 1);
        EXPECT_EQ(player().position, 4);
        EXPECT_EQ(std::pair(w.advsld()->iRangeSelectedStart(), w.advsld()->iRangeSelectedEnd()), std::pair(1, 2));
        w.advsld()->setDPosition(9);
        emit w.advsld()->Scroll();
        EXPECT_EQ(player().position, 9);

        // Delete asks only with no Shift state, on the Video tab.
        prompts.calls.clear();
        w.Form_KeyUp(Qt::Key_Delete, Qt::ShiftModifier);
        w.TabShown(2);
        w.Form_KeyUp(Qt::Key_Delete, Qt::NoModifier);
        EXPECT_TRUE(prompts.calls.empty());
        w.TabShown(1);

        prompts.answers = {Prompts::No, Prompts::Yes};
        w.button("cmdKeyFrame")->click();
        w.button("cmdKeyFrame")->click();
        EXPECT_EQ(prompts.messages(), (QStringList{text(1176), text(1176), text(1177)}));
        EXPECT_EQ(std::dynamic_pointer_cast<Video>(video)->dGetKeyFrameTime(), 9);
        EXPECT_EQ(w.Framelist1()->images().size(), 2u);

        // One segment merged is made anew, last in the list.
        select(w, 1, 1);
        prompts.answers = {Prompts::Yes};
        w.button("cmdMerge")->click();
        expectState(w, "merge one", {{{"B", 7, 10}, {"A", 4, 7}}, "A B"});
    }));
}

TEST_F(VideoFormSegmentsTest, EscapeCancelsAMarkAndADoubleClickOpensTheSegment)
{
    video->AddSubExpression("A", 4, 6);
    const auto a = video->colSubExpressions().Item(1);
    bool segmentShown = false;
    ASSERT_TRUE(inEditor([&](VideoWindow& w) {
        player().playTo(5);
        w.button("cmdSel")->click();
        EXPECT_EQ(prompts.messages(), QStringList{text(1118)});
        EXPECT_FALSE(w.bMarking());
        player().playTo(7);
        w.button("cmdSel")->click();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(w.dialog(), &escape);
        EXPECT_TRUE(w.dialog()->isVisible() && w.bMarking()) << "while marking, Escape closes nothing";
        w.Form_KeyUp(Qt::Key_Escape, Qt::NoModifier);
        EXPECT_FALSE(w.bMarking());
        EXPECT_FALSE(w.advsld()->blinkVisible());
        QTimer::singleShot(0, [&] {
            segmentShown = formOf(*a).videoWindow() != nullptr;
            EXPECT_EQ(formOf(*video).videoWindow(), nullptr);
            formOf(*a).videoWindow()->dialog()->reject();
        });
        emit w.advsld()->DblClick(1);
    }));
    EXPECT_TRUE(segmentShown);
}

TEST_F(VideoFormSegmentsTest, WithoutMediaOrInATextBoxNothingIsAsked)
{
    video->AddSubExpression("A", 4, 6);
    ASSERT_TRUE(inEditor([&](VideoWindow& w) {
        select(w, 1, 1);
        auto* edit = new QLineEdit(w.dialog());
        edit->show();
        w.dialog()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.dialog(), test::kHangMs));
        edit->setFocus();
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), edit);
        QTest::keyClick(edit, Qt::Key_Delete);
        EXPECT_TRUE(prompts.calls.empty());
        // The same key on the read-only time box asks.
        w.txtTime()->setFocus();
        prompts.answers = {Prompts::No};
        QTest::keyClick(w.txtTime(), Qt::Key_Delete);
        EXPECT_EQ(prompts.messages(), QStringList{text(1101)});
    }));
    players.script.openError = "no stream";
    prompts.calls.clear();
    ASSERT_TRUE(inEditor([&](VideoWindow& w) {
        prompts.calls.clear();
        for (const char* b : {"cmdSel", "cmdNext", "cmdPrev", "cmdExpandLeft", "cmdExpandRight", "cmdModif", "cmdNew",
                              "cmdCanc", "cmdKeyFrame", "cmdMerge"})
            w.button(b)->click();
        emit w.advsld()->Click(1);
        EXPECT_TRUE(prompts.calls.empty());
    }));
    EXPECT_EQ(video->colSubExpressions().Count(), 1);
}

TEST_F(VideoFormSegmentsTest, SampleDocumentEditedSavedAndReopened)
{
    // A settings file of its own: rewritten within a clock tick at the same
    // size, the fixture's would read as unchanged to Qt's settings cache.
    write("sample.conf", "[Vimra]\nXSDPath=" VIMRA_RESOURCES "/vimra.xsd\n");
    qputenv("VIMRA_CONFIG", path("sample.conf").toLocal8Bit());
    ASSERT_EQ(QProcess::execute("bash", {VIMRA_RESOURCES "/../scripts/make-sample.sh", path("sample")}), 0);
    const auto reopen = [&] {
        QString error;
        doc = open("sample/Sample.xml", &error);
        ASSERT_EQ(error, "");
        video = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1))->vdMainVideo();
        ASSERT_NE(video, nullptr);
    };
    reopen();
    players.script.duration = 8;
    // Gulls removed, two marks merged, one made by the dialog, First light modified.
    const State last{{{"Boats leave", 3, 6}, {"First light", 0, 2}, {"N", 7, 8}, {"M1", 6.25, 6.75}},
                     "First light Boats leave M1 N"};
    ASSERT_TRUE(inEditor([&](VideoWindow& w) {
        expectState(w, "opened", {{{"Boats leave", 3, 6}, {"First light", 0, 3}, {"Gulls", 6, 8}},
                                  "First light Boats leave Gulls"});
        select(w, 3, 3);
        prompts.answers = {Prompts::Yes};
        w.button("cmdCanc")->click();
        mark(w, 6.25, 6.5, "M1");
        mark(w, 6.75, 6.5, "M2");
        player().playTo(7);
        prompts.texts.push_back("N");
        withDialog(w, "cmdNew", std::pair{7, 8});
        select(w, 2, 2);
        withDialog(w, "cmdModif", std::pair{0, 2});
        select(w, 3, 4);
        prompts.answers = {Prompts::Yes};
        w.button("cmdMerge")->click();
        player().playTo(1);
        prompts.answers = {Prompts::Yes};
        w.button("cmdKeyFrame")->click();
        expectState(w, "edited", last);
    }));
    ASSERT_TRUE(doc->bSave());
    // Closing the document deletes the removed segments' files.
    discardDocument(doc, doc->io());
    EXPECT_FALSE(QFile::exists(path("sample/Sample_files/Sample_video4.xml")));
    reopen();
    EXPECT_EQ(std::dynamic_pointer_cast<Video>(video)->dGetKeyFrameTime(), 1);
    ASSERT_TRUE(inEditor([&](VideoWindow& w) { expectState(w, "reopened", last); }));
    // The main window's tree shows the chain, each segment with its own keyframe.
    frmMain main;
    main.ResetTree(DocumentUi::Tree::tvwExpression, video->verVersion());
    const QTreeWidgetItem* node = main.tvwExpression->topLevelItem(0)->child(0);
    QStringList titles;
    for (int i = 0; i < node->childCount(); ++i) {
        const auto v = std::dynamic_pointer_cast<Video>(frmMain::objectOf(node->child(i)));
        titles << node->child(i)->text(0);
        EXPECT_FALSE(v->picKeyFrameSmall().isNull() || node->child(i)->icon(0).isNull()) << i;
    }
    EXPECT_EQ(titles.join(' '), last.chain);
}

// The rules follow the list through the changes the editor makes, without
// reading it again: a segment first in time (no predecessor), one last,
// removals of several at once, a merge and a widening; the bounds are then
// walked through the chain both ways.
TEST_F(VideoFormSegmentsTest, RulesFollowEveryChangeOfTheList)
{
    video->AddSubExpression("A", 6, 7);
    video->AddSubExpression("B", 10, 11);
    video->AddSubExpression("C", 12, 13);
    ASSERT_TRUE(inEditor([&](VideoWindow& w) {
        mark(w, 3, 4, "First");
        mark(w, 15, 16, "Last");
        expectState(w, "created", {{{"A", 6, 7}, {"B", 10, 11}, {"C", 12, 13}, {"First", 3, 4}, {"Last", 15, 16}},
                                   "First A B C Last"});
        prompts.answers = {Prompts::Yes, Prompts::Yes};
        select(w, 2, 3); // B and C
        w.button("cmdCanc")->click();
        select(w, 1, 2); // A and First
        w.button("cmdMerge")->click();
        expectState(w, "removed and merged", {{{"Last", 15, 16}, {"A", 3, 7}}, "A Last"});
        player().playTo(8);
        w.button("cmdExpandLeft")->click();
        // A mark inside the widened segment is refused.
        player().playTo(7.5);
        w.button("cmdSel")->click();
        EXPECT_FALSE(w.bMarking());
        const auto walk = [&](const char* button, double from) {
            std::vector<double> at;
            player().playTo(from);
            for (int i = 0; i < 6; ++i) {
                w.button(button)->click();
                at.push_back(player().position);
            }
            return at;
        };
        EXPECT_EQ(walk("cmdNext", 2), (std::vector<double>{3, 8, 15, 16, 16, 16}));
        EXPECT_EQ(walk("cmdPrev", 19), (std::vector<double>{16, 15, 8, 3, 3, 3}));
    }));
}
