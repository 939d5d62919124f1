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
}
