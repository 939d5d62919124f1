#include "shell/WindowPlace.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace vimra;

// Readable rectangles in failure messages.
inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << "(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}

namespace {

const QRect kLaptop(0, 0, 1280, 800);
const QRect kFirstStart(160, 100, 960, 600); // three quarters, in the middle
const QRect kBeside(1280, 0, 1920, 1080);    // a second screen to the right

// Pixels as the settings hold them: 15 twips each.
QString px(double pixels) { return QString::number(pixels * 15); }

} // namespace

TEST(WindowPlace, StoredPlacesOnEveryScreenOrTheFirstStart)
{
    const QString none;
    const struct {
        const char* what;
        StoredPlace stored;
        QList<QRect> screens;
        QRect expected;
    } rows[] = {
        {"nothing stored", {}, {kLaptop}, kFirstStart},
        {"all four", {px(100), px(200), px(600), px(500)}, {kLaptop}, {100, 200, 600, 500}},
        {"a key missing takes its default", {none, none, px(600), none}, {kLaptop}, {67, 67, 600, 433}},
        {"spaces around the number", {" 1500 ", "3000", "9000", "7500"}, {kLaptop}, {100, 200, 600, 500}},
        {"right of the screen", {px(2000), px(100), none, none}, {kLaptop}, kFirstStart},
        {"after a screen was unplugged", {px(-1800), px(-1200), none, none}, {kLaptop}, kFirstStart},
        {"the same, with that screen there", {px(-1800), px(-1200), none, none},
         {kLaptop, QRect(-1920, -1200, 1920, 1200)}, {-1800, -1200, 433, 433}},
        {"on the second screen, too large for the first", {px(2000), px(100), px(1200), px(900)},
         {kLaptop, kBeside}, {2000, 100, 1200, 900}},
        {"beyond every number", {"1e300", "1e300", "1e300", "1e300"}, {kLaptop}, kFirstStart},
        {"huge size", {px(100), px(100), "1e12", "1e12"}, {kLaptop}, kFirstStart},
        {"negative size", {px(100), px(100), "-6500", "6500"}, {kLaptop}, kFirstStart},
        {"no size", {px(100), px(100), "0", "0"}, {kLaptop}, kFirstStart},
        {"too low for the trees", {px(100), px(100), "6500", "2999"}, {kLaptop}, kFirstStart},
        {"the least size", {px(100), px(100), "3000", "3000"}, {kLaptop}, {100, 100, 200, 200}},
        {"taller than the screen", {px(100), px(0), px(600), px(801)}, {kLaptop}, kFirstStart},
        {"not numbers", {"left", px(100), px(600), px(500)}, {kLaptop}, kFirstStart},
        {"infinite", {px(100), px(100), "inf", px(500)}, {kLaptop}, kFirstStart},
        {"not a number", {"nan", px(100), px(600), px(500)}, {kLaptop}, kFirstStart},
        // What stays on the screen is a grip of the title bar: 100 pixels
        // of its width and half its height.
        {"left edge off, a grip on", {px(-500), px(100), px(600), px(500)}, {kLaptop}, {-500, 100, 600, 500}},
        {"right edge off, too little on", {px(1181), px(100), px(600), px(500)}, {kLaptop}, kFirstStart},
        {"bottom off, title bar on", {px(100), px(700), px(600), px(500)}, {kLaptop}, {100, 700, 600, 500}},
        {"half the title bar above", {px(100), px(-12), px(600), px(500)}, {kLaptop}, {100, -12, 600, 500}},
        {"more of it above", {px(100), px(-13), px(600), px(500)}, {kLaptop}, kFirstStart},
        {"no screen", {px(100), px(100), px(600), px(500)}, {}, QRect()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(MainWindowPlace(row.stored, row.screens), row.expected);
    }
}
