#include "shell/MainLayout.h"

#include <algorithm>
#include <cmath>

namespace vimra {

namespace {

double visibleHeight(double height, bool visible) { return visible ? height : 0; }

} // namespace

void SizeControls(double& x, const MainFrameMetrics& m, MainFrameLayout& l)
{
    if (x < 1500)
        x = 1500;
    if (x > m.dWidth - 1500)
        x = m.dWidth - 1500;

    l.picTitles.top = visibleHeight(m.dToolbarHeight, m.bToolbarVisible);
    l.picTitles.width = m.dInnerWidth;

    l.tvwMainTree.width = x;
    l.imgSplitter.left = x;
    l.tvwExpression.left = x + 40;
    l.tvwExpression.width = std::max(0.0, m.dWidth - (l.tvwMainTree.width + 140));
    l.lblTitle0.width = l.tvwMainTree.width;
    l.lblTitle1.left = l.tvwExpression.left + 20;
    l.lblTitle1.width = std::max(0.0, l.tvwExpression.width - 40);

    l.tvwMainTree.top = l.picTitles.top + l.picTitles.height;
    l.tvwExpression.top = l.tvwMainTree.top;
    const double below = l.picTitles.top + l.picTitles.height
                         + visibleHeight(m.dStatusBarHeight, m.bStatusBarVisible);
    l.tvwMainTree.height = std::max(0.0, m.dInnerHeight - below);
    l.tvwExpression.height = l.tvwMainTree.height;

    l.imgSplitter.top = l.tvwMainTree.top;
    l.imgSplitter.height = l.tvwMainTree.height;
}

void ResizeLayout(const MainFrameMetrics& m, MainFrameLayout& l)
{
    double x = l.imgSplitter.left;
    SizeControls(x, m, l);

    const double top = visibleHeight(m.dToolbarHeight, m.bToolbarVisible) + l.lblTitle0.height + 50;
    // Measured from this top, not the full inner height: the trees must not
    // run under the status bar.
    const double height = std::max(
        0.0, m.dInnerHeight - top - visibleHeight(m.dStatusBarHeight, m.bStatusBarVisible));
    const double half = m.dInnerWidth / 2;
    l.tvwMainTree = {0, top, half, height};
    l.tvwExpression = {l.tvwMainTree.width, top, half, height};
    // The handle follows the trees to where they meet, or they would cover it.
    l.imgSplitter = {l.tvwMainTree.right(), top, l.imgSplitter.width, height};
    l.lblTitle0.width = l.tvwMainTree.width;
    l.lblTitle1.left = l.tvwExpression.left + 20;
    l.lblTitle1.width = std::max(0.0, l.tvwExpression.width - 40);
}

TwipsRect SplitterBarOnMouseDown(const TwipsRect& handle)
{
    return {handle.left, handle.top, std::floor(handle.width / 2), handle.height - 20};
}

double SplitterBarLeft(double p, double dWidth)
{
    if (p < 500)
        return 500;
    if (p > dWidth - 500)
        return dWidth - 500;
    return p;
}

} // namespace vimra
