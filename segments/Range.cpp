#include "segments/Range.h"

#include <stdexcept>

namespace vimra {

std::shared_ptr<Range> RangeSet::Add(double dEnd, double dStart, const QString& sKey)
{
    auto range = std::make_shared<Range>();
    range->dend = dEnd;
    range->dBegin = dStart;
    if (!m_ranges.Add(range, sKey))
        throw std::invalid_argument("range key already in the set");
    m_bKeyed = m_bKeyed || !sKey.isEmpty();
    return range;
}

void RangeSet::Remove(const QString& sKey)
{
    if (!m_ranges.Remove(sKey))
        throw std::out_of_range("range key not found");
}

void RangeSet::RemoveMarked(const std::vector<bool>& gone)
{
    const auto marked = [&](int i) { return size_t(i) < gone.size() && gone[size_t(i)]; };
    if (m_bKeyed) {
        // Keys go with their ranges: one at a time, from the last.
        for (int i = Count(); i >= 1; --i)
            if (marked(i))
                m_ranges.Remove(i);
        return;
    }
    Coll<std::shared_ptr<Range>> kept;
    kept.reserve(Count());
    for (int i = 1; i <= Count(); ++i)
        if (!marked(i))
            kept.Add(m_ranges.Item(i));
    m_ranges = std::move(kept);
}

} // namespace vimra
