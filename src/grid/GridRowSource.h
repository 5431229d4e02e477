#pragma once
// What a grid view needs from its data controller, as a narrow interface:
// rows with their level, record and expansion, display texts, grouping,
// summaries, focus and selection, and the item bookkeeping that columns
// trigger. The view owns one; the record-set controller is reached through
// an adapter, and tests drive the grid with a small table of their own.
#include "core/Variant.h"
#include "grid/GridTypes.h"

#include <QString>

#include <vector>

namespace kestrum {

//! A copy of the controller's information about one row.
struct TkvGridRowInfo {
    int Level = 0;
    int RecordIndex = -1;
    bool Expanded = false;
};

//! The record-set field behind an item, as far as the grid needs it.
enum class TkvGridFieldKind : std::uint8_t {
    Unknown,
    String,
    WideString,
    FixedChar,
    Smallint,
    Integer,
    Word,
    Largeint,
    AutoInc,
    Boolean,
    Float,
    Currency,
    BCD,
    FMTBcd,
    Date,
    Time,
    DateTime,
    TimeStamp,
    Memo,
    FmtMemo,
    Graphic,
    Bytes,
    VarBytes,
    Blob,
    ParadoxOle,
    DBaseOle,
    TypedBinary,
    Variant,
    Guid,
};

struct TkvGridFieldInfo {
    bool Exists = false;  //!< false: the field name names no field of the record set
    QString DisplayName;  //!< display label, or the field name when it has none
    int DisplayWidth = 0; //!< in characters
    TkvGridAlignmentHorz Alignment = TkvGridAlignmentHorz::LeftJustify;
    TkvGridFieldKind Kind = TkvGridFieldKind::Unknown;
    bool IsLookup = false;
    bool IsCurrency = false; //!< a BCD field flagged as currency (otherwise a floating BCD)
    bool ReadOnly = false;   //!< the field cannot be modified
    int MaxLength = 0;       //!< characters a string field holds; 0 for no limit
    QString DisplayFormat;   //!< the field's own display and edit formats; empty when none
    QString EditFormat;
};

//! The controller's notices, delivered to the view that owns the source.
class TkvGridRowSourceListener {
public:
    virtual ~TkvGridRowSourceListener() = default;
    virtual void SourceDataChanged() = 0;
    virtual void SourceLayoutChanged() = 0;
    virtual void SourceFocusedRecordChanged(int previousRowIndex, int newRowIndex,
                                            bool newItemRowFocusChanged) = 0;
    virtual void SourceSelectionChanged(const std::vector<int> &changedRowIndexes) = 0;
    virtual void SourceSearchChanged() = 0;
    virtual void SourceUpdateRecord(int recordIndex) = 0;
};

class TkvGridRowSource {
public:
    virtual ~TkvGridRowSource() = default;

    void SetListener(TkvGridRowSourceListener *listener) { FListener = listener; }
    TkvGridRowSourceListener *Listener() const { return FListener; }

    // Items: the view tells the controller about its columns.
    virtual void ItemAdded(int itemIndex) = 0;
    virtual void ItemRemoved(int itemIndex) = 0;
    virtual void ItemMoved(int fromIndex, int toIndex) = 0;
    virtual QString FieldName(int itemIndex) const = 0;
    virtual void SetFieldName(int itemIndex, const QString &fieldName) = 0;
    virtual TkvGridFieldInfo FieldInfo(int itemIndex) const = 0;
    //! The view's loading ended: bind to the source and load.
    virtual void EndLoading() {}

    // Rows.
    virtual int RowCount() const = 0;
    virtual TkvGridRowInfo GetRowInfo(int rowIndex) const = 0;
    virtual int RecordCount() const = 0;
    //! The row showing the record, -1 when none; makeVisible expands collapsed groups.
    virtual int GetRowIndexByRecordIndex(int recordIndex, bool makeVisible) = 0;
    virtual QString DisplayText(int recordIndex, int itemIndex) const = 0;
    //! The stored value; Empty when the source keeps only texts.
    virtual Variant Value(int recordIndex, int itemIndex) const
    {
        return (void)recordIndex, (void)itemIndex, Variant();
    }

    // Grouping.
    virtual int GroupingItemCount() const = 0;
    virtual int GroupingItemIndex(int level) const = 0;
    virtual int ItemGroupIndex(int itemIndex) const = 0;
    virtual void PlaceInGrouping(int itemIndex, int groupIndex) = 0;
    virtual void ChangeExpanding(int rowIndex, bool expanded, bool recursive) = 0;
    virtual TkvGridSortMark ItemSortOrder(int) const { return TkvGridSortMark::None; }
    //! The item's position in the sorting list, -1 when it is not sorted.
    virtual int ItemSortIndex(int) const { return -1; }

    // Sorting.
    //! Sets the item's order in the sorting list (None removes it).
    virtual void ApplySortOrder(int itemIndex, TkvGridSortMark order) { (void)itemIndex, (void)order; }
    //! Clears the sorting of every item, or of every item that is not grouped.
    virtual void ResetSorting(bool keepGrouped) { (void)keepGrouped; }

    // Summaries, rendered to text by the controller's summary.
    virtual QString GroupRowSummaryText(int rowIndex) const = 0;
    //! The text of the first footer summary item linked to the item; empty when none.
    virtual QString FooterText(int itemIndex) const = 0;
    //! The footer text of the item in the footer of the group of a level around a row; empty when none.
    virtual QString GroupFooterText(int rowIndex, int level, int itemIndex) const
    {
        (void)rowIndex, (void)level, (void)itemIndex;
        return {};
    }

    // Filtering, as far as the filter box shows it.
    virtual int FilterConditionCount() const { return 0; }
    virtual QString FilterCaption() const { return {}; }
    virtual bool FilterActive() const { return false; }
    //! Whether a condition of the filter tests the item (its filter button shows it).
    virtual bool ItemHasFilterCondition(int itemIndex) const { return (void)itemIndex, false; }

    // Focus, selection and editing state.
    virtual int FocusedRowIndex() const = 0;
    virtual bool ChangeFocusedRowIndex(int rowIndex) = 0;
    virtual bool IsRowSelected(int rowIndex) const = 0;
    virtual bool IsEditing() const { return false; }
    virtual int EditingRecordIndex() const { return -1; }
    virtual int NewItemRecordIndex() const { return -2; }
    virtual bool CanEdit() const { return false; }

    // Update brackets: nested; the outermost end delivers the notices once.
    virtual void BeginBatch() {}
    virtual void EndBatch() {}

    // Record operations that keys and the mouse start (the source refuses what it cannot do).
    virtual bool IsInserting() const { return false; }
    //! The record being edited or inserted has changed values.
    virtual bool IsModified() const { return false; }
    virtual bool CanAppend() const { return false; }
    virtual bool CanInsert() const { return false; }
    virtual bool CanDelete() const { return false; }
    virtual void Append() {}
    virtual void Insert() {}
    virtual void Post() {}
    virtual void Cancel() {}
    virtual void DeleteFocused() {}
    virtual void DeleteSelection() {}
    //! Writes the values pending in bound editors into the record (it stays in edit state).
    virtual void UpdateData() {}
    //! Only a window of the source is held: Home and End move the source instead.
    virtual bool IsGridMode() const { return false; }
    virtual void GotoFirst() { ChangeFocusedRowIndex(0); }
    virtual void GotoLast() { ChangeFocusedRowIndex(RowCount() - 1); }

    // The new-item row's focus (the row is shown by the view; the source keeps its focus).
    virtual bool NewItemRowFocused() const { return false; }
    virtual bool SetNewItemRowFocused(bool focused) { return (void)focused, false; }

    // Incremental search.
    virtual bool IsIncSearching() const { return false; }
    virtual QString IncSearchText() const { return {}; }
    virtual bool Locate(int itemIndex, const QString &text) { return (void)itemIndex, (void)text, false; }
    virtual bool LocateNext(bool forward) { return (void)forward, false; }
    virtual void CancelIncSearch() {}

    // Several selected rows.
    virtual void SetMultiSelect(bool value) { (void)value; }
    virtual int SelectedRowCount() const { return IsRowSelected(FocusedRowIndex()) ? 1 : 0; }
    virtual void ChangeRowSelection(int rowIndex, bool selected) { (void)rowIndex, (void)selected; }
    virtual void ClearSelection() {}
    //! Selects the rows between the two (either order); replacing drops the other rows first.
    virtual void SelectRows(int fromRowIndex, int toRowIndex, bool replace)
    {
        (void)fromRowIndex, (void)toRowIndex, (void)replace;
    }
    virtual void SelectAll() {}
    //! The row a Shift range starts from; -1 when none.
    virtual int SelectionAnchor() const { return -1; }
    virtual void SetSelectionAnchor(int rowIndex) { (void)rowIndex; }

protected:
    TkvGridRowSourceListener *FListener = nullptr;
};

} // namespace kestrum
