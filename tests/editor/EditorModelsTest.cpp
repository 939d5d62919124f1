#include "EditorTestSupport.h"
#include "editor/AssignedFieldsModel.h"
#include "editor/SetOfStringsModel.h"

#include <gtest/gtest.h>

using namespace vimra;
using namespace vimra::test;

TEST(SetOfStringsModel, RowsGeometryAndScrollAtThePaneSize)
{
    SetOfStringsModel m;
    m.Resize(7000, 900);
    m.Init(3);
    m.Init(5);
    EXPECT_EQ(m.Count(), 3);
    EXPECT_EQ(m.Strng(1), "Text1");
    EXPECT_EQ(m.scrollBar(), (TwipsRect{5500, 0, 255, 900}));
    EXPECT_EQ(m.listArea(), (TwipsRect{0, 0, 5515, 900}));
    EXPECT_EQ(m.rowsPanel(), (TwipsRect{100, 100, 5400, 1200}));
    EXPECT_EQ(m.addButton(), (TwipsRect{5950, 97.5, 855, 255}));
    EXPECT_EQ(m.deleteButton(), (TwipsRect{5950, 547.5, 855, 255}));
    EXPECT_EQ(m.iScrollMax(), -300);
    EXPECT_TRUE(m.bScrollVisible());

    // Scrolled to the bottom, a deletion pulls the value back into range.
    m.Scrolled(-300);
    EXPECT_EQ(m.rowsPanel().top, -300);
    m.setTicked(3, true);
    m.Delete();
    EXPECT_EQ(m.iScrollMax(), 100);
    EXPECT_EQ(m.iScrollValue(), 0);
    EXPECT_EQ(m.rowsPanel().top, 0);
    EXPECT_FALSE(m.bScrollVisible());
}

TEST(SetOfStringsModel, DeleteKeepsTheUntickedRowsInOrderAndAddTakesAnyNumber)
{
    SetOfStringsModel m;
    m.Resize(7000, 900);
    m.Init(5);
    const QStringList texts{"a", "b", "c", "d", "e"};
    for (int i = 1; i <= 5; ++i)
        m.setStrng(i, texts[i - 1]);
    m.setTicked(2, true);
    m.setTicked(3, true);
    m.Delete();
    EXPECT_EQ(m.strings(), QStringList({"a", "d", "e"}));
    EXPECT_FALSE(m.bTicked(1) || m.bTicked(2) || m.bTicked(3));
    for (int i = 1; i <= 3; ++i)
        m.setTicked(i, true);
    m.Delete();
    EXPECT_EQ(m.Count(), 0);
    EXPECT_FALSE(m.bScrollVisible());

    for (int i = 0; i < 100; ++i)
        m.AddItem();
    EXPECT_EQ(m.Count(), 100);
    EXPECT_EQ(m.Strng(100), "Text1");
    EXPECT_EQ(SetOfStringsModel::textRect(100).top, 99 * 400);
}

TEST(AssignedFieldsModel, TicksReachTheFieldsOnlyOnOkAndProtectedRowsSnapBack)
{
    auto c = std::make_shared<SEColl>();
    c->Add(tyString, {}, "Unassigned", {}, {}, false, false, false, false);
    addField(*c, tyString, "Assigned", QStringLiteral("kept"));
    addField(*c, tyString, "StorageGUID", QStringLiteral("/g"), true);
    addField(*c, tyChunkTime, "Time", std::make_shared<Chunk>());
    c->Add(tyString, {}, "Ignored", {}, {}, true, false, false, false);
    c->Add(tyInteger, {}, "Toggled", {}, {}, false, false, false, false);

    AssignedFieldsModel m;
    m.Load(c);
    EXPECT_TRUE(m.setTicked(1, true));
    EXPECT_TRUE(m.setTicked(2, false));
    for (int k : {3, 4})
        EXPECT_FALSE(m.setTicked(k, false));
    EXPECT_FALSE(m.setTicked(5, true));
    EXPECT_TRUE(m.bTicked(3) && m.bTicked(4) && !m.bTicked(5));
    m.setTicked(6, true);
    m.setTicked(6, false);
    EXPECT_FALSE(c->Item(1)->bValid); // nothing before OK

    m.OK(nullptr);
    EXPECT_TRUE(c->Item(1)->bValid && c->Item(1)->bChanged);
    EXPECT_EQ(c->Item(1)->vContent, FieldValue(QStringLiteral("Not Assigned")));
    EXPECT_FALSE(c->Item(2)->bValid);
    EXPECT_TRUE(c->Item(2)->bChanged);
    EXPECT_EQ(c->Item(2)->vContent, FieldValue(QStringLiteral("kept")));
    for (int k : {3, 4, 5, 6})
        EXPECT_FALSE(c->Item(k)->bChanged) << k;
    EXPECT_TRUE(isEmptyValue(c->Item(6)->vContent));
}
