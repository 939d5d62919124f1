#include "platform/Xml.h"

#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
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
