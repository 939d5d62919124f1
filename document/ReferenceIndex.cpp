#include "document/ReferenceIndex.h"

#include "document/Registry.h"

#include <algorithm>

namespace vimra {

void ReferenceIndex::touch(const std::shared_ptr<RegistryItem>& expr)
{
    m_touched.push_back(expr);
}

void ReferenceIndex::watch(const std::shared_ptr<RegistryItem>& expr)
{
    m_watched.push_back(expr);
}

void ReferenceIndex::unindex(const RegistryItem* item, const Expression::PartOfKey& key)
{
    if (key.kind == Expression::PartOfKey::Named) {
        const auto it = m_byName.find(key.name);
        if (it != m_byName.end()) {
            it->erase(item);
            if (it->empty())
                m_byName.erase(it);
        }
    } else if (key.kind == Expression::PartOfKey::Always) {
        m_always.erase(item);
    }
}

void ReferenceIndex::rekey(const std::shared_ptr<RegistryItem>& item)
{
    const auto* expr = dynamic_cast<const Expression*>(item.get());
    if (!expr)
        return;
    Expression::PartOfKey key = expr->partOfKey();
    const auto [it, bNew] = m_slots.try_emplace(item.get());
    Slot& slot = it->second;
    if (!bNew) {
        // Another object may have lived at this address before.
        const bool bSame = !slot.self.expired() && !slot.self.owner_before(item) && !item.owner_before(slot.self);
        if (bSame && slot.key == key)
            return;
        unindex(item.get(), slot.key);
    }
    slot.self = item;
    if (key.kind == Expression::PartOfKey::Named)
        m_byName[key.name].insert(item.get());
    else if (key.kind == Expression::PartOfKey::Always)
        m_always.insert(item.get());
    slot.key = std::move(key);
}

void ReferenceIndex::forget(const RegistryItem* item)
{
    const auto it = m_slots.find(item);
    if (it == m_slots.end())
        return;
    unindex(item, it->second.key);
    m_slots.erase(it);
}

void ReferenceIndex::sync(const Registry& registry)
{
    for (int i = registry.iFirstFromOrder(m_iSyncedUpTo); i <= registry.Count(); ++i)
        if (registry.bExpressionAt(i) && registry.Item(i))
            rekey(registry.Item(i));
    m_iSyncedUpTo = registry.iNextOrder();
    const auto touched = std::move(m_touched);
    m_touched.clear();
    for (const auto& weak : touched)
        if (const auto item = weak.lock())
            rekey(item);
    std::erase_if(m_watched, [](const auto& weak) { return weak.expired(); });
    for (const auto& weak : m_watched)
        rekey(weak.lock());
}

bool ReferenceIndex::bFindHolders(const Registry& registry, const RemovedObjects& removed,
                                  std::vector<std::shared_ptr<RegistryItem>>& holders)
{
    if (!registry.bEachOnce() || removed.bUnplainName)
        return false;
    std::vector<const Expression*> segments;
    for (const auto& item : removed.items) {
        if (!item)
            continue;
        const auto* segment = dynamic_cast<const Expression*>(item.get());
        if (!segment || !Expression::bIsExpressionClass(item->className()))
            return false;
        segments.push_back(segment);
    }
    sync(registry);

    std::vector<int> positions;
    for (int i = 1; i <= registry.Count(); ++i)
        if (registry.bMayReferToAnything(i))
            positions.push_back(i);
    // Only a registered object is asked; the registry keeps it alive.
    const auto add = [&](const RegistryItem* item) {
        if (const quint64 order = registry.iOrderOf(item))
            positions.push_back(registry.iPositionOfOrder(order));
    };
    std::vector<const Expression*> linked;
    for (const auto* segment : segments)
        segment->appendLinkHolders(linked);
    for (const auto* expr : linked)
        add(expr);
    for (auto it = removed.lastNames.cbegin(); it != removed.lastNames.cend(); ++it)
        if (const auto bucket = m_byName.constFind(it.key()); bucket != m_byName.cend())
            for (const auto* item : *bucket)
                add(item);
    for (const auto* item : m_always)
        add(item);
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());

    for (const int i : positions) {
        if (registry.Item(i) && registry.bMayHold(i, removed))
            holders.push_back(registry.Item(i));
    }
    return true;
}

} // namespace vimra
