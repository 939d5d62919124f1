#include "shell/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace vimra {

QPixmap vimraLogo(int size)
{
    QPixmap pixmap(96, 96);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 60, 110));
        p.drawRoundedRect(QRectF(6, 14, 84, 68), 8, 8);
        p.setBrush(Qt::white);
        for (int i = 0; i < 6; ++i) {
            p.drawRect(QRectF(12 + i * 13, 18, 7, 6));
            p.drawRect(QRectF(12 + i * 13, 72, 7, 6));
        }
        p.setBrush(QColor(240, 170, 40));
        QPainterPath play;
        play.moveTo(38, 34);
        play.lineTo(64, 48);
        play.lineTo(38, 62);
        play.closeSubpath();
        p.drawPath(play);
    }
    return size == 96 ? pixmap : pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

namespace {

const QColor kInk(50, 60, 80);
const QColor kPaper(250, 250, 245);

void arrow(QPainter& p, bool right)
{
    QPolygonF head;
    if (right)
        head << QPointF(19, 12) << QPointF(11, 4) << QPointF(11, 20);
    else
        head << QPointF(5, 12) << QPointF(13, 4) << QPointF(13, 20);
    p.setBrush(QColor(40, 110, 60));
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
    p.drawRect(right ? QRectF(4, 9, 8, 6) : QRectF(12, 9, 8, 6));
}

void sheet(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(r);
    for (double y = r.top() + 3.5; y < r.bottom() - 2; y += 3)
        p.drawLine(QPointF(r.left() + 2.5, y), QPointF(r.right() - 2.5, y));
}

void squares(QPainter& p, int n, double cell, double gap)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 100, 170));
    const double start = (24 - (n * cell + (n - 1) * gap)) / 2;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            p.drawRect(QRectF(start + c * (cell + gap), start + r * (cell + gap), cell, cell));
}

void rows(QPainter& p, bool columns)
{
    p.setBrush(QColor(60, 100, 170));
    for (int r = 0; r < 4; ++r) {
        const double y = 4 + r * 4.5;
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(3, y, 3, 3));
        p.setPen(QPen(kInk, 1.4));
        if (columns) {
            p.drawLine(QPointF(8, y + 1.5), QPointF(13, y + 1.5));
            p.drawLine(QPointF(15, y + 1.5), QPointF(21, y + 1.5));
        } else {
            p.drawLine(QPointF(8, y + 1.5), QPointF(17, y + 1.5));
        }
    }
}

} // namespace

QIcon toolbarIcon(const QString& key)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    if (key == QLatin1String("Back") || key == QLatin1String("Forward")) {
        arrow(p, key == QLatin1String("Forward"));
    } else if (key == QLatin1String("Cut")) {
        p.setPen(QPen(kInk, 1.6));
        p.drawLine(QPointF(7, 3), QPointF(15, 15));
        p.drawLine(QPointF(17, 3), QPointF(9, 15));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(180, 40, 40), 1.8));
        p.drawEllipse(QPointF(7, 18), 3.2, 3.2);
        p.drawEllipse(QPointF(17, 18), 3.2, 3.2);
    } else if (key == QLatin1String("Copy")) {
        sheet(p, QRectF(3.5, 3.5, 11, 13));
        sheet(p, QRectF(9.5, 7.5, 11, 13));
    } else if (key == QLatin1String("Paste")) {
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(190, 140, 80));
        p.drawRoundedRect(QRectF(4.5, 4.5, 13, 16), 1.5, 1.5);
        p.setBrush(QColor(120, 120, 120));
        p.drawRect(QRectF(8, 2.5, 6, 4));
        sheet(p, QRectF(10.5, 9.5, 10, 12));
    } else if (key == QLatin1String("Delete")) {
        p.setPen(QPen(QColor(190, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
    } else if (key == QLatin1String("Properties")) {
        sheet(p, QRectF(5.5, 3.5, 13, 17));
        p.setPen(QPen(QColor(40, 110, 60), 2));
        p.drawLine(QPointF(12, 16), QPointF(15, 19));
        p.drawLine(QPointF(15, 19), QPointF(21, 11));
    } else if (key == QLatin1String("View Large Icons")) {
        squares(p, 2, 8, 2);
    } else if (key == QLatin1String("View Small Icons")) {
        squares(p, 3, 4.5, 2);
    } else if (key == QLatin1String("View List")) {
        rows(p, false);
    } else if (key == QLatin1String("View Details")) {
        rows(p, true);
    } else {
        return {};
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace vimra
