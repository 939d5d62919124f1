#include "DocumentTestSupport.h"

#include "document/Video.h"
#include "resources/MessageIds.h"

#include <QDirIterator>
#include <QMap>

#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

using namespace vimra;
using namespace vimra::test;

namespace {

// Every entry below the folder: a file's bytes, a link's target.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories); it.hasNext();) {
        const QFileInfo info(it.next());
        files.insert(info.filePath(), info.isSymLink() ? info.symLinkTarget().toUtf8() : readFile(info.filePath()));
    }
    return files;
}

} // namespace

// A received document names files of another document (the canaries) in every
// way it can; open (pictures shown), edit, save, save as, remove and close
// leave them as they were and read none of them.
TEST_F(DocumentTest, NothingOutsideTheDocumentFolderIsOpenedWrittenCopiedOrDeleted)
{
    const auto D = [&](const QString& rel) { return path("doc/" + rel); };
    const auto O = [&](const QString& rel) { return path("other/" + rel); };
    const auto obj = [](const QString& cls, const QString& id, const QString& body) {
        const QString tag = cls == "AVDocument" ? "AVDocGUID" : cls + "GUID";
        return (kHead + "<" + cls + "><" + tag + ">" + id + "</" + tag + ">" + body + "</" + cls + ">").toUtf8();
    };
    const auto ids = [](const QString& a, const QString& b) { return guids(b.isEmpty() ? QStringList{a} : QStringList{a, b}); };
    // A document with a Version, a Media, a main Video and one segment; `x` adds entries to their relations.
    const auto build = [&](const QString& folder, const QString& n, const QString& t, const QStringList& x) {
        const auto f = [&](const QString& rel) { return path(folder + "/" + n + "_files/" + n + rel); };
        writeFile(path(folder + "/" + n + ".xml"), obj("AVDocument", path(folder + "/" + n + ".xml"), "<Title>" + t + "</Title><expressedby>" + ids(f("_version1.xml"), x[0]) + "</expressedby>"));
        writeFile(f("_version1.xml"), obj("Version", f("_version1.xml"), "<VersionTitle>" + t + "</VersionTitle><manifestedby>" + ids(f("_media1.xml"), x[1]) + "</manifestedby>"));
        writeFile(f("_media1.xml"), obj("Media", f("_media1.xml"), "<Format>" + t + "</Format>" + (x[2].isEmpty() ? "" : "<AvailableAs>" + guids({x[2]}) + "</AvailableAs>")));
        writeFile(f("_video1.xml"), obj("Video", f("_video1.xml"), "<Title>" + t + "</Title><VersionGUID>" + f("_version1.xml") + "</VersionGUID>"));
        writeFile(f("_video2.xml"), obj("Video", f("_video2.xml"), "<Title>" + t + "</Title><Time start=\"0\" end=\"9000\" reasons=\"0\"/><partofvideo>" + f("_video1.xml") + "</partofvideo>" + (x[3].isEmpty() ? "" : "<Keyframe start=\"1000\" end=\"0\" reasons=\"0\">" + x[3] + "</Keyframe>")));
    };
    const auto link = [&](const QString& target, const QString& at) { ASSERT_TRUE(QFile::link(target, at)); };
    const QString outside = " lies outside the document's folder and is left untouched";
    const QString version = O("Other_files/Other_version1.xml");
    struct Row {
        const char* what;
        QStringList extra; // added to the relations of: the document, the Version, the Media, the segment's keyframe
        std::function<void()> arrange;
        QStringList messages; // the start of each message at open, in order
        QString notCarried;   // a file named that a save-as cannot copy: it refuses to report a copy
    } rows[] = {
        {"a copy made with a file manager names the original's Version", {version, "", "", ""}, {}, {version + outside}, version},
        {"a Version named by ../", {D("Film_files/../../other/Other_files/Other_version1.xml"), "", "", ""}, {}, {version + outside}, D("Film_files/../../other/Other_files/Other_version1.xml")},
        {"a Media elsewhere", {"", O("Other_files/Other_media1.xml"), "", ""}, {}, {O("Other_files/Other_media1.xml") + outside}, O("Other_files/Other_media1.xml")},
        {"a Storage elsewhere", {"", "", O("Other_files/Other_storage1.xml"), ""}, {}, {O("Other_files/Other_storage1.xml") + outside}, O("Other_files/Other_storage1.xml")},
        {"a link to another document's Version", {D("Film_files/V.xml"), "", "", ""}, [&] { link(version, D("Film_files/V.xml")); }, {D("Film_files/V.xml") + outside}, D("Film_files/V.xml")},
        {"a link to a segment elsewhere naming this main Video", {"", "", "", ""}, [&] { link(O("Other_files/Seg.xml"), D("Film_files/S.xml")); }, {D("Film_files/S.xml") + outside}},
        {"a keyframe picture elsewhere", {"", "", "", O("pic.bmp")}, {}, {O("pic.bmp") + outside}},
        {"a keyframe picture named through a link and ../", {"", "", "", D("Film_files/up/../pic.bmp")}, [&] { link(O("Other_files"), D("Film_files/up")); }, {}},
        {"a link to a malformed file elsewhere", {"", "", "", ""}, [&] { writeFile(O("bad.xml"), "<x>"); link(O("bad.xml"), D("Film_files/M.xml")); }, {D("Film_files/M.xml") + outside}},
        {"a keyframe picture linked from the folder", {"", "", "", D("Film_files/pic.bmp")}, [&] { link(O("pic.bmp"), D("Film_files/pic.bmp")); }, {D("Film_files/pic.bmp") + outside}},
        {"a dangling link at the next Version's name", {"", "", "", ""}, [&] { link(O("Made.xml"), D("Film_files/Film_version2.xml")); }, {}},
        {"an object folder that is a link to another", {"", "", "", ""}, [&] { QDir(D("Film_files")).removeRecursively(); link(O("Other_files"), D("Film_files")); }, {D("Film_files/Film_version1.xml") + outside}},
        {"a malformed Version", {D("Film_files/Bad.xml"), "", "", ""}, [&] { writeFile(D("Film_files/Bad.xml"), "<Version><x></Version>"); }, {"XML Parser: "}},
        {"a Version invalid against its DTD", {D("Film_files/Bad.xml"), "", "", ""}, [&] { writeFile(D("Film_files/Bad.xml"), "<!DOCTYPE Version [<!ELEMENT Version EMPTY>]><Version><x/></Version>"); }, {"XML Parser: "}},
        {"a segment whose name is not UTF-8", {"", "", "", ""}, [&] { ::close(::open(QFile::encodeName(D("Film_files/")) + "S\xff.xml", O_CREAT | O_WRONLY, 0644)); }, {D("Film_files/S\uFFFD.xml cannot be opened: the name of the file or of a folder on its path is not valid UTF-8")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (const QString folder : {"doc", "other"})
            QDir(path(folder)).removeRecursively();
        appState().colNotFoundNames.clear();
        build("other", "Other", "CANARY", {"", "", "", O("pic.bmp")});
        writeFile(O("pic.bmp"), "CANARY picture");
        writeFile(O("Other_files/Other_storage1.xml"), obj("Storage", O("Other_files/Other_storage1.xml"), "<Collocation>CANARY</Collocation>"));
        writeFile(O("Other_files/Seg.xml"), obj("Video", O("Other_files/Seg.xml"), "<Title>CANARY</Title><partofvideo>" + D("Film_files/Film_video1.xml") + "</partofvideo>"));
        build("doc", "Film", "Mine", row.extra);
        if (row.arrange)
            row.arrange();
        const auto canaries = snapshot(path("other"));
        prompts.calls.clear();
        auto doc = open("doc/Film.xml");
        for (const auto& item : doc->collObjects())
            if (const auto video = std::dynamic_pointer_cast<Video>(item))
                video->picKeyFrameSmall();
        const QStringList shown = prompts.messages();
        ASSERT_EQ(shown.size(), row.messages.size()) << shown.join("\n").toStdString();
        for (int i = 0; i < shown.size(); ++i)
            EXPECT_TRUE(shown[i].startsWith(row.messages[i])) << shown[i].toStdString();
        for (const auto& item : doc->collObjects())
            if (const auto o = std::dynamic_pointer_cast<DocObject>(item))
                o->setStrTitle("Edited");
        doc->AddChild("New");
        ASSERT_TRUE(doc->bSave());
        EXPECT_EQ(snapshot(path("other")), canaries) << "save";
        for (const QString& field : row.extra)
            EXPECT_TRUE(field.isEmpty() || snapshot(path("doc")).values().join().contains(field.toUtf8())) << "kept";
        prompts.calls.clear();
        EXPECT_EQ(doc->bSaveAs(D("Copy.xml")), row.notCarried.isEmpty());
        if (!row.notCarried.isEmpty())
            EXPECT_EQ(prompts.messages().value(0), text(msg::ObjectsNotCarried) + "\n" + row.notCarried);
        discardDocument(doc, doc->io());
        EXPECT_EQ(snapshot(path("other")), canaries) << "save as";
        EXPECT_FALSE(snapshot(path("doc")).values().join().contains("CANARY")) << "nothing copied";
        doc = open("doc/Film.xml");
        EXPECT_EQ(doc->strRemoveAllChilds(), "");
        ASSERT_TRUE(doc->bSave());
        discardDocument(doc, doc->io());
        EXPECT_EQ(snapshot(path("other")), canaries) << "remove, save, close";
    }

    // A folder whose name no text can hold cannot be opened, and says why.
    const QByteArray folder = QFile::encodeName(path("D")) + "\xff";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    ::close(::open(folder + "/Film.xml", O_CREAT | O_WRONLY, 0644));
    QString error;
    open(QFile::decodeName(folder).mid(dir.size() + 1) + "/Film.xml", &error);
    EXPECT_EQ(error, path("D\uFFFD/Film.xml cannot be opened: the name of the file or of a folder on its path is not valid UTF-8"));
    // Names the temporary folder's clean-up cannot spell.
    std::filesystem::remove_all(QFile::encodeName(dir).toStdString());
}
