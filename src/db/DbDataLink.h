#pragma once
// The base of every data-aware part's link to a data source. A descendant
// overrides the notifications it cares about. Each link sees a window of
// BufferCount rows around the current row (ActiveRecord is the current row's
// place in it); the window follows the current row with the fewest moves.
#include "db/DbTypes.h"

namespace kestrum {

class TDbDataSource;
class TDbField;
class TDbQuery;

class TDbDataLink {
public:
    TDbDataLink() = default;
    virtual ~TDbDataLink(); // detaches from its data source
    TDbDataLink(const TDbDataLink &) = delete;
    TDbDataLink &operator=(const TDbDataLink &) = delete;

    TDbDataSource *DataSource() const { return FDataSource; }
    //! Attaches to a data source (nullptr detaches); tells ActiveChanged or
    //! EditingChanged when that changes what the link sees.
    void SetDataSource(TDbDataSource *source);
    TDbQuery *DataSet() const; //!< the data source's record set or nullptr

    //! The data source is enabled and its record set is open.
    bool Active() const { return FActive; }
    //! The record set is in edit or insert state and the link is not read-only.
    bool Editing() const { return FEditing; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);
    //! Set while UpdateRecord runs.
    bool Updating() const { return FUpdating; }

    // Buffer window.
    int BufferCount() const { return FBufferCount; }
    void SetBufferCount(int count); //!< at least 1
    int ActiveRecord() const;       //!< current row within the window (0-based)
    int RecordCount() const;        //!< rows in the window
    //! Absolute visible position of the window's first row.
    int FirstRecord() const { return FFirstRecord; }

    //! Asks the data source to edit (auto-edit); answers Editing.
    bool Edit();
    //! Writes pending values through UpdateData.
    void UpdateRecord();

    // Called by the data source.
    void DataEvent(TDataEvent event, std::intptr_t info);
    void DataSourceDestroying();

protected:
    //! While DataSetChanged runs: what changed, or nullptr when anything may have.
    const TDbRowChange *RowChange() const { return FRowChange; }

    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int distance);
    virtual void EditingChanged() {}
    //! Set field to nullptr when this link took the focus request.
    virtual void FocusControl(TDbField *&field);
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TDbField *field);
    virtual void UpdateData() {}

private:
    void UpdateState();
    void SetActive(bool active);
    void SetEditing(bool editing);
    void AdjustWindow(); // keeps the current row inside the window

    TDbDataSource *FDataSource = nullptr;
    bool FActive = false;
    bool FEditing = false;
    bool FReadOnly = false;
    bool FUpdating = false;
    int FBufferCount = 1;
    int FFirstRecord = 0;
    const TDbRowChange *FRowChange = nullptr;
};

} // namespace kestrum
