#include "segments/RangeDialog.h"

#include "segments/SegmentsTestSupport.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vimra;
using B = RangeTimes::Box;

namespace {

QPushButton* buttonOf(QDialog* window, const char* name)
{
    return window->findChild<QPushButton*>(name);
}

} // namespace

TEST(RangeDialogWidget, KeysStepWithinBoundsAndBadTextIsPutBack)
{
    RangeDialog dialog;
    dialog.SetTime(3725.5, 0, 25);
    dialog.window()->show();
    EXPECT_EQ(dialog.box(B::hh1)->text(), "1");
    EXPECT_EQ(dialog.box(B::ff1)->text(), "12");

    QTest::keyClick(dialog.box(B::ss1), Qt::Key_Up);
    EXPECT_EQ(dialog.box(B::ss1)->text(), "6");
    EXPECT_DOUBLE_EQ(dialog.dGetStartTime(), 3726.48);
    QTest::keyClick(dialog.box(B::ss1), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(dialog.box(B::ss1)->text(), "6");
    QTest::keyClick(dialog.box(B::hh2), Qt::Key_Down);
    EXPECT_EQ(dialog.box(B::hh2)->text(), "0");

    QLineEdit* minutes = dialog.box(B::mm2);
    minutes->selectAll();
    QTest::keyClicks(minutes, "59");
    QTest::keyClick(minutes, Qt::Key_Up);
    EXPECT_EQ(minutes->text(), "59");
    QTest::keyClick(minutes, Qt::Key_Backspace);
    QTest::keyClick(minutes, Qt::Key_Backspace); // the last digit comes back
    EXPECT_EQ(minutes->text(), "5");
    QTest::keyClicks(minutes, "a");
    EXPECT_EQ(minutes->text(), "5");
    EXPECT_DOUBLE_EQ(dialog.dGetEndTime(), 300);
    saveLook(*dialog.window(), "dialog");

    QTest::mouseClick(buttonOf(dialog.window(), "OKButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog.bCancel());
}

TEST(RangeDialogWidget, CancelAndTheCloseBoxBothCancel)
{
    RangeDialog dialog;
    dialog.SetTime(1, 2, 0);
    EXPECT_FALSE(dialog.box(B::ff1)->isEnabled());
    QTest::mouseClick(buttonOf(dialog.window(), "CancelButton"), Qt::LeftButton);
    EXPECT_TRUE(dialog.bCancel());
    EXPECT_EQ(dialog.window(), nullptr);
    EXPECT_EQ(dialog.dGetEndTime(), 2); // the values outlive the window

    dialog.SetTime(1, 2, 25); // a new window, frames enabled
    EXPECT_TRUE(dialog.box(B::ff1)->isEnabled());
    QTest::mouseClick(buttonOf(dialog.window(), "OKButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog.bCancel());

    // Shown modally, closed by its frame: Show returns with the window gone.
    QTimer::singleShot(0, [&] { dialog.window()->close(); });
    dialog.Show(nullptr);
    EXPECT_TRUE(dialog.bCancel());
    EXPECT_EQ(dialog.window(), nullptr);
    EXPECT_EQ(dialog.dGetStartTime(), 1);
}

TEST(RangeDialogWidget, OpensOnOkAndTabsInTheDesignOrder)
{
    RangeDialog dialog;
    dialog.SetTime(1, 2, 25);
    dialog.window()->show();
    QStringList order;
    for (int i = 0; i <= 10; ++i) {
        QWidget* focus = dialog.window()->focusWidget();
        ASSERT_NE(focus, nullptr) << order.join(' ').toStdString();
        order << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(order.join(' '), "OKButton CancelButton mm1 ss1 ff1 mm2 ss2 ff2 hh1 hh2 OKButton");
}

TEST(RangeDialogWidget, OkWithoutAnEditMovesNothingAtAnyRate)
{
    const struct {
        double rate, start, end;
        const char* ff1;
    } rows[] = {{0, 65.9, 70.2, "0"},     {25, 3725.5, 3730.04, "12"},  {30000.0 / 1001, 59.99, 61, "29"},
                {100, 1.995, 2.5, "99"}, {240, 1.9648, 2.5, "231"}};
    RangeDialog dialog;
    for (const auto& row : rows) {
        dialog.SetTime(row.start, row.end, row.rate);
        EXPECT_EQ(dialog.box(B::ff1)->text(), row.ff1) << row.rate;
        QTest::mouseClick(buttonOf(dialog.window(), "OKButton"), Qt::LeftButton);
        EXPECT_EQ(std::pair(dialog.dGetStartTime(), dialog.dGetEndTime()), std::pair(row.start, row.end)) << row.rate;
    }
}
