#pragma once
// The grid's row source over a real data controller: the view's items
// become the controller's fields, rows, grouping and summaries are read from
// it, and its change notifications become the view's notices. The record-set
// variant binds columns to fields by name.
#include "data/DbDataController.h"
#include "data/DataController.h"
#include "data/DataSummary.h"
#include "filter/DataFilterCriteria.h"
#include "grid/GridRowSource.h"

#include <memory>

namespace kestrum {

class TkvCustomGridTableItem;
class TkvCustomGridTableView;
class TkvGridColumn;

class TkvGridDataControllerSource : public TkvGridRowSource, public IkvDataControllerOwner {
public:
    //! The controller is made by the caller with this object as its owner (see Create).
    explicit TkvGridDataControllerSource(TkvCustomGridTableView *view);
    ~TkvGridDataControllerSource() override;

    //! A source over a controller without a record set.
    static std::unique_ptr<TkvGridDataControllerSource> Create(TkvCustomGridTableView *view);
    //! A source over a record-set controller (columns bind by field name).
    static std::unique_ptr<TkvGridDataControllerSource> CreateDB(TkvCustomGridTableView *view);

    TkvCustomDataController &Controller() const { return *FController; }
    //! The record-set controller, or nullptr for a plain one.
    TkvGridDBDataController *DBController() const
    {
        return dynamic_cast<TkvGridDBDataController *>(FController.get());
    }
    //! The controller's summaries (footer items, default group items, summary groups).
    TkvDataSummary *Summary() const;

    // TkvGridRowSource.
    void ItemAdded(int itemIndex) override;
    void ItemRemoved(int itemIndex) override;
    void ItemMoved(int fromIndex, int toIndex) override;
    QString FieldName(int itemIndex) const override;
    void SetFieldName(int itemIndex, const QString &fieldName) override;
    TkvGridFieldInfo FieldInfo(int itemIndex) const override;
    void EndLoading() override;
    int RowCount() const override { return FController->RowCount(); }
    TkvGridRowInfo GetRowInfo(int rowIndex) const override;
    int RecordCount() const override { return FController->RecordCount(); }
    int GetRowIndexByRecordIndex(int recordIndex, bool makeVisible) override;
    QString DisplayText(int recordIndex, int itemIndex) const override;
    Variant Value(int recordIndex, int itemIndex) const override;
    int GroupingItemCount() const override;
    int GroupingItemIndex(int level) const override;
    int ItemGroupIndex(int itemIndex) const override;
    void PlaceInGrouping(int itemIndex, int groupIndex) override;
    void ChangeExpanding(int rowIndex, bool expanded, bool recursive) override;
    TkvGridSortMark ItemSortOrder(int itemIndex) const override;
    void ApplySortOrder(int itemIndex, TkvGridSortMark order) override;
    void ResetSorting(bool keepGrouped) override;
    QString GroupRowSummaryText(int rowIndex) const override;
    QString GroupFooterText(int rowIndex, int level, int itemIndex) const override;
    int ItemSortIndex(int itemIndex) const override;
    QString FooterText(int itemIndex) const override;
    int FilterConditionCount() const override { return FController->Filter().ConditionCount(); }
    QString FilterCaption() const override { return FController->Filter().FilterCaption(); }
    bool FilterActive() const override { return FController->Filter().IsActive(); }
    bool ItemHasFilterCondition(int itemIndex) const override;
    //! The controller's filter criteria (every source's controller owns one).
    TkvDataFilterCriteria *Filter() const { return DataFilterCriteriaOf(*FController); }
    int FocusedRowIndex() const override { return FController->FocusedRowIndex(); }
    bool ChangeFocusedRowIndex(int rowIndex) override { return FController->ChangeFocusedRowIndex(rowIndex); }
    bool IsRowSelected(int rowIndex) const override { return FController->IsRowSelected(rowIndex); }
    bool IsEditing() const override { return FController->IsEditing(); }
    int EditingRecordIndex() const override { return FController->EditingRecordIndex(); }
    int NewItemRecordIndex() const override;
    bool NewItemRowFocused() const override { return FController->NewItemRowFocused(); }
    bool SetNewItemRowFocused(bool focused) override { return FController->SetNewItemRowFocused(focused); }
    bool CanEdit() const override;
    void BeginBatch() override { FController->BeginBatch(); }
    void EndBatch() override { FController->EndBatch(); }
    bool IsInserting() const override;
    bool IsModified() const override;
    bool CanAppend() const override;
    bool CanInsert() const override;
    bool CanDelete() const override;
    void Append() override { FController->Append(); }
    void Insert() override { FController->Insert(); }
    void Post() override { FController->Post(); }
    void Cancel() override { FController->Cancel(); }
    void DeleteFocused() override { FController->DeleteFocused(); }
    void DeleteSelection() override { FController->DeleteSelection(); }
    void UpdateData() override { FController->UpdateData(); }
    bool IsGridMode() const override { return FController->Provider().IsGridMode(); }
    void GotoFirst() override { FController->GotoFirst(); }
    void GotoLast() override { FController->GotoLast(); }
    bool IsIncSearching() const override { return FController->IsIncrementalSearching(); }
    QString IncSearchText() const override { return FController->IncrementalSearchText(); }
    bool Locate(int itemIndex, const QString &text) override { return FController->Locate(itemIndex, text); }
    bool LocateNext(bool forward) override { return FController->LocateNext(forward); }
    void CancelIncSearch() override { FController->CancelIncrementalSearch(); }
    void SetMultiSelect(bool value) override { FController->SetMultiSelect(value); }
    int SelectedRowCount() const override { return FController->SelectedRowCount(); }
    void ChangeRowSelection(int rowIndex, bool selected) override;
    void ClearSelection() override { FController->ClearSelection(); }
    void SelectRows(int fromRowIndex, int toRowIndex, bool replace) override;
    void SelectAll() override;
    int SelectionAnchor() const override { return FController->Selection().AnchorRowIndex(); }
    void SetSelectionAnchor(int rowIndex) override { FController->Selection().SetAnchorRowIndex(rowIndex); }

    // IkvDataControllerOwner.
    bool IsLoading() const override;
    bool IsDestroying() const override;
    int VisibleRowCount() const override;
    int ItemID(TkvDataItem item) const override;
    TkvDataItem ItemByID(int id) const override;
    QString ItemCaption(TkvDataItem item) const override;
    QString ItemFieldName(TkvDataItem item) const override;
    //! The view's cell editor is open: the record set's update asks it for its value.
    bool IsWritingEditorValue() const override;
    void PostEditorValue() override;

private:
    void HandleUpdate(const TkvUpdateControlInfo &info);
    //! The row that shows the previously focused record now.
    int PreviousFocusRowNow(int prevRowIndex) const;
    TkvDataItem ItemAt(int itemIndex) const;
    void UpdateItemIndexes();

    TkvCustomGridTableView *FGridView;
    std::unique_ptr<TkvCustomDataController> FController;
    //! Field names of a controller without a record set, kept per item.
    std::vector<QString> FFieldNames;
    int FDeliveredPrevRow = -2;
    int FDeliveredRow = -2;
};

//! A summary item's column (its linked item), or nullptr.
TkvGridColumn *SummaryItemColumn(const TkvCustomDataSummaryItem &item);
//! Shows a summary item in a column's footer cell or group row (its linked item).
void SetSummaryItemColumn(TkvCustomDataSummaryItem &item, TkvGridColumn *column);
//! Deletes every summary item and summary group link of a column that leaves the view.
void DeleteSummaryItemsOfColumn(TkvDataSummary &summary, const TkvCustomGridTableItem *column);

//! The grid field kind of a record-set field type.
TkvGridFieldKind GridFieldKind(TFieldType type);

} // namespace kestrum
