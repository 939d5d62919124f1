// The schema installed with vimra: every class builds its fields, and the
// fields the program looks up by name are there with the types it expects.

#include "platform/Xml.h"
#include "records/SEColl.h"
#include "records/SchemaElement.h"
#include "records/ValueTypes.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QString>

#include <map>
#include <memory>
#include <utility>
#include <vector>

using namespace vimra;

namespace {

const QString kSchema = QStringLiteral(VIMRA_RESOURCES "/vimra.xsd");

const std::vector<QString> kClasses = {"AVDocument", "Version", "Media", "Storage",
                                       "Video",      "Audio",   "Transcript"};

// All seven classes built as new objects of one document, sharing its
// closed-list registry.
class BundledSchema : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        registry = new CloseListRegistry;
        fields = new std::map<QString, std::unique_ptr<SEColl>>;
        errors = new std::map<QString, QString>;
        for (const QString& cls : kClasses) {
            xml::Document doc;
            auto col = std::make_unique<SEColl>();
            (*errors)[cls] = col->strInitAsNew(doc, kSchema, cls, *registry);
            (*fields)[cls] = std::move(col);
        }
    }
    static void TearDownTestSuite()
    {
        delete fields;
        delete errors;
        delete registry;
    }

    static const SEColl& of(const QString& cls) { return *fields->at(cls); }

    // 1-based position of the first field named exactly `name`, 0 when none.
    static int position(const QString& cls, const QString& name)
    {
        const SEColl& c = of(cls);
        for (int i = 1; i <= c.Count(); ++i)
            if (c.Item(i)->strName == name)
                return i;
        return 0;
    }

    static inline CloseListRegistry* registry = nullptr;
    static inline std::map<QString, std::unique_ptr<SEColl>>* fields = nullptr;
    static inline std::map<QString, QString>* errors = nullptr;
};

struct Expected {
    QString cls;
    QString name;
    int type;
};

// The fields the document classes, the forms and the segment editor read or
// write by name.
const std::vector<Expected> kRequired = {
    {"AVDocument", "AVDocGUID", tyString},
    {"AVDocument", "Title", tyString},
    {"AVDocument", "expressedby", tySetOfGUIDs},
    {"AVDocument", "Themes", tyString},
    {"AVDocument", "Subthemes", tyString},
    {"AVDocument", "ThematicKeywords", tySetOfStrings},

    {"Version", "VersionGUID", tyString},
    {"Version", "VersionTitle", tyString},
    {"Version", "manifestedby", tySetOfGUIDs},
    {"Version", "Duration", tyChunkTime},

    {"Media", "MediaGUID", tyString},
    {"Media", "Format", tyString},
    {"Media", "availableas", tySetOfGUIDs},

    {"Storage", "StorageGUID", tyString},
    {"Storage", "Collocation", tyString},

    {"Video", "VideoGUID", tyString},
    {"Video", "Title", tyString},
    {"Video", "VersionGUID", tyString},
    {"Video", "Time", tyChunkTime},
    {"Video", "partofvideo", tyString},
    {"Video", "followedbyvideo", tyString},
    {"Video", "Keyframe", tyChunkTime},
    {"Video", "FrameRate", tyReal},
    {"Video", "hasaudio", tyString},
    {"Video", "hasvideotranscript", tyString},
    {"Video", "manifestedby", tySetOfGUIDs},

    {"Audio", "AudioGUID", tyString},
    {"Audio", "Title", tyString},
    {"Audio", "VersionGUID", tyString},
    {"Audio", "Time", tyChunkTime},
    {"Audio", "partofaudio", tyString},
    {"Audio", "followedbyaudio", tyString},
    {"Audio", "hasaudiotranscript", tyString},
    {"Audio", "manifestedby", tySetOfGUIDs},

    {"Transcript", "TranscriptGUID", tyString},
    {"Transcript", "Title", tyString},
    {"Transcript", "VersionGUID", tyString},
    {"Transcript", "Time", tyChunkTime},
    {"Transcript", "partoftranscript", tyString},
    {"Transcript", "followedbytranscript", tyString},
    {"Transcript", "manifestedby", tySetOfGUIDs},
    {"Transcript", "transcriptwordlist", tyWordList},
};

} // namespace

TEST_F(BundledSchema, EveryClassBuildsItsRequiredFieldsWithTheirTypes)
{
    for (const QString& cls : kClasses) {
        EXPECT_EQ(errors->at(cls), QString()) << cls.toStdString();
        EXPECT_GT(of(cls).Count(), 0) << cls.toStdString();
    }
    for (const Expected& e : kRequired) {
        const auto rec = of(e.cls).find(e.name);
        ASSERT_NE(rec, nullptr) << e.cls.toStdString() << "." << e.name.toStdString();
        EXPECT_EQ(rec->tyType, e.type) << e.cls.toStdString() << "." << e.name.toStdString();
        EXPECT_FALSE(rec->bIgnore) << e.cls.toStdString() << "." << e.name.toStdString();
    }
}

// A mistyped type text or a closed list without values silently turns a field
// into an ignored one; a declaration spread over several lines gives the
// field a comment full of line breaks and indentation; a repeated name hides
// the second field from every lookup by name.
TEST_F(BundledSchema, EveryFieldIsKnownDocumentedOnceAndOnOneLine)
{
    for (const QString& cls : kClasses) {
        QSet<QString> seen;
        for (const auto& rec : of(cls)) {
            const std::string where = cls.toStdString() + "." + rec->strName.toStdString();
            EXPECT_NE(rec->tyType, tyUnknow) << where;
            EXPECT_FALSE(rec->strComment.trimmed().isEmpty()) << where;
            EXPECT_FALSE(rec->strComment.contains(QLatin1Char('\n'))) << where;
            EXPECT_FALSE(seen.contains(rec->strName)) << where << " declared twice";
            seen.insert(rec->strName);
            if (rec->tyType == tyCloseList) {
                ASSERT_TRUE(registry->Contains(rec->strCloseList)) << where;
                EXPECT_GT(registry->Item(rec->strCloseList)->colItems->Count(), 0) << where;
            }
        }
    }
}

TEST_F(BundledSchema, IdentifiersAreReadOnlyAndTitlesEditable)
{
    const std::vector<std::pair<QString, QString>> idAndTitle = {
        {"AVDocGUID", "Title"},     {"VersionGUID", "VersionTitle"}, {"MediaGUID", "Format"},
        {"StorageGUID", "Collocation"}, {"VideoGUID", "Title"},      {"AudioGUID", "Title"},
        {"TranscriptGUID", "Title"}};
    for (size_t i = 0; i < kClasses.size(); ++i) {
        const QString& cls = kClasses[i];
        const auto id = of(cls).find(idAndTitle[i].first);
        const auto title = of(cls).find(idAndTitle[i].second);
        ASSERT_NE(id, nullptr) << cls.toStdString();
        ASSERT_NE(title, nullptr) << cls.toStdString();
        EXPECT_TRUE(id->bReadOnly) << cls.toStdString();
        EXPECT_FALSE(title->bReadOnly) << cls.toStdString();
        EXPECT_FALSE(title->bIgnore) << cls.toStdString();
    }
}

// The document form's theme check walks the fields in schema order and
// refuses any other order.
TEST_F(BundledSchema, ThematicFieldsComeInVocabularyOrder)
{
    const int themes = position("AVDocument", "Themes");
    const int subthemes = position("AVDocument", "Subthemes");
    const int keywords = position("AVDocument", "ThematicKeywords");
    ASSERT_GT(themes, 0);
    EXPECT_LT(themes, subthemes);
    EXPECT_LT(subthemes, keywords);
}

TEST_F(BundledSchema, StorageTakesItsBaseTypeFieldsFirst)
{
    const int baseField = position("Storage", "CarrierKind");
    ASSERT_EQ(baseField, 1);
    EXPECT_GT(position("Storage", "StorageGUID"), baseField);
    EXPECT_GT(position("Storage", "Collocation"), baseField);
}
