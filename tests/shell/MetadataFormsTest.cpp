#include "DocumentShellSupport.h"

#include "editor/EditorForms.h"
#include "shell/ObjectWindow.h"

#include <QAction>
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

    // Runs `act` on the modal window that `command` opens for the Storage.
    void run(QAction* command, const std::function<void(QDialog*)>& act)
    {
        click(w->tvwMainTree, storageNode(), Qt::LeftButton);
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

    ObjectWindowFactory expressionWindows;
    EditorForms forms{expressionWindows};
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
