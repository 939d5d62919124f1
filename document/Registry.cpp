#include "document/Registry.h"

#include "document/Expression.h"
#include "document/MediaObject.h"
#include "document/Storage.h"
#include "records/Procedures.h"

#include <algorithm>

namespace vimra {

QString GUIDRenames::keyOf(const QString& strGUID) { return strGUID.isEmpty() ? QString() : strAbsolutePath(strGUID); }

void GUIDRenames::add(const QString& strOldGUID, const QString& strNewGUID)
{
    pairs.emplace_back(strOldGUID, strNewGUID);
    if (!strOldGUID.isEmpty())
        byOld[keyOf(strOldGUID)].push_back(static_cast<int>(pairs.size()) - 1);
}

RemovedObjects::RemovedObjects(std::vector<std::shared_ptr<RegistryItem>> objects) : items(std::move(objects))
{
    for (const auto& item : items) {
        if (!item)
            continue;
        sorted.push_back(item.get());
        if (!classes.contains(item->className()))
            classes << item->className();
        const QString strGUID = item->strGUID();
        if (const auto name = plainLastName(strGUID))
            ++lastNames[name->toString()];
        else
            bUnplainName = true;
    }
    std::sort(sorted.begin(), sorted.end());
}

bool RemovedObjects::bHas(const RegistryItem* item) const
{
    return std::binary_search(sorted.begin(), sorted.end(), item);
}

Registry::Refers Registry::refersOf(const RegistryItem& item)
{
    if (dynamic_cast<const MediaObject*>(&item) || dynamic_cast<const Storage*>(&item))
        return Refers::Nothing;
    if (dynamic_cast<const Expression*>(&item)) {
        const QString cls = item.className();
        if (cls == QLatin1String("Video"))
            return Refers::Video;
        if (cls == QLatin1String("Audio"))
            return Refers::Audio;
        if (cls == QLatin1String("Transcript"))
            return Refers::Transcript;
    }
    return Refers::Anything;
}

bool Registry::bMayRefer(int index, const QString& strClass) const
{
    switch (m_refers[size_t(index - 1)]) {
    case Refers::Anything:
        return true;
    case Refers::Nothing:
        return false;
    case Refers::Video:
        return strClass == QLatin1String("Video") || strClass == QLatin1String("Version");
    case Refers::Audio:
        return strClass == QLatin1String("Audio") || strClass == QLatin1String("Version");
    case Refers::Transcript:
        return strClass == QLatin1String("Transcript") || strClass == QLatin1String("Version");
    }
    return true;
}

void Registry::Add(const Item_t& item)
{
    m_items.Add(item);
    m_refers.push_back(item ? refersOf(*item) : Refers::Anything);
    if (!item)
        return;
    Entry& entry = m_keyOf[item.get()];
    if (entry.count++ == 0) {
        entry.key = GUIDRenames::keyOf(item->strGUID());
        index(item.get(), entry.key);
    }
}

void Registry::reserve(int n)
{
    if (n <= Count())
        return;
    m_items.reserve(n);
    m_refers.reserve(static_cast<size_t>(n));
    m_keyOf.reserve(static_cast<size_t>(n));
    m_byKey.reserve(n);
}

bool Registry::RemoveItem(const Item_t& item, bool bFreesGUID)
{
    const int index = m_items.IndexOf(item);
    if (index == 0)
        return false;
    m_items.Remove(index);
    m_refers.erase(m_refers.begin() + (index - 1));
    if (bFreesGUID)
        ++m_iFreedStamp;
    const auto it = item ? m_keyOf.find(item.get()) : m_keyOf.end();
    if (it != m_keyOf.end() && --it->second.count == 0) {
        unindex(item.get(), it->second.key);
        m_keyOf.erase(it);
    }
    return true;
}

void Registry::Clear()
{
    m_items.Clear();
    m_refers.clear();
    m_keyOf.clear();
    m_byKey.clear();
    ++m_iFreedStamp;
}

Registry::Item_t Registry::objFind(const QString& strGUID) const
{
    const QString key = GUIDRenames::keyOf(strGUID);
    if (key.isEmpty())
        return nullptr;
    const auto it = m_byKey.constFind(key);
    if (it == m_byKey.constEnd() || it->empty())
        return nullptr;
    if (it->size() == 1)
        return const_cast<RegistryItem*>(it->front())->shared_from_this();
    // Two objects claiming one file: the first registered answers.
    const RegistryItem* first = nullptr;
    for (const auto& item : m_items)
        if (std::find(it->begin(), it->end(), item.get()) != it->end()) {
            first = item.get();
            break;
        }
    return first ? const_cast<RegistryItem*>(first)->shared_from_this() : nullptr;
}

void Registry::rekey(const RegistryItem* item)
{
    const auto it = m_keyOf.find(item);
    if (it == m_keyOf.end())
        return;
    const QString key = GUIDRenames::keyOf(item->strGUID());
    if (key == it->second.key)
        return;
    if (!it->second.key.isEmpty())
        ++m_iFreedStamp;
    unindex(item, it->second.key);
    it->second.key = key;
    index(item, key);
}

void Registry::index(const RegistryItem* item, const QString& key)
{
    if (!key.isEmpty())
        m_byKey[key].push_back(item);
}

void Registry::unindex(const RegistryItem* item, const QString& key)
{
    if (key.isEmpty())
        return;
    const auto it = m_byKey.find(key);
    if (it == m_byKey.end())
        return;
    it->erase(std::remove(it->begin(), it->end(), item), it->end());
    if (it->empty())
        m_byKey.erase(it);
}

} // namespace vimra
