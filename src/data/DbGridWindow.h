#pragma once
// Grid mode of the record-set provider: the controller's records are the
// rows of the link's buffer window, values are read from the record set, and
// locating and searching are done by the record set itself.
#include "core/Variant.h"

#include <QString>

namespace kestrum {

class TDbQuery;
class TkvCustomDataField;
class TkvDBDataController;
class TkvDBDataLink;
class TkvDbProviderState;
class TkvDbRecordTracker;

class TkvDbGridWindow {
public:
    TkvDbGridWindow(TkvDBDataController &controller, TkvDBDataLink &link, TkvDbProviderState &state,
                    TkvDbRecordTracker &records)
        : FController(controller), FLink(link), FState(state), FRecords(records)
    {
    }

    //! Rows the link's buffer holds: the mode's count, else the owner's visible rows.
    int BufferCount() const;
    //! Reads the link's buffer window into the storage.
    void Load();
    //! The window is not in the storage (the rows were read in full).
    void Forget() { FFirstRecord = -1; }
    //! The record set's visible position that a window record stands for.
    int PositionOfRecord(int recordIndex) const { return FFirstRecord + recordIndex; }
    //! The link's window no longer matches the records read (it scrolled or changed size).
    bool Moved() const;

    Variant GetValue(int recordIndex, const TkvCustomDataField *field) const;
    QString GetDisplayText(int recordIndex, const TkvCustomDataField *field) const;
    //! The record set's incremental search (see TkvCustomDataProvider::LocateByText).
    bool LocateByText(TkvCustomDataField *field, const QString &upperText, bool next, bool forward);

private:
    //! The record set when the link is open on one, else null.
    TDbQuery *ActiveDataSet() const;

    TkvDBDataController &FController;
    TkvDBDataLink &FLink;
    TkvDbProviderState &FState;
    TkvDbRecordTracker &FRecords;
    //! The link's window start when the window was last read (-1: not read).
    int FFirstRecord = -1;
};

} // namespace kestrum
