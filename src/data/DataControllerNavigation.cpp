#include "data/DataControllerNavigation.h"

#include "data/DataController.h"

#include <algorithm>

namespace kestrum {

TkvCustomDataProvider &TkvDataControllerNavigation::Provider() const
{
    return FController.Provider();
}

bool TkvDataControllerNavigation::ChangeFocusedRowIndex(int rowIndex)
{
    FController.BeginBatch();
    bool result = false;
    try {
        if (FController.NewItemRowFocused() && std::clamp(rowIndex, -1, FController.RowCount() - 1) >= 0) {
            // Leaving the new-item row ends its entry first; a posted entry
            // joins the rows, so the row asked for is found again by its record.
            const TkvRowInfo target =
                FController.GetRowInfo(std::clamp(rowIndex, 0, FController.RowCount() - 1));
            const int rowCount = FController.RowCount();
            FController.Editing().FinishEditing();
            if (FController.RowCount() != rowCount) {
                const int found = FController.Info().RowIndexOfRecordAtLevel(
                    target.RecordIndex, target.IsGroupRow ? target.Level : -1, false);
                if (found >= 0)
                    rowIndex = found;
            }
            FController.Info().SetNewItemRowFocused(false);
        }
        result = FController.Info().ChangeFocusedRowIndex(rowIndex);
    } catch (...) {
        FController.EndBatch();
        throw;
    }
    FController.EndBatch();
    return result;
}

bool TkvDataControllerNavigation::ChangeFocusedRecordIndex(int recordIndex)
{
    const int rowIndex = recordIndex < 0 ? -1 : FController.GetRowIndexByRecordIndex(recordIndex, true);
    if (recordIndex >= 0 && rowIndex < 0)
        return false;
    return ChangeFocusedRowIndex(rowIndex);
}

void TkvDataControllerNavigation::GotoFirst()
{
    if (Provider().IsGridMode())
        Provider().MoveFirst();
    else
        ChangeFocusedRowIndex(0);
}

void TkvDataControllerNavigation::GotoLast()
{
    if (Provider().IsGridMode())
        Provider().MoveLast();
    else
        ChangeFocusedRowIndex(FController.RowCount() - 1);
}

void TkvDataControllerNavigation::ShiftCursor(int distance)
{
    if (Provider().IsGridMode()) {
        Provider().MoveBy(distance);
        return;
    }
    if (FController.RowCount() == 0)
        return;
    // From no row, moving starts at the first row.
    const int from = std::max(FController.FocusedRowIndex(), 0);
    ChangeFocusedRowIndex(std::max(from + (FController.FocusedRowIndex() < 0 ? 0 : distance), 0));
}

bool TkvDataControllerNavigation::IsBOF() const
{
    if (Provider().IsGridMode())
        return Provider().IsBOF();
    return FController.FocusedRowIndex() <= 0;
}

bool TkvDataControllerNavigation::IsEOF() const
{
    if (Provider().IsGridMode())
        return Provider().IsEOF();
    return FController.FocusedRowIndex() < 0 || FController.FocusedRowIndex() >= FController.RowCount() - 1;
}

} // namespace kestrum
