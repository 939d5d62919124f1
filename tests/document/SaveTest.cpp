#include "DocumentTestSupport.h"
#include "support/FakeMediaDetector.h"

#include "document/Expression.h"
#include "document/Media.h"
#include "document/Storage.h"
#include "document/Version.h"
#include "platform/FileRead.h"
#include "resources/MessageIds.h"
#include "support/HangBound.h"

#include <QDirIterator>
#include <QImage>
#include <QMap>
#include <QProcess>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <tuple>

using namespace vimra;
using namespace vimra::test;

namespace {

// A registry entry that waits while its partner is changed.
class WaitingItem : public RegistryItem {
public:
    explicit WaitingItem(QString title) : m_title(std::move(title)) {}
    std::shared_ptr<WaitingItem> partner;
    bool changed = true;

    QString className() const override { return "MediaObject"; }
    std::shared_ptr<IOManager> io() const override { return nullptr; }
    QString strGUID() const override { return {}; }
    void setStrGUID(const QString&) override {}
    QString strTitle() const override { return m_title; }
    bool bChanged() const override { return changed; }
    bool bSave() override
    {
        changed = false;
        return true;
    }
    bool bReferedStillToBeSaved() const override { return partner && partner->changed; }

private:
    QString m_title;
};

// A small tmpfs (64 KiB by default) mounted on a folder for the guard's lifetime.
struct SmallDisk {
    explicit SmallDisk(const QString& folder, const char* options = "size=64k") : path(QFile::encodeName(folder))
    {
        QDir().mkpath(folder);
        mounted = ::mount("tmpfs", path.constData(), "tmpfs", 0, options) == 0;
        error = std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(path.constData(), MNT_DETACH);
    }
    QByteArray path;
    bool mounted = false;
    std::string error;
};

// A file system at `folder`/mnt whose writes are taken into memory and fail
// only when written back: its device is a sparse image on a full tmpfs.
struct FailingWriteBack {
    explicit FailingWriteBack(const QString& folder) : backing(folder + "/back", "size=1m"), mnt(folder + "/mnt")
    {
        const QString image = folder + "/back/image";
        QDir().mkpath(mnt);
        QProcess losetup;
        if (!backing.mounted || !QFile(image).open(QIODevice::WriteOnly) || !QFile::resize(image, 16 << 20)
            || QProcess::execute("mkfs.ext2", {"-q", "-F", image}) != 0)
            return;
        losetup.start("losetup", {"-f", "--show", image});
        losetup.waitForFinished(test::kHangMs);
        device = losetup.readAllStandardOutput().trimmed();
        if (device.isEmpty() || ::mount(device.constData(), QFile::encodeName(mnt).constData(), "ext2", 0, nullptr) != 0)
            return;
        mounted = true;
        QFile filler(folder + "/back/filler");
        if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            while (filler.write(QByteArray(4096, 'x')) == 4096) {}
    }
    ~FailingWriteBack()
    {
        if (mounted)
            ::umount2(QFile::encodeName(mnt).constData(), 0);
        if (!device.isEmpty())
            QProcess::execute("losetup", {"-d", QString::fromUtf8(device)});
    }
    SmallDisk backing;
    QString mnt;
    QByteArray device;
    bool mounted = false;
};

} // namespace

// Save-as syncs once, after the last object file: a failure to write them
// back then fails it, before the new document file exists.
TEST_F(DocumentTest, SaveAsWhoseWriteBackFailsFailsAndKeepsTheOldDocument)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a file system needs root";
    const FailingWriteBack disk(path("bad"));
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a loop device on a full tmpfs";
    writeFixture();
    const auto doc = open("Film.xml");
    const QString filmBefore = read("Film.xml");
    const QString versionBefore = read("Film_files/Film_version1.xml");

    EXPECT_FALSE(doc->bSaveAs(path("bad/mnt/Copy.xml")));
    EXPECT_EQ(prompts.messages(), QStringList({"Input/output error", "One or more objects cannot be saved"}));
    EXPECT_FALSE(QFileInfo::exists(path("bad/mnt/Copy.xml")));
    EXPECT_EQ(read("Film.xml"), filmBefore);
    EXPECT_EQ(read("Film_files/Film_version1.xml"), versionBefore);
}

TEST_F(DocumentTest, SaveOnAFullDiskFailsAndKeepsEveryFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a size-limited tmpfs needs root";
    const SmallDisk disk(path("disk"));
    if (!disk.mounted)
        GTEST_SKIP() << "cannot mount a tmpfs: " << disk.error;
    dir = path("disk");
    writeFixture();
    const auto doc = open("Film.xml");
    const QString filmBefore = read("Film.xml");
    const QString versionBefore = read("Film_files/Film_version1.xml");
    {
        QFile filler(path("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {}
    }

    doc->setStrTitle("Film (restored)");
    at<Version>(*doc, 2)->setStrTitle("Final cut");
    EXPECT_FALSE(doc->bSave());
    EXPECT_EQ(prompts.messages(), QStringList({"Could not write the file " + path("Film_files/Film_version1.xml")
                                                   + ": No space left on device",
                                               "One or more objects cannot be saved"}));
    EXPECT_TRUE(doc->bChanged() && at<Version>(*doc, 2)->bChanged());
    EXPECT_EQ(read("Film.xml"), filmBefore);
    EXPECT_EQ(read("Film_files/Film_version1.xml"), versionBefore);
    EXPECT_EQ(QDir(path("Film_files")).count(), 2u + 5u); // no temporary file left
}

// A save-as that runs out of room at any step puts the open document back as
// it was and leaves nothing of the copy; a save then writes the original
// exactly as it would have without the attempts.
TEST_F(DocumentTest, SaveAsOnAFullDiskLeavesTheDocumentAsItWas)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a size-limited tmpfs needs root";
    FakeMediaDetector detector;
    detector.size = QSize(80, 60); // four pages of the small disk: a copy can stop half-way
    const QString base = dir;
    std::shared_ptr<AVDocument> doc;
    const auto files = [&] { // by relative name, the folder's path made neutral
        QMap<QString, QByteArray> out;
        for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
            const QString file = it.next();
            out.insert(file.mid(dir.size()), readFile(file).replace(dir.toUtf8(), "<dir>"));
        }
        return out;
    };
    const auto state = [&] {
        QStringList s = doc->registeredGUIDs() + idsOf(*doc, "expressedby");
        for (const auto& obj : doc->collObjects())
            s << obj->className() + (obj->bChanged() ? " changed" : "");
        return s;
    };
    const auto edited = [&](const QString& folder, bool bFailSaveAs) {
        dir = folder;
        writeFixture();
        write("Film_files/clip.mpg", "media");
        setMedia(path("Film_files/clip.mpg"));
        // Every kind of picture: saved, grabbed at open (still in the
        // temporary folder) and made since the open.
        QImage saved(detector.size, QImage::Format_RGB888);
        saved.fill(Qt::gray);
        saved.save(path("Film_files/saved.bmp"));
        writeExpr("Film_video1.xml", "Video", "Main", versionOf("Film_version1.xml"), 0, 60);
        writeExpr("Film_video2.xml", "Video", "Saved", tag("partofvideo", "Film_video1.xml") + "<Keyframe start=\"1\" "
                  "end=\"0\" reasons=\"0\">" + path("Film_files/saved.bmp") + "</Keyframe>", 0, 10);
        writeExpr("Film_video3.xml", "Video", "Grabbed", tag("partofvideo", "Film_video1.xml"), 20, 30);
        doc = open("Film.xml");
        at<Version>(*doc, 2)->vdMainVideo()->AddSubExpression("New", 40, 50);
        at<Version>(*doc, 2)->setStrTitle("Final cut");
        const QStringList before = state();
        const auto filesBefore = files();
        int pictures = 0, objects = -1; // pages of the small disk; the document's own file is no object
        for (const auto& obj : doc->collObjects()) {
            pictures += obj->objKeyframeObject() ? 4 : 0;
            objects += std::dynamic_pointer_cast<DocObject>(obj) ? 1 : 0;
        }
        const std::tuple<const char*, int, int> rows[] = { // where it stops, pages, messages
            {"a picture", pictures - 1, 2}, {"the first object", pictures, 2},
            {"an object in the middle", pictures + objects / 2, 2}, {"the document's own file", pictures + objects, 1}};
        for (const auto& [where, pages, messages] : rows) {
            if (!bFailSaveAs)
                break;
            SCOPED_TRACE(where);
            const QString mount = base + "/disk" + QString::number(pages);
            const QByteArray size = "size=" + QByteArray::number(pages * 4) + "k";
            const SmallDisk disk(mount, size.constData());
            EXPECT_TRUE(disk.mounted) << disk.error;
            prompts.calls.clear();
            EXPECT_FALSE(doc->bSaveAs(mount + "/Copy.xml"));
            EXPECT_EQ(prompts.messages().size(), messages);
            EXPECT_TRUE(prompts.messages().value(0).endsWith(": No space left on device"));
            EXPECT_EQ(state(), before);
            EXPECT_EQ(QDir(mount).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
            EXPECT_EQ(files(), filesBefore);
        }
        EXPECT_TRUE(doc->bSave());
        EXPECT_EQ(open("Film.xml")->collObjects().Count(), doc->collObjects().Count());
        return files();
    };
    EXPECT_EQ(edited(base + "/failed", true), edited(base + "/plain", false));
}

// What a killed run left goes at the next open of the document and at a
// save-as into a folder that holds some; another document's stays.
TEST_F(DocumentTest, OpenAndSaveAsClearTheTemporaryFilesAKilledRunLeft)
{
    writeFixture();
    const QString mark = ".vimra-" + QString::number(endedProcessId()) + "-x1";
    for (const QString name : {".Film.xml", "Film_files/.Film_version1.xml", "Copy_files/.Copy_version1.xml",
                               ".Other.xml"}) {
        write(name + mark, "half");
        ASSERT_NO_FATAL_FAILURE(backdate(path(name + mark), 60)); // by a run before this one
    }
    const auto left = [&](const QString& folder) {
        return QDir(path(folder)).entryList({"*" + mark}, QDir::Hidden | QDir::Files);
    };
    const auto doc = open("Film.xml");
    EXPECT_EQ(left(".") + left("Film_files") + left("Copy_files"),
              QStringList({".Other.xml" + mark, ".Copy_version1.xml" + mark}));
    ASSERT_TRUE(doc->bSaveAs(path("Copy.xml")));
    EXPECT_EQ(left("Copy_files"), QStringList());
}

TEST_F(DocumentTest, SaveWritesChangedObjectsInRegistrationOrderAndTheDocumentLast)
{
    writeFixture();
    const auto doc = open("Film.xml");
    const auto m1 = at<Media>(*doc, 3);
    const auto s1 = at<Storage>(*doc, 4);
    const auto v2 = at<Version>(*doc, 8);
    const QString filmBefore = read("Film.xml");

    doc->setStrTitle("Film (restored)");
    m1->setStrTitle("Blu-ray");
    s1->setStrGUID("/no/such/folder/storage.xml"); // its write fails
    v2->setStrTitle("Director's cut");
    std::shared_ptr<RegistryItem> s2 = at<Storage>(*doc, 6);
    doc->RemoveObject(s2);
    const qint64 v1Inode = FileStamp::of(path("Film_files/Film_version1.xml")).inode; // unchanged: not written again

    EXPECT_FALSE(doc->bSave());
    ASSERT_EQ(prompts.messages().size(), 2);
    EXPECT_EQ(prompts.messages().last(), "One or more objects cannot be saved");
    EXPECT_TRUE(read("Film_files/Film_media1.xml").contains("Blu-ray")); // before the Storage
    EXPECT_FALSE(read("Film_files/Film_version2.xml").contains("Director")); // after it
    EXPECT_EQ(read("Film.xml"), filmBefore);
    EXPECT_TRUE(doc->io()->colGUIDToRemove().isEmpty());
    EXPECT_TRUE(doc->hasPendingRemovals());

    // The document's own write failing leaves the deletion queue alone too.
    s1->setStrGUID(path("Film_files/Film_storage1.xml"));
    doc->setStrGUID("/no/such/folder/Film.xml");
    prompts.calls.clear();
    EXPECT_FALSE(doc->bSave());
    EXPECT_EQ(prompts.messages().size(), 1); // the store's reason, no 1095
    EXPECT_TRUE(doc->io()->colGUIDToRemove().isEmpty());

    doc->setStrGUID(path("Film.xml"));
    EXPECT_TRUE(doc->bSave());
    EXPECT_TRUE(read("Film_files/Film_version2.xml").contains("Director's cut"));
    EXPECT_TRUE(read("Film.xml").contains("Film (restored)"));
    EXPECT_EQ(FileStamp::of(path("Film_files/Film_version1.xml")).inode, v1Inode);
    EXPECT_EQ(doc->io()->colGUIDToRemove().Count(), 1);
    EXPECT_FALSE(doc->hasPendingRemovals());
    for (const auto& obj : doc->collObjects())
        EXPECT_FALSE(obj->bChanged()) << obj->strTitle().toStdString();
    EXPECT_TRUE(doc->bSave()); // nothing changed: the removed file is handed again
    EXPECT_EQ(doc->io()->colGUIDToRemove().Count(), 2);
}

TEST_F(DocumentTest, ObjectWhoseFieldsWereNeverReadIsNeverWritten)
{
    writeFixture();
    const auto doc = open("Film.xml");
    doc->collObjects().Add(std::make_shared<Storage>(doc)); // never loaded
    doc->setStrTitle("Film (restored)");
    const QString filmBefore = read("Film.xml");

    EXPECT_FALSE(doc->bSave());
    EXPECT_FALSE(doc->bSaveAs(path("Copy.xml")));
    EXPECT_EQ(prompts.messages(), QStringList(2, "One or more objects cannot be saved"));
    EXPECT_EQ(read("Film.xml"), filmBefore);
    EXPECT_FALSE(QFileInfo::exists(path("Copy.xml")));
    EXPECT_EQ(doc->strGUID(), path("Film.xml"));
}

TEST_F(DocumentTest, SaveAsRenamesEveryObjectAndWritesChildrenFirst)
{
    const auto doc = newDocument();
    doc->AddChild("Cut");
    const auto version = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1));
    version->AddChild("DVD");
    const auto media = std::dynamic_pointer_cast<Media>(version->colChilds().Item(1));
    media->AddChild("/media/film.mpg");
    const auto storage = std::dynamic_pointer_cast<Storage>(media->colChilds().Item(1));
    storage->setStrNamedField("Notes", "shelf 4");
    EXPECT_EQ(version->strGUID(), path("AVDocument_files/AVDocument_version1.xml"));
    EXPECT_EQ(idsOf(*version, "manifestedby"), QStringList({media->strGUID()}));
    EXPECT_EQ(storage->objParent(), media);
    EXPECT_TRUE(version->bReferedStillToBeSaved());
    ui.status.clear();

    doc->setStrTitle("Copy");
    ASSERT_TRUE(doc->bSaveAs(path("Copy.xml")));
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_EQ(ui.status, QStringList({"Saving object n. 2 (/media/film.mpg)", "Saving object n. 3 (DVD)",
                                      "Saving object n. 4 (Cut)"}));
    EXPECT_FALSE(doc->isUntitled());
    EXPECT_EQ(doc->strGUID(), path("Copy.xml"));
    EXPECT_EQ(version->strGUID(), path("Copy_files/Copy_version1.xml"));
    EXPECT_EQ(media->strGUID(), path("Copy_files/Copy_media1.xml"));
    EXPECT_EQ(storage->strGUID(), path("Copy_files/Copy_storage1.xml"));
    EXPECT_EQ(idsOf(*doc, "expressedby"), QStringList({version->strGUID()}));
    EXPECT_EQ(idsOf(*media, "AvailableAs"), QStringList({storage->strGUID()}));
    for (const auto& obj : doc->collObjects())
        EXPECT_FALSE(obj->bChanged());
    EXPECT_TRUE(read("Copy.xml").contains("noNamespaceSchemaLocation=\"document.xsd\""));

    const auto copy = open("Copy.xml");
    EXPECT_EQ(copy->registeredGUIDs(), doc->registeredGUIDs());
    EXPECT_EQ(classesOf(*copy), QStringList({"AVDocument", "Version", "Media", "Storage", "MediaObject"}));
    EXPECT_EQ(copy->strTitle(), "Copy");
    EXPECT_EQ(at<Version>(*copy, 2)->strTitle(), "Cut");
    EXPECT_EQ(idsOf(*at<Version>(*copy, 2), "manifestedby"), QStringList({media->strGUID()}));
    EXPECT_EQ(at<Storage>(*copy, 4)->strTitle(), "/media/film.mpg");
    EXPECT_EQ(at<Storage>(*copy, 4)->strNamedField("Notes"), "shelf 4");
}

TEST_F(DocumentTest, SaveAsWithoutAnObjectFolderRenamesNothing)
{
    const auto doc = newDocument();
    doc->AddChild("Cut");
    const auto version = doc->colChilds().Item(1);
    const QString before = version->strGUID();
    write("blocker", "a file where a folder should be");

    EXPECT_FALSE(doc->bSaveAs(path("blocker/Copy.xml")));
    ASSERT_EQ(prompts.messages().size(), 2);
    EXPECT_TRUE(prompts.messages().first().startsWith("Unable to create directory:"));
    EXPECT_EQ(prompts.messages().last(), "One or more objects cannot be saved");
    EXPECT_EQ(version->strGUID(), before);
    EXPECT_EQ(idsOf(*doc, "expressedby"), QStringList({before}));
    EXPECT_EQ(doc->strGUID(), path("AVDocument.xml"));
    EXPECT_TRUE(doc->isUntitled());
}

TEST_F(DocumentTest, SavePassesEndWhenChangedObjectsWaitForEachOther)
{
    const auto doc = newDocument();
    auto a = std::make_shared<WaitingItem>("A");
    auto b = std::make_shared<WaitingItem>("B");
    a->partner = b;
    b->partner = a;
    doc->collObjects().Add(a);
    doc->collObjects().Add(b);

    EXPECT_TRUE(doc->bSaveAs(path("Cycle.xml")));
    EXPECT_EQ(ui.status, QStringList({"Saving object n. 2 (B)", "Saving object n. 3 (A)"}));
    EXPECT_FALSE(a->changed || b->changed);

    // An object that cannot be written (it has no store) fails the save
    // instead of being met by every pass.
    const auto orphan = std::make_shared<Storage>(doc);
    ASSERT_EQ(orphan->strInitAsNew(path("orphan.xml"), path("document.xsd"), "/media/x.mpg", nullptr, nullptr), "");
    prompts.calls.clear();
    EXPECT_FALSE(doc->bSaveAs(path("Cycle2.xml")));
    EXPECT_EQ(prompts.messages(), QStringList({"One or more objects cannot be saved"}));
    a->partner.reset(); // no cycle left for the test's own teardown
}

TEST_F(DocumentTest, SaveAfterSaveAsLeavesTheOldDocumentsFilesAlone)
{
    writeFixture();
    const auto doc = open("Film.xml");
    const auto v1 = at<Version>(*doc, 2);
    EXPECT_EQ(v1->strRemoveAllChilds(), "");
    std::shared_ptr<RegistryItem> obj = v1;
    doc->RemoveObject(obj); // unsaved: Film.xml still names it
    {
        const CurrentFolder here(dir);
        ASSERT_TRUE(doc->bSaveAs("Copy.xml"));
        EXPECT_EQ(doc->strGUID(), QDir::currentPath() + "/Copy.xml");
    }
    doc->setStrTitle("Copy");
    ASSERT_TRUE(doc->bSave());

    // A removal made after the save-as is the copy's own and is handed over.
    obj = doc->colChilds().Item(1);
    const QString copied = obj->strGUID();
    doc->RemoveObject(obj);
    ASSERT_TRUE(doc->bSave());
    doc->io()->release();
    for (const char* name : {"Film_files/Film_version1.xml", "Film_files/Film_media1.xml", "Film_files/Film_storage1.xml"})
        EXPECT_TRUE(QFileInfo::exists(path(name))) << name;
    EXPECT_FALSE(QFileInfo::exists(copied));
}

TEST_F(DocumentTest, RemovedIdentifierIsNeverGivenToANewObject)
{
    writeFixture();
    const auto doc = open("Film.xml");
    doc->AddChild("Extra"); // not saved: no file yet
    std::shared_ptr<RegistryItem> extra = doc->colChilds().Item(3);
    const QString extraGUID = extra->strGUID();
    doc->RemoveObject(extra);

    doc->AddChild("Again");
    const QString againGUID = doc->colChilds().Item(3)->strGUID();
    EXPECT_NE(againGUID, extraGUID);
    EXPECT_TRUE(doc->bSave());
    doc->io()->release();
    EXPECT_TRUE(QFileInfo::exists(againGUID));

    const auto reopened = open("Film.xml");
    ASSERT_EQ(reopened->colChilds().Count(), 3);
    EXPECT_EQ(reopened->colChilds().Item(3)->strTitle(), "Again");
}

// Save-as renames every relation in one pass: each renamed child's first
// entry moves to the end in renaming order; a second entry naming the same
// child and an entry naming no loaded object stay where they were.
TEST_F(DocumentTest, SaveAsRenamesEachChildsFirstEntryInRenamingOrder)
{
    writeFixture();
    const QString s1 = path("Film_files/Film_storage1.xml");
    const QString s2 = path("Film_files/Film_storage2.xml");
    const QString missing = path("Film_files/missing.xml");
    write("Film_files/Film_media1.xml",
          "<Media><MediaGUID>x</MediaGUID><AvailableAs>" + guids({s2, missing, s1, s2}) + "</AvailableAs></Media>");
    const auto doc = open("Film.xml");
    const auto m1 = at<Media>(*doc, 3);

    ASSERT_TRUE(doc->bSaveAs(path("Copy.xml")));
    EXPECT_EQ(idsOf(*m1, "AvailableAs"), QStringList({missing, s2, path("Copy_files/Copy_storage1.xml"),
                                                      path("Copy_files/Copy_storage2.xml")}));
    EXPECT_EQ(at<Storage>(*doc, 4)->strGUID(), path("Copy_files/Copy_storage1.xml"));
}

// A save-as onto the document's own objects, however named, is refused before
// anything is written: the document and every file stay as they were.
TEST_F(DocumentTest, SaveAsIntoTheDocumentsOwnObjectFolderIsRefused)
{
    writeFixture();
    ASSERT_TRUE(QFile::link(dir, path("alias")));
    const auto doc = open("Film.xml");
    doc->setStrTitle("Edited");
    const auto files = [&] {
        QMap<QString, QByteArray> out;
        for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            out.insert(it.next(), readFile(it.filePath()));
        return out;
    };
    const auto before = files();
    for (const char* target : {"Film_files/Film_version1.xml", "alias/Film_files/Film_media1.xml", "Film_files/Copy.xml"}) {
        prompts.calls.clear();
        EXPECT_FALSE(doc->bSaveAs(path(target)));
        EXPECT_EQ(prompts.messages(), QStringList{path(target) + " " + text(msg::SaveAsInsideObjectFolder)});
        EXPECT_TRUE(doc->strGUID() == path("Film.xml") && doc->bChanged() && files() == before) << target;
    }
}

// An object file that could not be read at open (malformed, over the size
// limit) travels into the copy byte for byte under a name of the copy's,
// which the copy's relations name.
TEST_F(DocumentTest, SaveAsCarriesTheObjectFilesThatCouldNotBeRead)
{
    writeFixture();
    const QString version2 = path("Film_files/Film_version2.xml"), storage2 = path("Film_files/Film_storage2.xml");
    write("Film_files/Film_version2.xml", "<Version><x></Version>");
    ASSERT_TRUE(QFile(storage2).resize(fs::kMaxReadSize + 1));
    const QByteArray versionBytes = readFile(version2), storageBytes = readFile(storage2);
    auto doc = open("Film.xml");
    prompts.calls.clear();
    ASSERT_TRUE(doc->bSaveAs(path("Copy.xml"))) << prompts.messages().join("\n").toStdString();
    EXPECT_EQ(prompts.messages(), QStringList());
    EXPECT_EQ(readFile(path("Copy_files/Copy_version2.xml")), versionBytes);
    EXPECT_EQ(readFile(path("Copy_files/Copy_storage2.xml")), storageBytes);
    // The note that names the copy's folders for a start after a kill is gone.
    EXPECT_EQ(QDir::temp().entryList({"vimra-" + QString::number(::getpid()) + "-*.folders"}), QStringList());
    discardDocument(doc, doc->io());
    QDir(path("Film_files")).removeRecursively();
    prompts.calls.clear();
    open("Copy.xml");
    ASSERT_EQ(prompts.messages().size(), 2);
    EXPECT_EQ(prompts.messages()[0], "XML Parser: " + path("Copy_files/Copy_storage2.xml: ") + text(msg::FileTooLarge));
    EXPECT_TRUE(prompts.messages()[1].startsWith("XML Parser: " + path("Copy_files/Copy_version2.xml")));
}

// Save As onto the document's own file, however it is spelled, is a Save: no
// second set of object files, nothing that no document names.
TEST_F(DocumentTest, SaveAsOntoTheDocumentsOwnFileIsASave)
{
    writeFixture();
    ASSERT_TRUE(QFile::link(dir, path("alias")));
    ASSERT_TRUE(QFile::link(path("Film.xml"), path("Link.xml")));
    const auto doc = open("Film.xml");
    const QStringList files = QDir(path("Film_files")).entryList(QDir::Files | QDir::Hidden);
    const QStringList top = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QString up = dir + "/../" + QFileInfo(dir).fileName() + "/./Film.xml";
    for (const QString& target : {path("Film.xml"), up, path("Film_files/../Film.xml"), path("alias/Film.xml"), path("Link.xml")}) {
        SCOPED_TRACE(target.toStdString());
        doc->setStrTitle("Saved as " + target);
        at<Version>(*doc, 2)->setStrTitle(target);
        ASSERT_TRUE(doc->bSaveAs(target));
        EXPECT_EQ(doc->strGUID(), path("Film.xml"));
        EXPECT_TRUE(read("Film.xml").contains("Saved as " + target));
        EXPECT_TRUE(read("Film_files/Film_version1.xml").contains(target));
        EXPECT_EQ(QDir(path("Film_files")).entryList(QDir::Files | QDir::Hidden), files);
        EXPECT_EQ(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), top);
    }
    EXPECT_TRUE(QFileInfo(path("Link.xml")).isSymLink());
}
