#pragma once
// The operators as the filter dialogs offer them. The custom filter dialog and
// the filter builder number them 1 to 26: the criteria's own operators, with
// "is blank" and "is not blank" put in as separate choices after "not like".
#include "filter/FilterTypes.h"

#include <QString>

#include <cstdint>
#include <initializer_list>

namespace kestrum {

enum TkvFilterDialogOperator : std::uint8_t {
    fdoEqual = 1,
    fdoNotEqual,
    fdoLess,
    fdoLessEqual,
    fdoGreater,
    fdoGreaterEqual,
    fdoLike,
    fdoNotLike,
    fdoBlanks,
    fdoNonBlanks,
    fdoBetween,
    fdoNotBetween,
    fdoInList,
    fdoNotInList,
    fdoYesterday,
    fdoToday,
    fdoTomorrow,
    fdoLastWeek,
    fdoLastMonth,
    fdoLastYear,
    fdoThisWeek,
    fdoThisMonth,
    fdoThisYear,
    fdoNextWeek,
    fdoNextMonth,
    fdoNextYear,
};
inline constexpr int FilterDialogOperatorFirst = fdoEqual;
inline constexpr int FilterDialogOperatorLast = fdoNextYear;

inline constexpr bool IsValidFilterDialogOperator(int code)
{
    return code >= FilterDialogOperatorFirst && code <= FilterDialogOperatorLast;
}

//! "等于", "不等于", ... as the operator lists show them.
QString FilterDialogOperatorCaption(TkvFilterDialogOperator op);

//! The criteria operator a dialog operator stands for; blanks and non-blanks
//! are equal and not equal with a Null value.
TkvFilterOperatorCode CriteriaOperatorOf(TkvFilterDialogOperator op);

//! Whether the operator compares with Null rather than with a typed value.
inline constexpr bool IsNullFilterDialogOperator(TkvFilterDialogOperator op)
{
    return op == fdoBlanks || op == fdoNonBlanks;
}

//! The dialog operator that shows a condition: equal and not equal with a
//! Null value read as blanks and non-blanks.
TkvFilterDialogOperator FilterDialogOperatorOf(TkvFilterOperatorCode code, bool valueIsNull);

//! A set of dialog operators, in ascending order when walked.
class TkvFilterDialogOperators {
public:
    constexpr TkvFilterDialogOperators() = default;
    constexpr TkvFilterDialogOperators(std::initializer_list<TkvFilterDialogOperator> ops)
    {
        for (TkvFilterDialogOperator op : ops)
            Include(op);
    }
    //! Every operator from `first` to `last`, both included.
    static constexpr TkvFilterDialogOperators Range(TkvFilterDialogOperator first,
                                                    TkvFilterDialogOperator last)
    {
        TkvFilterDialogOperators result;
        for (int code = first; code <= last; ++code)
            result.Include(TkvFilterDialogOperator(code));
        return result;
    }

    constexpr bool Contains(TkvFilterDialogOperator op) const { return (FBits & Bit(op)) != 0; }
    constexpr void Include(TkvFilterDialogOperator op) { FBits |= Bit(op); }
    constexpr void Exclude(TkvFilterDialogOperator op) { FBits &= ~Bit(op); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TkvFilterDialogOperators operator|(TkvFilterDialogOperators other) const
    {
        TkvFilterDialogOperators result;
        result.FBits = FBits | other.FBits;
        return result;
    }
    friend constexpr bool operator==(TkvFilterDialogOperators, TkvFilterDialogOperators) = default;

private:
    static constexpr std::uint32_t Bit(TkvFilterDialogOperator op) { return std::uint32_t(1) << op; }
    std::uint32_t FBits = 0;
};

} // namespace kestrum
