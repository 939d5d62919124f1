#include "segments/Framelist.h"

#include "segments/ControlInput.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace vimra {

Framelist::Framelist(QWidget* parent) : QWidget(parent), m_scroll(new QScrollBar(Qt::Horizontal, this))
{
    setAccessibleName(QStringLiteral("Keyframes"));
    m_scroll->setObjectName(QStringLiteral("HScroll1"));
    m_scroll->setAccessibleName(QStringLiteral("Scroll keyframes"));
    // The strip moves when the value is set, not while the thumb is dragged.
    m_scroll->setTracking(false);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_syncing)
            ScrollTo(value);
    });
    Changed();
}

QSize Framelist::sizeHint() const
{
    return QSize(twipsToPixels(5895), twipsToPixels(ImageY() + 100) + m_scroll->sizeHint().height());
}

void Framelist::Changed()
{
    // The model has already followed a maximum that shrank below the value.
    m_syncing = true;
    const StripScroll& s = scrollRange();
    m_scroll->setRange(0, s.max);
    m_scroll->setSingleStep(s.smallChange);
    m_scroll->setPageStep(s.largeChange);
    m_scroll->setVisible(s.visible);
    m_syncing = false;
    update();
}

void Framelist::resizeEvent(QResizeEvent*)
{
    const int barHeight = m_scroll->sizeHint().height();
    m_scroll->setGeometry(0, height() - barHeight, width(), barHeight);
    Resize(pixelsToTwips(width()), pixelsToTwips(height()), pixelsToTwips(barHeight));
}

void Framelist::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    p.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel); // draw in twips
    p.setClipRect(QRectF(0, 0, pixelsToTwips(width()), canvasHeight()));
    p.translate(canvasLeft(), 0);
    // Images wholly outside the part to paint are passed over.
    const double x0 = (e->rect().left() - 2) * double(kTwipsPerPixel) - canvasLeft();
    const double x1 = (e->rect().right() + 3) * double(kTwipsPerPixel) - canvasLeft();
    for (const StripImage& image : images()) {
        if (image.slot.square.left > x1 || image.slot.square.right() < x0)
            continue;
        const TwipsRect& r = image.slot.image;
        if (!image.picture.isNull())
            p.drawImage(QRectF(r.left, r.top, r.width, r.height), image.picture);
        if (image.squareVisible) {
            QPen pen(colorFromBgr(image.squareColor));
            pen.setCosmetic(true);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const TwipsRect& s = image.slot.square;
            const double inset = kTwipsPerPixel / 2.0; // the outline lies inside the square
            p.drawRect(QRectF(s.left + inset, s.top + inset, s.width - 2 * inset, s.height - 2 * inset));
        }
    }
}

int Framelist::imageAt(const QPointF& pixels) const
{
    return ImageAt(pixels.x() * kTwipsPerPixel, pixels.y() * kTwipsPerPixel);
}

bool Framelist::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int i = imageAt(help->pos());
        showLabelTip(this, help, i == 0 ? QString() : images()[size_t(i - 1)].label);
        return true;
    }
    return QWidget::event(e);
}

void Framelist::mousePressEvent(QMouseEvent* e)
{
    const ImageEvent reported = PressImage(imageAt(e->position()), isShiftAlone(e->modifiers()));
    if (reported.index != 0)
        emit ImageClick(reported.index, reported.position);
}

void Framelist::mouseDoubleClickEvent(QMouseEvent* e)
{
    const ImageEvent reported = DoubleClickImage(imageAt(e->position()));
    if (reported.index != 0)
        emit ImageDblClick(reported.index, reported.position);
}

} // namespace vimra
