#pragma once

#include "document/RegistryItem.h"
#include "records/ChangeLog.h"
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
    int IndexOf(const Item_t& item) const;
    // Whether the entry at `index` may hold a reference to an object of
    // `strClass` that its RemoveReferenceObj drops: media files and Storages
    // hold none, an expression only to its own class and to a Version.
    bool bMayRefer(int index, const QString& strClass) const;
    // Whether the entry at `index` may hold a reference to any of `removed`:
    // it may refer to one of their classes, and its bMayReferTo says so.
    bool bMayHold(int index, const RemovedObjects& removed) const;
    // Removes the first entry of `item`. `bFreesGUID` false: the caller keeps
    // its identifier from being given again.
    bool RemoveItem(const Item_t& item, bool bFreesGUID = true);
    // RemoveItem for each of `items` in turn, the entries taken out of the
    // list in one pass; answers, for each, whether it was registered.
    std::vector<bool> RemoveItems(const std::vector<Item_t>& items, bool bFreesGUID = true);
    void Clear();
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    // The first registered object whose identifier names the same file as
    // `strGUID`; none for an empty identifier.
    Item_t objFind(const QString& strGUID) const;
    // Every registered object whose identifier names the same file as
    // `strGUID`, in no particular order; none for an empty identifier.
    QVarLengthArray<const RegistryItem*, 1> objectsNamed(const QString& strGUID) const;
    // Called by a registered object whose identifier changed.
    void rekey(const RegistryItem* item);
    // Whether a registered object has this normalised identifier.
    bool bHasKey(const QString& strKey) const { return m_byKey.contains(strKey); }
    // Changes whenever an identifier stops naming a registered object.
    quint64 iFreedStamp() const { return m_iFreedStamp; }
    // Rises with every registration, removal and identifier change.
    quint64 iNamesStamp() const { return m_names.stamp(); }
    // The normalised identifiers whose objects changed since `stamp` (an
    // object registered or removed, an identifier given up or taken, each
    // as often as it happened); nothing when those are no longer all known.
    std::optional<std::span<const QString>> namesChangedSince(quint64 stamp) const { return m_names.since(stamp); }

    // Registration order: every entry gets a number greater than any before
    // it, so numbers rise with positions. 0 for an object not registered;
    // an object registered more than once answers for its first entry.
    quint64 iOrderOf(const RegistryItem* item) const;
    // The 1-based position of the entry numbered `order`, 0 when there is none.
    int iPositionOfOrder(quint64 order) const;
    // The position of the first entry numbered `order` or later (Count() + 1
    // when there is none), and the number the next entry will get.
    int iFirstFromOrder(quint64 order) const;
    quint64 iNextOrder() const { return m_iNextOrder; }
    // True while no object holds more than one entry.
    bool bEachOnce() const { return m_iRepeats == 0; }
    // Whether the entry at `index` may hold a reference to an object of any
    // class (a document, a Version, a Media), and whether it is an expression
    // that may hold one only to its own class and to a Version.
    bool bMayReferToAnything(int index) const { return m_refers[size_t(index - 1)] == Refers::Anything; }
    bool bExpressionAt(int index) const;

private:
    struct Entry {
        QString key;
        int count = 0; // the same object registered more than once
        quint64 order = 0; // of its first entry
    };
    void index(const RegistryItem* item, const QString& key);
    void unindex(const RegistryItem* item, const QString& key);
    void noteName(const QString& key);

    // What an entry's RemoveReferenceObj answers to, by position.
    enum class Refers : quint8 { Anything, Nothing, Video, Audio, Transcript };
    static Refers refersOf(const RegistryItem& item);
    Coll<Item_t> m_items;
    std::vector<Refers> m_refers;
    std::vector<quint64> m_orders; // by position, rising
    quint64 m_iNextOrder = 1;
    int m_iRepeats = 0; // entries beyond each object's first
    std::unordered_map<const RegistryItem*, Entry> m_keyOf;
    // Most identifiers name one object: held in place, not allocated.
    QHash<QString, QVarLengthArray<const RegistryItem*, 1>> m_byKey;
    quint64 m_iFreedStamp = 0;
    ChangeLog m_names;
};

} // namespace vimra
