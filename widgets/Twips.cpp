#include "widgets/Twips.h"

#include <QRect>

#include <cmath>

namespace vimra {

int twipsToPixels(double twips) { return int(std::nearbyint(twips / kTwipsPerPixel)); }

double pixelsToTwips(int pixels) { return double(pixels) * kTwipsPerPixel; }

QRect toPixels(const TwipsRect& r)
{
    const int left = twipsToPixels(r.left);
    const int top = twipsToPixels(r.top);
    return QRect(left, top, twipsToPixels(r.right()) - left, twipsToPixels(r.bottom()) - top);
}

} // namespace vimra
