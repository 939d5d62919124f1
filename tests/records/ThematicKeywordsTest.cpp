#include "records/AppState.h"
#include "records/Settings.h"
#include "records/ThematicKeywords.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "support/FakePrompts.h"
#include "support/AnswersAtOnce.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vimra;

namespace {

QString fixture(const QString& name) { return QStringLiteral(VIMRA_TEST_DATA "/vocabulary/") + name; }

const QString kBad = QStringLiteral("Bad file ThematicKeywords.xml, ");
const QString kLoading = QStringLiteral("Error during ThematicKeywords.xml loading ");
const QString kNotAvailable = QStringLiteral("The Tolv Cross Language Thematic Keywords will not be available");

class ThematicKeywordsTest : public ::testing::Test {
protected:
    void SetUp() override { StringTable::setLanguage(StringTable::Language::English); }
    void TearDown() override
    {
        appState().reset();
        StringTable::resetLanguage();
    }
    test::FakePrompts boxes;
};

} // namespace

TEST_F(ThematicKeywordsTest, GoodFileKeepsOrderDuplicatesAndFallsBackToEnglish)
{
    TolvThematicKeywords vocabulary;
    ASSERT_TRUE(vocabulary.bSetFromXMLFile(fixture("good.xml")));
    EXPECT_TRUE(boxes.calls.empty());

    // Root comments, text, foreign and wrongly cased elements are skipped; a
    // prefixed Theme (and prefixed attributes) count; equal labels stay two.
    const auto& themes = vocabulary.colThemes();
    ASSERT_EQ(themes.Count(), 3);
    EXPECT_EQ(themes.Item(2)->strItalian(), "Sport (prefixed)");
    EXPECT_EQ(themes.Item(2)->colSubthemes().Item(1)->colKeywords().Item(1)->strDutch(), "Doelpunt");
    EXPECT_EQ(themes.Item(3)->strEnglish(), "History");
    const Theme& history = *themes.Item(1);
    ASSERT_EQ(history.colSubthemes().Count(), 2);
    EXPECT_EQ(history.colSubthemes().Item(2)->colKeywords().Count(), 0);
    const auto& keywords = history.colSubthemes().Item(1)->colKeywords();
    ASSERT_EQ(keywords.Count(), 3);

    const QStringList full = {"Cold War", "Guerra fredda", "Koude Oorlog", "Kalter Krieg", "Guerre froide"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(keywords.Item(1)->strLocalLang(i), full[i]);
    for (int i : {-1, 5, 6})
        EXPECT_EQ(keywords.Item(1)->strLocalLang(i), "Cold War");
    for (int i = -1; i <= 6; ++i)
        EXPECT_EQ(keywords.Item(2)->strLocalLang(i), "Only English");
    // Italian="" and a missing Dutch label give English; German is there.
    EXPECT_EQ(keywords.Item(3)->strLocalLang(1), "Cold War");
    EXPECT_EQ(keywords.Item(3)->strLocalLang(2), "Cold War");
    EXPECT_EQ(keywords.Item(3)->strLocalLang(3), "Kalter Krieg");
}

TEST_F(ThematicKeywordsTest, StructuralErrorsShowTheFirstErrorThenUnavailable)
{
    const std::pair<QString, QString> cases[] = {
        {"wrong_root.xml", "TolvThematicKeywords not found"},
        {"theme_without_english.xml", "aTheme element has got empty English attribute"},
        // A theme's own label is checked only after its subthemes were read.
        {"theme_without_english_bad_subtheme.xml", "a Subtheme element has got empty English attribute"},
        {"subtheme_without_english.xml", "a Subtheme element has got empty English attribute"},
        {"keyword_under_theme.xml", "Theme element can contain only Subtheme elements"},
        {"text_in_theme.xml", "Theme element can contain only Subtheme elements"},
        {"foreign_in_subtheme.xml", "Subtheme element can contain only Keyword elements"},
        {"keyword_without_english.xml", "a Keyowrd element has got empty English attribute"},
    };
    for (const auto& [file, message] : cases) {
        SCOPED_TRACE(file.toStdString());
        boxes.calls.clear();
        LoadThematicKeywords(fixture("good.xml"));
        ASSERT_NE(appState().objThematicKeywords, nullptr);
        LoadThematicKeywords(fixture(file));
        EXPECT_EQ(boxes.messages(), (QStringList{kBad + message, kNotAvailable}));
        EXPECT_EQ(appState().objThematicKeywords, nullptr);
        for (const auto& call : boxes.calls)
            EXPECT_TRUE(call.buttons == Prompts::OKOnly && call.icon == Prompts::NoIcon);
    }
    // Never a partial vocabulary: the first theme of this file was good.
    TolvThematicKeywords vocabulary;
    EXPECT_FALSE(vocabulary.bSetFromXMLFile(fixture("theme_without_english.xml")));
    EXPECT_TRUE(vocabulary.colThemes().isEmpty());
}

TEST_F(ThematicKeywordsTest, ParserFailuresShowTheReasonThenUnavailable)
{
    // dtd_invalid.xml reads fine as a vocabulary; only its own DTD rejects it.
    for (const QString& path : {fixture("malformed.xml"), fixture("missing.xml"), QString(), fixture("dtd_invalid.xml")}) {
        SCOPED_TRACE(path.toStdString());
        boxes.calls.clear();
        LoadThematicKeywords(path);
        EXPECT_EQ(appState().objThematicKeywords, nullptr);
        const QStringList shown = boxes.messages();
        ASSERT_EQ(shown.size(), 2);
        // The file is named, with the reason after it; without a path, the settings file that names none.
        if (path.isEmpty())
            EXPECT_EQ(shown[0], kLoading + settingsFilePath() + ": " + text(msg::NoVocabularyInSettings));
        else
            EXPECT_TRUE(shown[0].startsWith(kLoading + path + ": ") && !shown[0].endsWith(": ")) << shown[0].toStdString();
        EXPECT_EQ(shown[1], kNotAvailable);
    }
    boxes.calls.clear();
    LoadThematicKeywords(fixture("dtd_valid.xml"));
    EXPECT_TRUE(boxes.calls.empty());
    ASSERT_NE(appState().objThematicKeywords, nullptr);
}

TEST_F(ThematicKeywordsTest, BundledVocabularyLoadsFromTheSettingInEveryLanguage)
{
    QTemporaryDir dir;
    const QString config = dir.filePath("vimra.conf");
    ASSERT_NO_FATAL_FAILURE(test::writeFile(config, "[Vimra]\nThematicKeywordsPath=" VIMRA_RESOURCES "/ThematicKeywords.xml\n"));

    const QByteArray previous = qgetenv("VIMRA_CONFIG");
    qputenv("VIMRA_CONFIG", config.toUtf8());
    LoadThematicKeywords();
    const auto vocabulary = appState().objThematicKeywords;
    qputenv("VIMRA_CONFIG", dir.filePath("missing.conf").toUtf8()); // no setting: path ""
    LoadThematicKeywords();
    previous.isNull() ? qunsetenv("VIMRA_CONFIG") : qputenv("VIMRA_CONFIG", previous);

    EXPECT_EQ(appState().objThematicKeywords, nullptr);
    EXPECT_EQ(boxes.messages().size(), 2);
    ASSERT_NE(vocabulary, nullptr);
    ASSERT_GE(vocabulary->colThemes().Count(), 6);
    auto check = [](const ThematicLabels& e) {
        for (const QString& label : {e.strEnglish(), e.strItalian(), e.strDutch(), e.strGerman(), e.strFrench()})
            EXPECT_FALSE(label.isEmpty()) << e.strEnglish().toStdString();
    };
    for (const auto& theme : vocabulary->colThemes()) {
        check(*theme);
        EXPECT_GE(theme->colSubthemes().Count(), 2);
        for (const auto& subtheme : theme->colSubthemes()) {
            check(*subtheme);
            EXPECT_GE(subtheme->colKeywords().Count(), 2);
            for (const auto& keyword : subtheme->colKeywords())
                check(*keyword);
        }
    }
}

TEST_F(ThematicKeywordsTest, OnlyTheDtdTheVocabularyNamesIsReadAndItStillValidates)
{
    QTemporaryDir dir, outside;
    const QString fifo = outside.filePath("fifo"), secret = outside.filePath("s.dtd"), dtd = dir.filePath("k.dtd");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_NO_FATAL_FAILURE(test::writeFile(secret, "<!ENTITY label \"SECRET-7d1f\">"));
    const QByteArray own = test::readFile(VIMRA_RESOURCES "/ThematicKeywords.dtd");
    const struct {
        const char* what;
        QByteArray dtd; // "" for a FIFO
        QByteArray theme;
        bool bLoads;
    } rows[] = {
        {"its own DTD", own, "<Theme English=\"Sport\"/>", true},
        {"invalid against it", own, "<Theme English=\"Sport\"><Note/></Theme>", false},
        {"a parameter entity of its DTD", "<!ENTITY % s SYSTEM \"" + secret.toUtf8() + "\"> %s;" + own, "<Theme English=\"&label;\"/>", false},
        {"a FIFO in its DTD", "<!ENTITY % f SYSTEM \"" + fifo.toUtf8() + "\"> %f;" + own, "<Theme English=\"Sport\"/>", true},
        {"a FIFO as its DTD", "", "<Theme English=\"Sport\"/>", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QFile::remove(dtd);
        if (row.dtd.isEmpty())
            ASSERT_EQ(::mkfifo(QFile::encodeName(dtd).constData(), 0600), 0);
        else
            ASSERT_NO_FATAL_FAILURE(test::writeFile(dtd, row.dtd));
        ASSERT_NO_FATAL_FAILURE(test::writeFile(dir.filePath("v.xml"), "<!DOCTYPE TolvThematicKeywords SYSTEM \"k.dtd\">"
                                                "<TolvThematicKeywords>" + row.theme + "</TolvThematicKeywords>"));
        boxes.calls.clear();
        TolvThematicKeywords read;
        EXPECT_TRUE(test::bAnswersAtOnce({fifo, dtd}, [&] { EXPECT_EQ(read.bSetFromXMLFile(dir.filePath("v.xml")), row.bLoads); }));
        EXPECT_EQ(read.colThemes().Count(), row.bLoads ? 1 : 0);
        EXPECT_EQ(boxes.messages().size(), row.bLoads ? 0 : 1);
        EXPECT_EQ(boxes.messages().value(0).startsWith(kLoading), !row.bLoads);
    }
}
