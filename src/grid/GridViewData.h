#pragma once
// The table view's rows: one disposable row object per data controller row,
// created when first asked for and thrown away whenever the rows change,
// plus the new-item row. Group rows produce their text; the focused row
// turns expansion keys into calls on the controller.
#include "grid/GridRowSource.h"

#include <QString>

#include <memory>
#include <unordered_map>

namespace kestrum {

class TkvCustomGridTableView;
class TkvGridViewData;
struct TkvGridRowViewInfo;

//! Keys the rows and the controller understand (platform independent).
enum class TkvGridKey : std::uint8_t {
    None,
    Enter,
    F2,
    Left,
    Right,
    Up,
    Down,
    PageUp,
    PageDown,
    Home,
    End,
    Tab,
    Escape,
    Insert,
    Delete,
    Space,
    NumMultiply,
    NumAdd,
    NumSubtract,
    Backspace,
    A, //!< the letter key (Ctrl+A selects every row)
};

struct TkvGridShiftState {
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
    bool None() const { return !Shift && !Ctrl && !Alt; }
};

class TkvCustomGridRecord {
public:
    TkvCustomGridRecord(TkvGridViewData *viewData, int index, const TkvGridRowInfo &info);
    virtual ~TkvCustomGridRecord();
    TkvCustomGridRecord(const TkvCustomGridRecord &) = delete;
    TkvCustomGridRecord &operator=(const TkvCustomGridRecord &) = delete;

    TkvGridViewData &ViewData() const { return *FViewData; }
    TkvCustomGridTableView &GridView() const;

    //! Row index of the data controller; -1 for the new-item row.
    int Index() const { return FIndex; }
    int Level() const { return FRowInfo.Level; }
    int RecordIndex() const { return FRowInfo.RecordIndex; }
    bool IsFirst() const { return FIndex == 0; }
    bool IsLast() const;
    virtual bool IsNewItemRecord() const { return false; }
    //! Its record index names a stored record.
    bool IsData() const;

    bool Focused() const;
    bool Selected() const;
    bool Editing() const;

    virtual bool Expandable() const { return false; }
    bool Expanded() const { return FRowInfo.Expanded; }
    void SetExpanded(bool expanded);
    void Expand(bool recursive);
    void Collapse(bool recursive);
    virtual bool HasCells() const { return true; }
    virtual bool CanFocus() const { return true; }

    //! The nearest row above with a smaller level; none for level 0.
    TkvCustomGridRecord *ParentRecord() const;
    QString DisplayText(int itemIndex) const;
    //! The stored value of a data row for an item (Empty when unknown).
    Variant Value(int itemIndex) const;

    //! Keys handed to the focused row first; true when consumed.
    virtual bool KeyDown(TkvGridKey key, TkvGridShiftState shift);

    //! Re-reads the row information after the rows were rearranged.
    void RefreshRowInfo();

    //! The row's layout while it is laid out; cleared when either side goes.
    TkvGridRowViewInfo *ViewInfo() const { return FViewInfo; }
    //! A row object has at most one layout row; linking a new one unlinks the old.
    void SetViewInfo(TkvGridRowViewInfo *viewInfo);

protected:
    virtual void DoChangeExpanding(bool expanded, bool recursive);
    TkvGridRowInfo FRowInfo;

private:
    TkvGridViewData *FViewData;
    int FIndex;
    TkvGridRowViewInfo *FViewInfo = nullptr;
};

class TkvCustomGridRow : public TkvCustomGridRecord {
public:
    using TkvCustomGridRecord::TkvCustomGridRecord;
};

class TkvGridDataRow : public TkvCustomGridRow {
public:
    using TkvCustomGridRow::TkvCustomGridRow;
};

class TkvGridNewItemRow : public TkvGridDataRow {
public:
    using TkvGridDataRow::TkvGridDataRow;
    bool IsNewItemRecord() const override { return true; }
};

class TkvGridGroupRow : public TkvCustomGridRow {
public:
    using TkvCustomGridRow::TkvCustomGridRow;
    bool Expandable() const override { return true; }
    bool HasCells() const override { return false; }
    //! "caption : value" and, when the group has summaries, one space and their text.
    QString GroupText() const;

protected:
    void DoChangeExpanding(bool expanded, bool recursive) override;
};

class TkvGridViewData {
public:
    explicit TkvGridViewData(TkvCustomGridTableView *view);
    ~TkvGridViewData();
    TkvGridViewData(const TkvGridViewData &) = delete;
    TkvGridViewData &operator=(const TkvGridViewData &) = delete;

    TkvCustomGridTableView &GridView() const { return *FGridView; }
    TkvGridRowSource &DataController() const;

    //! The data controller's row count.
    int RecordCount() const { return FRecordCount; }
    //! The row object of a row index; nullptr outside 0 .. count - 1.
    TkvCustomGridRecord *Records(int rowIndex);
    //! The new-item row for its record index, else the row showing the record, else nullptr.
    TkvCustomGridRecord *GetRecordByRecordIndex(int recordIndex);
    TkvCustomGridRecord *NewItemRecord() const { return FNewItemRecord.get(); }
    TkvCustomGridRecord *EditingRecord() const { return FEditingRecord; }

    void Collapse(bool recursive);
    void Expand(bool recursive);

    //! Data changed: every row object goes; slots follow the new row count.
    void Rebuild();
    //! Rows were rearranged: existing row objects re-read their information.
    void Refresh();
    void RefreshEditingRecord();
    //! Makes or drops the new-item row to follow the view's option, keeping the other rows.
    void CheckNewItemRecord();
    //! Number of row objects alive (they are created lazily).
    std::size_t CreatedRecordCount() const { return FRecords.size(); }

private:
    std::unique_ptr<TkvCustomGridRecord> CreateRecord(int rowIndex);

    TkvCustomGridTableView *FGridView;
    std::unordered_map<int, std::unique_ptr<TkvCustomGridRecord>> FRecords;
    std::unique_ptr<TkvCustomGridRecord> FNewItemRecord;
    TkvCustomGridRecord *FEditingRecord = nullptr;
    int FRecordCount = 0;
};

} // namespace kestrum
