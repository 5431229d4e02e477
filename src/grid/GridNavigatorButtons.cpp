#include "grid/GridNavigatorButtons.h"

#include "grid/Grid.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"

namespace kestrum {

bool TkvNavigatorControlButtons::IsActionEnabled(int index) const
{
    const TkvGridRowSource &source = FGridView->DataController();
    const TkvGridTableController &controller = FGridView->Controller();
    const int focused = source.FocusedRowIndex();
    switch (index) {
    case nbFirst:
    case nbPriorPage:
    case nbPrior:
        return focused > 0;
    case nbNext:
    case nbNextPage:
    case nbLast:
        return focused >= 0 && focused < source.RowCount() - 1;
    case nbInsert:
        return controller.CanInsert(true);
    case nbDelete:
        return controller.CanDelete(true);
    case nbPost:
    case nbCancel:
        return source.IsEditing();
    default:
        // Editing starts in the cells; refreshing, bookmarks and the filter belong to record sets.
        return false;
    }
}

void TkvNavigatorControlButtons::DoButtonAction(int index)
{
    if (!IsActionEnabled(index))
        return;
    TkvGridRowSource &source = FGridView->DataController();
    TkvGridTableController &controller = FGridView->Controller();
    switch (index) {
    case nbFirst:
        controller.GoToFirst();
        break;
    case nbPriorPage:
        controller.PageUp();
        break;
    case nbPrior:
        controller.FocusNextRow(source.FocusedRowIndex(), false);
        break;
    case nbNext:
        controller.FocusNextRow(source.FocusedRowIndex(), true);
        break;
    case nbNextPage:
        controller.PageDown();
        break;
    case nbLast:
        controller.GoToLast();
        break;
    case nbInsert:
        controller.CreateNewRecord(false);
        break;
    case nbDelete:
        if (FConfirmDelete && !ConfirmRecordDelete(FGridView->Grid()))
            return;
        controller.DeleteWithConfirmation();
        break;
    case nbPost:
        source.Post();
        break;
    case nbCancel:
        source.Cancel();
        break;
    default:
        break;
    }
}

} // namespace kestrum
