#pragma once
// The table view's controller: turns keys, mouse presses, the wheel and the
// scroll bars into focus moves, group expansion and scrolling. Keys arrive
// as platform-independent actions, so tests call KeyDown directly.
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

//! What the left button is doing to the header since it went down.
enum class TkvGridHeaderState : std::uint8_t {
    None,     //!< no header action
    Pressed,  //!< down on a header, still inside the drag-detection rectangle
    Dragging, //!< a header is being dragged
    Sizing,   //!< a sizing edge is being dragged
    DropDown, //!< a filter button's drop-down is open
};

//! Where a dragged header comes from or would go.
enum class TkvGridHeaderContainer : std::uint8_t { None, HeaderRow, GroupByBox, Customization };

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
    int TopRowIndex() const { return FTopRowIndex; }
    void SetTopRowIndex(int rowIndex);
    int LeftPos() const { return FLeftPos; }
    void SetLeftPos(int leftPos);
    //! Brings the focused row into the rows area (scrolling as little as possible).
    void MakeFocusedRowVisible();
    void MakeRowVisible(int rowIndex);
    //! Keeps the top row valid after the rows changed.
    void CheckTopRowIndex();

    // Input.
    bool KeyDown(TkvGridKey key, TkvGridShiftState shift);
    //! A typed character (Backspace is 8) whose key the controller left alone; true when consumed.
    bool KeyPress(QChar character);
    bool IsControllerKey(TkvGridKey key) const;
    //! The grid site lost the keyboard focus (after the view's own exit handling).
    void FocusExit();
    void MouseDown(TkvGridMouseButton button, const QPoint &point, TkvGridShiftState shift, bool doubleClick);
    void MouseUp(TkvGridMouseButton button, const QPoint &point, TkvGridShiftState shift);
    //! One wheel message: positive steps scroll up, negative down, lines rows per step.
    void MouseWheel(int steps, int linesPerStep = 3);
    //! One wheel message as the platform delivers it, in eighths of a degree (120 a notch) per
    //! axis: the view's OnMouseWheel handler may take it; otherwise whole notches scroll and the
    //! rest of a fine (touchpad) delta is kept for the next message. True when taken or scrolled.
    bool MouseWheelDelta(const QPoint &angleDelta, const QPoint &point, TkvGridShiftState shift,
                         int linesPerStep = 3);
    //! Whether the vertical, and the horizontal, scroll bar is shown for the current layout.
    bool VerticalScrollBarShown() const;
    bool HorizontalScrollBarShown() const;
    void Scroll(bool vertical, TkvGridScrollCode code, int position = 0);

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
    TkvCustomGridTableItem *IncSearchItem() const;

    //! The next character is dropped (set after Ctrl+Space toggled a selection).
    bool SuppressNextCharacter() const { return FSuppressNextCharacter; }

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
    bool FocusNextRow(int fromRowIndex, bool forward);
    bool FocusNextCell(bool forward, bool keepRow);
    void GoToFirst();
    void GoToLast();
    void PageUp();
    void PageDown();

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
    void MouseMove(const QPoint &point, TkvGridShiftState shift);
    //! The view lost the mouse (capture taken, Esc): the header action ends without effect.
    void CancelHeaderAction();
    TkvGridHeaderState HeaderState() const { return FHeaderState; }
    //! Half the side of the drag-detection rectangle around the press point.
    int DragThreshold() const { return FDragThreshold; }
    void SetDragThreshold(int pixels) { FDragThreshold = pixels < 0 ? 0 : pixels; }
    //! Sorts by a column as a click on its header does (modifiers as there).
    void HeaderClickSort(TkvGridColumn *column, TkvGridShiftState shift);
    //! The customization form is open: dragging a header off the grid may hide it.
    bool IsCustomizing() const { return FCustomizing; }
    //! Opens or closes the customization form; closing fires the view's OnCustomization.
    void SetCustomizing(bool value);
    //! The form in view coordinates: 180 by 300 at the view's bottom-right corner unless placed before.
    QRect CustomizationFormBounds() const;
    void SetCustomizationFormBounds(const QRect &bounds);
    //! The columns the form lists: the hidden ones, in index order.
    std::vector<TkvGridColumn *> CustomizationColumns() const;
    //! The left button went down on a column listed in the form (point in view coordinates).
    void CustomizationMouseDown(TkvGridColumn *column, const QPoint &point);

    // Filtering: the column drop-down, the filter box buttons and the dialogs they open.
    //! Opens the filter drop-down of a column below its header cell in the container.
    bool DropDownFilter(TkvGridColumn *column,
                        TkvGridHeaderContainer container = TkvGridHeaderContainer::HeaderRow);
    //! The drop-down logic: made on first use and kept for the life of the view; nullptr before.
    TkvGridFilterDropDown *FilterDropDown() const { return FFilterDropDown.get(); }
    //! The column whose filter button is down (its drop-down is open), and where that button is.
    TkvGridColumn *FilterDropDownColumn() const;
    TkvGridHeaderContainer FilterDropDownContainer() const { return FFilterDropDownContainer; }
    //! The filter box button under a press not yet released, or None.
    TkvGridHitKind PressedFilterBoxButton() const { return FPressedFilterBoxButton; }
    //! What a click on a filter box button does: clear, switch Active, open the filter builder.
    void FilterBoxButtonClick(TkvGridHitKind button);
    TkvGridFilterDialogs &FilterDialogs() { return FFilterDialogs; }
    //! Makes the drop-down popup and the customization form; set by the site.
    void SetWindowFactory(TkvGridWindowFactory factory);

    // The header drag in progress.
    TkvGridColumn *DragColumn() const { return FDragColumn; }
    TkvGridHeaderContainer DragSource() const { return FDragSource; }
    TkvGridHeaderContainer DragDestination() const { return FDragDestination; }
    //! The gap before the n-th header of the destination (the header count: after the last).
    int DragZone() const { return FDragZone; }
    bool IsDropAllowed() const { return FDropAllowed; }
    //! Where the drop marker is drawn; empty when the drop is refused.
    QRect DropMarkerBounds() const;
    //! The dragged header as it follows the pointer; nullptr while no drag runs.
    const TkvGridHeaderCellViewInfo *DragImage() const;
    //! -1 or 1 while the pointer rests near an end of the scrollable area, else 0.
    int DragScrollDirection() const { return FDragScrollDirection; }
    //! One step of the auto-scroll (the site's timer calls it every 35 ms).
    void DragScrollStep();
    static constexpr int DragScrollEdge = 15;
    static constexpr int DragScrollDelta = 10;
    static constexpr int DragScrollInterval = 35;

    // Sizing in progress.
    TkvGridColumn *SizingColumn() const { return FSizingColumn; }
    //! The header width the release would give (press width plus the distance moved, kept in limits).
    int SizingWidth() const { return FSizingWidth; }
    //! The x of the sizing line (the header's new right edge).
    int SizingLinePos() const;

private:
    void HeaderMouseDown(TkvGridColumn *column, TkvGridHeaderContainer source, const QPoint &point,
                         TkvGridShiftState shift);
    void SizingMouseDown(TkvGridColumn *column, const QPoint &point, bool doubleClick);
    void HeaderMouseUp(const QPoint &point, TkvGridShiftState shift);
    bool InsideDragRect(const QPoint &point) const;
    void BeginHeaderDrag();
    void UpdateDragTarget(const QPoint &point);
    bool CalculateDropAllowed() const;
    void Drop();
    void EndSizing(bool apply);
    int SizingMinWidth() const;
    int SizingMaxWidth() const;
    int HeaderCellIndent(const TkvGridColumn *column) const;
    void ResetHeaderState();
    void FilterButtonMouseDown(TkvGridColumn *column, const QPoint &point);
    void FilterBoxMouseDown(TkvGridHitKind button);
    void FilterBoxMouseUp(const QPoint &point);
    void FilterDropDownClosed();

    int NextFocusableRow(int fromRowIndex, bool forward) const;
    bool FocusedRowHasCells() const;
    void FocusFirstOrLastCell(bool first);
    void ScrollHorizontally(int delta);

    // Key stages; each returns true when it consumed the key.
    bool IncSearchKeyDown(TkvGridKey key, TkvGridShiftState shift);
    bool NewItemRowKeyDown(TkvGridKey key);
    bool RecordKeyDown(TkvGridKey key, TkvGridShiftState shift);
    bool MoveKeyDown(TkvGridKey key, TkvGridShiftState shift, bool &movedRow);
    void SelectByKey(TkvGridKey key, TkvGridShiftState shift);
    bool FocusNewItemRowFromAbove();
    bool FocusTopRowFromNewItemRow();
    void SelectOnPress(int rowIndex, TkvGridShiftState shift);

    TkvGridTableView *FGridView;
    std::unique_ptr<TkvGridEditingController> FEditingController;
    TkvCustomGridTableItem *FFocusedItem = nullptr;
    int FTopRowIndex = 0;
    int FLeftPos = 0;
    bool FDoubleClick = false;
    bool FSuppressNextCharacter = false;
    bool FPullFocusing = false;
    int FPullScrollDirection = 0;
    QWidget *FDialogParent = nullptr;
    // The press on a data cell, for its release.
    TkvGridColumn *FPressedCellColumn = nullptr;
    bool FPressedCellWasFocused = false;
    //! A selection change a press left to its release: the row, and whether Ctrl deselects it.
    int FDeferredSelectRow = -1;
    bool FDeferredDeselect = false;
    // Wheel deltas short of a notch, per axis, carried to the next wheel message.
    int FWheelRestX = 0;
    int FWheelRestY = 0;

    TkvGridHeaderState FHeaderState = TkvGridHeaderState::None;
    QPoint FPressPoint;
    int FDragThreshold = 4;
    bool FCustomizing = false;
    TkvGridColumn *FDragColumn = nullptr;
    TkvGridHeaderContainer FDragSource = TkvGridHeaderContainer::None;
    TkvGridHeaderContainer FDragDestination = TkvGridHeaderContainer::None;
    int FDragZone = -1;
    bool FDropAllowed = false;
    int FDragScrollDirection = 0;
    TkvGridHeaderCellViewInfo FDragImage; //!< the header as it was when the drag began
    QPoint FDragPoint;
    TkvGridColumn *FSizingColumn = nullptr;
    int FSizingStartWidth = 0;
    int FSizingWidth = 0;
    int FSizingCellLeft = 0;

    TkvGridFilterDialogs FFilterDialogs;
    TkvGridWindowFactory FWindowFactory;
    std::unique_ptr<TkvGridFilterDropDown> FFilterDropDown;
    TkvGridHeaderContainer FFilterDropDownContainer = TkvGridHeaderContainer::None;
    TkvGridHitKind FPressedFilterBoxButton = TkvGridHitKind::None;
    std::unique_ptr<TkvGridWindow> FCustomizationForm;
    QRect FCustomizationFormBounds; //!< where the form was last placed; empty until it was
};

} // namespace kestrum
