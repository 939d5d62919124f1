#include "DocumentShellSupport.h"

#include "document/Storage.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

using namespace vimra;
using namespace vimra::test;

namespace {

class DocumentTreeTest : public DocumentShellTest {
protected:
    void SetUp() override
    {
        DocumentShellTest::SetUp();
        writeFilm();
        open("Film.xml");
        w->show();
    }

    QTreeWidgetItem* root() const { return w->tvwMainTree->topLevelItem(0); }
    QTreeWidgetItem* version() const { return root()->child(0); }
    QTreeWidgetItem* media() const { return version()->child(0); }
    QTreeWidgetItem* storage() const { return media()->child(0); }

    static void key(QTreeWidget* tree, int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, code, modifiers);
        QApplication::sendEvent(tree, &press);
        QKeyEvent release(QEvent::KeyRelease, code, modifiers);
        QApplication::sendEvent(tree, &release);
    }
    QString enabling() const
    {
        QString out;
        for (const QAction* a : {w->mnuAddChild, w->mnuAddMainExpr->menuAction(), w->mnuAddMainVideo,
                                 w->mnuAddMainAudio, w->mnuAddMainTranscript, w->mnuEditMetadata})
            out += a->isEnabled() ? '1' : '0';
        return out;
    }
};

} // namespace

TEST_F(DocumentTreeTest, ClicksBuildTheExpressionTreeAndEnableTheEditMenu)
{
    EXPECT_EQ(enabling(), "111111");
    click(w->tvwMainTree, root(), Qt::LeftButton);
    EXPECT_EQ(w->tvwExpression->topLevelItemCount(), 0);

    click(w->tvwMainTree, version(), Qt::LeftButton);
    ASSERT_EQ(w->tvwExpression->topLevelItemCount(), 1);
    const QTreeWidgetItem* exprRoot = w->tvwExpression->topLevelItem(0);
    EXPECT_EQ(exprRoot->text(0), "First cut");
    EXPECT_EQ(exprRoot->data(0, frmMain::kKeyRole).toString(), "Version");
    EXPECT_EQ(exprRoot->data(0, frmMain::kPictureRole).toString(), "Version");
    EXPECT_EQ(enabling(), "101111");
    EXPECT_TRUE(popups.isEmpty());

    // A left click marks exactly that Storage; the document and a Media
    // change neither the mark nor the expression tree.
    const auto marks = [this] {
        QString out;
        for (int i = 0; i < media()->childCount(); ++i)
            out += std::dynamic_pointer_cast<Storage>(frmMain::objectOf(media()->child(i)))->bIsSelected() ? '1' : '0';
        return out;
    };
    EXPECT_EQ(marks(), "00");
    click(w->tvwMainTree, media()->child(0), Qt::LeftButton);
    EXPECT_EQ(marks(), "10");
    click(w->tvwMainTree, media()->child(1), Qt::LeftButton);
    EXPECT_EQ(marks(), "01");
    click(w->tvwMainTree, root(), Qt::LeftButton);
    click(w->tvwMainTree, media(), Qt::LeftButton);
    EXPECT_EQ(marks(), "01");
    ASSERT_EQ(w->tvwExpression->topLevelItemCount(), 1);
    EXPECT_EQ(w->tvwExpression->topLevelItem(0)->text(0), "First cut");

    // A right press selects its node before the menu pops up.
    click(w->tvwMainTree, storage(), Qt::RightButton);
    EXPECT_EQ(popups, QStringList({"mnuEdit"}));
    EXPECT_EQ(w->tvwMainTree->selectedItems(), QList<QTreeWidgetItem*>({storage()}));
    EXPECT_EQ(enabling(), "001111");
    EXPECT_TRUE(w->bMainTreeContext);

    w->mnuAddMainVideo->setEnabled(false);
    click(w->tvwExpression, w->tvwExpression->topLevelItem(0), Qt::RightButton);
    EXPECT_EQ(popups.size(), 2);
    EXPECT_EQ(enabling(), "011111");
    EXPECT_FALSE(w->bMainTreeContext);

    click(w->tvwMainTree, media(), Qt::LeftButton);
    EXPECT_EQ(enabling(), "101111");

    // A keyboard move after a press beside every node pops nothing up.
    const QPoint below(5, w->tvwMainTree->viewport()->height() - 2);
    QMouseEvent press(QEvent::MouseButtonPress, below, w->tvwMainTree->viewport()->mapToGlobal(below),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(w->tvwMainTree->viewport(), &press);
    w->tvwMainTree->setCurrentItem(media());
    key(w->tvwMainTree, Qt::Key_Down);
    EXPECT_EQ(w->tvwMainTree->currentItem(), storage());
    EXPECT_EQ(popups.size(), 2);
    EXPECT_EQ(enabling(), "001111");
}

TEST_F(DocumentTreeTest, DeletingAStorageRebuildsTheDocumentTreeAndEmptiesTheOther)
{
    click(w->tvwMainTree, root()->child(1), Qt::LeftButton); // shows "Second cut"
    ASSERT_EQ(w->tvwExpression->topLevelItemCount(), 1);

    w->tvwMainTree->setCurrentItem(root());
    key(w->tvwMainTree, Qt::Key_Delete);
    w->tvwMainTree->setCurrentItem(storage());
    key(w->tvwMainTree, Qt::Key_Delete, Qt::ShiftModifier);
    key(w->tvwMainTree, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(boxes.calls.empty());

    const QString title = storage()->text(0);
    boxes.answers = {Prompts::No};
    key(w->tvwMainTree, Qt::Key_Delete);
    ASSERT_EQ(boxes.messages(), QStringList({"Are you sure you want elminate the object " + title + " and all its childs?"}));
    EXPECT_EQ(boxes.calls[0].buttons, Prompts::YesNo);
    EXPECT_EQ(media()->childCount(), 2);

    boxes.answers = {Prompts::Yes};
    key(w->tvwMainTree, Qt::Key_Delete);
    EXPECT_EQ(media()->childCount(), 1);
    EXPECT_EQ(frmMain::objectOf(media()->child(0))->strGUID(), path("Film_files/s2.xml"));
    EXPECT_EQ(w->tvwExpression->topLevelItemCount(), 0);
    EXPECT_EQ(appState().objAVDoc->collObjects().Count(), 7); // the media-file objects stay
    EXPECT_TRUE(appState().objAVDoc->hasPendingRemovals());
    EXPECT_TRUE(QFile::exists(path("Film_files/s1.xml"))); // until the next save

    // Nothing selected: nothing asked.
    w->tvwMainTree->clearSelection();
    boxes.calls.clear();
    key(w->tvwMainTree, Qt::Key_Delete);
    EXPECT_TRUE(boxes.calls.empty());
}

TEST_F(DocumentTreeTest, NodeTitlesIconsAndEditMetadataFollowTheObjects)
{
    click(w->tvwMainTree, version(), Qt::LeftButton);
    const auto ver = frmMain::objectOf(version());
    ver->setStrTitle("Director's cut");
    w->UpdateNodeTitle(ver);
    EXPECT_EQ(version()->text(0), "Director's cut");
    ASSERT_EQ(w->tvwExpression->topLevelItemCount(), 1);
    EXPECT_EQ(w->tvwExpression->topLevelItem(0)->text(0), "Director's cut");

    ASSERT_EQ(w->imlTreeIcons.Count(), 15);
    w->imlTreeIcons.Add("/a/Film_files/video3.xml", QPixmap(32, 32), "keyframe");
    w->imlTreeIcons.Add("/a/Film_files/video4.xml", QPixmap(32, 32), "keyframe");
    w->RemoveIcon("/a/Film_files/VIDEO3.xml");
    EXPECT_EQ(w->imlTreeIcons.Count(), 17);
    w->RemoveIcon("/a/Film_files/video3.xml");
    EXPECT_FALSE(w->imlTreeIcons.Contains("/a/Film_files/video3.xml"));
    w->ResetListImageExpression();
    EXPECT_EQ(w->imlTreeIcons.Count(), 15);

    // Edit Metadata acts on the selected node of the tree last clicked.
    click(w->tvwMainTree, media(), Qt::LeftButton);
    w->mnuEditMetadata->trigger();
    w->mnuEditAttributes->trigger();
    EXPECT_EQ(editors.log, QStringList({"show DVD, tree 1", "dialog"}));

    // A failure inside the editor is shown, not fatal.
    editors.bThrowOnShow = true;
    w->mnuEditMetadata->trigger();
    EXPECT_EQ(boxes.messages(), QStringList({"collection index out of range"}));
    EXPECT_EQ(boxes.calls.back().icon, Prompts::Exclamation);
    EXPECT_NE(appState().objAVDoc, nullptr);
}

TEST_F(DocumentTreeTest, ReturnEditsAndTheMenuKeysOpenTheMenuOfTheFocusedTree)
{
    click(w->tvwMainTree, version(), Qt::LeftButton); // fills the expression tree
    QTreeWidgetItem* exprRoot = w->tvwExpression->topLevelItem(0);
    ASSERT_NE(exprRoot, nullptr);
    w->tvwExpression->setCurrentItem(exprRoot);

    // The key is the tree's, whichever tree was clicked last.
    w->tvwMainTree->setCurrentItem(media());
    key(w->tvwMainTree, Qt::Key_Return);
    key(w->tvwExpression, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(editors.log, QStringList({"show DVD, tree 1", "show First cut, tree 1"}));

    key(w->tvwMainTree, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(popups, QStringList({"mnuEdit"}));
    EXPECT_TRUE(w->bMainTreeContext);
    EXPECT_EQ(enabling(), "101111");

    // The Menu key reaches the focused tree as the platform's keyboard request.
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0), w->tvwExpression->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(w->tvwExpression, &menuKey);
    EXPECT_EQ(popups.size(), 2);
    EXPECT_FALSE(w->bMainTreeContext);
    EXPECT_EQ(enabling(), "011111");
    EXPECT_TRUE(boxes.calls.empty());
}
