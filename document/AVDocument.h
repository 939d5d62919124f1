#pragma once

#include "document/ParentObject.h"
#include "document/ReferenceIndex.h"
#include "document/Registry.h"
#include "records/Coll.h"
#include "records/Procedures.h"
#include "records/ValueTypes.h"

#include <QStringList>

namespace vimra {

// The root of a document's object tree: opens a document with its Versions,
// makes a new one, keeps the registry of every loaded object, removes
// objects with their relations, and saves the whole document.
class AVDocument : public ParentObject {
public:
    // A document that is its own current document: the one the shell opens,
    // makes new or saves. Call release() when discarding it.
    static std::shared_ptr<AVDocument> create();
    // A document read into another document's registry (`context`), as the
    // relation scans read one without its tree.
    explicit AVDocument(std::weak_ptr<AVDocument> context);

    QString className() const override { return QStringLiteral("AVDocument"); }

    // Closed lists met while reading the schema, by type name.
    CloseListRegistry& collCloseListTypes() { return m_collCloseListTypes; }
    // Every loaded object, in registration order; a document read from a
    // file is item 1 and every parent precedes its children.
    Registry& collObjects() { return m_collObjects; }
    const Registry& collObjects() const { return m_collObjects; }
    // Which registered objects may hold a reference to a removed segment.
    ReferenceIndex& references() { return m_references; }
    // The identifiers of the registry, for making new ones.
    QStringList registeredGUIDs() const;
    // A free identifier in the document's folder for a new object of `strClass`
    // (a media object's: of extension `strTypeOfObject`), as `io` makes it
    // with every registered identifier taken.
    IOManager::GUIDResult newGUID(IOManager& io, const QString& strClass, const QString& strTypeOfObject = QString());
    // Has `io` find the identifier newGUID would give next, to try it first then.
    void PrimeNewGUID(IOManager& io, const QString& strClass);
    // Identifiers of removed objects and of their keyframe pictures.
    const Coll<QString>& colRemovedGUIDs() const { return m_colRemovedGUIDs; }

    // Whether the file lies in the document's folder (the folder of its own
    // file, with everything below it), judged on real paths: no other file
    // is opened as an object, written, copied or deleted. Until the document
    // is loaded or made, everything lies inside.
    bool bInsideFolder(const QString& path) const { return m_bounds.bContains(path); }
    // Confines the document to `folder` and below, before it has a file of
    // its own: a climb from an object file to its document reads no further.
    void confineTo(const QString& folder) { m_bounds = FolderBounds(folder); }

    // A document made by strInitAsNew and not yet saved under a name.
    bool isUntitled() const { return m_bUntitled; }
    // True when objects were removed since the document was opened or last
    // saved: the removal lives in memory only until then, like a changed field.
    bool hasPendingRemovals() const { return m_colRemovedGUIDs.Count() > m_iSavedRemovals; }
    // True when a save would write anything: a registered object (the
    // document included) is changed, or removals are pending.
    bool bAnyChanged() const;

    // Drops the registry, the children and the closed lists. The registry
    // holds the document itself, so a discarded document is freed only by this.
    void release();

    // Shows the document's editor window; a failure while it is shown is
    // reported with the stop icon.
    void ShowForm(UiOwner* owner) override;

    // 1-based position of the identifier in collObjects, 0 when it is not
    // loaded (always 0 outside file-system mode).
    int iAlreadyLoaded(const QString& strGUID) const;
    // The loaded object with this identifier, as iAlreadyLoaded finds it.
    std::shared_ptr<RegistryItem> objAlreadyLoaded(const QString& strGUID) const;
    // Shows the editor window of the registered object with this identifier.
    void ShowObjectForm(const QString& strGUID, UiOwner* owner);

    // Takes `obj` out of the document: every object drops its references to
    // it, it leaves the registry and its identifier waits for the next save
    // to be handed to the store. `obj` is cleared on return.
    void RemoveObject(std::shared_ptr<RegistryItem>& obj);
    // As RemoveObject for each in turn, with one walk of the registry.
    void RemoveObjects(const std::vector<std::shared_ptr<RegistryItem>>& objects);
    // Queues the file of a removed object (or of its keyframe picture) for
    // deletion at the next save.
    void queueRemoved(const QString& strGUID);

    // Writes every changed object, then the document's own file; only then
    // are the removed objects' files handed to the store for deletion.
    bool bSave() override;
    // Writes the whole document under a new path: every object gets a new
    // identifier in the new object folder, every relation follows. A
    // relative path is taken against the current folder.
    bool bSaveAs(const QString& strNewGUID);

protected:
    QString strGUIDElement() const override { return QStringLiteral("AVDocGUID"); }
    QString strTitleElement() const override { return QStringLiteral("Title"); }
    QString strRelationName() const override { return QStringLiteral("expressedby"); }
    QString strChildClass() const override { return QStringLiteral("Version"); }
    std::shared_ptr<DocObject> newChild() override;

    void initDefaults() override { SetDefaultThemes(); }
    void afterLoad() override;
    void afterInit() override;
    // The whole tree opens in one scan session: the folder is read once.
    void openRelatives() override;

private:
    void SetDefaultThemes();
    void setBounds(const QString& strGUID);
    bool bEveryObjectRead() const;
    // Before a save writes: every held object's file must be as this window
    // last read or wrote it. Asks about those that are not (answered Yes,
    // each is written whole); a new object whose name another took gets a
    // free one. False when nothing may be written.
    bool bCheckFilesOnDisk();
    bool bSaveAllObjects();
    bool bSaveObjects(const QString& strNewGUID);
    bool bSaveChangedObjects();
    bool bSaveOne(const std::shared_ptr<RegistryItem>& obj, int iCounter);

    CloseListRegistry m_collCloseListTypes;
    Registry m_collObjects;
    ReferenceIndex m_references;
    Coll<QString> m_colRemovedGUIDs{Qt::CaseSensitive};
    int m_iSavedRemovals = 0;
    // Removals queued before the last save-as: their files belong to the old
    // document, which still names them, so bSave never hands them over.
    int m_iRemovalsBeforeSaveAs = 0;
    bool m_bUntitled = false;
    FolderBounds m_bounds;
};

// Frees a document that is no longer wanted, with its store (which then
// deletes the files of objects removed by a save). Either may be null.
void discardDocument(const std::shared_ptr<AVDocument>& doc, const std::shared_ptr<IOManager>& io);

} // namespace vimra
