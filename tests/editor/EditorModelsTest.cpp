#include "editor/SetOfStringsModel.h"

#include <gtest/gtest.h>

using namespace vimra;

// Rows, deletion and the worked geometry are walked through the control.
TEST(SetOfStringsModel, DeletingPullsTheScrollBackAndRowsHaveNoLimit)
{
    SetOfStringsModel m;
    m.Resize(7000, 900);
    m.Init(3);
    EXPECT_EQ(m.listArea(), (TwipsRect{0, 0, 5515, 900}));
    EXPECT_EQ(m.addButton(), (TwipsRect{5950, 97.5, 855, 255}));
    EXPECT_EQ(m.deleteButton(), (TwipsRect{5950, 547.5, 855, 255}));
    m.Scrolled(-300);
    EXPECT_EQ(m.rowsPanel().top, -300);
    m.setTicked(3, true);
    m.Delete();
    EXPECT_EQ(m.iScrollMax(), 100);
    EXPECT_EQ(m.iScrollValue(), 0);
    EXPECT_EQ(m.rowsPanel().top, 0);

    for (int i = 0; i < 100; ++i)
        m.AddItem();
    EXPECT_EQ(m.Count(), 102);
    EXPECT_EQ(m.Strng(102), "Text1");
    EXPECT_EQ(m.iScrollMax(), 900 - 102 * 400);
}
