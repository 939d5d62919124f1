#include "DocumentTestSupport.h"

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
};

// B is asked before it writes over what A saved: No writes nothing, Yes
// writes B's whole document, its new Version under a name A's did not take;
// A is then asked in turn.
TEST_F(DiskChangeTest, SaveAsksBeforeWritingOverWhatAnotherWindowSaved)
{
    writeFixture();
    const auto a = open("Film.xml"), b = open("Film.xml"); // two windows on one document
    a->AddChild("A's cut");
    b->setStrTitle("B's film");
    b->AddChild("B's cut");
    at<Version>(*b, 2)->AddChild("Blu-ray");
    ASSERT_EQ(newest(*a), newest(*b));
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
    EXPECT_EQ(newest(*b), path("Film_files/Film_version4.xml"));
    EXPECT_EQ(idsOf(*b, "expressedby").last(), newest(*b));
    EXPECT_TRUE(read("Film_files/Film_version3.xml").contains("A's cut"));
    prompts.calls.clear();
    EXPECT_EQ(contents(*open("Film.xml")), contents(*b));
    EXPECT_TRUE(prompts.calls.empty());

    // B wrote the document and the Version that gained the Media.
    a->setStrTitle("A's film");
    prompts.answers = {Prompts::No};
    EXPECT_FALSE(a->bSave());
    EXPECT_EQ(prompts.messages(), QStringList({question({path("Film.xml"), path("Film_files/Film_version1.xml")})}));
}

// A folder replaced by an older copy while the document is open: the save
// names what the copy lacks or holds otherwise and writes them all.
TEST_F(DiskChangeTest, SaveOverAnOlderCopyOfTheFolderWritesTheWholeDocument)
{
    writeFixture();
    const auto older = files();
    const auto doc = open("Film.xml");
    doc->AddChild("New cut");
    ASSERT_TRUE(doc->bSave());

    ASSERT_TRUE(QDir(path("Film_files")).removeRecursively() && QFile::remove(path("Film.xml")));
    for (auto file = older.begin(); file != older.end(); ++file)
        if (file.key().startsWith(path("Film"))) { // not the schema
            ASSERT_NO_FATAL_FAILURE(writeFile(file.key(), file.value()));
        }
    at<Version>(*doc, 2)->setStrTitle("Edited cut");
    ASSERT_TRUE(doc->bSave());
    ASSERT_EQ(prompts.calls.size(), 1u);
    for (const QString& file : {path("Film.xml"), path("Film_files/Film_version3.xml")})
        EXPECT_TRUE(prompts.calls[0].text.contains("\n" + file + "\n")) << file.toStdString();
    prompts.calls.clear();
    EXPECT_EQ(contents(*open("Film.xml")), contents(*doc));
    EXPECT_TRUE(prompts.calls.empty());
}
