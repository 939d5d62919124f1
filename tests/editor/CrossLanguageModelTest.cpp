#include "EditorTestSupport.h"
#include "editor/CrossLanguageModel.h"
#include "records/ThematicKeywords.h"

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
