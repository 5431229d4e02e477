#include "data/DataControllerSearch.h"

#include "core/RegionalSettings.h"
#include "data/DataController.h"

#include <algorithm>

namespace kestrum {

namespace {

bool BeginsWithUpper(const QString &text, const QString &upperPrefix)
{
    return regionalSettings().upper(text).startsWith(upperPrefix);
}

} // namespace

void TkvDataControllerSearch::FieldRemoving(const TkvCustomDataField *field)
{
    if (FItemIndex >= 0 && FController.GetItemField(FItemIndex) == field)
        Cancel();
}

// ---------------------------------------------------------------------------
// Incremental search

bool TkvDataControllerSearch::Matches(int recordIndex, int itemIndex, const QString &upperText) const
{
    return BeginsWithUpper(FController.GetDisplayText(recordIndex, itemIndex), upperText);
}

bool TkvDataControllerSearch::Started(int itemIndex, const QString &text)
{
    FItemIndex = itemIndex;
    FText = text;
    FController.Change(chgSearch);
    return true;
}

bool TkvDataControllerSearch::FocusMatch(int recordIndex, int itemIndex, const QString &text)
{
    FController.ChangeFocusedRecordIndex(recordIndex);
    return Started(itemIndex, text);
}

bool TkvDataControllerSearch::Locate(int itemIndex, const QString &text)
{
    TkvCustomDataField *field = FController.GetItemField(itemIndex);
    if (text.isEmpty())
        return false;
    const QString upper = regionalSettings().upper(text);
    TkvCustomDataProvider &provider = FController.Provider();
    if (provider.IsGridMode()) {
        // Only a window of rows is held: the source searches its own rows.
        return provider.LocateByText(field, upper, false, true) && Started(itemIndex, text);
    }
    const TkvCustomDataControllerInfo &info = FController.Info();
    const std::vector<int> &records = info.RecordList();
    const int count = int(records.size());
    const int start = std::max(info.RecordListIndexOf(FController.FocusedRecordIndex()), 0);
    for (int step = 0; step < count; ++step) {
        const int recordIndex = records[std::size_t((start + step) % count)];
        if (Matches(recordIndex, itemIndex, upper))
            return FocusMatch(recordIndex, itemIndex, text);
    }
    return false;
}

bool TkvDataControllerSearch::LocateNext(bool forward)
{
    if (FItemIndex < 0 || FText.isEmpty())
        return false;
    // Copies: focusing the match ends the running search.
    const int itemIndex = FItemIndex;
    const QString text = FText;
    const QString upper = regionalSettings().upper(text);
    TkvCustomDataProvider &provider = FController.Provider();
    if (provider.IsGridMode())
        return provider.LocateByText(FController.GetItemField(itemIndex), upper, true, forward) &&
               Started(itemIndex, text);
    const TkvCustomDataControllerInfo &info = FController.Info();
    const std::vector<int> &records = info.RecordList();
    const int count = int(records.size());
    const int focused = info.RecordListIndexOf(FController.FocusedRecordIndex());
    const int step = forward ? 1 : -1;
    for (int position = focused + step; position >= 0 && position < count; position += step) {
        const int recordIndex = records[std::size_t(position)];
        if (Matches(recordIndex, itemIndex, upper))
            return FocusMatch(recordIndex, itemIndex, text);
    }
    return false;
}

void TkvDataControllerSearch::Cancel()
{
    if (EndQuietly())
        FController.Change(chgSearch);
}

bool TkvDataControllerSearch::EndQuietly()
{
    if (FItemIndex < 0)
        return false;
    FItemIndex = -1;
    FText.clear();
    return true;
}

// ---------------------------------------------------------------------------
// Finding by values

bool TkvDataControllerSearch::ComparesByDisplayText(const TkvCustomDataField *field) const
{
    const IkvDataControllerOwner *owner = FController.Owner();
    return FController.Options().Contains(dcoSortByDisplayText) && !field->IsInternal() && owner &&
           owner->NeedsDisplayTextForSorting(field->ItemIndex());
}

int TkvDataControllerSearch::CompareWithProbe(const TkvCustomDataField *field, int recordIndex,
                                              int probe) const
{
    const TkvDataStorage &storage = FController.Storage();
    const TkvValueDef *def = field->ValueDef();
    if (ComparesByDisplayText(field))
        return FController.GetFieldDisplayText(recordIndex, field)
            .compare(FController.GetFieldDisplayText(probe, field));
    const TkvDataControllerOptions options = FController.Options();
    const bool caseInsensitive = options.Contains(dcoCaseInsensitive) || options.Contains(dcoAnsiSort);
    if (caseInsensitive && field->ValueTypeClass()->IsStringType()) {
        const Variant a = storage.GetValue(recordIndex, def);
        const Variant b = storage.GetValue(probe, def);
        if (a.isNull() || b.isNull())
            return int(!a.isNull()) - int(!b.isNull());
        return regionalSettings().upper(a.toString()).compare(regionalSettings().upper(b.toString()));
    }
    return TkvDataStorage::CompareValuePointers(def, storage.GetValuePointer(recordIndex, def),
                                                storage.GetValuePointer(probe, def));
}

int TkvDataControllerSearch::FindRecordIndexByValues(const std::vector<TkvCustomDataField *> &fields,
                                                     const std::vector<Variant> &values)
{
    if (fields.empty() || fields.size() != values.size())
        return -1;
    // The values go into a scratch record so that they compare exactly as
    // stored values do (same type conversion, same precision).
    TkvDataStorage &storage = FController.Storage();
    const int probe = storage.AddInternalRecord();
    int result = -1;
    try {
        for (std::size_t k = 0; k < fields.size(); ++k)
            if (const TkvValueDef *def = fields[k]->ValueDef())
                storage.SetValue(probe, def, values[k]);
        for (int recordIndex = 0; recordIndex < FController.RecordCount() && result < 0; ++recordIndex) {
            const bool equal =
                std::all_of(fields.begin(), fields.end(), [&](const TkvCustomDataField *field) {
                    return !field->ValueDef() || CompareWithProbe(field, recordIndex, probe) == 0;
                });
            if (equal)
                result = recordIndex;
        }
    } catch (...) {
        storage.ReleaseInternalRecord(probe);
        throw;
    }
    storage.ReleaseInternalRecord(probe);
    return result;
}

} // namespace kestrum
