#pragma once
// Reading a row of the record set other than its current one, without
// moving it (no scroll notice, no focus change).
#include "db/DbQuery.h"

namespace kestrum {

//! Points the record set's fields at another row for its lifetime.
class TkvDbReadPositionGuard {
public:
    TkvDbReadPositionGuard(TDbQuery *dataSet, int position) : FDataSet(dataSet), FOld(dataSet->ReadPosition())
    {
        FDataSet->SetReadPosition(position);
    }
    ~TkvDbReadPositionGuard() { FDataSet->SetReadPosition(FOld); }
    TkvDbReadPositionGuard(const TkvDbReadPositionGuard &) = delete;
    TkvDbReadPositionGuard &operator=(const TkvDbReadPositionGuard &) = delete;

private:
    TDbQuery *FDataSet;
    int FOld;
};

} // namespace kestrum
