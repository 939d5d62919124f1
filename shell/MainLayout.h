#pragma once

#include "widgets/Twips.h"

namespace vimra {

// The main window's pane layout, kept in twips as the window was designed.

// What the layout depends on besides the splitter position.
struct MainFrameMetrics {
    double dWidth = 0;       // the window's width: splitter limits, expression tree width
    double dInnerWidth = 0;  // the inner (client) area
    double dInnerHeight = 0;
    double dToolbarHeight = 420;
    bool bToolbarVisible = true;
    double dStatusBarHeight = 0;
    bool bStatusBarVisible = true;
};

// The panes of the frame. Title labels are placed inside picTitles.
struct MainFrameLayout {
    TwipsRect picTitles{0, 420, 8895, 300};
    TwipsRect lblTitle0{0, 12, 2016, 270};
    TwipsRect lblTitle1{2400, 0, 3210, 270};
    TwipsRect tvwMainTree{0, 720, 3015, 5175};
    TwipsRect tvwExpression{4680, 720, 3855, 5295};
    TwipsRect imgSplitter{2520, 720, 150, 4785};
    TwipsRect picSplitter{3000, 705, 72, 4800}; // the grey bar shown while dragging
};

constexpr double kMinimumWindowWidth = 3000;

// Lays the panes out for splitter position x, which is clamped to
// [1500, width - 1500] and written back.
void SizeControls(double& x, const MainFrameMetrics& m, MainFrameLayout& layout);

// The layout after a change of the window's size: SizeControls at the
// handle's position, then the two trees share the inner width in halves and
// the handle moves to where they meet. The trees end above the status bar.
void ResizeLayout(const MainFrameMetrics& m, MainFrameLayout& layout);

// Splitter drag: the bar on mouse down, and the bar's left edge for a mouse
// position p (in window twips) while dragging, held 500 twips from the edges.
TwipsRect SplitterBarOnMouseDown(const TwipsRect& handle);
double SplitterBarLeft(double p, double dWidth);

} // namespace vimra
