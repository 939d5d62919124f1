#include "segments/RangeTimes.h"

#include "records/Procedures.h"

#include <gtest/gtest.h>

using namespace vimra;

namespace {

using Parts = std::array<int, 4>;

Parts startParts(const RangeTimes& t)
{
    return {t.part(RangeTimes::hh1), t.part(RangeTimes::mm1), t.part(RangeTimes::ss1), t.part(RangeTimes::ff1)};
}

// Every h:m:s:f below 60 hours with a frame inside a second splits back to itself.
void expectEveryValueRoundTrips(double rate)
{
    RangeTimes t;
    int failures = 0;
    for (int h = 0; h < 60; ++h)
        for (int m = 0; m < 60; ++m)
            for (int s = 0; s < 60; ++s)
                for (int f = 0; f < rate; ++f) {
                    t.SetTime(dTimePartsToSeconds({0, h, m, s, f}, rate), 0, rate);
                    if (startParts(t) != Parts{h, m, s, f} && ++failures < 5)
                        ADD_FAILURE() << h << ":" << m << ":" << s << ":" << f << " at " << rate;
                }
}

} // namespace

TEST(RangeTimes, RoundTripAt25)
{
    expectEveryValueRoundTrips(25);
}

TEST(RangeTimes, RoundTripAt30000Over1001)
{
    expectEveryValueRoundTrips(30000.0 / 1001);
}

TEST(RangeTimes, MidFrameRoundsDown)
{
    RangeTimes t;
    t.SetTime(3725.5, 65.48, 25);
    EXPECT_EQ(startParts(t), (Parts{1, 2, 5, 12}));
    // Unedited, a time comes back as given; edited, it is whole frames.
    EXPECT_DOUBLE_EQ(t.dGetStartTime(), 3725.5);
    EXPECT_TRUE(t.Accept(RangeTimes::ss1, "6"));
    EXPECT_DOUBLE_EQ(t.dGetStartTime(), 3726.48);
    EXPECT_DOUBLE_EQ(t.dGetEndTime(), 65.48);
}

TEST(RangeTimes, RateZeroGivesWholeSeconds)
{
    RangeTimes t;
    t.SetTime(65.9, 0, 0);
    EXPECT_EQ(startParts(t), (Parts{0, 1, 5, 0}));
    EXPECT_EQ(t.maximum(RangeTimes::ff1), 0);
    EXPECT_FALSE(t.Accept(RangeTimes::ff1, "1"));
    EXPECT_EQ(t.dGetStartTime(), 65.9);
    EXPECT_TRUE(t.Accept(RangeTimes::ss1, "6"));
    EXPECT_EQ(t.dGetStartTime(), 66);
}

TEST(RangeTimes, FramesBoxGoesToTheWholeRate)
{
    RangeTimes t;
    t.SetTime(0, 0, 25);
    EXPECT_EQ(t.maximum(RangeTimes::ff2), 25);
    EXPECT_TRUE(t.Accept(RangeTimes::ff1, "25"));
    EXPECT_EQ(t.dGetStartTime(), 1); // a whole rate of frames is one more second
    t.SetTime(0, 0, 29.97);
    EXPECT_EQ(t.maximum(RangeTimes::ff1), 29);
    EXPECT_FALSE(t.Accept(RangeTimes::ff1, "30"));
    t.SetTime(0, 0, 240); // three digits
    EXPECT_TRUE(t.Accept(RangeTimes::ff1, "240"));
    EXPECT_FALSE(t.Accept(RangeTimes::ff1, "241"));
}

TEST(RangeTimes, BoxTextIsOneOrTwoDigitsWithinBounds)
{
    RangeTimes t;
    t.SetTime(3725.5, 0, 25);
    for (const char* text : {"60", "123", "-1", "1a", "", " 5", "+5"})
        EXPECT_FALSE(t.Accept(RangeTimes::mm1, text)) << text;
    EXPECT_EQ(t.part(RangeTimes::mm1), 2);
    EXPECT_TRUE(t.Accept(RangeTimes::mm1, "07"));
    EXPECT_EQ(t.part(RangeTimes::mm1), 7);
    EXPECT_TRUE(t.Accept(RangeTimes::hh2, "59"));
}

TEST(RangeTimes, TimesOutsideTheBoxesAreKeptWithinThem)
{
    RangeTimes t;
    t.SetTime(60 * 3600.0 + 61, -3, 25); // 60 h 1 min 1 s; negative
    EXPECT_EQ(startParts(t), (Parts{59, 1, 1, 0}));
    EXPECT_EQ(t.dGetEndTime(), 0);
    t.SetTime(std::numeric_limits<double>::infinity(), std::nan(""), 25);
    EXPECT_EQ(startParts(t), (Parts{59, 59, 59, 25}));
    EXPECT_EQ(t.dGetEndTime(), 0);
    for (double rate : {-25.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        t.SetTime(1.5, 1.5, rate);
        EXPECT_EQ(t.rate(), 0);
        EXPECT_EQ(t.part(RangeTimes::ff1), 0);
    }
}
