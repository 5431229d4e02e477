#include "grid/GridLookAndFeelPainter.h"

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

void TkvGridLookAndFeelPainter::DrawFilterButton(QPainter &painter, const QRect &bounds, bool pressed,
                                                 bool active) const
{
    const TkvGridViewParams face{HeaderColor(), HeaderTextColor(), QFont()};
    DrawHeader(painter, bounds, face, pressed);
    const QRect inner = bounds.adjusted(2, 2, -2, -2).translated(pressed ? 1 : 0, pressed ? 1 : 0);
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (active) {
        // A funnel: a wide top narrowing to a stem.
        const QColor colour = HighlightColor();
        painter.setPen(colour);
        painter.setBrush(colour);
        const int cx = inner.left() + inner.width() / 2;
        const int stemTop = inner.top() + inner.height() / 2;
        painter.drawPolygon(
            QPolygon({inner.topLeft(), inner.topRight(), QPoint(cx + 1, stemTop), QPoint(cx - 1, stemTop)}));
        painter.fillRect(QRect(cx - 1, stemTop, 3, inner.bottom() - stemTop + 1), colour);
    } else {
        painter.setPen(ContentTextColor());
        painter.setBrush(ContentTextColor());
        const int w = (inner.width() / 2) * 2;
        const int x = inner.left() + (inner.width() - w) / 2;
        const int y = inner.top() + (inner.height() - w / 2) / 2;
        painter.drawPolygon(QPolygon({QPoint(x, y), QPoint(x + w, y), QPoint(x + w / 2, y + w / 2)}));
    }
    painter.setBrush(Qt::NoBrush);
}

void TkvGridLookAndFeelPainter::DrawCloseButton(QPainter &painter, const QRect &bounds, bool pressed) const
{
    const TkvGridViewParams face{HeaderColor(), HeaderTextColor(), QFont()};
    DrawHeader(painter, bounds, face, pressed);
    const QRect inner = bounds.adjusted(3, 3, -3, -3).translated(pressed ? 1 : 0, pressed ? 1 : 0);
    painter.setPen(QPen(ContentTextColor(), 1.5));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawLine(inner.topLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomLeft());
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void TkvGridLookAndFeelPainter::DrawCheckBox(QPainter &painter, const QRect &bounds, bool checked,
                                             bool pressed) const
{
    painter.fillRect(bounds, pressed ? InactiveColor() : ContentColor());
    painter.setPen(BorderDarkColor());
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bounds.adjusted(0, 0, -1, -1));
    if (!checked)
        return;
    const QRect inner = bounds.adjusted(3, 3, -3, -3);
    painter.setPen(QPen(ContentTextColor(), 2));
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPoint middle(inner.left() + inner.width() / 3, inner.bottom() - 1);
    painter.drawLine(QPoint(inner.left(), inner.top() + inner.height() / 2), middle);
    painter.drawLine(middle, inner.topRight());
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void TkvGridLookAndFeelPainter::DrawButton(QPainter &painter, const QRect &bounds, const QString &text,
                                           const QFont &font, bool pressed) const
{
    const TkvGridViewParams face{HeaderColor(), HeaderTextColor(), font};
    DrawHeader(painter, bounds, face, pressed);
    painter.setFont(font);
    painter.setPen(HeaderTextColor());
    painter.drawText(bounds.translated(pressed ? 1 : 0, pressed ? 1 : 0), Qt::AlignCenter, text);
}

} // namespace kestrum
