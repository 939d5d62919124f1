#include "segments/RangeSliderModel.h"

#include "segments/Removals.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace vimra {

SliderTrack sliderTrack(double sliderLeft, double sliderWidth)
{
    return {std::nearbyint(sliderLeft + 200), std::nearbyint(sliderWidth - 400)};
}

bool hasSpan(double dMin, double dMax)
{
    return std::isfinite(dMax - dMin) && dMax > dMin;
}

double timeToX(double t, double dMin, double dMax, const SliderTrack& track)
{
    if (!hasSpan(dMin, dMax))
        return track.left;
    return track.left + track.width * (t - dMin) / (dMax - dMin);
}

BoxSpan rangeBoxSpan(double dBegin, double dEnd, double dMin, double dMax, const SliderTrack& track)
{
    if (!hasSpan(dMin, dMax))
        return {track.left, 0};
    const double left = timeToX(std::clamp(dBegin, dMin, dMax), dMin, dMax, track);
    const double right = timeToX(std::clamp(dEnd, dMin, dMax), dMin, dMax, track);
    return {left, std::max(0.0, right - left)};
}

int timeToSliderValue(double t, double dMin, double dMax, int iMin, int iMax)
{
    if (!hasSpan(dMin, dMax))
        return iMin;
    const double value = double(iMax - iMin) * (t - dMin) / (dMax - dMin) + iMin;
    // The inner slider holds no value outside its scale.
    if (!(value > iMin))
        return iMin;
    if (value > iMax)
        return iMax;
    return int(std::nearbyint(value));
}

double sliderValueToTime(int value, double dMin, double dMax, int iMin, int iMax)
{
    if (!hasSpan(dMin, dMax) || iMax <= iMin)
        return dMin;
    return dMin + (dMax - dMin) * double(qint64(value) - iMin) / double(qint64(iMax) - iMin);
}

double cappedLargeChange(double dLargeChange, double dMin, double dMax)
{
    const double span = hasSpan(dMin, dMax) ? dMax - dMin : 0.0;
    return span < dLargeChange ? span : dLargeChange;
}

int largeChangeSteps(double dLargeChange, double dMin, double dMax, int iMin, int iMax)
{
    if (!hasSpan(dMin, dMax))
        return 0;
    const double steps = dLargeChange / (dMax - dMin) * double(iMax - iMin);
    if (!(steps > 0))
        return 0;
    return int(std::nearbyint(std::min(steps, double(iMax - iMin))));
}

// ---- the model ----

RangeSliderModel::RangeSliderModel()
{
    ReadProperties({});
}

std::vector<int> RangeSliderModel::colSelectedIndexes() const
{
    std::vector<int> indexes;
    if (m_iStart == -1)
        return indexes;
    const auto [lo, hi] = runBounds();
    int i = 0;
    for (const auto& range : m_ranges) {
        ++i;
        if (lo <= range->dBegin && range->dBegin <= hi)
            indexes.push_back(i);
    }
    return indexes;
}

std::pair<double, double> RangeSliderModel::runBounds() const
{
    const double a = m_ranges.Item(m_iStart)->dBegin;
    const double b = m_ranges.Item(m_iEnd)->dBegin;
    return {std::min(a, b), std::max(a, b)};
}

bool RangeSliderModel::inRun(int index) const
{
    const auto [lo, hi] = runBounds();
    const double t = m_ranges.Item(index)->dBegin;
    return lo <= t && t <= hi;
}

void RangeSliderModel::Refresh()
{
    redrawAll();
    dirtyAll();
    Changed();
}

RangeSliderModel::DirtySpan RangeSliderModel::takeDirty() { return std::exchange(m_dirty, DirtySpan{}); }

void RangeSliderModel::dirtyX(double left, double right)
{
    // Places far apart stay apart, so that a change at each end of the
    // track does not paint all between; past a few they are joined.
    constexpr size_t kMostSpans = 32;
    constexpr double kNear = 300;
    auto& spans = m_dirty.spans;
    for (auto& span : spans)
        if (left <= span.second + kNear && right >= span.first - kNear) {
            span = {std::min(span.first, left), std::max(span.second, right)};
            return;
        }
    if (spans.size() == kMostSpans) {
        for (const auto& span : spans) {
            left = std::min(left, span.first);
            right = std::max(right, span.second);
        }
        spans.clear();
    }
    spans.emplace_back(left, right);
}

void RangeSliderModel::dirtyBlink()
{
    // The line is three pixels wide about blinkX.
    dirtyX(m_blinkX - 30, m_blinkX + 30);
}

void RangeSliderModel::setBar(size_t i, int pixels)
{
    if (m_boxes[i].iBarPixels != pixels) {
        m_boxes[i].iBarPixels = pixels;
        dirtyBox(i);
    }
}

void RangeSliderModel::setColours(size_t i, quint32 colour)
{
    RangeBox& box = m_boxes[i];
    if (box.barColor != colour || box.leftTickColor != colour || box.rightTickColor != colour) {
        box.barColor = box.leftTickColor = box.rightTickColor = colour;
        dirtyBox(i);
    }
}

void RangeSliderModel::setEnabled(bool value)
{
    m_bEnabled = value;
    Changed();
}

void RangeSliderModel::setDMin(double value)
{
    m_dMin = value;
    m_bPlacesStale = true;
    dirtyAll();
    Changed();
}

void RangeSliderModel::setDMax(double value)
{
    m_dMax = value;
    m_bPlacesStale = true;
    dirtyAll();
    Changed();
}

void RangeSliderModel::setIRangeSelectedStart(int value)
{
    // Callers pass -1 or an index; anything else would leave a selection
    // that names no range.
    if (value != -1 && (value < 1 || value > Count()))
        return;
    m_iStart = value;
    m_iEnd = value;
    colourStartRange();
    redrawAll();
    Changed();
}

void RangeSliderModel::setIRangeSelectedEnd(int value)
{
    if (m_iStart == -1 || value < 1 || value > Count())
        return;
    m_iEnd = value;
    redrawAll();
    Changed();
}

void RangeSliderModel::setDPosition(double value)
{
    m_dPosition = value;
    if (m_dPosition > m_dMax)
        m_dPosition = m_dMax;
    if (m_dPosition < m_dMin)
        m_dPosition = m_dMin;
    m_sliderValue = timeToSliderValue(m_dPosition, m_dMin, m_dMax, kSliderMin, kSliderMax);
    Changed();
}

void RangeSliderModel::setDLargeChange(double value)
{
    m_dLargeChange = cappedLargeChange(value, m_dMin, m_dMax);
    m_sliderLargeChange = largeChangeSteps(m_dLargeChange, m_dMin, m_dMax, kSliderMin, kSliderMax);
    Changed();
}

void RangeSliderModel::setRangeColor(quint32 value)
{
    recolour(value);
    dirtyAll();
    Changed();
}

void RangeSliderModel::recolour(quint32 value)
{
    for (size_t i = 0; i < m_boxes.size(); ++i)
        setColours(i, value);
    m_rangeColor = value;
}

void RangeSliderModel::setStartRangeColor(quint32 value)
{
    m_startRangeColor = value;
}

int RangeSliderModel::iAddRange(double dStart, double dEnd, const QString& label)
{
    if (dStart > dEnd)
        return 0;
    const double dClippedStart = std::max(dStart, m_dMin);
    const double dClippedEnd = std::min(dEnd, m_dMax);
    // A range wholly outside the span stays, so that indexes keep matching
    // the caller's list, with its own times: selection runs go by start time.
    // Only its box sits at the nearer edge, as a point.
    if (dClippedStart <= dClippedEnd) {
        dStart = dClippedStart;
        dEnd = dClippedEnd;
    }
    m_ranges.Add(dEnd, dStart);
    RangeBox box;
    box.barColor = box.leftTickColor = box.rightTickColor = m_rangeColor;
    box.label = label;
    m_boxes.push_back(box);
    placeBox(Count());
    dirtyBox(m_boxes.size() - 1);
    checkInvariants();
    Changed();
    return Count();
}

void RangeSliderModel::RemoveSelectedRanges()
{
    if (m_iStart == -1)
        return;
    std::vector<std::shared_ptr<Range>> run;
    for (int i : colSelectedIndexes())
        run.push_back(m_ranges.Item(i));
    m_iStart = -1;
    m_iEnd = -1;
    for (const auto& range : run) {
        const int index = m_ranges.IndexOf(range);
        dirtyBox(size_t(index - 1));
        m_ranges.Remove(index);
        m_boxes.erase(m_boxes.begin() + (index - 1));
    }
    checkInvariants();
    Changed();
}

void RangeSliderModel::RemoveRange(int index)
{
    RemoveRanges({index});
}

void RangeSliderModel::RemoveRanges(const std::vector<int>& indexes)
{
    const std::vector<int> original = OriginalIndexes(Count(), indexes);
    if (original.empty())
        return;
    m_iStart = -1;
    m_iEnd = -1;
    const std::vector<bool> gone = RemovedMarks(Count(), original);
    for (const int o : original)
        dirtyBox(size_t(o - 1));
    m_ranges.RemoveMarked(gone);
    size_t kept = 0;
    for (size_t i = 0; i < m_boxes.size(); ++i)
        if (!gone[i + 1])
            m_boxes[kept++] = std::move(m_boxes[i]);
    m_boxes.resize(kept);
    checkInvariants();
    Changed();
}

void RangeSliderModel::PutBlinkLine(double t)
{
    if (m_bBlinkVisible)
        dirtyBlink();
    m_bBlinkVisible = true;
    m_bBlinkTimer = true;
    m_blinkTime = t;
    m_blinkX = timeToX(t, m_dMin, m_dMax, track());
    dirtyBlink();
    Changed();
}

void RangeSliderModel::RemoveBlinkLine()
{
    if (m_bBlinkVisible)
        dirtyBlink();
    m_bBlinkVisible = false;
    m_bBlinkTimer = false;
    Changed();
}

void RangeSliderModel::UpdateRange(int index, double dStart, double dEnd)
{
    if (index < 1 || index > Count())
        return;
    const auto range = m_ranges.Item(index);
    range->dBegin = dStart;
    range->dend = dEnd;
    // Only this box moves, unless the span changed since the boxes were
    // placed; the run and the anchor's colour may change anywhere.
    if (m_bPlacesStale) {
        redrawAll();
    } else {
        placeBox(index);
        highlightRun();
        colourStartRange();
        checkInvariants();
    }
    Changed();
}

std::vector<PersistedProperty> RangeSliderModel::persisted()
{
    return {
        {"RangeColor", fixedDefault(0xFFFFFFu), [this] { return QVariant(m_rangeColor); },
         [this](const QVariant& v) { setRangeColor(v.toUInt()); }},
        {"StartRangeColor", fixedDefault(0xFFFFFFu), [this] { return QVariant(m_startRangeColor); },
         [this](const QVariant& v) { setStartRangeColor(v.toUInt()); }},
        {"dMin", fixedDefault(0.0), [this] { return QVariant(m_dMin); },
         [this](const QVariant& v) { setDMin(v.toDouble()); }},
        {"dMax", fixedDefault(1.0), [this] { return QVariant(m_dMax); },
         [this](const QVariant& v) { setDMax(v.toDouble()); }},
        {"iRangeSelectedStart", fixedDefault(-1), [this] { return QVariant(m_iStart); },
         [this](const QVariant& v) { setIRangeSelectedStart(v.toInt()); }},
        {"iRangeSelectedEnd", fixedDefault(-1), [this] { return QVariant(m_iEnd); },
         [this](const QVariant& v) { setIRangeSelectedEnd(v.toInt()); }},
        {"dPosition", [this] { return QVariant(m_dMin); }, [this] { return QVariant(m_dPosition); },
         [this](const QVariant& v) { setDPosition(v.toDouble()); }},
        {"dLargeChange", fixedDefault(0.05), [this] { return QVariant(m_dLargeChange); },
         [this](const QVariant& v) { setDLargeChange(v.toDouble()); }},
        {"Enabled", fixedDefault(true), [this] { return QVariant(m_bEnabled); },
         [this](const QVariant& v) { setEnabled(v.toBool()); }},
    };
}

void RangeSliderModel::ReadProperties(const QVariantMap& saved)
{
    readProperties(persisted(), saved);
}

QVariantMap RangeSliderModel::WriteProperties() const
{
    return writeProperties(const_cast<RangeSliderModel*>(this)->persisted());
}

TwipsRect RangeSliderModel::boxRect(int index) const
{
    const BoxSpan& span = m_boxes[size_t(index - 1)].span;
    return {span.left, kBoxTop, span.width, kBoxHeight};
}

int RangeSliderModel::BoxAt(double x, double y) const
{
    for (int i = Count(); i >= 1; --i) {
        const TwipsRect r = boxRect(i);
        if (x >= r.left && x < r.right() && y >= r.top && y < r.bottom())
            return i;
    }
    return 0;
}

void RangeSliderModel::Resize(double widthTwips)
{
    m_widthTwips = widthTwips;
    m_bPlacesStale = true;
    Refresh();
}

int RangeSliderModel::PressBox(int index, bool bShiftAlone)
{
    if (index < 1 || index > Count())
        return 0;
    if (bShiftAlone) {
        if (m_iStart == -1)
            return 0;
        m_iEnd = index;
        highlightRun();
        Changed();
        return m_iStart;
    }
    selectOne(index);
    return index;
}

int RangeSliderModel::DoubleClickBox(int index)
{
    if (index < 1 || index > Count())
        return 0;
    selectOne(index);
    return index;
}

void RangeSliderModel::selectOne(int index)
{
    m_iStart = index;
    m_iEnd = index;
    highlightRun();
    colourStartRange();
    Changed();
}

void RangeSliderModel::SliderMoved(int value)
{
    m_sliderValue = value;
    m_dPosition = sliderValueToTime(value, m_dMin, m_dMax, kSliderMin, kSliderMax);
}

void RangeSliderModel::BlinkTick()
{
    m_bBlinkVisible = !m_bBlinkVisible;
    dirtyBlink();
    Changed();
}

void RangeSliderModel::placeBox(int index)
{
    const Range& range = *m_ranges.Item(index);
    const size_t i = size_t(index - 1);
    const BoxSpan span = rangeBoxSpan(range.dBegin, range.dend, m_dMin, m_dMax, track());
    if (span != m_boxes[i].span) {
        dirtyBox(i);
        m_boxes[i].span = span;
        dirtyBox(i);
    }
}

void RangeSliderModel::highlightRun()
{
    if (m_iStart == -1)
        return;
    const auto [lo, hi] = runBounds();
    size_t i = 0;
    for (const auto& range : m_ranges) {
        setBar(i, lo <= range->dBegin && range->dBegin <= hi ? kRunBarPixels : kBarPixels);
        ++i;
    }
}

void RangeSliderModel::colourStartRange()
{
    if (m_iStart == -1)
        return;
    const size_t anchor = size_t(m_iStart - 1);
    for (size_t i = 0; i < m_boxes.size(); ++i)
        setColours(i, i == anchor ? m_startRangeColor : m_rangeColor);
}

void RangeSliderModel::redrawAll()
{
    for (int i = 1; i <= Count(); ++i)
        placeBox(i);
    m_bPlacesStale = false;
    const double blinkX = timeToX(m_blinkTime, m_dMin, m_dMax, track());
    if (blinkX != m_blinkX && m_bBlinkVisible) {
        dirtyBlink();
        m_blinkX = blinkX;
        dirtyBlink();
    }
    m_blinkX = blinkX;
    highlightRun();
    colourStartRange();
    checkInvariants();
}

void RangeSliderModel::checkInvariants() const
{
    Q_ASSERT(int(m_boxes.size()) == Count());
    Q_ASSERT(m_iStart == -1 || (m_iStart >= 1 && m_iStart <= Count()));
    Q_ASSERT((m_iStart == -1) == (m_iEnd == -1));
    Q_ASSERT(m_iEnd == -1 || (m_iEnd >= 1 && m_iEnd <= Count()));
}

} // namespace vimra
