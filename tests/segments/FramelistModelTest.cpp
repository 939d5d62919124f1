#include "segments/FramelistModel.h"

#include <gtest/gtest.h>

#include <set>

using namespace vimra;

namespace {

using Ints = std::vector<int>;

Ints positions(const FramelistModel& m)
{
    Ints p;
    for (const auto& image : m.images())
        p.push_back(image.position);
    return p;
}

Ints shownSquares(const FramelistModel& m)
{
    Ints shown;
    for (int i = 1; i <= m.Count(); ++i)
        if (m.images()[size_t(i - 1)].squareVisible)
            shown.push_back(i);
    return shown;
}

// Five thumbnails at positions 1 to 5 in a control 5000 twips wide.
FramelistModel fiveImages()
{
    FramelistModel m;
    m.ReadProperties({{"SquareColor", 0xC0u}, {"StartSquareColor", 0xC000u}});
    m.Resize(5000, 1100, 250);
    for (int p = 1; p <= 5; ++p)
        m.iAddImage(QImage(), p, QString::number(p));
    return m;
}

} // namespace

TEST(Framelist, AddingAtAHeldPositionShiftsAndIntoAGapDoesNot)
{
    FramelistModel m;
    EXPECT_EQ(m.iAddImage(QImage(), 3, "c"), 1);
    EXPECT_EQ(m.images()[0].slot.image, (TwipsRect{2 * 1100 + 50, 50, 1000, 750}));
    EXPECT_EQ(m.images()[0].slot.square, (TwipsRect{2 * 1100, 0, 1100, 850}));
    EXPECT_EQ(m.iAddImage(QImage(), 1, "a"), 2);
    EXPECT_EQ(positions(m), (Ints{3, 1}));
    EXPECT_EQ(m.iAddImage(QImage(), 1, "new a"), 3);
    EXPECT_EQ(positions(m), (Ints{4, 2, 1}));
    EXPECT_EQ(m.images()[0].slot.image.left, 3 * 1100 + 50);
    // Held positions are still known after shifts and removals, and a new
    // picture size moves every slot at the next layout.
    m.RemoveImage(2); // "a" at 2: the others close up
    EXPECT_EQ(positions(m), (Ints{3, 1}));
    EXPECT_EQ(m.iAddImage(QImage(), 2, "gap"), 3);
    EXPECT_EQ(positions(m), (Ints{3, 1, 2}));
    EXPECT_EQ(m.iAddImage(QImage(), 3, "held"), 4);
    EXPECT_EQ(positions(m), (Ints{4, 1, 2, 3}));
    m.setImageX(500);
    m.Refresh();
    EXPECT_EQ(m.images()[0].slot.image.left, 3 * 600 + 50);
}

TEST(Framelist, ShiftPressRunsFromTheAnchorAndReportsIt)
{
    FramelistModel m = fiveImages();
    using Event = FramelistModel::ImageEvent;
    EXPECT_EQ(m.PressImage(2, true), Event{}); // no anchor yet
    EXPECT_EQ(m.PressImage(4, false), (Event{4, 4}));
    EXPECT_EQ(m.PressImage(2, true), (Event{4, 4}));
    EXPECT_EQ(shownSquares(m), (Ints{2, 3, 4}));
    EXPECT_EQ(m.images()[3].squareColor, 0xC000u);
    EXPECT_EQ(m.images()[2].squareColor, 0xC0u);
    EXPECT_EQ(m.PressImage(2, false), (Event{2, 2})); // Shift with Ctrl is a plain press
    EXPECT_EQ(shownSquares(m), (Ints{2}));
    EXPECT_EQ(m.PressImage(6, false), Event{});
}

TEST(Framelist, RemovingTheRunClosesTheGap)
{
    FramelistModel m = fiveImages();
    m.RemoveSelected(); // nothing selected
    EXPECT_EQ(m.Count(), 5);
    m.setISelectedStart(3);
    m.setISelectedEnd(2);
    m.RemoveSelected();
    EXPECT_EQ(positions(m), (Ints{1, 2, 3}));
    EXPECT_EQ(m.images()[1].label, "4");
    EXPECT_EQ(m.iSelectedStart(), -1);
    EXPECT_EQ(m.iSelectedEnd(), -1);
    EXPECT_EQ(m.iAddImage(QImage(), 4, "last"), 4);
}

TEST(Framelist, SelectionSettersIgnoreWhatNamesNoImage)
{
    FramelistModel m = fiveImages();
    m.setISelectedEnd(2); // no anchor
    m.setISelectedStart(0);
    m.setISelectedStart(6);
    EXPECT_EQ(m.iSelectedStart(), -1);
    EXPECT_EQ(m.iSelectedEnd(), -1);
    m.setISelectedStart(2);
    m.setISelectedStart(-1); // clears, squares stay shown
    EXPECT_EQ(shownSquares(m), (Ints{2}));
    // Removing an image keeps the selection unless it would name no image.
    m.setISelectedStart(4);
    m.RemoveImage(1);
    EXPECT_EQ(m.iSelectedStart(), 4);
    m.RemoveImage(1);
    EXPECT_EQ(m.iSelectedStart(), -1);
    EXPECT_EQ(positions(m), (Ints{1, 2, 3}));
}

TEST(Framelist, ScrollRangeCoversTheWholeStrip)
{
    struct Row {
        int imageX, count;
        double width;
        StripScroll scroll;
    };
    const Row rows[] = {
        {1000, 5, 5000, {5600, 250, 1100, 600, true}},
        {1000, 5, 6000, {5600, 250, 1100, 0, false}},
        {1000, 5, 5600, {5600, 250, 1100, 0, false}},
        {1000, 0, 5000, {100, 250, 1100, 0, false}},
        {1000, 40000, 5000, {44000100, 250, 1100, 43995100, true}}, // far past 32767
        {1002, 1, 500, {1202, 250, 1102, 702, true}}, // 250.5 goes to even
    };
    for (const Row& r : rows)
        EXPECT_EQ(stripScroll(r.imageX, r.count, r.width), r.scroll) << r.count << " in " << r.width;

    // When the range shrinks below the shown part, the strip follows it back.
    FramelistModel m = fiveImages();
    m.ScrollTo(600);
    EXPECT_EQ(m.canvasLeft(), -600);
    m.RemoveImage(5);
    EXPECT_EQ(m.canvasLeft(), 0);
    m.ScrollTo(0);
    EXPECT_EQ(m.ImageAt(1100 + 60, 100), 2);
    EXPECT_EQ(m.ImageAt(1100 + 20, 100), 0); // a square's margin
}

// Removing several images at once leaves what removing them one by one
// leaves, also where positions are shared or missing (they merge as
// images go) and where an index names nothing by its turn.
TEST(Framelist, RemovingManyAtOnceMatchesOneByOne)
{
    struct Case {
        Ints positions;
        Ints removals; // each counted without the ones before it
    };
    const std::vector<Case> cases = {
        {{1, 2, 3, 4, 5, 6}, {2, 2, 4}},
        {{6, 1, 5, 2, 4, 3}, {1, 5, 1}},
        {{1, 2, 2, 3, 0, 4}, {2, 4, 1}},
        {{3, 3, 1, 0, 0, 2}, {4, 1, 3, 9}},
        {{1, 2, 3}, {3, 3, 1}},
        {{1, 3, 6, 4}, {2}}, // distinct, with gaps
    };
    for (const auto& c : cases) {
        FramelistModel one, many;
        for (FramelistModel* m : {&one, &many}) {
            m->Resize(5000, 1100, 250);
            for (size_t i = 0; i < c.positions.size(); ++i)
                m->iAddImage(QImage(), c.positions[i], QString::number(i + 1));
        }
        for (const int i : c.removals)
            one.RemoveImage(i);
        many.RemoveImages(c.removals);
        ASSERT_EQ(positions(many), positions(one)) << ::testing::PrintToString(c.positions);
        for (int i = 0; i < one.Count(); ++i) {
            EXPECT_EQ(many.images()[size_t(i)].label, one.images()[size_t(i)].label);
            EXPECT_EQ(many.images()[size_t(i)].slot, one.images()[size_t(i)].slot);
        }
        EXPECT_EQ(many.scrollRange(), one.scrollRange());
        // At each change after, the positions held are those of a strip filled with what is left.
        const bool bDistinct = std::set(c.positions.begin(), c.positions.end()).size() == c.positions.size();
        for (const int step : {3, 0, 2}) {
            FramelistModel fresh;
            for (const int p : positions(many))
                fresh.iAddImage(QImage(), p, {});
            for (FramelistModel* m : {&one, &many, &fresh})
                step == 0 ? m->RemoveImage(m->Count()) : void(m->iAddImage(QImage(), step, "new"));
            EXPECT_EQ(positions(many), positions(one));
            if (bDistinct)
                EXPECT_EQ(positions(many), positions(fresh)) << ::testing::PrintToString(c.positions) << " " << step;
        }
    }
}
