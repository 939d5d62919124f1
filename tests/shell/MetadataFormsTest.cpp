#include "DocumentShellSupport.h"

#include "editor/EditorForms.h"
#include "editor/ctlSetOfStringCL.h"
#include "records/ThematicKeywords.h"
#include "segments/VideoForm.h"
#include "support/HangBound.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace vimra;
using namespace vimra::test;

namespace {

// The main window with the metadata forms installed as the program has them.
class MetadataFormsTest : public DocumentShellTest {
protected:
    void SetUp() override
    {
        DocumentShellTest::SetUp();
        setEditorFactory(&forms);
        writeFilm();
        open("Film.xml");
        w->show();
    }

    QTreeWidgetItem* storageNode() const { return w->tvwMainTree->topLevelItem(0)->child(0)->child(0)->child(0); }

    // Runs `act` on the modal window that `command` opens for the Storage
    // (or the given node).
    void run(QAction* command, const std::function<void(QDialog*)>& act, QTreeWidgetItem* node = nullptr)
    {
        click(w->tvwMainTree, node ? node : storageNode(), Qt::LeftButton);
        bool bShown = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(window);
            bShown = true;
            act(window);
        });
        command->trigger();
        EXPECT_TRUE(bShown);
    }

    VideoForms expressionEditors;
    EditorForms forms{expressionEditors};
};

} // namespace

TEST_F(MetadataFormsTest, EditedTitleIsShownSavedAndReopenedThenAssignedFieldsRebuildTheForm)
{
    const QString moved = path("Film_files/moved.mpg");
    run(w->mnuEditMetadata, [&](QDialog* form) {
        EXPECT_EQ(form->objectName(), "StorageForm");
        QPlainTextEdit* collocation = nullptr;
        for (auto* box : form->findChildren<QPlainTextEdit*>())
            if (box->accessibleName() == "Collocation")
                collocation = box;
        ASSERT_TRUE(collocation);
        collocation->setPlainText(moved);
        form->findChild<QPushButton*>("OKButt")->click();
    });
    EXPECT_EQ(storageNode()->text(0), moved);

    w->mnuFileSave->trigger();
    commands->CloseDocument(true);
    open("Film.xml");
    EXPECT_EQ(storageNode()->text(0), moved);

    run(w->mnuEditAttributes, [](QDialog* dialog) {
        EXPECT_EQ(dialog->objectName(), "AVDocSchemaDialog");
        auto* list = dialog->findChild<QTreeWidget*>("ListView1");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(1) == "CopyNumber")
                list->topLevelItem(i)->setCheckState(0, Qt::Checked);
        dialog->findChild<QPushButton*>("OKButton")->click();
    });
    run(w->mnuEditMetadata, [](QDialog* form) {
        QStringList names;
        for (auto* box : form->findChildren<QPlainTextEdit*>())
            names << box->accessibleName();
        EXPECT_TRUE(names.contains("CopyNumber")) << names.join(", ").toStdString();
        form->findChild<QPushButton*>("CancelButt")->click();
    });
    EXPECT_TRUE(boxes.messages().isEmpty()) << boxes.messages().join(" | ").toStdString();
}

TEST_F(MetadataFormsTest, SampleThemesAreEditedInItalianAndSavedInEnglish)
{
    auto vocabulary = std::make_shared<TolvThematicKeywords>();
    ASSERT_TRUE(vocabulary->bSetFromXMLFile(VIMRA_RESOURCES "/ThematicKeywords.xml"));
    appState().objThematicKeywords = vocabulary;
    write("sample/sample-clip.mpg", "not really a clip"); // the script keeps a clip it finds
    QProcess script;
    script.start("bash", {VIMRA_RESOURCES "/../scripts/make-sample.sh", path("sample")});
    ASSERT_TRUE(script.waitForFinished(test::kHangMs) && script.exitCode() == 0);
    commands->CloseDocument(true);
    open("sample/Sample.xml");
    const auto named = [](QDialog* form, const char* name) {
        for (auto* c : form->findChildren<QWidget*>())
            if (c->accessibleName() == name)
                return c;
        throw std::runtime_error(name);
    };

    w->mnuLanguageItems[1]->trigger();
    run(w->mnuEditMetadata, [&](QDialog* form) {
        EXPECT_EQ(qobject_cast<QComboBox*>(named(form, "Themes"))->currentText(), "Arte e cultura");
        EXPECT_EQ(qobject_cast<QComboBox*>(named(form, "Subthemes"))->currentText(), "Musica");
        auto* keywords = qobject_cast<ctlSetOfStringCL*>(named(form, "ThematicKeywords"));
        ASSERT_TRUE(keywords);
        EXPECT_EQ(keywords->Count(), 1);
        EXPECT_EQ(keywords->comboBox(1)->currentText(), "Musica classica");
        form->findChild<QPushButton*>("OKButt")->click();
    }, w->tvwMainTree->topLevelItem(0));
    w->mnuFileSave->trigger();
    const QByteArray saved = read("sample/Sample.xml");
    for (const char* stored : {"<Themes>Arts and Culture</Themes>", "<Subthemes>Music</Subthemes>",
                               "<StringItem>Classical music</StringItem>"})
        EXPECT_TRUE(saved.contains(stored)) << stored;

    commands->CloseDocument(true);
    open("sample/Sample.xml");
    w->mnuLanguageItems[5]->trigger();
    run(w->mnuEditMetadata, [&](QDialog* form) {
        EXPECT_EQ(qobject_cast<QPlainTextEdit*>(named(form, "Themes"))->toPlainText(), "Arts and Culture");
        EXPECT_EQ(qobject_cast<QPlainTextEdit*>(named(form, "Subthemes"))->toPlainText(), "Music");
        EXPECT_EQ(qobject_cast<ctlSetOfString*>(named(form, "ThematicKeywords"))->textBox(1)->text(),
                  "Classical music");
        form->findChild<QPushButton*>("CancelButt")->click();
    }, w->tvwMainTree->topLevelItem(0));
    EXPECT_EQ(boxes.messages().size(), 1); // the warning that disabling gives
}
