#include "grid/GridKeyboardController.h"

#include "grid/GridEditingController.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"

#include <algorithm>

namespace kestrum {

namespace {

constexpr int HorizontalScrollStep = 10;

bool NoneOrShiftOnly(TkvGridShiftState shift)
{
    return !shift.Ctrl && !shift.Alt;
}

bool CtrlOnly(TkvGridShiftState shift)
{
    return shift.Ctrl && !shift.Shift && !shift.Alt;
}

} // namespace

TkvGridKeyboardController::TkvGridKeyboardController(TkvGridTableView &view, TkvGridTableController &owner)
    : FGridView(view), FOwner(owner)
{
}

bool TkvGridKeyboardController::FocusedRowHasCells() const
{
    TkvCustomGridRecord *record = FOwner.FocusedRecord();
    return record && record->HasCells();
}

void TkvGridKeyboardController::ScrollHorizontally(int delta)
{
    FOwner.SetLeftPos(FOwner.LeftPos() + delta);
}

bool TkvGridKeyboardController::IsControllerKey(TkvGridKey key) const
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
        return FGridView.OptionsBehavior().AlwaysShowEditor();
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Rows and cells

int TkvGridKeyboardController::NextFocusableRow(int fromRowIndex, bool forward) const
{
    TkvGridViewData &viewData = FGridView.ViewData();
    const int count = viewData.RecordCount();
    for (int rowIndex = forward ? fromRowIndex + 1 : fromRowIndex - 1; rowIndex >= 0 && rowIndex < count;
         rowIndex += forward ? 1 : -1) {
        TkvCustomGridRecord *record = viewData.Records(rowIndex);
        if (record && record->CanFocus())
            return rowIndex;
    }
    return -1;
}

bool TkvGridKeyboardController::FocusNextRow(int fromRowIndex, bool forward)
{
    TkvUpdateLock lock(FGridView);
    TkvGridRowSource &source = FGridView.DataController();
    if (source.IsEditing()) {
        const bool fromFocusedRow = fromRowIndex == source.FocusedRowIndex();
        if (!FOwner.PostCellValue())
            return false;
        if (source.IsModified()) {
            // Posting may sort or regroup the record to another row: the row to move to is
            // found from where the record is now, not from where it was.
            source.Post();
            if (fromFocusedRow)
                fromRowIndex = source.FocusedRowIndex();
        } else if (source.IsInserting()) {
            const bool isLast = fromRowIndex == source.RowCount() - 1;
            if (forward != isLast) {
                // Leaving an untouched new record drops it; the record set then stands on the
                // row the move was heading for.
                source.Cancel();
                return true;
            }
        }
    }
    const int rowIndex = NextFocusableRow(fromRowIndex, forward);
    if (rowIndex < 0) {
        if (forward && FGridView.OptionsData().Appending() && FOwner.CanAppend()) {
            FOwner.CreateNewRecord(true);
            return true;
        }
        return false;
    }
    return FOwner.SetFocusedRowIndex(rowIndex);
}

bool TkvGridKeyboardController::FocusNextCell(bool forward, bool keepRow)
{
    TkvGridRowSource &source = FGridView.DataController();
    const bool cycle = FGridView.OptionsBehavior().FocusCellOnCycle();
    if (!FocusedRowHasCells() || !FGridView.OptionsSelection().CellSelect()) {
        if (keepRow || !cycle)
            return false;
        if (!FocusNextRow(FOwner.FocusedRowIndex(), forward))
            return false;
        if (FocusedRowHasCells())
            FocusFirstOrLastCell(forward);
        return true;
    }
    const int count = FGridView.VisibleItemCount();
    const int from = FOwner.FocusedItem() ? FOwner.FocusedItem()->VisibleIndex() : (forward ? -1 : count);
    for (int i = forward ? from + 1 : from - 1; i >= 0 && i < count; i += forward ? 1 : -1) {
        TkvCustomGridTableItem *item = FGridView.VisibleItems(i);
        if (item->CanFocus()) {
            FOwner.SetFocusedItem(item);
            return true;
        }
    }
    if (!cycle || keepRow)
        return false;
    // Wrap into the next row; the new-item row posts its record and keeps the focus.
    if (FGridView.OptionsView().NewItemRow() && source.NewItemRowFocused()) {
        TkvUpdateLock lock(FGridView);
        source.Post();
    } else if (!FocusNextRow(FOwner.FocusedRowIndex(), forward)) {
        return false;
    }
    if (FocusedRowHasCells())
        FocusFirstOrLastCell(forward);
    return true;
}

void TkvGridKeyboardController::FocusFirstOrLastCell(bool first)
{
    const int count = FGridView.VisibleItemCount();
    for (int i = first ? 0 : count - 1; i >= 0 && i < count; i += first ? 1 : -1)
        if (FGridView.VisibleItems(i)->CanFocus()) {
            FOwner.SetFocusedItem(FGridView.VisibleItems(i));
            return;
        }
}

void TkvGridKeyboardController::GoToFirst()
{
    if (FGridView.DataController().IsGridMode())
        FGridView.DataController().GotoFirst();
    else
        FocusNextRow(-1, true);
}

void TkvGridKeyboardController::GoToLast()
{
    if (FGridView.DataController().IsGridMode())
        FGridView.DataController().GotoLast();
    else
        FocusNextRow(FGridView.ViewData().RecordCount(), false);
}

void TkvGridKeyboardController::PageDown()
{
    TkvUpdateLock lock(FGridView);
    FOwner.MakeFocusedRowVisible();
    TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    const int lastVisible =
        FOwner.TopRowIndex() + viewInfo.FullyVisibleRowCountFrom(FOwner.TopRowIndex()) - 1;
    if (FOwner.FocusedRowIndex() == lastVisible) {
        // The last fully visible row becomes the top row (one row on when only one fits).
        const int fit = viewInfo.FullyVisibleRowCountFrom(FOwner.TopRowIndex());
        FOwner.SetTopRowIndex(fit <= 1 ? FOwner.TopRowIndex() + 1 : lastVisible);
    }
    const int rowCount = FGridView.DataController().RowCount();
    const int target = std::min(
        rowCount - 1, FOwner.TopRowIndex() + viewInfo.FullyVisibleRowCountFrom(FOwner.TopRowIndex()) - 1);
    if (target >= 0)
        FOwner.SetFocusedRowIndex(target);
}

void TkvGridKeyboardController::PageUp()
{
    TkvUpdateLock lock(FGridView);
    FOwner.MakeFocusedRowVisible();
    TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    if (FOwner.FocusedRowIndex() == FOwner.TopRowIndex() && FOwner.TopRowIndex() > 0) {
        // As many rows as fit above end with the old top row at the bottom.
        const int newTop = viewInfo.TopRowIndexForBottomRow(FOwner.TopRowIndex());
        FOwner.SetTopRowIndex(newTop == FOwner.TopRowIndex() ? FOwner.TopRowIndex() - 1 : newTop);
    }
    if (FGridView.DataController().RowCount() > 0)
        FOwner.SetFocusedRowIndex(FOwner.TopRowIndex());
}

bool TkvGridKeyboardController::FocusNewItemRowFromAbove()
{
    TkvGridRowSource &source = FGridView.DataController();
    if (!FGridView.OptionsView().NewItemRow() || source.NewItemRowFocused())
        return false;
    if (source.FocusedRowIndex() >= 0 && NextFocusableRow(source.FocusedRowIndex(), false) >= 0)
        return false;
    return source.SetNewItemRowFocused(true);
}

bool TkvGridKeyboardController::FocusTopRowFromNewItemRow()
{
    TkvGridRowSource &source = FGridView.DataController();
    if (!FGridView.OptionsView().NewItemRow() || !source.NewItemRowFocused())
        return false;
    const int count = FGridView.ViewData().RecordCount();
    if (count == 0)
        return false;
    const int top = std::clamp(FOwner.TopRowIndex(), 0, count - 1);
    FOwner.SetFocusedRowIndex(top);
    return !source.NewItemRowFocused() && source.FocusedRowIndex() == top;
}

// ---------------------------------------------------------------------------
// Incremental search

TkvCustomGridTableItem *TkvGridKeyboardController::IncSearchItem() const
{
    if (FGridView.OptionsSelection().CellSelect())
        return FOwner.FocusedItem();
    if (TkvCustomGridTableItem *item = FGridView.OptionsBehavior().IncSearchItem())
        return item;
    return FGridView.VisibleItemCount() > 0 ? FGridView.VisibleItems(0) : nullptr;
}

bool TkvGridKeyboardController::IncSearchKeyDown(TkvGridKey key, TkvGridShiftState shift)
{
    TkvGridRowSource &source = FGridView.DataController();
    if (!source.IsIncSearching())
        return false;
    switch (key) {
    case TkvGridKey::Backspace: {
        QString text = source.IncSearchText();
        text.chop(1);
        TkvCustomGridTableItem *item = IncSearchItem();
        if (text.isEmpty() || !item)
            source.CancelIncSearch();
        else
            source.Locate(item->Index(), text);
        return true;
    }
    case TkvGridKey::Escape:
        source.CancelIncSearch();
        return true;
    case TkvGridKey::Up:
    case TkvGridKey::Down:
        if (!shift.Ctrl)
            return false;
        source.LocateNext(key == TkvGridKey::Down);
        return true;
    default:
        return false;
    }
}

bool TkvGridKeyboardController::KeyPress(QChar character)
{
    if (FSuppressNextCharacter) {
        FSuppressNextCharacter = false;
        return true;
    }
    const char16_t code = character.unicode();
    const bool backspace = code == 8;
    if (!backspace && code < 32)
        return false;
    TkvGridRowSource &source = FGridView.DataController();
    TkvCustomGridTableItem *item = IncSearchItem();
    if (item && item->CanIncSearch() && !source.IsEditing()) {
        TkvUpdateLock lock(FGridView);
        QString text = source.IsIncSearching() ? source.IncSearchText() : QString();
        if (!backspace)
            text += character;
        source.Locate(item->Index(), text);
        return true;
    }
    // Otherwise the character belongs to the focused row, which opens the cell editor with it.
    TkvUpdateLock lock(FGridView);
    return FOwner.EditingController().FocusedRowKeyPress(character);
}

// ---------------------------------------------------------------------------
// Key stages

bool TkvGridKeyboardController::NewItemRowKeyDown(TkvGridKey key)
{
    switch (key) {
    case TkvGridKey::PageUp:
        if (FocusNewItemRowFromAbove())
            return true;
        return FGridView.OptionsView().NewItemRow() && FGridView.DataController().NewItemRowFocused();
    case TkvGridKey::PageDown:
        return FocusTopRowFromNewItemRow();
    case TkvGridKey::Left:
    case TkvGridKey::Right:
        if (FocusedRowHasCells() && FGridView.OptionsSelection().CellSelect())
            return FocusNextCell(key == TkvGridKey::Right, true);
        return false;
    default:
        return false;
    }
}

bool TkvGridKeyboardController::RecordKeyDown(TkvGridKey key, TkvGridShiftState shift)
{
    TkvGridRowSource &source = FGridView.DataController();
    const TkvGridOptionsBehavior &behavior = FGridView.OptionsBehavior();
    switch (key) {
    case TkvGridKey::Insert:
        if (!shift.None() || !FOwner.CanInsert(true))
            return false;
        FOwner.CreateNewRecord(false);
        return true;
    case TkvGridKey::Delete:
        if (shift.Shift || shift.Alt || !FOwner.CanDelete(true))
            return false;
        FOwner.DeleteWithConfirmation();
        return true;
    case TkvGridKey::A:
        if (!CtrlOnly(shift))
            return false;
        source.SelectAll();
        return true;
    case TkvGridKey::Tab:
        if (!NoneOrShiftOnly(shift) || !behavior.FocusCellOnTab())
            return false;
        FocusNextCell(!shift.Shift, false);
        return true;
    case TkvGridKey::Enter:
        if (!NoneOrShiftOnly(shift) || !behavior.GoToNextCellOnEnter())
            return false;
        FocusNextCell(!shift.Shift, false);
        return true;
    case TkvGridKey::Escape:
        // Esc that has nothing to cancel goes on (a dialog around the grid may close).
        if (!source.IsEditing())
            return false;
        source.Cancel();
        return true;
    case TkvGridKey::PageUp:
        PageUp();
        return true;
    case TkvGridKey::PageDown:
        PageDown();
        return true;
    default:
        return false;
    }
}

bool TkvGridKeyboardController::MoveKeyDown(TkvGridKey key, TkvGridShiftState shift, bool &movedRow)
{
    const bool cellKeys = !shift.Ctrl && FocusedRowHasCells() && FGridView.OptionsSelection().CellSelect();
    switch (key) {
    case TkvGridKey::Home:
        if (cellKeys) {
            FocusFirstOrLastCell(true);
        } else {
            GoToFirst();
            movedRow = true;
        }
        return true;
    case TkvGridKey::End:
        if (cellKeys) {
            FocusFirstOrLastCell(false);
        } else {
            GoToLast();
            movedRow = true;
        }
        return true;
    case TkvGridKey::Left:
        ScrollHorizontally(-HorizontalScrollStep);
        return true;
    case TkvGridKey::Right:
        ScrollHorizontally(HorizontalScrollStep);
        return true;
    case TkvGridKey::Up:
        if (!FocusNewItemRowFromAbove())
            FocusNextRow(FOwner.FocusedRowIndex(), false);
        return true;
    case TkvGridKey::Down:
        // From no focused row, Down focuses the first row.
        if (!FocusTopRowFromNewItemRow())
            FocusNextRow(FOwner.FocusedRowIndex(), true);
        return true;
    default:
        return false;
    }
}

void TkvGridKeyboardController::SelectByKey(TkvGridKey key, TkvGridShiftState shift)
{
    TkvGridRowSource &source = FGridView.DataController();
    const int focused = source.FocusedRowIndex();
    if (focused < 0)
        return;
    if (key == TkvGridKey::Space && CtrlOnly(shift)) {
        source.ChangeRowSelection(focused, !source.IsRowSelected(focused));
        FSuppressNextCharacter = true;
        return;
    }
    if (shift.Shift) {
        // A record being inserted is not part of a range.
        if (source.IsInserting())
            return;
        int anchor = source.SelectionAnchor();
        if (anchor < 0) {
            anchor = focused;
            source.SetSelectionAnchor(anchor);
        }
        source.SelectRows(anchor, focused, true);
        return;
    }
    source.SetSelectionAnchor(focused);
    if (!CtrlOnly(shift))
        source.SelectRows(focused, focused, true);
}

bool TkvGridKeyboardController::KeyDown(TkvGridKey key, TkvGridShiftState shift)
{
    // Esc while a header is pressed, dragged or sized drops that action and nothing else.
    if (key == TkvGridKey::Escape && FOwner.HeaderState() != TkvGridHeaderState::None) {
        FOwner.CancelHeaderAction();
        return true;
    }
    TkvUpdateLock lock(FGridView);
    const int top = FOwner.TopRowIndex();
    TkvGridRowSource &source = FGridView.DataController();
    const int focusedBefore = source.FocusedRowIndex();

    bool consumed = IncSearchKeyDown(key, shift);
    if (!consumed)
        consumed = NewItemRowKeyDown(key);
    // The focused row's keys: Enter and F2 open the cell editor (not for an Enter the editor
    // handed back), the others expand and collapse.
    if (!consumed)
        consumed = FOwner.EditingController().FocusedRowKeyDown(key, shift);
    if (!consumed)
        if (TkvCustomGridRecord *record = FOwner.FocusedRecord())
            consumed = record->KeyDown(key, shift);
    if (!consumed)
        consumed = RecordKeyDown(key, shift);
    bool movedRow = false;
    if (!consumed)
        consumed = MoveKeyDown(key, shift, movedRow);

    if (FGridView.OptionsSelection().MultiSelect() && FGridView.IsFocused()) {
        const bool selectionKey = key == TkvGridKey::Space || key == TkvGridKey::PageUp ||
                                  key == TkvGridKey::PageDown || key == TkvGridKey::Up ||
                                  key == TkvGridKey::Down ||
                                  ((key == TkvGridKey::Home || key == TkvGridKey::End) && movedRow);
        if (selectionKey || source.FocusedRowIndex() != focusedBefore) {
            SelectByKey(key, shift);
            if (key == TkvGridKey::Space && CtrlOnly(shift))
                consumed = true;
        }
    }
    if (top != FOwner.TopRowIndex() && FGridView.OnScrollBarsChanged)
        FGridView.OnScrollBarsChanged();
    return consumed;
}

} // namespace kestrum
