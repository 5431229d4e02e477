#pragma once
// A data source stands between one record set and the data-aware parts
// (grids, editors, navigators): each of them attaches a data link, and the
// data source passes the record set's notifications on to every link.
#include "db/DbTypes.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kestrum {

class TDbDataLink;
class TDbField;
class TDbQuery;

class TDbDataSource {
public:
    using TNotifyEvent = std::function<void(TDbDataSource *sender)>;
    using TDataChangeEvent = std::function<void(TDbDataSource *sender, TDbField *field)>;

    TDbDataSource() = default;
    ~TDbDataSource(); // links lose their data source
    TDbDataSource(const TDbDataSource &) = delete;
    TDbDataSource &operator=(const TDbDataSource &) = delete;

    TDbQuery *DataSet() const { return FDataSet; }
    void SetDataSet(TDbQuery *dataSet);
    //! When off, the links see the record set as inactive.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    //! Typing into a bound editor puts a browsing record set into edit state.
    bool AutoEdit() const { return FAutoEdit; }
    void SetAutoEdit(bool autoEdit) { FAutoEdit = autoEdit; }
    //! The record set's state, inactive without one or when disabled.
    TDataSetState State() const;
    //! With AutoEdit, puts a browsing record set into edit state.
    void Edit();
    bool IsLinkedTo(const TDbQuery *dataSet) const { return FDataSet == dataSet; }

    //! State changed, data changed (field or nullptr for the whole record).
    TNotifyEvent OnStateChange;
    TDataChangeEvent OnDataChange;
    TNotifyEvent OnUpdateData;

    const std::vector<TDbDataLink *> &DataLinks() const { return FDataLinks; }

    // Used by the record set and the data links.
    void DataEvent(TDataEvent event, std::intptr_t info);
    void AddDataLink(TDbDataLink *link);
    void RemoveDataLink(TDbDataLink *link);
    void DataSetDestroying(); // the record set goes away

private:
    void NotifyLinks(TDataEvent event, std::intptr_t info);

    TDbQuery *FDataSet = nullptr;
    bool FEnabled = true;
    bool FAutoEdit = true;
    TDataSetState FLastState = dsInactive;
    std::vector<TDbDataLink *> FDataLinks;
};

} // namespace kestrum
