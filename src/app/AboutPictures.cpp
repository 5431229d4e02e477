#include "app/AboutPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kestrum {

namespace {

constexpr int PictureWidth = 72;
constexpr int PictureHeight = 122;

QPixmap canvas(const QColor &top, const QColor &bottom)
{
    QPixmap picture(PictureWidth, PictureHeight);
    QPainter painter(&picture);
    QLinearGradient sky(0, 0, 0, PictureHeight);
    sky.setColorAt(0, top);
    sky.setColorAt(1, bottom);
    painter.fillRect(picture.rect(), sky);
    return picture;
}

void person(QPainter &painter, double x, double footY, double height, const QColor &clothes)
{
    const double head = height * 0.22;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(240, 200, 160));
    painter.drawEllipse(QPointF(x, footY - height + head / 2), head / 2, head / 2);
    painter.setBrush(clothes);
    QPainterPath body;
    body.moveTo(x - height * 0.18, footY);
    body.lineTo(x + height * 0.18, footY);
    body.lineTo(x + height * 0.1, footY - height + head);
    body.lineTo(x - height * 0.1, footY - height + head);
    body.closeSubpath();
    painter.drawPath(body);
}

} // namespace

QPixmap HomePicture()
{
    QPixmap picture = canvas(QColor(150, 200, 250), QColor(235, 245, 255));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    // Ground
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(110, 180, 90));
    painter.drawRect(QRectF(0, 100, PictureWidth, 22));
    // Sun
    painter.setBrush(QColor(255, 210, 80));
    painter.drawEllipse(QPointF(58, 14), 7, 7);
    // House
    painter.setBrush(QColor(250, 235, 200));
    painter.setPen(QPen(QColor(120, 90, 60), 1));
    painter.drawRect(QRectF(12, 52, 48, 48));
    QPainterPath roof;
    roof.moveTo(6, 54);
    roof.lineTo(36, 26);
    roof.lineTo(66, 54);
    roof.closeSubpath();
    painter.setBrush(QColor(200, 60, 50));
    painter.drawPath(roof);
    // Window with warm light, and the door
    painter.setBrush(QColor(255, 220, 120));
    painter.drawRect(QRectF(18, 60, 12, 12));
    painter.drawLine(QPointF(24, 60), QPointF(24, 72));
    painter.drawLine(QPointF(18, 66), QPointF(30, 66));
    painter.setBrush(QColor(150, 100, 60));
    painter.drawRect(QRectF(40, 72, 12, 28));
    // The family in front
    person(painter, 18, 118, 22, QColor(60, 110, 190));
    person(painter, 30, 118, 20, QColor(210, 80, 120));
    person(painter, 40, 118, 12, QColor(240, 160, 40));
    return picture;
}

QPixmap LedgerPicture()
{
    QPixmap picture = canvas(QColor(250, 240, 215), QColor(235, 215, 175));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    // An open book with ruled lines
    painter.setPen(QPen(QColor(90, 60, 40), 1));
    painter.setBrush(QColor(255, 253, 245));
    painter.drawRect(QRectF(6, 10, 29, 52));
    painter.drawRect(QRectF(37, 10, 29, 52));
    painter.setBrush(QColor(140, 40, 40));
    painter.drawRect(QRectF(34, 8, 4, 56));
    painter.setPen(QPen(QColor(170, 190, 220), 1));
    for (int y = 18; y < 60; y += 6) {
        painter.drawLine(QPointF(9, y), QPointF(32, y));
        painter.drawLine(QPointF(40, y), QPointF(63, y));
    }
    painter.setPen(QPen(QColor(200, 50, 50), 1));
    painter.drawLine(QPointF(24, 12), QPointF(24, 60));
    painter.drawLine(QPointF(55, 12), QPointF(55, 60));
    // A stack of coins
    painter.setPen(QPen(QColor(150, 110, 20), 1));
    for (int i = 0; i < 6; ++i) {
        const double y = 108 - i * 6;
        painter.setBrush(QColor(235, 185, 50));
        painter.drawRect(QRectF(14, y, 30, 6));
        painter.setBrush(QColor(250, 215, 90));
        painter.drawEllipse(QRectF(14, y - 3, 30, 6));
    }
    painter.setBrush(QColor(250, 215, 90));
    painter.drawEllipse(QRectF(46, 102, 18, 12));
    return picture;
}

} // namespace kestrum
