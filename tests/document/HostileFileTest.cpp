#include "DocumentTestSupport.h"
#include "support/AnswersAtOnce.h"
#include "support/NestedEntities.h"

#include "document/Version.h"
#include "document/Video.h"
#include "platform/FileRead.h"
#include "resources/MessageIds.h"

#include <QDirIterator>
#include <QProcess>

#include <functional>

#include <sys/stat.h>

using namespace vimra;
using namespace vimra::test;

TEST_F(DocumentTest, HostileFilesAnswerAtOnceAndNothingOutsideReachesAFieldOrASave)
{
    QTemporaryDir outside;
    const QString fifo = outside.filePath("fifo"), dtd = outside.filePath("c.dtd"), secret = outside.filePath("s.txt");
    const QString storage = path("Film_files/Film_storage1.xml"), picture = path("Film_files/Film_mediaobject1.bmp");
    const QString decls = "<!ELEMENT Storage ANY><!ELEMENT StorageGUID (#PCDATA)><!ELEMENT Notes (#PCDATA)>";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    writeFile(dtd, decls.toUtf8() + "<!ENTITY notes \"SECRET-7d1f\">");
    writeFile(secret, "SECRET-7d1f");
    const auto hostile = [&](const QString& doctype, const QString& notes) {
        write("Film_files/Film_storage1.xml",
              kHead + doctype + "<Storage><StorageGUID>" + storage + "</StorageGUID><Notes>" + notes + "</Notes></Storage>");
    };
    QString laughs = "<!ENTITY a0 \"lol\">";
    for (int i = 1; i < 10; ++i)
        laughs += QString("<!ENTITY a%1 \"%2\">").arg(i).arg(QString("&a%1;").arg(i - 1).repeated(10));
    const auto refused = [&](int id, const QString& line = "") { return storage + ": " + text(id) + line; };
    const auto mkfifoAt = [](const QString& at) { QFile::remove(at); ::mkfifo(QFile::encodeName(at).constData(), 0600); };
    const struct {
        const char* what;
        std::function<void()> arrange;
        QString message; // among those shown; "" for any
        bool bCopied = true; // the object file can travel with a save-as
    } rows[] = {
        {"external DTD", [&] { hostile("<!DOCTYPE Storage SYSTEM \"" + dtd + "\">", "&notes;"); }, refused(msg::EntityNotRead, " (line 2)")},
        {"parameter entity", [&] { hostile("<!DOCTYPE Storage [<!ENTITY % p SYSTEM \"" + dtd + "\"> %p;]>", "&notes;"); }, refused(msg::DeclaresOwnDtd)},
        {"external entity", [&] { hostile("<!DOCTYPE Storage [" + decls + "<!ENTITY n SYSTEM \"" + secret + "\">]>", "&n;"); }, refused(msg::DeclaresOwnDtd)},
        {"nested parameter entities ending in declarations", [&] { hostile("<!DOCTYPE Storage [" + nestedParameterEntities("&#60;!ENTITY n 'x'&#62;") + "%a9;]>", "&n;"); }, refused(msg::DeclaresOwnDtd)},
        {"nested parameter entities in a general entity", [&] { hostile("<!DOCTYPE Storage [" + decls + nestedParameterEntities("x") + "<!ENTITY % g \"&#60;!ENTITY g '&#37;a9;'&#62;\"> %g;]>", "&g;"); }, refused(msg::DeclaresOwnDtd)},
        {"nested parameter entities in attribute lists", [&] { hostile("<!DOCTYPE Storage [" + nestedParameterEntities("&#60;!ATTLIST Storage x CDATA #IMPLIED&#62;") + "%a9;]>", "n"); }, refused(msg::DeclaresOwnDtd)},
        {"FIFO as DTD", [&] { hostile("<!DOCTYPE Storage SYSTEM \"" + fifo + "\">", "n"); }, "Could not load the external subset"},
        {"FIFO as parameter entity", [&] { hostile("<!DOCTYPE Storage [<!ENTITY % p SYSTEM \"" + fifo + "\"> %p;" + decls + "]>", "n"); }, ""},
        {"FIFO as object file", [&] { mkfifoAt(storage); }, refused(msg::NotRegularFile), false},
        {"billion laughs", [&] { hostile("<!DOCTYPE Storage [" + decls + laughs + "]>", "&a9;"); }, refused(msg::DeclaresOwnDtd)},
        {"entities past the limit", [&] { hostile("<!DOCTYPE Storage [" + decls + "<!ENTITY b \"" + QString(100000, 'b') + "\">]>", QString("&b;").repeated(110)); }, refused(msg::DeclaresOwnDtd)},
        {"one text past what is held", [&] { hostile("", (QString(1000, 'y') + "&amp;").repeated(11000)); }, refused(msg::NoMemoryForFile)},
        {"file past the limit", [&] { hostile("", "n"); QFile(storage).resize(fs::kMaxReadSize + 1); }, refused(msg::FileTooLarge)},
        {"compressed past the limit", [&] {
             writeFile(storage, "<Storage><Notes>" + (QByteArray(1 << 20, 'z') + "<!---->").repeated(65) + "</Notes></Storage>");
             ASSERT_EQ(QProcess::execute("gzip", {"-f", storage}), 0);
             QFile::rename(storage + ".gz", storage); }, refused(msg::FileTooLarge)},
        {"compressed past the limit after its end", [&] {
             hostile("", "n");
             QFile(storage).resize(fs::kMaxReadSize + 1);
             ASSERT_EQ(QProcess::execute("gzip", {"-f", storage}), 0);
             QFile::rename(storage + ".gz", storage); }, refused(msg::FileTooLarge)},
        {"segments nested thousands deep", [&] {
             for (int i = 1; i <= 12000; ++i)
                 writeExpr(QString("Film_video%1.xml").arg(i), "Video", "S", i == 1 ? versionOf("Film_version1.xml") : tag("partofvideo", QString("Film_video%1.xml").arg(i - 1))); },
         path("Film_files/Film_video101.xml ") + text(msg::SegmentsTooDeep)},
        {"FIFO as keyframe picture", [&] {
             writeExpr("Film_video1.xml", "Video", "Main", versionOf("Film_version1.xml"), 0, 60);
             writeExpr("Film_video2.xml", "Video", "S", tag("partofvideo", "Film_video1.xml") + "<Keyframe start=\"15000\" end=\"0\" reasons=\"0\">" + picture + "</Keyframe>", 10, 20);
             mkfifoAt(picture); }, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (const QString folder : {"Film_files", "Copy_files"})
            QDir(path(folder)).removeRecursively();
        writeFixture();
        row.arrange();
        prompts.calls.clear();
        std::shared_ptr<AVDocument> doc;
        EXPECT_TRUE(bAnswersAtOnce({fifo, storage, picture}, [&] {
            doc = open("Film.xml");
            if (const auto main = at<Version>(*doc, 2)->vdMainVideo())
                std::static_pointer_cast<Video>(main->colSubExpressions().Item(1))->picKeyFrameSmall();
        }));
        const QString shown = prompts.messages().join('\n');
        EXPECT_TRUE(shown.contains(row.message)) << shown.toStdString();
        if (!row.message.isEmpty())
            EXPECT_EQ(shown.count(row.message), 1) << shown.toStdString(); // said once, with the file it is about
        // The secret reaches no field: a Save As writes every field there is,
        // and copies every object file that was refused, but a FIFO.
        prompts.calls.clear();
        EXPECT_EQ(doc->bSaveAs(path("Copy.xml")), row.bCopied);
        EXPECT_EQ(prompts.messages().contains(text(msg::ObjectsNotCarried) + "\n" + storage), !row.bCopied);
        for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString file = it.next();
            EXPECT_FALSE(QFileInfo(file).isFile() && readFile(file).contains("SECRET-7d1f")) << file.toStdString();
        }
    }
}

TEST_F(DocumentTest, CharactersAFileCannotHoldNeverReachASaveOfAnyObject)
{
    writeFixture();
    writeExpr("Film_video1.xml", "Video", "Main", versionOf("Film_version1.xml"), 0, 60);
    writeExpr("Film_audio1.xml", "Audio", "Sound", versionOf("Film_version1.xml"), 0, 60);
    writeExpr("Film_transcript1.xml", "Transcript", "Words", versionOf("Film_version1.xml"), 0, 60);
    const QString bad = QString("A\x01" "B\x0b" "C\x1f" "D") + QChar(0xFFFE) + QChar(0xD800);
    std::shared_ptr<AVDocument> doc = open("Film.xml");
    for (const auto& item : doc->collObjects())
        if (const auto obj = std::dynamic_pointer_cast<DocObject>(item); obj && obj->bFieldsRead())
            obj->setStrTitle(obj->strTitle() + bad); // every kind but a media file, never written
    const auto keywords = doc->firstNamed("ThematicKeywords");
    ASSERT_TRUE(keywords);
    keywords->vContent = std::make_shared<StringList>();
    valueObject<StringList>(keywords->vContent)->Add("Jazz" + bad);
    keywords->bValid = true;
    keywords->bChanged = true;
    const auto titles = [](const AVDocument& d) {
        QStringList out;
        for (const auto& item : d.collObjects())
            if (const auto obj = std::dynamic_pointer_cast<DocObject>(item); obj && obj->bFieldsRead())
                out << obj->className() + ": " + obj->strTitle();
        return out;
    };
    // What stays of the text: the characters a file can hold.
    const QStringList before = titles(*doc).replaceInStrings(bad, "ABCD");
    ASSERT_TRUE(doc->bSave()) << prompts.messages().join('\n').toStdString();

    prompts.calls.clear();
    doc = open("Film.xml");
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join('\n').toStdString();
    EXPECT_EQ(titles(*doc), before);
    EXPECT_EQ(before.size(), 9) << before.join(", ").toStdString();
    EXPECT_EQ(idsOf(*doc, "ThematicKeywords"), QStringList({"JazzABCD"}));
}
