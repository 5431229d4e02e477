#pragma once
// The switches of how a record-set controller works (the ledger keeps the defaults).
#include <functional>

namespace kestrum {

class TkvDBDataController;

class TkvDBDataModeController {
public:
    explicit TkvDBDataModeController(TkvDBDataController &controller) : FController(controller) {}
    bool GridMode() const { return FGridMode; }
    void SetGridMode(bool value);
    int GridModeBufferCount() const { return FGridModeBufferCount; }
    void SetGridModeBufferCount(int value);
    bool SmartRefresh() const { return FSmartRefresh; }
    void SetSmartRefresh(bool value) { FSmartRefresh = value; }
    bool SyncMode() const { return FSyncMode; }
    void SetSyncMode(bool value);
    //! Master-detail switches and events: kept and stored, no relation uses them.
    bool DetailInSQLMode() const { return FDetailInSQLMode; }
    void SetDetailInSQLMode(bool value) { FDetailInSQLMode = value; }
    std::function<void(TkvDBDataController *controller)> OnDetailFirst;
    std::function<void(TkvDBDataController *controller, bool &isCurrentQuery)> OnDetailIsCurrentQuery;
    bool SyncInserts() const { return FSyncInserts; }
    bool SyncDetails() const { return FSyncDetails; }

private:
    TkvDBDataController &FController;
    bool FGridMode = false;
    int FGridModeBufferCount = 0;
    bool FSmartRefresh = false;
    bool FSyncMode = true;
    bool FDetailInSQLMode = false;
    bool FSyncInserts = true;
    bool FSyncDetails = true;
};

} // namespace kestrum
