#include "pages/PqTabLayout.h"

#include "core/Errors.h"

#include <algorithm>

namespace kestrum {

namespace {

bool tabsAtBottom(const TPqTabMetrics &metrics)
{
    return metrics.TabOrientation == toBottom;
}

int availableLength(const TPqTabMetrics &metrics, int controlWidth)
{
    int length = controlWidth - 2 * metrics.Margin - (2 * metrics.ScrollerButtonSize + 2);
    if (metrics.ShowCloseButton)
        length -= metrics.CloseButtonSize + 2;
    if (metrics.TabStyle == tsRoundCorners)
        length -= 4;
    return std::max(1, length);
}

} // namespace

QSize PqTabContentSize(const TPqTabMetrics &metrics, const TPqTabGeometryInput &tab,
                       const TPqTextMeasure &measure)
{
    const QSize text = measure(tab.Caption, metrics.BoldCurrentTab);
    const QSize image = tab.HasImage ? metrics.ImageSize : QSize(0, 0);
    const bool hasImage = tab.HasImage && !image.isEmpty();
    QSize content = text;
    switch (metrics.ImagePosition) {
    case ipLeft:
    case ipRight:
        if (hasImage)
            content = QSize(metrics.ImageMargin + image.width() + text.width(),
                            std::max(image.height(), text.height()));
        break;
    case ipTop:
    case ipBottom:
        if (hasImage)
            content = QSize(std::max(image.width(), text.width()),
                            metrics.ImageMargin + image.height() + text.height());
        break;
    case ipBack:
        content = content.expandedTo(image);
        break;
    case ipStretch:
        break;
    }
    if (metrics.TabWidth <= 0 && metrics.TabHeight <= 0) {
        // Even an empty caption keeps a grip-sized tab.
        const QString minimum =
            metrics.TabStyle == tsRoundCorners ? QStringLiteral("AAA") : QStringLiteral("A");
        content = content.expandedTo(measure(minimum, false));
    }
    return content;
}

QSize PqTabOuterSize(const TPqTabMetrics &metrics, QSize content)
{
    const int w = content.width();
    const int h = content.height();
    QSize outer;
    switch (metrics.TabStyle) {
    case tsSingleSlant:
        outer = QSize(2 * ((h + 6) / 2) + w + 2 + metrics.TabHeight / 2 + 4, h + 6);
        break;
    case tsDoubleSlant:
        outer = QSize(2 * (h + 2) + w + 2 + metrics.TabHeight + 4, h + 6);
        break;
    case tsCutCorner:
        outer = QSize(w + 2 * metrics.CutCornerSize + 8, h + 7);
        break;
    case tsRoundCorners:
        outer = QSize(w + 16, h + 6);
        break;
    }
    if (metrics.TabWidth > 0)
        outer.setWidth(metrics.TabWidth);
    if (metrics.TabHeight > 0)
        outer.setHeight(metrics.TabHeight);
    return outer;
}

int PqFixedDimension(const TPqTabMetrics &metrics, const std::vector<TPqTabGeometryInput> &tabs,
                     const TPqTextMeasure &measure)
{
    int height = 0;
    for (const TPqTabGeometryInput &tab : tabs)
        height = std::max(height, PqTabOuterSize(metrics, PqTabContentSize(metrics, tab, measure)).height());
    if (tabs.empty())
        height = PqTabOuterSize(metrics, PqTabContentSize(metrics, {}, measure)).height();
    return height;
}

int PqTabSlant(TPqTabStyle style, int fixedDimension)
{
    switch (style) {
    case tsSingleSlant:
        return fixedDimension / 2;
    case tsDoubleSlant:
        return fixedDimension;
    case tsCutCorner:
    case tsRoundCorners:
        return -1;
    }
    return -1;
}

TPqTabRowLayout PqLayoutTabRow(const TPqTabMetrics &metrics, const std::vector<TPqTabGeometryInput> &tabs,
                               const TPqTextMeasure &measure, QSize controlSize, int firstShown)
{
    TPqTabRowLayout layout;
    const int count = int(tabs.size());
    layout.FixedDimension = PqFixedDimension(metrics, tabs, measure);
    layout.FirstShown = std::clamp(firstShown, 0, std::max(0, count - 1));
    layout.TabRects.assign(tabs.size(), QRect());

    const int width = controlSize.width();
    const int rowTop = tabsAtBottom(metrics) ? controlSize.height() - layout.FixedDimension : 0;
    const int available = availableLength(metrics, width);
    const int slant = PqTabSlant(metrics.TabStyle, layout.FixedDimension);
    const int closeSpace = metrics.ShowCloseButton ? metrics.CloseButtonSize + 2 : 0;
    const int rowEnd = width - metrics.Margin - closeSpace;

    int x = metrics.Margin;
    int lastRight = x;
    for (int i = layout.FirstShown; i < count; ++i) {
        const int tabWidth = std::min(
            PqTabOuterSize(metrics, PqTabContentSize(metrics, tabs[std::size_t(i)], measure)).width(),
            available);
        layout.TabRects[std::size_t(i)] = QRect(x, rowTop, tabWidth, layout.FixedDimension);
        lastRight = x + tabWidth;
        x = x + tabWidth - slant + 1;
    }

    layout.ScrollerVisible = count > 0 && (layout.FirstShown > 0 || lastRight > rowEnd);
    const int fitLimit = layout.ScrollerVisible ? metrics.Margin + available : rowEnd;
    for (int i = layout.FirstShown; i < count; ++i) {
        const QRect &rect = layout.TabRects[std::size_t(i)];
        if (i == layout.FirstShown || rect.x() + rect.width() <= fitLimit)
            layout.LastShown = i;
        else
            break;
    }
    if (layout.ScrollerVisible) {
        const int size = metrics.ScrollerButtonSize;
        layout.ScrollerRect =
            QRect(rowEnd - 2 * size, rowTop + std::max(0, (layout.FixedDimension - size) / 2), 2 * size,
                  std::min(size, layout.FixedDimension));
    }

    if (metrics.TabSequence == tsReverse) {
        auto mirror = [width](QRect &rect) {
            if (!rect.isNull())
                rect.moveLeft(width - rect.x() - rect.width());
        };
        for (QRect &rect : layout.TabRects)
            mirror(rect);
        mirror(layout.ScrollerRect);
    }
    return layout;
}

QRect PqCardRect(const TPqTabMetrics &metrics, QSize controlSize, int fixedDimension)
{
    const int height = std::max(0, controlSize.height() - fixedDimension);
    if (tabsAtBottom(metrics))
        return QRect(0, 0, controlSize.width(), height);
    return QRect(0, fixedDimension, controlSize.width(), height);
}

QRect PqPageArea(const TPqTabMetrics &metrics, QSize controlSize, int fixedDimension)
{
    const QRect card = PqCardRect(metrics, controlSize, fixedDimension);
    const bool fullFrame = metrics.ShowCardFrame && metrics.ShowFullFrame;
    const int left = fullFrame ? 1 : 0;
    int top = metrics.ShowCardFrame ? 1 : 0;
    int right = fullFrame ? 1 : 0;
    int bottom = fullFrame ? 1 : 0;
    if (tabsAtBottom(metrics)) {
        top = fullFrame ? 1 : 0;
        bottom = metrics.ShowCardFrame ? 1 : 0;
    } else if (metrics.ShowShadow && metrics.TabSequence == tsStandard) {
        // The shadow takes the two outermost lines on the right and at the bottom.
        right = 2;
        bottom = 2;
    }
    return card.adjusted(left, top, -right, -bottom);
}

QPolygon PqTabShape(TPqTabStyle style, TPqTabOrientation orientation, const QRect &tabRect, bool selected,
                    int cutCornerSize)
{
    QRect rect = tabRect;
    if (style == tsRoundCorners && selected)
        rect.adjust(-2, orientation == toBottom ? 0 : -2, 2, orientation == toBottom ? 2 : 0);
    // Points are computed for a top tab whose outer edge is y = 0 and whose foot,
    // on the card's edge, is y = h; a bottom tab mirrors them vertically. Like
    // the foot, the right end lies just past the rectangle's last column, so a
    // slant spans exactly the tab's height and the row overlaps as laid out.
    const int h = rect.height();
    const int l = rect.left();
    const int r = rect.left() + rect.width();
    QPolygon local;
    switch (style) {
    case tsSingleSlant:
        local << QPoint(l, h) << QPoint(l, 2) << QPoint(l + 2, 0) << QPoint(r - h, 0) << QPoint(r, h);
        break;
    case tsDoubleSlant:
        local << QPoint(l, h) << QPoint(l + h, 0) << QPoint(r - h, 0) << QPoint(r, h);
        break;
    case tsCutCorner:
        local << QPoint(l, h) << QPoint(l, 0) << QPoint(r - cutCornerSize, 0) << QPoint(r, cutCornerSize)
              << QPoint(r, h);
        break;
    case tsRoundCorners:
        local << QPoint(l, h) << QPoint(l, 2) << QPoint(l + 2, 0) << QPoint(r - 2, 0) << QPoint(r, 2)
              << QPoint(r, h);
        break;
    }
    QPolygon shape;
    for (const QPoint &point : local) {
        const int y = orientation == toBottom ? rect.bottom() - point.y() : rect.top() + point.y();
        shape << QPoint(point.x(), y);
    }
    PqCheckTabShape(style, shape);
    return shape;
}

void PqCheckTabShape(TPqTabStyle style, const QPolygon &shape)
{
    static constexpr int expected[] = {5, 4, 5, 6};
    if (shape.size() != expected[style])
        throw Exception("Incorrect number of points in tab shape");
}

int PqTabAt(const TPqTabMetrics &metrics, const TPqTabRowLayout &layout, int selectedTab, QPoint point)
{
    if (layout.ScrollerVisible && layout.ScrollerRect.contains(point))
        return -1;
    const int count = int(layout.TabRects.size());
    auto hit = [&](int index) {
        const QRect &rect = layout.TabRects[std::size_t(index)];
        if (rect.isNull())
            return false;
        const QPolygon shape = PqTabShape(metrics.TabStyle, metrics.TabOrientation, rect,
                                          index == selectedTab, metrics.CutCornerSize);
        return shape.containsPoint(point, Qt::OddEvenFill) || shape.contains(point);
    };
    if (selectedTab >= 0 && selectedTab < count && hit(selectedTab))
        return selectedTab;
    for (int step = 0; step < count; ++step) {
        const int index = (layout.FirstShown + step) % count;
        if (index != selectedTab && hit(index))
            return index;
    }
    return -1;
}

} // namespace kestrum
