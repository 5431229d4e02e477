#pragma once
// The table view's controller: owns the focus and the scroll position and
// turns mouse presses, the wheel and the scroll bars into focus moves, group
// expansion and scrolling. The keyboard, the header and the filter
// interactions and the cell editor are collaborators it hands their input
// to; their entry points stay here for the view's callers. Keys arrive as
// platform-independent actions, so tests call KeyDown directly.
#include "grid/GridFilterController.h"
#include "grid/GridHeaderController.h"
#include "grid/GridKeyboardController.h"
#include "grid/GridScrollController.h"
#include "grid/GridTableViewInfo.h"
#include "grid/GridViewData.h"
#include "grid/GridWindows.h"

#include <QChar>
#include <QPoint>
#include <QRect>

#include <memory>
#include <vector>
class QWidget;

namespace kestrum {

class TkvCustomGridView;
class TkvGridTableView;
class TkvCustomGridTableItem;
class TkvGridColumn;
class TkvGridFilterDropDown;
class TkvGridEditingController;

//! Holds the view's updates for one input step, so its changes reach the screen once.
class TkvUpdateLock {
public:
    explicit TkvUpdateLock(TkvCustomGridView &view);
    ~TkvUpdateLock();
    TkvUpdateLock(const TkvUpdateLock &) = delete;
    TkvUpdateLock &operator=(const TkvUpdateLock &) = delete;

private:
    TkvCustomGridView &FView;
};

enum class TkvGridMouseButton : std::uint8_t { Left, Right, Middle };

//! The scroll bar actions.
enum class TkvGridScrollCode : std::uint8_t { LineUp, LineDown, PageUp, PageDown, Track, Top, Bottom };

class TkvGridTableController {
public:
    explicit TkvGridTableController(TkvGridTableView *view);
    virtual ~TkvGridTableController();
    TkvGridTableController(const TkvGridTableController &) = delete;
    TkvGridTableController &operator=(const TkvGridTableController &) = delete;

    TkvGridTableView &GridView() const { return *FGridView; }
    //! The in-place editing of the view's cells.
    TkvGridEditingController &EditingController() const { return *FEditingController; }
    TkvGridHeaderController &HeaderController() const { return *FHeader; }
    TkvGridFilterController &FilterController() const { return *FFilter; }
    TkvGridKeyboardController &KeyboardController() const { return *FKeyboard; }

    // Focus.
    TkvCustomGridTableItem *FocusedItem() const { return FFocusedItem; }
    void SetFocusedItem(TkvCustomGridTableItem *item);
    int FocusedRowIndex() const;
    bool SetFocusedRowIndex(int rowIndex);
    //! The focused row object: the new-item row while it has the focus; nullptr when none.
    TkvCustomGridRecord *FocusedRecord() const;
    //! Whether the new-item row is shown and has the focus.
    bool IsNewItemRowFocused() const;
    //! Forgets an item that leaves the view.
    void ItemRemoved(TkvCustomGridTableItem *item);

    // Scrolling.
    TkvGridScrollController &ScrollController() const { return *FScroll; }
    int TopRowIndex() const { return FScroll->TopRowIndex(); }
    void SetTopRowIndex(int rowIndex) { FScroll->SetTopRowIndex(rowIndex); }
    int LeftPos() const { return FScroll->LeftPos(); }
    void SetLeftPos(int leftPos) { FScroll->SetLeftPos(leftPos); }
    //! Brings the focused row into the rows area (scrolling as little as possible).
    void MakeFocusedRowVisible();
    void MakeRowVisible(int rowIndex) { FScroll->MakeRowVisible(rowIndex); }
    //! Keeps the top row valid after the rows changed.
    void CheckTopRowIndex() { FScroll->CheckTopRowIndex(); }

    // Input.
    bool KeyDown(TkvGridKey key, TkvGridShiftState shift) { return FKeyboard->KeyDown(key, shift); }
    //! A typed character (Backspace is 8) whose key the controller left alone; true when consumed.
    bool KeyPress(QChar character) { return FKeyboard->KeyPress(character); }
    bool IsControllerKey(TkvGridKey key) const { return FKeyboard->IsControllerKey(key); }
    //! The grid site lost the keyboard focus (after the view's own exit handling).
    void FocusExit();
    void MouseDown(TkvGridMouseButton button, const QPoint &point, TkvGridShiftState shift, bool doubleClick);
    void MouseUp(TkvGridMouseButton button, const QPoint &point, TkvGridShiftState shift);
    //! One wheel message: positive steps scroll up, negative down, lines rows per step.
    void MouseWheel(int steps, int linesPerStep = 3) { FScroll->MouseWheel(steps, linesPerStep); }
    //! One wheel message as the platform delivers it, in eighths of a degree (120 a notch) per
    //! axis: the view's OnMouseWheel handler may take it; otherwise whole notches scroll and the
    //! rest of a fine (touchpad) delta is kept for the next message. True when taken or scrolled.
    bool MouseWheelDelta(const QPoint &angleDelta, const QPoint &point, TkvGridShiftState shift,
                         int linesPerStep = 3)
    {
        return FScroll->MouseWheelDelta(angleDelta, point, shift, linesPerStep);
    }
    //! Whether the vertical, and the horizontal, scroll bar is shown for the current layout.
    bool VerticalScrollBarShown() const { return FScroll->VerticalScrollBarShown(); }
    bool HorizontalScrollBarShown() const { return FScroll->HorizontalScrollBarShown(); }
    void Scroll(bool vertical, TkvGridScrollCode code, int position = 0)
    {
        FScroll->Scroll(vertical, code, position);
    }

    // Record operations.
    bool CanAppend() const;
    bool CanInsert(bool checkOption) const;
    bool CanDelete(bool checkOption) const;
    void CreateNewRecord(bool append);
    //! Deletes the focused record, or the selected ones, after asking when the options say so;
    //! false when nothing could be deleted or the user said no.
    bool DeleteWithConfirmation();
    //! The window confirmation boxes belong to (the site).
    void SetDialogParent(QWidget *parent) { FDialogParent = parent; }

    // Incremental search.
    //! The item typing searches in: the focused item under cell focusing, else the view's
    //! IncSearchItem, else the first visible item.
    TkvCustomGridTableItem *IncSearchItem() const { return FKeyboard->IncSearchItem(); }

    //! The next character is dropped (set after Ctrl+Space toggled a selection).
    bool SuppressNextCharacter() const { return FKeyboard->SuppressNextCharacter(); }

    // Cell editor call points, answered by the in-place editing controller.
    //! An in-place editor is open.
    virtual bool IsCellEditorOpen() const;
    //! The open editor writes its pending value into the record; a validation error raises,
    //! a refusal without a message answers false (a move that was to follow stops).
    virtual bool PostCellValue();
    //! Opens the editor on the focused cell (a new record keeps the editor open).
    virtual void ShowCellEditor();
    //! A left release without Shift or Ctrl on the focused data cell that OnCellClick left
    //! unhandled: opens the editor at once (ImmediateEditor) or starts the delayed activation.
    virtual void ShowEditorOnMouseUp(TkvGridColumn *column, const QPoint &point, TkvGridShiftState shift);

    // Moves.
    bool FocusNextRow(int fromRowIndex, bool forward)
    {
        return FKeyboard->FocusNextRow(fromRowIndex, forward);
    }
    bool FocusNextCell(bool forward, bool keepRow) { return FKeyboard->FocusNextCell(forward, keepRow); }
    void GoToFirst() { FKeyboard->GoToFirst(); }
    void GoToLast() { FKeyboard->GoToLast(); }
    void PageUp() { FKeyboard->PageUp(); }
    void PageDown() { FKeyboard->PageDown(); }

    bool IsDoubleClick() const { return FDoubleClick; }

    // Pull focusing: with OptionsBehavior.PullFocusing the focus follows the mouse while the
    // left button is held after a press on a row.
    bool IsPullFocusing() const { return FPullFocusing; }
    //! The held mouse moved: the row under it is focused; above or below the rows the view
    //! scrolls that way (PullScrollDirection, one PullScrollStep per timer tick).
    void PullFocusingMove(const QPoint &point);
    int PullScrollDirection() const { return FPullScrollDirection; }
    void PullScrollStep();

    // Header interactions: press, click to sort, drag to move or group, size.
    //! Moves with or without a button held (header drags and sizing follow them).
    void MouseMove(const QPoint &point, TkvGridShiftState) { FHeader->MouseMove(point); }
    //! The view lost the mouse (capture taken, Esc): the header action ends without effect.
    void CancelHeaderAction() { FHeader->Cancel(); }
    TkvGridHeaderState HeaderState() const { return FHeader->State(); }
    //! Half the side of the drag-detection rectangle around the press point.
    int DragThreshold() const { return FHeader->DragThreshold(); }
    void SetDragThreshold(int pixels) { FHeader->SetDragThreshold(pixels); }
    //! Sorts by a column as a click on its header does (modifiers as there).
    void HeaderClickSort(TkvGridColumn *column, TkvGridShiftState shift)
    {
        FHeader->ClickSort(column, shift);
    }
    //! The customization form is open: dragging a header off the grid may hide it.
    bool IsCustomizing() const { return FHeader->IsCustomizing(); }
    //! Opens or closes the customization form; closing fires the view's OnCustomization.
    void SetCustomizing(bool value) { FHeader->SetCustomizing(value); }
    //! The form in view coordinates: 180 by 300 at the view's bottom-right corner unless placed before.
    QRect CustomizationFormBounds() const { return FHeader->CustomizationFormBounds(); }
    void SetCustomizationFormBounds(const QRect &bounds) { FHeader->SetCustomizationFormBounds(bounds); }
    //! The columns the form lists: the hidden ones, in index order.
    std::vector<TkvGridColumn *> CustomizationColumns() const { return FHeader->CustomizationColumns(); }
    //! The left button went down on a column listed in the form (point in view coordinates).
    void CustomizationMouseDown(TkvGridColumn *column, const QPoint &point)
    {
        FHeader->CustomizationMouseDown(column, point);
    }

    // Filtering: the column drop-down, the filter box buttons and the dialogs they open.
    //! Opens the filter drop-down of a column below its header cell in the container.
    bool DropDownFilter(TkvGridColumn *column,
                        TkvGridHeaderContainer container = TkvGridHeaderContainer::HeaderRow)
    {
        return FFilter->DropDownFilter(column, container);
    }
    //! The drop-down logic: made on first use and kept for the life of the view; nullptr before.
    TkvGridFilterDropDown *FilterDropDown() const { return FFilter->FilterDropDown(); }
    //! The column whose filter button is down (its drop-down is open), and where that button is.
    TkvGridColumn *FilterDropDownColumn() const { return FFilter->FilterDropDownColumn(); }
    TkvGridHeaderContainer FilterDropDownContainer() const { return FFilter->FilterDropDownContainer(); }
    //! The filter box button under a press not yet released, or None.
    TkvGridHitKind PressedFilterBoxButton() const { return FFilter->PressedFilterBoxButton(); }
    //! What a click on a filter box button does: clear, switch Active, open the filter builder.
    void FilterBoxButtonClick(TkvGridHitKind button) { FFilter->FilterBoxButtonClick(button); }
    TkvGridFilterDialogs &FilterDialogs() { return FFilter->FilterDialogs(); }
    //! Makes the drop-down popup and the customization form; set by the site.
    void SetWindowFactory(TkvGridWindowFactory factory);

    // The header drag in progress.
    TkvGridColumn *DragColumn() const { return FHeader->DragColumn(); }
    TkvGridHeaderContainer DragSource() const { return FHeader->DragSource(); }
    TkvGridHeaderContainer DragDestination() const { return FHeader->DragDestination(); }
    //! The gap before the n-th header of the destination (the header count: after the last).
    int DragZone() const { return FHeader->DragZone(); }
    bool IsDropAllowed() const { return FHeader->IsDropAllowed(); }
    //! Where the drop marker is drawn; empty when the drop is refused.
    QRect DropMarkerBounds() const { return FHeader->DropMarkerBounds(); }
    //! The dragged header as it follows the pointer; nullptr while no drag runs.
    const TkvGridHeaderCellViewInfo *DragImage() const { return FHeader->DragImage(); }
    //! -1 or 1 while the pointer rests near an end of the scrollable area, else 0.
    int DragScrollDirection() const { return FHeader->DragScrollDirection(); }
    //! One step of the auto-scroll (the site's timer calls it every 35 ms).
    void DragScrollStep() { FHeader->DragScrollStep(); }
    static constexpr int DragScrollEdge = TkvGridHeaderController::DragScrollEdge;
    static constexpr int DragScrollDelta = TkvGridHeaderController::DragScrollDelta;
    static constexpr int DragScrollInterval = 35;

    // Sizing in progress.
    TkvGridColumn *SizingColumn() const { return FHeader->SizingColumn(); }
    //! The header width the release would give (press width plus the distance moved, kept in limits).
    int SizingWidth() const { return FHeader->SizingWidth(); }
    //! The x of the sizing line (the header's new right edge).
    int SizingLinePos() const { return FHeader->SizingLinePos(); }

private:
    void SelectOnPress(int rowIndex, TkvGridShiftState shift);

    TkvGridTableView *FGridView;
    std::unique_ptr<TkvGridEditingController> FEditingController;
    TkvCustomGridTableItem *FFocusedItem = nullptr;
    bool FDoubleClick = false;
    bool FPullFocusing = false;
    int FPullScrollDirection = 0;
    QWidget *FDialogParent = nullptr;
    // The press on a data cell, for its release.
    TkvGridColumn *FPressedCellColumn = nullptr;
    bool FPressedCellWasFocused = false;
    //! A selection change a press left to its release: the row, and whether Ctrl deselects it.
    int FDeferredSelectRow = -1;
    bool FDeferredDeselect = false;

    std::unique_ptr<TkvGridScrollController> FScroll;
    std::unique_ptr<TkvGridHeaderController> FHeader;
    std::unique_ptr<TkvGridFilterController> FFilter;
    std::unique_ptr<TkvGridKeyboardController> FKeyboard;
};

} // namespace kestrum
