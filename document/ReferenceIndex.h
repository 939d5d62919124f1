#pragma once

#include "document/Expression.h"

#include <QHash>
#include <QString>

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vimra {

class Registry;
struct RemovedObjects;

// Finds, without asking every registered object, the ones that may hold a
// reference to removed segments: the objects of any class (the document, its
// Versions and Media), the segments' predecessors in the chain and the
// expressions listing them (both known to the segments themselves), and the
// expressions whose part-of field names them, indexed here by the field's
// plain last name. An expression's index entry is looked at again when the
// expression says its part-of field may have changed (touch), before every
// removal once its fields were handed out to be written by others (watch),
// and for every object registered since the last look.
class ReferenceIndex {
public:
    void touch(const std::shared_ptr<RegistryItem>& expr);
    void watch(const std::shared_ptr<RegistryItem>& expr);
    // The objects a walk of `registry` would keep, asking each entry
    // bMayRefer for a class of the removed and then bMayReferTo, in
    // registration order; false when only such a walk can tell (an object
    // registered twice, a removed object that is no segment, an identifier
    // without a plain last name).
    bool bFindHolders(const Registry& registry, const RemovedObjects& removed,
                      std::vector<std::shared_ptr<RegistryItem>>& holders);
    // Brings the index up to date with the registry.
    void sync(const Registry& registry);
    void forget(const RegistryItem* item);

private:
    struct Slot {
        std::weak_ptr<RegistryItem> self;
        Expression::PartOfKey key;
    };
    void rekey(const std::shared_ptr<RegistryItem>& item);
    void unindex(const RegistryItem* item, const Expression::PartOfKey& key);

    std::unordered_map<const RegistryItem*, Slot> m_slots;
    QHash<QString, std::unordered_set<const RegistryItem*>> m_byName;
    std::unordered_set<const RegistryItem*> m_always;
    std::vector<std::weak_ptr<RegistryItem>> m_touched;
    std::vector<std::weak_ptr<RegistryItem>> m_watched;
    quint64 m_iSyncedUpTo = 0; // registration orders below this one were looked at
};

} // namespace vimra
