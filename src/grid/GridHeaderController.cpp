#include "grid/GridHeaderController.h"

#include "grid/GridFilterController.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace kestrum {

namespace {

constexpr int CustomizationFormWidth = 180;
constexpr int CustomizationFormHeight = 300;

//! Opens a bracket of the data controller too, so that several changes of one
//! step rebuild the rows once.
class TkvSourceBatch {
public:
    explicit TkvSourceBatch(TkvGridRowSource &source) : FSource(source) { FSource.BeginBatch(); }
    ~TkvSourceBatch() noexcept(false) { FSource.EndBatch(); }
    TkvSourceBatch(const TkvSourceBatch &) = delete;
    TkvSourceBatch &operator=(const TkvSourceBatch &) = delete;

private:
    TkvGridRowSource &FSource;
};

//! The hourglass for the length of a scope, restored on every way out.
class TkvWaitCursor {
public:
    explicit TkvWaitCursor(TkvGridTableView &view) : FView(view)
    {
        if (FView.OnWaitCursor)
            FView.OnWaitCursor(true);
    }
    ~TkvWaitCursor()
    {
        if (FView.OnWaitCursor)
            FView.OnWaitCursor(false);
    }
    TkvWaitCursor(const TkvWaitCursor &) = delete;
    TkvWaitCursor &operator=(const TkvWaitCursor &) = delete;

private:
    TkvGridTableView &FView;
};

//! The zone a pointer at x falls in among headers laid out left to right: the
//! number of headers whose middle lies left of x.
int ZoneAt(const std::vector<TkvGridHeaderCellViewInfo> &headers, int x)
{
    int zone = 0;
    for (const TkvGridHeaderCellViewInfo &header : headers)
        if (header.Bounds.center().x() < x)
            ++zone;
    return zone;
}

} // namespace

TkvGridHeaderController::TkvGridHeaderController(TkvGridTableView &view, TkvGridTableController &owner)
    : FGridView(view), FOwner(owner)
{
}

TkvGridHeaderController::~TkvGridHeaderController()
{
    // The form goes while the state it may call back into is still whole.
    FCustomizationForm.reset();
}

void TkvGridHeaderController::EndDropDown()
{
    if (FState == TkvGridHeaderState::DropDown)
        FState = TkvGridHeaderState::None;
}

void TkvGridHeaderController::ItemRemoved(const TkvCustomGridTableItem *item)
{
    if (item && (item == static_cast<TkvCustomGridTableItem *>(FDragColumn) ||
                 item == static_cast<TkvCustomGridTableItem *>(FSizingColumn)))
        Reset();
}

// ---------------------------------------------------------------------------
// Press and release

void TkvGridHeaderController::HeaderMouseDown(TkvGridColumn *column, TkvGridHeaderContainer source,
                                              const QPoint &point)
{
    if (!column)
        return;
    FState = TkvGridHeaderState::Pressed;
    FPressPoint = point;
    FDragColumn = column;
    FDragSource = source;
    FGridView.SetPressedColumn(column);
    if (column->OnHeaderClick)
        column->OnHeaderClick(column);
    if (FGridView.OnColumnHeaderClick)
        FGridView.OnColumnHeaderClick(&FGridView, column);
}

bool TkvGridHeaderController::InsideDragRect(const QPoint &point) const
{
    return std::abs(point.x() - FPressPoint.x()) <= FDragThreshold &&
           std::abs(point.y() - FPressPoint.y()) <= FDragThreshold;
}

void TkvGridHeaderController::MouseUp(const QPoint &point, TkvGridShiftState shift)
{
    const TkvGridHeaderState state = FState;
    TkvGridColumn *column = FDragColumn;
    switch (state) {
    case TkvGridHeaderState::Pressed: {
        // A click on a column listed in the customization form sorts nothing.
        const bool click = InsideDragRect(point) && FDragSource != TkvGridHeaderContainer::Customization;
        Reset();
        if (click && column)
            ClickSort(column, shift);
        break;
    }
    case TkvGridHeaderState::Dragging:
        UpdateDragTarget(point);
        Drop();
        break;
    case TkvGridHeaderState::Sizing:
        EndSizing(true);
        break;
    default:
        Reset();
        break;
    }
}

void TkvGridHeaderController::MouseMove(const QPoint &point)
{
    switch (FState) {
    case TkvGridHeaderState::Pressed:
        if (!InsideDragRect(point))
            BeginDrag();
        if (FState == TkvGridHeaderState::Dragging)
            UpdateDragTarget(point);
        break;
    case TkvGridHeaderState::Dragging:
        UpdateDragTarget(point);
        break;
    case TkvGridHeaderState::Sizing: {
        const int width = std::clamp(FSizingStartWidth + point.x() - FPressPoint.x(), SizingMinWidth(),
                                     std::max(SizingMinWidth(), SizingMaxWidth()));
        if (width != FSizingWidth) {
            FSizingWidth = width;
            FGridView.Invalidate(FGridView.ViewInfo().Bounds());
        }
        break;
    }
    default:
        break;
    }
}

void TkvGridHeaderController::Cancel()
{
    if (FState == TkvGridHeaderState::None)
        return;
    Reset();
    FGridView.Invalidate();
}

void TkvGridHeaderController::Reset()
{
    if (FState == TkvGridHeaderState::DropDown) {
        FState = TkvGridHeaderState::None;
        FOwner.FilterController().DropDownReset();
        FGridView.LayoutChanged();
    }
    const bool painted = FState == TkvGridHeaderState::Dragging || FState == TkvGridHeaderState::Sizing;
    FState = TkvGridHeaderState::None;
    FDragColumn = nullptr;
    FDragSource = TkvGridHeaderContainer::None;
    FDragDestination = TkvGridHeaderContainer::None;
    FDragZone = -1;
    FDropAllowed = false;
    FDragScrollDirection = 0;
    FSizingColumn = nullptr;
    FDragImage = {};
    FGridView.SetPressedColumn(nullptr);
    if (painted)
        FGridView.Invalidate();
}

// ---------------------------------------------------------------------------
// Click to sort

void TkvGridHeaderController::ClickSort(TkvGridColumn *column, TkvGridShiftState shift)
{
    if (!column || !column->CanSort())
        return;
    {
        TkvWaitCursor wait(FGridView);
        TkvUpdateLock lock(FGridView);
        TkvGridRowSource &source = FGridView.DataController();
        TkvSourceBatch batch(source);
        if (shift.Ctrl) {
            column->SetSortOrder(TkvGridSortMark::None);
        } else {
            const TkvGridSortMark old = column->SortOrder();
            // Grouped columns keep their direction when another column takes the sort.
            if (!shift.Shift && column->GroupIndex() < 0)
                source.ResetSorting(true);
            column->SetSortOrder(old == TkvGridSortMark::Ascending ? TkvGridSortMark::Descending
                                                                   : TkvGridSortMark::Ascending);
        }
    }
    FOwner.MakeFocusedRowVisible();
}

// ---------------------------------------------------------------------------
// Header drag

void TkvGridHeaderController::BeginDrag()
{
    FState = TkvGridHeaderState::Dragging;
    FDragImage = {};
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    const auto &cells = FDragSource == TkvGridHeaderContainer::GroupByBox ? viewInfo.GroupByBoxHeaders()
                                                                          : viewInfo.HeaderCells();
    for (const TkvGridHeaderCellViewInfo &cell : cells)
        if (cell.Column == FDragColumn)
            FDragImage = cell;
    if (FDragSource == TkvGridHeaderContainer::Customization && FDragColumn) {
        // A hidden column has no header to pick up: it is drawn as one under the pointer.
        FDragImage.Column = FDragColumn;
        FDragImage.Item = FDragColumn;
        FDragImage.Text = FDragColumn->Caption();
        FDragImage.Params =
            viewInfo.HeaderCells().empty() ? FDragImage.Params : viewInfo.HeaderCells().front().Params;
        const int height = viewInfo.HeaderHeight() > 0 ? viewInfo.HeaderHeight() : 20;
        FDragImage.Bounds =
            QRect(FPressPoint.x() - 10, FPressPoint.y() - height / 2, FDragColumn->Width(), height);
        FDragImage.Borders = {1, 1, 1, 1};
        FDragImage.AlignVert = TkvAlignmentVert::vaCenter;
        FDragImage.CaptionBounds = FDragImage.TextBounds();
    }
    FDragImage.State = TkvGridCellState::Normal;
    FDragPoint = FPressPoint;
    FGridView.SetPressedColumn(nullptr);
}

const TkvGridHeaderCellViewInfo *TkvGridHeaderController::DragImage() const
{
    if (FState != TkvGridHeaderState::Dragging || !FDragImage.Column)
        return nullptr;
    return &FDragImage;
}

void TkvGridHeaderController::UpdateDragTarget(const QPoint &point)
{
    // The image keeps the pointer where it grabbed the header.
    if (FDragImage.Column) {
        const QPoint shift = point - FDragPoint;
        FDragImage.Bounds.translate(shift);
        FDragImage.CaptionBounds.translate(shift);
        for (TkvGridHeaderAreaViewInfo &area : FDragImage.Areas)
            area.Bounds.translate(shift);
    }
    FDragPoint = point;
    TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    TkvGridHeaderContainer destination = TkvGridHeaderContainer::None;
    int zone = -1;
    if (FCustomizing && CustomizationFormBounds().contains(point)) {
        destination = TkvGridHeaderContainer::Customization;
    } else if (viewInfo.GroupByBoxBounds().contains(point)) {
        destination = TkvGridHeaderContainer::GroupByBox;
        zone = ZoneAt(viewInfo.GroupByBoxHeaders(), point.x());
    } else if (viewInfo.HeaderBounds().contains(point)) {
        destination = TkvGridHeaderContainer::HeaderRow;
        zone = ZoneAt(viewInfo.HeaderCells(), point.x());
    }
    int scroll = 0;
    const QRect &header = viewInfo.HeaderBounds();
    if (!header.isEmpty() && point.y() >= header.top() && point.y() <= header.bottom()) {
        const QRect &rows = viewInfo.RowsAreaBounds();
        if (point.x() < rows.left() + DragScrollEdge && FOwner.LeftPos() > 0)
            scroll = -1;
        else if (point.x() > rows.right() - DragScrollEdge &&
                 FOwner.LeftPos() < viewInfo.DataWidth() - rows.width())
            scroll = 1;
    }
    FDragScrollDirection = scroll;
    // The image moved with the pointer, so the view repaints on every step.
    const bool changed = destination != FDragDestination || zone != FDragZone || FDragImage.Column;
    FDragDestination = destination;
    FDragZone = zone;
    FDropAllowed = CalculateDropAllowed();
    if (changed)
        FGridView.Invalidate();
}

bool TkvGridHeaderController::CalculateDropAllowed() const
{
    const TkvGridColumn *column = FDragColumn;
    if (!column)
        return false;
    switch (FDragDestination) {
    case TkvGridHeaderContainer::HeaderRow: {
        if (!column->Visible() || FDragSource == TkvGridHeaderContainer::GroupByBox)
            return true;
        const int visibleIndex = column->VisibleIndex();
        return column->CanMove() && (FDragZone < visibleIndex || FDragZone > visibleIndex + 1);
    }
    case TkvGridHeaderContainer::GroupByBox: {
        if (!column->CanGroup())
            return false;
        const int groupIndex = column->GroupIndex();
        return groupIndex < 0 || FDragZone < groupIndex || FDragZone > groupIndex + 1;
    }
    case TkvGridHeaderContainer::None:
    case TkvGridHeaderContainer::Customization:
        if (FDragSource == TkvGridHeaderContainer::HeaderRow)
            return column->CanMove() && (FGridView.OptionsCustomize().ColumnHiding() || FCustomizing);
        return FDragSource == TkvGridHeaderContainer::GroupByBox && column->CanGroup();
    }
    return false;
}

void TkvGridHeaderController::Drop()
{
    TkvGridColumn *column = FDragColumn;
    const TkvGridHeaderContainer source = FDragSource;
    const TkvGridHeaderContainer destination = FDragDestination;
    const int zone = FDragZone;
    const bool allowed = FDropAllowed;
    Reset();
    if (!allowed || !column)
        return;
    bool changed = false;
    bool groupChanged = false;
    {
        TkvWaitCursor wait(FGridView);
        TkvUpdateLock lock(FGridView);
        TkvSourceBatch batch(FGridView.DataController());
        auto setGroupIndex = [&](int groupIndex) {
            if (column->GroupIndex() == groupIndex)
                return;
            column->SetGroupIndex(groupIndex);
            groupChanged = true;
        };
        auto setVisible = [&](bool visible) {
            if (column->Visible() == visible)
                return;
            column->SetVisible(visible);
            changed = true;
        };
        switch (destination) {
        case TkvGridHeaderContainer::HeaderRow: {
            const int visibleCount = FGridView.VisibleColumnCount();
            int index = FGridView.ColumnCount() - 1;
            if (zone < visibleCount) {
                index = FGridView.VisibleColumns(zone)->Index();
                if (column->Index() < index)
                    --index;
            }
            if (source == TkvGridHeaderContainer::GroupByBox && column->CanGroup())
                setGroupIndex(-1);
            if (column->Index() != index) {
                column->SetIndex(index);
                changed = true;
            }
            setVisible(true);
            break;
        }
        case TkvGridHeaderContainer::GroupByBox:
            if (column->CanGroup()) {
                const int groupIndex = column->GroupIndex();
                setGroupIndex(groupIndex >= 0 && groupIndex < zone ? zone - 1 : zone);
                if (FGridView.OptionsCustomize().ColumnHidingOnGrouping() && column->CanMove())
                    setVisible(false);
            }
            break;
        case TkvGridHeaderContainer::None:
        case TkvGridHeaderContainer::Customization:
            if (source == TkvGridHeaderContainer::HeaderRow) {
                setVisible(false);
            } else {
                setGroupIndex(-1);
                if (destination != TkvGridHeaderContainer::Customization && column->VisibleBeforeGrouping())
                    setVisible(true);
            }
            break;
        }
    }
    if (groupChanged)
        FOwner.MakeFocusedRowVisible();
    if ((changed || groupChanged) && FCustomizationForm)
        FCustomizationForm->Refresh();
    if ((changed || groupChanged) && FGridView.OnColumnPosChanged)
        FGridView.OnColumnPosChanged(&FGridView, column);
}

QRect TkvGridHeaderController::DropMarkerBounds() const
{
    if (FState != TkvGridHeaderState::Dragging || !FDropAllowed)
        return {};
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    constexpr int MarkerWidth = 3;
    if (FDragDestination == TkvGridHeaderContainer::GroupByBox) {
        const auto &headers = viewInfo.GroupByBoxHeaders();
        const QRect &box = viewInfo.GroupByBoxBounds();
        if (headers.empty())
            return QRect(box.left() + 6, box.top() + 8, std::max(0, box.width() - 6),
                         std::max(0, box.height() - 16));
        if (FDragZone < int(headers.size())) {
            const QRect &h = headers[std::size_t(FDragZone)].Bounds;
            const int top = h.top() - (FDragZone > 0 ? viewInfo.HeaderHeight() / 2 : 0);
            return QRect(h.left() - 2 - MarkerWidth / 2, top, MarkerWidth, h.bottom() - top + 1);
        }
        const QRect &last = headers.back().Bounds;
        return QRect(last.right() + 2, last.top(), MarkerWidth, last.height());
    }
    if (FDragDestination == TkvGridHeaderContainer::HeaderRow) {
        const auto &cells = viewInfo.HeaderCells();
        const QRect &header = viewInfo.HeaderBounds();
        if (cells.empty())
            return QRect(header.left(), header.top(), MarkerWidth, header.height());
        const int x = FDragZone < int(cells.size()) ? cells[std::size_t(FDragZone)].Bounds.left()
                                                    : cells.back().Bounds.right() + 1;
        return QRect(x - MarkerWidth / 2, header.top(), MarkerWidth, header.height());
    }
    return {};
}

void TkvGridHeaderController::DragScrollStep()
{
    if (FState != TkvGridHeaderState::Dragging || FDragScrollDirection == 0)
        return;
    const int before = FOwner.LeftPos();
    FOwner.SetLeftPos(FOwner.LeftPos() + FDragScrollDirection * DragScrollDelta);
    if (FOwner.LeftPos() == before) {
        FDragScrollDirection = 0;
        return;
    }
    // The headers moved under the pointer, which stays where it was: the zone
    // under it (and whether a drop there is allowed) is found again.
    UpdateDragTarget(FDragPoint);
}

// ---------------------------------------------------------------------------
// Sizing

int TkvGridHeaderController::HeaderCellIndent(const TkvGridColumn *column) const
{
    return column && column->VisibleIndex() == 0 ? FGridView.ViewInfo().GroupIndent() : 0;
}

void TkvGridHeaderController::SizingMouseDown(TkvGridColumn *column, const QPoint &point, bool doubleClick)
{
    if (!column || !column->CanHorzSize())
        return;
    if (doubleClick) {
        const int before = column->Width();
        {
            TkvWaitCursor wait(FGridView);
            column->ApplyBestFit();
        }
        if (column->Width() != before && FGridView.OnColumnSizeChanged)
            FGridView.OnColumnSizeChanged(&FGridView, column);
        return;
    }
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    for (const TkvGridHeaderCellViewInfo &cell : viewInfo.HeaderCells()) {
        if (cell.Column != column)
            continue;
        FState = TkvGridHeaderState::Sizing;
        FPressPoint = point;
        FSizingColumn = column;
        FSizingStartWidth = cell.Bounds.width();
        FSizingWidth = FSizingStartWidth;
        FSizingCellLeft = cell.Bounds.left();
        FGridView.Invalidate();
        return;
    }
}

int TkvGridHeaderController::SizingMinWidth() const
{
    return FSizingColumn ? FSizingColumn->MinWidth() + HeaderCellIndent(FSizingColumn) : 0;
}

int TkvGridHeaderController::SizingMaxWidth() const
{
    if (!FSizingColumn || !FGridView.OptionsView().ColumnAutoWidth())
        return std::numeric_limits<int>::max() / 2;
    // The columns to the right can shrink to their minimum, no further.
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    int room = viewInfo.RowsAreaBounds().right() + 1 - FSizingCellLeft;
    for (int i = FSizingColumn->VisibleIndex() + 1; i < FGridView.VisibleColumnCount(); ++i)
        room -= FGridView.VisibleColumns(i)->MinWidth();
    return room;
}

int TkvGridHeaderController::SizingLinePos() const
{
    return FState == TkvGridHeaderState::Sizing ? FSizingCellLeft + FSizingWidth - 1 : -1;
}

void TkvGridHeaderController::EndSizing(bool apply)
{
    TkvGridColumn *column = FSizingColumn;
    const int width = FSizingWidth;
    const bool changed = width != FSizingStartWidth;
    Reset();
    if (!apply || !column || !changed)
        return;
    column->SetWidth(width - HeaderCellIndent(column));
    if (FGridView.OnColumnSizeChanged)
        FGridView.OnColumnSizeChanged(&FGridView, column);
}

// ---------------------------------------------------------------------------
// Customization form

void TkvGridHeaderController::SetCustomizing(bool value)
{
    if (FCustomizing == value)
        return;
    FCustomizing = value;
    if (value) {
        if (!FCustomizationForm && FWindowFactory)
            FCustomizationForm = FWindowFactory(TkvGridWindowKind::CustomizationForm);
        if (FCustomizationForm)
            FCustomizationForm->Show(CustomizationFormBounds());
        return;
    }
    if (FCustomizationForm) {
        FCustomizationFormBounds = FCustomizationForm->Bounds();
        FCustomizationForm->Hide();
    }
    if (FGridView.OnCustomization)
        FGridView.OnCustomization(&FGridView);
}

QRect TkvGridHeaderController::CustomizationFormBounds() const
{
    if (FCustomizing && FCustomizationForm)
        return FCustomizationForm->Bounds();
    if (!FCustomizationFormBounds.isNull())
        return FCustomizationFormBounds;
    const QRect &view = FGridView.Bounds();
    return QRect(view.right() + 1 - CustomizationFormWidth, view.bottom() + 1 - CustomizationFormHeight,
                 CustomizationFormWidth, CustomizationFormHeight);
}

void TkvGridHeaderController::SetCustomizationFormBounds(const QRect &bounds)
{
    FCustomizationFormBounds = bounds;
    if (FCustomizing && FCustomizationForm)
        FCustomizationForm->Show(bounds);
}

std::vector<TkvGridColumn *> TkvGridHeaderController::CustomizationColumns() const
{
    std::vector<TkvGridColumn *> columns;
    for (int i = 0; i < FGridView.ColumnCount(); ++i) {
        TkvGridColumn *column = FGridView.Columns(i);
        if (!column->Visible() && !column->Hidden())
            columns.push_back(column);
    }
    return columns;
}

void TkvGridHeaderController::CustomizationMouseDown(TkvGridColumn *column, const QPoint &point)
{
    if (FState != TkvGridHeaderState::None)
        Cancel();
    if (!FCustomizing || !column)
        return;
    FState = TkvGridHeaderState::Pressed;
    FPressPoint = point;
    FDragColumn = column;
    FDragSource = TkvGridHeaderContainer::Customization;
}

} // namespace kestrum
