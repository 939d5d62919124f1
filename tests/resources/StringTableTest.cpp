#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vimra {
namespace {

using Language = StringTable::Language;

class StringTableTest : public ::testing::Test {
protected:
    void TearDown() override { StringTable::resetLanguage(); }

    static QString in(Language language, int id)
    {
        StringTable::setLanguage(language);
        return text(id);
    }
};

TEST_F(StringTableTest, EveryIdResolvesInBothLanguages)
{
    for (Language language : {Language::English, Language::Italian}) {
        StringTable::setLanguage(language);
        for (int id = 1000; id <= 1205; ++id) {
            SCOPED_TRACE(id);
            ASSERT_TRUE(tryText(id).has_value());
            EXPECT_FALSE(text(id).isEmpty());
        }
    }
}

TEST_F(StringTableTest, IdsOutsideTheTableFail)
{
    for (Language language : {Language::English, Language::Italian}) {
        StringTable::setLanguage(language);
        for (int id : {20, 21, 999, 1206}) {
            SCOPED_TRACE(id);
            EXPECT_FALSE(tryText(id).has_value());
            EXPECT_THROW(text(id), std::out_of_range);
        }
    }
}

TEST_F(StringTableTest, EnglishTextsKeepBlanksAndSpellings)
{
    StringTable::setLanguage(Language::English);
    EXPECT_EQ(text(1039), u"&About ");
    EXPECT_EQ(text(1051), u" TreeView:");
    EXPECT_EQ(text(msg::SchemaLoadError), u"Error loading the schema: ");
    EXPECT_EQ(text(msg::NewStorageCollocationPrompt), u"Iinput new collocation for Storage: ");
    EXPECT_EQ(text(1084), u"Edit A&ssigned/Unassingned flags...");
    EXPECT_EQ(text(1117), u"Add Main T&ranscipt...");
    EXPECT_EQ(text(msg::ConfirmDeleteObject), u"Are you sure you want elminate the object");
    EXPECT_EQ(text(msg::ThematicKeywordsLoadError), u"Error during ThematicKeywords.xml loading ");
    EXPECT_TRUE(text(msg::CrossLanguageDisableWarning).endsWith(u"during the Metadata updating. "));
    EXPECT_EQ(text(msg::SaveModifications), u"Save modifications");
    EXPECT_EQ(text(msg::NotAssigned), u"Not Assigned");
}

TEST_F(StringTableTest, ItalianTexts)
{
    StringTable::setLanguage(Language::Italian);
    EXPECT_EQ(text(msg::SaveModifications), u"Salvare le modiche al documento");
    EXPECT_EQ(text(1036), u"&?");
    EXPECT_EQ(text(msg::NotFound), u"non trovato");
    EXPECT_EQ(text(msg::CannotCreateDirectory), u"Errore nella creazione della directory:");
    EXPECT_EQ(text(1165), u"Exporta sul Database");
    EXPECT_EQ(text(msg::NewStorageCollocationPrompt),
              u"Inserire la nuova collocazione per lo Storage: ");
    EXPECT_EQ(text(1039), u"&Informazioni su"); // no trailing blank, unlike English
    // Accented letters survive the compiled-in table.
    EXPECT_TRUE(text(1164).startsWith(u"Attenzione, disabilitando le funzionalità "));
    EXPECT_EQ(text(1164).back(), u'!');
}

TEST_F(StringTableTest, LanguageSwitchChangesTheAnswer)
{
    EXPECT_EQ(in(Language::English, msg::NotFound), u"not found");
    EXPECT_EQ(in(Language::Italian, msg::NotFound), u"non trovato");
    EXPECT_EQ(in(Language::English, msg::CannotCreateDirectory), u"Unable to create directory:");
}

TEST_F(StringTableTest, EnglishOnlyIdsServeEnglishToItalianUsers)
{
    for (int id : {1032, 1033, 1034, 1044, 1045, 1046, 1047, 1048, 1049, 1050}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(in(Language::Italian, id), in(Language::English, id));
    }
    EXPECT_EQ(in(Language::Italian, 1044), u"Paste");
}

} // namespace
} // namespace vimra
