#include "grid/GridTableController.h"

#include "grid/GridEditingController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"
#include "ui/MessageBox.h"

#include <algorithm>
#include <utility>

namespace kestrum {

TkvUpdateLock::TkvUpdateLock(TkvCustomGridView &view) : FView(view)
{
    FView.BeginUpdate();
}

TkvUpdateLock::~TkvUpdateLock()
{
    FView.EndUpdate();
}

TkvGridTableController::TkvGridTableController(TkvGridTableView *view)
    : FGridView(view), FEditingController(std::make_unique<TkvGridEditingController>(view)),
      FScroll(std::make_unique<TkvGridScrollController>(*view, *FEditingController)),
      FHeader(std::make_unique<TkvGridHeaderController>(*view, *this)),
      FFilter(std::make_unique<TkvGridFilterController>(*view, *FHeader)),
      FKeyboard(std::make_unique<TkvGridKeyboardController>(*view, *this))
{
}

TkvGridTableController::~TkvGridTableController()
{
    // The windows go first: they may still call back while they close.
    FHeader->DestroyCustomizationForm();
    FFilter.reset();
}

void TkvGridTableController::SetWindowFactory(TkvGridWindowFactory factory)
{
    FHeader->SetWindowFactory(factory);
    FFilter->SetWindowFactory(std::move(factory));
}

void TkvGridTableController::SetFocusedItem(TkvCustomGridTableItem *item)
{
    if (item && !item->CanFocus())
        return;
    if (item == FFocusedItem) {
        MakeFocusedRowVisible();
        return;
    }
    // An editor open on the old cell writes its value first.
    if (FEditingController->IsEditing() && FEditingController->EditingItem() != item)
        FEditingController->CloseCellEditor(true);
    TkvCustomGridTableItem *previous = FFocusedItem;
    FFocusedItem = item;
    // Typing searched in the old column.
    FGridView->DataController().CancelIncSearch();
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
            const int left = header->Bounds.left() - area.left() + LeftPos();
            const int right = left + header->Bounds.width();
            const int areaWidth = area.width();
            if (right - LeftPos() > areaWidth)
                SetLeftPos(right - areaWidth);
            if (left < LeftPos())
                SetLeftPos(left);
        }
    }
    const int focusedRowIndex = FocusedRowIndex();
    if (focusedRowIndex >= 0)
        FGridView->RecordChanged(focusedRowIndex);
    if (FGridView->OnAccessChange)
        FGridView->OnAccessChange(TkvGridAccessChange::Focus);
    if (FGridView->OnFocusedItemChanged)
        FGridView->OnFocusedItemChanged(FGridView, previous, item);
    FEditingController->ShowEditorAlways();
}

void TkvGridTableController::ItemRemoved(TkvCustomGridTableItem *item)
{
    FEditingController->ItemRemoving(item);
    if (FFocusedItem == item)
        FFocusedItem = nullptr;
    // A drop-down open for the column closes with it, and a drag or sizing of it ends.
    FFilter->ItemRemoved(item);
    FHeader->ItemRemoved(item);
}

int TkvGridTableController::FocusedRowIndex() const
{
    return FGridView->DataController().FocusedRowIndex();
}

bool TkvGridTableController::SetFocusedRowIndex(int rowIndex)
{
    TkvGridRowSource &source = FGridView->DataController();
    // The cell's value goes to its record before the focus leaves it; a text
    // the editor refuses keeps the focus (and the editor) where they are.
    if (rowIndex != source.FocusedRowIndex() && !PostCellValue())
        return false;
    return source.ChangeFocusedRowIndex(rowIndex);
}

void TkvGridTableController::MakeFocusedRowVisible()
{
    MakeRowVisible(FocusedRowIndex());
}

bool TkvGridTableController::IsNewItemRowFocused() const
{
    return FGridView->OptionsView().NewItemRow() && FGridView->DataController().NewItemRowFocused();
}

TkvCustomGridRecord *TkvGridTableController::FocusedRecord() const
{
    TkvGridViewData &viewData = FGridView->ViewData();
    return IsNewItemRowFocused() ? viewData.NewItemRecord() : viewData.Records(FocusedRowIndex());
}

void TkvGridTableController::MouseDown(TkvGridMouseButton button, const QPoint &point,
                                       TkvGridShiftState shift, bool doubleClick)
{
    TkvUpdateLock lock(*FGridView);
    FDoubleClick = doubleClick;
    // Any press stops a delayed activation of the editor; a press on a data cell tells
    // below whether that cell had the focus.
    FEditingController->CellMouseDown(nullptr, false);
    // A second button going down ends a header action without effect.
    if (FHeader->State() != TkvGridHeaderState::None)
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
        // A cell that shows edit buttons opens its editor on the press already (a second
        // click on the button then finds it open); others wait for the release.
        bool editOnPress = false;
        if (hit.Kind == TkvGridHitKind::Cell) {
            FPressedCellColumn = hit.Column;
            FPressedCellWasFocused = hit.RowIndex == FocusedRowIndex() && hit.Column == FFocusedItem;
            FEditingController->CellMouseDown(hit.Column, FPressedCellWasFocused);
            editOnPress = hit.Column && hit.Column->ShowEditButtons(hit.RowIndex == FocusedRowIndex()) &&
                          (FGridView->OptionsBehavior().ImmediateEditor() || FPressedCellWasFocused);
        }
        // Focusing may post the edited record: the rows are rebuilt (every row object goes) and,
        // sorted or grouped, the pressed record may now stand on another row. The source finds
        // it again, so the rest of the press works on the focused row, fetched anew.
        if (!SetFocusedRowIndex(hit.RowIndex))
            break;
        const int rowIndex = FocusedRowIndex();
        TkvCustomGridRecord *record = FGridView->ViewData().Records(rowIndex);
        if (!record)
            break;
        if (doubleClick && record->Expandable())
            record->SetExpanded(!record->Expanded());
        else if (hit.Kind == TkvGridHitKind::Cell && hit.Column && record->HasCells() &&
                 !FEditingController->IsErrorOnExit()) {
            SetFocusedItem(hit.Column);
            if (editOnPress && button == TkvGridMouseButton::Left && !shift.Shift && !shift.Ctrl &&
                FFocusedItem == hit.Column)
                FEditingController->ShowEditByMouse(hit.Column, shift, point, true);
        }
        if (FGridView->OptionsSelection().MultiSelect() && FocusedRowIndex() == rowIndex)
            SelectOnPress(rowIndex, shift);
        if (button == TkvGridMouseButton::Left && FGridView->OptionsBehavior().PullFocusing()) {
            FPullFocusing = true;
            FPullScrollDirection = 0;
        }
        break;
    }
    case TkvGridHitKind::NewItemRow:
        if (button == TkvGridMouseButton::Middle)
            break;
        FPressedCellColumn = hit.Column;
        FPressedCellWasFocused = IsNewItemRowFocused() && hit.Column && hit.Column == FFocusedItem;
        FEditingController->CellMouseDown(hit.Column, FPressedCellWasFocused);
        // Focusing it ends an entry being edited on another row, as any row change does.
        if (!FGridView->DataController().SetNewItemRowFocused(true))
            break;
        if (hit.Column && !FEditingController->IsErrorOnExit())
            SetFocusedItem(hit.Column);
        break;
    case TkvGridHitKind::Header:
        if (button == TkvGridMouseButton::Left && !doubleClick)
            FHeader->HeaderMouseDown(hit.Column, TkvGridHeaderContainer::HeaderRow, point);
        break;
    case TkvGridHitKind::GroupByBoxHeader:
        if (button == TkvGridMouseButton::Left && !doubleClick)
            FHeader->HeaderMouseDown(hit.Column, TkvGridHeaderContainer::GroupByBox, point);
        break;
    case TkvGridHitKind::HeaderSizingEdge:
        if (button == TkvGridMouseButton::Left)
            FHeader->SizingMouseDown(hit.Column, point, doubleClick);
        break;
    case TkvGridHitKind::HeaderFilterButton:
        if (button == TkvGridMouseButton::Left)
            FFilter->FilterButtonMouseDown(hit.Column, point);
        break;
    case TkvGridHitKind::FilterBoxCloseButton:
    case TkvGridHitKind::FilterBoxActivateButton:
    case TkvGridHitKind::FilterBoxCustomizeButton:
        if (button == TkvGridMouseButton::Left)
            FFilter->FilterBoxMouseDown(hit.Kind);
        break;
    default:
        break;
    }
}

void TkvGridTableController::SelectOnPress(int rowIndex, TkvGridShiftState shift)
{
    TkvGridRowSource &source = FGridView->DataController();
    const bool selected = source.IsRowSelected(rowIndex);
    FDeferredSelectRow = -1;
    if (shift.Shift) {
        int anchor = source.SelectionAnchor();
        if (anchor < 0) {
            anchor = rowIndex;
            source.SetSelectionAnchor(anchor);
        }
        source.SelectRows(anchor, rowIndex, !shift.Ctrl);
        return;
    }
    source.SetSelectionAnchor(rowIndex);
    // A selected row keeps its selection until the release, so that the press may still
    // start dragging the selected rows.
    if (selected) {
        FDeferredSelectRow = rowIndex;
        FDeferredDeselect = shift.Ctrl;
    } else if (shift.Ctrl) {
        source.ChangeRowSelection(rowIndex, true);
    } else {
        source.SelectRows(rowIndex, rowIndex, true);
    }
}

bool TkvGridTableController::IsCellEditorOpen() const
{
    return FEditingController->IsEditing();
}

bool TkvGridTableController::PostCellValue()
{
    return FEditingController->PostCellValue();
}

void TkvGridTableController::ShowCellEditor()
{
    FEditingController->ShowEditAndActivate(FFocusedItem);
}

void TkvGridTableController::ShowEditorOnMouseUp(TkvGridColumn *column, const QPoint &point,
                                                 TkvGridShiftState shift)
{
    FEditingController->CellMouseUp(column, point, shift, FDoubleClick);
}

void TkvGridTableController::MouseUp(TkvGridMouseButton button, const QPoint &point, TkvGridShiftState shift)
{
    // The new-item row's cells have no click event: their release goes straight to the editor.
    if (button == TkvGridMouseButton::Left && FHeader->State() == TkvGridHeaderState::None) {
        const TkvGridHitTest hit = FGridView->ViewInfo().HitTest(point);
        if (hit.Kind == TkvGridHitKind::NewItemRow && hit.Column && IsNewItemRowFocused())
            FEditingController->CellMouseUp(hit.Column, point, shift, FDoubleClick);
    }
    if (button == TkvGridMouseButton::Left && FHeader->State() != TkvGridHeaderState::None &&
        FHeader->State() != TkvGridHeaderState::DropDown)
        FHeader->MouseUp(point, shift);
    if (button == TkvGridMouseButton::Left && FFilter->PressedFilterBoxButton() != TkvGridHitKind::None)
        FFilter->FilterBoxMouseUp(point);
    FGridView->SetPressedColumn(nullptr);
    TkvUpdateLock lock(*FGridView);
    FPullFocusing = false;
    FPullScrollDirection = 0;
    const TkvGridHitTest hit = FGridView->ViewInfo().HitTest(point);
    FPressedCellColumn = nullptr;
    const int deferredRow = std::exchange(FDeferredSelectRow, -1);
    if (hit.Kind == TkvGridHitKind::Cell && hit.Column) {
        bool handled = false;
        if (FGridView->OnCellClick) {
            const TkvGridRowViewInfo *row = FGridView->ViewInfo().FindRow(hit.RowIndex);
            const auto &cells = row ? FGridView->ViewInfo().Cells(*row) : std::vector<TkvGridCellViewInfo>{};
            if (hit.VisibleColumnIndex >= 0 && hit.VisibleColumnIndex < int(cells.size()))
                FGridView->OnCellClick(FGridView, cells[std::size_t(hit.VisibleColumnIndex)], button, shift,
                                       handled);
        }
        // The handler may keep the editor shut: it runs before the editor opens.
        if (!handled && button == TkvGridMouseButton::Left && !shift.Shift && !shift.Ctrl &&
            hit.RowIndex == FocusedRowIndex() && hit.Column == FFocusedItem && !IsCellEditorOpen())
            ShowEditorOnMouseUp(hit.Column, point, shift);
    }
    if (FGridView->OptionsSelection().MultiSelect() && button == TkvGridMouseButton::Left &&
        deferredRow >= 0 && hit.RowIndex == deferredRow &&
        deferredRow < FGridView->DataController().RowCount()) {
        if (FDeferredDeselect)
            FGridView->DataController().ChangeRowSelection(deferredRow, false);
        else
            FGridView->DataController().SelectRows(deferredRow, deferredRow, true);
    }
}

void TkvGridTableController::PullFocusingMove(const QPoint &point)
{
    if (!FPullFocusing)
        return;
    TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    const TkvGridHitTest hit = viewInfo.HitTest(point);
    const QRect area = viewInfo.RowsAreaBounds();
    FPullScrollDirection = 0;
    if (hit.RowIndex >= 0) {
        SetFocusedRowIndex(hit.RowIndex);
        if (FGridView->OnScrollBarsChanged)
            FGridView->OnScrollBarsChanged();
    } else if (point.y() < area.top()) {
        FPullScrollDirection = -1;
    } else if (point.y() > area.bottom()) {
        FPullScrollDirection = 1;
    }
}

void TkvGridTableController::PullScrollStep()
{
    if (!FPullFocusing || FPullScrollDirection == 0)
        return;
    TkvUpdateLock lock(*FGridView);
    SetTopRowIndex(TopRowIndex() + FPullScrollDirection);
    const int rowIndex =
        FPullScrollDirection < 0 ? TopRowIndex() : FGridView->ViewInfo().LastFullyVisibleRowIndex();
    if (rowIndex >= 0)
        SetFocusedRowIndex(rowIndex);
}

bool TkvGridTableController::CanAppend() const
{
    const TkvGridRowSource &source = FGridView->DataController();
    // A shown new-item row is the way to add records.
    return source.CanAppend() && !source.IsInserting() && !FGridView->OptionsView().NewItemRow();
}

bool TkvGridTableController::CanInsert(bool checkOption) const
{
    return FGridView->DataController().CanInsert() && (!checkOption || FGridView->OptionsData().Inserting());
}

bool TkvGridTableController::CanDelete(bool checkOption) const
{
    const TkvGridRowSource &source = FGridView->DataController();
    if (FGridView->OptionsView().NewItemRow() && source.NewItemRowFocused())
        return false;
    return source.CanDelete() && (!checkOption || FGridView->OptionsData().Deleting());
}

// ---------------------------------------------------------------------------
// Record operations

void TkvGridTableController::CreateNewRecord(bool append)
{
    TkvUpdateLock lock(*FGridView);
    TkvGridRowSource &source = FGridView->DataController();
    const bool editorWasOpen = IsCellEditorOpen();
    if (append && CanAppend())
        source.Append();
    else if (!append && CanInsert(false))
        source.Insert();
    else
        return;
    if (source.IsInserting() && FGridView->OptionsBehavior().FocusFirstCellOnNewRecord()) {
        FKeyboard->FocusFirstOrLastCell(true);
        if (editorWasOpen)
            ShowCellEditor();
    }
}

bool TkvGridTableController::DeleteWithConfirmation()
{
    if (!CanDelete(false))
        return false;
    TkvGridRowSource &source = FGridView->DataController();
    const int selected = source.SelectedRowCount();
    const bool several = FGridView->OptionsSelection().MultiSelect() && selected > 0 &&
                         (selected > 1 || !source.IsRowSelected(source.FocusedRowIndex()));
    if (FGridView->OptionsData().DeletingConfirmation()) {
        TMessageBoxRequest request;
        request.Text = several ? QString::fromUtf8("删除所有选择纪录?") : QString::fromUtf8("删除纪录?");
        request.Caption = QString::fromUtf8("确定");
        request.Icon = miQuestion;
        request.Buttons = {QString::fromUtf8("确定"), QString::fromUtf8("取消")};
        if (ShowMessageBox(FDialogParent, request) != 0)
            return false;
    }
    TkvUpdateLock lock(*FGridView);
    if (several)
        source.DeleteSelection();
    else
        source.DeleteFocused();
    return true;
}

void TkvGridTableController::FocusExit()
{
    TkvUpdateLock lock(*FGridView);
    TkvGridRowSource &source = FGridView->DataController();
    if (FGridView->OptionsData().CancelOnExit() && source.IsInserting() && !source.IsModified())
        source.Cancel();
    else if (source.IsEditing())
        source.UpdateData();
    if (FGridView->OptionsSelection().MultiSelect() &&
        FGridView->OptionsSelection().UnselectFocusedRecordOnExit()) {
        const int focused = source.FocusedRowIndex();
        if (focused >= 0 && source.SelectedRowCount() == 1 && source.IsRowSelected(focused))
            source.ChangeRowSelection(focused, false);
    }
}

} // namespace kestrum
