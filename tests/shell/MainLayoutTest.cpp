#include "shell/MainLayout.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <limits>

using namespace vimra;

namespace {

// A window of the default 6500 twips with a 420 toolbar and a 300 status bar.
MainFrameMetrics defaultWindow()
{
    MainFrameMetrics m;
    m.dWidth = 6500;
    m.dInnerWidth = 6380;
    m.dInnerHeight = 5800;
    m.dToolbarHeight = 420;
    m.dStatusBarHeight = 300;
    return m;
}

} // namespace

TEST(MainLayout, SizeControlsClampsTheSplitterAndPlacesThePanes)
{
    MainFrameLayout l;
    double x = 200; // dropped near the left edge
    SizeControls(x, defaultWindow(), l);
    EXPECT_EQ(x, 1500);
    EXPECT_EQ(l.tvwMainTree, (TwipsRect{0, 720, 1500, 5800 - (420 + 300 + 300)}));
    EXPECT_EQ(l.imgSplitter, (TwipsRect{1500, 720, 150, 4780}));
    EXPECT_EQ(l.tvwExpression, (TwipsRect{1540, 720, 6500 - 1640, 4780}));
    EXPECT_EQ(l.lblTitle0.width, 1500);
    EXPECT_EQ(l.lblTitle1.left, 1560);
    EXPECT_EQ(l.lblTitle1.width, 6500 - 1640 - 40);

    x = 6000; // near the right edge
    SizeControls(x, defaultWindow(), l);
    EXPECT_EQ(x, 5000);
    EXPECT_EQ(l.tvwMainTree.width, 5000);
}

TEST(MainLayout, HiddenBarsGiveTheirHeightToTheTrees)
{
    MainFrameMetrics m = defaultWindow();
    m.bToolbarVisible = false;
    m.bStatusBarVisible = false;
    MainFrameLayout l;
    double x = 3000;
    SizeControls(x, m, l);
    EXPECT_EQ(l.tvwMainTree.top, 300);
    EXPECT_EQ(l.tvwMainTree.height, 5800 - 300);
    EXPECT_EQ(l.tvwExpression.top, 300);
}

TEST(MainLayout, ResizeSharesTheWidthInHalvesAndPutsTheHandleWhereTheyMeet)
{
    MainFrameLayout l;
    double x = 4000; // after a drag
    SizeControls(x, defaultWindow(), l);

    ResizeLayout(defaultWindow(), l);
    EXPECT_EQ(l.tvwMainTree, (TwipsRect{0, 740, 3190, 5800 - 740 - 300}));
    EXPECT_EQ(l.tvwExpression, (TwipsRect{3190, 740, 3190, 5800 - 740 - 300}));
    // Left at 4000 the handle would lie under the right tree.
    EXPECT_EQ(l.imgSplitter, (TwipsRect{3190, 740, 150, 5800 - 740 - 300}));
    EXPECT_EQ(l.lblTitle0.width, 3190);
    EXPECT_EQ(l.lblTitle1.left, 3210);
    EXPECT_EQ(l.lblTitle1.width, 3150);
    // The trees end where the status bar begins.
    EXPECT_EQ(l.tvwMainTree.bottom(), 5800 - 300);
}

TEST(MainLayout, SplitterBarStopsFiveHundredFromTheEdges)
{
    const TwipsRect bar = SplitterBarOnMouseDown({2520, 720, 151, 4785});
    EXPECT_EQ(bar, (TwipsRect{2520, 720, 75, 4765}));
    EXPECT_EQ(SplitterBarLeft(200, 6500), 500);
    EXPECT_EQ(SplitterBarLeft(6400, 6500), 6000);
    EXPECT_EQ(SplitterBarLeft(3333, 6500), 3333);
}

TEST(MainLayout, PixelsAtFifteenTwips)
{
    EXPECT_EQ(twipsToPixels(6500), 433);
    EXPECT_EQ(twipsToPixels(1000), 67);
    EXPECT_EQ(twipsToPixels(22.5), 2); // half to even
    EXPECT_EQ(pixelsToTwips(200), 3000);
    // Any stored number converts, held to the widest widget geometry.
    EXPECT_EQ(twipsToPixels(1e300), QWIDGETSIZE_MAX);
    EXPECT_EQ(twipsToPixels(-std::numeric_limits<double>::infinity()), -QWIDGETSIZE_MAX);
    EXPECT_EQ(twipsToPixels(std::numeric_limits<double>::quiet_NaN()), 0);
}
