#pragma once
// The summary step of a controller: its TkvDataSummary, fed from the
// controller's record list, group tree, selection and storage.
#include "data/DataControllerHooks.h"
#include "data/DataSummary.h"

#include <functional>

namespace kestrum {

class TkvCustomDataController;
class TkvDataControllerGroups;

class TkvDataControllerSummary : public IkvDataSummaryHook, public TkvSummaryHost {
public:
    TkvDataControllerSummary(TkvCustomDataController &controller, TkvDataControllerGroups &groups,
                             bool recordSetItems);
    ~TkvDataControllerSummary() override;

    TkvDataSummary &Summary() { return FSummary; }

    void Recalculate() override { FSummary.Recalculate(); }
    bool SummarisesSelection() const override { return FSummary.Options() & soSelectedRecords; }
    void ForgetField(TkvCustomDataField *field) override { FSummary.ForgetField(field); }
    void NoteRecord(int recordIndex, bool keepSame) override;
    void NotedRecordsShifted(int recordIndex, int delta) override;
    bool FollowRecord(TkvDataChangeKind kind, int recordIndex, bool wasListed, bool isListed) override;

    //! Resolves a field name; unset, record-set fields are searched by name.
    std::function<TkvCustomDataField *(const QString &name)> FieldByName;

    const std::vector<int> &SummaryRecordList() const override;
    TkvDataGroups *SummaryDataGroups() override;
    bool SummaryGridMode() const override;
    bool IsRecordSelected(int recordIndex) const override;
    Variant SummaryFieldValue(int recordIndex, TkvCustomDataField *field) const override;
    const TkvDataStorage *SummaryStorage() const override;
    const TkvValueDef *SummaryValueDef(TkvCustomDataField *field) const override;
    TkvCustomDataField *SummaryFieldByItem(const void *item) const override;
    TkvCustomDataField *SummaryFieldByName(const QString &name) const override;
    void SummaryChanged(bool redrawOnly) override;
    void SummaryBeginUpdate() override;
    void SummaryEndUpdate() override;
    bool SummaryOwnerLoading() const override;

private:
    TkvCustomDataController &FController;
    TkvDataControllerGroups &FGroups;
    TkvDataSummary FSummary;
    //! The footer values of one record as they were counted.
    std::vector<Variant> FooterValuesOf(int recordIndex) const;
    int FNotedRecord = -1;
    bool FNotedDeleted = false;
    std::vector<Variant> FNotedValues;
};

//! The controller's summary (null when made without these hooks).
TkvDataSummary *DataSummaryOf(const TkvCustomDataController &controller);

} // namespace kestrum
