#include "navigator/NavigatorGlyphs.h"

#include "navigator/NavigatorButton.h"
#include "navigator/NavigatorViewInfo.h"
#include "ui/ImageList.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace kestrum {

namespace {

const QColor GlyphColor(0, 0, 0);

void Triangle(QPainter &p, int tipX, int baseX, int centerY, int halfHeight)
{
    QPolygon triangle;
    triangle << QPoint(tipX, centerY) << QPoint(baseX, centerY - halfHeight)
             << QPoint(baseX, centerY + halfHeight);
    p.drawPolygon(triangle);
}

void DrawGlyph(QPainter &p, int index)
{
    p.setPen(GlyphColor);
    p.setBrush(GlyphColor);
    const int cy = 5;
    switch (index) {
    case nbFirst:
        p.fillRect(2, 1, 2, 9, GlyphColor);
        Triangle(p, 5, 9, cy, 4);
        break;
    case nbPriorPage:
        Triangle(p, 1, 5, cy, 4);
        Triangle(p, 6, 10, cy, 4);
        break;
    case nbPrior:
        Triangle(p, 3, 7, cy, 4);
        break;
    case nbNext:
        Triangle(p, 8, 4, cy, 4);
        break;
    case nbNextPage:
        Triangle(p, 5, 1, cy, 4);
        Triangle(p, 10, 6, cy, 4);
        break;
    case nbLast:
        Triangle(p, 6, 2, cy, 4);
        p.fillRect(8, 1, 2, 9, GlyphColor);
        break;
    case nbInsert:
        p.fillRect(1, 4, 10, 2, GlyphColor);
        p.fillRect(5, 0, 2, 10, GlyphColor);
        break;
    case nbDelete:
        p.fillRect(1, 4, 10, 2, GlyphColor);
        break;
    case nbEdit: {
        QPolygon up;
        up << QPoint(6, 1) << QPoint(1, 8) << QPoint(11, 8);
        p.drawPolygon(up);
    } break;
    case nbPost: {
        QPen pen(GlyphColor, 2);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygon({QPoint(1, 5), QPoint(4, 8), QPoint(10, 2)}));
        break;
    }
    case nbCancel: {
        QPen pen(GlyphColor, 2);
        p.setPen(pen);
        p.drawLine(2, 1, 9, 9);
        p.drawLine(9, 1, 2, 9);
        break;
    }
    case nbRefresh: {
        QPen pen(GlyphColor, 1.5);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(1.5, 1.5, 8, 8), 30 * 16, 300 * 16);
        p.setPen(GlyphColor);
        p.setBrush(GlyphColor);
        QPolygon head;
        head << QPoint(7, 0) << QPoint(11, 2) << QPoint(8, 5);
        p.drawPolygon(head);
        break;
    }
    case nbSaveBookmark:
    case nbGotoBookmark: {
        QPolygon mark;
        mark << QPoint(2, 0) << QPoint(8, 0) << QPoint(8, 10) << QPoint(5, 7) << QPoint(2, 10);
        if (index == nbSaveBookmark) {
            p.drawPolygon(mark);
        } else {
            p.setBrush(Qt::NoBrush);
            p.drawPolygon(mark);
            p.setBrush(GlyphColor);
            Triangle(p, 11, 9, 4, 2);
        }
        break;
    }
    case nbFilter: {
        QPolygon funnel;
        funnel << QPoint(0, 1) << QPoint(11, 1) << QPoint(7, 5) << QPoint(7, 10) << QPoint(4, 8)
               << QPoint(4, 5);
        p.drawPolygon(funnel);
        break;
    }
    default:
        break;
    }
}

TImageList BuildGlyphs()
{
    TImageList list(kvNavigatorGlyphWidth, kvNavigatorGlyphHeight);
    // Drawings rather than pictures: a scaled screen gets them painted at its
    // own resolution, not a small bitmap blown up.
    for (int index = 0; index < kvNavigatorButtonCount; ++index)
        list.AddDrawing([index](QPainter &painter) { DrawGlyph(painter, index); });
    return list;
}

} // namespace

const TImageList &NavigatorGlyphs()
{
    static const TImageList glyphs = BuildGlyphs();
    return glyphs;
}

} // namespace kestrum
