#pragma once

#include <QString>

#include <array>

namespace vimra {

// The start and end of a segment as the time dialog's eight boxes hold them:
// each part is the last valid value of its box.
class RangeTimes {
public:
    enum Box { hh1, mm1, ss1, ff1, hh2, mm2, ss2, ff2, kBoxCount };

    // Splits both times at the rate. A rate below 0 or not finite counts as 0,
    // a negative time as 0, and each part is kept within its box's bounds, so
    // what a box shows is always a value it accepts.
    void SetTime(double dStart, double dEnd, double dRate);
    double rate() const { return m_rate; }
    int part(Box box) const { return m_parts[box]; }
    // 59 for hours, minutes and seconds; the whole part of the rate for frames.
    int maximum(Box box) const;
    // Stores the box's value when the text is digits within the box's bounds
    // ("07" is 7), two at most, or as many as the box's maximum has; answers
    // false, storing nothing, otherwise.
    bool Accept(Box box, const QString& text);
    // Frames count only at a rate other than 0; as many frames as the rate
    // make one more second. Boxes that still show the time they were given
    // answer that time itself, not its frame's start: OK without an edit
    // moves nothing.
    double dGetStartTime() const { return join(hh1); }
    double dGetEndTime() const { return join(hh2); }

private:
    void split(double dSeconds, Box first);
    double join(Box first) const;

    double m_rate = 0;
    std::array<int, kBoxCount> m_parts{};
    std::array<double, 2> m_given{}; // start, end as SetTime had them
};

} // namespace vimra
