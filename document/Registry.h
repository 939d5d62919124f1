#pragma once

#include "document/RegistryItem.h"
#include "records/Coll.h"

#include <QHash>
#include <QString>
#include <QVarLengthArray>

#include <memory>
#include <unordered_map>
#include <vector>

namespace vimra {

// The document's registry of loaded objects, in registration order, that also
// answers which object an identifier names without walking the list: a hash
// of normalised identifiers, kept current by registration, removal and the
// objects' own renames (rekey).
class Registry {
public:
    using Item_t = std::shared_ptr<RegistryItem>;

    void Add(const Item_t& item);
    // Room for `n` objects in all, for an open about to register many.
    void reserve(int n);
    const Item_t& Item(int index) const { return m_items.Item(index); }
    int Count() const { return m_items.Count(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    int IndexOf(const Item_t& item) const { return m_items.IndexOf(item); }
    // Whether the entry at `index` may hold a reference to an object of
    // `strClass` that its RemoveReferenceObj drops: media files and Storages
    // hold none, an expression only to its own class and to a Version.
    bool bMayRefer(int index, const QString& strClass) const;
    // Removes the first entry of `item`. `bFreesGUID` false: the caller keeps
    // its identifier from being given again.
    bool RemoveItem(const Item_t& item, bool bFreesGUID = true);
    void Clear();
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    // The first registered object whose identifier names the same file as
    // `strGUID`; none for an empty identifier.
    Item_t objFind(const QString& strGUID) const;
    // Called by a registered object whose identifier changed.
    void rekey(const RegistryItem* item);
    // Whether a registered object has this normalised identifier.
    bool bHasKey(const QString& strKey) const { return m_byKey.contains(strKey); }
    // Changes whenever an identifier stops naming a registered object.
    quint64 iFreedStamp() const { return m_iFreedStamp; }

private:
    struct Entry {
        QString key;
        int count = 0; // the same object registered more than once
    };
    void index(const RegistryItem* item, const QString& key);
    void unindex(const RegistryItem* item, const QString& key);

    // What an entry's RemoveReferenceObj answers to, by position.
    enum class Refers : quint8 { Anything, Nothing, Video, Audio, Transcript };
    static Refers refersOf(const RegistryItem& item);
    Coll<Item_t> m_items;
    std::vector<Refers> m_refers;
    std::unordered_map<const RegistryItem*, Entry> m_keyOf;
    // Most identifiers name one object: held in place, not allocated.
    QHash<QString, QVarLengthArray<const RegistryItem*, 1>> m_byKey;
    quint64 m_iFreedStamp = 0;
};

} // namespace vimra
