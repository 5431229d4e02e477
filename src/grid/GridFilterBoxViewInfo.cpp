#include "grid/GridFilterBoxViewInfo.h"

#include <QFontMetrics>

#include <algorithm>

namespace kestrum {

namespace {

constexpr int FilterBoxButtonSize = 13;
constexpr int FilterBoxButtonOffset = 4;
constexpr int FilterBoxTextOffset = 3;

QSize CustomizeButtonSize(const QFont &font)
{
    const QFontMetrics metrics(font);
    return QSize(metrics.horizontalAdvance(FilterBoxCustomizeCaption()) + 12, metrics.height() + 6);
}

} // namespace

QString FilterBoxCustomizeCaption()
{
    return QString::fromUtf8("自定义...");
}

QString FilterBoxEmptyText()
{
    return QString::fromUtf8("<过滤器为空>");
}

int TkvGridFilterBoxViewInfo::Height(bool shown, const QFont &font, bool customizeButton)
{
    if (!shown)
        return 0;
    const int textHeight = QFontMetrics(font).height();
    int tallestButton = FilterBoxButtonSize;
    if (customizeButton)
        tallestButton = std::max(tallestButton, CustomizeButtonSize(font).height());
    return std::max(textHeight + 6, tallestButton + 8);
}

void TkvGridFilterBoxViewInfo::Calculate(const QRect &bounds, const TkvGridFilterBoxContent &content)
{
    Clear();
    FText = content.Caption.isEmpty() ? FilterBoxEmptyText() : content.Caption;
    const QRect &box = bounds;
    auto centred = [&box](int left, QSize size) {
        return QRect(QPoint(left, box.top() + (box.height() - size.height()) / 2), size);
    };
    auto add = [&](TkvGridHitKind kind, const QRect &buttonBounds) -> TkvGridFilterBoxButtonViewInfo & {
        TkvGridFilterBoxButtonViewInfo &button = FButtons.emplace_back();
        button.Kind = kind;
        button.Bounds = buttonBounds;
        if (content.Pressed == kind)
            button.State = TkvGridCellState::Pressed;
        return button;
    };
    // Left: close, then the check box, each 4 pixels from the one before.
    const QSize square(FilterBoxButtonSize, FilterBoxButtonSize);
    int x = box.left() + FilterBoxButtonOffset;
    add(TkvGridHitKind::FilterBoxCloseButton, centred(x, square));
    x += FilterBoxButtonSize + FilterBoxButtonOffset;
    add(TkvGridHitKind::FilterBoxActivateButton, centred(x, square)).Checked = content.FilterActive;
    const int leftReserve = 2 * (FilterBoxButtonSize + FilterBoxButtonOffset) + FilterBoxButtonOffset;
    int rightReserve = 0;
    if (content.CustomizeButton) {
        const QSize size = CustomizeButtonSize(content.Font);
        add(TkvGridHitKind::FilterBoxCustomizeButton,
            centred(box.right() + 1 - FilterBoxButtonOffset - size.width(), size))
            .Text = FilterBoxCustomizeCaption();
        rightReserve = size.width() + FilterBoxButtonOffset + FilterBoxButtonOffset;
    }
    const int textHeight = QFontMetrics(content.Font).height();
    FTextBounds =
        QRect(box.left() + leftReserve + FilterBoxTextOffset, box.top() + (box.height() - textHeight) / 2,
              std::max(0, box.width() - leftReserve - rightReserve - 2 * FilterBoxTextOffset), textHeight);
}

void TkvGridFilterBoxViewInfo::Clear()
{
    FText.clear();
    FTextBounds = QRect();
    FButtons.clear();
}

TkvGridHitKind TkvGridFilterBoxViewInfo::ButtonAt(const QPoint &point) const
{
    TkvGridHitKind kind = TkvGridHitKind::None;
    for (const TkvGridFilterBoxButtonViewInfo &button : FButtons)
        if (button.Bounds.contains(point))
            kind = button.Kind;
    return kind;
}

} // namespace kestrum
