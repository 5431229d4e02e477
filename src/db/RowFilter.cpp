#include "db/RowFilter.h"

#include "db/DbFilter.h"
#include "db/FieldValues.h"
#include "db/RowStore.h"

namespace kestrum {

TDbRowFilter::TDbRowFilter() = default;

TDbRowFilter::~TDbRowFilter() = default;

std::unique_ptr<TDbFilterExpression> TDbRowFilter::Parse(bool enabled, const TDbQuery &dataSet) const
{
    if (!enabled || FText.trimmed().isEmpty())
        return nullptr;
    return TDbFilterExpression::Parse(FText, dataSet);
}

void TDbRowFilter::Use(bool enabled, std::unique_ptr<TDbFilterExpression> expression)
{
    FEnabled = enabled;
    FExpression = std::move(expression);
}

void TDbRowFilter::Forget()
{
    FExpression.reset();
}

bool TDbRowFilter::Keeps(const TDbRowStore &store, int slot, const std::vector<TFieldType> &types) const
{
    const auto value = [&](int field) { return CellValue(store, slot, field, types[std::size_t(field)]); };
    return FExpression->Matches(value, FOptions);
}

} // namespace kestrum
