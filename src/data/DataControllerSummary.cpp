#include "data/DataControllerSummary.h"

#include "data/DataController.h"
#include "data/DataControllerGroups.h"
#include "data/DataSorting.h"
#include "data/DbDataField.h"

#include <algorithm>

namespace kestrum {

TkvDataControllerSummary::TkvDataControllerSummary(TkvCustomDataController &controller,
                                                   TkvDataControllerGroups &groups, bool recordSetItems)
    : FController(controller), FGroups(groups), FSummary(this, recordSetItems)
{
}

TkvDataControllerSummary::~TkvDataControllerSummary()
{
    FSummary.SetDestroying();
}

const std::vector<int> &TkvDataControllerSummary::SummaryRecordList() const
{
    return FController.Info().RecordList();
}

TkvDataGroups *TkvDataControllerSummary::SummaryDataGroups()
{
    return FGroups.LevelCount() > 0 ? &FGroups.DataGroups() : nullptr;
}

bool TkvDataControllerSummary::SummaryGridMode() const
{
    return FController.Provider().IsGridMode();
}

bool TkvDataControllerSummary::IsRecordSelected(int recordIndex) const
{
    return FController.Selection().IsRecordSelected(recordIndex);
}

Variant TkvDataControllerSummary::SummaryFieldValue(int recordIndex, TkvCustomDataField *field) const
{
    return FController.GetFieldValue(recordIndex, field);
}

const TkvDataStorage *TkvDataControllerSummary::SummaryStorage() const
{
    const TkvCustomDataProvider &provider = FController.Provider();
    return provider.IsGridMode() || provider.IsCustomSource() ? nullptr : &FController.Storage();
}

const TkvValueDef *TkvDataControllerSummary::SummaryValueDef(TkvCustomDataField *field) const
{
    return field->ValueDef();
}

TkvCustomDataField *TkvDataControllerSummary::SummaryFieldByItem(const void *item) const
{
    return FController.Fields().FieldByItem(const_cast<void *>(item));
}

TkvCustomDataField *TkvDataControllerSummary::SummaryFieldByName(const QString &name) const
{
    if (FieldByName)
        return FieldByName(name);
    // Record-set fields carry their names; the record set ignores case.
    const TkvCustomDataFieldList &fields = FController.Fields();
    for (int i = 0; i < fields.Count(); ++i)
        if (auto *field = dynamic_cast<TkvDBDataField *>(fields.Items(i)))
            if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
                return field;
    return nullptr;
}

void TkvDataControllerSummary::SummaryChanged(bool redrawOnly)
{
    FController.InfoChanged(redrawOnly ? dcicView : dcicSummary);
}

void TkvDataControllerSummary::SummaryBeginUpdate()
{
    FController.BeginBatch();
}
void TkvDataControllerSummary::SummaryEndUpdate()
{
    FController.EndBatch();
}
bool TkvDataControllerSummary::SummaryOwnerLoading() const
{
    return FController.IsOwnerLoading();
}

std::vector<Variant> TkvDataControllerSummary::FooterValuesOf(int recordIndex) const
{
    const TkvDataFooterSummaryItems &items = const_cast<TkvDataSummary &>(FSummary).FooterSummaryItems();
    std::vector<Variant> values;
    values.reserve(std::size_t(items.Count()));
    for (int i = 0; i < items.Count(); ++i) {
        TkvCustomDataField *field = items.Items(i)->GetSummaryField();
        values.push_back(field ? FController.GetFieldValue(recordIndex, field) : Variant::null());
    }
    return values;
}

void TkvDataControllerSummary::NoteRecord(int recordIndex, bool keepSame)
{
    if (keepSame && recordIndex == FNotedRecord && !FNotedDeleted)
        return;
    FNotedRecord = -1;
    if (recordIndex < 0 || recordIndex >= FController.RecordCount())
        return;
    FNotedValues = FooterValuesOf(recordIndex);
    FNotedRecord = recordIndex;
    FNotedDeleted = false;
}

void TkvDataControllerSummary::NotedRecordsShifted(int recordIndex, int delta)
{
    if (FNotedRecord < recordIndex || FNotedDeleted)
        return;
    if (delta < 0 && FNotedRecord == recordIndex)
        FNotedDeleted = true;
    else
        FNotedRecord += delta;
}

bool TkvDataControllerSummary::FollowRecord(TkvDataChangeKind kind, int recordIndex, bool wasListed,
                                            bool isListed)
{
    const bool deleted = kind == dckRecordDeleted;
    const bool noted = FNotedRecord == recordIndex && FNotedDeleted == deleted;
    FNotedRecord = -1;
    if (wasListed && !noted)
        return false;
    if (FGroups.LevelCount() > 0) {
        // The groups the record left or joined are summed again, each over
        // its own records, in the order a rebuild sums them (none when the
        // only groups it was in went with it).
        std::vector<int> positions = FGroups.TakeStalePositions();
        std::sort(positions.begin(), positions.end());
        positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
        for (int position : positions)
            if (!FSummary.RecalculateGroupsAt(position))
                return false;
    }
    std::vector<Variant> after;
    if (isListed)
        after = FooterValuesOf(recordIndex);
    return FSummary.FollowFooterRecord(wasListed ? &FNotedValues : nullptr, isListed ? &after : nullptr);
}

TkvDataSummary *DataSummaryOf(const TkvCustomDataController &controller)
{
    auto *hook = dynamic_cast<TkvDataControllerSummary *>(controller.SummaryHook());
    return hook ? &hook->Summary() : nullptr;
}

TkvDataControllerHooks CreateSortingGroupingSummaryHooks(TkvCustomDataController &controller)
{
    TkvDataControllerHooks hooks;
    auto sorting = std::make_unique<TkvDataControllerSorting>(controller);
    auto groups = std::make_unique<TkvDataControllerGroups>(controller, *sorting);
    // Items take a FieldName too; without record-set fields it resolves to nothing.
    hooks.Summary = std::make_unique<TkvDataControllerSummary>(controller, *groups, true);
    hooks.Grouping = std::move(groups);
    hooks.Sorting = std::move(sorting);
    return hooks;
}

} // namespace kestrum
