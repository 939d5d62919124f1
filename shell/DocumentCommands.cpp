#include "shell/DocumentCommands.h"

#include "document/AVDocument.h"
#include "document/DocumentLocator.h"
#include "document/EditorWindows.h"
#include "platform/FileRead.h"
#include "platform/Prompts.h"
#include "platform/Xml.h"
#include "records/AppState.h"
#include "records/IOManager.h"
#include "records/Procedures.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "widgets/Guarded.h"
#include "shell/TreeView.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

namespace vimra {

namespace {

const QString kUntitled = QStringLiteral("AVDocument");

std::shared_ptr<IOManager> newFileSystemStore()
{
    auto io = std::make_shared<IOManager>();
    io->setBFileSystem(true);
    return io;
}

// A document that was never saved under a name of its own.
bool bNeverNamed(const AVDocument& doc)
{
    return doc.strTitle() == kUntitled || doc.isUntitled();
}

// The proposal of the save dialog: the document's folder and base name.
QString strProposalFor(const AVDocument& doc)
{
    QString folder;
    const QString base = strSplitPath(doc.strGUID(), &folder);
    return folder + base;
}

QString strBaseName(const QString& path)
{
    return strSplitPath(path, nullptr);
}

bool bParses(const QString& path)
{
    return xml::Document().load(path);
}

void setCurrentFolder(const QString& strGUID)
{
    QString folder;
    strSplitPath(strGUID, &folder);
    QDir::setCurrent(folder);
}

} // namespace

DocumentCommands::DocumentCommands(frmMain& main) : QObject(&main), m_main(main)
{
    main.documentHooks.OpenFile = [this](const QString& path) { OpenFile(path); };
    main.documentHooks.CloseDocument = [this] { return CloseDocument(false); };
    main.documentHooks.bFileSystem = [] {
        const auto doc = appState().objAVDoc;
        return !doc || !doc->io() || doc->io()->bFileSystem();
    };
    connect(main.mnuFileOpen, &QAction::triggered, this, &DocumentCommands::ShowOpenDialog);
    connect(main.mnuFileSave, &QAction::triggered, this, &DocumentCommands::Save);
    connect(main.mnuFileSaveAs, &QAction::triggered, this, [this] {
        if (appState().objAVDoc)
            SaveDocumentAs();
    });
    connect(main.mnuFileNew, &QAction::triggered, this, &DocumentCommands::New);
    connect(main.mnuExportToDB, &QAction::triggered, this, &DocumentCommands::ExportToDatabase);
    connect(main.mnuImportToFS, &QAction::triggered, this, &DocumentCommands::ImportToFileSystem);
}

std::shared_ptr<EditorWindow> DocumentCommands::frmAVDocForm()
{
    if (!m_frmAVDocForm)
        m_frmAVDocForm = editorFactory().create(kUntitled);
    return m_frmAVDocForm;
}

void DocumentCommands::setCurrent(const std::shared_ptr<AVDocument>& doc)
{
    appState().objAVDoc = doc;
    appState().colNotFoundNames.clear();
    // No keyframe icon may outlive its document, whichever way it went; a
    // document's icons are made as its segments are shown.
    m_main.ResetListImageExpression();
}

void DocumentCommands::dropCurrent(const std::shared_ptr<AVDocument>& doc, const std::shared_ptr<IOManager>& io,
                                   bool bClearTrees)
{
    setCurrent(nullptr);
    discardDocument(doc, io);
    if (bClearTrees)
        m_main.ClearTrees();
}

void DocumentCommands::ShowOpenDialog()
{
    const QString chosen = prompts().OpenFileName(
        QStringLiteral("Open"), QStringLiteral("XML Files (*.xml);;All Files Files (*)"), m_strFileName);
    if (chosen.isEmpty())
        return;
    m_strFileName = chosen;
    OpenFile(chosen);
}

void DocumentCommands::OpenFile(const QString& strPath)
{
    QString extension;
    strSplitPath(strPath, nullptr, &extension);
    if (extension.compare(QLatin1String("xml"), Qt::CaseInsensitive) == 0) {
        QString id = strAbsolutePath(strPath);
        OpenDoc(id, true);
        return;
    }
    QString id = ReadFirstLineNoSpaces(strPath);
    if (id.isEmpty()) {
        prompts().MsgBox(text(msg::FileNotValid) + QStringLiteral(": ") + strPath, Prompts::OKOnly,
                         Prompts::Exclamation);
        return;
    }
    OpenDoc(id, false);
}

QString DocumentCommands::ReadFirstLineNoSpaces(const QString& strPath)
{
    if (!QFileInfo::exists(strPath)) {
        prompts().MsgBox(text(msg::ObjectNotFound) + QLatin1Char(' ') + strPath, Prompts::OKOnly, Prompts::Exclamation);
        return {};
    }
    // A FIFO or device is not waited on: it is no valid file.
    QByteArray bytes;
    if (fs::readRegularFile(strPath, bytes) != fs::ReadResult::Read)
        return {};
    const qsizetype end = bytes.indexOf('\n');
    QString line = QString::fromUtf8(end < 0 ? bytes : bytes.left(end + 1));
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line.remove(QLatin1Char(' '));
}

void DocumentCommands::OpenDoc(QString& strGUID, bool bFileSystem)
{
    if (appState().objAVDoc && !CloseDocument(false))
        return;

    auto doc = AVDocument::create();
    setCurrent(doc);
    const auto io = std::make_shared<IOManager>();
    io->setBFileSystem(bFileSystem);

    if (!bFileSystem && !io->bConnectToDM()) {
        // No data-manager connection is ever made: say so rather than
        // ending silently with no document.
        dropCurrent(doc, io);
        prompts().MsgBox(text(msg::NoDatamanagerConnection), Prompts::OKOnly, Prompts::Exclamation);
        return;
    }

    const bool ran = guarded([&] {
        if (bFileSystem)
            setCurrentFolder(strGUID);
        const QString error = doc->strOpen(strGUID, frmAVDocForm(), io);
        if (error.isEmpty()) {
            m_main.ShowAVDocTitle();
            tellStatus(msg::DocumentOpened, doc->strGUID());
            return;
        }

        // The file may be an object inside a document: open that document
        // and show the object's editor window. A file that does not parse
        // names no object; the climb would only show its reason again.
        const QString strObjectGUID = strGUID;
        QString strDocGUID;
        if (!bFileSystem || bParses(strObjectGUID))
            strDocGUID = strRetrieveAVDocGUIDFromGUID(io, doc, strObjectGUID);
        doc->release();
        if (strDocGUID.isEmpty()) {
            strGUID.clear();
            dropCurrent(nullptr, io); // the document was released above
            prompts().MsgBox(error, Prompts::OKOnly, Prompts::Exclamation);
            return;
        }
        // Found through a parent folder ("…/Film_files/../Film.xml"): the
        // identifier is kept normalised.
        strDocGUID = strAbsolutePath(strDocGUID);
        strGUID = strDocGUID;
        if (bFileSystem)
            setCurrentFolder(strDocGUID);
        doc = AVDocument::create();
        setCurrent(doc);
        const QString docError = doc->strOpen(strDocGUID, frmAVDocForm(), io);
        doc->ShowObjectForm(strObjectGUID, &m_main);
        if (docError.isEmpty()) {
            m_main.ShowAVDocTitle();
            tellStatus(msg::DocumentOpened, doc->strGUID());
            return;
        }
        dropCurrent(doc, io);
        prompts().MsgBox(docError, Prompts::OKOnly, Prompts::Exclamation);
    });
    if (!ran)
        dropCurrent(doc, io, true);
}

bool DocumentCommands::CloseDocument(bool bNoPrompt)
{
    const auto doc = appState().objAVDoc;
    if (!doc)
        return true;
    // A failed save keeps the document, as Cancel does: discarding it would
    // lose the changes the user just asked to keep.
    const bool bMayClose = bNoPrompt || guarded(false, [&] {
        if (!doc->bAnyChanged())
            return true;
        const QString question = text(msg::SaveModifications) + QLatin1Char(' ') + doc->strTitle() + QLatin1Char('?');
        const int answer = prompts().MsgBox(question, Prompts::YesNoCancel, Prompts::NoIcon);
        if (answer == Prompts::Cancel)
            return false;
        return answer != Prompts::Yes || bSaveBeforeClose(doc);
    });
    if (!bMayClose)
        return false;
    dropCurrent(doc, doc->io(), true);
    return true;
}

bool DocumentCommands::bSaveBeforeClose(const std::shared_ptr<AVDocument>& doc)
{
    if (!bNeverNamed(*doc))
        return doc->bSave();
    // Saving a document that never had a name would silently write
    // AVDocument.xml in whatever folder is current: ask for a name.
    const QString chosen = GetFileName(strProposalFor(*doc));
    if (chosen.isEmpty())
        return false;
    return bSaveUnderName(doc, chosen);
}

bool DocumentCommands::bSaveUnderName(const std::shared_ptr<AVDocument>& doc, const QString& chosen)
{
    // The document takes the file's name as its title; a save that fails
    // must not leave the cataloguer's title renamed (or marked changed)
    // behind their back.
    auto before = doc->savedState();
    doc->setStrTitle(strBaseName(chosen));
    if (guarded(false, [&] { return doc->bSaveAs(chosen); }))
        return true;
    doc->restoreState(before);
    return false;
}

void DocumentCommands::New()
{
    if (appState().objAVDoc && !CloseDocument(false))
        return;
    const auto doc = NewDocument();
    setCurrent(doc);
    if (doc)
        m_main.BuildDocumentTree();
}

std::shared_ptr<AVDocument> DocumentCommands::NewDocument()
{
    auto doc = AVDocument::create();
    const auto io = newFileSystemStore();
    QString error;
    const bool ran = guarded([&] {
        const auto form = editorFactory().create(kUntitled);
        const auto id = io->strCreateGUID(doc->registeredGUIDs(), kUntitled, QString(),
                                          QDir::current().filePath(QStringLiteral("AVDocument.xml")));
        const QString strSchemaPath = strGetXSDPath();
        if (strSchemaPath.isEmpty())
            error = text(msg::SchemaNotFound);
        else
            error = id.ok() ? doc->strInitAsNew(id.strGUID, strSchemaPath, kUntitled, form, io) : id.strError;
    });
    if (!ran || !error.isEmpty()) {
        discardDocument(doc, io);
        if (!error.isEmpty())
            prompts().MsgBox(error);
        return nullptr;
    }
    return doc;
}

void DocumentCommands::Save()
{
    const auto doc = appState().objAVDoc;
    if (!doc)
        return;
    if (bNeverNamed(*doc)) {
        SaveDocumentAs();
        return;
    }
    bool bSaved = false;
    guarded([&] { bSaved = doc->bSave(); });
    tellStatus(bSaved ? msg::DocumentSaved : msg::DocumentNotSaved, doc->strGUID());
}

void DocumentCommands::tellStatus(int id, const QString& strPath)
{
    // Replaces the last "Opening object n." or "Saving object n." of the work.
    m_main.setStrStatusBarText(text(id) + QLatin1Char(' ') + strPath);
}

void DocumentCommands::SaveDocumentAs()
{
    const auto doc = appState().objAVDoc;
    if (!doc)
        return;
    const QString folderBefore = QDir::currentPath();
    const QString chosen = GetFileName(strProposalFor(*doc));
    if (chosen.isEmpty())
        return;
    if (!bSaveUnderName(doc, chosen)) {
        QDir::setCurrent(folderBefore);
        tellStatus(msg::DocumentNotSaved, chosen);
        return;
    }
    CloseDocument(true);

    // A failed re-open, thrown or reported, ends with no document, as Open does.
    QString error;
    const bool ran = guarded([&] { error = strReopen(chosen); });
    if (!ran || !error.isEmpty()) {
        const auto failed = appState().objAVDoc;
        dropCurrent(failed, failed ? failed->io() : nullptr, true);
        if (!error.isEmpty())
            prompts().MsgBox(error, Prompts::OKOnly, Prompts::Exclamation);
        return;
    }
    m_main.ShowAVDocTitle();
    tellStatus(msg::DocumentSaved, appState().objAVDoc->strGUID());
}

QString DocumentCommands::strReopen(const QString& strGUID)
{
    auto doc = AVDocument::create();
    setCurrent(doc);
    return doc->strOpen(strGUID, frmAVDocForm(), newFileSystemStore());
}

QString DocumentCommands::GetFileName(const QString& strProposal)
{
    QString chosen = prompts().SaveFileName(QStringLiteral("Save As"), QStringLiteral("All Files (*.xml)"),
                                            strProposal);
    if (chosen.isEmpty())
        return {};
    // Without ".xml" the document would later be read as a link file.
    QString extension;
    strSplitPath(chosen, nullptr, &extension);
    if (extension.isEmpty())
        chosen += chosen.endsWith(QLatin1Char('.')) ? QStringLiteral("xml") : QStringLiteral(".xml");
    chosen = strAbsolutePath(chosen);
    if (QFileInfo::exists(chosen)) {
        const QString question = QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                     .arg(QFileInfo(chosen).fileName());
        if (prompts().MsgBox(question, Prompts::YesNo, Prompts::Exclamation, QStringLiteral("Save As"))
            != Prompts::Yes)
            return {};
    }
    m_strFileName = chosen;
    return chosen;
}

void DocumentCommands::ExportToDatabase()
{
    const auto doc = appState().objAVDoc;
    if (!doc)
        return;
    // Exporting rewrites every Storage's collocation and ends by opening the
    // document from the data manager; without a connection that would only
    // lose the document, so nothing is touched.
    const auto io = doc->io();
    if (!io || !io->bConnectToDM())
        prompts().MsgBox(text(msg::NoDatamanagerConnection), Prompts::OKOnly, Prompts::Exclamation);
}

void DocumentCommands::ImportToFileSystem()
{
    // Only a document in the data manager can be imported, and none is ever
    // opened from there.
    const auto doc = appState().objAVDoc;
    if (doc && doc->io() && !doc->io()->bFileSystem())
        prompts().MsgBox(text(msg::NoDatamanagerConnection), Prompts::OKOnly, Prompts::Exclamation);
}

} // namespace vimra
