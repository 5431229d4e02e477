#include "grid/TkvGridLookAndFeelPainter.h"

#include <QPainter>

namespace kestrum {

const TkvGridLookAndFeelPainter &TkvGridLookAndFeelPainter::Default()
{
    static const TkvGridLookAndFeelPainter painter;
    return painter;
}

void TkvGridLookAndFeelPainter::DrawHeader(QPainter &painter, const QRect &bounds,
                                           const TkvGridViewParams &params, bool pressed) const
{
    painter.fillRect(bounds, params.Color);
    // A raised button, sunken while pressed.
    const QColor topLeft = pressed ? BorderDarkColor() : BorderLightColor();
    const QColor bottomRight = pressed ? BorderLightColor() : BorderDarkColor();
    painter.setPen(topLeft);
    painter.drawLine(bounds.topLeft(), bounds.topRight());
    painter.drawLine(bounds.topLeft(), bounds.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(bounds.bottomLeft(), bounds.bottomRight());
    painter.drawLine(bounds.topRight(), bounds.bottomRight());
}

void TkvGridLookAndFeelPainter::DrawFooterCell(QPainter &painter, const QRect &bounds,
                                               const TkvGridViewParams &params) const
{
    painter.fillRect(bounds, params.Color);
    // Sunken: dark on the top and left, light on the bottom and right.
    painter.setPen(BorderDarkColor());
    painter.drawLine(bounds.topLeft(), bounds.topRight());
    painter.drawLine(bounds.topLeft(), bounds.bottomLeft());
    painter.setPen(BorderLightColor());
    painter.drawLine(bounds.bottomLeft(), bounds.bottomRight());
    painter.drawLine(bounds.topRight(), bounds.bottomRight());
}

void TkvGridLookAndFeelPainter::DrawExpandButton(QPainter &painter, const QRect &bounds, bool expanded) const
{
    painter.fillRect(bounds, ContentColor());
    painter.setPen(BorderDarkColor());
    painter.drawRect(bounds.adjusted(0, 0, -1, -1));
    painter.setPen(ContentTextColor());
    const int cx = bounds.left() + bounds.width() / 2;
    const int cy = bounds.top() + bounds.height() / 2;
    painter.drawLine(bounds.left() + 2, cy, bounds.right() - 2, cy);
    if (!expanded)
        painter.drawLine(cx, bounds.top() + 2, cx, bounds.bottom() - 2);
}

void TkvGridLookAndFeelPainter::DrawSortMark(QPainter &painter, const QRect &bounds, bool ascending) const
{
    painter.setPen(BorderDarkColor());
    painter.setBrush(BorderDarkColor());
    const QPolygon triangle =
        ascending
            ? QPolygon({QPoint(bounds.center().x(), bounds.top() + 1),
                        QPoint(bounds.left(), bounds.bottom() - 1),
                        QPoint(bounds.right(), bounds.bottom() - 1)})
            : QPolygon({QPoint(bounds.left(), bounds.top() + 1), QPoint(bounds.right(), bounds.top() + 1),
                        QPoint(bounds.center().x(), bounds.bottom() - 1)});
    painter.drawPolygon(triangle);
    painter.setBrush(Qt::NoBrush);
}

void TkvGridLookAndFeelPainter::DrawFilterButton(QPainter &painter, const QRect &bounds) const
{
    painter.setPen(ContentTextColor());
    painter.setBrush(ContentTextColor());
    const int w = bounds.width() / 2;
    const int x = bounds.left() + (bounds.width() - w) / 2;
    const int y = bounds.top() + bounds.height() / 2 - w / 4;
    painter.drawPolygon(QPolygon({QPoint(x, y), QPoint(x + w, y), QPoint(x + w / 2, y + w / 2)}));
    painter.setBrush(Qt::NoBrush);
}

} // namespace kestrum
