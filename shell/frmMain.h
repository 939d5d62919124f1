#pragma once

#include "document/DocumentUi.h"
#include "shell/MainLayout.h"
#include "shell/PictureList.h"
#include "shell/TreeView.h"

#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

class QAction;
class QDialog;
class QFrame;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace vimra {

class AVDocument;
class ConnectionDialog;
class DocObject;
class Registry;
class SearchDialog;
class SearchResultDialog;
class frmSplash;

// Which of the storage-mode entries of the File menu can be chosen.
struct FileMenuEnabling {
    bool bExportToDB = false;
    bool bImportToFS = false;
    bool operator==(const FileMenuEnabling&) const = default;
};
FileMenuEnabling fileMenuEnabling(bool bDocumentCurrent, bool bFileSystem);

// What the keyframe icons were last brought into order against, so that the
// next time only the icons of what changed since are looked at: the
// document's identifiers changed since its registry's names stamp, the
// pictures dropped since the Videos' count, and the icons made since.
struct KeyframeIconsState {
    // False when every icon is to be looked at again.
    bool bKnown = false;
    std::weak_ptr<AVDocument> doc;
    quint64 iNames = 0;
    quint64 iDropped = 0;
    // The icon list's stamp as this window's own changes left it: another
    // change makes every icon to be looked at again.
    quint64 iList = 0;
    // Icons made since whose segments were not found at once.
    std::vector<QString> pending;
    // The main expressions of the icons' segments: when one is gone, so are
    // its segments' icons.
    std::unordered_map<const Expression*, std::weak_ptr<Expression>> mains;
};

// The program's one main window: the document tree and the expression tree
// side by side under their titles, a toolbar, a status bar and the menus
// through which every command starts. While it exists it is the document
// model's way up to the screen (status text, icons, node titles, trees).
class frmMain : public QMainWindow, public DocumentUi {
    Q_OBJECT
public:
    // The document commands plug in here. Unset, the command is not offered:
    // start-up opens no command-line file and closing drops the document.
    struct DocumentHooks {
        // Opens a document (".xml") or reads a link file (any other name).
        std::function<void(const QString& strFileName)> OpenFile;
        // Closes the current document, asking to save it first; false when
        // the user cancelled (the program then stays open).
        std::function<bool()> CloseDocument;
        // Whether the current document's store works on the file system;
        // unset, every document does.
        std::function<bool()> bFileSystem;
    };
    DocumentHooks documentHooks;

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The text of the status bar's first panel; the document model writes its
    // progress here while it opens and saves objects.
    QString strStatusBarText() const;
    void setStrStatusBarText(const QString& text) override;

    // The trees (DocumentTree.cpp). Each node carries the document object it
    // shows; kKeyRole holds a root's key, kPictureRole and kSelPictureRole
    // the keys of its pictures in imlTreeIcons.
    static constexpr int kObjectRole = Qt::UserRole;
    static constexpr int kKeyRole = Qt::UserRole + 1;
    static constexpr int kPictureRole = Qt::UserRole + 2;
    static constexpr int kSelPictureRole = Qt::UserRole + 3;
    static std::shared_ptr<DocObject> objectOf(const QTreeWidgetItem* node);
    // The tree's first selected node (none: nullptr) and the object it shows.
    static QTreeWidgetItem* selectedNode(const QTreeWidget* tree);
    static std::shared_ptr<DocObject> selectedObject(const QTreeWidget* tree);
    std::shared_ptr<DocObject> selectedObject(Tree tree) const;
    QTreeWidget* treeWidget(Tree tree) const;
    // Empties both trees (no node is then selected).
    void ClearTrees();
    // The first node, in the tree's order, that shows this very object.
    static QTreeWidgetItem* FindNodeByTag(const QTreeWidget* tree, const std::shared_ptr<DocObject>& obj);
    // Expands the node and every ancestor up to its root.
    static void ExpandNodeAndParents(QTreeWidgetItem* node);
    // Opens the tree down to the node showing obj; none shows it: nothing.
    void ExpandToObject(Tree tree, const std::shared_ptr<DocObject>& obj);

    // Rebuilds the document tree of the current document (none: nothing).
    void ShowAVDocTitle();
    void BuildDocumentTree();
    void BuildExpressionTree(const std::shared_ptr<Version>& ver);
    void ContexMenuManager(const std::shared_ptr<DocObject>& obj, bool bMainTree);
    // Enables each Add Main entry while the expression tree's Version has no
    // main expression of its kind; no Version shown: the entries stay.
    void UpdateAddMainEntries();
    void DeleteSelectedObject(QTreeWidget* tree);
    void AddSmallKeyFrame(const std::shared_ptr<Video>& video) override;
    // A segment's keyframe icon, made when a view first shows it: icons are
    // not made for a whole document at open.
    QPixmap SmallKeyFrame(const std::shared_ptr<Video>& video);
    void UpdateSmallKeyFrames() override;
    UiOwner* mainWindow() override { return this; }
    void ResetListImageExpression();
    void ResetTree(QTreeWidget* tree, const std::shared_ptr<Version>& ver);

    // DocumentUi.
    void RemoveIcon(const QString& strGUID) override;
    void UpdateNodeTitle(const std::shared_ptr<DocObject>& obj) override;
    void ResetTree(Tree tree, const std::shared_ptr<Version>& ver) override;
    // Puts the added segments' nodes at their places in the chain and drops
    // the removed ones' nodes; builds the tree again when the result would
    // differ from a rebuild.
    void SegmentsChanged(const std::shared_ptr<Expression>& expr,
                         const std::vector<std::shared_ptr<Expression>>& added,
                         const std::vector<std::shared_ptr<Expression>>& removed) override;

    // Handlers of the trees and of the Edit menu's first two entries.
    void tvwMainTree_MouseDown(int button);
    void tvwExpression_MouseDown(int button);
    void tvwMainTree_NodeClick(QTreeWidgetItem* node);
    void tvwExpression_NodeClick(QTreeWidgetItem* node);
    void tvw_KeyUp(QTreeWidget* tree, int key, Qt::KeyboardModifiers modifiers);
    // The Menu key or Shift+F10 on a tree: as a right click on its current node.
    void tvw_ContextKey(TreeView* tree);
    void mnuEditMetadata_Click();
    void mnuEditAttributes_Click();

    // Shows the Edit menu as the trees' popup; tests replace it, since the
    // menu's exec() waits for the user.
    std::function<void(QMenu* menu)> popupMenu;
    // Shows a dialog modally; tests replace it, as exec() waits for the user.
    std::function<void(QDialog* dialog)> execDialog;

    // File > Find, Options > Connection..., the help entries and About.
    void mnuFileFind_Click();
    void mnuConnection_Click();
    void mnuHelpContents_Click();
    void mnuHelpAbout_Click();
    // The dialogs the window keeps for the whole run.
    SearchDialog& searchDialog();
    SearchResultDialog& searchResultDialog();
    ConnectionDialog& connectionDialog();

    // Lays the panes out for splitter position x (twips); writes back the
    // clamped position.
    void SizeControls(double& x);
    const MainFrameLayout& frameLayout() const { return m_layout; }

    // The splash that the first timer tick unloads.
    void setSplash(frmSplash* splash);
    frmSplash* splash() const;

    // Handlers, as the user's actions reach them.
    void mnuFile_Click();
    void mnuLanguage_Click(int index);
    void tbToolBar_ButtonClick(const QString& key);
    void Timer1_Timer();
    void imgSplitter_MouseDown();
    void imgSplitter_MouseMove(double xTwips); // x within the handle
    void imgSplitter_MouseUp();

    // Controls.
    QToolBar* tbToolBar = nullptr;
    QWidget* picTitles = nullptr;
    std::array<QLabel*, 2> lblTitle{};
    TreeView* tvwMainTree = nullptr;
    TreeView* tvwExpression = nullptr;
    PictureList imlTreeIcons;
    // What frames every keyframe icon.
    const QImage ilFrame = redFramePicture();
    QWidget* imgSplitter = nullptr;
    QFrame* picSplitter = nullptr;
    QTimer* Timer1 = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileOpen = nullptr;
    QAction* mnuFileSave = nullptr;
    QAction* mnuFileSaveAs = nullptr;
    QAction* mnuFileFind = nullptr;
    QAction* mnuFileNew = nullptr;
    QAction* mnuImportToFS = nullptr;
    QAction* mnuExportToDB = nullptr;
    QAction* mnuFileClose = nullptr;

    QMenu* mnuEdit = nullptr; // also the trees' context menu
    QAction* mnuEditMetadata = nullptr;
    QAction* mnuEditAttributes = nullptr;
    QAction* mnuAddChild = nullptr;
    QMenu* mnuAddMainExpr = nullptr;
    QAction* mnuAddMainVideo = nullptr;
    QAction* mnuAddMainAudio = nullptr;
    QAction* mnuAddMainTranscript = nullptr;

    QMenu* mnuView = nullptr;
    QMenu* mnuTools = nullptr;
    QMenu* mnuLanguage = nullptr;
    // English, Italian, Dutch, German, French, CrossLanguage Disabled.
    std::array<QAction*, 6> mnuLanguageItems{};
    QMenu* mnuOptions = nullptr;
    QAction* mnuConnection = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpContents = nullptr;
    QAction* mnuHelpSearchForHelpOn = nullptr;
    QAction* mnuHelpAbout = nullptr;

    // Fields of the window.
    bool bMoving = false;
    int iMainTreeButton = -1;
    int iExpressionButton = 0;
    bool bMainTreeContext = false;
    // Whether a document tree (an expression tree) was ever built; never
    // cleared, as the roots' nodes are gone once a tree is emptied.
    bool bMainRootSet = false;
    bool bExpressionRootSet = false;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void buildPanes();
    void connectTrees();
    QTreeWidgetItem* addNode(QTreeWidget* tree, QTreeWidgetItem* parent,
                             const std::shared_ptr<DocObject>& obj, const QString& strPicture,
                             const QString& strSelPicture, const QString& strKey = QString());
    // Gives a new node obj's title and obj.
    static QTreeWidgetItem* setObject(QTreeWidgetItem* node, const std::shared_ptr<DocObject>& obj);
    // Gives a new node its key, its pictures' keys and `icon`, made of those pictures.
    static void setPictures(QTreeWidgetItem* node, const QString& strPicture, const QString& strSelPicture,
                            const QString& strKey, const QIcon& icon);
    // A node's icon: the picture, and the selected picture while it is selected.
    QIcon nodeIcon(const QString& strPicture, const QString& strSelPicture) const;
    // The icons of one build of the document tree, by picture and selected picture.
    using NodeIcons = std::map<std::pair<QString, QString>, QIcon>;
    void AddChildNodes(QTreeWidgetItem* node, NodeIcons& icons);
    // The segments of the node's expression in chain order, each with its
    // own below it; `visited` ends the walk on any cycle.
    void AddSubExpressionNodes(QTreeWidgetItem* node, std::unordered_set<const DocObject*>& visited);
    // A segment's node picture: its keyframe icon (made now if missing) or its class's.
    QString segmentPicture(const std::shared_ptr<Expression>& segment);
    bool bPlacedSegments(const Expression& expr, const Version& ver,
                         const std::vector<std::shared_ptr<Expression>>& added,
                         const std::vector<std::shared_ptr<Expression>>& removed);
    // Whether the node's children show expr's segments in chain order, as a
    // rebuild would; with `places`, where only the nodes of those objects
    // may differ from when it was so.
    bool bChainShown(const Expression& expr, const QTreeWidgetItem* node,
                     const std::vector<const DocObject*>* places = nullptr) const;
    // The same answer, where it was true when the link count was `iLinks`
    // and since then only the nodes of `places` (given by their objects)
    // may have a new node after them, nodes of the tree were only placed,
    // and no object was given another node: only the places, and those
    // whose links were set since, are looked at.
    bool bChainStillShown(const Expression& expr, const QTreeWidgetItem* node, quint64 iLinks,
                          std::vector<const DocObject*> places) const;
    // Notes that the node's children show its expression's chain now.
    void chainShown(const QTreeWidgetItem* node);
    QPixmap makeSmallKeyFrame(const Video& video) const;
    // The Videos whose keyframe icons were made, in registration order, and
    // what each icon was made from, found through the icons' keys; false
    // when a key names no single registered object (nothing is then told).
    bool bMadeByKeys(const Registry& registry, const QString& tag, std::vector<std::shared_ptr<Video>>& made,
                     std::vector<qint64>& madeFrom) const;
    // The keyframe icons brought into order by looking only at those whose
    // segments changed since the last time; false, with nothing changed,
    // when every icon must be looked at.
    bool bUpdatedChangedKeyframes(const std::shared_ptr<AVDocument>& doc);
    void updateAllKeyframes(const std::shared_ptr<AVDocument>& doc);
    // The key an icon of `video` made now is sorted by, when its segment is
    // what the next bringing into order finds under the key; 0, and looked
    // at again then, otherwise.
    quint64 iKeyframeSortKey(const Video& video, const QString& key);
    void keyframeIconsFrom(const std::shared_ptr<AVDocument>& doc);
    KeyframeIconsState m_keyframes;
    void forgetNodes(const QTreeWidgetItem* node);
    // The expression tree's node of each object, while the tree is as built:
    // emptied when anything else takes nodes out of it.
    QHash<const DocObject*, QTreeWidgetItem*> m_expressionNodes;
    bool m_bPlacingSegments = false;
    // The expression nodes whose children were found to show their chain,
    // with the link count then; emptied when the tree changes otherwise than
    // by placing segments.
    QHash<const QTreeWidgetItem*, quint64> m_chainsShown;
    // An object was given another node, or its node forgotten for another's,
    // while segments were placed.
    bool m_bNodesRemapped = false;
    void Form_Load();
    void nameForAssistiveTechnology();
    void Form_Resize();
    void Form_Unload();
    MainFrameMetrics metrics() const;
    void applyLayout();
    void updateClock();

    QWidget* m_panes = nullptr;
    QLabel* m_statusText = nullptr;
    QElapsedTimer m_statusPainted; // since the status text was last painted
    QLabel* m_statusDate = nullptr;
    QLabel* m_statusTime = nullptr;
    QTimer* m_clock = nullptr;
    MainFrameLayout m_layout;
    int m_iCheckedLanguage = 0;
    QPointer<frmSplash> m_splash;
    SearchDialog* m_searchDialog = nullptr;
    SearchResultDialog* m_searchResultDialog = nullptr;
    ConnectionDialog* m_connectionDialog = nullptr;
    // Where a menu opened from the keyboard shows: at its node, not the mouse.
    std::optional<QPoint> m_popupAt;
};

} // namespace vimra
