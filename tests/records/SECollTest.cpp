#include "records/SEColl.h"

#include "records/FileStamp.h"
#include "records/IOManager.h"
#include "resources/StringTable.h"
#include "support/FakePrompts.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vimra;

namespace {

std::shared_ptr<StringList> listOf(const QStringList& items)
{
    auto l = std::make_shared<StringList>();
    for (const QString& s : items)
        l->Add(s);
    return l;
}

const char kSchema[] = R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
  <xs:element name="Media"><xs:complexType><xs:sequence>
    <xs:element name="Title" type="xs:string"/>
    <xs:element name="Authors" type="SetOfStrings"/>
    <xs:element name="Free" type="xs:boolean"/>
  </xs:sequence></xs:complexType></xs:element>
</xs:schema>)";

// A document folder with a schema, an instance and settings naming the schema.
class SECollStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_schema = write("vimra.xsd", kSchema);
        setXSDPath(m_schema);
        m_instance = write("Film_media1.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Media><Title>Film</Title><Free>false</Free></Media>)");
        m_io.setBFileSystem(true);
    }
    void TearDown() override
    {
        m_io.setBFileSystem(false);
        qunsetenv("VIMRA_CONFIG");
    }

    QString write(const QString& name, const QByteArray& content)
    {
        const QString path = m_dir.filePath(name);
        test::writeFile(path, content);
        return path;
    }
    void setXSDPath(const QString& path)
    {
        // A fresh file name each time: the settings reader may cache by path.
        m_config = m_dir.filePath(QStringLiteral("vimra%1.conf").arg(++m_configs));
        test::writeFile(m_config, "[Vimra]\nXSDPath=" + path.toUtf8() + "\n");
        qputenv("VIMRA_CONFIG", m_config.toUtf8());
    }
    QString load(SEColl& fields, const QString& cls = "Media")
    {
        return fields.strLoad(m_doc, m_instance, m_io, cls, m_closeLists);
    }

    QTemporaryDir m_dir;
    QString m_config, m_schema, m_instance;
    int m_configs = 0;
    IOManager m_io;
    xml::Document m_doc;
    CloseListRegistry m_closeLists;
};

} // namespace

TEST(SEColl, CollectionAndCounters)
{
    SEColl fields;
    auto title = fields.Add(tyString, "", "Title", QString("T"), "", false, false, false, true, "t");
    fields.Add(tyChunkTime, "", "Time", std::make_shared<Chunk>(), "", false, false, false, true);
    auto notes = fields.Add(tyString, "", "Notes", QString("n"), "", true, false, false, true);
    fields.Add(tyInteger, "", "Pages", {}, "", false, false, false, false);
    EXPECT_EQ(fields.Add(tyString, "", "Dup", {}, "", false, false, false, false, "T"), nullptr);
    ASSERT_EQ(fields.Count(), 4);
    EXPECT_EQ(fields.Item("T"), title);
    EXPECT_EQ(fields.Item(3), notes);
    EXPECT_EQ(fields.find("Notes"), notes);
    EXPECT_EQ(fields.find("notes"), nullptr);
    EXPECT_THROW(fields.Item(5), std::out_of_range);
    EXPECT_THROW(fields.Item(0), std::out_of_range);

    EXPECT_EQ(fields.iNumValid(), 3);
    EXPECT_EQ(fields.iNumValidAndReadable(), 2); // ignored fields count, chunks do not
    EXPECT_FALSE(fields.bChanged());
    notes->bChanged = true;
    EXPECT_TRUE(fields.bChanged());

    fields.Remove(1);
    EXPECT_EQ(fields.Item(1)->strName, "Time");

    // The collection counts its changed marks however they are set: marked
    // twice, cleared, copied over, or removed while marked.
    notes->bChanged = true;
    notes->bChanged = false;
    EXPECT_FALSE(fields.bChanged());
    SchemaElement changed;
    changed.bChanged = true;
    *fields.Item(1) = changed;
    EXPECT_TRUE(fields.bChanged());
    *fields.Item(1) = SchemaElement();
    EXPECT_FALSE(fields.bChanged());
    fields.Item(3)->bChanged = true;
    fields.Remove(3);
    EXPECT_FALSE(fields.bChanged());
    EXPECT_TRUE(fields.Add(tyString, "", "New", {}, "", false, false, true, false) && fields.bChanged());
}

TEST(SEColl, SearchCountsAssignedValuesItemsAndWords)
{
    SEColl fields;
    fields.Add(tyString, "", "Name", QString("Anna"), "", false, false, false, true);
    fields.Add(tySetOfStrings, "", "Items", listOf({"anna", "Joanne"}), "", false, false, false, true);
    auto words = std::make_shared<WordColl>();
    words->Add("", "", 0, 1, "ANN");
    fields.Add(tyWordList, "", "Words", words, "", false, false, false, true);
    fields.Add(tyString, "", "Unassigned", QString("Annabel"), "", false, false, false, false);
    fields.Add(tyCloseList, "Names", "Listed", QString("ann"), "", false, false, false, true);
    fields.Add(tySetOfGUIDs, "", "Links", listOf({"/ann.xml"}), "", false, false, false, true);
    auto empty = fields.Add(tyString, "", "Empty", QString(""), "", false, false, false, true);

    EXPECT_EQ(fields.iSearchText("ann", false), 4);
    EXPECT_EQ(fields.iSearchText("ann", true), 2);
    EXPECT_EQ(fields.iSearchText("ANN", true), 1);
    EXPECT_EQ(fields.iSearchText("xyz", false), 0);
    // An empty needle matches every non-empty value; an empty value never matches.
    EXPECT_EQ(fields.iSearchText("", false), 4);
    empty->vContent = QString("Ä");
    EXPECT_EQ(fields.iSearchText("ä", false), 1); // Unicode lower-casing
    EXPECT_EQ(fields.iSearchText("ä", true), 0);
}

TEST_F(SECollStore, LoadRoutesAndTheirTexts)
{
    // The store's own error is returned as it stands.
    SEColl missing;
    m_instance = m_dir.filePath("nope.xml");
    EXPECT_EQ(load(missing), text(1131) + " " + m_instance);
    m_instance = m_dir.filePath("Film_media1.xml");

    SEColl ok;
    ASSERT_EQ(load(ok), "");
    ASSERT_EQ(ok.Count(), 3);
    EXPECT_EQ(std::get<QString>(ok.Item(1)->vContent), "Film");
    EXPECT_FALSE(ok.Item(2)->bValid);
    EXPECT_EQ(std::get<bool>(ok.Item(3)->vContent), false);
    EXPECT_FALSE(ok.bChanged());

    SEColl mismatch;
    EXPECT_EQ(load(mismatch, "Video"), text(1072) + text(1073) + "Video");

    const QString wrongRoot = write("Film_video1.xml", "<Media/>");
    SEColl wrong;
    write("video.xsd", R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"><xs:element name="Video">
      <xs:complexType><xs:all><xs:element name="T" type="xs:string"/></xs:all></xs:complexType></xs:element></xs:schema>)");
    setXSDPath(m_dir.filePath("video.xsd"));
    EXPECT_EQ(wrong.strLoad(m_doc, wrongRoot, m_io, "Video", m_closeLists),
              "Video: " + text(1090));

    setXSDPath(write("bad.xsd", "<xs:schema"));
    SEColl broken;
    const QString err = load(broken);
    EXPECT_TRUE(err.startsWith(text(1072))) << err.toStdString();
    EXPECT_GT(err.size(), text(1072).size());
    EXPECT_EQ(broken.Count(), 0);

    // No schema configured: success without fields.
    setXSDPath("");
    SEColl none;
    EXPECT_EQ(load(none), "");
    EXPECT_EQ(none.Count(), 0);
}

TEST_F(SECollStore, InitAsNewRoutes)
{
    SEColl empty;
    EXPECT_EQ(empty.strInitAsNew(m_doc, "", "Media", m_closeLists), text(1075));

    SEColl unknown;
    EXPECT_EQ(unknown.strInitAsNew(m_doc, m_schema, "Video", m_closeLists), text(1073) + "Video");
    EXPECT_EQ(m_doc.documentElement().attribute("xsi:noNamespaceSchemaLocation"), "vimra.xsd");

    SEColl fresh;
    ASSERT_EQ(fresh.strInitAsNew(m_doc, m_schema, "Media", m_closeLists), "");
    EXPECT_EQ(fresh.Count(), 3);
    EXPECT_EQ(fresh.iNumValid(), 0);
    EXPECT_EQ(m_doc.documentElement().nodeName(), "Media");
    EXPECT_TRUE(m_doc.documentElement().childElements().empty());
}

TEST_F(SECollStore, SaveWritesOnlyChangesAndNeverLosesThem)
{
    test::FakePrompts prompts;
    SEColl fields;
    ASSERT_EQ(load(fields), "");
    const QString target = m_dir.filePath("copy.xml");

    // Nothing changed: the store is not asked.
    EXPECT_TRUE(fields.bSave(m_doc, target, m_io));
    EXPECT_FALSE(QFileInfo::exists(target));

    fields.Item(1)->vContent = QString("New title");
    fields.Item(1)->bChanged = true;

    // The store fails: shown with OK only, false, flags kept.
    const QString unreachable = m_dir.filePath("no/such/folder/x.xml");
    EXPECT_FALSE(fields.bSave(m_doc, unreachable, m_io));
    ASSERT_EQ(prompts.calls.size(), 1u);
    EXPECT_EQ(prompts.calls[0].buttons, Prompts::OKOnly);
    EXPECT_FALSE(prompts.calls[0].text.isEmpty());
    EXPECT_TRUE(fields.bChanged());

    // A field that cannot be written: shown, false, flags kept, nothing stored.
    fields.Item(2)->bValid = true; // assigned, but still holding no list
    fields.Item(2)->bChanged = true;
    EXPECT_FALSE(fields.bSave(m_doc, target, m_io));
    EXPECT_EQ(prompts.calls.size(), 2u);
    EXPECT_TRUE(fields.Item(1)->bChanged);
    EXPECT_FALSE(QFileInfo::exists(target));

    fields.Item(2)->vContent = listOf({"Ann"});
    EXPECT_TRUE(fields.bSave(m_doc, target, m_io));
    EXPECT_FALSE(fields.bChanged());
    xml::Document saved;
    ASSERT_TRUE(saved.load(target));
    EXPECT_EQ(saved.documentElement().firstChildElement("Title").text(), "New title");

    // Save as writes an unchanged object too.
    const QString other = m_dir.filePath("other.xml");
    EXPECT_TRUE(fields.bSaveAs(m_doc, other, m_io));
    EXPECT_TRUE(QFileInfo::exists(other));
    EXPECT_EQ(prompts.calls.size(), 2u);
}

namespace {

// Everything a load leaves in the fields and the document's closed lists.
QString dump(const SEColl& fields, const CloseListRegistry& closeLists)
{
    QStringList out;
    for (const auto& se : fields) {
        QString value = valueToText(se->vContent);
        if (const auto list = valueObject<StringList>(se->vContent))
            for (const QString& item : *list)
                value += item + ';';
        out << QString("%1 %2 %3 %4%5%6 %7")
                   .arg(se->strName)
                   .arg(se->tyType)
                   .arg(se->strCloseList)
                   .arg(se->bIgnore)
                   .arg(se->bValid)
                   .arg(bool(se->bChanged))
                   .arg(value);
    }
    for (const auto& cl : closeLists)
        out << cl->strCLName + ':' + QString::number(cl->colItems->Count());
    return out.join('\n');
}

} // namespace

// Fields built by the thread that scanned the file are the fields a load of
// its own builds: with closed lists met or not, for another class, after the
// settings named another schema, and for a malformed file.
TEST_F(SECollStore, FieldsBuiltWhenTheFileWasScannedAreThoseALoadBuilds)
{
    const QString listed = write("listed.xsd", R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
  <xs:simpleType name="Tint"><xs:restriction base="xs:string">
    <xs:enumeration value="red"/><xs:enumeration value="blue"/></xs:restriction></xs:simpleType>
  <xs:element name="Media"><xs:complexType><xs:sequence>
    <xs:element name="Title" type="xs:string"/><xs:element name="Authors" type="SetOfStrings"/>
    <xs:element name="Colour" type="Tint"/><xs:element name="Shape" type="NoSuchList"/>
    <xs:element name="Free" type="xs:boolean"/>
  </xs:sequence></xs:complexType></xs:element></xs:schema>)");
    const QString media = write("Film_media2.xml", R"(<Media><Free>maybe</Free><Title>A</Title>
<Authors><StringItem>Doe</StringItem><StringItem>Roe</StringItem></Authors><Colour>blue</Colour><Title>B</Title>
<Shape>round</Shape></Media>)");
    const QString malformed = write("Film_media3.xml", "<Media><Title>");
    struct Case {
        QString file, cls;
        bool bHeldList;  // the document met the list before
        bool bOtherSchema; // the settings name another schema after the scan
    };
    for (const QString& file : {listed, m_schema, media, malformed})
        test::backdate(file, 3600);
    for (const Case& c : {Case{media, "Media", false, false}, Case{media, "Media", true, false},
                          Case{media, "Video", false, false}, Case{media, "Media", false, true},
                          Case{malformed, "Media", false, false}}) {
        setXSDPath(listed);
        test::backdate(m_config, 3600);
        const auto run = [&](bool bScanned) {
            CloseListRegistry closeLists;
            if (c.bHeldList) {
                auto held = std::make_shared<CloseList>();
                held->strCLName = "Tint";
                closeLists.Add(held, "Tint");
            }
            IOManager io;
            io.setBFileSystem(true);
            // As in an open: the settings and the schema looked at once.
            auto scope = std::make_unique<StampScope>();
            io.setBKeepParsed(bScanned);
            if (bScanned)
                io.objectFileInfos({c.file});
            if (c.bOtherSchema) {
                scope.reset();
                setXSDPath(m_schema);
                test::backdate(m_config, 3600);
                scope = std::make_unique<StampScope>();
            }
            SEColl fields;
            xml::Document doc;
            const QString error = fields.strLoad(doc, c.file, io, c.cls, closeLists);
            return error + '\n' + dump(fields, closeLists);
        };
        const QString own = run(false);
        setXSDPath(listed);
        EXPECT_EQ(run(true), own) << c.file.toStdString() << ' ' << c.cls.toStdString();
    }
}
