#include "document/Registry.h"

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

void Registry::Add(const Item_t& item)
{
    m_items.Add(item);
    if (!item)
        return;
    Entry& entry = m_keyOf[item.get()];
    if (entry.count++ == 0) {
        entry.key = GUIDRenames::keyOf(item->strGUID());
        index(item.get(), entry.key);
    }
}

bool Registry::RemoveItem(const Item_t& item, bool bFreesGUID)
{
    if (!m_items.RemoveItem(item))
        return false;
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
