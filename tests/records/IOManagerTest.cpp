#include "records/IOManager.h"

#include "resources/StringTable.h"
#include "support/FakePrompts.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

using namespace vimra;

namespace {

using test::CurrentFolder;
using test::readFile;
using test::writeFile;

struct IOManagerTest : ::testing::Test {
    QTemporaryDir tmp;
    IOManager io;
    QString dir;

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        dir = QDir(tmp.path()).canonicalPath() + "/";
        io.setBFileSystem(true);
    }
    void TearDown() override { io.setBFileSystem(false); } // keep the backstop off the disk

    QString newId(const QString& cls, const QStringList& registered = {}, const QString& ext = {})
    {
        const auto r = io.strCreateGUID(registered, cls, ext, dir + "Film.xml");
        EXPECT_TRUE(r.ok()) << r.strError.toStdString();
        return r.strGUID;
    }
};

} // namespace

TEST_F(IOManagerTest, OpenReportsMissingAndMalformedFiles)
{
    xml::Document doc;
    ASSERT_TRUE(doc.loadXml("<Media><strTitle>x</strTitle></Media>"));

    const QString missing = dir + "nothing.xml";
    EXPECT_EQ(io.strOpen(doc, missing), text(1131) + " " + missing);
    EXPECT_TRUE(doc.documentElement().isNull()); // the old content is gone

    writeFile(dir + "bad.xml", "<Media><strTitle>x</Media>");
    EXPECT_TRUE(io.strOpen(doc, dir + "bad.xml").startsWith("XML Parser: "));

    writeFile(dir + "good.xml", "<?xml version=\"1.0\"?><p:Media xmlns:p=\"urn:x\"/>");
    EXPECT_EQ(io.strOpen(doc, dir + "good.xml"), "");
    EXPECT_EQ(doc.documentElement().localName(), "Media");

    // The class of a stored object; a bad file is shown and answers nothing.
    test::FakePrompts fake;
    EXPECT_EQ(io.strWhatIs(dir + "good.xml"), "Media");
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(io.strWhatIs(dir + "bad.xml"), "");
    EXPECT_EQ(io.strWhatIs(dir + "missing.xml"), "");
    ASSERT_EQ(fake.calls.size(), 2u);
    EXPECT_TRUE(fake.calls[0].text.startsWith("XML Parser: "));
    EXPECT_TRUE(fake.calls[1].text.startsWith("XML Parser: "));
    EXPECT_EQ(fake.calls[0].icon, Prompts::Exclamation);
    EXPECT_EQ(fake.calls[0].buttons, Prompts::OKOnly);
}

TEST_F(IOManagerTest, SaveMoveAndCopy)
{
    xml::Document doc;
    doc.createRoot("Storage");
    EXPECT_EQ(io.strSave(doc, dir + "Storage1.xml"), "");
    EXPECT_TRUE(readFile(dir + "Storage1.xml").contains("<Storage"));

    // A file made read-only is not replaced.
    QFile::setPermissions(dir + "Storage1.xml", QFileDevice::ReadOwner);
    doc.documentElement().appendElement("Collocation");
    EXPECT_FALSE(io.strSave(doc, dir + "Storage1.xml").isEmpty());
    EXPECT_FALSE(readFile(dir + "Storage1.xml").contains("Collocation"));

    const QString error = io.strSave(doc, dir + "no/such/folder/x.xml");
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir + "no"));

    writeFile(dir + "a.bmp", "A");
    writeFile(dir + "b.bmp", "B");
    EXPECT_FALSE(io.MoveObject(dir + "a.bmp", dir + "b.bmp").isEmpty());
    EXPECT_EQ(readFile(dir + "a.bmp"), "A");
    EXPECT_EQ(readFile(dir + "b.bmp"), "B");

    EXPECT_EQ(io.CopyObject(dir + "a.bmp", dir + "b.bmp"), "");
    EXPECT_EQ(readFile(dir + "b.bmp"), "A");
    EXPECT_EQ(io.MoveObject(dir + "sub/../a.bmp", dir + "c.bmp"), "");
    EXPECT_FALSE(QFile::exists(dir + "a.bmp"));
    EXPECT_EQ(readFile(dir + "c.bmp"), "A");
    EXPECT_FALSE(io.bConnectToDM());
}

TEST_F(IOManagerTest, DeletionQueueRunsOnlyAtRelease)
{
    writeFile(dir + "one.xml", "<Video/>");
    writeFile(dir + "two.xml", "<Audio/>");
    writeFile(dir + "locked.xml", "<Audio/>");
    QFile::setPermissions(dir + "locked.xml", QFileDevice::ReadOwner | QFileDevice::ReadGroup);

    io.RemoveGUID(dir + "one.xml");
    io.RemoveGUID(dir + "one.xml");
    io.RemoveGUID(dir + "two.xml");
    EXPECT_EQ(io.colGUIDToRemove().Count(), 3);
    EXPECT_TRUE(QFile::exists(dir + "one.xml"));

    io.RemoveGUID(dir + "locked.xml");
    const QString summary = io.strSync();
    EXPECT_FALSE(QFile::exists(dir + "one.xml"));
    EXPECT_FALSE(QFile::exists(dir + "two.xml"));
    EXPECT_TRUE(QFile::exists(dir + "locked.xml"));
    // The second "one" and the read-only file failed; the last reason closes the list.
    EXPECT_TRUE(summary.startsWith(" " + dir + "one.xml " + dir + "locked.xml: ")) << summary.toStdString();
    EXPECT_GT(summary.size(), (" " + dir + "one.xml " + dir + "locked.xml: ").size());
    EXPECT_TRUE(io.colGUIDToRemove().isEmpty());

    writeFile(dir + "three.xml", "<Audio/>");
    io.RemoveGUID(dir + "three.xml");
    io.release();
    EXPECT_FALSE(QFile::exists(dir + "three.xml"));
    EXPECT_TRUE(io.colGUIDToRemove().isEmpty());
}

TEST_F(IOManagerTest, OutsideFileSystemModeNothingTouchesTheDisk)
{
    IOManager dm;
    EXPECT_FALSE(dm.bFileSystem());
    writeFile(dir + "keep.xml", "<Video/>");

    xml::Document doc;
    doc.createRoot("Video");
    EXPECT_EQ(dm.strOpen(doc, dir + "keep.xml"), "");
    EXPECT_TRUE(doc.documentElement().isNull());
    EXPECT_EQ(dm.strOpen(doc, dir + "missing.xml"), "");

    doc.createRoot("Video");
    EXPECT_EQ(dm.strSave(doc, dir + "new.xml"), "");
    EXPECT_FALSE(QFile::exists(dir + "new.xml"));

    const auto id = dm.strCreateGUID({}, "Version", "", dir + "Film.xml");
    EXPECT_TRUE(id.strGUID.isEmpty());
    EXPECT_FALSE(QFile::exists(dir + "Film_files"));
    EXPECT_EQ(dm.strWhatIs(dir + "keep.xml"), "");
    EXPECT_EQ(dm.CopyObject(dir + "keep.xml", dir + "copy.xml"), "");
    EXPECT_FALSE(QFile::exists(dir + "copy.xml"));

    dm.RemoveGUID(dir + "keep.xml");
    dm.release();
    EXPECT_TRUE(dm.colGUIDToRemove().isEmpty());
    EXPECT_TRUE(QFile::exists(dir + "keep.xml"));
}

TEST_F(IOManagerTest, DocumentIdentifiers)
{
    const auto film = io.strCreateGUID({}, "AVDocument", "", dir + "Film.txt");
    EXPECT_EQ(film.strGUID, dir + "Film.xml");
    EXPECT_TRUE(film.ok());
    EXPECT_FALSE(QFile::exists(dir + "Film_files"));

    CurrentFolder here(dir + ".");
    EXPECT_EQ(io.strCreateGUID({}, "AVDocument", "", "Film").strGUID, dir + "Film.xml");
    EXPECT_EQ(io.strCreateGUID({}, "AVDocument", "", "sub/../Film.x.y").strGUID, dir + "Film.x.xml");
    EXPECT_EQ(QDir(dir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

TEST_F(IOManagerTest, ObjectIdentifiersTakeTheLowestFreeNumber)
{
    const QString files = dir + "Film_files/";
    EXPECT_EQ(newId("Version"), files + "Film_version1.xml");
    EXPECT_TRUE(QDir(files).exists());
    EXPECT_EQ(newId("MediaObject", {}, "bmp"), files + "Film_mediaobject1.bmp");

    // A stray file blocks its number; a gap below it is filled first.
    writeFile(files + "Film_video2.xml", "<Video/>");
    EXPECT_EQ(newId("Video"), files + "Film_video1.xml");
    writeFile(files + "Film_video1.xml", "<Video/>");
    EXPECT_EQ(newId("Video"), files + "Film_video3.xml");

    // A registered object not yet saved blocks its name, however it is spelt.
    EXPECT_EQ(newId("Audio", {dir + "x/../Film_files/Film_audio1.xml"}), files + "Film_audio2.xml");
    EXPECT_EQ(newId("Audio", {files + "FILM_AUDIO1.XML"}), files + "Film_audio1.xml");

    // One maker gives what one call after another would, each registering the last.
    writeFile(files + "Film_storage2.xml", "<Storage/>");
    auto maker = io.guidMaker({files + "Film_storage1.xml"}, dir + "Film.xml");
    EXPECT_EQ(maker.next("Storage").strGUID, files + "Film_storage3.xml");
    EXPECT_EQ(maker.next("Audio").strGUID, files + "Film_audio1.xml");
    EXPECT_EQ(maker.next("Storage").strGUID, files + "Film_storage4.xml");
    EXPECT_EQ(maker.next("Audio").strGUID, files + "Film_audio2.xml");
}

TEST_F(IOManagerTest, IdentifierComparison)
{
    EXPECT_TRUE(IOManager::bGUIDComp(dir + "Film.xml", dir + "Sub/../Film.xml"));
    EXPECT_TRUE(IOManager::bGUIDComp(dir + "Film_files/", dir + "Film_files"));
    EXPECT_TRUE(IOManager::bGUIDComp(dir + "./a//Film.xml", dir + "a/Film.xml"));
    EXPECT_FALSE(IOManager::bGUIDComp(dir + "Film.xml", dir + "film.xml"));
    EXPECT_FALSE(IOManager::bGUIDComp(dir + "Film.xml", dir + "Film_files/Film.xml"));

    CurrentFolder here(dir);
    EXPECT_TRUE(IOManager::bGUIDComp("Film.xml", dir + "Film.xml"));
}

TEST_F(IOManagerTest, FolderFailureIsAnErrorNotAnIdentifier)
{
    // A plain file where the object folder belongs makes the folder impossible.
    writeFile(dir + "Film_files", "");
    const auto r = io.strCreateGUID({}, "Version", "", dir + "Film.xml");
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.strGUID.isEmpty());
    EXPECT_TRUE(r.strError.startsWith(text(1094) + " ")) << r.strError.toStdString();
}

TEST_F(IOManagerTest, RemovedObjectsNeverLoseANewObjectsFile)
{
    const QString docId = dir + "Film.xml";
    xml::Document doc;
    doc.createRoot("Video");

    // A segment added and removed before saving: its number must not be
    // handed out again, or release would delete the next segment's file.
    const QString a = newId("Video", {docId});
    io.reserve(a);
    io.RemoveGUID(a);
    const QString b = newId("Video", {docId});
    EXPECT_NE(b, a);
    EXPECT_EQ(io.strSave(doc, b), "");

    // A removed object that was saved: same, even once its file is gone.
    ASSERT_EQ(io.strSave(doc, dir + "Film_files/Film_audio1.xml"), "");
    io.reserve(dir + "Film_files/Film_audio1.xml");
    io.RemoveGUID(dir + "Film_files/Film_audio1.xml");
    QFile::remove(dir + "Film_files/Film_audio1.xml");
    EXPECT_EQ(newId("Audio", {docId}), dir + "Film_files/Film_audio2.xml");

    io.release();
    EXPECT_TRUE(QFile::exists(b));

    // Saving an identifier that was queued earlier takes it off the queue.
    const QString c = dir + "Film_files/Film_media1.xml";
    io.RemoveGUID(c);
    io.RemoveGUID(dir + "Film_files/../Film_files/Film_media1.xml");
    EXPECT_EQ(io.strSave(doc, c), "");
    EXPECT_TRUE(io.colGUIDToRemove().isEmpty());
    io.release();
    EXPECT_TRUE(QFile::exists(c));
}

// The index of object files answers without reading a file again only while
// the file is as the index last saw it: the store's own writes, deletions
// and moves keep it current, and a file changed behind it is read again.
TEST_F(IOManagerTest, ObjectFileIndexFollowsTheStoreAndTheDisk)
{
    const auto classAndList = [&](const QString& id) -> QString {
        const auto info = io.objectFileInfo(id);
        return info ? info->strClass + ":" + info->lists.value("availableas").join(",") : "none";
    };
    const QString media = dir + "Film_files/Film_media1.xml";
    QDir().mkpath(dir + "Film_files");
    xml::Document doc;
    ASSERT_TRUE(doc.loadXml("<Media><Format>DVD</Format><availableas><GUID>s1</GUID><GUID>s2</GUID></availableas>"
                            "<availableas/></Media>"));
    ASSERT_EQ(io.strSave(doc, media), "");
    EXPECT_EQ(classAndList(media), "Media:s1,s2");
    EXPECT_EQ(io.strWhatIs(dir + "Film_files/../Film_files/Film_media1.xml"), "Media");

    // Changed behind the store: a longer file, then one of the same size
    // dated back, are both read again.
    writeFile(media, "<Version><availableas><GUID>s3</GUID></availableas></Version>");
    EXPECT_EQ(classAndList(media), "Version:s3");
    writeFile(media, "<Storage><availableas><GUID>s4</GUID></availableas></Storage>");
    test::backdate(media, 3600);
    EXPECT_EQ(classAndList(media), "Storage:s4");
    EXPECT_EQ(classAndList(media), "Storage:s4");

    ASSERT_EQ(io.strSave(doc, media), "");
    const QString moved = dir + "Film_files/Film_media2.xml";
    ASSERT_EQ(io.MoveObject(media, moved), "");
    EXPECT_EQ(classAndList(moved), "Media:s1,s2");
    EXPECT_EQ(classAndList(media), "none");

    io.RemoveGUID(moved);
    EXPECT_EQ(io.strSync(), "");
    EXPECT_EQ(classAndList(moved), "none");

    // Many files at once, read side by side: answers in the order asked, a
    // malformed file with its reason, and the index as one by one would leave it.
    QStringList many;
    for (int i = 0; i < 300; ++i) {
        many << dir + QString("Film_files/Film_storage%1.xml").arg(i);
        writeFile(many.back(), i == 150 ? QByteArray("<Storage>") : "<Storage><n>" + QByteArray::number(i) + "</n></Storage>");
        test::backdate(many.back(), 3600);
    }
    const auto results = io.objectFileInfos(many);
    ASSERT_EQ(results.size(), 300u);
    for (int i = 0; i < 300; ++i) {
        const auto& r = results[static_cast<size_t>(i)];
        EXPECT_EQ(r.info == nullptr, i == 150) << i;
        EXPECT_EQ(r.error.isEmpty(), i != 150) << i;
    }
    EXPECT_EQ(io.objectFileInfos(many)[7].info, results[7].info);
    EXPECT_EQ(io.objectFileInfo(many[299]), results[299].info);
}

// The document's way of asking (an index of what is registered, and a stamp
// that changes when an identifier is given up) answers as a full list does,
// without trying the numbers found taken again.
TEST_F(IOManagerTest, IdentifiersFromTheRegistryIndexMatchTheFullList)
{
    QStringList registered;
    quint64 stamp = 0;
    const auto viaIndex = [&](const QString& cls, const QString& ext = {}) {
        const QSet<QString> keys(registered.begin(), registered.end());
        const auto r = io.strCreateGUID([&](const QString& key) { return keys.contains(key); }, stamp, cls, ext,
                                        dir + "Film.xml");
        EXPECT_EQ(r.strGUID, newId(cls, registered, ext));
        return r.strGUID;
    };
    // Looked for ahead without making the folder, then given as without that.
    io.PrimeGUID([&](const QString& key) { return registered.contains(key); }, stamp, "Video", {}, dir + "Film.xml");
    EXPECT_FALSE(QDir(dir + "Film_files").exists());
    for (int i = 0; i < 3; ++i)
        registered << viaIndex("Video");
    EXPECT_EQ(registered.last(), dir + "Film_files/Film_video3.xml");
    EXPECT_EQ(viaIndex("MediaObject", "bmp"), dir + "Film_files/Film_mediaobject1.bmp");
    // Made but never registered: given again.
    EXPECT_EQ(viaIndex("Video"), dir + "Film_files/Film_video4.xml");
    // A removed object's number stays taken.
    io.reserve(registered.takeAt(1));
    ++stamp;
    EXPECT_EQ(viaIndex("Video"), dir + "Film_files/Film_video4.xml");
    // Given up without a reservation (the stamp says so): the lowest is free again.
    registered.removeFirst();
    ++stamp;
    EXPECT_EQ(viaIndex("Video"), dir + "Film_files/Film_video1.xml");
    // A file of the folder moved away frees its number; one queued for deletion keeps it.
    writeFile(dir + "Film_files/Film_video1.xml", "x");
    registered << viaIndex("Video");
    EXPECT_EQ(registered.last(), dir + "Film_files/Film_video4.xml");
    EXPECT_EQ(io.MoveObject(dir + "Film_files/Film_video1.xml", dir + "moved.xml"), "");
    io.RemoveGUID(dir + "Film_files/Film_video5.xml");
    EXPECT_EQ(viaIndex("Video"), dir + "Film_files/Film_video1.xml");
}

// Whether a file is as the store read or wrote it: by its stamp, or by its bytes when changed within a
// clock tick of the read; a file it never read nor wrote is never replaced by a save.
TEST_F(IOManagerTest, DiskStateTellsWhatOthersDidToAFileSinceItWasReadOrWritten)
{
    using State = IOManager::DiskState;
    const QByteArray text = "<?xml version=\"1.0\"?>\n<Media><Title>x</Title></Media>\n";
    const auto replace = [](const QString& path, const QByteArray& bytes) { // a new file in its place
        writeFile(path + ".new", bytes);
        ASSERT_TRUE(QFile::remove(path) && QFile::rename(path + ".new", path));
    };
    struct Row {
        const char* what;
        std::function<void(const QString&, const QByteArray&)> change;
        State fresh, backdated, written; // after a read within a tick of the file's last change, long after, after a write
    };
    const Row rows[] = {
        {"untouched", [](auto&, auto&) {}, State::Same, State::Same, State::Same},
        {"the same bytes", replace, State::Same, State::Changed, State::Same},
        {"other bytes of the same size",
         [&](const QString& p, QByteArray b) { replace(p, b.replace("<Title>x", "<Title>y")); }, State::Changed,
         State::Changed, State::Changed},
        {"removed", [](const QString& p, auto&) { QFile::remove(p); }, State::Gone, State::Gone, State::Gone},
    };
    for (const Row& row : rows) {
        for (const int how : {0, 1, 2}) {
            SCOPED_TRACE(std::string(row.what) + " " + std::to_string(how));
            const QString path = dir + QString("%1-%2.xml").arg(&row - rows).arg(how);
            xml::Document doc;
            if (how < 2) {
                writeFile(path, text);
                test::backdate(path, how == 0 ? -60 : 60); // ahead of the clock: within a tick however slow the test
                ASSERT_EQ(io.strOpen(doc, path), "");
            } else {
                ASSERT_TRUE(doc.loadXml(text));
                ASSERT_EQ(io.strSave(doc, path), "");
            }
            row.change(path, readFile(path));
            EXPECT_EQ(io.diskState(path), how == 0 ? row.fresh : how == 1 ? row.backdated : row.written);
        }
    }
    EXPECT_EQ(io.diskState(dir + "never.xml"), State::Unknown);
    writeFile(dir + "theirs.xml", "theirs");
    xml::Document doc;
    ASSERT_TRUE(doc.loadXml(text));
    EXPECT_EQ(io.strSave(doc, dir + "theirs.xml"), qt_error_string(EEXIST));
    EXPECT_EQ(readFile(dir + "theirs.xml"), "theirs");
}
