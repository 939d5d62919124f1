#include "DocumentTestSupport.h"

#include "document/Media.h"
#include "document/Version.h"
#include "resources/MessageIds.h"

#include <QDirIterator>
#include <QMap>

using namespace vimra;
using namespace vimra::test;

namespace {

QString question(const QStringList& files)
{
    return text(msg::FilesChangedOnDisk) + "\n" + files.join("\n") + "\n\n" + text(msg::WriteOverChangedFiles);
}

// Every object's identifier and title, in no particular order.
QStringList contents(const AVDocument& doc)
{
    QStringList out;
    for (const auto& obj : doc.collObjects())
        out << obj->strGUID() + " " + obj->strTitle();
    out.sort();
    return out;
}

} // namespace

class DiskChangeTest : public DocumentTest {
protected:
    // Every file under the folder with its bytes.
    QMap<QString, QByteArray> files() const
    {
        QMap<QString, QByteArray> out;
        for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            out.insert(it.next(), readFile(it.filePath()));
        return out;
    }
    QString newest(const AVDocument& doc) const { return doc.colChilds().Item(doc.colChilds().Count())->strGUID(); }
    // Two documents opened from one folder stand in for two windows on it.
    void openTwice()
    {
        writeFixture();
        a = open("Film.xml");
        b = open("Film.xml");
    }
    std::shared_ptr<AVDocument> a, b;
};

// B is asked before it writes over what A saved: No writes nothing, Yes
// writes B's whole document; A is then asked in turn.
TEST_F(DiskChangeTest, SaveAsksBeforeWritingOverWhatAnotherWindowSaved)
{
    openTwice();
    a->AddChild("A's cut");
    b->setStrTitle("B's film");
    at<Version>(*b, 2)->AddChild("Blu-ray");
    ASSERT_TRUE(a->bSave());
    EXPECT_TRUE(prompts.calls.empty());
    const auto afterA = files();

    prompts.answers = {Prompts::No};
    EXPECT_FALSE(b->bSave());
    ASSERT_EQ(prompts.calls.size(), 1u);
    EXPECT_EQ(prompts.calls[0].text, question({path("Film.xml")}));
    EXPECT_EQ(prompts.calls[0].buttons, Prompts::YesNo);
    EXPECT_EQ(files(), afterA);
    EXPECT_TRUE(b->bAnyChanged());

    prompts.calls.clear();
    prompts.answers = {Prompts::Yes};
    ASSERT_TRUE(b->bSave());
    EXPECT_EQ(prompts.messages(), QStringList({question({path("Film.xml")})}));
    prompts.calls.clear();
    const auto reopened = open("Film.xml");
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_EQ(contents(*reopened), contents(*b));
    EXPECT_TRUE(contents(*reopened).join(",").contains("Blu-ray") && !contents(*reopened).join(",").contains("A's cut"));

    // B wrote the document and the Version that gained the Media.
    a->setStrTitle("A's film");
    prompts.answers = {Prompts::No};
    EXPECT_FALSE(a->bSave());
    EXPECT_EQ(prompts.messages(), QStringList({question({path("Film.xml"), path("Film_files/Film_version1.xml")})}));
}

// Both windows give their new Version the same free name; the one saved
// second takes another at its save and never writes over the first one's.
TEST_F(DiskChangeTest, NewObjectsOfTwoWindowsWriteDistinctFiles)
{
    openTwice();
    a->AddChild("A's cut");
    b->AddChild("B's cut");
    ASSERT_EQ(newest(*a), newest(*b));
    ASSERT_TRUE(a->bSave());
    ASSERT_TRUE(b->bSave()); // asked about the document's file, answered Yes
    EXPECT_EQ(prompts.messages(), QStringList({question({path("Film.xml")})}));
    EXPECT_EQ(newest(*b), path("Film_files/Film_version4.xml"));
    EXPECT_EQ(idsOf(*b, "expressedby").last(), newest(*b));
    EXPECT_TRUE(read("Film_files/Film_version3.xml").contains("A's cut"));
    prompts.calls.clear();
    const auto reopened = open("Film.xml");
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_EQ(newest(*reopened), newest(*b));
    EXPECT_EQ(reopened->colChilds().Item(3)->strTitle(), "B's cut");
}

// A folder replaced by an older copy while the document is open: the save
// names what the copy lacks or holds otherwise and, answered Yes, writes
// them all, so the document reopens whole.
TEST_F(DiskChangeTest, SaveOverAnOlderCopyOfTheFolderWritesTheWholeDocument)
{
    writeFixture();
    const QString older = path("older");
    QDir().mkpath(older + "/Film_files");
    for (const QString& name : QDir(path("Film_files")).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(path("Film_files/" + name), older + "/Film_files/" + name));
    ASSERT_TRUE(QFile::copy(path("Film.xml"), older + "/Film.xml"));
    const auto doc = open("Film.xml");
    doc->AddChild("New cut");
    ASSERT_TRUE(doc->bSave());

    ASSERT_TRUE(QDir(path("Film_files")).removeRecursively() && QFile::remove(path("Film.xml")));
    ASSERT_TRUE(QFile::rename(older + "/Film_files", path("Film_files")));
    ASSERT_TRUE(QFile::rename(older + "/Film.xml", path("Film.xml")));
    at<Version>(*doc, 2)->setStrTitle("Edited cut");
    ASSERT_TRUE(doc->bSave());
    ASSERT_EQ(prompts.calls.size(), 1u);
    for (const QString& file : {path("Film.xml"), path("Film_files/Film_version3.xml")})
        EXPECT_TRUE(prompts.calls[0].text.contains("\n" + file + "\n")) << file.toStdString();

    prompts.calls.clear();
    const auto reopened = open("Film.xml");
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_EQ(contents(*reopened), contents(*doc));
}
