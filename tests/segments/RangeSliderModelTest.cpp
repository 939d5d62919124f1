#include "segments/RangeSliderModel.h"

#include <gtest/gtest.h>

using namespace vimra;

namespace {

using Indexes = std::vector<int>;

// 10 to 100 s on a control 9400 twips wide: track 200 + 9000, 100 twips a second.
RangeSliderModel spanTenToHundred()
{
    RangeSliderModel m;
    m.setDMin(10);
    m.setDMax(100);
    m.Resize(9400);
    return m;
}

// The editor's colours and ranges starting at each of the given times, 5 s long.
RangeSliderModel withRangesAt(std::initializer_list<double> starts)
{
    RangeSliderModel m;
    m.ReadProperties({{"RangeColor", 0xC0u}, {"StartRangeColor", 0xC000u}, {"dMax", 100.0}});
    m.Resize(10400);
    for (double t : starts)
        m.iAddRange(t, t + 5, QString("at %1").arg(t));
    return m;
}

Indexes barWidths(const RangeSliderModel& m)
{
    Indexes widths;
    for (const auto& box : m.boxes())
        widths.push_back(box.iBarPixels);
    return widths;
}

} // namespace

TEST(RangeSet, KeepsInsertionOrderSharesItemsAndShiftsOnRemoval)
{
    RangeSet set;
    EXPECT_EQ(set.begin(), set.end());
    set.Add(35, 30);
    const auto second = set.Add(15, 10);
    set.Add(25, 20, "k");
    EXPECT_EQ(second->dBegin, 10);
    EXPECT_EQ(second->dend, 15); // end first
    EXPECT_THROW(set.Add(1, 0, "K"), std::invalid_argument);

    set.Item(2)->dBegin = 12;
    EXPECT_EQ(second->dBegin, 12);
    set.Remove(2);
    ASSERT_EQ(set.Count(), 2);
    EXPECT_EQ(set.Item(2)->dBegin, 20);
    EXPECT_EQ(set.Item("k"), set.Item(2));
    EXPECT_THROW(set.Item(3), std::out_of_range);
}

TEST(RangeSlider, AddsInCallOrderAndRefusesAnInvertedRange)
{
    RangeSliderModel m = withRangesAt({50});
    EXPECT_EQ(m.iAddRange(10, 20, "early"), 2);
    EXPECT_EQ(m.ranges().Item(2)->dBegin, 10);
    EXPECT_EQ(m.iAddRange(30, 29, "inverted"), 0);
    EXPECT_EQ(m.Count(), 2);
}

TEST(RangeSlider, PressesSelectARunByStartTime)
{
    RangeSliderModel m = withRangesAt({10, 20, 30, 40});
    EXPECT_EQ(m.PressBox(2, true), 0); // Shift with nothing selected
    EXPECT_EQ(m.iRangeSelectedStart(), -1);

    EXPECT_EQ(m.PressBox(4, false), 4);
    EXPECT_EQ(m.PressBox(2, true), 4); // Click reports the anchor both times
    EXPECT_EQ(m.colSelectedIndexes(), (Indexes{2, 3, 4}));
    EXPECT_EQ(barWidths(m), (Indexes{4, 6, 6, 6}));
    EXPECT_EQ(m.boxes()[3].barColor, 0xC000u);
    EXPECT_EQ(m.boxes()[3].leftTickColor, 0xC000u);
    EXPECT_EQ(m.boxes()[1].barColor, 0xC0u);

    // An equal start and a start inside the run join it; new bars stay thin.
    m.iAddRange(20, 22, "same start");
    m.iAddRange(25, 26, "inside");
    m.iAddRange(45, 50, "after");
    EXPECT_EQ(m.colSelectedIndexes(), (Indexes{2, 3, 4, 5, 6}));
    EXPECT_EQ(barWidths(m), (Indexes{4, 6, 6, 6, 3, 3, 3}));

    EXPECT_EQ(m.DoubleClickBox(1), 1);
    EXPECT_EQ(m.colSelectedIndexes(), (Indexes{1}));
}

TEST(RangeSlider, RemovingTheRunShiftsLaterRangesDown)
{
    RangeSliderModel m = withRangesAt({10, 20, 30, 40, 50});
    m.setIRangeSelectedStart(2);
    m.setIRangeSelectedEnd(4);
    const double fifthLeft = m.boxes()[4].span.left;
    m.RemoveSelectedRanges();
    EXPECT_EQ(m.Count(), 2);
    EXPECT_EQ(m.ranges().Item(2)->dBegin, 50);
    EXPECT_EQ(m.boxes()[1].span.left, fifthLeft);
    EXPECT_EQ(m.iRangeSelectedStart(), -1);
    EXPECT_EQ(m.iRangeSelectedEnd(), -1);
    m.RemoveSelectedRanges(); // nothing selected: nothing happens
    EXPECT_EQ(m.Count(), 2);
}

TEST(RangeSlider, SettersKeepTheSelectionValidAndTheLookAsItWas)
{
    RangeSliderModel m = withRangesAt({10, 20});
    m.setIRangeSelectedEnd(2); // no anchor
    EXPECT_EQ(m.iRangeSelectedEnd(), -1);
    m.setIRangeSelectedStart(3); // no such range
    EXPECT_EQ(m.iRangeSelectedStart(), -1);

    m.setIRangeSelectedStart(1);
    m.setIRangeSelectedStart(-1);
    EXPECT_EQ(m.iRangeSelectedEnd(), -1);
    EXPECT_EQ(barWidths(m), (Indexes{6, 4}));
    EXPECT_EQ(m.boxes()[0].barColor, 0xC000u);

    const auto before = m.boxes()[0].span;
    m.UpdateRange(0, 1, 2);
    m.UpdateRange(3, 1, 2);
    EXPECT_EQ(m.boxes()[0].span, before);
}

TEST(RangeSlider, PositionIsClippedAndLargeChangeCapped)
{
    RangeSliderModel m = spanTenToHundred();
    m.setDPosition(200);
    EXPECT_EQ(m.dPosition(), 100);
    EXPECT_EQ(m.sliderValue(), RangeSliderModel::kSliderMax);
    m.setDPosition(-5);
    EXPECT_EQ(m.dPosition(), 10);
    EXPECT_EQ(m.sliderValue(), RangeSliderModel::kSliderMin);
    m.setDLargeChange(500);
    EXPECT_EQ(m.dLargeChange(), 90);
    EXPECT_EQ(m.sliderLargeChange(), RangeSliderModel::kSliderMax);
    m.setDLargeChange(9);
    EXPECT_EQ(m.sliderLargeChange(), 1000);
    m.SliderMoved(5000);
    EXPECT_DOUBLE_EQ(m.dPosition(), 55);
}

TEST(RangeSliderMapping, TimesToTrackAndSliderOnTenToHundred)
{
    const SliderTrack track = sliderTrack(0, 9400);
    EXPECT_EQ(track.left, 200);
    EXPECT_EQ(track.width, 9000);
    struct Row {
        double begin, end;
        BoxSpan box;
    };
    const Row rows[] = {
        {10, 100, {200, 9000}},
        {20, 30, {1200, 1000}},
        {5, 15, {200, 500}},     // begins before the span: drawn from x(10)
        {90, 120, {8200, 1000}}, // ends after it: drawn to x(100)
        {120, 130, {9200, 0}},   // wholly after: a point at the right edge
        {0, 5, {200, 0}},        // wholly before: a point at the left edge
        {50, 40, {4200, 0}},     // ends before it begins
    };
    for (const Row& r : rows)
        EXPECT_EQ(rangeBoxSpan(r.begin, r.end, 10, 100, track), r.box) << r.begin << "-" << r.end;
    EXPECT_EQ(timeToX(5, 10, 100, track), -300); // unclipped
    EXPECT_EQ(timeToSliderValue(55, 10, 100, 0, 10000), 5000);
    // Half steps go to the even value.
    EXPECT_EQ(timeToSliderValue(0.5, 0, 10000, 0, 10000), 0);
    EXPECT_EQ(timeToSliderValue(1.5, 0, 10000, 0, 10000), 2);
    EXPECT_EQ(timeToSliderValue(2.5, 0, 10000, 0, 10000), 2);
    EXPECT_DOUBLE_EQ(sliderValueToTime(2500, 10, 100, 0, 10000), 32.5);
}

TEST(RangeSliderMapping, NoSpanMapsEverythingToTheLeftEnd)
{
    for (double dMax : {10.0, 4.0}) {
        RangeSliderModel m;
        m.setDMin(10);
        m.setDMax(dMax);
        m.Resize(9400);
        m.setDLargeChange(0.05);
        m.setDPosition(12);
        EXPECT_EQ(m.dLargeChange(), 0) << dMax;
        EXPECT_EQ(m.sliderLargeChange(), 0);
        EXPECT_EQ(m.sliderValue(), RangeSliderModel::kSliderMin);
        EXPECT_FALSE(m.sliderEnabled());
        m.setEnabled(true);
        EXPECT_FALSE(m.Enabled()) << "the inner slider's state";
        EXPECT_EQ(sliderValueToTime(5000, 10, dMax, 0, 10000), 10);
        EXPECT_EQ(m.iAddRange(10, 12, "a"), 1); // still counted, drawn as a point
        EXPECT_EQ(m.boxes()[0].span, (BoxSpan{200, 0}));
        m.PutBlinkLine(11);
        EXPECT_EQ(m.blinkX(), 200);
    }
}

TEST(RangeSlider, RangesOutsideTheSpanStayAsPoints)
{
    RangeSliderModel m = spanTenToHundred();
    EXPECT_EQ(m.iAddRange(120, 130, "after"), 1);
    EXPECT_EQ(m.iAddRange(0, 5, "before"), 2);
    EXPECT_EQ(m.boxes()[0].span, (BoxSpan{9200, 0}));
    EXPECT_EQ(m.boxes()[1].span, (BoxSpan{200, 0}));
    // Only the boxes sit at the edges; the ranges keep their times, so a run
    // by start time from the edge leaves them out.
    EXPECT_EQ(m.ranges().Item(1)->dBegin, 120);
    EXPECT_EQ(m.ranges().Item(2)->dend, 5);
    EXPECT_EQ(m.iAddRange(100, 100, "edge"), 3);
    m.setIRangeSelectedStart(3);
    EXPECT_EQ(m.colSelectedIndexes(), std::vector<int>{3});
    m.UpdateRange(2, 80, 70); // the range keeps what it is given
    EXPECT_EQ(m.ranges().Item(2)->dBegin, 80);
    EXPECT_EQ(m.boxes()[1].span, (BoxSpan{7200, 0}));
    EXPECT_EQ(m.BoxAt(7200, 400), 0); // nothing to press on a point
}

TEST(RangeSlider, BlinkLineAndSavedSettings)
{
    RangeSliderModel m = spanTenToHundred();
    m.PutBlinkLine(20);
    EXPECT_TRUE(m.blinkTimerOn());
    m.BlinkTick();
    EXPECT_FALSE(m.blinkVisible());
    m.RemoveBlinkLine();
    m.Refresh();
    EXPECT_FALSE(m.blinkVisible());
    EXPECT_FALSE(m.blinkTimerOn());
    EXPECT_EQ(m.blinkX(), 1200);

    EXPECT_TRUE(RangeSliderModel().WriteProperties().isEmpty());
    // dPosition defaults to the dMin read before it.
    RangeSliderModel read;
    read.ReadProperties({{"dMin", 10.0}, {"dMax", 100.0}, {"dLargeChange", 0.0}, {"Enabled", false}});
    EXPECT_EQ(read.dPosition(), 10);
    EXPECT_EQ(read.WriteProperties(),
              (QVariantMap{{"dMin", 10.0}, {"dMax", 100.0}, {"dLargeChange", 0.0}, {"Enabled", false}}));
}

// Removing several ranges at once leaves what removing them one by one
// leaves; only the boxes whose drawing changed are reported for painting.
TEST(RangeSliderModel, RemovesManyAtOnceAndReportsWhatToPaint)
{
    RangeSliderModel one = withRangesAt({10, 20, 30, 40, 50, 60});
    RangeSliderModel many = withRangesAt({10, 20, 30, 40, 50, 60});
    for (RangeSliderModel* m : {&one, &many}) {
        m->setIRangeSelectedStart(2);
        m->setIRangeSelectedEnd(3);
    }
    for (const int i : {5, 1, 7, 1})
        one.RemoveRange(i);
    (void)many.takeDirty();
    many.RemoveRanges({5, 1, 7, 1});
    ASSERT_EQ(many.Count(), one.Count());
    for (int i = 1; i <= one.Count(); ++i) {
        EXPECT_EQ(many.ranges().Item(i)->dBegin, one.ranges().Item(i)->dBegin);
        EXPECT_EQ(many.boxes()[size_t(i - 1)].span, one.boxes()[size_t(i - 1)].span);
        EXPECT_EQ(many.boxes()[size_t(i - 1)].iBarPixels, one.boxes()[size_t(i - 1)].iBarPixels);
    }
    EXPECT_EQ(many.iRangeSelectedStart(), -1);
    // The boxes removed (at 50, 10 and 20 s; 7 named none by its turn), at
    // 100 twips a second.
    using Spans = std::vector<std::pair<double, double>>;
    auto dirty = many.takeDirty();
    EXPECT_FALSE(dirty.all);
    EXPECT_EQ(dirty.spans, (Spans{{5200, 5700}, {1200, 1700}, {2200, 2700}}));

    // A new selection (40 s) repaints the boxes whose bar or colour changed:
    // 30 s leaves the old run, 40 s joins it and takes the anchor's colour.
    many.setIRangeSelectedStart(2);
    dirty = many.takeDirty();
    EXPECT_FALSE(dirty.all);
    EXPECT_EQ(dirty.spans, (Spans{{4200, 4700}, {3200, 3700}}));
    // Moving a range repaints where it was and where it goes.
    many.UpdateRange(1, 80, 85);
    EXPECT_EQ(many.takeDirty().spans, (Spans{{3200, 3700}, {8200, 8700}}));
    many.Resize(10000);
    EXPECT_TRUE(many.takeDirty().all);
}
