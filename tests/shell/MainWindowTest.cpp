#include "shell/frmMain.h"

#include "ShellTestSupport.h"
#include "document/AVDocument.h"
#include "shell/UserSettings.h"
#include "shell/WidgetPrompts.h"
#include "support/AnswersAtOnce.h"
#include "support/FakePrompts.h"
#include "support/HangBound.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTimer>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vimra;
using vimra::test::FakePrompts;

namespace {

class MainWindowTest : public vimra::test::ShellTest {};

// An empty document that is current; registered in its own registry, as an
// opened one is, so that only its release frees it.
std::shared_ptr<AVDocument> someDocument()
{
    auto doc = AVDocument::create();
    doc->collObjects().Add(doc);
    return doc;
}

} // namespace

TEST_F(MainWindowTest, LoadsLocalisedWithDefaultPlacement)
{
    frmMain w;
    EXPECT_EQ(w.windowTitle(), "vimra");
    // No saved placement: three quarters of the free screen, in its middle.
    const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(w.size(), free.size() * 3 / 4);
    EXPECT_LE((w.geometry().center() - free.center()).manhattanLength(), 1);
    EXPECT_EQ(w.lblTitle[0]->text(), "Bibliographic's data");
    EXPECT_EQ(w.lblTitle[1]->text(), "Multimedia data");
    EXPECT_EQ(w.mnuFile->title(), "&File");
    EXPECT_EQ(w.mnuFileSaveAs->text(), "Sav&e As...");
    EXPECT_EQ(w.mnuHelpAbout->text(), "&About ");
    EXPECT_EQ(w.mnuLanguageItems[5]->text(), "CrossLanguage Disabled");
    EXPECT_FALSE(w.mnuView->menuAction()->isEnabled());
    EXPECT_EQ(w.tbToolBar->actions().size(), 11);
    EXPECT_EQ(w.tbToolBar->actions()[6]->toolTip(), "Properties");
    EXPECT_EQ(w.strStatusBarText(), "Status");
    w.setStrStatusBarText("Opening object n. 3");
    EXPECT_EQ(w.strStatusBarText(), "Opening object n. 3");
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 2000);
}

TEST_F(MainWindowTest, PlacementIsReadAtLoadAndWrittenAtClose)
{
    SaveSetting("MainLeft", "1500");
    SaveSetting("MainTop", "3000");
    SaveSetting("MainWidth", "9000");
    SaveSetting("MainHeight", "7500");
    {
        frmMain w;
        EXPECT_EQ(w.geometry().size(), QSize(600, 500));
        EXPECT_EQ(w.pos(), QPoint(100, 200));
        w.show();
        w.move(30, 40);
        w.resize(500, 400);
        w.close();
    }
    EXPECT_EQ(GetSetting("MainLeft"), "450");
    EXPECT_EQ(GetSetting("MainTop"), "600");
    EXPECT_EQ(GetSetting("MainWidth"), "7500");
    EXPECT_EQ(GetSetting("MainHeight"), "6000");
    EXPECT_EQ(GetSetting("ViewMode"), "vimra");
}

TEST_F(MainWindowTest, ClosingMinimisedKeepsThePlacementButWritesViewMode)
{
    SaveSetting("MainWidth", "9000");
    frmMain w;
    w.showMinimized();
    w.resize(300, 300);
    w.close();
    EXPECT_EQ(GetSetting("MainWidth"), "9000");
    EXPECT_EQ(GetSetting("MainLeft"), "");
    EXPECT_EQ(GetSetting("ViewMode"), "vimra");
}

TEST_F(MainWindowTest, APlaceOffEveryScreenOpensAndClosesAsAFirstStart)
{
    QRect firstStart;
    {
        frmMain fresh;
        firstStart = fresh.geometry();
    }
    SaveSetting("MainLeft", "-27000"); // on a screen since unplugged
    SaveSetting("MainTop", "-18000");
    SaveSetting("MainHeight", "1e300");
    {
        frmMain w;
        EXPECT_EQ(w.geometry(), firstStart);
        w.show();
        w.close();
    }
    // What Close writes back is on the screen at the next start too.
    EXPECT_EQ(GetSetting("MainLeft"), QString::number(firstStart.x() * 15));
    EXPECT_EQ(GetSetting("MainHeight"), QString::number(firstStart.height() * 15));
}

TEST_F(MainWindowTest, ClosingDropsTheDocumentUnlessTheCloseQuestionIsCancelled)
{
    frmMain w;
    w.show();
    const auto doc = someDocument();
    appState().objAVDoc = doc;
    bool answer = false;
    int asked = 0;
    w.documentHooks.CloseDocument = [&] { ++asked; return answer; };
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(GetSetting("ViewMode"), ""); // nothing of the unload ran

    answer = true;
    EXPECT_TRUE(w.close());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(appState().objAVDoc, nullptr);
    EXPECT_TRUE(doc->collObjects().isEmpty());
    EXPECT_EQ(GetSetting("ViewMode"), "vimra");
}

TEST_F(MainWindowTest, WindowIsNeverNarrowerThanThreeThousandTwips)
{
    frmMain w;
    w.show();
    w.resize(50, 400);
    EXPECT_EQ(w.width(), 200);
}

TEST_F(MainWindowTest, TreesShareThePaneAreaAndEndAboveTheStatusBar)
{
    frmMain w;
    w.show();
    w.resize(600, 500);
    QApplication::processEvents();
    const QRect left = w.tvwMainTree->geometry();
    const QRect right = w.tvwExpression->geometry();
    EXPECT_EQ(left.right() + 1, right.left());
    EXPECT_LE(std::abs(left.width() - right.width()), 1);
    EXPECT_GT(left.height(), 300);
    const QPoint bottom = w.tvwMainTree->mapTo(&w, QPoint(0, w.tvwMainTree->height()));
    EXPECT_LE(bottom.y(), w.statusBar()->geometry().top());
    EXPECT_GE(w.lblTitle[0]->height(), w.lblTitle[0]->sizeHint().height());
}

TEST_F(MainWindowTest, SplitterDragHoldsTheBarAndDropsAtFifteenHundred)
{
    frmMain w;
    w.show();
    w.resize(600, 500);
    w.imgSplitter_MouseDown();
    EXPECT_TRUE(w.bMoving);
    EXPECT_TRUE(w.picSplitter->isVisible());
    w.imgSplitter_MouseMove(-w.frameLayout().imgSplitter.left + 200);
    EXPECT_EQ(w.frameLayout().picSplitter.left, 500);
    w.imgSplitter_MouseUp();
    EXPECT_FALSE(w.bMoving);
    EXPECT_FALSE(w.picSplitter->isVisible());
    EXPECT_EQ(w.frameLayout().imgSplitter.left, 1500);
    EXPECT_EQ(w.tvwMainTree->width(), 100);
}

TEST_F(MainWindowTest, SplitBarCanBeGrabbedWhereTheTreesMeetAfterEveryLayout)
{
    frmMain w;
    w.show();
    w.resize(600, 500);
    QApplication::processEvents();
    QWidget* panes = w.centralWidget();
    const auto handleAtTheMeeting = [&] {
        const QPoint meeting(w.tvwMainTree->geometry().right() + 1, w.tvwMainTree->geometry().center().y());
        return panes->childAt(meeting) == w.imgSplitter && panes->childAt(meeting + QPoint(4, 0)) == w.imgSplitter;
    };
    EXPECT_TRUE(handleAtTheMeeting());

    const int before = w.tvwMainTree->width();
    const QPoint grab(5, w.imgSplitter->height() / 2);
    QTest::mousePress(w.imgSplitter, Qt::LeftButton, {}, grab);
    QTest::mouseMove(w.imgSplitter, grab - QPoint(100, 0));
    QTest::mouseRelease(w.imgSplitter, Qt::LeftButton, {}, grab - QPoint(100, 0));
    EXPECT_FALSE(w.bMoving);
    EXPECT_EQ(w.tvwMainTree->width(), before - 95);
    EXPECT_TRUE(handleAtTheMeeting());

    w.resize(700, 500);
    QApplication::processEvents();
    EXPECT_TRUE(handleAtTheMeeting());
}

TEST_F(MainWindowTest, ControlsAreNamedAsAUserReadsThem)
{
    frmMain w;
    w.show();
    w.setStrStatusBarText("Opening object n. 3");
    EXPECT_EQ(w.tvwMainTree->accessibleName(), "Bibliographic's data");
    EXPECT_EQ(w.tvwExpression->accessibleName(), "Multimedia data");
    EXPECT_EQ(w.tbToolBar->widgetForAction(w.tbToolBar->actions()[6])->accessibleName(), "Properties");
    for (QWidget* c : w.findChildren<QWidget*>()) {
        if (qobject_cast<QTreeWidget*>(c) || qobject_cast<QLabel*>(c)
            || (qobject_cast<QToolButton*>(c) && c->isVisibleTo(&w))) {
            EXPECT_FALSE(c->accessibleName().isEmpty()) << c->metaObject()->className();
        }
    }
    EXPECT_EQ(w.statusBar()->findChildren<QLabel*>().first()->accessibleName(), "Opening object n. 3");
}

TEST_F(MainWindowTest, FileEntriesAnswerTheStandardKeys)
{
    frmMain w;
    QStringList triggered;
    for (QAction* a : {w.mnuFileFind, w.mnuHelpContents}) // no search or help window opens
        QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
    for (QAction* a : w.mnuFile->actions() + w.mnuHelp->actions())
        QObject::connect(a, &QAction::triggered, &w, [&, a] { triggered << a->objectName(); });
    // Ctrl+W is left to a document; Quit ends the window, shown again for each key.
    for (const QKeyCombination key : {Qt::CTRL | Qt::Key_O, Qt::CTRL | Qt::Key_S, Qt::CTRL | Qt::SHIFT | Qt::Key_S,
                                      Qt::CTRL | Qt::Key_W, Qt::CTRL | Qt::Key_F, QKeyCombination(Qt::Key_F1),
                                      Qt::CTRL | Qt::Key_Q}) {
        w.show();
        QApplication::setActiveWindow(&w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w, test::kHangMs));
        QTest::keyClick(&w, key.key(), key.keyboardModifiers());
    }
    EXPECT_EQ(triggered, QStringList({"mnuFileOpen", "mnuFileSave", "mnuFileSaveAs", "mnuFileFind", "mnuHelpContents",
                                      "mnuFileClose"}));
    EXPECT_FALSE(w.isVisible());
}

TEST_F(MainWindowTest, LanguageMenuChecksOneEntryAndWarnsWhenDisabling)
{
    FakePrompts boxes;
    frmMain w;
    auto& items = w.mnuLanguageItems;
    auto checked = [&] {
        QList<int> on;
        for (int k = 0; k < 6; ++k)
            if (items[size_t(k)]->isChecked())
                on << k;
        return on;
    };
    EXPECT_EQ(checked(), QList<int>{0});

    items[0]->trigger(); // the checked entry again
    EXPECT_EQ(checked(), QList<int>{0});
    EXPECT_EQ(appState().iCrossLanguage, 0);

    items[3]->trigger();
    EXPECT_EQ(checked(), QList<int>{3});
    EXPECT_EQ(appState().iCrossLanguage, 3);
    EXPECT_TRUE(boxes.calls.empty());

    items[5]->trigger();
    items[5]->trigger();
    EXPECT_EQ(checked(), QList<int>{5});
    EXPECT_EQ(appState().iCrossLanguage, 5);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, text(1164));
    EXPECT_EQ(boxes.calls[0].buttons, Prompts::OKOnly);
    EXPECT_EQ(boxes.calls[0].icon, Prompts::NoIcon);
}

TEST_F(MainWindowTest, FileMenuStorageEntriesFollowTheCurrentDocument)
{
    EXPECT_EQ(fileMenuEnabling(false, true), (FileMenuEnabling{false, false}));
    EXPECT_EQ(fileMenuEnabling(true, true), (FileMenuEnabling{true, false}));
    EXPECT_EQ(fileMenuEnabling(true, false), (FileMenuEnabling{false, true}));

    frmMain w;
    emit w.mnuFile->aboutToShow();
    EXPECT_FALSE(w.mnuExportToDB->isEnabled());
    EXPECT_FALSE(w.mnuImportToFS->isEnabled());

    const auto doc = someDocument();
    appState().objAVDoc = doc;
    emit w.mnuFile->aboutToShow();
    EXPECT_TRUE(w.mnuExportToDB->isEnabled());
    EXPECT_FALSE(w.mnuImportToFS->isEnabled());
    EXPECT_TRUE(w.mnuFileOpen->isEnabled());

    w.documentHooks.bFileSystem = [] { return false; };
    emit w.mnuFile->aboutToShow();
    EXPECT_FALSE(w.mnuExportToDB->isEnabled());
    EXPECT_TRUE(w.mnuImportToFS->isEnabled());
    appState().objAVDoc.reset();
    doc->release();
}

TEST_F(MainWindowTest, ToolbarButtonsShowTheirPlaceholdersOnly)
{
    FakePrompts boxes;
    frmMain w;
    for (QAction* a : w.tbToolBar->actions())
        a->trigger();
    EXPECT_EQ(boxes.messages(),
              QStringList({"Add 'Back' button code.", "Add 'Forward' button code.",
                           "Add 'mnuEditCut_Click' code.", "Add 'mnuEditCopy_Click' code.",
                           "Add 'mnuEditPaste_Click' code.", "Add 'mnuFileDelete_Click' code.",
                           "Add 'mnuFileProperties_Click' code."}));
    EXPECT_EQ(boxes.calls[2].title, "vimra");
    EXPECT_EQ(appState().objAVDoc, nullptr);
}

// A title read from a document may hold markup: the status bar and the
// message boxes show it as written and read no file it names.
TEST_F(MainWindowTest, TitlesShowAsWrittenAndReadNothingTheyName)
{
    QTemporaryDir tmp;
    const QString fifo = tmp.filePath("fifo"), title = "Opening object <img src=\"" + fifo + "\">";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    frmMain w;
    w.show();
    EXPECT_TRUE(vimra::test::bAnswersAtOnce({fifo}, [&] {
        w.setStrStatusBarText(title);
        w.grab();
        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        WidgetPrompts().MsgBox(title, Prompts::OKOnly, Prompts::NoIcon, QString());
    }));
}
