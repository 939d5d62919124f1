#include "DocumentShellSupport.h"

#include "document/Version.h"
#include "records/IOManager.h"
#include "shell/Startup.h"
#include "support/AnswersAtOnce.h"

#include <QAction>
#include <QDirIterator>
#include <QProcess>

#include <sys/stat.h>

using namespace vimra;
using namespace vimra::test;

namespace {

class DocumentCommandsTest : public DocumentShellTest {
protected:
    std::shared_ptr<AVDocument> doc() const { return appState().objAVDoc; }
    std::shared_ptr<DocObject> object(int i) const
    {
        return std::dynamic_pointer_cast<DocObject>(doc()->collObjects().Item(i));
    }
};

} // namespace

TEST_F(DocumentCommandsTest, OpenFromTheFileMenuShowsTheDocumentTree)
{
    writeFilm();
    boxes.texts = {path("Film.xml")};
    w->mnuFileOpen->trigger();

    ASSERT_NE(doc(), nullptr);
    EXPECT_EQ(boxes.calls.front().kind, "open");
    EXPECT_EQ(boxes.calls.front().title, "Open");
    EXPECT_EQ(boxes.calls.front().text, "XML Files (*.xml);;All Files Files (*)");
    EXPECT_EQ(commands->strFileName(), path("Film.xml"));
    EXPECT_EQ(doc()->strGUID(), path("Film.xml"));
    EXPECT_EQ(QDir::currentPath(), m_dir.path());
    EXPECT_EQ(shape(w->tvwMainTree), QStringList({"Film [AVDocument/AVDocument]", "  First cut [Version/Version]",
                                                  "    DVD [Media/Media]", "      " + path("Film_files/clip.mpg") + " [Storage/ItemSel]",
                                                  "      " + path("Film_files/clip.mpg") + " [Storage/ItemSel]",
                                                  "  Second cut [Version/Version]"}));
    const QTreeWidgetItem* root = w->tvwMainTree->topLevelItem(0);
    EXPECT_EQ(root->data(0, frmMain::kKeyRole).toString(), "AVDoc");
    EXPECT_EQ(frmMain::objectOf(root), doc());
    EXPECT_EQ(root->child(0)->data(0, frmMain::kKeyRole).toString(), "");
    EXPECT_EQ(w->tvwMainTree->toolTip(), "AVDocument's Structure");
    EXPECT_EQ(w->tvwExpression->topLevelItemCount(), 0);
    EXPECT_TRUE(boxes.messages().isEmpty());

    // Cancelling the dialog keeps the document.
    boxes.texts = {""};
    w->mnuFileOpen->trigger();
    EXPECT_EQ(doc()->strGUID(), path("Film.xml"));
}

TEST_F(DocumentCommandsTest, QuotedCommandLineOpensTheDocumentWhateverTheExtensionsCase)
{
    writeFilm("My Film");
    QFile::rename(path("My Film.xml"), path("My Film.XML"));
    w.reset();
    const auto started = Main({"vimra", "\"" + path("My Film.XML") + "\""}, [this](frmMain& main) {
        editors.tree = main.tvwMainTree;
        commands = new DocumentCommands(main);
    });
    ASSERT_NE(doc(), nullptr);
    EXPECT_EQ(doc()->strTitle(), "My Film");
    EXPECT_EQ(started->tvwMainTree->topLevelItem(0)->text(0), "My Film");
    commands->CloseDocument(true);
    w = std::make_unique<frmMain>();
    commands = new DocumentCommands(*w);
}

TEST_F(DocumentCommandsTest, LinkFilesEndWithoutADocument)
{
    writeFilm();
    open("Film.xml");
    write("film.lnk", "  dm: 12 34 \r\nsecond line\n");
    commands->OpenFile(path("film.lnk"));
    EXPECT_EQ(doc(), nullptr);
    EXPECT_EQ(w->tvwMainTree->topLevelItemCount(), 0);
    EXPECT_EQ(boxes.messages(), QStringList({"No connection with Datamanager"}));

    boxes.calls.clear();
    write("empty.lnk", "   \n");
    commands->OpenFile(path("empty.lnk"));
    EXPECT_EQ(boxes.messages(), QStringList({"File not valid: " + path("empty.lnk")}));

    // A FIFO chosen as a link file is not waited on.
    boxes.calls.clear();
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.lnk")).constData(), 0600), 0);
    EXPECT_TRUE(test::bAnswersAtOnce({path("fifo.lnk")}, [&] { commands->OpenFile(path("fifo.lnk")); }));
    EXPECT_EQ(boxes.messages(), QStringList({"File not valid: " + path("fifo.lnk")}));

    boxes.calls.clear();
    commands->OpenFile(path("missing.lnk"));
    EXPECT_EQ(boxes.messages(), QStringList({"Could not find the object: " + path("missing.lnk"),
                                             "File not valid: " + path("missing.lnk")}));
    EXPECT_EQ(boxes.calls.front().icon, Prompts::Exclamation);
}

TEST_F(DocumentCommandsTest, AnObjectFileOpensItsDocumentAndShowsTheObjectFirst)
{
    writeFilm();
    commands->OpenFile(path("Film_files/s2.xml"));

    ASSERT_NE(doc(), nullptr);
    EXPECT_EQ(doc()->strGUID(), path("Film.xml"));
    EXPECT_EQ(QDir::currentPath(), m_dir.path());
    // Storage to Media to Version to document; the window shows before the tree exists.
    EXPECT_EQ(editors.log, QStringList({"show " + path("Film_files/clip.mpg") + ", tree 0"}));
    EXPECT_EQ(w->tvwMainTree->topLevelItem(0)->text(0), "Film");
    EXPECT_TRUE(boxes.messages().isEmpty()) << boxes.messages().join(" | ").toStdString();

    // A document file is not an object of one: the open error, no document.
    write("Lost.xml", "<?xml version=\"1.0\"?><Version><VersionTitle>Lost</VersionTitle></Version>");
    QString id = path("Lost.xml");
    commands->OpenDoc(id, true);
    EXPECT_EQ(doc(), nullptr);
    EXPECT_EQ(id, "");
    ASSERT_EQ(boxes.messages().size(), 1);
    EXPECT_EQ(boxes.calls.back().icon, Prompts::Exclamation);
}

TEST_F(DocumentCommandsTest, CloseQuestionCancelKeepsNoDiscardsAndDeletesNothing)
{
    writeFilm();
    open("Film.xml");
    // Nothing changed: no question.
    commands->CloseDocument(false);
    EXPECT_TRUE(boxes.calls.empty());

    open("Film.xml");
    std::dynamic_pointer_cast<Version>(object(2))->setStrTitle("Director's cut");
    boxes.answers = {Prompts::Cancel};
    w->close();
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "Save modifications Film?");
    EXPECT_EQ(boxes.calls[0].buttons, Prompts::YesNoCancel);
    EXPECT_EQ(boxes.calls[0].icon, Prompts::NoIcon);
    EXPECT_NE(doc(), nullptr);
    EXPECT_EQ(w->tvwMainTree->topLevelItemCount(), 1);

    // A removal alone is a change too; No drops it and leaves every file.
    commands->CloseDocument(true);
    open("Film.xml");
    const QByteArray before = read("Film_files/m1.xml");
    std::shared_ptr<RegistryItem> storage = doc()->collObjects().Item(4);
    doc()->RemoveObject(storage);
    boxes.calls.clear();
    boxes.answers = {Prompts::No};
    EXPECT_TRUE(commands->CloseDocument(false));
    EXPECT_EQ(boxes.messages(), QStringList({"Save modifications Film?"}));
    EXPECT_EQ(doc(), nullptr);
    EXPECT_EQ(w->tvwMainTree->topLevelItemCount(), 0);
    EXPECT_TRUE(QFile::exists(path("Film_files/s1.xml")));
    EXPECT_EQ(read("Film_files/m1.xml"), before);
}

TEST_F(DocumentCommandsTest, YesWithAFailingSaveKeepsTheDocumentAndStopsTheCommand)
{
    writeFilm();
    open("Film.xml");
    std::dynamic_pointer_cast<Version>(object(2))->setStrTitle("Director's cut");
    // Nothing can be written into the object folder once it is a plain file.
    QDir(path("Film_files")).removeRecursively();
    write("Film_files", "in the way");

    boxes.answers = {Prompts::Yes};
    commands->New();
    EXPECT_TRUE(boxes.messages().contains("One or more objects cannot be saved")) << boxes.messages().join(" | ").toStdString();
    ASSERT_NE(doc(), nullptr);
    EXPECT_EQ(doc()->strTitle(), "Film");
    EXPECT_TRUE(object(2)->bChanged());
    EXPECT_EQ(w->tvwMainTree->topLevelItem(0)->text(0), "Film");
}

TEST_F(DocumentCommandsTest, NewNeedsTheSchemaAndSavingItAsksForAName)
{
    QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat).remove("Vimra/XSDPath");
    w->mnuFileNew->trigger();
    EXPECT_EQ(boxes.messages(), QStringList({"I could not find the xml-schema of the document"}));
    EXPECT_EQ(boxes.calls[0].icon, Prompts::NoIcon);
    EXPECT_EQ(doc(), nullptr);
    EXPECT_EQ(w->tvwMainTree->topLevelItemCount(), 0);

    QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat)
        .setValue("Vimra/XSDPath", QStringLiteral(VIMRA_RESOURCES "/vimra.xsd"));
    writeFilm();
    open("Film.xml"); // the current folder becomes the document's
    QDir::setCurrent(QDir::rootPath());
    open("Film.xml");
    boxes.calls.clear();
    w->mnuFileNew->trigger();
    ASSERT_NE(doc(), nullptr);
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(doc()->strGUID(), path("AVDocument.xml"));
    EXPECT_EQ(shape(w->tvwMainTree), QStringList({"AVDocument [AVDocument/AVDocument]"}));
    EXPECT_FALSE(QFile::exists(path("AVDocument.xml")));

    // Save on a document never named asks where; Cancel changes nothing.
    boxes.texts = {""};
    w->mnuFileSave->trigger();
    EXPECT_EQ(boxes.saveProposals, QStringList({path("AVDocument")}));
    EXPECT_EQ(boxes.calls.back().title, "Save As");
    EXPECT_EQ(boxes.calls.back().text, "All Files (*.xml)");
    EXPECT_EQ(doc()->strTitle(), "AVDocument");
    EXPECT_FALSE(QFile::exists(path("AVDocument.xml")));

    // Quitting with it asks; Yes asks for a name as Save As does.
    boxes.answers = {Prompts::Yes};
    boxes.texts = {path("Fresh")};
    w->close();
    EXPECT_EQ(boxes.messages().first(), "Save modifications AVDocument?");
    EXPECT_EQ(doc(), nullptr);
    EXPECT_TRUE(QFile::exists(path("Fresh.xml")));
    EXPECT_FALSE(QFile::exists(path("AVDocument.xml")));

    // No name after Yes cancels the close; so does a save that fails.
    w->mnuFileNew->trigger();
    ASSERT_NE(doc(), nullptr);
    doc()->AddChild("Cut");
    const auto files = [this] {
        QStringList out;
        for (QDirIterator it(m_dir.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            out << it.next();
        out.sort();
        return out;
    };
    const QStringList before = files();
    boxes.calls.clear();
    boxes.answers = {Prompts::Yes};
    boxes.texts = {""};
    EXPECT_FALSE(w->close());
    EXPECT_EQ(boxes.messages(), QStringList({"Save modifications AVDocument?"}));
    ASSERT_NE(doc(), nullptr);
    EXPECT_EQ(files(), before);

    write("Blocked_files", "in the way");
    boxes.answers = {Prompts::Yes};
    boxes.texts = {path("Blocked")};
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(boxes.messages().contains("One or more objects cannot be saved"))
        << boxes.messages().join(" | ").toStdString();
    ASSERT_NE(doc(), nullptr);
    EXPECT_TRUE(doc()->isUntitled());
    EXPECT_EQ(doc()->strTitle(), "AVDocument"); // a failed save renames nothing
    EXPECT_EQ(doc()->colChilds().Count(), 1);
    EXPECT_FALSE(QFile::exists(path("Blocked.xml")));
}

TEST_F(DocumentCommandsTest, SaveAsWritesANewDocumentAndReopensIt)
{
    writeFilm();
    open("Film.xml");
    const QByteArray original = read("Film.xml");

    boxes.texts = {""};
    w->mnuFileSaveAs->trigger();
    EXPECT_EQ(boxes.saveProposals, QStringList({path("Film")}));
    EXPECT_EQ(doc()->strTitle(), "Film");

    // A failed save-as keeps the title unmarked, the edit and no file of the
    // copy; Save then writes the original.
    std::dynamic_pointer_cast<Version>(object(2))->setStrTitle("Director's cut");
    QDir().mkpath(path("out/Fail.xml")); // the document's own file cannot be written
    boxes.texts = {path("out/Fail.xml")};
    boxes.answers = {Prompts::Yes};
    w->mnuFileSaveAs->trigger();
    EXPECT_EQ(boxes.messages().value(1), "Could not write the file " + path("out/Fail.xml") + ": Is a directory");
    EXPECT_TRUE(doc()->strGUID() == path("Film.xml") && !doc()->bChanged() && object(2)->bChanged());
    EXPECT_FALSE(QFileInfo::exists(path("out/Fail_files")));
    w->mnuFileSave->trigger();
    EXPECT_TRUE(read("Film_files/v1.xml").contains("Director's cut"));
    EXPECT_EQ(read("Film.xml"), original);
    boxes.calls.clear();

    QDir().mkpath(path("out"));
    boxes.texts = {path("out/Copy")};
    w->mnuFileSaveAs->trigger();
    ASSERT_NE(doc(), nullptr) << boxes.messages().join(" | ").toStdString();
    EXPECT_EQ(doc()->strGUID(), path("out/Copy.xml"));
    EXPECT_TRUE(QFileInfo(path("out/Copy_files")).isDir());
    EXPECT_EQ(QDir(path("out/Copy_files")).entryList(QDir::Files).size(), 5);
    EXPECT_EQ(w->tvwMainTree->topLevelItem(0)->text(0), "Copy");
    EXPECT_EQ(shape(w->tvwMainTree).size(), 6);
    for (const auto& obj : doc()->collObjects())
        EXPECT_FALSE(obj->bChanged()) << obj->strGUID().toStdString();
    EXPECT_EQ(read("Film.xml"), original);

    // An existing file is replaced only when the user agrees.
    boxes.calls.clear();
    boxes.texts = {path("Film.xml")};
    boxes.answers = {Prompts::No};
    w->mnuFileSaveAs->trigger();
    EXPECT_EQ(boxes.messages(), QStringList({"Film.xml already exists.\nDo you want to replace it?"}));
    EXPECT_EQ(doc()->strTitle(), "Copy");
    EXPECT_EQ(read("Film.xml"), original);
}

TEST_F(DocumentCommandsTest, ExportShowsNoConnectionAndChangesNothing)
{
    writeFilm();
    open("Film.xml");
    std::dynamic_pointer_cast<Version>(object(2))->setStrTitle("Director's cut");
    const QByteArray storage = read("Film_files/s1.xml");

    w->mnuFile_Click();
    EXPECT_TRUE(w->mnuExportToDB->isEnabled());
    EXPECT_FALSE(w->mnuImportToFS->isEnabled());
    w->mnuExportToDB->trigger();

    EXPECT_EQ(boxes.messages(), QStringList({"No connection with Datamanager"}));
    ASSERT_NE(doc(), nullptr);
    EXPECT_EQ(object(4)->strTitle(), path("Film_files/clip.mpg"));
    EXPECT_TRUE(object(2)->bChanged());
    EXPECT_TRUE(doc()->io()->bFileSystem());
    EXPECT_EQ(read("Film_files/s1.xml"), storage);
    EXPECT_EQ(w->tvwMainTree->topLevelItemCount(), 1);
}

TEST_F(DocumentCommandsTest, AFileThatIsNoXmlShowsItsReasonOnce)
{
    write("Broken.xml", "<?xml version=\"1.0\"?>\n<AVDocument><Title>Cut</AVDocument>\n");
    write("Plain.xml", "just some text\n");
    for (const QString name : {"Broken.xml", "Plain.xml"}) {
        boxes.calls.clear();
        commands->OpenFile(path(name));
        EXPECT_EQ(doc(), nullptr);
        ASSERT_EQ(boxes.messages().size(), 1) << boxes.messages().join(" | ").toStdString();
        EXPECT_TRUE(boxes.messages()[0].startsWith("XML Parser: " + path(name) + ": ")) << boxes.messages()[0].toStdString();
        EXPECT_EQ(boxes.calls[0].icon, Prompts::Exclamation);
    }

    // With no schema in the settings neither a document nor an object inside
    // one opens, and the reason is said once.
    writeFilm();
    QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat).remove("Vimra/XSDPath");
    for (const QString name : {"Film.xml", "Film_files/s2.xml"}) {
        boxes.calls.clear();
        commands->OpenFile(path(name));
        EXPECT_EQ(doc(), nullptr);
        EXPECT_EQ(boxes.messages(), QStringList({"I could not find the xml-schema of the document"}));
    }
}

TEST_F(DocumentCommandsTest, OpeningWritesNothingAndTheStatusBarSaysWhatHappened)
{
    ASSERT_EQ(QProcess::execute("bash", {VIMRA_RESOURCES "/../scripts/make-sample.sh", path("sample")}), 0);
    const QString file = path("sample/Sample.xml");
    const auto folder = [&] {
        QStringList out;
        for (const QFileInfo& f : QDir(path("sample/Sample_files")).entryInfoList(QDir::Files, QDir::Name))
            out << f.fileName() + " " + QString::number(f.size()) + " " + f.lastModified().toString(Qt::ISODateWithMs);
        return out;
    };
    const QStringList before = folder();
    for (int i = 0; i < 2; ++i) { // nothing piles up either
        open("sample/Sample.xml");
        EXPECT_EQ(w->strStatusBarText(), "Document opened: " + file);
        commands->CloseDocument(true);
        EXPECT_EQ(folder(), before);
    }
    // A locked file: the save names what it could not write, and why.
    open("sample/Sample.xml");
    doc()->setStrTitle("Harbour at dusk");
    const bool locked = QProcess::execute("chattr", {"+i", file}) == 0;
    commands->Save();
    if (locked) {
        QProcess::execute("chattr", {"-i", file});
        EXPECT_EQ(boxes.messages(), QStringList({"Could not write the file " + file + ": Operation not permitted"}));
        EXPECT_EQ(w->strStatusBarText(), "Document not saved: " + file);
        commands->Save();
    }
    EXPECT_EQ(w->strStatusBarText(), "Document saved: " + file);
    EXPECT_EQ(folder().filter(".bmp").size(), 3); // the save moved the pictures in
}

// A save cancelled because another wrote the document's file says so in the status bar.
TEST_F(DocumentCommandsTest, CancelledSaveOverAChangedFileSaysTheDocumentWasNotSaved)
{
    writeFilm();
    open("Film.xml");
    doc()->setStrTitle("Mine");
    write("Film.xml", read("Film.xml").replace("<Title>Film</Title>", "<Title>Theirs</Title>"));
    boxes.answers = {Prompts::No};
    commands->Save();
    EXPECT_EQ(boxes.messages().size(), 1);
    EXPECT_EQ(w->strStatusBarText(), "Document not saved: " + path("Film.xml"));
}
