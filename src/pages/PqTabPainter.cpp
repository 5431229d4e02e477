#include "pages/PqTabPainter.h"

#include "pages/PqPageControl.h"
#include "pages/PqTabSheet.h"
#include "ui/ImageList.h"
#include "ui/Painting.h"

#include <QPainter>
#include <QPainterPath>

namespace kestrum {

namespace {

struct TabPaintContext {
    TPqPageControl &Control;
    QPainter &Painter;
    const TPqTabMetrics &Metrics;
    const TPqTabLook &Look;
    const TPqTabRowLayout &Layout;
    QColor Outline;
};

bool atBottom(const TPqTabMetrics &metrics)
{
    return metrics.TabOrientation == toBottom;
}

//! The part of a tab rectangle that the slants leave for image and caption.
QRect contentRect(const TPqTabMetrics &metrics, const QRect &tab)
{
    const int h = tab.height();
    switch (metrics.TabStyle) {
    case tsSingleSlant:
        // The left edge is upright; the right one slants across the full height.
        return tab.adjusted(4, 3, -(h - 2), -3);
    case tsDoubleSlant:
        return tab.adjusted(h, 3, -h, -3);
    case tsCutCorner:
        return tab.adjusted(4, 3, -(metrics.CutCornerSize + 4), -3);
    case tsRoundCorners:
        return tab.adjusted(8, 3, -8, -3);
    }
    return tab;
}

int alignedX(TPqHorizontalAlignment alignment, const QRect &area, int width)
{
    switch (alignment) {
    case haLeft:
        return area.left();
    case haCenter:
        return area.left() + (area.width() - width) / 2;
    case haRight:
        return area.right() - width + 1;
    }
    return area.left();
}

int alignedY(TPqVerticalAlignment alignment, const QRect &area, int height)
{
    switch (alignment) {
    case TPqVerticalAlignment::vaTop:
        return area.top();
    case TPqVerticalAlignment::vaCenter:
        return area.top() + (area.height() - height) / 2;
    case TPqVerticalAlignment::vaBottom:
        return area.bottom() - height + 1;
    }
    return area.top();
}

//! The caption colour for one way of drawing a caption; OnGetTextColor may
//! replace it, for disabled tabs too (once per pass of their two-pass caption).
QColor textColor(TabPaintContext &context, int tabIndex, TPqTextColorStyle style)
{
    const TPqTabLook &look = context.Look;
    QColor color;
    switch (style) {
    case tcsHot:
        color = look.HotTrackStyle == htsText ? look.HotTrackColor : look.TextColors.Selected;
        break;
    case tcsSelected:
        color = look.TextColors.Selected;
        break;
    case tcsUnselected:
        color = look.TextColors.Unselected;
        break;
    case tcsDisabledHighlight:
        color = look.TextColors.DisabledHighlight;
        break;
    case tcsDisabledShadow:
        color = look.TextColors.DisabledShadow;
        break;
    }
    if (context.Control.OnGetTextColor) {
        bool handled = false;
        QColor replaced = color;
        context.Control.OnGetTextColor(&context.Control, tabIndex, style, replaced, handled);
        if (handled)
            color = replaced;
    }
    return color;
}

void paintTabContent(TabPaintContext &context, int tabIndex, const QRect &tabRect, bool selected, bool hot)
{
    const TPqTabEntry &tab = context.Control.Model().Tabs()[std::size_t(tabIndex)];
    QPainter &painter = context.Painter;
    const QRect area = contentRect(context.Metrics, tabRect);
    QFont font = context.Control.font();
    if (context.Metrics.BoldCurrentTab && selected)
        font.setBold(true);
    painter.setFont(font);
    const QSize textSize = QFontMetrics(font).size(Qt::TextShowMnemonic, tab.Caption);

    const TImageList *images = context.Control.Images();
    const bool enabled = tab.TabEnabled && context.Control.isEnabled();
    int imageIndex = tab.ImageIndex;
    bool drawImageEnabled = true;
    if (!enabled) {
        if (tab.DisabledIndex >= 0)
            imageIndex = tab.DisabledIndex;
        else
            drawImageEnabled = false;
    }
    const bool hasImage = images && images->IsValidIndex(imageIndex);
    const QSize imageSize = hasImage ? images->Size() : QSize(0, 0);
    const int margin = hasImage ? context.Metrics.ImageMargin : 0;

    QRect textRect;
    QPoint imagePos;
    switch (context.Metrics.ImagePosition) {
    case ipLeft:
    case ipRight: {
        const int blockWidth = imageSize.width() + margin + textSize.width();
        const int x = alignedX(context.Look.TextAlignment, area, blockWidth);
        const int imageY = alignedY(context.Look.ImageAlignmentVertical, area, imageSize.height());
        const int textY = alignedY(context.Look.TextAlignmentVertical, area, textSize.height());
        if (context.Metrics.ImagePosition == ipLeft) {
            imagePos = QPoint(x, imageY);
            textRect = QRect(QPoint(x + imageSize.width() + margin, textY), textSize);
        } else {
            textRect = QRect(QPoint(x, textY), textSize);
            imagePos = QPoint(x + textSize.width() + margin, imageY);
        }
        break;
    }
    case ipTop:
    case ipBottom: {
        const int blockHeight = imageSize.height() + margin + textSize.height();
        const int y = alignedY(context.Look.TextAlignmentVertical, area, blockHeight);
        const int imageX = alignedX(context.Look.ImageAlignment, area, imageSize.width());
        const int textX = alignedX(context.Look.TextAlignment, area, textSize.width());
        if (context.Metrics.ImagePosition == ipTop) {
            imagePos = QPoint(imageX, y);
            textRect = QRect(QPoint(textX, y + imageSize.height() + margin), textSize);
        } else {
            textRect = QRect(QPoint(textX, y), textSize);
            imagePos = QPoint(imageX, y + textSize.height() + margin);
        }
        break;
    }
    case ipBack:
    case ipStretch:
        imagePos = QPoint(alignedX(context.Look.ImageAlignment, area, imageSize.width()),
                          alignedY(context.Look.ImageAlignmentVertical, area, imageSize.height()));
        textRect = QRect(QPoint(alignedX(context.Look.TextAlignment, area, textSize.width()),
                                alignedY(context.Look.TextAlignmentVertical, area, textSize.height())),
                         textSize);
        break;
    }

    if (hasImage) {
        if (context.Metrics.ImagePosition == ipStretch)
            painter.drawPixmap(area, images->Image(imageIndex, PaintPixelRatio(painter)));
        else
            images->Draw(painter, imagePos.x(), imagePos.y(), imageIndex, drawImageEnabled);
    }

    const int flags = Qt::TextShowMnemonic | Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    if (enabled) {
        const TPqTextColorStyle style = hot ? tcsHot : selected ? tcsSelected : tcsUnselected;
        painter.setPen(textColor(context, tabIndex, style));
        painter.drawText(textRect, flags, tab.Caption);
    } else {
        painter.setPen(textColor(context, tabIndex, tcsDisabledHighlight));
        painter.drawText(textRect.translated(1, 1), flags, tab.Caption);
        painter.setPen(textColor(context, tabIndex, tcsDisabledShadow));
        painter.drawText(textRect, flags, tab.Caption);
    }
    if (selected && context.Look.ShowFocusRect && context.Control.hasFocus()) {
        painter.setPen(QPen(context.Look.TextColors.Selected, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(textRect.adjusted(-2, -1, 1, 0));
    }
}

void paintTab(TabPaintContext &context, int tabIndex, bool selected)
{
    const QRect rect = context.Layout.TabRects[std::size_t(tabIndex)];
    if (rect.isNull())
        return;
    const TPqTabEntry &tab = context.Control.Model().Tabs()[std::size_t(tabIndex)];
    const bool hot = context.Control.HotTrack() && context.Control.Model().HotTab() == tabIndex;
    QPainter &painter = context.Painter;
    const QPolygon shape = PqTabShape(context.Metrics.TabStyle, context.Metrics.TabOrientation, rect,
                                      selected, context.Metrics.CutCornerSize);
    const QRect bounds = shape.boundingRect();

    painter.save();
    QPainterPath clip;
    clip.addPolygon(shape);
    clip.closeSubpath();
    painter.setClipPath(clip);

    bool handled = false;
    if (context.Control.OnPaintTabBackground)
        context.Control.OnPaintTabBackground(&context.Control, painter, tabIndex, bounds, handled);
    if (!handled) {
        if (selected) {
            painter.fillRect(bounds, context.Look.Color);
        } else {
            QColor unselected = context.Look.TabColors.Unselected;
            QColor shadow = context.Look.TabColors.Shadow;
            if (context.Look.UseColoredTabs && tab.Color.isValid()) {
                unselected = tab.Color;
                shadow = DarkenColor(tab.Color, 30);
            }
            if (context.Look.UseGradients && painter.device()->depth() > 8) {
                // From the outer edge towards the card.
                if (atBottom(context.Metrics))
                    FillGradient(painter, bounds, unselected, shadow, Qt::Vertical);
                else
                    FillGradient(painter, bounds, shadow, unselected, Qt::Vertical);
            } else {
                painter.fillRect(bounds, unselected);
            }
        }
    }

    const bool barForSelected =
        selected && context.Control.HotTrack() && context.Look.HotTrackStyle == htsTab;
    const bool barForHot = hot && context.Look.HotTrackStyle == htsTab;
    if (barForSelected || barForHot) {
        QColor bar = context.Look.TabColors.HighlightBar;
        if (barForHot)
            bar = context.Look.HotTrackColorType == htctActual ? context.Look.HotTrackColor
                                                               : ComplementColor(context.Look.HotTrackColor);
        const int depth = atBottom(context.Metrics) ? 4 : 6;
        const QRect band = atBottom(context.Metrics)
                               ? QRect(bounds.left(), bounds.bottom() - depth + 1, bounds.width(), depth)
                               : QRect(bounds.left(), bounds.top(), bounds.width(), depth);
        painter.fillRect(band, bar);
    }
    paintTabContent(context, tabIndex, rect, selected, hot);
    painter.restore();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(context.Outline);
    painter.drawPolyline(shape);
    painter.restore();
}

void paintCard(TabPaintContext &context)
{
    TPqPageControl &control = context.Control;
    QPainter &painter = context.Painter;
    const QRect card = PqCardRect(context.Metrics, control.size(), context.Layout.FixedDimension);
    bool handled = false;
    if (control.OnPaintCardBackground)
        control.OnPaintCardBackground(&control, painter, card, handled);
    if (!handled) {
        const QColor fill = control.ActivePage() ? control.ActivePage()->Color() : context.Look.Color;
        painter.fillRect(card, fill);
    }

    const bool shadow =
        context.Metrics.ShowShadow && !atBottom(context.Metrics) && context.Metrics.TabSequence == tsStandard;
    const int right = card.right() - (shadow ? 2 : 0);
    const int bottom = card.bottom() - (shadow ? 2 : 0);
    if (context.Metrics.ShowCardFrame) {
        painter.setPen(context.Outline);
        // The edge the tabs stand on stays open under the selected tab.
        const int edgeY = atBottom(context.Metrics) ? card.bottom() : card.top();
        const int selected = control.TabIndex();
        const QRect tab = selected >= 0 ? context.Layout.TabRects[std::size_t(selected)] : QRect();
        if (tab.isNull()) {
            painter.drawLine(card.left(), edgeY, right, edgeY);
        } else {
            // The opening runs between the selected tab's two feet.
            const QPolygon shape = PqTabShape(context.Metrics.TabStyle, context.Metrics.TabOrientation, tab,
                                              true, context.Metrics.CutCornerSize);
            const int footLeft = shape.first().x();
            const int footRight = shape.last().x();
            if (footLeft > card.left())
                painter.drawLine(card.left(), edgeY, footLeft, edgeY);
            if (footRight < right)
                painter.drawLine(footRight, edgeY, right, edgeY);
        }
        if (context.Metrics.ShowFullFrame) {
            const int farY = atBottom(context.Metrics) ? card.top() : bottom;
            painter.drawLine(card.left(), card.top(), card.left(), card.bottom() - (shadow ? 2 : 0));
            if (!shadow) {
                painter.drawLine(right, card.top(), right, card.bottom());
                painter.drawLine(card.left(), farY, right, farY);
            }
        }
    }
    if (shadow) {
        // Two lines darken what lies behind them: 30 % inside, 15 % outside.
        BlendLine(painter, QLine(card.right() - 1, card.top() + 1, card.right() - 1, card.bottom() - 1),
                  0.30);
        BlendLine(painter, QLine(card.left() + 1, card.bottom() - 1, card.right() - 2, card.bottom() - 1),
                  0.30);
        BlendLine(painter, QLine(card.right(), card.top() + 2, card.right(), card.bottom()), 0.15);
        BlendLine(painter, QLine(card.left() + 2, card.bottom(), card.right() - 1, card.bottom()), 0.15);
    }
}

} // namespace

void TPqTabPainter::Paint(TPqPageControl &control, QPainter &painter)
{
    const TPqTabRowLayout &layout = control.Model().Layout();
    TabPaintContext context{
        control,        painter, control.Metrics(),
        control.Look(), layout,  LightenColor(control.Look().FlatColor, control.Look().FlatColorAdjustment)};

    bool handled = false;
    if (control.OnPaintBackground)
        control.OnPaintBackground(&control, painter, control.rect(), handled);
    if (!handled && !control.Look().Transparent)
        painter.fillRect(control.rect(), control.Look().BackgroundColor);

    const int selected = control.TabIndex();
    const int count = control.Model().TabCount();
    for (int i = count - 1; i >= layout.FirstShown; --i) {
        if (i != selected)
            paintTab(context, i, false);
    }
    if (selected >= 0 && selected < count)
        paintTab(context, selected, true);
    paintCard(context);

    if (layout.ScrollerVisible) {
        const QRect scroller = layout.ScrollerRect;
        const QRect leftButton(scroller.left(), scroller.top(), scroller.width() / 2, scroller.height());
        const QRect rightButton(leftButton.right() + 1, scroller.top(), scroller.width() / 2,
                                scroller.height());
        for (const QRect &button : {leftButton, rightButton}) {
            painter.fillRect(button, SystemColor(clBtnFace));
            DrawFrameRect(painter, button, context.Outline);
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(SystemColor(clBtnText));
        const QPoint l = leftButton.center();
        const QPoint r = rightButton.center();
        painter.drawPolygon(
            QPolygon({QPoint(l.x() - 2, l.y()), QPoint(l.x() + 2, l.y() - 4), QPoint(l.x() + 2, l.y() + 4)}));
        painter.drawPolygon(
            QPolygon({QPoint(r.x() + 2, r.y()), QPoint(r.x() - 2, r.y() - 4), QPoint(r.x() - 2, r.y() + 4)}));
    }
}

} // namespace kestrum
