#include "platform/Xml.h"

#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "support/AnswersAtOnce.h"
#include "support/NestedEntities.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <libxml/xmlmemory.h>

#include <cstdlib>
#include <new>

using namespace vimra;

TEST(Xml, LoadFailuresAlwaysCarryAReason)
{
    xml::Document doc;
    EXPECT_FALSE(doc.loadXml("<a><b></a>"));
    EXPECT_TRUE(doc.parseErrorReason().contains("line 1")) << doc.parseErrorReason().toStdString();

    EXPECT_FALSE(doc.load("/nonexistent/x.xml"));
    EXPECT_FALSE(doc.parseErrorReason().isEmpty());

    // A document that declares a DTD is held to it, and the reason names the fault.
    QTemporaryDir dir;
    ASSERT_NO_FATAL_FAILURE(test::writeFile(dir.filePath("r.dtd"), "<!ELEMENT r (k)*>\n<!ELEMENT k EMPTY>\n"));
    const QString bad = dir.filePath("bad.xml");
    ASSERT_NO_FATAL_FAILURE(
        test::writeFile(bad, "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"r.dtd\">\n<r><x/></r>\n"));
    EXPECT_FALSE(doc.loadWithOwnDtd(bad));
    EXPECT_TRUE(doc.parseErrorReason().contains("x")) << doc.parseErrorReason().toStdString();

    // A file read whole still loads when it is compressed, as the parser reads those itself.
    const QString gz = dir.filePath("z.xml");
    QFile f(gz);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff\xb3\x29\xb2\xb3\xc9\xb6\xab\xb2\xd1\xcf\xb6"
                       "\xb3\xd1\x2f\xb2\xe3\x02\x00\xa2\xd7\x15\x1e\x10\x00\x00\x00", 36));
    f.close();
    ASSERT_TRUE(doc.load(gz)) << doc.parseErrorReason().toStdString();
    EXPECT_EQ(doc.documentElement().firstChildElement("k").text(), "z");
}

TEST(Xml, WalksSkipWhitespaceAndNamesSplitAtThePrefix)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXml("<xs:schema xmlns:xs='urn:x'>\n  <xs:element name='a'/>\n  <!-- c -->\n  <b/>\n</xs:schema>"));
    const xml::Node root = doc.documentElement();
    EXPECT_EQ(root.localName(), "schema");
    EXPECT_EQ(root.prefix(), "xs");
    EXPECT_EQ(root.nodeName(), "xs:schema");
    const auto kids = root.children();
    ASSERT_EQ(kids.size(), 3u); // element, comment, element: no blank text nodes
    EXPECT_EQ(kids[0].attribute("name"), "a");
    EXPECT_TRUE(kids[1].isComment());
    EXPECT_EQ(root.childElements().size(), 2u);
}

TEST(Xml, TextIsTakenLiterallyAndSavedAsUtf8)
{
    xml::Document doc;
    xml::Node root = doc.createRoot("Storage");
    root.appendElement("Collocation").appendText("a & b <c> è");
    const QByteArray out = doc.toBytes();
    EXPECT_TRUE(out.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_TRUE(out.contains("a &amp; b &lt;c&gt; \xc3\xa8"));

    QTemporaryDir dir;
    const QString path = dir.filePath("s.xml");
    QString error;
    ASSERT_TRUE(doc.save(path, &error)) << error.toStdString();
    xml::Document back;
    ASSERT_TRUE(back.load(path));
    EXPECT_EQ(back.documentElement().firstChildElement("Collocation").text(), "a & b <c> è");
    EXPECT_FALSE(doc.save(dir.filePath("missing/s.xml"), &error));
    EXPECT_FALSE(error.isEmpty());

    // Replacing keeps the file's permissions and writes through a link.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ASSERT_TRUE(QFile::link(path, dir.filePath("link.xml")));
    ASSERT_TRUE(doc.save(dir.filePath("link.xml"), &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(dir.filePath("link.xml")).isSymLink());
    EXPECT_TRUE(QFileInfo(path).permission(QFile::ReadGroup));
    EXPECT_FALSE(QFileInfo(path).permission(QFile::ReadOther));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2); // no temporary file
}

TEST(Xml, NeverReachesTheNetworkForADtd)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QByteArray text = "<?xml version=\"1.0\"?>\n<!DOCTYPE Media SYSTEM \"http://127.0.0.1:"
        + QByteArray::number(server.serverPort()) + "/x.dtd\">\n<Media/>\n";
    xml::Document doc;
    EXPECT_FALSE(doc.loadXml(text));
    EXPECT_FALSE(doc.parseErrorReason().isEmpty());
    EXPECT_FALSE(server.waitForNewConnection(300));
}

namespace {
int g_bigAllocationsLeft = 0;
bool bRefused(size_t size) { return size > (1u << 20) && g_bigAllocationsLeft-- <= 0; }
} // namespace

TEST(Xml, TextTheMemoryCannotHoldFailsTheLoadOrTheReadNeverReadsAsMissing)
{
    xmlFreeFunc freeFn; xmlMallocFunc mallocFn; xmlReallocFunc reallocFn; xmlStrdupFunc strdupFn;
    xmlMemGet(&freeFn, &mallocFn, &reallocFn, &strdupFn);
    // Until restored, libxml2 gets no block of over a megabyte after the first `allowed`.
    const auto starve = [&](int allowed) {
        g_bigAllocationsLeft = allowed;
        xmlMemSetup(freeFn, [](size_t n) { return bRefused(n) ? nullptr : std::malloc(n); },
                    [](void* p, size_t n) { return bRefused(n) ? nullptr : std::realloc(p, n); }, strdupFn);
    };
    QTemporaryDir dir;
    const QString file = dir.filePath("m.xml");
    ASSERT_NO_FATAL_FAILURE(test::writeFile(file, "<M><Notes>" + QByteArray(3 << 20, 'n') + "</Notes><F>DVD</F></M>"));
    for (int allowed = 0; allowed < 4; ++allowed) {
        SCOPED_TRACE(allowed);
        xml::Document doc;
        starve(allowed);
        const bool bLoaded = doc.load(file);
        xmlMemSetup(freeFn, mallocFn, reallocFn, strdupFn);
        if (!bLoaded) {
            EXPECT_EQ(doc.parseErrorReason(), text(msg::NoMemoryForFile));
            continue;
        }
        EXPECT_EQ(doc.documentElement().firstChildElement("Notes").text().size(), 3 << 20);
        EXPECT_EQ(doc.documentElement().firstChildElement("F").text(), "DVD");
    }
    xml::Document doc;
    ASSERT_TRUE(doc.load(file));
    starve(0);
    EXPECT_THROW(doc.documentElement().firstChildElement("Notes").text(), std::bad_alloc);
    xmlMemSetup(freeFn, mallocFn, reallocFn, strdupFn);
}

TEST(Xml, NestedParameterEntitiesAnswerAtOnceWhereverTheyAre)
{
    const QByteArray decls = "<!ELEMENT r (n)><!ELEMENT n (#PCDATA)><!ATTLIST r x CDATA #IMPLIED>";
    const struct {
        const char* what;
        QByteArray declarations, field;
    } kinds[] = {
        {"ending in declarations", test::nestedParameterEntities("&#60;!ENTITY y 'z'&#62;") + "%a9;", "n"},
        {"in a general entity used in a field", test::nestedParameterEntities("lol") + "<!ENTITY % g \"&#60;!ENTITY g '&#37;a9;'&#62;\"> %g;", "&g;"},
        {"in attribute-list declarations", test::nestedParameterEntities("&#60;!ATTLIST r x CDATA #IMPLIED&#62;") + "%a9;", "n"},
        {"inside an attribute-list declaration", test::nestedParameterEntities(" x CDATA #IMPLIED") + "<!ATTLIST r %a9;>", "n"},
        {"a long one used often", "<!ENTITY % w \"" + QByteArray(100000, ' ') + "\">" + QByteArray("%w;").repeated(200), "n"},
        {"general entities past the limit", "<!ENTITY b \"" + QByteArray(100000, 'b') + "\">", QByteArray("&b;").repeated(110)},
        {"general entities nested", test::nestedParameterEntities("lol").replace("% a", "l").replace("&#37;a", "&l"), "&l9;"},
    };
    QTemporaryDir dir;
    const QString dtd = dir.filePath("r.dtd"), file = dir.filePath("r.xml");
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.what);
        const QByteArray body = "<r><n>" + kind.field + "</n></r>";
        // An object file's own subset is refused unread, in any encoding; the
        // vocabulary's subset and DTD are read under the bound.
        for (const char* where : {"object file", "UTF-16 object file", "own subset", "own DTD"}) {
            SCOPED_TRACE(where);
            const bool bOwnDtd = QByteArray(where).startsWith("own");
            QByteArray bytes = QByteArray(where) == "own DTD" ? "<!DOCTYPE r SYSTEM \"r.dtd\">" + body
                                                                : "<?xml version=\"1.0\"?><!-- c --><?p?>\n<!DOCTYPE r [ " + decls + kind.declarations + "]>" + body;
            if (QByteArray(where).startsWith("UTF-16")) {
                const QString s = QString::fromUtf8(bytes).replace("1.0\"", "1.0\" encoding=\"UTF-16\"");
                bytes = QByteArray("\xff\xfe") + QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
            }
            ASSERT_NO_FATAL_FAILURE(test::writeFile(dtd, decls + kind.declarations));
            ASSERT_NO_FATAL_FAILURE(test::writeFile(file, bytes));
            xml::Document doc;
            bool bLoaded = true;
            EXPECT_TRUE(test::bAnswersAtOnce({}, [&] { bLoaded = bOwnDtd ? doc.loadWithOwnDtd(file) : doc.load(file); }));
            EXPECT_FALSE(bLoaded);
            const QString reason = doc.parseErrorReason();
            if (!bOwnDtd) {
                EXPECT_EQ(reason, text(msg::DeclaresOwnDtd));
            } else if (kind.what[0] == 'g') {
                EXPECT_TRUE(reason.startsWith(text(msg::EntityTextTooLarge)) || reason.contains("loop")) << reason.toStdString();
            } else {
                EXPECT_EQ(reason, text(msg::ParameterEntitiesTooMuch));
            }
        }
    }
    // What the vocabulary's DTD holds loads: a parameter entity used a few times.
    ASSERT_NO_FATAL_FAILURE(test::writeFile(dtd, "<!ENTITY % n \"n\"><!ELEMENT r (%n;)><!ELEMENT %n; (#PCDATA)><!ATTLIST r x CDATA 'd'>"));
    ASSERT_NO_FATAL_FAILURE(test::writeFile(file, "<!DOCTYPE r SYSTEM \"r.dtd\"><r><n>n</n></r>"));
    xml::Document doc;
    ASSERT_TRUE(doc.loadWithOwnDtd(file)) << doc.parseErrorReason().toStdString();
    EXPECT_EQ(doc.documentElement().attribute("x"), "d");
}

TEST(Xml, TheDtdANameGivesIsReadBesideTheFileWhateverItsFolderHolds)
{
    QTemporaryDir dir, working;
    // A DTD of that name in the working folder is never the one read.
    ASSERT_NO_FATAL_FAILURE(test::writeFile(working.filePath("k.dtd"), "<!ELEMENT r EMPTY><!ATTLIST r x CDATA 'working'>"));
    const test::CurrentFolder current(working.path());
    for (const QString folder : {"with space", "ümlaut", "hash#x", "brackets[x]", "question?x", "per%20cent", "a b#c?d[e]ü"}) {
        SCOPED_TRACE(folder.toStdString());
        const QString at = dir.filePath(folder);
        ASSERT_NO_FATAL_FAILURE(test::writeFile(at + "/k.dtd", "<!ELEMENT r EMPTY><!ATTLIST r x CDATA 'beside'>"));
        ASSERT_NO_FATAL_FAILURE(test::writeFile(at + "/v.xml", "<!DOCTYPE r SYSTEM \"k.dtd\"><r/>"));
        xml::Document doc;
        ASSERT_TRUE(doc.loadWithOwnDtd(at + "/v.xml")) << doc.parseErrorReason().toStdString();
        EXPECT_EQ(doc.documentElement().attribute("x"), "beside");
        // Compressed, too.
        ASSERT_EQ(QProcess::execute("gzip", {"-k", at + "/v.xml"}), 0);
        ASSERT_TRUE(doc.loadWithOwnDtd(at + "/v.xml.gz")) << doc.parseErrorReason().toStdString();
        EXPECT_EQ(doc.documentElement().attribute("x"), "beside");
        // Named by a relative path too.
        ASSERT_TRUE(doc.loadWithOwnDtd(QDir(working.path()).relativeFilePath(at + "/v.xml"))) << doc.parseErrorReason().toStdString();
        EXPECT_EQ(doc.documentElement().attribute("x"), "beside");
    }
}

TEST(Xml, CharactersAFileCannotHoldAreNeverWritten)
{
    const QString bad = QString("A\x01" "B\x0b" "C\x1f" "D") + QChar(0xFFFE) + QChar(0xFFFF) + QChar(0xD800) + "E"
                        + QChar(0xDC00) + QString::fromUtf8("\xf0\x9f\x98\x80") + QChar(0xDBFF) + "\t\n\r";
    const QString kept = QString("ABCDE") + QString::fromUtf8("\xf0\x9f\x98\x80") + "\t\n\r";
    EXPECT_EQ(xml::storableText(bad), kept);
    // Element text is covered by every object's save; attributes here.
    xml::Document doc;
    xml::Node root = doc.createRoot("Media");
    root.setAttribute("a", bad);
    root.setAttributeNS("urn:x", "x", "b", bad);
    xml::Document back;
    ASSERT_TRUE(back.loadXml(doc.toBytes())) << back.parseErrorReason().toStdString();
    EXPECT_EQ(back.documentElement().attribute("a"), kept);
    EXPECT_EQ(back.documentElement().attributeNS("urn:x", "b"), kept);
}
