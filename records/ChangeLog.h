#pragma once

#include <QString>

#include <optional>
#include <span>
#include <vector>

namespace vimra {

// What a kind of change concerned, in the order noted, for a reader who
// keeps the stamp of its last look and asks only for what came since. The
// oldest entries are forgotten once the log holds twice `kKept`: a reader
// that far behind is told so and looks at everything instead.
template <class T, size_t kKept>
class BasicChangeLog {
public:
    void note(const T& entry)
    {
        if (m_entries.size() >= 2 * kKept) {
            m_entries.erase(m_entries.begin(), m_entries.begin() + kKept);
            m_iFirst += kKept;
        }
        m_entries.push_back(entry);
    }
    // Everything before now is no longer told.
    void forget()
    {
        m_iFirst = stamp();
        m_entries.clear();
    }
    // Rises with every entry noted.
    quint64 stamp() const { return m_iFirst + m_entries.size(); }
    // The entries noted since `stamp` (repeats kept); nothing when they are no
    // longer all known. Keep the result before walking it: a range-for over
    // `*log.since(s)` walks a span that died with its optional.
    std::optional<std::span<const T>> since(quint64 stamp) const
    {
        if (stamp < m_iFirst || stamp > this->stamp())
            return std::nullopt;
        return std::span<const T>(m_entries).subspan(size_t(stamp - m_iFirst));
    }

private:
    std::vector<T> m_entries;
    quint64 m_iFirst = 0; // the stamp of m_entries.front()
};

// Identifiers, for the registry's and the pictures' readers.
using ChangeLog = BasicChangeLog<QString, size_t(1) << 15>;

} // namespace vimra
