#pragma once

#include <QString>

#include <optional>
#include <span>
#include <vector>

namespace vimra {

// The names a kind of change concerned, in the order noted, for a reader who
// keeps the stamp of its last look and asks only for what came since. The
// oldest names are forgotten once the log grows long: a reader that far
// behind is told so and looks at everything instead.
class ChangeLog {
public:
    void note(const QString& name)
    {
        if (m_names.size() >= 2 * kKept) {
            m_names.erase(m_names.begin(), m_names.begin() + kKept);
            m_iFirst += kKept;
        }
        m_names.push_back(name);
    }
    // Everything before now is no longer told.
    void forget()
    {
        m_iFirst = stamp();
        m_names.clear();
    }
    // Rises with every name noted.
    quint64 stamp() const { return m_iFirst + m_names.size(); }
    // The names noted since `stamp` (repeats kept); nothing when they are no
    // longer all known. Keep the result before walking it: a range-for over
    // `*log.since(s)` walks a span that died with its optional.
    std::optional<std::span<const QString>> since(quint64 stamp) const
    {
        if (stamp < m_iFirst || stamp > this->stamp())
            return std::nullopt;
        return std::span<const QString>(m_names).subspan(size_t(stamp - m_iFirst));
    }

private:
    static constexpr size_t kKept = 1 << 15;
    std::vector<QString> m_names;
    quint64 m_iFirst = 0; // the stamp of m_names.front()
};

} // namespace vimra
