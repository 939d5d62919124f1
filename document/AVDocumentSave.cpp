#include "document/AVDocument.h"

#include "document/DocumentUi.h"
#include "document/MediaObject.h"
#include "platform/FileWrite.h"
#include "platform/Prompts.h"
#include "records/IOManager.h"
#include "records/Procedures.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <utility>
#include <vector>

#include <sys/stat.h>

namespace vimra {

namespace {

// What a save-as changes in the open document, put back unless it succeeds:
// every object's fields (identifiers, relations, keyframe references, change
// marks) and stamped instance, the media files' changed marks, and through
// the store every file and folder the save-as made.
class SaveAsRollback {
public:
    SaveAsRollback(AVDocument& doc, const QString& strSchemaPath, const QString& strNewGUID)
        : m_doc(doc), m_io(doc.io())
    {
        for (const auto& item : doc.collObjects()) {
            if (const auto obj = std::dynamic_pointer_cast<DocObject>(item))
                m_objects.emplace_back(obj, obj->savedState(strSchemaPath));
            else if (const auto media = std::dynamic_pointer_cast<MediaObject>(item))
                m_media.emplace_back(media, media->bChanged());
        }
        if (m_io)
            m_io->BeginSaveAs(strNewGUID);
    }
    ~SaveAsRollback()
    {
        if (m_bDone)
            return;
        if (m_io)
            m_io->EndSaveAs(false);
        for (auto& [obj, state] : m_objects)
            obj->restoreState(state);
        for (const auto& [media, bChanged] : m_media)
            media->setBChanged(bChanged);
        // A media file's identifier lives in its owner's field.
        for (const auto& item : m_doc.collObjects())
            m_doc.collObjects().rekey(item.get());
    }
    SaveAsRollback(const SaveAsRollback&) = delete;
    SaveAsRollback& operator=(const SaveAsRollback&) = delete;

    void commit()
    {
        m_bDone = true;
        if (m_io)
            m_io->EndSaveAs(true);
    }

private:
    AVDocument& m_doc;
    std::shared_ptr<IOManager> m_io;
    std::vector<std::pair<std::shared_ptr<DocObject>, DocObject::SavedState>> m_objects;
    std::vector<std::pair<std::shared_ptr<MediaObject>, bool>> m_media;
    bool m_bDone = false;
};

} // namespace

namespace {

// A file that relations name and no registered object was read from (it was
// malformed, too large, or refused at open), with the class named there and
// how many places name it. A name of no file at all stays as it is: the
// document has nothing there to lose.
struct UnreadFile {
    QString strGUID;
    QString strClass;
    int iPlaces = 0;
};

std::vector<UnreadFile> unreadFiles(const AVDocument& doc)
{
    QSet<QString> registered;
    for (const auto& item : doc.collObjects())
        registered.insert(GUIDRenames::keyOf(item->strGUID()));
    std::vector<RegistryItem::NamedGUID> named;
    for (const auto& item : doc.collObjects())
        item->appendRelationGUIDs(named);
    std::vector<UnreadFile> unread;
    QHash<QString, size_t> byKey;
    for (const auto& [strGUID, strClass] : named) {
        const QString key = GUIDRenames::keyOf(strGUID);
        if (key.isEmpty() || registered.contains(key) || !QFileInfo::exists(key))
            continue;
        const auto it = byKey.constFind(key);
        const size_t k = it != byKey.constEnd() ? *it : byKey.insert(key, unread.size()).value();
        if (k == unread.size())
            unread.push_back({strGUID, strClass});
        ++unread[k].iPlaces;
    }
    return unread;
}

// The same file, however spelled, links followed (a hard link is a name of
// its own, which a save would part from the file).
bool bSameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty() || IOManager::bGUIDComp(a, b))
        return !a.isEmpty() && !b.isEmpty();
    const QString real = QFileInfo(a).canonicalFilePath();
    return !real.isEmpty() && real == QFileInfo(b).canonicalFilePath();
}

// Only a regular file inside the document's folder is ever copied: a FIFO
// or device would stop the copy, and nothing outside is the document's.
bool bMayCarry(const AVDocument& doc, const QString& strGUID)
{
    struct stat st {};
    return doc.bInsideFolder(strGUID) && ::stat(QFile::encodeName(strAbsolutePath(strGUID)).constData(), &st) == 0
        && S_ISREG(st.st_mode);
}

} // namespace

bool AVDocument::bSave()
{
    if (io())
        io()->RemoveStaleTemporaries(strGUID());
    if (bEveryObjectRead() && !bCheckFilesOnDisk())
        return false;
    {
        // As save-as: one sync for every changed object's file, and the
        // document's own file written only once they are all on the disk.
        fs::SyncBatch batch;
        if (!bEveryObjectRead() || !bSaveAllObjects()) {
            prompts().MsgBox(text(msg::ObjectsNotSaved));
            return false;
        }
        const QString error = batch.finish();
        if (!error.isEmpty()) {
            prompts().MsgBox(error, Prompts::OKOnly);
            return false;
        }
    }
    if (!ownFields()->bSave(instanceDoc(), strGUID(), *io()))
        return false;
    // Only now: a removed object's file must stay while the stored document
    // may still name it.
    for (int i = m_iRemovalsBeforeSaveAs + 1; i <= m_colRemovedGUIDs.Count(); ++i)
        io()->RemoveGUID(m_colRemovedGUIDs.Item(i));
    m_iSavedRemovals = m_colRemovedGUIDs.Count();
    return true;
}

// An object whose fields were never read from a schema is never written,
// so a save or save-as stops before anything is written or renamed.
bool AVDocument::bEveryObjectRead() const
{
    for (const auto& item : m_collObjects)
        if (const auto obj = std::dynamic_pointer_cast<DocObject>(item); obj && !obj->bFieldsRead())
            return false;
    return true;
}

bool AVDocument::bSaveAllObjects()
{
    if (!io() || !io()->bFileSystem())
        return false;
    for (int i = 1; i <= m_collObjects.Count(); ++i) {
        const auto obj = m_collObjects.Item(i);
        if (obj.get() == this)
            continue;
        if (!obj->bSave())
            return false;
    }
    return true;
}

bool AVDocument::bSaveAs(const QString& strNewPath)
{
    const QString strNewGUID = strNewPath.isEmpty() ? strNewPath : strAbsolutePath(strNewPath);
    // Onto the document's own file, however spelled, a save-as is a save: a
    // copy would leave the first set of object files there, named by nothing.
    if (io() && io()->bFileSystem() && !m_bUntitled && bSameFile(strNewGUID, strGUID()))
        return bSave();
    // A copy in the document's own object folder would replace one of its
    // files, or lie among them where its scans read.
    if (io() && io()->bFileSystem() && !strNewGUID.isEmpty() && !strGUID().isEmpty()) {
        QString folder;
        const QString name = strSplitPath(strAbsolutePath(strGUID()), &folder);
        if (FolderBounds(folder + name + QStringLiteral("_files")).bContains(strNewGUID)) {
            prompts().MsgBox(strNewGUID + QLatin1Char(' ') + text(msg::SaveAsInsideObjectFolder));
            return false;
        }
    }
    if (!bEveryObjectRead()) {
        prompts().MsgBox(text(msg::ObjectsNotSaved));
        return false;
    }
    if (io())
        io()->RemoveStaleTemporaries(strNewGUID);
    // A failure at any step leaves the document as it was and the disk
    // without the half-made copy.
    const QString strSchemaPath = strGetXSDPath();
    SaveAsRollback rollback(*this, strSchemaPath, strNewGUID);
    if (!bSaveObjects(strNewGUID)) {
        prompts().MsgBox(text(msg::ObjectsNotSaved));
        return false;
    }
    setStrSchemaPath(strSchemaPath);
    setStrGUID(strNewGUID);
    if (!ownFields()->bSaveAs(instanceDoc(), strNewGUID, *io()))
        return false;
    rollback.commit();
    m_bUntitled = false;
    setBounds(strNewGUID);
    // Removed objects are absent from the copy.
    m_iSavedRemovals = m_colRemovedGUIDs.Count();
    m_iRemovalsBeforeSaveAs = m_colRemovedGUIDs.Count();
    return true;
}

bool AVDocument::bSaveObjects(const QString& strNewGUID)
{
    // The copy holds every file the document names: one no object was read
    // from travels as it is, or the save-as stops before writing anything.
    const auto unread = io()->bFileSystem() ? unreadFiles(*this) : std::vector<UnreadFile>();
    QStringList missing;
    for (const auto& file : unread)
        if (!bMayCarry(*this, file.strGUID))
            missing << file.strGUID;
    if (!missing.isEmpty()) {
        prompts().MsgBox(text(msg::ObjectsNotCarried) + QLatin1Char('\n') + missing.join(QLatin1Char('\n')));
        return false;
    }

    std::vector<std::shared_ptr<DocObject>> objects;
    // Only objects with an instance file of their own get a new one: a media
    // file keeps its place.
    for (const auto& item : m_collObjects) {
        if (item.get() == this)
            continue;
        if (auto obj = std::dynamic_pointer_cast<DocObject>(item))
            objects.push_back(obj);
    }

    // Every identifier is made before anything is renamed: an error text in
    // place of an identifier would otherwise be written into every relation.
    auto maker = io()->guidMaker(registeredGUIDs(), strNewGUID);
    std::vector<QString> newGUIDs;
    for (const auto& obj : objects) {
        const auto guid = maker.next(obj->className());
        if (!guid.ok()) {
            prompts().MsgBox(guid.strError);
            return false;
        }
        newGUIDs.push_back(guid.strGUID);
    }
    std::vector<std::pair<const UnreadFile*, QString>> carried;
    for (const auto& file : unread) {
        const auto guid = maker.next(file.strClass);
        QString error = guid.strError;
        if (error.isEmpty() && !(error = io()->CopyObject(file.strGUID, guid.strGUID)).isEmpty())
            error = strFailedOn(text(msg::FileNotWritten), guid.strGUID, error);
        if (!error.isEmpty()) {
            prompts().MsgBox(error);
            return false;
        }
        carried.emplace_back(&file, guid.strGUID);
    }

    // Relations follow in one pass over every object, also when a file
    // cannot follow its object and the save stops there.
    GUIDRenames renames;
    const auto renameRelations = [&] {
        for (const auto& holder : m_collObjects)
            holder->RenameAllRelativesGUIDs(renames);
    };
    const QString strSchemaPath = strGetXSDPath();
    for (size_t k = 0; k < objects.size(); ++k) {
        const auto& obj = objects[k];
        renames.add(obj->strGUID(), newGUIDs[k]);
        obj->setStrGUID(newGUIDs[k]);
        obj->setStrSchemaPath(strSchemaPath);
        if (io()->bFileSystem()) {
            const QString error = obj->strRelocateFiles(maker);
            if (!error.isEmpty()) {
                renameRelations();
                prompts().MsgBox(error);
                return false;
            }
        }
    }
    // After the objects' own: where a list names both, its readable
    // objects keep their order.
    for (const auto& [file, strNewFileGUID] : carried)
        for (int i = 0; i < file->iPlaces; ++i)
            renames.add(file->strGUID, strNewFileGUID);
    renameRelations();
    // Every file is new: one sync at the end instead of one per file, and the
    // document's own file is written only once they are all on the disk.
    fs::SyncBatch batch;
    if (!bSaveChangedObjects())
        return false;
    const QString error = batch.finish();
    if (!error.isEmpty()) {
        prompts().MsgBox(error, Prompts::OKOnly);
        return false;
    }
    return true;
}

bool AVDocument::bSaveOne(const std::shared_ptr<RegistryItem>& obj, int iCounter)
{
    showObjectProgress(msg::SavingObject, iCounter, obj->strTitle());
    // An object still changed after its write would be met by every pass.
    return obj->bSave() && !obj->bChanged();
}

bool AVDocument::bSaveChangedObjects()
{
    // Backwards through the registry, so children (registered after their
    // parents) are written first; an object waits while something it names is
    // still changed. Passes repeat until one meets nothing changed.
    for (;;) {
        bool bLastPass = true;
        bool bWrote = false;
        int iCounter = 1;
        std::vector<std::pair<std::shared_ptr<RegistryItem>, int>> waiting;
        for (int i = m_collObjects.Count(); i >= 1; --i) {
            const auto obj = m_collObjects.Item(i);
            if (obj.get() == this || !obj->bChanged())
                continue;
            bLastPass = false;
            ++iCounter;
            if (obj->bReferedStillToBeSaved()) {
                waiting.emplace_back(obj, iCounter);
                continue;
            }
            if (!bSaveOne(obj, iCounter))
                return false;
            bWrote = true;
        }
        if (bLastPass)
            return true;
        // Everything left waits on something else that waits (a cycle in the
        // stored relations): write them as they come, or the passes never end.
        if (!bWrote) {
            for (const auto& [obj, iNumber] : waiting)
                if (!bSaveOne(obj, iNumber))
                    return false;
        }
    }
}

} // namespace vimra
