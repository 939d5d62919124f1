#pragma once

#include "segments/Persisted.h"
#include "segments/Range.h"
#include "widgets/Twips.h"

#include <QString>
#include <QVariantMap>

#include <utility>
#include <vector>

namespace vimra {

// ---- time and geometry of the range slider, in twips ----
// A span whose end does not follow its start is no span: every mapping then
// answers the track's left end, and nothing divides by the difference.

struct SliderTrack {
    double left = 0;
    double width = 0;
};

// The track lies 200 twips in from each end of the inner slider.
SliderTrack sliderTrack(double sliderLeft, double sliderWidth);
bool hasSpan(double dMin, double dMax);
// Unclipped: times outside the span lie outside the track.
double timeToX(double t, double dMin, double dMax, const SliderTrack& track);

struct BoxSpan {
    double left = 0;
    double width = 0;
    bool operator==(const BoxSpan&) const = default;
};
// The part of [begin, end] inside the span; a range outside it, or ending
// before it begins, is a zero-width box at the nearer point.
BoxSpan rangeBoxSpan(double dBegin, double dEnd, double dMin, double dMax, const SliderTrack& track);

int timeToSliderValue(double t, double dMin, double dMax, int iMin, int iMax);
double sliderValueToTime(int value, double dMin, double dMax, int iMin, int iMax);
// dLargeChange is at most the span, and never negative for want of one.
double cappedLargeChange(double dLargeChange, double dMin, double dMax);
int largeChangeSteps(double dLargeChange, double dMin, double dMax, int iMin, int iMax);

// ---- the range slider without its widget ----

class RangeSliderModel {
public:
    // The inner slider's fixed scale: fine enough for single frames of a long clip.
    static constexpr int kSliderMin = 0;
    static constexpr int kSliderMax = 10000;
    static constexpr double kSliderTop = 600;
    static constexpr double kRowLine = kSliderTop - 100;
    static constexpr double kBoxHeight = 375;
    static constexpr double kBoxTop = kRowLine - kBoxHeight / 2 - 80;
    static constexpr double kBarY = kBoxHeight / 2 + 40; // inside the box
    static constexpr double kTickReach = 100;            // above and below the bar
    static constexpr double kRightTickInset = 20;
    // Bar widths are pixels: a new bar, every bar of a selection, the run's bars.
    static constexpr int kNewBarPixels = 3;
    static constexpr int kBarPixels = 4;
    static constexpr int kRunBarPixels = 6;

    // What is drawn for one range: element i belongs to range i.
    struct RangeBox {
        BoxSpan span;
        int iBarPixels = kNewBarPixels;
        quint32 barColor = 0;
        quint32 leftTickColor = 0;
        quint32 rightTickColor = 0;
        QString label;
    };

    // Defaults as a new control shows them: enabled, white, span 0 to 1.
    RangeSliderModel();
    virtual ~RangeSliderModel() = default;

    std::vector<int> colSelectedIndexes() const;
    void Refresh();
    // The inner slider's state: off also while the span has no length.
    bool Enabled() const { return sliderEnabled(); }
    void setEnabled(bool value);
    double dMin() const { return m_dMin; }
    void setDMin(double value);
    double dMax() const { return m_dMax; }
    void setDMax(double value);
    int iRangeSelectedStart() const { return m_iStart; }
    void setIRangeSelectedStart(int value);
    int iRangeSelectedEnd() const { return m_iEnd; }
    void setIRangeSelectedEnd(int value);
    double dPosition() const { return m_dPosition; }
    void setDPosition(double value);
    double dLargeChange() const { return m_dLargeChange; }
    void setDLargeChange(double value);
    quint32 RangeColor() const { return m_rangeColor; }
    void setRangeColor(quint32 value);
    quint32 StartRangeColor() const { return m_startRangeColor; }
    void setStartRangeColor(quint32 value);
    int Count() const { return m_ranges.Count(); }
    // The new range's index, or 0 when the start follows the end.
    int iAddRange(double dStart, double dEnd, const QString& label);
    void RemoveSelectedRanges();
    // Removes one range by index and clears the selection.
    void RemoveRange(int index);
    // RemoveRange for each index in turn (each counting without the ones
    // before it), in one pass and with one change shown.
    void RemoveRanges(const std::vector<int>& indexes);
    void PutBlinkLine(double t);
    void RemoveBlinkLine();
    void UpdateRange(int index, double dStart, double dEnd);

    void ReadProperties(const QVariantMap& saved);
    QVariantMap WriteProperties() const;

    // ---- for the view ----
    const RangeSet& ranges() const { return m_ranges; }
    const std::vector<RangeBox>& boxes() const { return m_boxes; }
    TwipsRect boxRect(int index) const;
    // The box under a point, from the last one back; 0 for none.
    int BoxAt(double x, double y) const;
    double blinkX() const { return m_blinkX; }
    bool blinkVisible() const { return m_bBlinkVisible; }
    bool blinkTimerOn() const { return m_bBlinkTimer; }
    int sliderValue() const { return m_sliderValue; }
    int sliderLargeChange() const { return m_sliderLargeChange; }
    bool sliderEnabled() const { return m_bEnabled && hasSpan(m_dMin, m_dMax); }
    void Resize(double widthTwips);
    // The part of the control whose drawing changed since the last call:
    // all of it, or these x-ranges [left, right] in twips.
    struct DirtySpan {
        bool all = false;
        std::vector<std::pair<double, double>> spans;
    };
    DirtySpan takeDirty();

    // ---- user input: each answers the index its event reports, 0 for none ----
    int PressBox(int index, bool bShiftAlone);
    int DoubleClickBox(int index);
    // The user moved the inner slider: the position follows unclipped.
    void SliderMoved(int value);
    void BlinkTick();

protected:
    // Called after every change the view has to show.
    virtual void Changed() {}

private:
    SliderTrack track() const { return sliderTrack(0, m_widthTwips); }
    bool inRun(int index) const;
    // The start times bounding the selected run; only while one is selected.
    std::pair<double, double> runBounds() const;
    void dirtyAll() { m_dirty.all = true; }
    void dirtyX(double left, double right);
    void dirtyBox(size_t i) { dirtyX(m_boxes[i].span.left, m_boxes[i].span.left + m_boxes[i].span.width); }
    void dirtyBlink();
    void setBar(size_t i, int pixels);
    void setColours(size_t i, quint32 colour);
    void selectOne(int index);
    void placeBox(int index);
    void highlightRun();
    void colourStartRange();
    void recolour(quint32 value);
    void redrawAll();
    void checkInvariants() const;
    std::vector<PersistedProperty> persisted();

    RangeSet m_ranges;
    std::vector<RangeBox> m_boxes;
    double m_dMin = 0.0;
    double m_dMax = 1.0;
    double m_dPosition = 0.0;
    quint32 m_rangeColor = 0xFFFFFF;
    quint32 m_startRangeColor = 0xFFFFFF;
    double m_dLargeChange = 0.0;
    int m_iStart = -1;
    int m_iEnd = -1;
    double m_blinkTime = 0.0;
    double m_blinkX = 0.0;
    bool m_bBlinkVisible = false;
    bool m_bBlinkTimer = false;
    bool m_bEnabled = false;
    int m_sliderValue = kSliderMin;
    int m_sliderLargeChange = 0;
    double m_widthTwips = 0;
    DirtySpan m_dirty;
    bool m_bPlacesStale = false; // the span or the width changed since the boxes were placed
};

} // namespace vimra
