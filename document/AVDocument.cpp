#include "document/AVDocument.h"

#include "document/DocumentLocator.h"
#include "document/DocumentUi.h"
#include "document/Version.h"
#include "platform/FileWrite.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/IOManager.h"
#include "records/ThematicKeywords.h"

#include <exception>

namespace vimra {

std::shared_ptr<AVDocument> AVDocument::create()
{
    auto doc = std::make_shared<AVDocument>(std::weak_ptr<AVDocument>());
    doc->setContext(doc);
    return doc;
}

AVDocument::AVDocument(std::weak_ptr<AVDocument> context) : ParentObject(std::move(context)) {}

std::shared_ptr<DocObject> AVDocument::newChild()
{
    return std::make_shared<Version>(context());
}

void AVDocument::afterLoad()
{
    m_bUntitled = false;
    setBounds(strGUID());
}

void AVDocument::afterInit()
{
    m_bUntitled = true;
    setBounds(strGUID());
}

void AVDocument::setBounds(const QString& strGUID)
{
    // Outside file-system mode identifiers name no files.
    if (!io() || !io()->bFileSystem() || strGUID.isEmpty())
        return;
    QString folder;
    strSplitPath(strAbsolutePath(strGUID), &folder);
    m_bounds = FolderBounds(folder);
}

void AVDocument::openRelatives()
{
    // The cleanup and the scans read the object folder's one listing.
    const fs::ListingScope listings;
    if (io())
        io()->RemoveStaleTemporaries(strGUID());
    const ScanSession session(io().get());
    ParentObject::openRelatives();
}

QStringList AVDocument::registeredGUIDs() const
{
    QStringList ids;
    for (const auto& obj : m_collObjects)
        ids << obj->strGUID();
    return ids;
}

IOManager::GUIDResult AVDocument::newGUID(IOManager& io, const QString& strClass, const QString& strTypeOfObject)
{
    return io.strCreateGUID([this](const QString& key) { return m_collObjects.bHasKey(key); },
                               m_collObjects.iFreedStamp(), strClass, strTypeOfObject, strGUID());
}

bool AVDocument::bAnyChanged() const
{
    if (hasPendingRemovals())
        return true;
    for (const auto& obj : m_collObjects)
        if (obj->bChanged())
            return true;
    return false;
}

void AVDocument::release()
{
    m_collObjects.Clear();
    colChilds().Clear();
    m_collCloseListTypes.Clear();
}

void discardDocument(const std::shared_ptr<AVDocument>& doc, const std::shared_ptr<IOManager>& io)
{
    if (doc)
        doc->release();
    if (io)
        io->release();
}

void AVDocument::ShowForm(UiOwner* owner)
{
    try {
        DocObject::ShowForm(owner);
    } catch (const std::exception& e) {
        prompts().MsgBox(QString::fromLocal8Bit(e.what()), Prompts::OKOnly, Prompts::Critical);
    }
}

std::shared_ptr<RegistryItem> AVDocument::objAlreadyLoaded(const QString& strGUID) const
{
    if (!io() || !io()->bFileSystem())
        return nullptr;
    return m_collObjects.objFind(strGUID);
}

int AVDocument::iAlreadyLoaded(const QString& strGUID) const
{
    const auto obj = objAlreadyLoaded(strGUID);
    return obj ? m_collObjects.IndexOf(obj) : 0;
}

void AVDocument::ShowObjectForm(const QString& strGUID, UiOwner* owner)
{
    // Held here: the shown window may change the registry.
    if (const auto obj = objAlreadyLoaded(strGUID))
        obj->ShowForm(owner);
}

void AVDocument::RemoveObject(std::shared_ptr<RegistryItem>& obj)
{
    if (!obj)
        return;
    const auto removed = obj;
    const QString strClass = removed->className();
    for (int i = 1; i <= m_collObjects.Count(); ++i) {
        // Known not to hold it: not even looked at, as most objects of a large document.
        if (!m_collObjects.bMayRefer(i, strClass))
            continue;
        const auto holder = m_collObjects.Item(i);
        holder->RemoveReferenceObj(removed);
    }
    // Its identifier is reserved below: it stays taken.
    m_collObjects.RemoveItem(removed, false);
    removed->afterRemoved(*this);
    queueRemoved(removed->strGUID());
    obj.reset();
}

void AVDocument::queueRemoved(const QString& strGUID)
{
    // A file named from outside the folder was never this document's to delete.
    if (io() && io()->bFileSystem() && !bInsideFolder(strGUID))
        return;
    m_colRemovedGUIDs.Add(strGUID);
    // The file number stays taken: a new object must not get the identifier
    // whose file the store will delete.
    if (io())
        io()->reserve(strGUID);
}

void AVDocument::SetDefaultThemes()
{
    // Without a vocabulary, or with a theme lacking subthemes or keywords,
    // only the names that exist are set; the others stay unassigned.
    std::optional<QString> theme, subtheme, keyword;
    if (const auto vocabulary = appState().objThematicKeywords; vocabulary && !vocabulary->colThemes().isEmpty()) {
        const auto& firstTheme = vocabulary->colThemes().Item(1);
        theme = firstTheme->strEnglish();
        if (!firstTheme->colSubthemes().isEmpty()) {
            const auto& firstSubtheme = firstTheme->colSubthemes().Item(1);
            subtheme = firstSubtheme->strEnglish();
            if (!firstSubtheme->colKeywords().isEmpty())
                keyword = firstSubtheme->colKeywords().Item(1)->strEnglish();
        }
    }
    for (const auto& field : *secol()) {
        if (field->strName == QLatin1String("Themes") && theme) {
            field->vContent = *theme;
        } else if (field->strName == QLatin1String("Subthemes") && subtheme) {
            field->vContent = *subtheme;
        } else if (field->strName == QLatin1String("ThematicKeywords") && keyword) {
            auto list = std::make_shared<StringList>();
            list->Add(*keyword);
            field->vContent = list;
        } else {
            continue;
        }
        field->bChanged = true;
        field->bValid = true;
    }
}

} // namespace vimra
