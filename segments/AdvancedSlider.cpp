#include "segments/AdvancedSlider.h"

#include "segments/ControlInput.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace vimra {

AdvancedSlider::AdvancedSlider(QWidget* parent)
    : QWidget(parent), m_slider(new QSlider(Qt::Horizontal, this)), m_timer(new QTimer(this))
{
    setAccessibleName(QStringLiteral("Segments"));
    m_slider->setObjectName(QStringLiteral("Slider1"));
    m_slider->setAccessibleName(QStringLiteral("Position"));
    m_slider->setRange(kSliderMin, kSliderMax);
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, [this] { BlinkTick(); });
    // Only the user's moves report: a position set by the program is no scroll.
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        if (m_syncing)
            return;
        SliderMoved(value);
        emit Scroll();
    });
    m_slider->installEventFilter(this);
    Changed();
}

bool AdvancedSlider::eventFilter(QObject* watched, QEvent* e)
{
    if (watched != m_slider || e->type() != QEvent::KeyPress || !m_slider->isEnabled())
        return false;
    const auto* key = static_cast<QKeyEvent*>(e);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    // The keys move by what a cataloguer looks at: a frame, or a second;
    // Page Down goes on in time as Right does.
    const double frame = m_dFrameStep > 0 ? m_dFrameStep : 1.0 / 25;
    double target = dPosition();
    switch (key->key()) {
    // Frame steps land on frame starts, where the time code names the frame.
    case Qt::Key_Right:
    case Qt::Key_Up: target = (std::round(target / frame) + 1) * frame; break;
    case Qt::Key_Left:
    case Qt::Key_Down: target = (std::round(target / frame) - 1) * frame; break;
    case Qt::Key_PageDown: target += 1; break;
    case Qt::Key_PageUp: target -= 1; break;
    default: return false;
    }
    setDPosition(target);
    emit Scroll();
    return true;
}

QSize AdvancedSlider::sizeHint() const
{
    return QSize(twipsToPixels(5895), twipsToPixels(kSliderTop) + m_slider->sizeHint().height());
}

void AdvancedSlider::Changed()
{
    m_syncing = true;
    m_slider->setValue(sliderValue());
    m_slider->setPageStep(sliderLargeChange());
    m_slider->setEnabled(sliderEnabled());
    m_syncing = false;
    if (blinkTimerOn() != m_timer->isActive()) {
        if (blinkTimerOn())
            m_timer->start();
        else
            m_timer->stop();
    }
    // Only the part whose drawing changed is painted again.
    const DirtySpan dirty = takeDirty();
    if (dirty.all) {
        m_layerDirty = rect();
        update();
        return;
    }
    for (const auto& [l, r] : dirty.spans) {
        const int left = int(std::floor(l / kTwipsPerPixel)) - 2;
        const int right = int(std::ceil(r / kTwipsPerPixel)) + 2;
        const QRect band = QRect(left, 0, right - left + 1, height()) & rect();
        m_layerDirty += band;
        update(band);
    }
}

void AdvancedSlider::resizeEvent(QResizeEvent*)
{
    // The thumb's centre runs along the track, 200 twips in from each end,
    // so that it stands under the boxes of the time it shows.
    const int handle = m_slider->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, m_slider);
    const int inset = std::max(0, twipsToPixels(sliderTrack(0, 0).left) - handle / 2);
    m_slider->setGeometry(inset, twipsToPixels(kSliderTop), std::max(0, width() - 2 * inset),
                          m_slider->sizeHint().height());
    Resize(pixelsToTwips(width()));
}

void AdvancedSlider::drawBoxes(QPainter& p, const QRect& band) const
{
    p.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel); // draw in twips
    const QTransform twips = p.worldTransform();
    const double pixel = kTwipsPerPixel;
    const QRectF bandTwips(band.left() * pixel, band.top() * pixel, band.width() * pixel, band.height() * pixel);
    // Boxes wholly outside the band are passed over; the others are drawn
    // in index order, each clipped to its own box within the band.
    const double x0 = (band.left() - 2) * pixel;
    const double x1 = (band.right() + 3) * pixel;
    for (int i = 1; i <= Count(); ++i) {
        const RangeBox& box = boxes()[size_t(i - 1)];
        if (box.span.left > x1 || box.span.left + box.span.width < x0)
            continue;
        const TwipsRect r = boxRect(i);
        // A box shows only what lies inside it: a zero-width box shows nothing.
        p.setWorldTransform(twips);
        p.setClipRect(QRectF(r.left, r.top, r.width, r.height) & bandTwips);
        p.translate(r.left, r.top);
        const double bar = box.iBarPixels * pixel;
        p.fillRect(QRectF(0, kBarY - bar / 2, r.width, bar), colorFromBgr(box.barColor));
        p.fillRect(QRectF(0, kBarY - kTickReach, pixel, 2 * kTickReach), colorFromBgr(box.leftTickColor));
        p.fillRect(QRectF(r.width - kRightTickInset, kBarY - kTickReach, pixel, 2 * kTickReach),
                   colorFromBgr(box.rightTickColor));
    }
}

void AdvancedSlider::paintEvent(QPaintEvent* e)
{
    // The boxes are drawn into a layer kept between paints: a paint of the
    // whole control copies it, and a change draws again only its own band.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (m_layer.size() != pixels) {
        m_layer = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_layer.setDevicePixelRatio(ratio);
        m_layerDirty = rect();
    }
    for (const QRect& band : m_layerDirty) {
        QPainter layer(&m_layer);
        layer.setClipRect(band);
        layer.setCompositionMode(QPainter::CompositionMode_Source);
        layer.fillRect(band, Qt::transparent);
        layer.setCompositionMode(QPainter::CompositionMode_SourceOver);
        drawBoxes(layer, band);
    }
    m_layerDirty = QRegion();
    QPainter p(this);
    p.drawImage(QRectF(e->rect()), m_layer,
                QRectF(QPointF(e->rect().topLeft()) * ratio, QSizeF(e->rect().size()) * ratio));
    if (blinkVisible()) {
        p.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
        const double pixel = kTwipsPerPixel;
        p.fillRect(QRectF(blinkX() - 1.5 * pixel, kRowLine - 100, 3 * pixel, 200), colorFromBgr(RangeColor()));
    }
}

int AdvancedSlider::boxAt(const QPointF& pixels) const
{
    return BoxAt(pixels.x() * kTwipsPerPixel, pixels.y() * kTwipsPerPixel);
}

bool AdvancedSlider::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int i = boxAt(help->pos());
        showLabelTip(this, help, i == 0 ? QString() : boxes()[size_t(i - 1)].label);
        return true;
    }
    return QWidget::event(e);
}

void AdvancedSlider::mousePressEvent(QMouseEvent* e)
{
    const int reported = PressBox(boxAt(e->position()), isShiftAlone(e->modifiers()));
    if (reported != 0)
        emit Click(reported);
}

void AdvancedSlider::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int reported = DoubleClickBox(boxAt(e->position()));
    if (reported != 0)
        emit DblClick(reported);
}

} // namespace vimra
