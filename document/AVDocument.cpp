#include "document/AVDocument.h"

#include "document/DocumentLocator.h"
#include "document/DocumentUi.h"
#include "document/Expression.h"
#include "document/Version.h"
#include "platform/FileWrite.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/IOManager.h"
#include "records/ThematicKeywords.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
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

void AVDocument::PrimeNewGUID(IOManager& io, const QString& strClass)
{
    io.PrimeGUID([this](const QString& key) { return m_collObjects.bHasKey(key); }, m_collObjects.iFreedStamp(),
                 strClass, QString(), strGUID());
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
    m_references = ReferenceIndex();
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
    RemoveObjects({obj});
    obj.reset();
}

void AVDocument::RemoveObjects(const std::vector<std::shared_ptr<RegistryItem>>& objects)
{
    const RemovedObjects removed(objects);
    // The few objects that may hold any of them are found once; each removal
    // then asks those, in registration order, as a walk per removal would.
    struct Holder {
        std::shared_ptr<RegistryItem> item;
        bool bRegistered = true;
        bool bLinkOnly = false; // asked only about the one its successor link names
    };
    std::vector<Holder> holders;
    if (std::vector<std::shared_ptr<RegistryItem>> found; m_references.bFindHolders(m_collObjects, removed, found)) {
        for (auto& item : found)
            holders.push_back({std::move(item)});
    } else {
        for (int i = 1; i <= m_collObjects.Count(); ++i) {
            // The next holders are fetched from memory while this one is asked.
            if (i + 8 <= m_collObjects.Count())
                __builtin_prefetch(m_collObjects.Item(i + 8).get());
            if (m_collObjects.bMayHold(i, removed))
                holders.push_back({m_collObjects.Item(i)});
        }
    }
    // Several leave the registry's list in one pass, after the walk; nothing
    // in it looks at the list. Their identifiers are reserved below: they
    // stay taken.
    const bool bTogether = removed.items.size() > 1 && m_collObjects.bEachOnce();
    if (removed.items.size() > 1)
        for (const auto& holder : holders)
            holder.item->removalsStarting(removed);
    // A holder that may refer to the removed only through its successor link
    // is asked only about the one it names then (it is among that one's
    // predecessors): a run of segments removed together holds each other.
    std::unordered_map<const RegistryItem*, std::vector<size_t>> holderAt;
    std::vector<size_t> always;
    for (size_t h = 0; h < holders.size(); ++h) {
        holderAt[holders[h].item.get()].push_back(h);
        holders[h].bLinkOnly = holders[h].item->bRefersOnlyByLink(removed);
        if (!holders[h].bLinkOnly)
            always.push_back(h);
    }
    std::vector<std::shared_ptr<RegistryItem>> leaving;
    std::unordered_set<const RegistryItem*> leavingSet;
    for (const auto& item : removed.items) {
        if (!item)
            continue;
        std::vector<size_t> asked = always;
        if (const auto* expr = dynamic_cast<const Expression*>(item.get()); expr && asked.size() < holders.size()) {
            std::vector<const Expression*> linked;
            expr->appendLinkHolders(linked);
            for (const Expression* holder : linked)
                if (const auto it = holderAt.find(holder); it != holderAt.end())
                    for (const size_t h : it->second)
                        if (holders[h].bLinkOnly)
                            asked.push_back(h);
            std::sort(asked.begin(), asked.end());
            asked.erase(std::unique(asked.begin(), asked.end()), asked.end());
        }
        for (const size_t h : asked)
            if (holders[h].bRegistered)
                holders[h].item->RemoveReferenceObj(item);
        bool bLeft = false;
        if (bTogether) {
            bLeft = m_collObjects.iOrderOf(item.get()) != 0 && leavingSet.insert(item.get()).second;
            if (bLeft)
                leaving.push_back(item);
        } else {
            bLeft = m_collObjects.RemoveItem(item, false);
        }
        if (const auto it = holderAt.find(item.get()); bLeft && it != holderAt.end()) {
            const auto entry = std::find_if(it->second.begin(), it->second.end(),
                                            [&](size_t h) { return holders[h].bRegistered; });
            if (entry != it->second.end())
                holders[*entry].bRegistered = false;
        }
        m_references.forget(item.get());
        item->afterRemoved(*this);
        queueRemoved(item->strGUID());
    }
    if (removed.items.size() > 1)
        for (const auto& holder : holders)
            holder.item->removalsDone();
    m_collObjects.RemoveItems(leaving, false);
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
