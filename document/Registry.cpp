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

bool Registry::bMayHold(int index, const RemovedObjects& removed) const
{
    const auto& classes = removed.classes;
    return std::any_of(classes.begin(), classes.end(), [&](const QString& strClass) { return bMayRefer(index, strClass); })
           && Item(index)->bMayReferTo(removed);
}

void Registry::Add(const Item_t& item)
{
    m_items.Add(item);
    m_refers.push_back(item ? refersOf(*item) : Refers::Anything);
    const quint64 order = m_iNextOrder++;
    m_orders.push_back(order);
    if (!item)
        return;
    Entry& entry = m_keyOf[item.get()];
    if (entry.count++ == 0) {
        entry.key = GUIDRenames::keyOf(item->strGUID());
        entry.order = order;
        index(item.get(), entry.key);
    } else {
        ++m_iRepeats;
    }
    noteName(entry.key);
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
    const auto it = item ? m_keyOf.find(item.get()) : m_keyOf.end();
    const int index = it != m_keyOf.end() ? iPositionOfOrder(it->second.order) : m_items.IndexOf(item);
    if (index == 0)
        return false;
    m_items.Remove(index);
    m_refers.erase(m_refers.begin() + (index - 1));
    m_orders.erase(m_orders.begin() + (index - 1));
    if (bFreesGUID)
        ++m_iFreedStamp;
    if (it == m_keyOf.end())
        return true;
    noteName(it->second.key);
    if (--it->second.count == 0) {
        unindex(item.get(), it->second.key);
        m_keyOf.erase(it);
    } else {
        --m_iRepeats;
        // Its next entry is now its first.
        it->second.order = m_orders[size_t(m_items.IndexOf(item) - 1)];
    }
    return true;
}

std::vector<bool> Registry::RemoveItems(const std::vector<Item_t>& items, bool bFreesGUID)
{
    std::vector<bool> removed(items.size(), false);
    // An object registered twice loses one entry per removal: in turn.
    if (!bEachOnce() || items.size() < 2) {
        for (size_t i = 0; i < items.size(); ++i)
            removed[i] = RemoveItem(items[i], bFreesGUID);
        return removed;
    }
    std::vector<int> positions;
    positions.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const auto it = items[i] ? m_keyOf.find(items[i].get()) : m_keyOf.end();
        const int index = it != m_keyOf.end() ? iPositionOfOrder(it->second.order) : m_items.IndexOf(items[i]);
        if (index == 0 || std::find(positions.begin(), positions.end(), index) != positions.end())
            continue;
        removed[i] = true;
        positions.push_back(index);
        if (bFreesGUID)
            ++m_iFreedStamp;
        if (it != m_keyOf.end()) {
            noteName(it->second.key);
            unindex(items[i].get(), it->second.key);
            m_keyOf.erase(it);
        }
    }
    std::sort(positions.begin(), positions.end());
    m_items.RemovePositions(positions);
    ErasePositions(m_refers, positions);
    ErasePositions(m_orders, positions);
    return removed;
}

void Registry::Clear()
{
    m_items.Clear();
    m_refers.clear();
    m_orders.clear();
    m_iRepeats = 0;
    m_keyOf.clear();
    m_byKey.clear();
    ++m_iFreedStamp;
    m_names.forget();
}

int Registry::IndexOf(const Item_t& item) const
{
    const auto it = item ? m_keyOf.find(item.get()) : m_keyOf.end();
    return it != m_keyOf.end() ? iPositionOfOrder(it->second.order) : m_items.IndexOf(item);
}

quint64 Registry::iOrderOf(const RegistryItem* item) const
{
    const auto it = m_keyOf.find(item);
    return it == m_keyOf.end() ? 0 : it->second.order;
}

int Registry::iPositionOfOrder(quint64 order) const
{
    const auto it = std::lower_bound(m_orders.begin(), m_orders.end(), order);
    return it != m_orders.end() && *it == order ? int(it - m_orders.begin()) + 1 : 0;
}

int Registry::iFirstFromOrder(quint64 order) const
{
    return int(std::lower_bound(m_orders.begin(), m_orders.end(), order) - m_orders.begin()) + 1;
}

bool Registry::bExpressionAt(int index) const
{
    const Refers refers = m_refers[size_t(index - 1)];
    return refers == Refers::Video || refers == Refers::Audio || refers == Refers::Transcript;
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

QVarLengthArray<const RegistryItem*, 1> Registry::objectsNamed(const QString& strGUID) const
{
    const QString key = GUIDRenames::keyOf(strGUID);
    return key.isEmpty() ? QVarLengthArray<const RegistryItem*, 1>() : m_byKey.value(key);
}

void Registry::rekey(const RegistryItem* item)
{
    const auto it = m_keyOf.find(item);
    if (it == m_keyOf.end())
        return;
    const QString key = GUIDRenames::keyOf(item->strGUID());
    // The identifier may have changed where its normalised form did not.
    noteName(key);
    if (key == it->second.key)
        return;
    noteName(it->second.key);
    if (!it->second.key.isEmpty())
        ++m_iFreedStamp;
    unindex(item, it->second.key);
    it->second.key = key;
    index(item, key);
}

void Registry::noteName(const QString& key)
{
    if (!key.isEmpty())
        m_names.note(key);
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
