#include "records/FileStamp.h"
#include "records/SEColl.h"

#include "records/SchemaCache.h"

#include "resources/StringTable.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vimra;

namespace {

const char kMainSchema[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
  <xs:simpleType name="Colors"><xs:restriction base="xs:string">
    <xs:enumeration value="red"/><xs:enumeration value="green"/>
  </xs:restriction></xs:simpleType>
  <xs:simpleType name="colors"><xs:restriction base="xs:string">
    <xs:enumeration value="blue"/>
  </xs:restriction></xs:simpleType>
  <xs:simpleType name="Empty"><xs:restriction base="xs:string"/></xs:simpleType>
  <xs:element name="Shadowed"/>
  <xs:simpleType name="Shadowed"><xs:restriction><xs:enumeration value="x"/></xs:restriction></xs:simpleType>
  <xs:element name="Media">
    <!-- the physical carrier -->
    <xs:complexType>
      <xs:sequence>
        <xs:element name="Title" type="xs:string"><xs:annotation><xs:documentation>The title</xs:documentation></xs:annotation></xs:element>
        <!-- a comment between declarations -->
        <xs:element name="Pages" type="xs:integer"/>
        <xs:element name="Issued" type="xs:date"/>
        <xs:element name="Free" type="xs:boolean"/>
        <xs:element name="Authors" type="SetOfStrings"/>
        <xs:element name="Ratio" type="xs:float"/>
        <xs:element name="Color" type="Colors"/>
        <xs:element name="Time" type="ChunkType"/>
        <xs:element name="Words" type="SetOfWords"/>
        <xs:element name="AvailableAs" type="SetOfGUIDs"/>
        <xs:element name="Odd" type="Empty"/>
        <xs:element name="Hue" type="colors"/>
        <xs:element name="Ghost" type="Shadowed"/>
      </xs:sequence>
    </xs:complexType>
  </xs:element>
  <xs:complexType name="ExpressionBase"><xs:sequence>
    <xs:element name="VersionGUID" type="xs:string"/>
    <xs:element name="versionguid" type="xs:string"/>
  </xs:sequence></xs:complexType>
  <xs:element name="Video"><xs:complexType><xs:complexContent><xs:extension base="ExpressionBase"><xs:sequence>
    <xs:element name="Keyframe" type="ChunkType"><xs:annotation><xs:appinfo>ReadOnly</xs:appinfo><xs:documentation>Frame</xs:documentation></xs:annotation></xs:element>
    <xs:element name="Notes" type="xs:string"><xs:annotation><xs:appinfo>
        ignore
      </xs:appinfo></xs:annotation></xs:element>
    <xs:element name="Tint" type="Colors"/>
  </xs:sequence></xs:extension></xs:complexContent></xs:complexType></xs:element>
</xs:schema>
)";

class SchemaReaderTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& content)
    {
        const QString path = m_dir.filePath(name);
        test::writeFile(path, content);
        return path;
    }

    // Builds the fields of `cls` as a new object does; answers the error text.
    QString build(SEColl& fields, const QString& schemaPath, const QString& cls)
    {
        xml::Document doc;
        return fields.strInitAsNew(doc, schemaPath, cls, m_closeLists);
    }

    QTemporaryDir m_dir;
    CloseListRegistry m_closeLists;
};

std::vector<int> codesOf(const SEColl& fields)
{
    std::vector<int> out;
    for (const auto& se : fields)
        out.push_back(se->tyType);
    return out;
}

} // namespace

TEST_F(SchemaReaderTest, DirectClassGivesEveryTypeCodeAndClosedLists)
{
    const QString path = write("main.xsd", kMainSchema);
    SEColl fields;
    ASSERT_EQ(build(fields, path, "Media"), "");
    ASSERT_EQ(fields.Count(), 13);
    EXPECT_EQ(codesOf(fields), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 6, 10}));
    EXPECT_EQ(fields.Item(1)->strName, "Title");
    EXPECT_EQ(fields.Item(1)->strComment, "The title");
    EXPECT_EQ(fields.Item(7)->strCloseList, "Colors");
    EXPECT_EQ(fields.Item(12)->strCloseList, "colors");
    // An empty restriction, or a name whose first bearer is no simpleType, gives no list.
    EXPECT_TRUE(fields.Item(11)->bIgnore);
    EXPECT_TRUE(fields.Item(13)->bIgnore);
    EXPECT_FALSE(fields.Item(7)->bIgnore);
    for (const auto& se : fields) {
        EXPECT_FALSE(se->bValid);
        EXPECT_FALSE(se->bChanged);
        EXPECT_TRUE(isEmptyValue(se->vContent));
    }
    // Names differing only in case are two lists.
    ASSERT_EQ(m_closeLists.Count(), 2);
    EXPECT_EQ(m_closeLists.Item("Colors")->colItems->Item(2), "green");
    EXPECT_EQ(m_closeLists.Item("colors")->colItems->Item(1), "blue");
}

TEST_F(SchemaReaderTest, ExtendedClassPutsBaseFieldsFirstAndReadsFlags)
{
    const QString path = write("main.xsd", kMainSchema);
    SEColl fields;
    ASSERT_EQ(build(fields, path, "Video"), "");
    ASSERT_EQ(fields.Count(), 5);
    QStringList names;
    for (const auto& se : fields)
        names << se->strName;
    EXPECT_EQ(names, QStringList({"VersionGUID", "versionguid", "Keyframe", "Notes", "Tint"}));
    EXPECT_TRUE(fields.Item(1)->bReadOnly);
    EXPECT_FALSE(fields.Item(2)->bReadOnly);
    EXPECT_TRUE(fields.Item(3)->bReadOnly); // appinfo compared lower-cased
    EXPECT_EQ(fields.Item(3)->tyType, tyChunkTime);
    EXPECT_EQ(fields.Item(3)->strComment, "ReadOnlyFrame");
    EXPECT_TRUE(fields.Item(4)->bIgnore);
    EXPECT_FALSE(fields.Item(4)->bReadOnly);
    EXPECT_EQ(fields.Item(4)->strComment, "ignore");
    EXPECT_EQ(fields.find("Tint")->strCloseList, "Colors");
}

TEST_F(SchemaReaderTest, FieldWhoseNameIsNotAnXmlNameIsIgnored)
{
    const QString path = write("names.xsd", R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
  <xs:element name="Storage"><xs:complexType><xs:sequence>
    <xs:element name="Bad Name" type="xs:string"/><xs:element name="1st" type="xs:string"/>
    <xs:element name="Notes" type="xs:string"/>
  </xs:sequence></xs:complexType></xs:element></xs:schema>)");
    SEColl fields;
    ASSERT_EQ(build(fields, path, "Storage"), "");
    EXPECT_TRUE(fields.Item(1)->bIgnore);
    EXPECT_TRUE(fields.Item(2)->bIgnore);
    EXPECT_FALSE(fields.Item(3)->bIgnore);
}

TEST_F(SchemaReaderTest, ClosedListsAreRegisteredOnceAndReusedAfterSchemaChange)
{
    const QString path = write("main.xsd", kMainSchema);
    SEColl media;
    ASSERT_EQ(build(media, path, "Media"), "");
    const auto registered = m_closeLists.Item("Colors");

    // The schema file changes between two objects of the same document.
    QByteArray changed(kMainSchema);
    changed.replace(R"(<xs:enumeration value="red"/><xs:enumeration value="green"/>)",
                    R"(<xs:enumeration value="cyan"/>)");
    write("main.xsd", changed);
    SEColl video;
    ASSERT_EQ(build(video, path, "Video"), "");
    EXPECT_EQ(video.find("Tint")->tyType, tyCloseList);
    EXPECT_EQ(m_closeLists.Count(), 2);
    EXPECT_EQ(m_closeLists.Item("Colors"), registered);
    EXPECT_EQ(registered->colItems->Count(), 2);

}

TEST_F(SchemaReaderTest, BuiltInTypesTakeThePrefixOfTheirGroup)
{
    struct Case {
        QString prefix;   // of the schema's elements
        QString typePfx;  // what built-in type texts must start with
        QString foreign;  // a date written with another prefix
    };
    const std::vector<Case> cases = {
        {"xs", "xs:", "xsd:date"},
        {"xsd", "xsd:", "xs:date"},
        {"", ":", "date"},
    };
    for (const Case& c : cases) {
        const QString e = c.prefix.isEmpty() ? QString() : c.prefix + ":";
        const QString ns = c.prefix.isEmpty() ? "xmlns" : "xmlns:" + c.prefix;
        QString schema = QStringLiteral(
            "<%1schema %2=\"http://www.w3.org/2001/XMLSchema\"><%1element name=\"Media\"><%1complexType><%1all>"
            "<%1element name=\"S\" type=\"%3string\"/><%1element name=\"I\" type=\"%3integer\"/>"
            "<%1element name=\"D\" type=\"%3date\"/><%1element name=\"R\" type=\"%3float\"/>"
            "<%1element name=\"B\" type=\"%3boolean\"/><%1element name=\"F\" type=\"%4\"/>"
            "</%1all></%1complexType></%1element></%1schema>")
                             .arg(e, ns, c.typePfx, c.foreign);
        SEColl fields;
        ASSERT_EQ(build(fields, write("p.xsd", schema.toUtf8()), "Media"), "") << c.prefix.toStdString();
        EXPECT_EQ(codesOf(fields), (std::vector<int>{0, 1, 2, 5, 3, 10})) << c.prefix.toStdString();
        EXPECT_TRUE(fields.Item(6)->bIgnore);
    }
}

TEST_F(SchemaReaderTest, EveryErrorMessage)
{
    const QString path = write("errors.xsd", R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
  <xs:complexType name="TwoBase"><xs:sequence>
    <xs:element name="B1" type="xs:string"/><xs:element name="B2" type="xs:string"/>
  </xs:sequence></xs:complexType>
  <xs:complexType name="EmptyBase"><xs:sequence/></xs:complexType>
  <xs:complexType name="NoGroupBase"><xs:attribute name="a"/></xs:complexType>
  <xs:element name="A"><xs:annotation/></xs:element>
  <xs:element name="B"><xs:complexType><xs:attribute name="a"/></xs:complexType></xs:element>
  <xs:element name="C"><xs:complexType><xs:complexContent/></xs:complexType></xs:element>
  <xs:element name="D"><xs:complexType><xs:complexContent><xs:extension base="Missing"><xs:sequence>
    <xs:element name="X" type="xs:string"/></xs:sequence></xs:extension></xs:complexContent></xs:complexType></xs:element>
  <xs:element name="E"><xs:complexType><xs:complexContent><xs:extension base="EmptyBase"><xs:sequence>
    <xs:element name="X" type="xs:string"/></xs:sequence></xs:extension></xs:complexContent></xs:complexType></xs:element>
  <xs:element name="F"><xs:complexType><xs:complexContent><xs:extension base="TwoBase"/></xs:complexContent></xs:complexType></xs:element>
  <xs:element name="G"><xs:complexType><xs:sequence><!-- nothing --></xs:sequence></xs:complexType></xs:element>
  <xs:element name="H"><xs:complexType><xs:complexContent><xs:extension base="TwoBase"><xs:sequence>
    <xs:element name="X1" type="xs:string"/><xs:element name="X2" type="xs:string"/>
    <xs:element name="X3"/><xs:element name="X4" type="xs:string"/>
  </xs:sequence></xs:extension></xs:complexContent></xs:complexType></xs:element>
  <xs:element name="I"><xs:complexType><xs:complexContent><xs:extension base="NoGroupBase"/></xs:complexContent></xs:complexType></xs:element>
  <xs:element name="Media"><xs:complexType><xs:sequence>
    <xs:element name="M1" type="xs:string"/><xs:element name="M2" type="xs:string"/>
    <xs:element name="M3" type="xs:string"/><xs:element type="xs:string"/><xs:element name="M5" type="xs:string"/>
  </xs:sequence></xs:complexType></xs:element>
</xs:schema>)");

    const std::vector<std::pair<QString, QString>> expected = {
        {"Nope", text(1073) + "Nope"},
        {"A", "A:" + text(1074)},
        {"B", "B:" + text(1076)},
        {"C", "C:" + text(1076)},
        {"D", text(1073) + "Missing"},     // base errors carry no class name
        {"E", "EmptyBase:" + text(1077)},
        {"F", "F:" + text(1087)},
        {"G", "G:" + text(1077)},
        {"H", "H:" + text(1078) + "5" + text(1079)}, // counted after the two base fields
        {"I", "NoGroupBase:" + text(1076)},
        {"Media", "Media:" + text(1078) + "4" + text(1079)},
    };
    for (const auto& [cls, message] : expected) {
        SEColl fields;
        EXPECT_EQ(build(fields, path, cls), message) << cls.toStdString();
    }

    SEColl media;
    build(media, path, "Media");
    ASSERT_EQ(media.Count(), 5);
    EXPECT_EQ(media.Item(3)->strName, "M3");
    EXPECT_EQ(media.Item(5)->strName, ""); // records after the faulty one stay blank

    // Schema files that are missing or do not parse.
    SEColl fields;
    xml::Document doc;
    EXPECT_EQ(fields.strInitAsNew(doc, "", "Media", m_closeLists), text(1075));
    EXPECT_EQ(doc.documentElement().nodeName(), "Media");
    const QString broken = fields.strInitAsNew(doc, write("bad.xsd", "<xs:schema>"), "Media", m_closeLists);
    EXPECT_TRUE(broken.startsWith(text(1072)));
    EXPECT_GT(broken.size(), text(1072).size());
    EXPECT_EQ(fields.Count(), 0);
    EXPECT_FALSE(doc.documentElement().hasAttribute("xsi:noNamespaceSchemaLocation"));
}

// One parse serves every object while the schema file is unchanged; a changed
// file is read again, whether its size changed or only its time, and a file
// written within the last clock tick is never trusted.
TEST_F(SchemaReaderTest, SharedSchemaIsReadAgainWhenTheFileChanges)
{
    const QString path = write("cached.xsd", kMainSchema);
    test::backdate(path, 3600);
    QString error;
    const auto first = ParsedSchema::load(path, error);
    ASSERT_TRUE(first);
    EXPECT_EQ(ParsedSchema::load(path, error), first);

    const auto fieldNamed = [&](const QString& name) {
        SEColl fields;
        EXPECT_EQ(build(fields, path, "Media"), "");
        return fields.find(name) != nullptr;
    };
    write("cached.xsd", QByteArray(kMainSchema).replace("\"Pages\"", "\"Leafs\""));
    test::backdate(path, 1800);
    EXPECT_TRUE(fieldNamed("Leafs"));
    EXPECT_FALSE(fieldNamed("Pages"));
    EXPECT_NE(ParsedSchema::load(path, error), first);

    write("cached.xsd", kMainSchema);
    EXPECT_TRUE(fieldNamed("Pages"));
    write("cached.xsd", QByteArray(kMainSchema).replace("\"Pages\"", "\"Sheet\""));
    EXPECT_TRUE(fieldNamed("Sheet"));

    // Within one operation the file is looked at once; the next operation
    // sees the change.
    {
        const StampScope operation;
        EXPECT_TRUE(fieldNamed("Sheet"));
        write("cached.xsd", kMainSchema);
        EXPECT_TRUE(fieldNamed("Sheet"));
    }
    EXPECT_TRUE(fieldNamed("Pages"));

    QFile::remove(path);
    EXPECT_EQ(ParsedSchema::load(path, error), nullptr);
    EXPECT_FALSE(error.isEmpty());
}
