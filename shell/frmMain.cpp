#include "shell/frmMain.h"

#include "document/AVDocument.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "shell/ConnectionDialog.h"
#include "shell/Icons.h"
#include "shell/SearchDialog.h"
#include "shell/frmAbout.h"
#include "widgets/LocalizeForm.h"
#include "shell/TreeView.h"
#include "shell/UserSettings.h"
#include "shell/WindowPlace.h"
#include "shell/frmSplash.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDate>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

namespace vimra {

namespace {

const char* const kToolbarKeys[] = {"Back",       "Forward",          "Cut",
                                    "Copy",       "Paste",            "Delete",
                                    "Properties", "View Large Icons", "View Small Icons",
                                    "View List",  "View Details"};

// The platform's keys for a standard command; a desktop without a theme of
// its own has none for some (Save As, Quit), and then the usual one serves.
QList<QKeySequence> standardKeys(QKeySequence::StandardKey key, QKeyCombination usual)
{
    const QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    return keys.isEmpty() ? QList<QKeySequence>{QKeySequence(usual)} : keys;
}

QAction* addEntry(QMenu* menu, const char* name, int captionId)
{
    QAction* action = menu->addAction(QString::number(captionId));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenu* addMenu(QWidget* parent, QMenuBar* bar, const char* name, int captionId)
{
    auto* menu = new QMenu(QString::number(captionId), parent);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    bar->addMenu(menu);
    return menu;
}

QMenu* addSubmenu(QMenu* parent, const char* name, int captionId)
{
    QMenu* menu = parent->addMenu(QString::number(captionId));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

// A status panel is read by its text, so its accessible name follows it.
void showInPanel(QLabel* panel, const QString& textValue)
{
    panel->setText(textValue);
    panel->setAccessibleName(textValue);
}

QLabel* statusPanel(const QString& textValue)
{
    auto* label = new QLabel;
    // Status texts carry titles read from the document: markup in them is
    // shown as written, never rendered (an image would be read from disk).
    label->setTextFormat(Qt::PlainText);
    showInPanel(label, textValue);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setContentsMargins(4, 0, 4, 0);
    return label;
}

} // namespace

FileMenuEnabling fileMenuEnabling(bool bDocumentCurrent, bool bFileSystem)
{
    if (!bDocumentCurrent)
        return {};
    return {bFileSystem, !bFileSystem};
}

frmMain::frmMain(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("vimra"));
    setWindowIcon(QIcon(vimraLogo(64)));
    setMinimumWidth(twipsToPixels(kMinimumWindowWidth));

    for (const QString& key : treePictureKeys())
        imlTreeIcons.Add(key, treePicture(key));
    popupMenu = [this](QMenu* menu) { menu->exec(m_popupAt.value_or(QCursor::pos())); };
    execDialog = [](QDialog* dialog) { dialog->exec(); };

    buildMenus();
    buildToolbar();
    buildPanes();
    buildStatusBar();
    connectTrees();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2000);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);

    Form_Load();
    setDocumentUi(this);
}

frmMain::~frmMain()
{
    if (&documentUi() == this)
        setDocumentUi(nullptr);
    // The trees outlive this part of the window: their nodes go after the node index.
    tvwExpression->model()->disconnect(this);
}

void frmMain::buildMenus()
{
    QMenuBar* bar = menuBar();

    mnuFile = addMenu(this, bar, "mnuFile", 1000);
    mnuFileOpen = addEntry(mnuFile, "mnuFileOpen", 1001);
    mnuFileSave = addEntry(mnuFile, "mnuFileSave", 1080);
    mnuFileSaveAs = addEntry(mnuFile, "mnuFileSaveAs", 1130);
    mnuFileFind = addEntry(mnuFile, "mnuFileFind", 1002);
    mnuFile->addSeparator();
    mnuFileNew = addEntry(mnuFile, "mnuFileNew", 1004);
    mnuFileNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuImportToFS = addEntry(mnuFile, "mnuImportToFS", 1167);
    mnuExportToDB = addEntry(mnuFile, "mnuExportToDB", 1165);
    mnuFile->addSeparator();
    mnuFileClose = addEntry(mnuFile, "mnuFileClose", 1008);
    // The platform's own keys. Closing the window ends the program, so the
    // entry answers Quit only: a user presses Ctrl+W to close a document.
    mnuFileOpen->setShortcuts(standardKeys(QKeySequence::Open, Qt::CTRL | Qt::Key_O));
    mnuFileSave->setShortcuts(standardKeys(QKeySequence::Save, Qt::CTRL | Qt::Key_S));
    mnuFileSaveAs->setShortcuts(standardKeys(QKeySequence::SaveAs, Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    mnuFileClose->setShortcuts(standardKeys(QKeySequence::Quit, Qt::CTRL | Qt::Key_Q));
    mnuFileFind->setShortcuts(standardKeys(QKeySequence::Find, Qt::CTRL | Qt::Key_F));
    connect(mnuFile, &QMenu::aboutToShow, this, &frmMain::mnuFile_Click);
    connect(mnuFileClose, &QAction::triggered, this, &QWidget::close);

    mnuEdit = addMenu(this, bar, "mnuEdit", 1009);
    mnuEditMetadata = addEntry(mnuEdit, "mnuEditMetadata", 1085);
    mnuEditAttributes = addEntry(mnuEdit, "mnuEditAttributes", 1084);
    mnuAddChild = addEntry(mnuEdit, "mnuAddChild", 1105);
    mnuAddMainExpr = addSubmenu(mnuEdit, "mnuAddMainExpr", 1115);
    mnuAddMainVideo = addEntry(mnuAddMainExpr, "mnuAddMainVideo", 1111);
    mnuAddMainAudio = addEntry(mnuAddMainExpr, "mnuAddMainAudio", 1116);
    mnuAddMainTranscript = addEntry(mnuAddMainExpr, "mnuAddMainTranscript", 1117);

    // Offered disabled, as designed: none of its entries can be chosen.
    mnuView = addMenu(this, bar, "mnuView", 1017);
    QAction* toolbarEntry = addEntry(mnuView, "mnuViewToolbar", 1018);
    QAction* statusBarEntry = addEntry(mnuView, "mnuViewStatusBar", 1019);
    for (QAction* a : {toolbarEntry, statusBarEntry}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    mnuView->addSeparator();
    addEntry(mnuView, "mnuListViewMode0", 1020);
    addEntry(mnuView, "mnuListViewMode1", 1021);
    addEntry(mnuView, "mnuListViewMode2", 1022);
    addEntry(mnuView, "mnuListViewMode3", 1023);
    mnuView->addSeparator();
    addEntry(mnuView, "mnuViewArrangeIcons", 1024);
    mnuView->addSeparator();
    addEntry(mnuView, "mnuViewRefresh", 1025);
    addEntry(mnuView, "mnuViewOptions", 1026);
    addEntry(mnuView, "mnuViewWebBrowser", 1027);
    mnuView->menuAction()->setEnabled(false);

    mnuTools = addMenu(this, bar, "mnuTools", 1028);
    mnuLanguage = addSubmenu(mnuTools, "mnuLanguage", 1140);
    const char* const languageNames[] = {"mnuEnglish", "mnuItalian", "mnuDutch",
                                         "mnuGerman",  "mnuFrench",  "mnuCLDisabled"};
    const int languageIds[] = {1141, 1142, 1143, 1144, 1145, 1163};
    for (int k = 0; k < 6; ++k) {
        QAction* a = addEntry(mnuLanguage, languageNames[k], languageIds[k]);
        a->setCheckable(true);
        a->setChecked(k == 0);
        connect(a, &QAction::triggered, this, [this, k] { mnuLanguage_Click(k); });
        mnuLanguageItems[size_t(k)] = a;
    }

    mnuOptions = addMenu(this, bar, "mnuOptions", 1174);
    mnuConnection = addEntry(mnuOptions, "mnuConnection", 1175);

    mnuHelp = addMenu(this, bar, "mnuHelp", 1036);
    mnuHelpContents = addEntry(mnuHelp, "mnuHelpContents", 1037);
    mnuHelpContents->setShortcuts(standardKeys(QKeySequence::HelpContents, Qt::Key_F1));
    mnuHelpSearchForHelpOn = addEntry(mnuHelp, "mnuHelpSearchForHelpOn", 1038);
    mnuHelp->addSeparator();
    mnuHelpAbout = addEntry(mnuHelp, "mnuHelpAbout", 1039);

    connect(mnuFileFind, &QAction::triggered, this, &frmMain::mnuFileFind_Click);
    connect(mnuConnection, &QAction::triggered, this, &frmMain::mnuConnection_Click);
    connect(mnuHelpContents, &QAction::triggered, this, &frmMain::mnuHelpContents_Click);
    connect(mnuHelpSearchForHelpOn, &QAction::triggered, this, &frmMain::mnuHelpContents_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
}

void frmMain::buildToolbar()
{
    tbToolBar = addToolBar(QStringLiteral("tbToolBar"));
    tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    tbToolBar->setMovable(false);
    tbToolBar->setFloatable(false);
    tbToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    tbToolBar->toggleViewAction()->setVisible(false);
    tbToolBar->setIconSize(QSize(20, 20));
    const int tooltipIds[] = {1040, 1041, 1042, 1043, 1044, 1045, 1046, 1047, 1048, 1049, 1050};
    for (int i = 0; i < 11; ++i) {
        const QString key = QString::fromLatin1(kToolbarKeys[i]);
        QAction* a = tbToolBar->addAction(toolbarIcon(key), key);
        a->setObjectName(key);
        a->setToolTip(QString::number(tooltipIds[i]));
        connect(a, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
    }
}

void frmMain::buildPanes()
{
    m_panes = new QWidget(this);
    m_panes->setObjectName(QStringLiteral("panes"));
    setCentralWidget(m_panes);
    m_panes->installEventFilter(this);

    picTitles = new QWidget(m_panes);
    picTitles->setObjectName(QStringLiteral("picTitles"));
    lblTitle[0] = new QLabel(QStringLiteral(" TreeView:"), picTitles);
    lblTitle[0]->setObjectName(QStringLiteral("lblTitle0"));
    setTag(lblTitle[0], QStringLiteral("1051"));
    lblTitle[1] = new QLabel(QStringLiteral(" ListView:"), picTitles);
    lblTitle[1]->setObjectName(QStringLiteral("lblTitle1"));
    setTag(lblTitle[1], QStringLiteral("1052"));
    for (QLabel* l : lblTitle)
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    tvwMainTree = new TreeView(m_panes);
    tvwMainTree->setObjectName(QStringLiteral("tvwMainTree"));
    tvwExpression = new TreeView(m_panes);
    tvwExpression->setObjectName(QStringLiteral("tvwExpression"));
    for (QTreeWidget* tree : {tvwMainTree, tvwExpression}) {
        tree->setHeaderHidden(true);
        tree->setIconSize(QSize(32, 32));
        // Long titles (a Storage's collocation is a path) scroll rather than
        // being cut short.
        tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        tree->header()->setStretchLastSection(false);
    }

    // Made after the trees so that it lies above them: every layout puts it
    // where they meet, and there it must take the mouse.
    imgSplitter = new QWidget(m_panes);
    imgSplitter->setObjectName(QStringLiteral("imgSplitter"));
    imgSplitter->setCursor(Qt::SizeHorCursor);
    imgSplitter->setAutoFillBackground(true);
    imgSplitter->installEventFilter(this);

    picSplitter = new QFrame(m_panes);
    picSplitter->setObjectName(QStringLiteral("picSplitter"));
    picSplitter->setAutoFillBackground(true);
    QPalette grey = picSplitter->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    picSplitter->setPalette(grey);
    picSplitter->hide();
}

void frmMain::buildStatusBar()
{
    m_statusText = statusPanel(QStringLiteral("Status"));
    m_statusDate = statusPanel(QString());
    m_statusTime = statusPanel(QString());
    statusBar()->setObjectName(QStringLiteral("sbStatusBar"));
    statusBar()->addWidget(m_statusText, 1);
    statusBar()->addPermanentWidget(m_statusDate);
    statusBar()->addPermanentWidget(m_statusTime);
    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &frmMain::updateClock);
    m_clock->start();
    updateClock();
}

void frmMain::updateClock()
{
    const QLocale locale;
    showInPanel(m_statusDate, locale.toString(QDate::currentDate(), QLocale::ShortFormat));
    showInPanel(m_statusTime, locale.toString(QTime::currentTime(), QLocale::ShortFormat));
}

void frmMain::Form_Load()
{
    LocalizeForm(this);

    RestoreMainWindowPlace(*this);

    lblTitle[0]->setText(text(msg::BibliographicData));
    lblTitle[1]->setText(text(msg::MultimediaData));
    nameForAssistiveTechnology();
    iMainTreeButton = -1;

    Timer1->start();
}

void frmMain::nameForAssistiveTechnology()
{
    // Each control is named by what a user reads on or beside it.
    for (int k = 0; k < 2; ++k)
        lblTitle[size_t(k)]->setAccessibleName(lblTitle[size_t(k)]->text());
    tvwMainTree->setAccessibleName(lblTitle[0]->text());
    tvwExpression->setAccessibleName(lblTitle[1]->text());
    for (QAction* a : tbToolBar->actions())
        if (QWidget* button = tbToolBar->widgetForAction(a))
            button->setAccessibleName(a->toolTip());
}

QString frmMain::strStatusBarText() const { return m_statusText->text(); }

void frmMain::setStrStatusBarText(const QString& textValue)
{
    showInPanel(m_statusText, textValue);
    // The model writes progress from inside long loops; show it at once, but
    // not oftener than the eye can follow: painting waits for the display,
    // and painting every object's text would take longer than the open.
    if (!m_statusPainted.isValid() || m_statusPainted.elapsed() >= 40) {
        m_statusText->repaint();
        m_statusPainted.start();
    }
}

MainFrameMetrics frmMain::metrics() const
{
    // Qt places the toolbar and the status bar around the pane area, so the
    // layout works inside that area with bars of no height.
    MainFrameMetrics m;
    m.dWidth = pixelsToTwips(m_panes->width());
    m.dInnerWidth = m.dWidth;
    m.dInnerHeight = pixelsToTwips(m_panes->height());
    m.dToolbarHeight = 0;
    m.dStatusBarHeight = 0;
    return m;
}

void frmMain::applyLayout()
{
    picTitles->setGeometry(toPixels(m_layout.picTitles));
    lblTitle[0]->setGeometry(toPixels(m_layout.lblTitle0));
    lblTitle[1]->setGeometry(toPixels(m_layout.lblTitle1));
    tvwMainTree->setGeometry(toPixels(m_layout.tvwMainTree));
    tvwExpression->setGeometry(toPixels(m_layout.tvwExpression));
    imgSplitter->setGeometry(toPixels(m_layout.imgSplitter));
    picSplitter->setGeometry(toPixels(m_layout.picSplitter));
}

void frmMain::SizeControls(double& x)
{
    vimra::SizeControls(x, metrics(), m_layout);
    applyLayout();
}

void frmMain::Form_Resize()
{
    ResizeLayout(metrics(), m_layout);
    applyLayout();
}

void frmMain::imgSplitter_MouseDown()
{
    m_layout.picSplitter = SplitterBarOnMouseDown(m_layout.imgSplitter);
    picSplitter->setGeometry(toPixels(m_layout.picSplitter));
    picSplitter->show();
    picSplitter->raise();
    bMoving = true;
}

void frmMain::imgSplitter_MouseMove(double xTwips)
{
    if (!bMoving)
        return;
    m_layout.picSplitter.left =
        SplitterBarLeft(m_layout.imgSplitter.left + xTwips, metrics().dWidth);
    picSplitter->setGeometry(toPixels(m_layout.picSplitter));
}

void frmMain::imgSplitter_MouseUp()
{
    double x = m_layout.picSplitter.left;
    SizeControls(x);
    picSplitter->hide();
    bMoving = false;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panes && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (watched == imgSplitter) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            imgSplitter_MouseDown();
            return true;
        case QEvent::MouseMove: {
            // Only a mouse event is one: the handle also gets Polish, Show, ...
            const auto* mouse = static_cast<QMouseEvent*>(event);
            imgSplitter_MouseMove(pixelsToTwips(qRound(mouse->position().x())));
            return true;
        }
        case QEvent::MouseButtonRelease:
            imgSplitter_MouseUp();
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::mnuFile_Click()
{
    const bool bDocument = appState().objAVDoc != nullptr;
    const bool bFileSystem =
        bDocument && (documentHooks.bFileSystem ? documentHooks.bFileSystem() : true);
    const FileMenuEnabling e = fileMenuEnabling(bDocument, bFileSystem);
    mnuExportToDB->setEnabled(e.bExportToDB);
    mnuImportToFS->setEnabled(e.bImportToFS);
}

void frmMain::mnuLanguage_Click(int index)
{
    if (index < 0 || index >= int(mnuLanguageItems.size()))
        return;
    if (index == m_iCheckedLanguage) {
        // Choosing the checked entry again changes nothing (the menu has
        // already toggled its mark off).
        mnuLanguageItems[size_t(index)]->setChecked(true);
        return;
    }
    for (size_t k = 0; k < mnuLanguageItems.size(); ++k)
        mnuLanguageItems[k]->setChecked(int(k) == index);
    m_iCheckedLanguage = index;
    appState().iCrossLanguage = index;
    if (index == 5)
        prompts().MsgBox(text(msg::CrossLanguageDisableWarning), Prompts::OKOnly, Prompts::NoIcon);
}

void frmMain::tbToolBar_ButtonClick(const QString& key)
{
    QString message;
    if (key == QLatin1String("Back") || key == QLatin1String("Forward"))
        message = QStringLiteral("Add '%1' button code.").arg(key);
    else if (key == QLatin1String("Cut"))
        message = QStringLiteral("Add 'mnuEditCut_Click' code.");
    else if (key == QLatin1String("Copy"))
        message = QStringLiteral("Add 'mnuEditCopy_Click' code.");
    else if (key == QLatin1String("Paste"))
        message = QStringLiteral("Add 'mnuEditPaste_Click' code.");
    else if (key == QLatin1String("Delete"))
        message = QStringLiteral("Add 'mnuFileDelete_Click' code.");
    else if (key == QLatin1String("Properties"))
        message = QStringLiteral("Add 'mnuFileProperties_Click' code.");
    if (!message.isEmpty())
        prompts().MsgBox(message, Prompts::OKOnly, Prompts::NoIcon, QStringLiteral("vimra"));
}

SearchDialog& frmMain::searchDialog()
{
    if (!m_searchDialog)
        m_searchDialog = new SearchDialog(this);
    return *m_searchDialog;
}

SearchResultDialog& frmMain::searchResultDialog()
{
    if (!m_searchResultDialog)
        m_searchResultDialog = new SearchResultDialog(
            imlTreeIcons, [this](const std::shared_ptr<Video>& video) { return SmallKeyFrame(video); }, this);
    return *m_searchResultDialog;
}

ConnectionDialog& frmMain::connectionDialog()
{
    if (!m_connectionDialog)
        m_connectionDialog = new ConnectionDialog(this);
    return *m_connectionDialog;
}

void frmMain::mnuFileFind_Click()
{
    SearchDialog& find = searchDialog();
    find.Form_Load();
    execDialog(&find);
    if (find.bCancelPressed())
        return;
    SearchResultDialog& results = searchResultDialog();
    results.ShowDialog(find.strText(), find.bMatchCase(), find.bSingleWord());
    execDialog(&results);
}

void frmMain::mnuConnection_Click()
{
    ConnectionSettings values;
    bool bForce = true;
    GetConnectionSettings(connectionDialog(), execDialog, values, bForce);
    // Writing needs the machine-wide file, which a normal account may not
    // write: saying nothing would report the failure as success.
    if (bForce && !values.bSave())
        prompts().MsgBox(QStringLiteral("The connection settings could not be saved: ") + settingsFilePath()
                             + QStringLiteral(" is missing or cannot be written."),
                         Prompts::OKOnly, Prompts::Exclamation);
}

void frmMain::mnuHelpContents_Click()
{
    // The program carries no help file.
    prompts().MsgBox(QStringLiteral("Unable to display Help Contents. There is no Help associated with this project."),
                     Prompts::OKOnly, Prompts::Information, windowTitle());
}

void frmMain::mnuHelpAbout_Click()
{
    frmAbout about(this);
    execDialog(&about);
}

void frmMain::setSplash(frmSplash* splash) { m_splash = splash; }

frmSplash* frmMain::splash() const { return m_splash; }

void frmMain::Timer1_Timer()
{
    // The first tick can come while start-up still holds a message box open,
    // before the splash exists; keep ticking until there is one to close.
    if (!m_splash)
        return;
    m_splash->close();
    m_splash = nullptr;
    Timer1->stop();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Unsaved changes are offered for saving first; Cancel keeps the program.
    if (appState().objAVDoc && documentHooks.CloseDocument && !documentHooks.CloseDocument()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (*it != this && (*it)->isVisible())
            (*it)->close();

    SaveMainWindowPlace(*this);

    // Released like any discarded document: its store deletes the files a
    // save queued, now rather than whenever the last reference goes.
    const auto doc = appState().objAVDoc;
    appState().objAVDoc.reset();
    discardDocument(doc, doc ? doc->io() : nullptr);
    SaveSetting(QStringLiteral("ViewMode"), QStringLiteral("vimra"));

    Timer1->stop();
    m_clock->stop();
}

} // namespace vimra
