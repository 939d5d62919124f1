#include "records/InstanceXml.h"

#include "records/SEColl.h"
#include "resources/StringTable.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace vimra;

namespace {

struct FieldDecl {
    int code;
    const char* name;
};

// Fields as the schema reader leaves them: typed, named, unassigned.
SEColl fieldsOf(const std::vector<FieldDecl>& decls)
{
    SEColl fields;
    for (const auto& s : decls)
        fields.Add(s.code, s.code == tyCloseList ? "Colors" : "", s.name, {}, "", false, false, false, false);
    return fields;
}

void assign(SEColl& fields, const QString& name, const FieldValue& v)
{
    auto se = fields.find(name);
    ASSERT_TRUE(se) << name.toStdString();
    se->vContent = v;
    se->bValid = true;
    se->bChanged = true;
}

std::shared_ptr<StringList> listOf(const QStringList& items)
{
    auto l = std::make_shared<StringList>();
    for (const QString& s : items)
        l->Add(s);
    return l;
}

xml::Document parsed(const QByteArray& text)
{
    xml::Document doc;
    EXPECT_TRUE(doc.loadXml(text)) << doc.parseErrorReason().toStdString();
    return doc;
}

QString bodyOf(const xml::Document& doc) { return QString::fromUtf8(doc.toBytes()); }

const std::vector<FieldDecl> kAllCodes = {
    {tyString, "Title"},     {tyInteger, "Pages"},     {tyDate, "Issued"},   {tyBool, "Free"},
    {tySetOfStrings, "Authors"}, {tyReal, "Ratio"},    {tyCloseList, "Color"}, {tyChunkTime, "Time"},
    {tyWordList, "Words"},   {tySetOfGUIDs, "AvailableAs"}, {tyUnknow, "Odd"}, {tyString, "Unset"},
    {tyString, "Hidden"},
};

} // namespace

TEST(InstanceXml, EveryTypeCodeRoundTripsWithExactOutput)
{
    SEColl fields = fieldsOf(kAllCodes);
    assign(fields, "Title", QString("Anna & Bob"));
    assign(fields, "Pages", 42);
    assign(fields, "Issued", QDate(2001, 1, 1));
    assign(fields, "Free", true);
    assign(fields, "Authors", listOf({"anna", "Joanne"}));
    assign(fields, "Ratio", 1.5);
    assign(fields, "Color", QString("red"));
    assign(fields, "Time", std::make_shared<Chunk>(Chunk{1.0025, 2.0, "clip.mpg"}));
    auto words = std::make_shared<WordColl>();
    words->Add("", "", 0.0025, 0.5, "hello");
    words->Add("", "", 1.0004, 0.0035, "world");
    assign(fields, "Words", words);
    assign(fields, "AvailableAs", listOf({"/d/Film_files/Film_video1.xml"}));
    assign(fields, "Odd", QString("x"));
    fields.find("Unset")->vContent = QString("not written");
    assign(fields, "Hidden", QString("kept"));
    fields.find("Hidden")->bIgnore = true;

    xml::Document doc;
    doc.createRoot("Media");
    ASSERT_EQ(WriteInstance(fields, doc), "");
    EXPECT_EQ(bodyOf(doc),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Media>"
              "<Title>Anna &amp; Bob</Title><Pages>42</Pages><Issued>2001-01-01</Issued><Free>true</Free>"
              "<Authors><StringItem>anna</StringItem><StringItem>Joanne</StringItem></Authors>"
              "<Ratio>1.5</Ratio><Color>red</Color>"
              "<Time start=\"1002\" end=\"2000\" reasons=\"0\">clip.mpg</Time>"
              "<Words><Word start=\"2\" end=\"500\">hello</Word><Word start=\"1000\" end=\"4\">world</Word></Words>"
              "<AvailableAs><GUID>/d/Film_files/Film_video1.xml</GUID></AvailableAs>"
              "<Odd>x</Odd><Hidden>kept</Hidden></Media>\n");

    SEColl back = fieldsOf(kAllCodes);
    back.find("Unset")->vContent = QString("stale");
    ASSERT_EQ(strReadInstance(back, parsed(doc.toBytes()), "Media"), "");
    EXPECT_EQ(back.iNumValid(), 12);
    EXPECT_FALSE(back.bChanged());
    EXPECT_EQ(std::get<QString>(back.find("Title")->vContent), "Anna & Bob");
    EXPECT_EQ(std::get<QString>(back.find("Pages")->vContent), "42"); // numbers come back as text
    EXPECT_EQ(std::get<QDate>(back.find("Issued")->vContent), QDate(2001, 1, 1));
    EXPECT_EQ(std::get<bool>(back.find("Free")->vContent), true);
    auto authors = valueObject<StringList>(back.find("Authors")->vContent);
    ASSERT_TRUE(authors);
    EXPECT_EQ(authors->Count(), 2);
    EXPECT_EQ(authors->Item(2), "Joanne");
    EXPECT_EQ(std::get<QString>(back.find("Ratio")->vContent), "1.5");
    EXPECT_EQ(std::get<QString>(back.find("Color")->vContent), "red");
    auto time = valueObject<Chunk>(back.find("Time")->vContent);
    ASSERT_TRUE(time);
    EXPECT_DOUBLE_EQ(time->dStart, 1.002);
    EXPECT_DOUBLE_EQ(time->dend, 2.0);
    EXPECT_EQ(time->strFile, "clip.mpg");
    auto w = valueObject<WordColl>(back.find("Words")->vContent);
    ASSERT_TRUE(w);
    ASSERT_EQ(w->Count(), 2);
    EXPECT_DOUBLE_EQ(w->Item(2)->dStart, 1.0); // below a millisecond is lost
    EXPECT_EQ(w->Item(2)->strTxt, "world");
    EXPECT_EQ(w->Item(1)->strStart, "");
    EXPECT_EQ(valueObject<StringList>(back.find("AvailableAs")->vContent)->Item(1), "/d/Film_files/Film_video1.xml");
    EXPECT_EQ(std::get<QString>(back.find("Hidden")->vContent), "kept");
    EXPECT_FALSE(back.find("Unset")->bValid);
    EXPECT_EQ(std::get<QString>(back.find("Unset")->vContent), "stale"); // untouched when no element matches
}

TEST(InstanceXml, ReaderAsymmetries)
{
    SEColl fields = fieldsOf({{tyString, "Title"},      {tySetOfStrings, "Authors"}, {tySetOfGUIDs, "Links"},
                              {tyBool, "Free"},         {tyBool, "Free2"},           {tyChunkTime, "Time"},
                              {tyChunkTime, "Time2"},   {tyChunkTime, "Time3"},      {tyChunkTime, "Time4"},
                              {tyWordList, "Words"},    {tyWordList, "NoWords"},     {tyInteger, "Pages"},
                              {tyString, "Repeated"},   {tyString, "Prefixed"}});
    const QByteArray xml = R"(<p:Media xmlns:p="urn:p" xmlns:q="urn:q">
  <Title></Title>
  <Authors/>
  <Links><x>/a.xml</x><!-- c --><y>/b.xml</y></Links>
  <Free>True</Free><Free2>1</Free2>
  <Time start="1000" end="2000" reasons="7">a.mpg</Time>
  <Time2 start="1000">b.mpg</Time2>
  <Time3 start="abc" end="5">c.mpg</Time3>
  <Time4 start="1" end="2"/><Time4 start="1"/>
  <Words><Foo start="1000" end="2000">a</Foo><Word start="3000">b</Word><Word start="x" end="1">c</Word></Words>
  <NoWords><Word>no times</Word></NoWords>
  <Pages>not a number</Pages>
  <Repeated>first</Repeated><Repeated></Repeated>
  <q:Prefixed>p</q:Prefixed>
  <Stranger>s</Stranger>
</p:Media>)";
    ASSERT_EQ(strReadInstance(fields, parsed(xml), "Media"), ""); // root compared by local name

    std::vector<std::pair<const char*, bool>> valid = {
        {"Title", false}, {"Authors", false}, {"Links", true},  {"Free", false},   {"Free2", false},
        {"Time", true},   {"Time2", false},   {"Time3", false}, {"Time4", false},  {"Words", true},
        {"NoWords", false}, {"Pages", true},  {"Repeated", true}, {"Prefixed", false},
    };
    for (const auto& [name, expected] : valid) {
        auto se = fields.find(name);
        EXPECT_EQ(se->bValid, expected) << name;
        if (!expected) {
            EXPECT_TRUE(isEmptyValue(se->vContent)) << name;
        }
    }
    EXPECT_EQ(valueObject<StringList>(fields.find("Links")->vContent)->Count(), 2);
    EXPECT_EQ(valueObject<WordColl>(fields.find("Words")->vContent)->Count(), 1);
    EXPECT_EQ(std::get<QString>(fields.find("Pages")->vContent), "not a number");
    EXPECT_EQ(std::get<QString>(fields.find("Repeated")->vContent), "first");

    EXPECT_EQ(strReadInstance(fields, parsed("<Media/>"), "Video"), "Video: " + text(1090));
    xml::Document rootless;
    EXPECT_EQ(strReadInstance(fields, rootless, "Media"), "Media: " + text(1090));
}

TEST(InstanceXml, Dates)
{
    SEColl fields = fieldsOf({{tyDate, "A"}, {tyDate, "B"}, {tyDate, "C"}, {tyDate, "D"}});
    ASSERT_EQ(strReadInstance(fields, parsed("<Media><A>2001-02-30</A><B>2001-2-3</B><C>2001/02/03</C>"
                                             "<D>2001-13-01</D></Media>"),
                              "Media"),
              "");
    EXPECT_EQ(std::get<QDate>(fields.find("A")->vContent), QDate(2001, 3, 2));
    EXPECT_EQ(std::get<QDate>(fields.find("B")->vContent), QDate(2001, 2, 3));
    EXPECT_FALSE(fields.find("C")->bValid);
    EXPECT_EQ(std::get<QDate>(fields.find("D")->vContent), QDate(2002, 1, 1));

    // A new field's default text is written as the date it stands for.
    SEColl fresh = fieldsOf({{tyDate, "Issued"}});
    fresh.find("Issued")->Init(nullptr);
    fresh.find("Issued")->bValid = true;
    xml::Document doc;
    doc.createRoot("Media");
    ASSERT_EQ(WriteInstance(fresh, doc), "");
    EXPECT_TRUE(bodyOf(doc).contains("<Issued>2001-01-01</Issued>"));

    fresh.find("Issued")->vContent = QString("someday");
    EXPECT_NE(WriteInstance(fresh, doc), "");
}

TEST(InstanceXml, LoadedFileKeepsRootAttributesAndOneDeclaration)
{
    xml::Document doc = parsed(R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- made by hand -->
<Media xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xsi:noNamespaceSchemaLocation="old.xsd" lang="it">
  <!-- a note -->
  <Title>T</Title>
  <Unknown>u</Unknown>
</Media>)");
    SEColl fields = fieldsOf({{tyString, "Title"}});
    ASSERT_EQ(strReadInstance(fields, doc, "Media"), "");
    SetSchemaLocation(doc, "/opt/schemas/new.xsd");
    ASSERT_EQ(WriteInstance(fields, doc), "");
    const QString out = bodyOf(doc);
    EXPECT_EQ(out.count("<?xml "), 1);
    EXPECT_EQ(out.count("xmlns:xsi="), 1);
    EXPECT_EQ(out.count("noNamespaceSchemaLocation"), 1);
    EXPECT_TRUE(out.contains("xsi:noNamespaceSchemaLocation=\"new.xsd\""));
    EXPECT_TRUE(out.contains("lang=\"it\""));
    EXPECT_FALSE(out.contains("a note"));
    EXPECT_FALSE(out.contains("Unknown"));
    EXPECT_TRUE(out.contains("<Title>T</Title>"));
    parsed(doc.toBytes()); // still well-formed

    // A new instance stamped twice still carries each attribute once.
    xml::Document fresh;
    fresh.createRoot("Video");
    SetSchemaLocation(fresh, "/opt/schemas/vimra.xsd");
    SetSchemaLocation(fresh, "/opt/schemas/vimra.xsd");
    EXPECT_EQ(bodyOf(fresh), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<Video xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                             "xsi:noNamespaceSchemaLocation=\"vimra.xsd\"/>\n");
    EXPECT_EQ(parsed(fresh.toBytes()).documentElement().attribute("xsi:noNamespaceSchemaLocation"), "vimra.xsd");
}

TEST(InstanceXml, NumbersAreLocaleIndependentAndReadBack)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    SEColl fields = fieldsOf({{tyReal, "A"}, {tyReal, "B"}, {tyReal, "C"}, {tyInteger, "D"}, {tyReal, "E"}});
    assign(fields, "A", 1.5);
    assign(fields, "B", 1234567.25);
    assign(fields, "C", 0.1 + 0.2);
    assign(fields, "D", 1234567);
    assign(fields, "E", QString("2,5")); // a text value is written as it is
    xml::Document doc;
    doc.createRoot("Media");
    ASSERT_EQ(WriteInstance(fields, doc), "");
    QLocale::setDefault(saved);
    const xml::Node root = doc.documentElement();
    const auto el = root.childElements();
    ASSERT_EQ(el.size(), 5u);
    EXPECT_EQ(el[0].text(), "1.5");
    EXPECT_EQ(el[1].text(), "1234567.25");
    EXPECT_EQ(el[2].text().toDouble(), 0.1 + 0.2);
    EXPECT_EQ(el[3].text(), "1234567");
    EXPECT_EQ(el[4].text(), "2,5");
}

TEST(InstanceXml, EveryAssignedFieldSurvivesASaveUnderAnyRoot)
{
    const std::vector<FieldDecl> decls = {{tyString, "Format"}, {tySetOfStrings, "Authors"}, {tyChunkTime, "Time"}};
    const std::vector<std::pair<QByteArray, QByteArray>> roots = {
        {"<Media>", "</Media>"}, {"<p:Media xmlns:p='urn:x'>", "</p:Media>"}, {"<Media xmlns='urn:x'>", "</Media>"}};
    for (const auto& [open, close] : roots) {
        SCOPED_TRACE(open.constData());
        xml::Document doc = parsed(open + "<Format>AVI</Format><Authors><StringItem>a</StringItem></Authors>"
                                   + "<Time start='0' end='5'/>" + close);
        SEColl fields = fieldsOf(decls);
        ASSERT_EQ(strReadInstance(fields, doc, "Media"), "");
        ASSERT_EQ(WriteInstance(fields, doc), "");
        SEColl back = fieldsOf(decls);
        ASSERT_EQ(strReadInstance(back, parsed(doc.toBytes()), "Media"), "");
        EXPECT_EQ(back.iNumValid(), 3) << bodyOf(doc).toStdString();
    }
}

TEST(InstanceXml, TimesBeyondA64BitMillisecondCountAreNeitherReadNorWritten)
{
    SEColl fields = fieldsOf({{tyChunkTime, "Time"}, {tyWordList, "Words"}});
    ASSERT_EQ(strReadInstance(fields, parsed("<Media><Time start='0' end='1e40'/><Words><Word start='0' end='-1e19'>x"
                                             "</Word><Word start='0' end='1'>y</Word></Words></Media>"),
                              "Media"),
              "");
    EXPECT_FALSE(fields.find("Time")->bValid);
    EXPECT_EQ(valueObject<WordColl>(fields.find("Words")->vContent)->Count(), 1);

    assign(fields, "Time", std::make_shared<Chunk>(Chunk{0.0, 1e40, ""}));
    xml::Document doc;
    doc.createRoot("Media");
    EXPECT_NE(WriteInstance(fields, doc), "");
}
