#pragma once
// An exact running total of money amounts held as doubles.
//
// Amounts are stored with at most four decimals (the currency type's
// precision), but a double holds only the binary value nearest to such a
// decimal: adding a million of them one by one leaves the sum cents away from
// the decimal total. An amount that is the double nearest to a number of
// ten-thousandths is therefore counted as that integer number of units, which
// adds and subtracts without any error; anything else (more decimals, or an
// amount beyond 2^52 units) goes into a compensated floating remainder.
#include <cstdint>

namespace kestrum {

class TMoneySum {
public:
    //! Units per currency unit: the smallest decimal an amount holds.
    static constexpr double UnitsPerOne = 10000.0;

    void Add(double amount)
    {
        std::int64_t units;
        if (ExactUnits(amount, units))
            AddUnits(units);
        else
            AddRemainder(amount);
    }

    //! Whether Add counts the amount as a whole number of units (given in
    //! `units`) rather than in the floating remainder. Those adds give the
    //! same total in any order while the units' magnitudes sum below 2^63;
    //! the remainder's depends on the order of its amounts among themselves.
    static bool ExactUnits(double amount, std::int64_t &units)
    {
        // Adding and taking away 1.5 * 2^52 rounds to the nearest integer
        // without a library call, for every |scaled| below 2^51.
        constexpr double RoundingBias = 6755399441055744.0;
        const double scaled = amount * UnitsPerOne;
        if (!(scaled > -ExactLimit && scaled < ExactLimit))
            return false;
        const double rounded = (scaled + RoundingBias) - RoundingBias;
        // The amount is exactly the double nearest to units / 10000.
        if (rounded / UnitsPerOne != amount)
            return false;
        units = std::int64_t(rounded);
        return true;
    }

    //! Adds what ExactUnits gave for an amount: the same as Add of the amount.
    void AddExactUnits(std::int64_t units) { AddUnits(units); }

    void Subtract(double amount) { Add(-amount); }

    //! Adds another total to this one.
    void Add(const TMoneySum &other);

    //! The double nearest to the total (exactly that when every amount was
    //! a decimal of at most four places and the total stays below 2^53 units).
    double Value() const;

    //! The total in ten-thousandths, rounded half away from zero: exact when
    //! no amount went into the remainder. False when it does not fit 64 bits.
    bool TryUnits(std::int64_t &units) const;

    bool HasRemainder() const { return FRemainder != 0 || FCompensation != 0; }

private:
    static constexpr double ExactLimit = 2251799813685248.0; // 2^51 units

    void AddUnits(std::int64_t units)
    {
        if (__builtin_add_overflow(FUnits, units, &FUnits))
            SpillUnits(units);
    }
    void SpillUnits(std::int64_t units);
    void AddRemainder(double amount);

    std::int64_t FUnits = 0;
    //! Neumaier's compensated sum of the amounts that are no exact units.
    double FRemainder = 0;
    double FCompensation = 0;
};

} // namespace kestrum
