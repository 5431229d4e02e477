#pragma once
// Change notifications: one object per kind of change, delivered to the
// controller's owner when the outermost update bracket closes.
#include "data/DataControllerTypes.h"

#include <string>

namespace kestrum {

class TkvUpdateControlInfo {
public:
    virtual ~TkvUpdateControlInfo() = default;
    //! A one-line description for logs and tests: "Data(dckAll,-1,-1)".
    virtual std::string Describe() const = 0;
};

class TkvDataChangedInfo : public TkvUpdateControlInfo {
public:
    TkvDataChangedInfo(TkvDataChangeKind kind, int itemIndex, int recordIndex)
        : Kind(kind), ItemIndex(itemIndex), RecordIndex(recordIndex)
    {
    }
    std::string Describe() const override;
    TkvDataChangeKind Kind;
    int ItemIndex;
    int RecordIndex;
};

class TkvLayoutChangedInfo : public TkvUpdateControlInfo {
public:
    std::string Describe() const override { return "Layout"; }
};

class TkvUpdateRecordInfo : public TkvUpdateControlInfo {
public:
    explicit TkvUpdateRecordInfo(int recordIndex) : RecordIndex(recordIndex) {}
    std::string Describe() const override { return "UpdateRecord(" + std::to_string(RecordIndex) + ")"; }
    int RecordIndex;
};

class TkvFocusedRowChangedInfo : public TkvUpdateControlInfo {
public:
    TkvFocusedRowChangedInfo(int prevFocusedRowIndex, int focusedRowIndex)
        : PrevFocusedRowIndex(prevFocusedRowIndex), FocusedRowIndex(focusedRowIndex)
    {
    }
    std::string Describe() const override
    {
        return "FocusedRow(" + std::to_string(PrevFocusedRowIndex) + "->" + std::to_string(FocusedRowIndex) +
               ")";
    }
    int PrevFocusedRowIndex;
    int FocusedRowIndex;
};

class TkvFocusedRecordChangedInfo : public TkvUpdateControlInfo {
public:
    TkvFocusedRecordChangedInfo(int prevFocusedRecordIndex, int focusedRecordIndex, int prevFocusedRowIndex,
                                int focusedRowIndex, bool newItemRowFocusingChanged)
        : PrevFocusedRecordIndex(prevFocusedRecordIndex), FocusedRecordIndex(focusedRecordIndex),
          PrevFocusedRowIndex(prevFocusedRowIndex), FocusedRowIndex(focusedRowIndex),
          NewItemRowFocusingChanged(newItemRowFocusingChanged)
    {
    }
    std::string Describe() const override
    {
        return "FocusedRecord(" + std::to_string(PrevFocusedRecordIndex) + "->" +
               std::to_string(FocusedRecordIndex) + ")";
    }
    int PrevFocusedRecordIndex;
    int FocusedRecordIndex;
    int PrevFocusedRowIndex;
    int FocusedRowIndex;
    bool NewItemRowFocusingChanged;
};

class TkvSelectionChangedInfo : public TkvUpdateControlInfo {
public:
    //! -1 for "none or several rows".
    TkvSelectionChangedInfo(int prevSelectedRowIndex, int selectedRowIndex)
        : PrevSelectedRowIndex(prevSelectedRowIndex), SelectedRowIndex(selectedRowIndex)
    {
    }
    std::string Describe() const override
    {
        return "Selection(" + std::to_string(PrevSelectedRowIndex) + "->" + std::to_string(SelectedRowIndex) +
               ")";
    }
    int PrevSelectedRowIndex;
    int SelectedRowIndex;
};

class TkvSearchChangedInfo : public TkvUpdateControlInfo {
public:
    std::string Describe() const override { return "Search"; }
};

class TkvBookmarkChangedInfo : public TkvUpdateControlInfo {
public:
    std::string Describe() const override { return "Bookmark"; }
};

const char *DataChangeKindName(TkvDataChangeKind kind);

} // namespace kestrum
