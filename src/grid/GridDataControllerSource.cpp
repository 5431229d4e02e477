#include "grid/GridDataControllerSource.h"

#include "grid/GridEditingController.h"

#include "data/DataControllerGroups.h"
#include "data/DataControllerInfo.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "db/DbField.h"
#include "grid/GridTableView.h"

#include <algorithm>

namespace kestrum {

TkvGridDataControllerSource::TkvGridDataControllerSource(TkvCustomGridTableView *view) : FGridView(view)
{
}

TkvGridDataControllerSource::~TkvGridDataControllerSource()
{
    if (FController)
        FController->SetUpdateControlHandler(nullptr);
    FController.reset();
}

std::unique_ptr<TkvGridDataControllerSource> TkvGridDataControllerSource::Create(TkvCustomGridTableView *view)
{
    auto source = std::make_unique<TkvGridDataControllerSource>(view);
    source->FController = std::make_unique<TkvCustomDataController>(source.get());
    source->FController->AdoptFilter(std::make_unique<TkvDataFilterCriteria>(*source->FController));
    TkvGridDataControllerSource *raw = source.get();
    source->FController->SetUpdateControlHandler(
        [raw](const TkvUpdateControlInfo &info) { raw->HandleUpdate(info); });
    return source;
}

std::unique_ptr<TkvGridDataControllerSource>
TkvGridDataControllerSource::CreateDB(TkvCustomGridTableView *view)
{
    auto source = std::make_unique<TkvGridDataControllerSource>(view);
    source->FController = std::make_unique<TkvGridDBDataController>(source.get());
    source->FController->AdoptFilter(std::make_unique<TkvDBDataFilterCriteria>(*source->FController));
    TkvGridDataControllerSource *raw = source.get();
    source->FController->SetUpdateControlHandler(
        [raw](const TkvUpdateControlInfo &info) { raw->HandleUpdate(info); });
    return source;
}

TkvDataSummary *TkvGridDataControllerSource::Summary() const
{
    return DataSummaryOf(*FController);
}

TkvDataItem TkvGridDataControllerSource::ItemAt(int itemIndex) const
{
    return static_cast<TkvDataItem>(FGridView->Items(itemIndex));
}

void TkvGridDataControllerSource::UpdateItemIndexes()
{
    std::vector<TkvDataItem> items;
    items.reserve(static_cast<std::size_t>(FGridView->ItemCount()));
    for (int i = 0; i < FGridView->ItemCount(); ++i)
        items.push_back(ItemAt(i));
    FController->UpdateItemIndexes(items);
}

void TkvGridDataControllerSource::ItemAdded(int itemIndex)
{
    FFieldNames.insert(FFieldNames.begin() + itemIndex, QString());
    FController->AttachItem(ItemAt(itemIndex));
    UpdateItemIndexes();
}

void TkvGridDataControllerSource::ItemRemoved(int itemIndex)
{
    // The view has already taken the item out of its list; the controller's
    // field at that index is the one that goes.
    FController->DetachItem(FController->GetItem(itemIndex));
    FFieldNames.erase(FFieldNames.begin() + itemIndex);
    UpdateItemIndexes();
}

void TkvGridDataControllerSource::ItemMoved(int fromIndex, int toIndex)
{
    QString name = FFieldNames[static_cast<std::size_t>(fromIndex)];
    FFieldNames.erase(FFieldNames.begin() + fromIndex);
    FFieldNames.insert(FFieldNames.begin() + toIndex, name);
    UpdateItemIndexes();
}

QString TkvGridDataControllerSource::FieldName(int itemIndex) const
{
    if (TkvGridDBDataController *db = DBController())
        return db->GetItemFieldName(itemIndex);
    return itemIndex >= 0 && itemIndex < static_cast<int>(FFieldNames.size())
               ? FFieldNames[static_cast<std::size_t>(itemIndex)]
               : QString();
}

void TkvGridDataControllerSource::SetFieldName(int itemIndex, const QString &fieldName)
{
    if (TkvGridDBDataController *db = DBController())
        db->ChangeFieldName(itemIndex, fieldName);
    else
        FFieldNames[static_cast<std::size_t>(itemIndex)] = fieldName;
}

TkvGridFieldKind GridFieldKind(TFieldType type)
{
    switch (type) {
    case ftString:
        return TkvGridFieldKind::String;
    case ftSmallint:
        return TkvGridFieldKind::Smallint;
    case ftInteger:
        return TkvGridFieldKind::Integer;
    case ftWord:
        return TkvGridFieldKind::Word;
    case ftBoolean:
        return TkvGridFieldKind::Boolean;
    case ftFloat:
        return TkvGridFieldKind::Float;
    case ftCurrency:
        return TkvGridFieldKind::Currency;
    case ftBCD:
        return TkvGridFieldKind::BCD;
    case ftDate:
        return TkvGridFieldKind::Date;
    case ftTime:
        return TkvGridFieldKind::Time;
    case ftDateTime:
        return TkvGridFieldKind::DateTime;
    case ftBytes:
        return TkvGridFieldKind::Bytes;
    case ftVarBytes:
        return TkvGridFieldKind::VarBytes;
    case ftAutoInc:
        return TkvGridFieldKind::AutoInc;
    case ftBlob:
        return TkvGridFieldKind::Blob;
    case ftMemo:
        return TkvGridFieldKind::Memo;
    case ftFixedChar:
        return TkvGridFieldKind::FixedChar;
    case ftWideString:
        return TkvGridFieldKind::WideString;
    case ftLargeint:
        return TkvGridFieldKind::Largeint;
    case ftGuid:
        return TkvGridFieldKind::Guid;
    case ftTimeStamp:
        return TkvGridFieldKind::TimeStamp;
    case ftFMTBcd:
        return TkvGridFieldKind::FMTBcd;
    default:
        return TkvGridFieldKind::Unknown;
    }
}

TkvGridFieldInfo TkvGridDataControllerSource::FieldInfo(int itemIndex) const
{
    TkvGridFieldInfo info;
    TkvGridDBDataController *db = DBController();
    if (!db || itemIndex < 0 || itemIndex >= FController->ItemCount())
        return info;
    const TDbField *field = db->GetItemDataSetField(itemIndex);
    if (!field)
        return info;
    info.Exists = true;
    info.DisplayName = field->DisplayName();
    info.DisplayWidth = field->DisplayWidth();
    info.Alignment = field->Alignment() == taRightJustify ? TkvGridAlignmentHorz::RightJustify
                     : field->Alignment() == taCenter     ? TkvGridAlignmentHorz::Center
                                                          : TkvGridAlignmentHorz::LeftJustify;
    info.Kind = GridFieldKind(field->DataType());
    info.IsLookup = field->IsLookup();
    info.IsCurrency = field->Currency();
    info.ReadOnly = !field->CanModify();
    if (field->DataType() == ftString || field->DataType() == ftFixedChar ||
        field->DataType() == ftWideString)
        info.MaxLength = field->Size();
    info.DisplayFormat = field->DisplayFormat();
    info.EditFormat = field->EditFormat();
    return info;
}

void TkvGridDataControllerSource::EndLoading()
{
    if (TkvGridDBDataController *db = DBController())
        db->Loaded();
    else
        FController->OwnerLoaded();
}

TkvGridRowInfo TkvGridDataControllerSource::GetRowInfo(int rowIndex) const
{
    const TkvRowInfo info = FController->GetRowInfo(rowIndex);
    return {info.Level, info.RecordIndex, info.Expanded};
}

int TkvGridDataControllerSource::GetRowIndexByRecordIndex(int recordIndex, bool makeVisible)
{
    return FController->GetRowIndexByRecordIndex(recordIndex, makeVisible);
}

QString TkvGridDataControllerSource::DisplayText(int recordIndex, int itemIndex) const
{
    if (itemIndex < 0 || itemIndex >= FController->ItemCount())
        return {};
    return FController->GetDisplayText(recordIndex, itemIndex);
}

Variant TkvGridDataControllerSource::Value(int recordIndex, int itemIndex) const
{
    if (itemIndex < 0 || itemIndex >= FController->ItemCount())
        return Variant();
    return FController->GetValue(recordIndex, itemIndex);
}

int TkvGridDataControllerSource::GroupingItemCount() const
{
    const TkvDataControllerGroups *groups = DataGroupsOf(*FController);
    return groups ? groups->GroupingItemCount() : 0;
}

int TkvGridDataControllerSource::GroupingItemIndex(int level) const
{
    const TkvDataControllerGroups *groups = DataGroupsOf(*FController);
    return groups ? groups->GroupingItemIndex(level) : -1;
}

int TkvGridDataControllerSource::ItemGroupIndex(int itemIndex) const
{
    const TkvDataControllerGroups *groups = DataGroupsOf(*FController);
    return groups ? groups->ItemGroupIndex(itemIndex) : -1;
}

void TkvGridDataControllerSource::PlaceInGrouping(int itemIndex, int groupIndex)
{
    if (TkvDataControllerGroups *groups = DataGroupsOf(*FController))
        groups->PlaceInGrouping(itemIndex, groupIndex);
}

void TkvGridDataControllerSource::ChangeExpanding(int rowIndex, bool expanded, bool recursive)
{
    if (TkvDataControllerGroups *groups = DataGroupsOf(*FController))
        groups->ChangeExpanding(rowIndex, expanded, recursive);
}

TkvGridSortMark TkvGridDataControllerSource::ItemSortOrder(int itemIndex) const
{
    const TkvDataControllerSorting *sorting = DataSortingOf(*FController);
    if (!sorting)
        return TkvGridSortMark::None;
    switch (sorting->GetItemSortOrder(itemIndex)) {
    case soAscending:
        return TkvGridSortMark::Ascending;
    case soDescending:
        return TkvGridSortMark::Descending;
    default:
        return TkvGridSortMark::None;
    }
}

int TkvGridDataControllerSource::ItemSortIndex(int itemIndex) const
{
    const TkvDataControllerSorting *sorting = DataSortingOf(*FController);
    return sorting ? sorting->GetItemSortingIndex(itemIndex) : -1;
}

void TkvGridDataControllerSource::ApplySortOrder(int itemIndex, TkvGridSortMark order)
{
    TkvDataControllerSorting *sorting = DataSortingOf(*FController);
    if (!sorting)
        return;
    sorting->ApplySortOrder(itemIndex, order == TkvGridSortMark::Ascending    ? soAscending
                                       : order == TkvGridSortMark::Descending ? soDescending
                                                                              : soNone);
}

void TkvGridDataControllerSource::ResetSorting(bool keepGrouped)
{
    if (TkvDataControllerSorting *sorting = DataSortingOf(*FController))
        sorting->ResetSorting(keepGrouped);
}

QString TkvGridDataControllerSource::GroupRowSummaryText(int rowIndex) const
{
    const TkvDataSummary *summary = Summary();
    return summary ? summary->GroupRowSummary(rowIndex) : QString();
}

QString TkvGridDataControllerSource::GroupFooterText(int rowIndex, int level, int itemIndex) const
{
    const TkvDataSummary *summary = Summary();
    if (!summary)
        return {};
    // As in the view's footer, the first footer-positioned group item linked to the column decides.
    const int summaryIndex = summary->GroupFooterItemIndexOf(level, ItemAt(itemIndex));
    return summaryIndex >= 0 ? summary->GroupFooterText(rowIndex, level, summaryIndex) : QString();
}

QString TkvGridDataControllerSource::FooterText(int itemIndex) const
{
    const TkvDataSummary *summary = Summary();
    if (!summary)
        return {};
    // The first footer item linked to the column decides; later ones are not shown.
    const int footerIndex = summary->FooterItemIndexOf(ItemAt(itemIndex));
    return footerIndex >= 0 ? summary->FooterText(footerIndex) : QString();
}

int TkvGridDataControllerSource::NewItemRecordIndex() const
{
    return FController->NewItemRecordIndex();
}

bool TkvGridDataControllerSource::CanEdit() const
{
    return FController->EditOperations().Contains(deoEdit);
}

bool TkvGridDataControllerSource::IsInserting() const
{
    return FController->EditState().Contains(desInserting);
}

bool TkvGridDataControllerSource::IsModified() const
{
    return FController->EditState().Contains(desModified);
}

bool TkvGridDataControllerSource::CanAppend() const
{
    return FController->EditOperations().Contains(deoAppend);
}

bool TkvGridDataControllerSource::CanInsert() const
{
    return FController->EditOperations().Contains(deoInsert);
}

bool TkvGridDataControllerSource::CanDelete() const
{
    return FController->EditOperations().Contains(deoDelete);
}

void TkvGridDataControllerSource::ChangeRowSelection(int rowIndex, bool selected)
{
    if (rowIndex >= 0 && rowIndex < FController->RowCount())
        FController->ChangeRowSelection(rowIndex, selected);
}

void TkvGridDataControllerSource::SelectRows(int fromRowIndex, int toRowIndex, bool replace)
{
    const int rowCount = FController->RowCount();
    if (rowCount == 0 || !FController->MultiSelect())
        return;
    const int first = std::clamp(std::min(fromRowIndex, toRowIndex), 0, rowCount - 1);
    const int last = std::clamp(std::max(fromRowIndex, toRowIndex), 0, rowCount - 1);
    TkvDataSelection &selection = FController->Selection();
    // Clearing forgets the anchor, and the range is measured from it.
    const int anchor = selection.AnchorRowIndex();
    FController->BeginBatch();
    try {
        if (replace)
            selection.Clear();
        // Rows are added in ascending order, so each lands at the end of the sorted list.
        for (int rowIndex = first; rowIndex <= last; ++rowIndex) {
            const TkvRowInfo row = FController->Info().GetRowInfo(rowIndex);
            selection.Add({rowIndex, row.RecordIndex, row.Level, row.IsGroupRow});
        }
        selection.SetAnchorRowIndex(anchor);
    } catch (...) {
        FController->EndBatch();
        throw;
    }
    FController->EndBatch();
}

void TkvGridDataControllerSource::SelectAll()
{
    if (!FController->MultiSelect() || FController->RowCount() == 0)
        return;
    SelectRows(0, FController->RowCount() - 1, true);
}

int TkvGridDataControllerSource::ItemID(TkvDataItem item) const
{
    return static_cast<const TkvCustomGridTableItem *>(item)->ID();
}

TkvDataItem TkvGridDataControllerSource::ItemByID(int id) const
{
    for (int i = 0; i < FGridView->ItemCount(); ++i)
        if (FGridView->Items(i)->ID() == id)
            return ItemAt(i);
    return nullptr;
}

QString TkvGridDataControllerSource::ItemCaption(TkvDataItem item) const
{
    return static_cast<const TkvCustomGridTableItem *>(item)->Caption();
}

QString TkvGridDataControllerSource::ItemFieldName(TkvDataItem item) const
{
    return FieldName(static_cast<const TkvCustomGridTableItem *>(item)->Index());
}

bool TkvGridDataControllerSource::IsLoading() const
{
    return FGridView->IsLoading();
}

bool TkvGridDataControllerSource::IsDestroying() const
{
    return FGridView->IsDestroying();
}

int TkvGridDataControllerSource::VisibleRowCount() const
{
    if (auto *tableView = dynamic_cast<TkvGridTableView *>(FGridView);
        tableView && tableView->ViewInfo().IsCalculated())
        return tableView->ViewInfo().VisibleRowCount();
    return 0;
}

int TkvGridDataControllerSource::PreviousFocusRowNow(int prevRowIndex) const
{
    // The previous focus is told as the row it stood on; when the rows were
    // rebuilt meanwhile (a post that sorted the record elsewhere), that row now
    // shows another record, and the previous record is found where it is now.
    const TkvDataFocusingInfo &previous = FController->Info().PrevFocusingInfo();
    if (previous.RecordIndex < 0 || prevRowIndex < 0)
        return prevRowIndex;
    if (prevRowIndex < FController->RowCount()) {
        const TkvRowInfo row = FController->GetRowInfo(prevRowIndex);
        if (row.RecordIndex == previous.RecordIndex && row.IsGroupRow == previous.IsGroupRow)
            return prevRowIndex;
    }
    return FController->Info().RowIndexOfRecordAtLevel(previous.RecordIndex, previous.RestoreLevel(), false);
}

void TkvGridDataControllerSource::HandleUpdate(const TkvUpdateControlInfo &info)
{
    if (!FListener)
        return;
    if (dynamic_cast<const TkvDataChangedInfo *>(&info)) {
        FDeliveredPrevRow = FDeliveredRow = -2;
        FListener->SourceDataChanged();
    } else if (dynamic_cast<const TkvLayoutChangedInfo *>(&info)) {
        FListener->SourceLayoutChanged();
    } else if (auto *record = dynamic_cast<const TkvUpdateRecordInfo *>(&info)) {
        FListener->SourceUpdateRecord(record->RecordIndex);
    } else if (auto *row = dynamic_cast<const TkvFocusedRowChangedInfo *>(&info)) {
        FDeliveredPrevRow = row->PrevFocusedRowIndex;
        FDeliveredRow = row->FocusedRowIndex;
        FListener->SourceFocusedRecordChanged(PreviousFocusRowNow(row->PrevFocusedRowIndex),
                                              row->FocusedRowIndex, false);
    } else if (auto *focused = dynamic_cast<const TkvFocusedRecordChangedInfo *>(&info)) {
        // A row change delivered just before already told the view about these rows.
        const bool told = focused->PrevFocusedRowIndex == FDeliveredPrevRow &&
                          focused->FocusedRowIndex == FDeliveredRow && !focused->NewItemRowFocusingChanged;
        FDeliveredPrevRow = FDeliveredRow = -2;
        if (!told)
            FListener->SourceFocusedRecordChanged(PreviousFocusRowNow(focused->PrevFocusedRowIndex),
                                                  focused->FocusedRowIndex,
                                                  focused->NewItemRowFocusingChanged);
    } else if (auto *selection = dynamic_cast<const TkvSelectionChangedInfo *>(&info)) {
        std::vector<int> rows;
        if (selection->PrevSelectedRowIndex >= 0 && selection->SelectedRowIndex >= 0) {
            rows.push_back(selection->PrevSelectedRowIndex);
            if (selection->SelectedRowIndex != selection->PrevSelectedRowIndex)
                rows.push_back(selection->SelectedRowIndex);
        }
        FListener->SourceSelectionChanged(rows);
    } else if (dynamic_cast<const TkvSearchChangedInfo *>(&info)) {
        FListener->SourceSearchChanged();
    }
}

TkvGridColumn *SummaryItemColumn(const TkvCustomDataSummaryItem &item)
{
    auto *tableItem = static_cast<TkvCustomGridTableItem *>(const_cast<void *>(item.LinkedItem()));
    return dynamic_cast<TkvGridColumn *>(tableItem);
}

void SetSummaryItemColumn(TkvCustomDataSummaryItem &item, TkvGridColumn *column)
{
    item.SetLinkedItem(static_cast<const void *>(static_cast<TkvCustomGridTableItem *>(column)));
}

namespace {

void DeleteItemsLinkedTo(TkvDataSummaryItems &items, const void *link)
{
    for (int i = items.Count() - 1; i >= 0; --i)
        if (items.Items(i)->LinkedItem() == link)
            items.Delete(i);
}

} // namespace

void DeleteSummaryItemsOfColumn(TkvDataSummary &summary, const TkvCustomGridTableItem *column)
{
    const void *link = static_cast<const void *>(column);
    DeleteItemsLinkedTo(summary.FooterSummaryItems(), link);
    DeleteItemsLinkedTo(summary.DefaultGroupSummaryItems(), link);
    for (int g = 0; g < summary.SummaryGroupCount(); ++g) {
        TkvDataSummaryGroup &group = summary.SummaryGroups(g);
        DeleteItemsLinkedTo(group.SummaryItems(), link);
        for (int i = group.LinkCount() - 1; i >= 0; --i)
            if (group.Links(i)->LinkedItem() == link)
                group.DeleteLink(i);
    }
}

bool TkvGridDataControllerSource::ItemHasFilterCondition(int itemIndex) const
{
    const TkvDataFilterCriteria *criteria = Filter();
    if (!criteria)
        return false;
    const TkvFilterItemLink link = criteria->ItemField(itemIndex);
    return link && criteria->FindConditionOf(link);
}

bool TkvGridDataControllerSource::IsWritingEditorValue() const
{
    auto *view = dynamic_cast<TkvGridTableView *>(FGridView);
    return view && view->Controller().EditingController().IsEditing();
}

void TkvGridDataControllerSource::PostEditorValue()
{
    if (auto *view = dynamic_cast<TkvGridTableView *>(FGridView))
        view->Controller().EditingController().PostCellValue();
}

} // namespace kestrum
