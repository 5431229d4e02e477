// The table controller's filter interactions: a press on a column's filter
// button opens its drop-down (the DropDown header state lasts while it is
// open), the filter box buttons, and the customization form that header
// drags use as a container.
#include "filter/DataFilterCriteria.h"
#include "grid/GridEditingController.h"
#include "grid/GridFilterDropDown.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"

namespace kestrum {

namespace {

constexpr int CustomizationFormWidth = 180;
constexpr int CustomizationFormHeight = 300;

} // namespace

TkvGridTableController::TkvGridTableController(TkvGridTableView *view)
    : FGridView(view), FEditingController(std::make_unique<TkvGridEditingController>(view))
{
}

TkvGridTableController::~TkvGridTableController()
{
    // The windows go first: they may still call back while they close.
    FCustomizationForm.reset();
    FFilterDropDown.reset();
}

void TkvGridTableController::SetWindowFactory(TkvGridWindowFactory factory)
{
    FWindowFactory = std::move(factory);
    if (FFilterDropDown)
        FFilterDropDown->SetWindowFactory(FWindowFactory);
}

// ---------------------------------------------------------------------------
// Filter drop-down

TkvGridColumn *TkvGridTableController::FilterDropDownColumn() const
{
    return FHeaderState == TkvGridHeaderState::DropDown && FFilterDropDown ? FFilterDropDown->Column()
                                                                           : nullptr;
}

bool TkvGridTableController::DropDownFilter(TkvGridColumn *column, TkvGridHeaderContainer container)
{
    if (FHeaderState != TkvGridHeaderState::None)
        CancelHeaderAction();
    if (!column || !column->CanFilter(true) || !FGridView->Filter())
        return false;
    // The popup hangs below the header cell that holds the pressed button.
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    const auto &cells = container == TkvGridHeaderContainer::GroupByBox ? viewInfo.GroupByBoxHeaders()
                                                                        : viewInfo.HeaderCells();
    QRect cellBounds;
    for (const TkvGridHeaderCellViewInfo &cell : cells)
        if (cell.Column == column)
            cellBounds = cell.Bounds;
    if (cellBounds.isNull())
        return false;
    if (!FFilterDropDown) {
        FFilterDropDown = std::make_unique<TkvGridFilterDropDown>(*FGridView, FFilterDialogs);
        FFilterDropDown->SetWindowFactory(FWindowFactory);
        FFilterDropDown->OnClosed = [this] { FilterDropDownClosed(); };
    }
    FHeaderState = TkvGridHeaderState::DropDown;
    FFilterDropDownContainer = container;
    if (!FFilterDropDown->Open(column, cellBounds)) {
        FHeaderState = TkvGridHeaderState::None;
        FFilterDropDownContainer = TkvGridHeaderContainer::None;
        return false;
    }
    FGridView->LayoutChanged(); // the button shows pressed
    return true;
}

void TkvGridTableController::FilterDropDownClosed()
{
    if (FHeaderState != TkvGridHeaderState::DropDown)
        return;
    FHeaderState = TkvGridHeaderState::None;
    FFilterDropDownContainer = TkvGridHeaderContainer::None;
    FGridView->LayoutChanged(); // the button returns to normal
}

void TkvGridTableController::FilterButtonMouseDown(TkvGridColumn *column, const QPoint &point)
{
    const bool inGroupByBox = FGridView->ViewInfo().GroupByBoxBounds().contains(point);
    DropDownFilter(column,
                   inGroupByBox ? TkvGridHeaderContainer::GroupByBox : TkvGridHeaderContainer::HeaderRow);
}

// ---------------------------------------------------------------------------
// Filter box

void TkvGridTableController::FilterBoxMouseDown(TkvGridHitKind button)
{
    FPressedFilterBoxButton = button;
    FGridView->LayoutChanged();
}

void TkvGridTableController::FilterBoxMouseUp(const QPoint &point)
{
    const TkvGridHitKind pressed = FPressedFilterBoxButton;
    FPressedFilterBoxButton = TkvGridHitKind::None;
    FGridView->LayoutChanged();
    // A release away from the button that went down clicks nothing.
    if (FGridView->ViewInfo().HitTest(point).Kind == pressed)
        FilterBoxButtonClick(pressed);
}

void TkvGridTableController::FilterBoxButtonClick(TkvGridHitKind button)
{
    TkvDataFilterCriteria *criteria = FGridView->Filter();
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
            FFilterDialogs.ShowFilterBuilderDialog(*FGridView);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Customization form

void TkvGridTableController::SetCustomizing(bool value)
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
    if (FGridView->OnCustomization)
        FGridView->OnCustomization(FGridView);
}

QRect TkvGridTableController::CustomizationFormBounds() const
{
    if (FCustomizing && FCustomizationForm)
        return FCustomizationForm->Bounds();
    if (!FCustomizationFormBounds.isNull())
        return FCustomizationFormBounds;
    const QRect &view = FGridView->Bounds();
    return QRect(view.right() + 1 - CustomizationFormWidth, view.bottom() + 1 - CustomizationFormHeight,
                 CustomizationFormWidth, CustomizationFormHeight);
}

void TkvGridTableController::SetCustomizationFormBounds(const QRect &bounds)
{
    FCustomizationFormBounds = bounds;
    if (FCustomizing && FCustomizationForm)
        FCustomizationForm->Show(bounds);
}

std::vector<TkvGridColumn *> TkvGridTableController::CustomizationColumns() const
{
    std::vector<TkvGridColumn *> columns;
    for (int i = 0; i < FGridView->ColumnCount(); ++i) {
        TkvGridColumn *column = FGridView->Columns(i);
        if (!column->Visible() && !column->Hidden())
            columns.push_back(column);
    }
    return columns;
}

void TkvGridTableController::CustomizationMouseDown(TkvGridColumn *column, const QPoint &point)
{
    if (FHeaderState != TkvGridHeaderState::None)
        CancelHeaderAction();
    if (!FCustomizing || !column)
        return;
    FHeaderState = TkvGridHeaderState::Pressed;
    FPressPoint = point;
    FDragColumn = column;
    FDragSource = TkvGridHeaderContainer::Customization;
}

} // namespace kestrum
