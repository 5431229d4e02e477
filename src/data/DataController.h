#pragma once
// The in-memory model behind one grid view: records in typed storage, the
// visible rows derived from them, focus, selection, editing through a provider
// and change notification to the owner. The controller keeps the fields, the
// values and the update brackets; each other concept is a collaborator it
// forwards to: editing, notification, navigation, records, filters, search.
#include "core/Variant.h"
#include "data/DataControllerEditing.h"
#include "data/DataControllerFilters.h"
#include "data/DataControllerHooks.h"
#include "data/DataControllerInfo.h"
#include "data/DataControllerNavigation.h"
#include "data/DataControllerNotify.h"
#include "data/DataControllerRecords.h"
#include "data/DataControllerSearch.h"
#include "data/DataControllerTypes.h"
#include "data/DataField.h"
#include "data/DataProvider.h"
#include "data/DataRelations.h"
#include "data/DataStorage.h"
#include "data/FilterCriteriaInterface.h"
#include "data/UpdateControlInfo.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

//! What the controller asks of the object that owns it (the grid view).
class IkvDataControllerOwner {
public:
    virtual ~IkvDataControllerOwner() = default;
    //! While loading or being destroyed the controller fires no events.
    virtual bool IsLoading() const { return false; }
    virtual bool IsDestroying() const { return false; }
    //! Whether sorting by display text applies to the item.
    virtual bool NeedsDisplayTextForSorting(int itemIndex) const { return (void)itemIndex, false; }
    //! Focus the editor of an item; true when it did.
    virtual bool FocusItemEditor(TkvDataItem item) { return (void)item, false; }
    //! An in-place editor is writing a value; PostEditorValue writes it now.
    virtual bool IsWritingEditorValue() const { return false; }
    virtual void PostEditorValue() {}
    //! The value type of an item changed (its editor may need other settings).
    virtual void ItemValueTypeChanged(int itemIndex) { (void)itemIndex; }
    //! Whether a blob-like or Boolean item shows its field's display text
    //! (which is then stored beside the value).
    virtual bool WantsDisplayText(TkvDataItem item) const { return (void)item, false; }
    //! Rows the view shows (for the grid-mode buffer).
    virtual int VisibleRowCount() const { return 0; }
    //! The item's ID as stored criteria name it; -1 when the owner numbers no
    //! items (the item index then stands in).
    virtual int ItemID(TkvDataItem item) const { return (void)item, -1; }
    virtual TkvDataItem ItemByID(int id) const { return (void)id, nullptr; }
    //! The caption a filter caption shows for the item.
    virtual QString ItemCaption(TkvDataItem item) const { return (void)item, QString(); }
    //! The field name a filter expression uses for the item (controllers
    //! bound to a record set use the bound field's name).
    virtual QString ItemFieldName(TkvDataItem item) const { return (void)item, QString(); }
};

//! `OnCompare`: the handler sets `compare` (starting at 0).
using TkvDataControllerCompareEvent =
    std::function<void(TkvCustomDataController *dataController, int recordIndex1, int recordIndex2,
                       int itemIndex, const Variant &v1, const Variant &v2, int &compare)>;
using TkvDataRecordChangedEvent =
    std::function<void(TkvCustomDataController *dataController, int recordIndex, int itemIndex)>;
using TkvNotifyEvent = std::function<void(TkvCustomDataController *sender)>;

class TkvCustomDataController {
public:
    explicit TkvCustomDataController(IkvDataControllerOwner *owner = nullptr);
    virtual ~TkvCustomDataController();
    TkvCustomDataController(const TkvCustomDataController &) = delete;
    TkvCustomDataController &operator=(const TkvCustomDataController &) = delete;

    // Companions.
    TkvDataStorage &Storage() { return *FStorage; }
    const TkvDataStorage &Storage() const { return *FStorage; }
    TkvCustomDataProvider &Provider() const { return *FProvider; }
    TkvCustomDataFieldList &Fields() { return *FFields; }
    const TkvCustomDataFieldList &Fields() const { return *FFields; }
    TkvCustomDataControllerInfo &Info() { return *FInfo; }
    const TkvCustomDataControllerInfo &Info() const { return *FInfo; }
    IkvDataSorting *Sorting() const { return FHooks.Sorting.get(); }
    IkvDataGrouping *Grouping() const { return FHooks.Grouping.get(); }
    IkvDataSummaryHook *SummaryHook() const { return FHooks.Summary.get(); }
    IkvDataControllerOwner *Owner() const { return FOwner; }
    bool IsOwnerLoading() const { return FOwner && FOwner->IsLoading(); }
    bool IsOwnerDestroying() const { return FOwner && FOwner->IsDestroying(); }
    bool IsSelectionSummarised() const { return FHooks.Summary && FHooks.Summary->SummarisesSelection(); }
    TkvDataControllerEditing &Editing() { return FEditing; }
    const TkvDataControllerEditing &Editing() const { return FEditing; }
    TkvDataControllerNotifier &Notifier() { return FNotifier; }
    const TkvDataControllerNotifier &Notifier() const { return FNotifier; }
    TkvDataControllerSearch &IncrementalSearch() { return FSearch; }
    const TkvDataControllerSearch &IncrementalSearch() const { return FSearch; }

    //! The filter criteria (empty until one is assigned).
    IkvFilterCriteria &Filter() const { return FFilters.Criteria(); }
    //! Uses a criteria the caller keeps (null: none).
    void SetFilter(IkvFilterCriteria *criteria) { FFilters.SetCriteria(criteria); }
    //! Takes a criteria over; it lives as long as the controller.
    void AdoptFilter(std::unique_ptr<IkvFilterCriteria> criteria)
    {
        FFilters.AdoptCriteria(std::move(criteria));
    }
    //! The criteria changed: the records are filtered again (not reloaded).
    void FilterChanged();

    TkvDataControllerOptions Options() const { return FOptions; }
    void SetOptions(TkvDataControllerOptions options);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value) { FMultiSelect = value; }

    // Fields and items.
    TkvCustomDataField *AttachItem(TkvDataItem item);
    void DetachItem(TkvDataItem item);
    void UpdateItemIndexes(const std::vector<TkvDataItem> &items);
    int ItemCount() const { return FFields->ItemCount(); }
    //! The field of an item index; raises "ItemIndex out of range".
    TkvCustomDataField *GetItemField(int itemIndex) const;
    TkvDataItem GetItem(int itemIndex) const { return GetItemField(itemIndex)->Item(); }
    int GetItemIndex(TkvDataItem item) const;
    TkvValueTypeClass GetItemValueTypeClass(int itemIndex) const;
    void ChangeValueTypeClass(int itemIndex, TkvValueTypeClass valueTypeClass);
    bool GetItemTextStored(int itemIndex) const;
    void ChangeTextStorage(int itemIndex, bool stored);
    //! Whether sorting compares the item's stored values as variants.
    void ChangeCompareByValue(int itemIndex, bool value);
    //! The way an item's values compare changed (compare-by-value, display-text
    //! sorting): the view repaints, a sort or grouping on it is applied again.
    void ItemComparisonModeChanged(int itemIndex);
    //! Asks the provider to re-bind every field.
    void UpdateFields();
    //! The internal field that holds each record's row number in its source
    //! while values are not held in memory (grid mode); null otherwise.
    TkvCustomDataField *RecordNumberField() const { return FRecordNumberField; }
    //! Adds an internal field (after the item fields).
    TkvCustomDataField *AddInternalField(TkvValueTypeClass valueTypeClass);
    void RemoveField(TkvCustomDataField *field);

    // Values.
    Variant GetValue(int recordIndex, int itemIndex) const;
    QString GetDisplayText(int recordIndex, int itemIndex) const;
    Variant Values(int recordIndex, int itemIndex) const { return GetValue(recordIndex, itemIndex); }
    QString DisplayTexts(int recordIndex, int itemIndex) const
    {
        return GetDisplayText(recordIndex, itemIndex);
    }
    void SetValue(int recordIndex, int itemIndex, const Variant &value);
    void SetDisplayText(int recordIndex, int itemIndex, const QString &text);
    //! Values of a field by record (no item check; internal fields too).
    Variant GetFieldValue(int recordIndex, const TkvCustomDataField *field) const;
    QString GetFieldDisplayText(int recordIndex, const TkvCustomDataField *field) const;

    // Records.
    int RecordCount() const { return FStorage->RecordCount(); }
    void SetRecordCount(int count) { FRecords.SetRecordCount(count); }
    int AppendRecord() { return FRecords.AppendRecord(); }
    int InsertRecord(int recordIndex) { return FRecords.InsertRecord(recordIndex); }
    void DeleteRecord(int recordIndex) { FRecords.DeleteRecord(recordIndex); }
    //! Every item value of the record becomes Null (its display text empty).
    void ClearRecordValues(int recordIndex);
    //! Raises "RecordIndex out of range" unless 0 <= index < count or the new-item record.
    void CheckRecordIndex(int recordIndex) const;

    // Rows and focus.
    int RowCount() const { return FInfo->RowCount(); }
    //! Raises "RowIndex out of range".
    TkvRowInfo GetRowInfo(int rowIndex) const;
    int GetRowRecordIndex(int rowIndex) const { return GetRowInfo(rowIndex).RecordIndex; }
    int GetRowIndexByRecordIndex(int recordIndex, bool makeVisible);
    int FocusedRowIndex() const { return FInfo->FocusingInfo().RowIndex; }
    //! The focused record; the new-item record while the new-item row has the focus.
    int FocusedRecordIndex() const
    {
        return NewItemRowFocused() ? NewItemRecordIndex() : FInfo->FocusingInfo().RecordIndex;
    }
    bool ChangeFocusedRowIndex(int rowIndex) { return FNavigation.ChangeFocusedRowIndex(rowIndex); }
    bool ChangeFocusedRecordIndex(int recordIndex)
    {
        return FNavigation.ChangeFocusedRecordIndex(recordIndex);
    }
    void SetFocusedRowIndex(int rowIndex) { ChangeFocusedRowIndex(rowIndex); }
    void SetFocusedRecordIndex(int recordIndex) { ChangeFocusedRecordIndex(recordIndex); }
    void GotoFirst() { FNavigation.GotoFirst(); }
    void GotoLast() { FNavigation.GotoLast(); }
    void GotoNext() { FNavigation.ShiftCursor(1); }
    void GotoPrev() { FNavigation.ShiftCursor(-1); }
    void ShiftCursor(int distance) { FNavigation.ShiftCursor(distance); }
    bool IsBOF() const { return FNavigation.IsBOF(); }
    bool IsEOF() const { return FNavigation.IsEOF(); }
    //! Whether the source decides the focus (the provider follows its current record).
    bool IsFocusFollowingSource() const;
    //! The record a row stands for when focusing (a group row's first record).
    int RecordIndexForFocus(int rowIndex) const;
    //! The provider is asked whether the record may be focused (moves the source).
    virtual bool CanFocusRecord(int recordIndex);

    // Selection.
    TkvDataSelection &Selection() { return FInfo->Selection(); }
    const TkvDataSelection &Selection() const { return FInfo->Selection(); }
    void ChangeRowSelection(int rowIndex, bool selected);
    void ClearSelection();
    bool IsRowSelected(int rowIndex) const { return Selection().IsRowSelected(rowIndex); }
    int SelectedRowCount() const { return Selection().Count(); }

    // Editing.
    void Append() { FEditing.Append(); }
    void Insert() { FEditing.Insert(); }
    void Edit() { FEditing.Edit(); }
    void Post() { FEditing.Post(); }
    void Cancel() { FEditing.Cancel(); }
    void DeleteFocused() { FEditing.DeleteFocused(); }
    void DeleteSelection() { FEditing.DeleteSelection(); }
    void UpdateData() { FEditing.UpdateData(); }
    Variant ReadEditValue(int itemIndex, TkvDataEditValueSource source = TkvDataEditValueSource::evsValue)
    {
        return FEditing.ReadEditValue(itemIndex, source);
    }
    bool WriteEditValue(int itemIndex, const Variant &value,
                        TkvDataEditValueSource source = TkvDataEditValueSource::evsValue)
    {
        return FEditing.WriteEditValue(itemIndex, value, source);
    }
    TkvDataControllerEditState EditState() const { return FEditing.EditState(); }
    TkvDataControllerEditOperations EditOperations() const { return FEditing.EditOperations(); }
    bool IsEditing() const { return FEditing.IsEditing(); }
    //! The record being edited or inserted (-1 none).
    int EditingRecordIndex() const { return FEditing.EditingRecordIndex(); }
    //! The internal record of the owner's new-item row (allocated on first use).
    int NewItemRecordIndex() const { return FEditing.NewItemRecordIndex(); }
    //! The owner's new-item row has the focus: no row is focused and the record
    //! set stays where it was; the first edit begins an entry there (the record
    //! set appends), posting adds it to the rows and the row keeps the focus.
    bool NewItemRowFocused() const { return FInfo->FocusingInfo().NewItemRowFocused; }
    //! Focuses the new-item row (a record being edited is posted first, or
    //! cancelled when unchanged) or leaves it (its entry is posted, or
    //! cancelled when unchanged, and no row is focused); false when refused.
    bool SetNewItemRowFocused(bool focused) { return FEditing.SetNewItemRowFocused(focused); }
    //! An entry begun on the new-item row is being edited.
    bool IsEditingNewItem() const { return FEditing.IsEditingNewItem(); }

    // Update brackets and notification.
    void BeginBatch();
    void EndBatch();
    //! Adds pending change flags; delivers at once when unlocked.
    void Change(TkvDataControllerChanges changes);
    //! Records a data change (merged with a pending one) and refreshes rows.
    void DataChanged(TkvDataChangeKind kind, int itemIndex, int recordIndex);
    //! Records row-builder work (sorting, grouping, summaries ask for it here).
    void InfoChanged(TkvDataControllerInfoChanges changes);
    virtual void LayoutChanged();
    //! Reloads all records from the provider (a dckAll data change).
    void Refresh() { DataChanged(dckAll, -1, -1); }
    bool IsLocked() const { return FInfo->LockCount() > 0; }
    //! The data change not yet delivered.
    TkvDataChangeKind PendingDataChangeKind() const { return FNotifier.PendingDataChangeKind(); }
    void SetUpdateControlHandler(TkvUpdateControlHandler handler)
    {
        FNotifier.SetUpdateControlHandler(std::move(handler));
    }
    int AddDataChangedListener(std::function<void()> listener)
    {
        return FNotifier.AddDataChangedListener(std::move(listener));
    }
    void RemoveDataChangedListener(int id) { FNotifier.RemoveDataChangedListener(id); }

    // Master-detail relations (created on first use).
    TkvDataRelationList &Relations();
    bool HasRelations() const { return FRelations && FRelations->Count() > 0; }
    //! The relations when any were asked for (null otherwise).
    TkvDataRelationList *RelationsIfAny() const { return FRelations.get(); }
    bool IsDetailExpanded(int recordIndex) const
    {
        return FRelations && FRelations->IsDetailExpanded(recordIndex);
    }
    //! Expands or collapses the details of a master record.
    void ChangeDetailExpanding(int recordIndex, bool expanded);

    //! Whether the storage was structured for another mode than the provider
    //! works in now (grouping switched grid mode on or off).
    bool IsStructureStale() const { return FStructuredGridMode != FProvider->IsGridMode(); }

    // Find filter, incremental search and locating.
    //! The find filter: the item's display text must begin with the text.
    void SetFindFilter(int itemIndex, const QString &text) { FFilters.SetFindFilter(itemIndex, text); }
    void ClearFindFilter() { SetFindFilter(-1, QString()); }
    int FindFilterItemIndex() const { return FFilters.FindFilterItemIndex(); }
    const QString &FindFilterText() const { return FFilters.FindFilterText(); }
    bool Locate(int itemIndex, const QString &text) { return FSearch.Locate(itemIndex, text); }
    bool LocateNext(bool forward) { return FSearch.LocateNext(forward); }
    void CancelIncrementalSearch() { FSearch.Cancel(); }
    bool IsIncrementalSearching() const { return FSearch.IsSearching(); }
    int IncrementalSearchItemIndex() const { return FSearch.ItemIndex(); }
    const QString &IncrementalSearchText() const { return FSearch.Text(); }
    //! The first record whose fields all equal the values (record comparison of
    //! a scratch record filled with them), or -1.
    int FindRecordIndexByValues(const std::vector<TkvCustomDataField *> &fields,
                                const std::vector<Variant> &values)
    {
        return FSearch.FindRecordIndexByValues(fields, values);
    }
    //! Whether the record passes the find filter and the filter criteria.
    bool IsRecordVisibleByFilters(int recordIndex) { return FFilters.IsRecordVisible(recordIndex); }

    // Events (the ledger assigns none).
    TkvDataControllerCompareEvent OnCompare;
    TkvNotifyEvent OnDataChanged;
    TkvDataRecordChangedEvent OnRecordChanged;
    TkvNotifyEvent OnGroupingChanged;
    TkvNotifyEvent OnSortingChanged;

    //! The owner finished loading: deferred events fire now.
    void OwnerLoaded() { FNotifier.OwnerLoaded(); }

protected:
    friend class TkvCustomDataControllerInfo;

    //! Replaces the provider (the constructors of descendants choose theirs).
    void SetProvider(std::unique_ptr<TkvCustomDataProvider> provider);
    //! Makes the field object for an item (descendants add their binding).
    virtual std::unique_ptr<TkvCustomDataField> CreateField(TkvDataItem item, bool isInternal);
    //! Provider editing ends, records and selection are cleared, layout sent.
    virtual void Restructure();
    //! Re-binds fields before a reload (descendants bind by name).
    virtual void BeforeReload() {}
    //! Called by the row builder after it rebuilt the rows.
    void RowsUpdated(TkvDataControllerInfoChanges changes);
    void CheckChange();

    std::unique_ptr<TkvDataStorage> FStorage;
    std::unique_ptr<TkvCustomDataFieldList> FFields;
    std::unique_ptr<TkvCustomDataProvider> FProvider;
    std::unique_ptr<TkvCustomDataControllerInfo> FInfo;
    std::unique_ptr<TkvDataRelationList> FRelations;
    TkvCustomDataField *FRecordNumberField = nullptr;
    bool FStructuredGridMode = false;
    TkvDataControllerHooks FHooks;
    IkvDataControllerOwner *FOwner;
    TkvDataControllerOptions FOptions = DefaultDataControllerOptions;
    bool FMultiSelect = false;

    TkvDataControllerNotifier FNotifier{*this};
    TkvDataControllerEditing FEditing{*this};
    TkvDataControllerNavigation FNavigation{*this};
    TkvDataControllerRecords FRecords{*this};
    TkvDataControllerSearch FSearch{*this};
    TkvDataControllerFilters FFilters{*this};
};

} // namespace kestrum
