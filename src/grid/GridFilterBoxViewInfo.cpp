// The filter box below the footer: whether it is shown, its height, the
// criteria's caption between the button groups, and the close button and
// activate check box at the left and the customize button at the right.
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"

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

int TkvGridTableViewInfo::CalculateFilterBoxHeight() const
{
    const TkvGridFilterVisible visible = FGridView->Filtering().Visible();
    const bool shown = visible == fvAlways ||
                       (visible == fvNonEmpty && FGridView->DataController().FilterConditionCount() > 0);
    if (!shown)
        return 0;
    const QFont font = FGridView->Styles().Params(TkvGridStyleSlot::FilterBox).Font;
    const int textHeight = QFontMetrics(font).height();
    int tallestButton = FilterBoxButtonSize;
    if (FGridView->Filtering().CustomizeDialog())
        tallestButton = std::max(tallestButton, CustomizeButtonSize(font).height());
    return std::max(textHeight + 6, tallestButton + 8);
}

void TkvGridTableViewInfo::CalculateFilterBox()
{
    FFilterBoxText.clear();
    FFilterBoxTextBounds = QRect();
    FFilterBoxButtons.clear();
    if (FFilterBoxHeight == 0)
        return;
    const TkvGridRowSource &source = FGridView->DataController();
    const TkvGridHitKind pressed = FGridView->Controller().PressedFilterBoxButton();
    FFilterBoxText = source.FilterCaption();
    if (FFilterBoxText.isEmpty())
        FFilterBoxText = FilterBoxEmptyText();
    const QFont font = FGridView->Styles().Params(TkvGridStyleSlot::FilterBox).Font;
    const QRect &box = FFilterBoxBounds;
    auto centred = [&box](int left, QSize size) {
        return QRect(QPoint(left, box.top() + (box.height() - size.height()) / 2), size);
    };
    auto add = [&](TkvGridHitKind kind, const QRect &bounds) -> TkvGridFilterBoxButtonViewInfo & {
        TkvGridFilterBoxButtonViewInfo &button = FFilterBoxButtons.emplace_back();
        button.Kind = kind;
        button.Bounds = bounds;
        if (pressed == kind)
            button.State = TkvGridCellState::Pressed;
        return button;
    };
    // Left: close, then the check box, each 4 pixels from the one before.
    const QSize square(FilterBoxButtonSize, FilterBoxButtonSize);
    int x = box.left() + FilterBoxButtonOffset;
    add(TkvGridHitKind::FilterBoxCloseButton, centred(x, square));
    x += FilterBoxButtonSize + FilterBoxButtonOffset;
    add(TkvGridHitKind::FilterBoxActivateButton, centred(x, square)).Checked = source.FilterActive();
    const int leftReserve = 2 * (FilterBoxButtonSize + FilterBoxButtonOffset) + FilterBoxButtonOffset;
    int rightReserve = 0;
    if (FGridView->Filtering().CustomizeDialog()) {
        const QSize size = CustomizeButtonSize(font);
        add(TkvGridHitKind::FilterBoxCustomizeButton,
            centred(box.right() + 1 - FilterBoxButtonOffset - size.width(), size))
            .Text = FilterBoxCustomizeCaption();
        rightReserve = size.width() + FilterBoxButtonOffset + FilterBoxButtonOffset;
    }
    const int textHeight = QFontMetrics(font).height();
    FFilterBoxTextBounds =
        QRect(box.left() + leftReserve + FilterBoxTextOffset, box.top() + (box.height() - textHeight) / 2,
              std::max(0, box.width() - leftReserve - rightReserve - 2 * FilterBoxTextOffset), textHeight);
}

} // namespace kestrum
