#include "EditorTestSupport.h"
#include "editor/CrossLanguageModel.h"
#include "records/ThematicKeywords.h"
#include "support/FakePrompts.h"

#include <gtest/gtest.h>

using namespace vimra;
using namespace vimra::test;

namespace {

std::shared_ptr<TolvThematicKeywords> formVocabulary()
{
    auto vocabulary = std::make_shared<TolvThematicKeywords>();
    EXPECT_TRUE(vocabulary->bSetFromXMLFile(VIMRA_TEST_DATA "/vocabulary/form.xml"));
    return vocabulary;
}

// A document's thematic fields; an empty theme or subtheme name leaves the
// field out, and so does a null keyword list unless `bUnassignedKeywords`.
std::shared_ptr<SEColl> thematic(const QString& theme, const QString& subtheme,
                                 const std::shared_ptr<StringList>& keywords, bool bUnassignedKeywords = false)
{
    auto c = std::make_shared<SEColl>();
    addField(*c, tyString, "Title", QStringLiteral("Harbour"));
    if (!theme.isEmpty())
        addField(*c, tyString, "Themes", theme);
    if (!subtheme.isEmpty())
        addField(*c, tyString, "Subthemes", subtheme);
    if (keywords)
        addField(*c, tySetOfStrings, "ThematicKeywords", keywords);
    else if (bUnassignedKeywords)
        c->Add(tySetOfStrings, {}, "ThematicKeywords", {}, {}, false, false, false, false);
    return c;
}

QStringList rows(const SetOfLabelsModel& m)
{
    QStringList out;
    for (int i = 1; i <= m.Count(); ++i)
        out << m.Strng(i);
    return out;
}

QStringList stored(const SEColl& c, const QString& name)
{
    const auto list = valueObject<StringList>(c.find(name)->vContent);
    return list ? QStringList(list->begin(), list->end()) : QStringList();
}

} // namespace

TEST(CrossLanguageModel, ConsistencyWalksTheFieldsInSchemaOrder)
{
    const auto vocabulary = formVocabulary();
    auto reversed = std::make_shared<SEColl>();
    addField(*reversed, tyString, "Subthemes", QStringLiteral("Music"));
    addField(*reversed, tyString, "Themes", QStringLiteral("Arts"));
    addField(*reversed, tySetOfStrings, "ThematicKeywords", listOf({}));
    const struct {
        const char* name;
        std::shared_ptr<SEColl> doc;
        bool bConsistent;
    } cases[] = {
        {"consistent", thematic("Arts", "Music", listOf({"Opera", "Ballads", "Opera"})), true},
        {"a subtheme of another theme", thematic("Arts", "Pottery", listOf({})), false},
        {"a keyword of another subtheme", thematic("Arts", "Music", listOf({"Opera", "Portraits"})), false},
        {"an empty set", thematic("Arts", "Music", listOf({})), true},
        {"no collection", thematic("Arts", "Music", nullptr, true), true},
        {"none of the three fields", thematic("", "", nullptr), true},
        {"an unknown theme before Subthemes", thematic("Opera", "Music", listOf({})), false},
        {"an unknown theme alone", thematic("Opera", "", nullptr), true},
        {"Subthemes before Themes", reversed, false},
        {"a known theme without a ThematicKeywords field", thematic("Arts", "Music", nullptr), false},
        {"a theme without subthemes", thematic("Miscellany", "", listOf({})), false},
    };
    for (const auto& c : cases) {
        CrossLanguageModel m;
        EXPECT_EQ(m.bCheckCLConsistency(*c.doc, vocabulary), c.bConsistent) << c.name;
    }
}

TEST(CrossLanguageModel, LabelRowsTranslateByFirstMatchAndKeepWhatTheyWereGiven)
{
    const auto vocabulary = formVocabulary();
    const auto& music = vocabulary->colThemes().Item(1)->colSubthemes().Item(1);
    SetOfLabelsModel m;
    m.Init(2);
    m.AddItem(); // nothing to add yet
    EXPECT_FALSE(m.bAddEnabled());
    m.AssignItems(LabelList(music->colKeywords(), 1));
    EXPECT_EQ(m.Count(), 0); // Init rows went, and Init does nothing again
    m.Init(3);
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(m.items().labels(), QStringList({"Opera lirica", "Canzoni", "Canzoni"}));

    m.AddItem();
    m.AddItem();
    m.AddItem();
    EXPECT_EQ(rows(m), QStringList({"Opera", "Opera", "Opera"}));
    m.setStrng(1, "Ballads"); // a stored name sharing its label keeps itself
    m.setStrng(2, "Jazz");    // no such keyword: no selection
    m.Pick(3, 2);             // a picked shared label is its first entry
    EXPECT_EQ(rows(m), QStringList({"Ballads", "", "Songs"}));
    EXPECT_EQ(m.iShown(1), 2);
    EXPECT_EQ(m.iShown(2), -1);
    m.Pick(1, 2); // the shown entry again: unchanged
    EXPECT_EQ(m.Strng(1), "Ballads");

    m.setTicked(2, true);
    m.Delete();
    EXPECT_EQ(rows(m), QStringList({"Ballads", "Songs"}));
    m.setEnabled(false);
    EXPECT_FALSE(m.bAddEnabled());

    const LabelList themes(vocabulary->colThemes(), 1);
    EXPECT_EQ(themes.labels(), QStringList({"Arti", "Nature", "Arti", "Varie"}));
    EXPECT_EQ(themes.strEnglishFromLocal("Arti"), "Arts");
    EXPECT_EQ(themes.strLocalFromEnglish("Crafts"), "Arti");
    EXPECT_EQ(themes.strLocalFromEnglish("Opera"), "");
}

namespace {

// The document form without its window, in Italian unless told.
struct Form {
    explicit Form(std::shared_ptr<SEColl> doc, int iLang = 1) : secol(std::move(doc))
    {
        EXPECT_TRUE(cl.bCheckCLConsistency(*secol, formVocabulary()));
        pane.Build(*secol, nullptr, 0, PaneModel::kInitialWidth, PaneModel::kInitialHeight);
        cl.Route(pane, iLang);
    }
    void Commit() { cl.Commit(*secol, nullptr); }
    QString value(const QString& name) const { return valueToText(secol->find(name)->vContent); }
    bool bChanged(const QString& name) const { return secol->find(name)->bChanged; }

    std::shared_ptr<SEColl> secol;
    PaneModel pane{{QStringLiteral("Title")}};
    CrossLanguageModel cl;
    FakePrompts boxes;
    TitleRecorder ui;
};

} // namespace

TEST(CrossLanguageModel, OkWithoutEditsKeepsTheStoredNamesAndMarksThemChanged)
{
    Form f(thematic("Crafts", "Pottery", listOf({"Vases"})));
    EXPECT_EQ(f.cl.iThemeShown(), 2); // not "Arts", the first "Arti"
    EXPECT_EQ(f.cl.subthemes().labels(), QStringList({"Ceramica"}));
    f.cl.ThemePicked(2); // the shown entry: no question
    f.Commit();
    EXPECT_EQ(f.value("Themes"), "Crafts");
    EXPECT_EQ(f.value("Subthemes"), "Pottery");
    EXPECT_EQ(stored(*f.secol, "ThematicKeywords"), QStringList({"Vases"}));
    for (const char* name : {"Themes", "Subthemes", "ThematicKeywords"})
        EXPECT_TRUE(f.bChanged(name)) << name;
    EXPECT_FALSE(f.bChanged("Title"));
    EXPECT_TRUE(f.boxes.calls.empty());

    // A read-only theme is left alone, even after a pick.
    auto doc = thematic("Arts", "Music", listOf({"Opera"}));
    doc->find("Themes")->bReadOnly = true;
    Form locked(doc);
    locked.boxes.answers.push_back(Prompts::Yes);
    locked.cl.ThemePicked(1);
    locked.Commit();
    EXPECT_EQ(locked.value("Themes"), "Arts");
    EXPECT_FALSE(locked.bChanged("Themes"));
    EXPECT_TRUE(locked.bChanged("Subthemes"));
}

// Each pick with its answer, and what the form holds afterwards.
TEST(CrossLanguageModel, PicksAskOnceAndResetWhatDependsOnThem)
{
    Form f(thematic("Arts", "Music", listOf({"Opera", "Songs"})));
    const int none = 0;
    const struct {
        const char* step;
        bool bTheme; // the theme combo, else the subtheme combo
        int j;
        int answer;
        QString question; // "" when none is asked
        QString theme;
        QString subtheme;
        QStringList subthemeLabels;
        QStringList keywords;
    } steps[] = {
        {"the first entry of a shared label", true, 2, none, "", "Arts", "Music", {"Musica", "Pittura"},
         {"Opera", "Songs"}},
        {"another theme, No", true, 1, Prompts::No, CrossLanguageModel::strThemeQuestion(), "Arts", "Music",
         {"Musica", "Pittura"}, {"Opera", "Songs"}},
        {"another subtheme, No", false, 1, Prompts::No, CrossLanguageModel::strSubthemeQuestion(), "Arts",
         "Music", {"Musica", "Pittura"}, {"Opera", "Songs"}},
        {"another subtheme, Yes", false, 1, Prompts::Yes, CrossLanguageModel::strSubthemeQuestion(), "Arts",
         "Painting", {"Musica", "Pittura"}, {}},
        {"another theme, Yes", true, 1, Prompts::Yes, CrossLanguageModel::strThemeQuestion(), "Nature",
         "Rivers", {"Fiumi"}, {}},
        {"a theme without subthemes, Yes", true, 3, Prompts::Yes, CrossLanguageModel::strThemeQuestion(),
         "Miscellany", "", {}, {}},
    };
    for (const auto& s : steps) {
        f.boxes.calls.clear();
        if (s.answer != none)
            f.boxes.answers.push_back(s.answer);
        s.bTheme ? f.cl.ThemePicked(s.j) : f.cl.SubthemePicked(s.j);
        ASSERT_EQ(f.boxes.calls.size(), s.question.isEmpty() ? 0u : 1u) << s.step;
        if (!s.question.isEmpty()) {
            EXPECT_EQ(f.boxes.calls[0].text, s.question) << s.step;
            EXPECT_EQ(f.boxes.calls[0].buttons, Prompts::YesNo) << s.step;
            EXPECT_EQ(f.boxes.calls[0].icon, Prompts::NoIcon) << s.step;
        }
        EXPECT_EQ(f.cl.themes().strEnglish(f.cl.iThemeShown()), s.theme) << s.step;
        EXPECT_EQ(f.cl.strCurTheme(), s.theme) << s.step;
        EXPECT_EQ(f.cl.strCurSubtheme(), s.subtheme) << s.step;
        EXPECT_EQ(f.cl.subthemes().labels(), s.subthemeLabels) << s.step;
        EXPECT_EQ(f.cl.iSubthemeShown(), s.subtheme.isEmpty() ? -1 : f.cl.subthemes().iShown(s.subtheme)) << s.step;
        EXPECT_EQ(rows(*f.cl.keywords()), s.keywords) << s.step;
    }
    EXPECT_FALSE(f.cl.keywords()->bAddEnabled());
    f.Commit();
    EXPECT_EQ(f.value("Themes"), "Miscellany");
    EXPECT_EQ(f.value("Subthemes"), "");
    EXPECT_FALSE(f.secol->find("ThematicKeywords")->bValid);
    EXPECT_TRUE(f.bChanged("Themes") && f.bChanged("Subthemes") && f.bChanged("ThematicKeywords"));
}

TEST(CrossLanguageModel, AThemeChangeWithoutASubthemesControlStillResetsTheKeywords)
{
    auto doc = thematic("Arts", "Music", listOf({"Opera"}));
    doc->find("Subthemes")->bIgnore = true;
    Form f(doc, 3);
    f.boxes.answers.push_back(Prompts::Yes);
    f.cl.ThemePicked(2);
    EXPECT_EQ(f.cl.strCurSubtheme(), "Pottery");
    EXPECT_EQ(f.cl.keywords()->items().labels(), QStringList({"Vasen"}));
    EXPECT_EQ(f.cl.keywords()->Count(), 0);
    f.Commit();
    EXPECT_EQ(f.value("Themes"), "Crafts");
    EXPECT_EQ(f.value("Subthemes"), "Music"); // not shown, not written
    EXPECT_FALSE(f.bChanged("Subthemes"));
}
