#pragma once
// Codes and option sets of the filter model. The numeric codes are stored in
// the criteria stream and must keep their values.
#include <cstdint>
#include <initializer_list>

namespace kestrum {

enum TkvFilterOperatorCode : std::uint8_t {
    ocEqual = 0,
    ocNotEqual,
    ocLess,
    ocLessEqual,
    ocGreater,
    ocGreaterEqual,
    ocLike,
    ocNotLike,
    ocBetween,
    ocNotBetween,
    ocInList,
    ocNotInList,
    ocYesterday,
    ocToday,
    ocTomorrow,
    ocLastWeek,
    ocLastMonth,
    ocLastYear,
    ocThisWeek,
    ocThisMonth,
    ocThisYear,
    ocNextWeek,
    ocNextMonth,
    ocNextYear,
};
inline constexpr int FilterOperatorCodeCount = 24;

inline constexpr bool IsDateOperatorCode(TkvFilterOperatorCode code)
{
    return code >= ocYesterday && code <= ocNextYear;
}

enum TkvFilterBoolCode : std::uint8_t { bcAnd = 0, bcOr, bcNotAnd, bcNotOr };

enum TkvFilterCriteriaOption : std::uint8_t {
    fcoCaseInsensitive,
    fcoShowOperatorDescription,
    fcoSoftNull,
    fcoSoftCompare,
};

class TkvFilterCriteriaOptions {
public:
    constexpr TkvFilterCriteriaOptions() = default;
    constexpr TkvFilterCriteriaOptions(std::initializer_list<TkvFilterCriteriaOption> options)
    {
        for (TkvFilterCriteriaOption option : options)
            FBits |= Bit(option);
    }
    constexpr bool Contains(TkvFilterCriteriaOption option) const { return (FBits & Bit(option)) != 0; }
    constexpr void Include(TkvFilterCriteriaOption option) { FBits |= Bit(option); }
    constexpr void Exclude(TkvFilterCriteriaOption option) { FBits &= std::uint8_t(~Bit(option)); }
    constexpr bool Empty() const { return FBits == 0; }
    friend constexpr bool operator==(TkvFilterCriteriaOptions, TkvFilterCriteriaOptions) = default;

private:
    static constexpr std::uint8_t Bit(TkvFilterCriteriaOption option) { return std::uint8_t(1u << option); }
    std::uint8_t FBits = 0;
};

enum TkvFilterValueKind : std::uint8_t { vkAll = 0, vkCustom, vkBlanks, vkNonBlanks, vkUser, vkValue };

} // namespace kestrum
