// Incremental search, the find filter and locating records by values.
#include "data/DataController.h"

#include "core/RegionalSettings.h"
#include "data/VariantBridge.h"

namespace kestrum {

namespace {

bool BeginsWithUpper(const QString &text, const QString &upperPrefix)
{
    return regionalSettings().upper(text).startsWith(upperPrefix);
}

} // namespace

void TkvCustomDataController::SetFindFilter(int itemIndex, const QString &text)
{
    if (itemIndex >= 0)
        GetItemField(itemIndex);
    if (FFindFilterItemIndex == itemIndex && FFindFilterText == text)
        return;
    FFindFilterItemIndex = itemIndex;
    FFindFilterText = text;
    FilterChanged();
}

bool TkvCustomDataController::IsRecordVisibleByFilters(int recordIndex)
{
    if (FFindFilterItemIndex >= 0 && !FFindFilterText.isEmpty() && FFindFilterItemIndex < ItemCount()) {
        const QString text = GetDisplayText(recordIndex, FFindFilterItemIndex);
        if (!BeginsWithUpper(text, regionalSettings().upper(FFindFilterText)))
            return false;
    }
    IkvFilterCriteria &criteria = Filter();
    return criteria.IsEmpty() || criteria.DoFilterRecord(recordIndex);
}

bool TkvCustomDataController::Locate(int itemIndex, const QString &text)
{
    TkvCustomDataField *field = GetItemField(itemIndex);
    if (text.isEmpty())
        return false;
    const QString upper = regionalSettings().upper(text);
    if (FProvider->IsGridMode()) {
        // Only a window of rows is held: the source searches its own rows.
        if (!FProvider->LocateByText(field, upper, false, true))
            return false;
        FSearchItemIndex = itemIndex;
        FSearchText = text;
        Change(chgSearch);
        return true;
    }
    const std::vector<int> &records = FInfo->RecordList();
    const int count = int(records.size());
    const int start = std::max(FInfo->RecordListIndexOf(FocusedRecordIndex()), 0);
    for (int step = 0; step < count; ++step) {
        const int position = (start + step) % count;
        const int recordIndex = records[std::size_t(position)];
        if (!BeginsWithUpper(GetDisplayText(recordIndex, itemIndex), upper))
            continue;
        // The focus change goes out first: it cancels the running search, and
        // this one starts after it.
        ChangeFocusedRecordIndex(recordIndex);
        FSearchItemIndex = itemIndex;
        FSearchText = text;
        Change(chgSearch);
        return true;
    }
    return false;
}

bool TkvCustomDataController::LocateNext(bool forward)
{
    if (FSearchItemIndex < 0 || FSearchText.isEmpty())
        return false;
    const int itemIndex = FSearchItemIndex;
    const QString text = FSearchText;
    const QString upper = regionalSettings().upper(text);
    if (FProvider->IsGridMode()) {
        if (!FProvider->LocateByText(GetItemField(itemIndex), upper, true, forward))
            return false;
        FSearchItemIndex = itemIndex;
        FSearchText = text;
        Change(chgSearch);
        return true;
    }
    const std::vector<int> &records = FInfo->RecordList();
    const int count = int(records.size());
    const int focused = FInfo->RecordListIndexOf(FocusedRecordIndex());
    const int step = forward ? 1 : -1;
    for (int position = focused + step; position >= 0 && position < count; position += step) {
        const int recordIndex = records[std::size_t(position)];
        if (!BeginsWithUpper(GetDisplayText(recordIndex, itemIndex), upper))
            continue;
        // The focus change goes out first: it cancels the running search, and
        // this one starts after it.
        ChangeFocusedRecordIndex(recordIndex);
        FSearchItemIndex = itemIndex;
        FSearchText = text;
        Change(chgSearch);
        return true;
    }
    return false;
}

void TkvCustomDataController::CancelIncrementalSearch()
{
    if (FSearchItemIndex < 0)
        return;
    FSearchItemIndex = -1;
    FSearchText.clear();
    Change(chgSearch);
}

void TkvCustomDataController::SearchFocusedRecordChanged()
{
    if (FSearchItemIndex < 0)
        return;
    FSearchItemIndex = -1;
    FSearchText.clear();
    FChanges |= chgSearch;
}

bool TkvCustomDataController::FieldNeedsDisplayText(const TkvCustomDataField *field) const
{
    return FOptions.Contains(dcoSortByDisplayText) && !field->IsInternal() && FOwner &&
           FOwner->NeedsDisplayTextForSorting(field->ItemIndex());
}

int TkvCustomDataController::FindRecordIndexByValues(const std::vector<TkvCustomDataField *> &fields,
                                                     const std::vector<Variant> &values)
{
    if (fields.empty() || fields.size() != values.size())
        return -1;
    const int probe = FStorage->AddInternalRecord();
    int result = -1;
    try {
        for (std::size_t k = 0; k < fields.size(); ++k)
            if (const TkvValueDef *def = fields[k]->ValueDef())
                FStorage->SetValue(probe, def, values[k]);
        const bool caseInsensitive = FOptions.Contains(dcoCaseInsensitive) || FOptions.Contains(dcoAnsiSort);
        for (int recordIndex = 0; recordIndex < RecordCount() && result < 0; ++recordIndex) {
            bool equal = true;
            for (const TkvCustomDataField *field : fields) {
                const TkvValueDef *def = field->ValueDef();
                if (!def)
                    continue;
                int compare;
                if (FieldNeedsDisplayText(field)) {
                    compare =
                        GetFieldDisplayText(recordIndex, field).compare(GetFieldDisplayText(probe, field));
                } else if (caseInsensitive && field->ValueTypeClass()->IsStringType()) {
                    const Variant a = FStorage->GetValue(recordIndex, def);
                    const Variant b = FStorage->GetValue(probe, def);
                    compare = a.isNull() || b.isNull() ? int(!a.isNull()) - int(!b.isNull())
                                                       : regionalSettings()
                                                             .upper(a.toString())
                                                             .compare(regionalSettings().upper(b.toString()));
                } else {
                    compare =
                        TkvDataStorage::CompareValuePointers(def, FStorage->GetValuePointer(recordIndex, def),
                                                             FStorage->GetValuePointer(probe, def));
                }
                if (compare != 0) {
                    equal = false;
                    break;
                }
            }
            if (equal)
                result = recordIndex;
        }
    } catch (...) {
        FStorage->ReleaseInternalRecord(probe);
        throw;
    }
    FStorage->ReleaseInternalRecord(probe);
    return result;
}

} // namespace kestrum
