#pragma once

#include "records/Coll.h"

#include <QString>

#include <memory>
#include <vector>

namespace vimra {

// One time interval of the range slider, in seconds. It stores what it is
// given: nothing checks that dBegin does not follow dend.
struct Range {
    double dBegin = 0.0;
    double dend = 0.0;
};

// The slider's ranges in the order they were added, 1-based and never sorted
// by time. Items are shared: a change made through Item is the stored range.
class RangeSet {
public:
    // End time first, as the slider calls it. Throws std::invalid_argument
    // when a non-empty key is already taken.
    std::shared_ptr<Range> Add(double dEnd, double dStart, const QString& sKey = QString());
    // Out of range positions and absent keys throw std::out_of_range.
    std::shared_ptr<Range> Item(int index) const { return m_ranges.Item(index); }
    std::shared_ptr<Range> Item(const QString& sKey) const { return m_ranges.Item(sKey); }
    int Count() const { return m_ranges.Count(); }
    void Remove(int index) { m_ranges.Remove(index); }
    void Remove(const QString& sKey);
    // Removes every range marked in `gone` (by its 1-based index), in one pass.
    void RemoveMarked(const std::vector<bool>& gone);
    // 1-based position of that very range, 0 when it is not in the set.
    int IndexOf(const std::shared_ptr<Range>& range) const { return m_ranges.IndexOf(range); }

    auto begin() const { return m_ranges.begin(); }
    auto end() const { return m_ranges.end(); }

private:
    Coll<std::shared_ptr<Range>> m_ranges;
};

} // namespace vimra
