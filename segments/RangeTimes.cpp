#include "segments/RangeTimes.h"

#include "records/Procedures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vimra {

void RangeTimes::SetTime(double dStart, double dEnd, double dRate)
{
    m_rate = std::isfinite(dRate) && dRate > 0 ? dRate : 0.0;
    m_given = {dStart, dEnd};
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
    const std::array<int, 5> parts{0, m_parts[first], m_parts[first + 1], m_parts[first + 2], m_parts[first + 3]};
    // A time outside the boxes (negative, 60 hours or more, not a number)
    // was shown clipped: the boxes' time is answered for it.
    const double given = m_given[first == hh1 ? 0 : 1];
    if (given >= 0 && given < 60 * 3600.0 && vSecondsToTimeParts(given, m_rate) == parts)
        return given;
    return dTimePartsToSeconds(parts, m_rate);
}

int RangeTimes::maximum(Box box) const
{
    if (box == ff1 || box == ff2)
        return int(std::min(std::floor(m_rate), double(std::numeric_limits<int>::max())));
    return 59;
}

bool RangeTimes::Accept(Box box, const QString& text)
{
    const int digits = std::max(2, int(QString::number(maximum(box)).size()));
    if (text.size() > digits || !bIsDigits(text))
        return false;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value > maximum(box))
        return false;
    m_parts[box] = value;
    return true;
}

} // namespace vimra
