#include "core/MoneySum.h"

#include <cmath>

namespace kestrum {

void TMoneySum::SpillUnits(std::int64_t units)
{
    // The add overflowed and left FUnits wrapped: undo it, move the old total
    // to the remainder (rounding only at this size) and start again.
    FUnits = std::int64_t(std::uint64_t(FUnits) - std::uint64_t(units));
    AddRemainder(double(FUnits) / UnitsPerOne);
    FUnits = units;
}

void TMoneySum::AddRemainder(double amount)
{
    const double sum = FRemainder + amount;
    if (std::fabs(FRemainder) >= std::fabs(amount))
        FCompensation += (FRemainder - sum) + amount;
    else
        FCompensation += (amount - sum) + FRemainder;
    FRemainder = sum;
}

void TMoneySum::Add(const TMoneySum &other)
{
    AddUnits(other.FUnits);
    AddRemainder(other.FRemainder);
    AddRemainder(other.FCompensation);
}

double TMoneySum::Value() const
{
    // One division of an exact integer rounds once, to the nearest double.
    const double units = double(FUnits) / UnitsPerOne;
    if (!HasRemainder())
        return units;
    return units + (FRemainder + FCompensation);
}

bool TMoneySum::TryUnits(std::int64_t &units) const
{
    if (!HasRemainder()) {
        units = FUnits;
        return true;
    }
    const double rest = std::round((FRemainder + FCompensation) * UnitsPerOne);
    if (!(std::fabs(rest) < 9.2e18))
        return false;
    return !__builtin_add_overflow(FUnits, std::int64_t(rest), &units);
}

} // namespace kestrum
