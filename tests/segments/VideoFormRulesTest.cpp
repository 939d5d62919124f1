#include "segments/VideoFormRules.h"

#include "records/ValueTypes.h"

#include <gtest/gtest.h>

using namespace vimra;

TEST(FormatTime, Table)
{
    const struct {
        double seconds, rate;
        const char* text;
    } rows[] = {
        {0, 25, "00:00:00:00"},
        {59.999, 25, "00:00:59:24"},
        {3725.5, 25, "01:02:05:12"},
        {3725.5, 0, "01:02:05:00"},
        {360000, 25, "100:00:00:00"},
        {1001.0 / 30000 * 7, 30000.0 / 1001, "00:00:00:07"},
        {-0.001, 25, "00:00:00:00"},
        {1.9648, 240, "00:00:01:231"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(FormatTime(r.seconds, r.rate), QString::fromLatin1(r.text)) << r.seconds << " at " << r.rate;
}

TEST(VideoFormLayout, DesignWidthAndNarrowWindow)
{
    const PlayerLayout p = LayoutPlayer();
    EXPECT_EQ(p.BackButt, (TwipsRect{100, 450, 855, 375}));
    EXPECT_EQ(p.txtTime, (TwipsRect{1005, 495, 975, 285}));
    EXPECT_EQ(p.picVideoWindow, (TwipsRect{100, 875, 4000, 3000}));
    const double lefts[] = {100, 715, 1330, 1945, 2560};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(p.buttons[i], (TwipsRect{lefts[i], 3975, 615, 360}));
    EXPECT_EQ(p.rtbTrans, (TwipsRect{4300, 875, 4000, 3000}));

    const EditorLayout e = LayoutEditor(10800, 255, p);
    EXPECT_EQ(e.VideoFrame, (TwipsRect{100, 4335, 10800 - 200 - 255, 3800}));
    EXPECT_EQ(e.buttons[0], (TwipsRect{300, 4735, 615, 360}));
    EXPECT_EQ(e.buttons[9].left, 300 + 9 * 615);
    EXPECT_EQ(e.advsld, (TwipsRect{200, 5635, 10800 - 400 - 255, 1200}));
    EXPECT_EQ(e.Framelist1, (TwipsRect{200, 6835, 10800 - 400 - 255, 1200}));

    const EditorLayout narrow = LayoutEditor(300, 255, p);
    EXPECT_EQ(narrow.VideoFrame.width, 0);
    EXPECT_EQ(narrow.advsld.width, 0);
    EXPECT_EQ(narrow.Framelist1.width, 0);
    EXPECT_EQ(narrow.advsld.top, 5635); // only the widths follow the window
}

namespace {

std::shared_ptr<WordColl> words(std::initializer_list<double> starts)
{
    auto list = std::make_shared<WordColl>();
    int n = 0;
    for (double s : starts)
        list->Add({}, {}, s, s + 0.5, QStringLiteral("w%1").arg(++n));
    return list;
}

} // namespace

TEST(TranscriptFollower, AppendsRebuildsAndRepeatsUnsortedWords)
{
    TranscriptFollower f;
    EXPECT_EQ(f.advance(10), QString()); // no word list
    f.reset(words({1, 2, 3}));
    EXPECT_EQ(f.advance(0.5), QString());
    EXPECT_EQ(f.advance(2), QStringLiteral(" w1 w2"));
    EXPECT_EQ(f.advance(2), QString());
    f.rebuild(2); // a word starting at the position is still to come
    EXPECT_EQ(f.iLastWord(), 1);
    EXPECT_EQ(f.advance(2), QStringLiteral(" w2"));

    f.reset(words({}));
    EXPECT_TRUE(f.bHasWordList());
    EXPECT_EQ(f.advance(100), QString());

    // The count moves on per word shown, not to the word's place.
    f.reset(words({1, 5, 2}));
    EXPECT_EQ(f.advance(3), QStringLiteral(" w1 w3"));
    EXPECT_EQ(f.advance(6), QStringLiteral(" w3"));
}

TEST(TranscriptFollower, CountsPastSixteenBits)
{
    auto list = std::make_shared<WordColl>();
    for (int i = 0; i < 40000; ++i)
        list->Add({}, {}, i * 0.1, i * 0.1 + 0.05, QStringLiteral("w"));
    TranscriptFollower f;
    f.reset(list);
    f.rebuild(3999.95);
    EXPECT_EQ(f.iLastWord(), 40000);
    EXPECT_EQ(f.advance(1e9), QString());
}

TEST(ChainPositions, ListOrderDiffersFromChainOrder)
{
    int a, b, c, d;
    // Chain c -> a -> b; d links nowhere and nothing links to it after c.
    const std::vector<ChainLink> list{{&a, &b}, {&b, nullptr}, {&c, &a}, {&d, nullptr}};
    EXPECT_EQ(ChainPositions(list), (std::vector<int>{2, 3, 1, 0}));
    EXPECT_TRUE(ChainPositions({}).empty());
    // A cycle has no head.
    EXPECT_EQ(ChainPositions({{&a, &b}, {&b, &a}}), (std::vector<int>{0, 0}));
    // One member's place, found alone, is its place among all.
    for (const auto& l : {list, std::vector<ChainLink>{{&a, &b}, {&b, &a}}})
        for (size_t i = 0; i < l.size(); ++i)
            EXPECT_EQ(ChainPlace(SnapshotOf(l), int(i) + 1), ChainPositions(l)[i]);
}

namespace {

// Segments in chain order as listed, each linked to the next; {-1, -1} has no span.
SegmentSnapshot chained(std::initializer_list<std::pair<double, double>> spans)
{
    SegmentSnapshot s;
    for (const auto& [a, b] : spans)
        s.push_back({a >= 0, a, b, int(s.size()) + 2});
    if (!s.empty())
        s.back().iNext = 0;
    return s;
}

} // namespace

TEST(SegmentRules, IntervalTests)
{
    const auto s = chained({{2, 4}, {6, 8}, {-1, -1}});
    const struct {
        double a, b;
        bool outsideA, hasNone, overlapsNone;
    } rows[] = {
        {4, 6, true, true, true},     // both on bounds
        {3, 5, false, true, false},   // start inside
        {5, 7, true, true, false},    // end inside
        {2, 4, true, false, true},    // equal to a segment: contained, not overlapping
        {1, 9, true, false, true},    // holds both: only the containment test sees it
        {0, 0, true, true, true},     // the span-less member is nowhere
    };
    for (const auto& r : rows) {
        EXPECT_EQ(IsOutsideSegments(s, r.a), r.outsideA) << r.a;
        EXPECT_EQ(IntervalHasNoSegment(s, r.a, r.b), r.hasNone) << r.a << "-" << r.b;
        EXPECT_EQ(IntervalOverlapsNone(s, r.a, r.b), r.overlapsNone) << r.a << "-" << r.b;
    }
}

TEST(SegmentRules, MarkOutcomes)
{
    const auto s = chained({{2, 4}, {6, 8}, {10, 10}});
    const struct {
        double first, second;
        int message;
        double lo, hi;
    } rows[] = {
        {4, 6, 0, 4, 6},        // touching both neighbours
        {6, 4, 0, 4, 6},        // reversed
        {5, 5, 0, 5, 5},        // zero length
        {10, 10, 1149, 10, 10}, // where a zero-length one sits
        {4, 7, 1119, 4, 7},
        {1, 5, 1149, 1, 5},
        {9, 1, 1149, 1, 9},
        {1, 9, 1149, 1, 9},
        {2, 4, 1149, 2, 4},     // equal to a segment
    };
    for (const auto& r : rows) {
        const MarkOutcome o = SecondMark(s, r.first, r.second);
        EXPECT_EQ(o.iMessage, r.message) << r.first << "," << r.second;
        EXPECT_EQ(std::pair(o.lo, o.hi), std::pair(r.lo, r.hi));
    }
    EXPECT_FALSE(IsOutsideSegments(s, 3)); // a first press there is refused with 1118
    EXPECT_EQ(DialogRefusal(s, 5, 5, true), 0);
    EXPECT_EQ(DialogRefusal(s, 5, 4, false), 1102);
    EXPECT_EQ(DialogRefusal(s, 5, 7, true), 1120);
    EXPECT_EQ(DialogRefusal(s, 1, 5, true), 1149);
    EXPECT_EQ(DialogRefusal(s, 1, 9, false), 0);
}

TEST(SegmentRules, NextPrevAndExpand)
{
    const auto s = chained({{2, 4}, {4, 6}, {-1, -1}, {8, 9}});
    const struct {
        double t;
        std::optional<double> next, prev;
        int left, right;
    } rows[] = {
        {2, 4, std::nullopt, 0, 0},     // exactly a start; Expand right at an equal start
        {3, 4, 2, 0, 2},                // inside
        {4, 6, 2, 0, 0},                // on touching bounds, both equal to t
        {7, 8, 6, 2, 4},
        {1, 2, std::nullopt, 0, 1},     // before every segment
        {10, std::nullopt, 9, 4, 0},    // after every segment
    };
    for (const auto& r : rows) {
        EXPECT_EQ(NextBound(s, r.t), r.next) << r.t;
        EXPECT_EQ(PrevBound(s, r.t), r.prev) << r.t;
        EXPECT_EQ(ExpandLeftTarget(s, r.t), r.left) << r.t;
        EXPECT_EQ(ExpandRightTarget(s, r.t), r.right) << r.t;
    }
}

TEST(SegmentRules, MergeSpanCoversEveryMember)
{
    // List order differs from time order; member 3 has no span.
    const SegmentSnapshot s{{true, 6, 8, 0}, {true, 2, 4, 1}, {false, 0, 0, 0}, {true, 4, 5, 1}};
    EXPECT_EQ(MergeSpan(s, {1, 2}), (std::pair<double, double>{2, 8}));
    EXPECT_EQ(MergeSpan(s, {3, 1}), (std::pair<double, double>{6, 8}));
    EXPECT_EQ(MergeSpan(s, {3}), std::nullopt);
    EXPECT_TRUE(SwallowsOther(s, 2, 8, {1, 2}));
    EXPECT_FALSE(SwallowsOther(s, 2, 8, {1, 2, 4}));
}

TEST(SegmentRules, CyclicSnapshotEndsEveryWalk)
{
    const SegmentSnapshot s{{true, 2, 4, 2}, {true, 4, 6, 1}};
    EXPECT_EQ(ChainHead(s), 0);
    EXPECT_EQ(ChainTail(s), 0);
    EXPECT_EQ(NextBound(s, 0), std::nullopt);
    EXPECT_EQ(PrevBound(s, 9), std::nullopt);
    const SegmentSnapshot loop{{true, 2, 4, 2}, {true, 4, 6, 3}, {true, 6, 8, 2}};
    EXPECT_EQ(ChainForward(loop), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ExpandRightTarget(loop, 9), 0);
    EXPECT_EQ(KeyFramePositions(loop), (std::vector<int>{1, 2, 3}));
}

namespace {

// The model's removals one by one: each member linked to the removed one
// takes its successor (none when that is itself); later members move up.
void removeOneByOne(SegmentSnapshot& s, int index)
{
    if (index < 1 || size_t(index) > s.size())
        return;
    const int next = s[size_t(index) - 1].iNext;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i].iNext == index)
            s[i].iNext = next == int(i) + 1 ? 0 : next;
    s.erase(s.begin() + (index - 1));
    for (auto& m : s)
        if (m.iNext > index)
            --m.iNext;
}

} // namespace

TEST(SegmentRules, RemovalsTogetherCloseTheChainAsOneByOne)
{
    struct Case {
        std::vector<int> next; // each member's successor, 0 for none
        std::vector<int> removals;
    };
    const std::vector<Case> cases = {
        {{2, 3, 4, 5, 0}, {2}},          // a plain chain
        {{2, 3, 4, 5, 0}, {2, 2, 2}},    // a run
        {{0, 1, 2, 3, 4}, {4, 1, 2}},    // list order against chain order
        {{3, 0, 5, 2, 4}, {3, 1}},       // removed ones linked to each other
        {{2, 3, 1, 5, 0}, {2, 2}},       // a loop closing on the member left
        {{2, 1, 4, 0}, {1, 1}},          // a loop removed whole
        {{2, 0, 2, 0}, {2, 9, 1}},       // two predecessors; an index past the end
    };
    for (const auto& c : cases) {
        SegmentSnapshot one;
        for (size_t i = 0; i < c.next.size(); ++i)
            one.push_back({true, double(i), double(i) + 0.5, c.next[i]});
        SegmentSnapshot together = one;
        for (const int r : c.removals)
            removeOneByOne(one, r);
        RemoveFromSnapshot(together, c.removals);
        ASSERT_EQ(together.size(), one.size()) << ::testing::PrintToString(c.next);
        for (size_t i = 0; i < one.size(); ++i) {
            EXPECT_EQ(together[i].iNext, one[i].iNext) << ::testing::PrintToString(c.next) << " member " << i + 1;
            EXPECT_EQ(together[i].dStart, one[i].dStart);
        }
    }
}
