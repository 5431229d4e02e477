#include "app/LedgerImages.h"

#include "ui/ImageList.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <functional>

namespace kestrum {

namespace {

//! The images are drawings, painted again at the pixel ratio of the screen
//! they are shown on.
TImageList::TDrawing drawImage(const std::function<void(QPainter &)> &draw)
{
    return [draw](QPainter &painter) {
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    };
}

//! A gold coin with an arrow: up and green for money coming in, down and red going out.
void coinWithArrow(QPainter &painter, bool incoming)
{
    painter.setPen(QPen(QColor(150, 110, 20), 1));
    painter.setBrush(QColor(245, 200, 60));
    painter.drawEllipse(QRectF(1.5, 5.5, 10, 10));
    painter.setPen(QPen(QColor(150, 110, 20), 1.2));
    painter.drawLine(QPointF(6.5, 8), QPointF(6.5, 13));
    painter.drawLine(QPointF(4.5, 9.5), QPointF(8.5, 9.5));
    painter.drawLine(QPointF(4.5, 11.5), QPointF(8.5, 11.5));

    const QColor arrow = incoming ? QColor(30, 150, 50) : QColor(200, 40, 40);
    painter.setPen(Qt::NoPen);
    painter.setBrush(arrow);
    QPainterPath path;
    if (incoming) {
        path.moveTo(12.5, 0.5);
        path.lineTo(16, 5);
        path.lineTo(13.8, 5);
        path.lineTo(13.8, 10);
        path.lineTo(11.2, 10);
        path.lineTo(11.2, 5);
        path.lineTo(9, 5);
    } else {
        path.moveTo(12.5, 10);
        path.lineTo(16, 5.5);
        path.lineTo(13.8, 5.5);
        path.lineTo(13.8, 0.5);
        path.lineTo(11.2, 0.5);
        path.lineTo(11.2, 5.5);
        path.lineTo(9, 5.5);
    }
    path.closeSubpath();
    painter.drawPath(path);
}

void barChart(QPainter &painter)
{
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.drawLine(QPointF(1.5, 1), QPointF(1.5, 14.5));
    painter.drawLine(QPointF(1.5, 14.5), QPointF(15, 14.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 120, 210));
    painter.drawRect(QRectF(3.5, 8, 3, 6));
    painter.setBrush(QColor(230, 150, 40));
    painter.drawRect(QRectF(7.5, 3, 3, 11));
    painter.setBrush(QColor(60, 170, 80));
    painter.drawRect(QRectF(11.5, 6, 3, 8));
}

void gear(QPainter &painter)
{
    painter.translate(8, 8);
    QPainterPath path;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double angle = i * M_PI / teeth;
        const double radius = i % 2 == 0 ? 7.5 : 5.5;
        const QPointF a(radius * std::cos(angle - 0.2), radius * std::sin(angle - 0.2));
        const QPointF b(radius * std::cos(angle + 0.2), radius * std::sin(angle + 0.2));
        if (i == 0)
            path.moveTo(a);
        else
            path.lineTo(a);
        path.lineTo(b);
    }
    path.closeSubpath();
    path.addEllipse(QPointF(0, 0), 2.5, 2.5);
    path.setFillRule(Qt::OddEvenFill);
    painter.setPen(QPen(QColor(70, 70, 80), 0.8));
    painter.setBrush(QColor(150, 155, 170));
    painter.drawPath(path);
}

void cross(QPainter &painter)
{
    painter.setPen(QPen(QColor(200, 30, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    painter.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

} // namespace

void AddLedgerImages(TImageList &images)
{
    images.AddDrawing(drawImage([](QPainter &painter) { coinWithArrow(painter, true); }));
    images.AddDrawing(drawImage(barChart));
    images.AddDrawing(drawImage([](QPainter &painter) { coinWithArrow(painter, false); }));
    images.AddDrawing(drawImage(gear));
    images.AddDrawing(drawImage(cross));
}

} // namespace kestrum
