#include "segments/RangeTimes.h"

#include "records/Procedures.h"

#include <algorithm>
#include <cmath>

namespace vimra {

void RangeTimes::SetTime(double dStart, double dEnd, double dRate)
{
    m_rate = std::isfinite(dRate) && dRate > 0 ? dRate : 0.0;
    split(dStart, hh1);
    split(dEnd, hh2);
}

void RangeTimes::split(double dSeconds, Box first)
{
    // Beyond a million hours (or infinite) every box shows its largest value.
    const bool huge = dSeconds >= 3600.0 * 1e6;
    const auto parts = vSecondsToTimeParts(dSeconds >= 0 && !huge ? dSeconds : 0.0, m_rate);
    for (int k = 0; k < 4; ++k) {
        const Box box = Box(first + k);
        m_parts[box] = huge ? maximum(box) : std::clamp(parts[size_t(k + 1)], 0, maximum(box));
    }
}

double RangeTimes::join(Box first) const
{
    return dTimePartsToSeconds({0, m_parts[first], m_parts[first + 1], m_parts[first + 2], m_parts[first + 3]},
                               m_rate);
}

int RangeTimes::maximum(Box box) const
{
    // Two digits hold no more frames than 99.
    if (box == ff1 || box == ff2)
        return int(std::min(std::floor(m_rate), 99.0));
    return 59;
}

bool RangeTimes::Accept(Box box, const QString& text)
{
    if (text.size() > 2 || !bIsDigits(text))
        return false;
    const int value = text.toInt();
    if (value > maximum(box))
        return false;
    m_parts[box] = value;
    return true;
}

} // namespace vimra
