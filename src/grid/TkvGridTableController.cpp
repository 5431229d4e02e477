#include "grid/TkvGridTableController.h"

#include "grid/TkvGridTableView.h"
#include "grid/TkvGridTableViewInfo.h"

#include <algorithm>

namespace kestrum {

namespace {

constexpr int HorizontalScrollStep = 10;

} // namespace

void TkvGridTableController::SetFocusedItem(TkvCustomGridTableItem *item)
{
    if (item && !item->CanFocus())
        return;
    if (item == FFocusedItem) {
        MakeFocusedRowVisible();
        return;
    }
    TkvCustomGridTableItem *previous = FFocusedItem;
    FFocusedItem = item;
    // Scroll the new cell into view; its left edge wins when it is wider than the view.
    // Scrolling lays the view out again and rebuilds the header cells, so the cell's extent
    // is taken before any scrolling.
    TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (item && viewInfo.IsCalculated()) {
        const auto &headers = viewInfo.HeaderCells();
        const auto header =
            std::find_if(headers.begin(), headers.end(),
                         [item](const TkvGridHeaderCellViewInfo &cell) { return cell.Column == item; });
        if (header != headers.end()) {
            const QRect area = viewInfo.RowsAreaBounds();
            const int left = header->Bounds.left() - area.left() + FLeftPos;
            const int right = left + header->Bounds.width();
            const int areaWidth = area.width();
            if (right - FLeftPos > areaWidth)
                SetLeftPos(right - areaWidth);
            if (left < FLeftPos)
                SetLeftPos(left);
        }
    }
    const int focusedRowIndex = FocusedRowIndex();
    if (focusedRowIndex >= 0)
        FGridView->RecordChanged(focusedRowIndex);
    if (FGridView->OnFocusedItemChanged)
        FGridView->OnFocusedItemChanged(FGridView, previous, item);
}

void TkvGridTableController::ItemRemoved(TkvCustomGridTableItem *item)
{
    if (FFocusedItem == item)
        FFocusedItem = nullptr;
    if (item && (item == static_cast<TkvCustomGridTableItem *>(FDragColumn) ||
                 item == static_cast<TkvCustomGridTableItem *>(FSizingColumn)))
        ResetHeaderState();
}

int TkvGridTableController::FocusedRowIndex() const
{
    return FGridView->DataController().FocusedRowIndex();
}

bool TkvGridTableController::SetFocusedRowIndex(int rowIndex)
{
    return FGridView->DataController().ChangeFocusedRowIndex(rowIndex);
}

void TkvGridTableController::SetTopRowIndex(int rowIndex)
{
    TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    const int rowCount = FGridView->DataController().RowCount();
    if (rowCount == 0)
        rowIndex = 0;
    else if (viewInfo.IsCalculated())
        rowIndex = std::clamp(rowIndex, 0, viewInfo.MaxTopRowIndex());
    else
        rowIndex = std::clamp(rowIndex, 0, rowCount - 1);
    if (rowIndex == FTopRowIndex)
        return;
    FTopRowIndex = rowIndex;
    // Scrolling keeps the parts: only the rows are laid out again.
    if (viewInfo.IsCalculated() && !viewInfo.IsCalculating()) {
        viewInfo.CalculateRows();
        FGridView->Invalidate(viewInfo.RowsAreaBounds());
    }
    if (FGridView->OnScrollBarsChanged)
        FGridView->OnScrollBarsChanged();
    if (FGridView->OnTopRecordIndexChanged)
        FGridView->OnTopRecordIndexChanged(FGridView);
}

void TkvGridTableController::CheckTopRowIndex()
{
    const int before = FTopRowIndex;
    FTopRowIndex = std::clamp(FTopRowIndex, 0, std::max(0, FGridView->ViewInfo().MaxTopRowIndex()));
    if (before != FTopRowIndex && FGridView->ViewInfo().IsCalculated())
        FGridView->ViewInfo().CalculateRows();
}

void TkvGridTableController::SetLeftPos(int leftPos)
{
    TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    const int maxLeft =
        viewInfo.IsCalculated() ? std::max(0, viewInfo.DataWidth() - viewInfo.RowsAreaBounds().width()) : 0;
    leftPos = std::clamp(leftPos, 0, maxLeft);
    if (leftPos == FLeftPos)
        return;
    FLeftPos = leftPos;
    FGridView->LayoutChanged();
}

void TkvGridTableController::MakeFocusedRowVisible()
{
    MakeRowVisible(FocusedRowIndex());
}

void TkvGridTableController::MakeRowVisible(int rowIndex)
{
    TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (rowIndex < 0 || !viewInfo.IsCalculated())
        return;
    if (rowIndex < FTopRowIndex) {
        SetTopRowIndex(rowIndex);
        return;
    }
    // Scroll only when the row does not fit completely below the current top row.
    if (rowIndex >= FTopRowIndex + viewInfo.FullyVisibleRowCountFrom(FTopRowIndex))
        SetTopRowIndex(viewInfo.TopRowIndexForBottomRow(rowIndex));
}

bool TkvGridTableController::FocusedRowHasCells() const
{
    TkvCustomGridRecord *record = FGridView->ViewData().Records(FocusedRowIndex());
    return record && record->HasCells();
}

int TkvGridTableController::NextFocusableRow(int fromRowIndex, bool forward) const
{
    TkvGridViewData &viewData = FGridView->ViewData();
    const int count = viewData.RecordCount();
    for (int rowIndex = forward ? fromRowIndex + 1 : fromRowIndex - 1; rowIndex >= 0 && rowIndex < count;
         rowIndex += forward ? 1 : -1) {
        TkvCustomGridRecord *record = viewData.Records(rowIndex);
        if (record && record->CanFocus())
            return rowIndex;
    }
    return -1;
}

bool TkvGridTableController::FocusNextRow(int fromRowIndex, bool forward)
{
    TkvUpdateLock lock(*FGridView);
    const int rowIndex = NextFocusableRow(fromRowIndex, forward);
    if (rowIndex < 0)
        return false;
    return SetFocusedRowIndex(rowIndex);
}

bool TkvGridTableController::FocusNextCell(bool forward, bool keepRow)
{
    if (!FocusedRowHasCells() || !FGridView->OptionsSelection().CellSelect()) {
        if (keepRow || !FGridView->OptionsBehavior().FocusCellOnCycle())
            return false;
        if (!FocusNextRow(FocusedRowIndex(), forward))
            return false;
        if (FocusedRowHasCells())
            FocusFirstOrLastCell(forward);
        return true;
    }
    const int count = FGridView->VisibleItemCount();
    const int from = FFocusedItem ? FFocusedItem->VisibleIndex() : (forward ? -1 : count);
    for (int i = forward ? from + 1 : from - 1; i >= 0 && i < count; i += forward ? 1 : -1) {
        TkvCustomGridTableItem *item = FGridView->VisibleItems(i);
        if (item->CanFocus()) {
            SetFocusedItem(item);
            return true;
        }
    }
    if (!FGridView->OptionsBehavior().FocusCellOnCycle() || keepRow)
        return false;
    // Wrap into the next row.
    if (!FocusNextRow(FocusedRowIndex(), forward))
        return false;
    if (FocusedRowHasCells())
        FocusFirstOrLastCell(forward);
    return true;
}

void TkvGridTableController::FocusFirstOrLastCell(bool first)
{
    const int count = FGridView->VisibleItemCount();
    for (int i = first ? 0 : count - 1; i >= 0 && i < count; i += first ? 1 : -1)
        if (FGridView->VisibleItems(i)->CanFocus()) {
            SetFocusedItem(FGridView->VisibleItems(i));
            return;
        }
}

void TkvGridTableController::GoToFirst()
{
    FocusNextRow(-1, true);
}

void TkvGridTableController::GoToLast()
{
    FocusNextRow(FGridView->ViewData().RecordCount(), false);
}

void TkvGridTableController::PageDown()
{
    TkvUpdateLock lock(*FGridView);
    MakeFocusedRowVisible();
    TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    const int lastVisible = FTopRowIndex + viewInfo.FullyVisibleRowCountFrom(FTopRowIndex) - 1;
    if (FocusedRowIndex() == lastVisible) {
        // The last fully visible row becomes the top row (one row on when only one fits).
        const int fit = viewInfo.FullyVisibleRowCountFrom(FTopRowIndex);
        SetTopRowIndex(fit <= 1 ? FTopRowIndex + 1 : lastVisible);
    }
    const int rowCount = FGridView->DataController().RowCount();
    const int target =
        std::min(rowCount - 1, FTopRowIndex + viewInfo.FullyVisibleRowCountFrom(FTopRowIndex) - 1);
    if (target >= 0)
        SetFocusedRowIndex(target);
}

void TkvGridTableController::PageUp()
{
    TkvUpdateLock lock(*FGridView);
    MakeFocusedRowVisible();
    TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (FocusedRowIndex() == FTopRowIndex && FTopRowIndex > 0) {
        // As many rows as fit above end with the old top row at the bottom.
        const int newTop = viewInfo.TopRowIndexForBottomRow(FTopRowIndex);
        SetTopRowIndex(newTop == FTopRowIndex ? FTopRowIndex - 1 : newTop);
    }
    if (FGridView->DataController().RowCount() > 0)
        SetFocusedRowIndex(FTopRowIndex);
}

void TkvGridTableController::ScrollHorizontally(int delta)
{
    SetLeftPos(FLeftPos + delta);
}

bool TkvGridTableController::IsControllerKey(TkvGridKey key) const
{
    switch (key) {
    case TkvGridKey::Tab:
    case TkvGridKey::Escape:
    case TkvGridKey::PageUp:
    case TkvGridKey::PageDown:
    case TkvGridKey::Up:
    case TkvGridKey::Down:
    case TkvGridKey::Insert:
        return true;
    case TkvGridKey::Left:
    case TkvGridKey::Right:
        return FGridView->OptionsBehavior().AlwaysShowEditor();
    default:
        return false;
    }
}

bool TkvGridTableController::KeyDown(TkvGridKey key, TkvGridShiftState shift)
{
    // Esc while a header is pressed, dragged or sized drops that action and nothing else.
    if (key == TkvGridKey::Escape && FHeaderState != TkvGridHeaderState::None) {
        CancelHeaderAction();
        return true;
    }
    TkvUpdateLock lock(*FGridView);
    const int top = FTopRowIndex;
    bool consumed = false;

    // New-item row and cells: Left and Right move between cells first.
    if ((key == TkvGridKey::Left || key == TkvGridKey::Right) && FocusedRowHasCells() &&
        FGridView->OptionsSelection().CellSelect())
        consumed = FocusNextCell(key == TkvGridKey::Right, true);

    // The focused row's own keys (expansion).
    if (!consumed)
        if (TkvCustomGridRecord *record = FGridView->ViewData().Records(FocusedRowIndex()))
            consumed = record->KeyDown(key, shift);

    if (!consumed) {
        consumed = true;
        switch (key) {
        case TkvGridKey::PageUp:
            PageUp();
            break;
        case TkvGridKey::PageDown:
            PageDown();
            break;
        case TkvGridKey::Home:
            if (!shift.Ctrl && FocusedRowHasCells() && FGridView->OptionsSelection().CellSelect())
                FocusFirstOrLastCell(true);
            else
                GoToFirst();
            break;
        case TkvGridKey::End:
            if (!shift.Ctrl && FocusedRowHasCells() && FGridView->OptionsSelection().CellSelect())
                FocusFirstOrLastCell(false);
            else
                GoToLast();
            break;
        case TkvGridKey::Left:
            ScrollHorizontally(-HorizontalScrollStep);
            break;
        case TkvGridKey::Right:
            ScrollHorizontally(HorizontalScrollStep);
            break;
        case TkvGridKey::Up:
            FocusNextRow(FocusedRowIndex(), false);
            break;
        case TkvGridKey::Down:
            // From no focused row, Down focuses the first row.
            FocusNextRow(FocusedRowIndex(), true);
            break;
        default:
            consumed = false;
            break;
        }
    }
    if (top != FTopRowIndex && FGridView->OnScrollBarsChanged)
        FGridView->OnScrollBarsChanged();
    return consumed;
}

void TkvGridTableController::MouseDown(TkvGridMouseButton button, const QPoint &point,
                                       TkvGridShiftState shift, bool doubleClick)
{
    TkvUpdateLock lock(*FGridView);
    FDoubleClick = doubleClick;
    // A second button going down ends a header action without effect.
    if (FHeaderState != TkvGridHeaderState::None)
        CancelHeaderAction();
    const TkvGridHitTest hit = FGridView->ViewInfo().HitTest(point);
    switch (hit.Kind) {
    case TkvGridHitKind::ExpandButton:
        if (button == TkvGridMouseButton::Left)
            if (TkvCustomGridRecord *record = FGridView->ViewData().Records(hit.RowIndex))
                record->SetExpanded(!record->Expanded());
        break;
    case TkvGridHitKind::Cell:
    case TkvGridHitKind::GroupRow:
    case TkvGridHitKind::RowIndent: {
        if (button == TkvGridMouseButton::Middle)
            break;
        {
            TkvCustomGridRecord *record = FGridView->ViewData().Records(hit.RowIndex);
            if (!record || !record->CanFocus())
                break;
        }
        // Focusing may post the edited record, and a data change frees every row object:
        // nothing read before this call is used after it; the row is fetched again.
        SetFocusedRowIndex(hit.RowIndex);
        TkvCustomGridRecord *record = FGridView->ViewData().Records(hit.RowIndex);
        if (doubleClick && record && record->Expandable())
            record->SetExpanded(!record->Expanded());
        else if (hit.Kind == TkvGridHitKind::Cell && hit.Column && FocusedRowIndex() == hit.RowIndex)
            SetFocusedItem(hit.Column);
        break;
    }
    case TkvGridHitKind::Header:
        if (button == TkvGridMouseButton::Left && !doubleClick)
            HeaderMouseDown(hit.Column, TkvGridHeaderContainer::HeaderRow, point, shift);
        break;
    case TkvGridHitKind::GroupByBoxHeader:
        if (button == TkvGridMouseButton::Left && !doubleClick)
            HeaderMouseDown(hit.Column, TkvGridHeaderContainer::GroupByBox, point, shift);
        break;
    case TkvGridHitKind::HeaderSizingEdge:
        if (button == TkvGridMouseButton::Left)
            SizingMouseDown(hit.Column, point, doubleClick);
        break;
    case TkvGridHitKind::HeaderFilterButton:
        if (button == TkvGridMouseButton::Left)
            FilterButtonMouseDown(hit.Column, point);
        break;
    case TkvGridHitKind::FilterBoxCloseButton:
    case TkvGridHitKind::FilterBoxActivateButton:
    case TkvGridHitKind::FilterBoxCustomizeButton:
        if (button == TkvGridMouseButton::Left)
            FilterBoxMouseDown(hit.Kind);
        break;
    default:
        break;
    }
}

void TkvGridTableController::MouseUp(TkvGridMouseButton button, const QPoint &point, TkvGridShiftState shift)
{
    if (button == TkvGridMouseButton::Left && FHeaderState != TkvGridHeaderState::None &&
        FHeaderState != TkvGridHeaderState::DropDown)
        HeaderMouseUp(point, shift);
    if (button == TkvGridMouseButton::Left && FPressedFilterBoxButton != TkvGridHitKind::None)
        FilterBoxMouseUp(point);
    FGridView->SetPressedColumn(nullptr);
}

void TkvGridTableController::MouseWheel(int steps, int linesPerStep)
{
    if (steps == 0)
        return;
    SetTopRowIndex(FTopRowIndex - steps * linesPerStep);
}

namespace {

constexpr int WheelNotch = 120;

//! Adds a delta to the rest kept from earlier messages and returns the whole notches in it;
//! turning the wheel the other way drops what was kept.
int TakeWheelNotches(int &rest, int delta)
{
    if ((rest > 0 && delta < 0) || (rest < 0 && delta > 0))
        rest = 0;
    rest += delta;
    const int notches = rest / WheelNotch;
    rest -= notches * WheelNotch;
    return notches;
}

} // namespace

bool TkvGridTableController::VerticalScrollBarShown() const
{
    const TkvGridScrollBars bars = FGridView->OptionsView().ScrollBars();
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    return (bars == TkvGridScrollBars::ssBoth || bars == TkvGridScrollBars::ssVertical) &&
           viewInfo.IsCalculated() && viewInfo.MaxTopRowIndex() > 0;
}

bool TkvGridTableController::HorizontalScrollBarShown() const
{
    const TkvGridScrollBars bars = FGridView->OptionsView().ScrollBars();
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    return (bars == TkvGridScrollBars::ssBoth || bars == TkvGridScrollBars::ssHorizontal) &&
           viewInfo.IsCalculated() && viewInfo.DataWidth() > viewInfo.RowsAreaBounds().width();
}

bool TkvGridTableController::MouseWheelDelta(const QPoint &angleDelta, const QPoint &point,
                                             TkvGridShiftState shift, int linesPerStep)
{
    if (angleDelta.isNull())
        return false;
    if (FGridView->OnMouseWheel &&
        FGridView->OnMouseWheel(FGridView, shift, angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x(),
                                point))
        return true;
    linesPerStep = std::max(1, linesPerStep);
    TkvUpdateLock lock(*FGridView);
    const int top = FTopRowIndex;
    const int left = FLeftPos;
    // The vertical wheel turns the horizontal scroll bar when only that one is shown.
    const bool verticalScrollsHorizontally = !VerticalScrollBarShown() && HorizontalScrollBarShown();
    if (const int notches = TakeWheelNotches(FWheelRestY, angleDelta.y()); notches != 0) {
        if (verticalScrollsHorizontally)
            ScrollHorizontally(-notches * linesPerStep * HorizontalScrollStep);
        else
            MouseWheel(notches, linesPerStep);
    }
    // Positive is to the left, as positive is up.
    if (const int notches = TakeWheelNotches(FWheelRestX, angleDelta.x()); notches != 0)
        ScrollHorizontally(-notches * linesPerStep * HorizontalScrollStep);
    return top != FTopRowIndex || left != FLeftPos;
}

void TkvGridTableController::Scroll(bool vertical, TkvGridScrollCode code, int position)
{
    TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (!vertical) {
        const int page = viewInfo.RowsAreaBounds().width();
        switch (code) {
        case TkvGridScrollCode::LineUp:
            ScrollHorizontally(-HorizontalScrollStep);
            break;
        case TkvGridScrollCode::LineDown:
            ScrollHorizontally(HorizontalScrollStep);
            break;
        case TkvGridScrollCode::PageUp:
            ScrollHorizontally(-page);
            break;
        case TkvGridScrollCode::PageDown:
            ScrollHorizontally(page);
            break;
        case TkvGridScrollCode::Track:
            SetLeftPos(position);
            break;
        case TkvGridScrollCode::Top:
            SetLeftPos(0);
            break;
        case TkvGridScrollCode::Bottom:
            SetLeftPos(viewInfo.DataWidth());
            break;
        }
        return;
    }
    switch (code) {
    case TkvGridScrollCode::LineUp:
        SetTopRowIndex(FTopRowIndex - 1);
        break;
    case TkvGridScrollCode::LineDown:
        SetTopRowIndex(FTopRowIndex + 1);
        break;
    case TkvGridScrollCode::PageUp: {
        const int newTop = viewInfo.TopRowIndexForBottomRow(FTopRowIndex);
        SetTopRowIndex(newTop == FTopRowIndex ? FTopRowIndex - 1 : newTop);
        break;
    }
    case TkvGridScrollCode::PageDown: {
        const int fit = viewInfo.FullyVisibleRowCountFrom(FTopRowIndex);
        SetTopRowIndex(fit <= 1 ? FTopRowIndex + 1 : FTopRowIndex + fit - 1);
        break;
    }
    case TkvGridScrollCode::Track:
        SetTopRowIndex(position);
        break;
    case TkvGridScrollCode::Top:
        SetTopRowIndex(0);
        break;
    case TkvGridScrollCode::Bottom:
        SetTopRowIndex(viewInfo.MaxTopRowIndex());
        break;
    }
}

} // namespace kestrum
