#pragma once

#include <QString>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace vimra {

// Erases the elements at the given 1-based positions (rising, each once) in
// one pass: erasing many from a long vector moves each element once.
template <typename T>
void ErasePositions(std::vector<T>& v, const std::vector<int>& positions)
{
    if (positions.empty())
        return;
    size_t out = static_cast<size_t>(positions.front() - 1);
    size_t next = 0;
    for (size_t i = out; i < v.size(); ++i) {
        if (next < positions.size() && static_cast<size_t>(positions[next] - 1) == i) {
            ++next;
            continue;
        }
        v[out++] = std::move(v[i]);
    }
    v.resize(out);
}

// For removals made one by one from a list and noted in `taken` (their
// positions before any of them, rising): notes `position` (given the same
// way) and answers where it stands among the members still there.
inline int TakePosition(std::vector<int>& taken, int position)
{
    const auto before = std::lower_bound(taken.begin(), taken.end(), position);
    const int now = position - static_cast<int>(before - taken.begin());
    taken.insert(before, position);
    return now;
}

// The one ordered collection of the system: 1-based positions, optional unique
// text keys (compared without case unless the owner asks otherwise), insertion
// order, removal by position, key or identity, and range-for iteration.
template <typename T>
class Coll {
public:
    explicit Coll(Qt::CaseSensitivity keyCase = Qt::CaseInsensitive) : m_keyCase(keyCase) {}

    // Appends under sKey when it is not empty. Answers false (and adds nothing)
    // when the key is already taken.
    bool Add(const T& item, const QString& sKey = QString())
    {
        if (!sKey.isEmpty() && IndexOfKey(sKey) != 0)
            return false;
        // Keys are kept only once one is given: most collections have none.
        if (!sKey.isEmpty() && !m_bKeyed) {
            m_keys.resize(m_items.size());
            m_bKeyed = true;
        }
        m_items.push_back(item);
        if (m_bKeyed)
            m_keys.push_back(sKey);
        return true;
    }

    T& Item(int index)
    {
        check(index);
        return m_items[static_cast<size_t>(index - 1)];
    }
    const T& Item(int index) const
    {
        check(index);
        return m_items[static_cast<size_t>(index - 1)];
    }
    // The item under a key; throws when there is none. Callers that may miss
    // use Find, so a miss here is a fault and must not pass as a default item.
    T& Item(const QString& sKey)
    {
        const int i = IndexOfKey(sKey);
        if (i == 0)
            throw std::out_of_range("collection key not found");
        return m_items[static_cast<size_t>(i - 1)];
    }
    const T& Item(const QString& sKey) const { return const_cast<Coll*>(this)->Item(sKey); }

    // Pointer to the item under a key, or nullptr.
    T* Find(const QString& sKey)
    {
        const int i = IndexOfKey(sKey);
        return i == 0 ? nullptr : &m_items[static_cast<size_t>(i - 1)];
    }
    const T* Find(const QString& sKey) const { return const_cast<Coll*>(this)->Find(sKey); }
    bool Contains(const QString& sKey) const { return IndexOfKey(sKey) != 0; }

    int Count() const { return static_cast<int>(m_items.size()); }
    void reserve(int n)
    {
        m_items.reserve(static_cast<size_t>(n));
    }
    bool isEmpty() const { return m_items.empty(); }

    void Remove(int index)
    {
        check(index);
        m_items.erase(m_items.begin() + (index - 1));
        if (m_bKeyed)
            m_keys.erase(m_keys.begin() + (index - 1));
    }
    bool Remove(const QString& sKey)
    {
        const int i = IndexOfKey(sKey);
        if (i == 0)
            return false;
        Remove(i);
        return true;
    }
    // Removes the items at the given 1-based positions (rising, each once) in
    // one pass: removing many from a long collection moves each item once.
    void RemovePositions(const std::vector<int>& positions)
    {
        for (const int index : positions)
            check(index);
        ErasePositions(m_items, positions);
        if (m_bKeyed)
            ErasePositions(m_keys, positions);
    }
    // Removes the first item equal to `item` (identity for shared pointers).
    bool RemoveItem(const T& item)
    {
        const int i = IndexOf(item);
        if (i == 0)
            return false;
        Remove(i);
        return true;
    }
    void Clear()
    {
        m_items.clear();
        m_keys.clear();
        m_bKeyed = false;
    }

    // 1-based position of the first equal item, 0 when absent.
    int IndexOf(const T& item) const
    {
        for (size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i] == item)
                return static_cast<int>(i) + 1;
        return 0;
    }
    int IndexOfKey(const QString& sKey) const
    {
        if (sKey.isEmpty())
            return 0;
        for (size_t i = 0; i < m_keys.size(); ++i)
            if (m_keyCase == Qt::CaseSensitive ? m_keys[i] == sKey
                                               : !m_keys[i].isEmpty() && m_keys[i].compare(sKey, m_keyCase) == 0)
                return static_cast<int>(i) + 1;
        return 0;
    }

    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    void check(int index) const
    {
        if (index < 1 || index > Count())
            throw std::out_of_range("collection index out of range");
    }

    Qt::CaseSensitivity m_keyCase;
    std::vector<T> m_items;
    std::vector<QString> m_keys; // one per item once any item was given a key
    bool m_bKeyed = false;
};

} // namespace vimra
