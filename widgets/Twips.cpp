#include "widgets/Twips.h"

#include <QRect>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vimra {

namespace {

constexpr double kMaxPixels = QWIDGETSIZE_MAX;

} // namespace

int twipsToPixels(double twips)
{
    // Stored numbers may be anything; the cast to int must be defined for each.
    if (std::isnan(twips))
        return 0;
    const double pixels = std::clamp(std::nearbyint(twips / kTwipsPerPixel), -kMaxPixels, kMaxPixels);
    return int(pixels);
}

double pixelsToTwips(int pixels) { return double(pixels) * kTwipsPerPixel; }

QRect toPixels(const TwipsRect& r)
{
    const int left = twipsToPixels(r.left);
    const int top = twipsToPixels(r.top);
    return QRect(left, top, twipsToPixels(r.right()) - left, twipsToPixels(r.bottom()) - top);
}

} // namespace vimra
