#include "records/SchemaElement.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

using namespace vimra;

TEST(SchemaElement, TypeNamesAndReadability)
{
    const char* names[] = {"String", "Integer", "Date", "Bool", "SetOfStrings", "Real", "",
                           "ChunkTime", "WordList", "SetOfGUIDs", "Unknow"};
    SchemaElement se;
    for (int code = 0; code <= 10; ++code) {
        se.tyType = code;
        if (code != tyCloseList) {
            EXPECT_EQ(se.strType(), names[code]) << code;
        }
        EXPECT_EQ(se.bIsHumanReadable(), code <= tyCloseList) << code;
    }
    se.tyType = tyCloseList;
    se.strCloseList = "Genre";
    EXPECT_EQ(se.strType(), "Genre (CloseList)");
    se.tyType = 11;
    EXPECT_EQ(se.strType(), "");
    EXPECT_FALSE(se.bIsHumanReadable());
}

TEST(SchemaElement, InitGivesTypeDefaultsAndTouchesNoFlag)
{
    CloseListRegistry lists;
    auto genre = std::make_shared<CloseList>();
    genre->strCLName = "Genre";
    genre->colItems->Add("Documentary");
    genre->colItems->Add("Fiction");
    lists.Add(genre, genre->strCLName);

    auto init = [&](int code, const FieldValue& before, const QString& closeList = {},
                    const CloseListRegistry* reg = nullptr) {
        SchemaElement se;
        se.tyType = code;
        se.strCloseList = closeList;
        se.vContent = before;
        se.bChanged = true;
        se.bReadOnly = true;
        se.Init(reg ? reg : &lists);
        EXPECT_TRUE(se.bChanged && se.bReadOnly && !se.bValid && !se.bIgnore) << code;
        return se.vContent;
    };

    EXPECT_EQ(std::get<QString>(init(tyString, {})), text(1081));
    EXPECT_EQ(std::get<int>(init(tyInteger, QString("7"))), 0);
    EXPECT_EQ(std::get<QString>(init(tyDate, QDate(1999, 1, 1))), "01/01/2001");
    EXPECT_FALSE(std::get<bool>(init(tyBool, true)));
    EXPECT_EQ(std::get<double>(init(tyReal, 2.5)), 0.0);
    EXPECT_EQ(std::get<QString>(init(tyCloseList, {}, "Genre")), "Documentary");

    // A set always gets a fresh one-item list; the old list is left alone.
    auto old = std::make_shared<StringList>();
    old->Add("a");
    old->Add("b");
    const auto fresh = valueObject<StringList>(init(tySetOfStrings, old));
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, old);
    ASSERT_EQ(fresh->Count(), 1);
    EXPECT_EQ(fresh->Item(1), text(1081));
    EXPECT_EQ(old->Count(), 2);

    // Unknown list, no registry and the non-editable types keep their value.
    EXPECT_EQ(std::get<QString>(init(tyCloseList, QString("x"), "Missing")), "x");
    SchemaElement noRegistry;
    noRegistry.tyType = tyCloseList;
    noRegistry.strCloseList = "Genre";
    noRegistry.vContent = QString("x");
    noRegistry.Init(nullptr);
    EXPECT_EQ(std::get<QString>(noRegistry.vContent), "x");
    auto chunk = std::make_shared<Chunk>();
    EXPECT_EQ(valueObject<Chunk>(init(tyChunkTime, chunk)), chunk);
    EXPECT_EQ(std::get<QString>(init(tyUnknow, QString("u"))), "u");
}

TEST(SchemaElement, ObjectValuesAreSharedNotCopied)
{
    SchemaElement se;
    se.tyType = tyChunkTime;
    se.vContent = std::make_shared<Chunk>();
    valueObject<Chunk>(se.vContent)->dend = 12.5;
    EXPECT_EQ(valueObject<Chunk>(se.vContent)->dend, 12.5);

    WordColl words;
    EXPECT_TRUE(words.Add("", "", 0, 1, "one"));
    EXPECT_TRUE(words.Add("", "", 1, 2, "two")); // empty keys never clash
    EXPECT_TRUE(words.Add("", "", 2, 3, "three", "k"));
    EXPECT_FALSE(words.Add("", "", 3, 4, "four", "K"));
    EXPECT_EQ(words.Count(), 3);
}
