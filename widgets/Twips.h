#pragma once

class QRect;

namespace vimra {

// Windows keep their layouts in twips as they were designed and convert at
// the widget boundary: 15 twips to a logical pixel.
constexpr int kTwipsPerPixel = 15;

// Rounded half to even; held within the widest widget geometry (so edges
// and their differences stay in int), not a number as 0.
int twipsToPixels(double twips);
double pixelsToTwips(int pixels);

struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    double right() const { return left + width; }
    double bottom() const { return top + height; }
    bool operator==(const TwipsRect&) const = default;
};

// Converts by edges, so panes that meet in twips meet in pixels too.
QRect toPixels(const TwipsRect& r);

} // namespace vimra
