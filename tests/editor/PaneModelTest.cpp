#include "EditorTestSupport.h"
#include "editor/PaneModel.h"

#include <gtest/gtest.h>

using namespace vimra;
using namespace vimra::test;

namespace {

PaneModel built(const SEColl& c, int iFrameMoves = 0, double height = PaneModel::kInitialHeight,
                const CloseListRegistry* lists = nullptr)
{
    PaneModel m({QStringLiteral("Collocation")});
    m.Build(c, lists, iFrameMoves, PaneModel::kInitialWidth, height);
    return m;
}

QStringList shownNames(const PaneModel& m)
{
    QStringList out;
    for (int p = 1; p <= int(m.fields().size()); ++p)
        if (m.bShown(p))
            out << m.fields()[p - 1].strName;
    return out;
}

} // namespace

TEST(PaneModel, TenFieldsToATabAndAnIgnoredFieldStillCounts)
{
    for (const auto& [n, tabs] : std::vector<std::pair<int, int>>{{0, 1}, {10, 1}, {11, 2}, {21, 3}})
        EXPECT_EQ(built(*strings(n)).iTabCount(), tabs) << n;
    EXPECT_EQ(PaneModel(PaneParams{}).strTabCaption(2), "Set 2");

    auto c = strings(10);
    c->Add(tyString, {}, "Hidden", QStringLiteral("x"), {}, true, false, false, true);
    PaneModel m = built(*c);
    EXPECT_EQ(m.iTabCount(), 2);
    EXPECT_EQ(m.fields().size(), 10u);
    m.SelectTab(2);
    EXPECT_TRUE(shownNames(m).isEmpty());
}

TEST(PaneModel, TagsAreSchemaPositionsAndTheEleventhFieldStartsTabTwo)
{
    auto c = std::make_shared<SEColl>();
    c->Add(tyString, {}, "Unassigned", {}, {}, false, false, false, false);
    addField(*c, tyChunkTime, "Time", std::make_shared<Chunk>());
    addField(*c, tyWordList, "Words", std::make_shared<WordColl>());
    c->Add(tyString, {}, "Ignored", QStringLiteral("x"), {}, true, false, false, true);
    for (int i = 1; i <= 11; ++i)
        addField(*c, tyString, QStringLiteral("F%1").arg(i), QStringLiteral("v"));
    PaneModel m = built(*c);
    EXPECT_EQ(m.fields().front().iTag, 5);
    EXPECT_EQ(shownNames(m).size(), 10);
    m.SelectTab(2);
    EXPECT_EQ(shownNames(m), QStringList{"F11"});
    EXPECT_EQ(PaneModel::frameRect(11), (TwipsRect{0, 100, 7500, 1200}));
    EXPECT_EQ(PaneModel::controlRect(11, tyString).top, 300);
    EXPECT_EQ(PaneModel::controlRect(2, tyDate), (TwipsRect{200, 1300 + 585, 1320, 330}));
}

TEST(PaneModel, CanvasMovesRoundHalfToEven)
{
    const PaneModel pane({QStringLiteral("Format")});
    const PaneModel storage({QStringLiteral("Collocation"), true});
    for (const auto& [n, t] : std::vector<std::pair<int, int>>{{0, 0}, {5, 0}, {6, 0}, {7, 1}, {16, 2}, {26, 2}})
        EXPECT_EQ(pane.iFrameMoves(n), t) << n;
    EXPECT_EQ(storage.iFrameMoves(5), 0);
    EXPECT_EQ(storage.iFrameMoves(7), 1);

    // The first window holds six rows; one move makes the canvas one tab tall.
    EXPECT_GE(built(*strings(6)).canvas().height, 6 * 1300);
    EXPECT_EQ(built(*strings(16), 2).canvas().height, 13255);
}

TEST(PaneModel, EachTabRemembersItsScrollAcrossSwitchesAndShows)
{
    auto c = strings(25);
    PaneModel m = built(*c, 2);
    ASSERT_LT(m.iScrollMax(), -1000);
    m.Scrolled(-1000);
    EXPECT_EQ(m.canvas().top, -1000);
    m.SelectTab(2);
    EXPECT_EQ(m.iScrollValue(), 0);
    m.Scrolled(-300);
    m.SelectTab(1);
    EXPECT_EQ(m.iScrollValue(), -1000);
    m.Build(*c, nullptr, 2, PaneModel::kInitialWidth, PaneModel::kInitialHeight); // Unload, then Show
    EXPECT_EQ(m.iScrollValue(), -1000);
    EXPECT_EQ(m.canvas().top, -1000);
    m.SelectTab(2);
    EXPECT_EQ(m.iScrollValue(), -300);

    // The keyboard reaches row 10 and back to row 1.
    m.ScrollIntoView(10);
    EXPECT_EQ(m.iScrollValue(), int(m.viewport().height) - (9 * 1300 + 1300 + 100));
    m.ScrollIntoView(1);
    EXPECT_EQ(m.iScrollValue(), 0);

    // A taller window shortens the range: the remembered value is brought into it.
    m.SelectTab(1);
    ASSERT_TRUE(m.Layout(PaneModel::kInitialWidth, 13255 - 500 + 1600));
    EXPECT_EQ(m.iScrollValue(), -500);
    EXPECT_EQ(m.canvas().top, -500);
}

TEST(PaneModel, WheelStepsWithinTheRangeWhicheverWayItRuns)
{
    // A viewport 2000 shorter than the one-tab canvas: Max -2000.
    PaneModel m = built(*strings(12), 1, 13255 - 2000 + 1600);
    ASSERT_EQ(m.iScrollMax(), -2000);
    const int s = PaneModel::kWheelStep;
    m.Wheel(120);
    EXPECT_EQ(m.iScrollValue(), 0);
    m.Wheel(-120);
    EXPECT_EQ(m.iScrollValue(), -s);
    EXPECT_EQ(m.canvas().top, -s);
    m.Wheel(0);
    EXPECT_EQ(m.iScrollValue(), -s);
    for (int i = 0; i < 10; ++i)
        m.Wheel(-1);
    EXPECT_EQ(m.iScrollValue(), -2000);

    // A canvas shorter than the viewport: Max 2000, the canvas moves down.
    PaneModel tall = built(*strings(12), 1, 13255 + 2000 + 1600);
    ASSERT_EQ(tall.iScrollMax(), 2000);
    EXPECT_FALSE(tall.bScrollVisible());
    tall.Wheel(1);
    EXPECT_EQ(tall.iScrollValue(), s);
    tall.Wheel(-1);
    tall.Wheel(-1);
    EXPECT_EQ(tall.iScrollValue(), 0);
}

TEST(PaneModel, OkWithoutEditsChangesNothing)
{
    TitleRecorder ui;
    CloseListRegistry lists;
    auto genre = std::make_shared<CloseList>();
    genre->colItems = listOf({"Fiction", "News"});
    lists.Add(genre, "Genre");

    SEColl c;
    addField(c, tyBool, "Flag", true);
    addField(c, tyBool, "Text flag", QStringLiteral("true"));
    addField(c, tyCloseList, "Genre", QStringLiteral("Opera"), false, "Genre");
    addField(c, tyCloseList, "Kind", QStringLiteral("Orphan"), false, "NoSuchList");
    addField(c, tyDate, "Shown", QDate(1962, 5, 14));
    addField(c, tyDate, "New date", QStringLiteral("01/01/2001"));
    addField(c, tyDate, "Early", QDate(1500, 1, 1));
    addField(c, tyString, "Notes", QStringLiteral("  two\r\nlines \n"));
    addField(c, tyInteger, "Year", 0);
    addField(c, tyReal, "Ratio", 1.5);
    addField(c, tySetOfStrings, "Names", listOf({"a", "b"}));
    addField(c, tySetOfStrings, "No list", {});

    PaneModel m = built(c, 0, PaneModel::kInitialHeight, &lists);
    EXPECT_EQ(m.fields()[2].colItems, QStringList({"Fiction", "News", "Opera"}));
    EXPECT_EQ(m.fields()[3].colItems, QStringList{"Orphan"});
    EXPECT_EQ(m.fields()[11].set->Count(), 0);
    m.Commit(c, nullptr);
    for (const auto& el : c)
        EXPECT_FALSE(el->bChanged) << el->strName.toStdString();
    EXPECT_EQ(c.Item(1)->vContent, FieldValue(true));
    EXPECT_EQ(c.Item(6)->vContent, FieldValue(QStringLiteral("01/01/2001")));
    EXPECT_EQ(c.Item(7)->vContent, FieldValue(QDate(1500, 1, 1)));
    EXPECT_EQ(c.Item(8)->vContent, FieldValue(QStringLiteral("  two\r\nlines \n")));
    EXPECT_EQ(ui.iCalls, 0);
}

TEST(PaneModel, OkWritesEditsBackAndRetitlesOnce)
{
    TitleRecorder ui;
    SEColl c;
    addField(c, tyString, "Collocation", QStringLiteral("/a.mpg"));
    addField(c, tyString, "ShelfMark", QStringLiteral("A"));
    addField(c, tyString, "Locked", QStringLiteral("L"), true);
    addField(c, tyBool, "Flag", false);
    addField(c, tyDate, "Date", QStringLiteral("01/01/2001"));
    addField(c, tySetOfStrings, "Emptied", listOf({"x"}));
    addField(c, tySetOfStrings, "Reordered", listOf({"a", "b"}));

    PaneModel m = built(c);
    auto& f = m.fields();
    f[0].strText = "/b.mpg";
    f[1].strText = "B";
    f[2].strText = "edited anyway";
    f[3].bChecked = true;
    f[4].dtDate = QDate(2001, 1, 2);
    f[5].set->setTicked(1, true);
    f[5].set->Delete();
    f[6].set->setStrng(1, "b");
    f[6].set->setStrng(2, "a");

    m.Commit(c, nullptr);
    EXPECT_EQ(ui.iCalls, 1);
    EXPECT_EQ(c.Item(1)->vContent, FieldValue(QStringLiteral("/b.mpg")));
    EXPECT_TRUE(c.Item(2)->bChanged);
    EXPECT_FALSE(c.Item(3)->bChanged);
    EXPECT_EQ(c.Item(3)->vContent, FieldValue(QStringLiteral("L")));
    EXPECT_EQ(c.Item(4)->vContent, FieldValue(1));
    EXPECT_EQ(c.Item(5)->vContent, FieldValue(QDate(2001, 1, 2)));
    EXPECT_TRUE(c.Item(6)->bChanged);
    EXPECT_FALSE(c.Item(6)->bValid);
    EXPECT_TRUE(isEmptyValue(c.Item(6)->vContent));
    const auto reordered = valueObject<StringList>(c.Item(7)->vContent);
    ASSERT_TRUE(reordered);
    EXPECT_EQ(QStringList(reordered->begin(), reordered->end()), QStringList({"b", "a"}));
    EXPECT_TRUE(c.Item(7)->bChanged && c.Item(7)->bValid);
}

TEST(PaneModel, AFormsOwnFirstTabShowsNoFieldAndKeepsItsScroll)
{
    const auto ownTab = [](int n) {
        PaneModel m({QStringLiteral("Title"), false, QStringLiteral("Video")});
        m.Build(*strings(n), nullptr, m.iFrameMoves(n), PaneModel::kInitialWidth, 6000);
        return m;
    };
    for (const auto& [n, tabs] : std::vector<std::pair<int, int>>{{0, 2}, {10, 2}, {11, 3}}) {
        const PaneModel m = ownTab(n);
        ASSERT_EQ(m.iTabCount(), tabs) << n;
        EXPECT_EQ(m.strTabCaption(1), "Video");
        EXPECT_EQ(m.strTabCaption(tabs), PaneModel::strTabKey(tabs - 1));
    }
    EXPECT_EQ(ownTab(11).strTabCaption(2), "Set 1");
    EXPECT_EQ(PaneModel::strTabKey(2), "Set 2");
    EXPECT_EQ(ownTab(0).iFrameMoves(0), 1);

    PaneModel m = ownTab(11);
    EXPECT_EQ(m.iSelectedTab(), 1);
    EXPECT_TRUE(shownNames(m).isEmpty());
    ASSERT_LT(m.iScrollMax(), 0);
    m.Wheel(-120);
    EXPECT_EQ(m.iScrollValue(), 0); // the wheel is inert on the form's own tab
    m.Scrolled(-300);
    m.SelectTab(2);
    EXPECT_EQ(shownNames(m).size(), 10);
    m.Wheel(-120);
    const int onSet1 = m.iScrollValue();
    m.SelectTab(1);
    EXPECT_EQ(m.iScrollValue(), -300);
    m.SelectTab(2);
    EXPECT_EQ(m.iScrollValue(), onSet1);
}
