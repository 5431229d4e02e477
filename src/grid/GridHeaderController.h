#pragma once
// The table view's header interactions: a press on a header, the click that
// sorts, the drag that moves, groups, ungroups or hides a column, the sizing
// edge, and the customization form that header drags use as a container.
// Each is one value of the header state, so a test plays press, move and
// release and reads the outcome without a display.
#include "grid/GridTableViewInfo.h"
#include "grid/GridViewData.h"
#include "grid/GridWindows.h"

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrum {

class TkvGridTableView;
class TkvGridTableController;
class TkvGridColumn;

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

class TkvGridHeaderController {
public:
    TkvGridHeaderController(TkvGridTableView &view, TkvGridTableController &owner);
    ~TkvGridHeaderController();
    TkvGridHeaderController(const TkvGridHeaderController &) = delete;
    TkvGridHeaderController &operator=(const TkvGridHeaderController &) = delete;

    TkvGridHeaderState State() const { return FState; }
    //! The filter drop-down opened (or failed to open, or closed by itself).
    void BeginDropDown() { FState = TkvGridHeaderState::DropDown; }
    void EndDropDown();

    // The left button on a header, a sizing edge or a column of the form.
    void HeaderMouseDown(TkvGridColumn *column, TkvGridHeaderContainer source, const QPoint &point);
    void SizingMouseDown(TkvGridColumn *column, const QPoint &point, bool doubleClick);
    void CustomizationMouseDown(TkvGridColumn *column, const QPoint &point);
    void MouseMove(const QPoint &point);
    void MouseUp(const QPoint &point, TkvGridShiftState shift);
    //! The header action ends without effect.
    void Cancel();
    //! The column leaves the view: a drag or sizing of it ends.
    void ItemRemoved(const TkvCustomGridTableItem *item);

    int DragThreshold() const { return FDragThreshold; }
    void SetDragThreshold(int pixels) { FDragThreshold = pixels < 0 ? 0 : pixels; }
    void ClickSort(TkvGridColumn *column, TkvGridShiftState shift);

    // The customization form.
    bool IsCustomizing() const { return FCustomizing; }
    void SetCustomizing(bool value);
    QRect CustomizationFormBounds() const;
    void SetCustomizationFormBounds(const QRect &bounds);
    std::vector<TkvGridColumn *> CustomizationColumns() const;
    void SetWindowFactory(TkvGridWindowFactory factory) { FWindowFactory = std::move(factory); }
    //! The form closes for good (its owner goes).
    void DestroyCustomizationForm() { FCustomizationForm.reset(); }

    // The drag in progress.
    TkvGridColumn *DragColumn() const { return FDragColumn; }
    TkvGridHeaderContainer DragSource() const { return FDragSource; }
    TkvGridHeaderContainer DragDestination() const { return FDragDestination; }
    int DragZone() const { return FDragZone; }
    bool IsDropAllowed() const { return FDropAllowed; }
    QRect DropMarkerBounds() const;
    const TkvGridHeaderCellViewInfo *DragImage() const;
    int DragScrollDirection() const { return FDragScrollDirection; }
    void DragScrollStep();
    static constexpr int DragScrollEdge = 15;
    static constexpr int DragScrollDelta = 10;

    // Sizing in progress.
    TkvGridColumn *SizingColumn() const { return FSizingColumn; }
    int SizingWidth() const { return FSizingWidth; }
    int SizingLinePos() const;

private:
    bool InsideDragRect(const QPoint &point) const;
    void BeginDrag();
    void UpdateDragTarget(const QPoint &point);
    bool CalculateDropAllowed() const;
    void Drop();
    void EndSizing(bool apply);
    int SizingMinWidth() const;
    int SizingMaxWidth() const;
    int HeaderCellIndent(const TkvGridColumn *column) const;
    void Reset();

    TkvGridTableView &FGridView;
    TkvGridTableController &FOwner;
    TkvGridHeaderState FState = TkvGridHeaderState::None;
    QPoint FPressPoint;
    int FDragThreshold = 4;
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

    bool FCustomizing = false;
    TkvGridWindowFactory FWindowFactory;
    std::unique_ptr<TkvGridWindow> FCustomizationForm;
    QRect FCustomizationFormBounds; //!< where the form was last placed; empty until it was
};

} // namespace kestrum
