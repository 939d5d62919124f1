#pragma once

#include "segments/RangeSliderModel.h"

#include <QImage>
#include <QRegion>
#include <QWidget>

class QPainter;
class QSlider;
class QTimer;

namespace vimra {

// The range slider: a time span over an inner slider, one box per range
// above it, selected by pressing and Shift-pressing, with a blinking marker.
// The model's members are the control's members; Enabled is the inner
// slider's only, so the boxes still take presses.
class AdvancedSlider : public QWidget, public RangeSliderModel {
    Q_OBJECT
public:
    explicit AdvancedSlider(QWidget* parent = nullptr);
    using RangeSliderModel::setEnabled;

    QSlider* Slider1() const { return m_slider; }
    QSize sizeHint() const override;
    // The length of one frame in seconds, the arrow keys' step (0: 1/25 s).
    void setDFrameStep(double seconds) { m_dFrameStep = seconds; }

signals:
    // Each is raised last: a handler may close the window holding the control.
    void DblClick(int index);
    void Click(int index);
    void Scroll();

protected:
    void Changed() override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    int boxAt(const QPointF& pixels) const;
    // Draws the boxes that reach into `band` (pixels) through `p`.
    void drawBoxes(QPainter& p, const QRect& band) const;

    QSlider* m_slider;
    QTimer* m_timer;
    bool m_syncing = false;
    double m_dFrameStep = 0;
    QImage m_layer;     // the boxes as last drawn, clear elsewhere
    QRegion m_layerDirty; // the part of the layer to draw again
};

} // namespace vimra
