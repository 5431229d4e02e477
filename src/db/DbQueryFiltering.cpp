// Filtering a record set's rows by a filter expression, and keeping the
// visible order and the key index in step with the rows.
#include "db/DbQuery.h"

#include "db/DbFilter.h"
#include "db/FieldValues.h"
#include "db/RowStore.h"

namespace kestrum {

void TDbQuery::ApplyFilter()
{
    if (FFilterExpression && FFiltered) {
        FOrder.clear();
        for (const std::int32_t slot : FAll) {
            const auto value = [&](int field) {
                return CellValue(*FStore, slot, field, FFields[std::size_t(field)]->DataType());
            };
            if (FFilterExpression->Matches(value, FFilterOptions))
                FOrder.push_back(slot);
        }
    } else {
        FOrder = FAll;
    }
    FPositionsValid = false;
}

void TDbQuery::RowsChanged()
{
    // The key index follows single rows itself (KeyAdded, KeyRemoved).
    FPositionsValid = false;
}

void TDbQuery::KeyAdded(int slot)
{
    if (FKeysValid && FKeyField >= 0 && FStore->Kind(slot, FKeyField) == TDbCellKind::Integer)
        FSlotOfKey.emplace(FStore->Integer(slot, FKeyField), slot);
}

void TDbQuery::KeyRemoved(int slot)
{
    if (FKeysValid && FKeyField >= 0 && FStore->Kind(slot, FKeyField) == TDbCellKind::Integer)
        FSlotOfKey.erase(FStore->Integer(slot, FKeyField));
}

void TDbQuery::SetFilter(const QString &filter)
{
    if (FFilter == filter)
        return;
    FFilter = filter;
    if (Active() && FFiltered) {
        CheckBrowseMode();
        FFilterExpression = filter.trimmed().isEmpty() ? nullptr : TDbFilterExpression::Parse(filter, *this);
        ApplyFilter();
        FPos = FOrder.empty() ? -1 : 0;
        FBof = true;
        FEof = FOrder.empty();
        DataEvent(TDataEvent::DataSetChange, 0);
    }
}

void TDbQuery::SetFiltered(bool filtered)
{
    if (FFiltered == filtered)
        return;
    if (Active()) {
        CheckBrowseMode();
        std::unique_ptr<TDbFilterExpression> expression;
        if (filtered && !FFilter.trimmed().isEmpty())
            expression = TDbFilterExpression::Parse(FFilter, *this);
        FFiltered = filtered;
        FFilterExpression = std::move(expression);
        ApplyFilter();
        FPos = FOrder.empty() ? -1 : 0;
        FBof = true;
        FEof = FOrder.empty();
        DataEvent(TDataEvent::DataSetChange, 0);
    } else {
        FFiltered = filtered;
    }
}

void TDbQuery::SetFilterOptions(TFilterOptions options)
{
    if (FFilterOptions == options)
        return;
    FFilterOptions = options;
    if (Active() && FFiltered) {
        CheckBrowseMode();
        ApplyFilter();
        FPos = FOrder.empty() ? -1 : 0;
        FBof = true;
        FEof = FOrder.empty();
        DataEvent(TDataEvent::DataSetChange, 0);
    }
}

} // namespace kestrum
