#include "navigator/DbNavigatorButtons.h"

#include "db/DbDataSource.h"
#include "db/DbQuery.h"

#include <algorithm>

namespace kestrum {

namespace {

TkvNavigatorFilterDialog &FilterDialogSlot()
{
    static TkvNavigatorFilterDialog dialog;
    return dialog;
}

} // namespace

void TkvDBNavigatorDataLink::ActiveChanged()
{
    FButtons.LinkActiveChanged();
}

void TkvDBNavigatorDataLink::DataSetChanged()
{
    FButtons.LinkDataSetChanged();
}

void TkvDBNavigatorDataLink::EditingChanged()
{
    FButtons.LinkEditingChanged();
}

void TkvDBNavigatorDataLink::DataSetScrolled(int distance)
{
    TDbDataLink::DataSetScrolled(distance);
    // Moving changes the beginning and end tests of the move buttons.
    FButtons.LinkEditingChanged();
}

TkvDBNavigatorButtons::TkvDBNavigatorButtons() : FDataLink(*this)
{
}

void TkvDBNavigatorButtons::SetFilterDialog(TkvNavigatorFilterDialog dialog)
{
    FilterDialogSlot() = std::move(dialog);
}

void TkvDBNavigatorButtons::SetDataSource(TDbDataSource *source)
{
    FDataLink.SetDataSource(source);
    NotifyStateChanged();
}

TDbQuery *TkvDBNavigatorButtons::ActiveDataSet() const
{
    return FDataLink.Active() ? FDataLink.DataSet() : nullptr;
}

void TkvDBNavigatorButtons::SetPageSize(int value)
{
    if (value >= 0)
        FPageSize = value;
}

int TkvDBNavigatorButtons::EffectivePageSize() const
{
    if (FPageSize > 0)
        return FPageSize;
    // The record set's buffer: the largest window any of its links shows.
    int rows = 1;
    if (TDbDataSource *source = DataSource()) {
        if (TDbQuery *dataSet = source->DataSet())
            for (TDbDataSource *each : dataSet->DataSources())
                for (TDbDataLink *link : each->DataLinks())
                    rows = std::max(rows, link->BufferCount());
    }
    return rows;
}

bool TkvDBNavigatorButtons::IsActionEnabled(int index) const
{
    TDbQuery *dataSet = ActiveDataSet();
    if (!dataSet)
        return false;
    bool bof = dataSet->Bof();
    bool eof = dataSet->Eof();
    bool canModify = dataSet->CanModify();
    bool editing = IsEditMode(dataSet->State());
    switch (index) {
    case nbFirst:
    case nbPriorPage:
    case nbPrior:
        return !bof;
    case nbNext:
    case nbNextPage:
    case nbLast:
        return !eof;
    case nbInsert:
    case nbRefresh:
        return canModify;
    case nbDelete:
        return canModify && !(bof && eof);
    case nbEdit:
        return canModify && !editing;
    case nbPost:
    case nbCancel:
        return canModify && editing;
    case nbGotoBookmark:
        return HasBookmark();
    default:
        return true;
    }
}

void TkvDBNavigatorButtons::DoButtonAction(int index)
{
    TDbQuery *dataSet = ActiveDataSet();
    if (!dataSet)
        return;
    switch (index) {
    case nbFirst:
        dataSet->First();
        break;
    case nbPriorPage:
        dataSet->MoveBy(-EffectivePageSize());
        break;
    case nbPrior:
        dataSet->Prior();
        break;
    case nbNext:
        dataSet->Next();
        break;
    case nbNextPage:
        dataSet->MoveBy(EffectivePageSize());
        break;
    case nbLast:
        dataSet->Last();
        break;
    case nbInsert:
        dataSet->Insert();
        break;
    case nbDelete:
        DeleteRecord(*dataSet);
        break;
    case nbEdit:
        dataSet->Edit();
        break;
    case nbPost:
        dataSet->Post();
        break;
    case nbCancel:
        dataSet->Cancel();
        break;
    case nbRefresh:
        dataSet->Refresh();
        break;
    case nbSaveBookmark:
        FBookmark = dataSet->GetBookmark();
        NotifyStateChanged();
        break;
    case nbGotoBookmark:
        if (HasBookmark())
            dataSet->GotoBookmark(FBookmark);
        break;
    case nbFilter:
        ShowFilter(*dataSet);
        break;
    default:
        break;
    }
}

void TkvDBNavigatorButtons::DeleteRecord(TDbQuery &dataSet)
{
    if (FConfirmDelete && !ConfirmRecordDelete(FDialogParent))
        return;
    dataSet.Delete();
}

void TkvDBNavigatorButtons::ShowFilter(TDbQuery &dataSet)
{
    bool done = false;
    if (OnShowFilterDialog)
        OnShowFilterDialog(this, done);
    if (done || !FilterDialogSlot())
        return;
    TkvNavigatorFilterRequest request;
    request.DataSet = &dataSet;
    request.Criteria = &FFilterCriteria;
    request.ExtendedOperators = bool(OnApplyFilter);
    request.Apply = [this, &dataSet, &request](const QString &filterText) {
        request.Applied = true;
        ApplyFilterText(dataSet, filterText);
    };
    const bool accepted = FilterDialogSlot()(FDialogParent, request);
    // A builder that only answers its text applies it on OK.
    if (accepted && !request.Applied)
        ApplyFilterText(dataSet, request.FilterText);
}

void TkvDBNavigatorButtons::ApplyFilterText(TDbQuery &dataSet, const QString &filterText)
{
    if (OnApplyFilter) {
        OnApplyFilter(this, filterText);
        return;
    }
    dataSet.SetFilter(filterText);
    dataSet.SetFiltered(true);
}

void TkvDBNavigatorButtons::LinkActiveChanged()
{
    FBookmark = TBookmark();
    FFilterCriteria.clear();
    NotifyStateChanged();
}

void TkvDBNavigatorButtons::LinkDataSetChanged()
{
    if (HasBookmark()) {
        TDbQuery *dataSet = ActiveDataSet();
        if (!dataSet || !dataSet->BookmarkValid(FBookmark))
            FBookmark = TBookmark();
    }
    NotifyStateChanged();
}

void TkvDBNavigatorButtons::LinkEditingChanged()
{
    NotifyStateChanged();
}

void TkvDBNavigatorButtons::NotifyStateChanged()
{
    if (OnStateChanged)
        OnStateChanged();
}

} // namespace kestrum
