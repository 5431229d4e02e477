#pragma once
// The selected rows of a controller, sorted by row index.
#include <functional>
#include <vector>

namespace kestrum {

struct TkvDataSelectionEntry {
    int RowIndex = -1;
    int RecordIndex = -1; //!< for a group row, its first record
    int Level = 0;
    bool IsGroupRow = false;
};

class TkvDataSelection {
public:
    //! Called after every change of the list.
    std::function<void()> OnChanged;

    int Count() const { return int(FItems.size()); }
    const TkvDataSelectionEntry &Items(int index) const { return FItems[std::size_t(index)]; }
    //! Position of the row's entry (bisection), -1 when not selected.
    int FindByRowIndex(int rowIndex) const;
    bool IsRowSelected(int rowIndex) const { return FindByRowIndex(rowIndex) >= 0; }
    //! Whether a data row of the record is selected (bisection).
    bool IsRecordSelected(int recordIndex) const;
    void Add(const TkvDataSelectionEntry &entry);
    void RemoveRow(int rowIndex);
    void Clear();
    //! Replaces every entry at once (one change); row indexes need not be
    //! final, the next row rebuild derives them again.
    void Assign(std::vector<TkvDataSelectionEntry> entries);
    //! Drops entries whose record index is not below `recordCount`.
    void DropRecordsFrom(int recordCount);
    //! Re-derives each entry's row index; entries without a row are dropped.
    void UpdateRowIndexes(const std::function<int(const TkvDataSelectionEntry &)> &rowIndexOf);
    //! The record indexes of the data rows, sorted, without duplicates.
    std::vector<int> RecordIndexes() const;

    int AnchorRowIndex() const { return FAnchorRowIndex; }
    void SetAnchorRowIndex(int rowIndex) { FAnchorRowIndex = rowIndex; }

private:
    void Changed();
    std::vector<TkvDataSelectionEntry> FItems;
    int FAnchorRowIndex = -1;
    // The record indexes of the data rows, sorted: a summary over selected
    // records asks once per record, so the answer must not scan the list.
    mutable std::vector<int> FSelectedRecords;
    mutable bool FSelectedRecordsValid = false;
};

} // namespace kestrum
