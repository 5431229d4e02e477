#include "grid/GridViewData.h"

#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"

namespace kestrum {

TkvCustomGridRecord::TkvCustomGridRecord(TkvGridViewData *viewData, int index, const TkvGridRowInfo &info)
    : FRowInfo(info), FViewData(viewData), FIndex(index)
{
}

TkvCustomGridRecord::~TkvCustomGridRecord()
{
    if (FViewInfo)
        FViewInfo->Record = nullptr;
}

void TkvCustomGridRecord::SetViewInfo(TkvGridRowViewInfo *viewInfo)
{
    if (FViewInfo && FViewInfo != viewInfo)
        FViewInfo->Record = nullptr;
    FViewInfo = viewInfo;
}

TkvCustomGridTableView &TkvCustomGridRecord::GridView() const
{
    return FViewData->GridView();
}

bool TkvCustomGridRecord::IsLast() const
{
    return FIndex >= 0 && FIndex == FViewData->RecordCount() - 1;
}

bool TkvCustomGridRecord::IsData() const
{
    return FRowInfo.RecordIndex >= 0 && FRowInfo.RecordIndex < FViewData->DataController().RecordCount();
}

bool TkvCustomGridRecord::Focused() const
{
    const TkvGridRowSource &source = FViewData->DataController();
    if (IsNewItemRecord())
        return source.NewItemRowFocused() ||
               (source.FocusedRowIndex() < 0 && source.EditingRecordIndex() == source.NewItemRecordIndex() &&
                source.IsEditing());
    return FIndex >= 0 && source.FocusedRowIndex() == FIndex;
}

bool TkvCustomGridRecord::Selected() const
{
    return FIndex >= 0 && FViewData->DataController().IsRowSelected(FIndex);
}

bool TkvCustomGridRecord::Editing() const
{
    const TkvGridRowSource &source = FViewData->DataController();
    if (!source.IsEditing())
        return false;
    if (IsNewItemRecord())
        return source.EditingRecordIndex() == source.NewItemRecordIndex();
    return IsData() && source.EditingRecordIndex() == FRowInfo.RecordIndex;
}

void TkvCustomGridRecord::SetExpanded(bool expanded)
{
    if (Expanded() == expanded)
        return;
    if (expanded)
        Expand(false);
    else
        Collapse(false);
}

void TkvCustomGridRecord::Expand(bool recursive)
{
    if (Expandable())
        DoChangeExpanding(true, recursive);
}

void TkvCustomGridRecord::Collapse(bool recursive)
{
    if (Expandable())
        DoChangeExpanding(false, recursive);
}

void TkvCustomGridRecord::DoChangeExpanding(bool, bool)
{
}

TkvCustomGridRecord *TkvCustomGridRecord::ParentRecord() const
{
    if (Level() == 0 || FIndex < 0)
        return nullptr;
    for (int rowIndex = FIndex - 1; rowIndex >= 0; --rowIndex) {
        TkvCustomGridRecord *record = FViewData->Records(rowIndex);
        if (record && record->Level() < Level())
            return record;
    }
    return nullptr;
}

QString TkvCustomGridRecord::DisplayText(int itemIndex) const
{
    const TkvGridRowSource &source = FViewData->DataController();
    if (itemIndex < 0) {
        // A group row's own value: the grouping value of its level.
        if (Level() >= source.GroupingItemCount())
            return {};
        itemIndex = source.GroupingItemIndex(Level());
    }
    if (FRowInfo.RecordIndex < 0 && !IsNewItemRecord())
        return {};
    return source.DisplayText(FRowInfo.RecordIndex, itemIndex);
}

Variant TkvCustomGridRecord::Value(int itemIndex) const
{
    if (itemIndex < 0 || (FRowInfo.RecordIndex < 0 && !IsNewItemRecord()))
        return Variant();
    return FViewData->DataController().Value(FRowInfo.RecordIndex, itemIndex);
}

bool TkvCustomGridRecord::KeyDown(TkvGridKey key, TkvGridShiftState)
{
    if (!Expandable())
        return false;
    switch (key) {
    case TkvGridKey::Left:
        if (!Expanded())
            return false;
        Collapse(false);
        return true;
    case TkvGridKey::Right:
        if (Expanded())
            return false;
        Expand(false);
        return true;
    case TkvGridKey::NumMultiply:
        Expand(true);
        return true;
    case TkvGridKey::NumAdd:
        SetExpanded(true);
        return true;
    case TkvGridKey::NumSubtract:
        SetExpanded(false);
        return true;
    default:
        return false;
    }
}

void TkvCustomGridRecord::RefreshRowInfo()
{
    if (FIndex >= 0 && FIndex < FViewData->DataController().RowCount())
        FRowInfo = FViewData->DataController().GetRowInfo(FIndex);
}

QString TkvGridGroupRow::GroupText() const
{
    const TkvGridRowSource &source = ViewData().DataController();
    QString caption;
    if (Level() < source.GroupingItemCount())
        if (TkvCustomGridTableItem *item = GridView().Items(source.GroupingItemIndex(Level())))
            caption = item->Caption();
    QString text = QStringLiteral("%1 : %2").arg(caption, DisplayText(-1));
    const QString summary = source.GroupRowSummaryText(Index());
    if (!summary.isEmpty())
        text += QLatin1Char(' ') + summary;
    return text;
}

void TkvGridGroupRow::DoChangeExpanding(bool expanded, bool recursive)
{
    ViewData().DataController().ChangeExpanding(Index(), expanded, recursive);
}

TkvGridViewData::TkvGridViewData(TkvCustomGridTableView *view) : FGridView(view)
{
}

TkvGridViewData::~TkvGridViewData()
{
    FNewItemRecord.reset();
    FRecords.clear();
}

TkvGridRowSource &TkvGridViewData::DataController() const
{
    return FGridView->DataController();
}

TkvCustomGridRecord *TkvGridViewData::Records(int rowIndex)
{
    if (rowIndex < 0 || rowIndex >= FRecordCount)
        return nullptr;
    auto found = FRecords.find(rowIndex);
    if (found != FRecords.end())
        return found->second.get();
    return FRecords.emplace(rowIndex, CreateRecord(rowIndex)).first->second.get();
}

std::unique_ptr<TkvCustomGridRecord> TkvGridViewData::CreateRecord(int rowIndex)
{
    const TkvGridRowInfo info = DataController().GetRowInfo(rowIndex);
    if (info.Level < DataController().GroupingItemCount())
        return std::make_unique<TkvGridGroupRow>(this, rowIndex, info);
    return std::make_unique<TkvGridDataRow>(this, rowIndex, info);
}

TkvCustomGridRecord *TkvGridViewData::GetRecordByRecordIndex(int recordIndex)
{
    if (FNewItemRecord && recordIndex == DataController().NewItemRecordIndex())
        return FNewItemRecord.get();
    if (recordIndex < 0)
        return nullptr;
    return Records(DataController().GetRowIndexByRecordIndex(recordIndex, false));
}

void TkvGridViewData::Collapse(bool recursive)
{
    // Last to first, so collapsing never shifts a row still to be visited.
    for (int rowIndex = FRecordCount - 1; rowIndex >= 0; --rowIndex) {
        if (rowIndex >= DataController().RowCount())
            continue;
        TkvGridRowInfo info = DataController().GetRowInfo(rowIndex);
        if (info.Level < DataController().GroupingItemCount() && (info.Expanded || recursive))
            DataController().ChangeExpanding(rowIndex, false, recursive);
    }
}

void TkvGridViewData::Expand(bool recursive)
{
    // The row count grows while expanding; walk until the current end.
    for (int rowIndex = 0; rowIndex < DataController().RowCount(); ++rowIndex) {
        TkvGridRowInfo info = DataController().GetRowInfo(rowIndex);
        if (info.Level < DataController().GroupingItemCount() && (!info.Expanded || recursive))
            DataController().ChangeExpanding(rowIndex, true, recursive);
    }
}

void TkvGridViewData::Rebuild()
{
    FEditingRecord = nullptr;
    FNewItemRecord.reset();
    FRecords.clear();
    FRecordCount = DataController().RowCount();
    CheckNewItemRecord();
}

void TkvGridViewData::CheckNewItemRecord()
{
    const bool wanted = FGridView->OptionsView().NewItemRow();
    if (wanted == (FNewItemRecord != nullptr))
        return;
    if (wanted) {
        TkvGridRowInfo info;
        info.RecordIndex = DataController().NewItemRecordIndex();
        FNewItemRecord = std::make_unique<TkvGridNewItemRow>(this, -1, info);
    } else {
        if (FEditingRecord == FNewItemRecord.get())
            FEditingRecord = nullptr;
        FNewItemRecord.reset();
    }
    RefreshEditingRecord();
}

void TkvGridViewData::Refresh()
{
    FRecordCount = DataController().RowCount();
    // A row object whose index fell off the end, or whose kind changed, cannot be reused.
    for (auto it = FRecords.begin(); it != FRecords.end();) {
        const int rowIndex = it->first;
        if (rowIndex >= FRecordCount) {
            it = FRecords.erase(it);
            continue;
        }
        const bool isGroup =
            DataController().GetRowInfo(rowIndex).Level < DataController().GroupingItemCount();
        if (isGroup != (dynamic_cast<TkvGridGroupRow *>(it->second.get()) != nullptr)) {
            it = FRecords.erase(it);
            continue;
        }
        it->second->RefreshRowInfo();
        ++it;
    }
    if (FNewItemRecord)
        FNewItemRecord->RefreshRowInfo();
    RefreshEditingRecord();
}

void TkvGridViewData::RefreshEditingRecord()
{
    FEditingRecord = nullptr;
    if (!DataController().IsEditing())
        return;
    FEditingRecord = GetRecordByRecordIndex(DataController().EditingRecordIndex());
}

} // namespace kestrum
