#include "records/Coll.h"
#include "records/SchemaElement.h"

#include <gtest/gtest.h>

using namespace vimra;

TEST(Coll, KeysCompareWithoutCaseAndOrderSurvivesRemoval)
{
    Coll<QString> c;
    EXPECT_TRUE(c.Add("a", "Key"));
    EXPECT_FALSE(c.Add("b", "KEY"));
    EXPECT_TRUE(c.Add("b"));
    EXPECT_TRUE(c.Add("c", ""));
    EXPECT_TRUE(c.Add("d", "other"));
    c.Remove(2);
    ASSERT_EQ(c.Count(), 3);
    EXPECT_EQ(c.Item(1), "a");
    EXPECT_EQ(c.Item(2), "c");
    EXPECT_EQ(c.Item("OTHER"), "d");
    EXPECT_THROW(c.Item(4), std::out_of_range);
    EXPECT_THROW(c.Item(0), std::out_of_range);
    EXPECT_TRUE(c.RemoveItem("a"));
    EXPECT_FALSE(c.Contains("key"));
}

TEST(Coll, CloseListRegistryKeysExactly)
{
    CloseListRegistry reg;
    auto a = std::make_shared<CloseList>();
    a->strCLName = "Colour";
    auto b = std::make_shared<CloseList>();
    b->strCLName = "colour";
    EXPECT_TRUE(reg.Add(a, a->strCLName));
    EXPECT_TRUE(reg.Add(b, b->strCLName));
    EXPECT_EQ(*reg.Find("colour"), b);
    EXPECT_EQ(reg.Find("COLOUR"), nullptr);
}

TEST(Coll, KeysGivenLateAndManyRemovedAtOnceKeepEveryItemWithItsKey)
{
    for (const bool bKeyed : {false, true}) {
        Coll<QString> c;
        for (const QString& s : {"a", "b", "c", "d", "e", "f"})
            c.Add(s);
        if (bKeyed)
            c.Add("g", "G"); // the first key, after items without one
        c.RemovePositions({1, 3, 4, 6});
        QStringList left;
        for (const auto& s : c)
            left << s;
        EXPECT_EQ(left.join(""), bKeyed ? "beg" : "be");
        EXPECT_EQ(c.Find("g") != nullptr, bKeyed);
        if (bKeyed) {
            EXPECT_EQ(c.IndexOfKey("G"), 3);
            c.Remove(1);
            EXPECT_EQ(*c.Find("g"), "g");
        }
        EXPECT_THROW(c.RemovePositions({9}), std::out_of_range);
    }
}
