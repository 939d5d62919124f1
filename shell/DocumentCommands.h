#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace vimra {

class AVDocument;
class EditorWindow;
class IOManager;
class frmMain;

// The commands that make a document current or stop it being current: open
// (a document's file, the file of an object inside a document, a link file),
// new, close, save, save as and the storage-mode switch. Made as a child of
// the main window, it plugs itself into the File menu and the window's
// document seam.
class DocumentCommands : public QObject {
    Q_OBJECT
public:
    explicit DocumentCommands(frmMain& main);

    // A ".xml" file (in any letter case) opens as a document; any other file
    // is a link file whose first line names a data-manager object.
    void OpenFile(const QString& strPath);
    // Makes the document holding `strGUID` current. When the identifier named
    // an object inside a document, it becomes the document's identifier ("" when
    // none was found).
    void OpenDoc(QString& strGUID, bool bFileSystem);
    // Closes the current document, first asking to save changes unless
    // `bNoPrompt`. False when the user cancelled or the save failed: the
    // document then stays current.
    bool CloseDocument(bool bNoPrompt);
    void New();
    void Save();
    void SaveDocumentAs();
    // The save dialog: the chosen path with ".xml" added to a name without
    // extension, "" when cancelled or when the user would not overwrite.
    QString GetFileName(const QString& strProposal);
    void ExportToDatabase();
    void ImportToFileSystem();
    void ShowOpenDialog();

    // The file name both dialogs start from: the last one chosen.
    QString strFileName() const { return m_strFileName; }

private:
    QString ReadFirstLineNoSpaces(const QString& strPath);
    std::shared_ptr<AVDocument> NewDocument();
    bool bSaveBeforeClose(const std::shared_ptr<AVDocument>& doc);
    // Save As under `chosen`: the title follows the name only if the save succeeds.
    bool bSaveUnderName(const std::shared_ptr<AVDocument>& doc, const QString& chosen);
    // Makes `doc` current (or none), forgetting the names reported missing.
    void setCurrent(const std::shared_ptr<AVDocument>& doc);
    // Leaves no document current and frees `doc` with `io` (either may be
    // null); `bClearTrees` also empties both trees, which may still show it.
    void dropCurrent(const std::shared_ptr<AVDocument>& doc, const std::shared_ptr<IOManager>& io,
                     bool bClearTrees = false);
    // Opens `strGUID` as the current document with a new file-system store.
    QString strReopen(const QString& strGUID);
    std::shared_ptr<EditorWindow> frmAVDocForm();
    // Says in the status bar what a command did with the document at `strPath`.
    void tellStatus(int id, const QString& strPath);

    frmMain& m_main;
    QString m_strFileName;
    std::shared_ptr<EditorWindow> m_frmAVDocForm;
};

} // namespace vimra
