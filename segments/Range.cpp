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
    return range;
}

void RangeSet::Remove(const QString& sKey)
{
    if (!m_ranges.Remove(sKey))
        throw std::out_of_range("range key not found");
}

void RangeSet::RemoveMarked(const std::vector<bool>& gone)
{
    // In place, keys going with their ranges.
    std::vector<int> positions;
    for (int i = 1; i <= Count() && size_t(i) < gone.size(); ++i)
        if (gone[size_t(i)])
            positions.push_back(i);
    m_ranges.RemovePositions(positions);
}

} // namespace vimra
