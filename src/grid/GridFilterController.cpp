#include "grid/GridFilterController.h"

#include "filter/DataFilterCriteria.h"
#include "grid/GridFilterDropDown.h"
#include "grid/GridTableView.h"

namespace kestrum {

TkvGridFilterController::TkvGridFilterController(TkvGridTableView &view, TkvGridHeaderController &header)
    : FGridView(view), FHeader(header)
{
}

TkvGridFilterController::~TkvGridFilterController() = default;

void TkvGridFilterController::SetWindowFactory(TkvGridWindowFactory factory)
{
    FWindowFactory = std::move(factory);
    if (FFilterDropDown)
        FFilterDropDown->SetWindowFactory(FWindowFactory);
}

void TkvGridFilterController::DropDownReset()
{
    FFilterDropDownContainer = TkvGridHeaderContainer::None;
    if (FFilterDropDown)
        FFilterDropDown->Close();
}

void TkvGridFilterController::ItemRemoved(const TkvCustomGridTableItem *item)
{
    // Its list and its button belong to the column.
    if (FFilterDropDown && item && FFilterDropDown->Column() == item)
        FFilterDropDown->Close();
}

// ---------------------------------------------------------------------------
// Filter drop-down

TkvGridColumn *TkvGridFilterController::FilterDropDownColumn() const
{
    return FHeader.State() == TkvGridHeaderState::DropDown && FFilterDropDown ? FFilterDropDown->Column()
                                                                              : nullptr;
}

bool TkvGridFilterController::DropDownFilter(TkvGridColumn *column, TkvGridHeaderContainer container)
{
    if (FHeader.State() != TkvGridHeaderState::None)
        FHeader.Cancel();
    if (!column || !column->CanFilter(true) || !FGridView.Filter())
        return false;
    // The popup hangs below the header cell that holds the pressed button.
    const TkvGridTableViewInfo &viewInfo = FGridView.ViewInfo();
    const auto &cells = container == TkvGridHeaderContainer::GroupByBox ? viewInfo.GroupByBoxHeaders()
                                                                        : viewInfo.HeaderCells();
    QRect cellBounds;
    for (const TkvGridHeaderCellViewInfo &cell : cells)
        if (cell.Column == column)
            cellBounds = cell.Bounds;
    if (cellBounds.isNull())
        return false;
    if (!FFilterDropDown) {
        FFilterDropDown = std::make_unique<TkvGridFilterDropDown>(FGridView, FFilterDialogs);
        FFilterDropDown->SetWindowFactory(FWindowFactory);
        FFilterDropDown->OnClosed = [this] { FilterDropDownClosed(); };
    }
    FHeader.BeginDropDown();
    FFilterDropDownContainer = container;
    if (!FFilterDropDown->Open(column, cellBounds)) {
        FHeader.EndDropDown();
        FFilterDropDownContainer = TkvGridHeaderContainer::None;
        return false;
    }
    FGridView.LayoutChanged(); // the button shows pressed
    return true;
}

void TkvGridFilterController::FilterDropDownClosed()
{
    if (FHeader.State() != TkvGridHeaderState::DropDown)
        return;
    FHeader.EndDropDown();
    FFilterDropDownContainer = TkvGridHeaderContainer::None;
    FGridView.LayoutChanged(); // the button returns to normal
}

void TkvGridFilterController::FilterButtonMouseDown(TkvGridColumn *column, const QPoint &point)
{
    const bool inGroupByBox = FGridView.ViewInfo().GroupByBoxBounds().contains(point);
    DropDownFilter(column,
                   inGroupByBox ? TkvGridHeaderContainer::GroupByBox : TkvGridHeaderContainer::HeaderRow);
}

// ---------------------------------------------------------------------------
// Filter box

void TkvGridFilterController::FilterBoxMouseDown(TkvGridHitKind button)
{
    FPressedFilterBoxButton = button;
    FGridView.LayoutChanged();
}

void TkvGridFilterController::FilterBoxMouseUp(const QPoint &point)
{
    const TkvGridHitKind pressed = FPressedFilterBoxButton;
    FPressedFilterBoxButton = TkvGridHitKind::None;
    FGridView.LayoutChanged();
    // A release away from the button that went down clicks nothing.
    if (FGridView.ViewInfo().HitTest(point).Kind == pressed)
        FilterBoxButtonClick(pressed);
}

void TkvGridFilterController::FilterBoxButtonClick(TkvGridHitKind button)
{
    TkvDataFilterCriteria *criteria = FGridView.Filter();
    if (!criteria)
        return;
    switch (button) {
    case TkvGridHitKind::FilterBoxCloseButton:
        criteria->BeginBatch();
        criteria->ClearTree();
        criteria->EndBatch();
        break;
    case TkvGridHitKind::FilterBoxActivateButton:
        criteria->SetActive(!criteria->Active());
        break;
    case TkvGridHitKind::FilterBoxCustomizeButton:
        if (FFilterDialogs.ShowFilterBuilderDialog)
            FFilterDialogs.ShowFilterBuilderDialog(FGridView);
        break;
    default:
        break;
    }
}

} // namespace kestrum
