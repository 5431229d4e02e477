#include "data/DbDataModeController.h"

#include "data/DbDataController.h"

#include <algorithm>

namespace kestrum {

void TkvDBDataModeController::SetGridMode(bool value)
{
    if (FGridMode == value)
        return;
    FGridMode = value;
    // The storage is laid out anew for the other mode and filled again at once.
    FController.BeginBatch();
    try {
        FController.Restructure();
        FController.Refresh();
    } catch (...) {
        FController.EndBatch();
        throw;
    }
    FController.EndBatch();
}

void TkvDBDataModeController::SetGridModeBufferCount(int value)
{
    value = std::max(value, 0);
    if (FGridModeBufferCount == value)
        return;
    FGridModeBufferCount = value;
    if (FController.DBProvider().IsGridMode())
        FController.Refresh();
}

void TkvDBDataModeController::SetSyncMode(bool value)
{
    if (FSyncMode == value)
        return;
    FSyncMode = value;
    FController.Refresh();
}

} // namespace kestrum
