#include "filterdialogs/FilterDialogOperators.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(FilterDialogOperators, EveryOperatorRoundTripsThroughTheCriteriaCode)
{
    for (int code = FilterDialogOperatorFirst; code <= FilterDialogOperatorLast; ++code) {
        const auto op = TkvFilterDialogOperator(code);
        const bool null = IsNullFilterDialogOperator(op);
        EXPECT_EQ(FilterDialogOperatorOf(CriteriaOperatorOf(op), null), op) << code;
        EXPECT_FALSE(FilterDialogOperatorCaption(op).isEmpty()) << code;
    }
}

TEST(FilterDialogOperators, BlanksAreEqualityWithNullAndTheRestShiftPastThem)
{
    EXPECT_EQ(CriteriaOperatorOf(fdoBlanks), ocEqual);
    EXPECT_EQ(CriteriaOperatorOf(fdoNonBlanks), ocNotEqual);
    EXPECT_EQ(CriteriaOperatorOf(fdoNotLike), ocNotLike);
    EXPECT_EQ(CriteriaOperatorOf(fdoBetween), ocBetween);
    EXPECT_EQ(CriteriaOperatorOf(fdoNextYear), ocNextYear);
    EXPECT_EQ(FilterDialogOperatorOf(ocEqual, true), fdoBlanks);
    EXPECT_EQ(FilterDialogOperatorOf(ocLess, true), fdoLess);
    EXPECT_EQ(FilterDialogOperatorCaption(fdoLessEqual), QString::fromUtf8("小与等于"));
    EXPECT_EQ(FilterDialogOperatorCaption(fdoBetween), QString::fromUtf8("取范围"));
    EXPECT_EQ(FilterDialogOperatorCaption(fdoNextYear), QString::fromUtf8("明年"));
}

TEST(FilterDialogOperators, RangesHoldBothEnds)
{
    const auto set =
        TkvFilterDialogOperators::Range(fdoEqual, fdoGreaterEqual) | TkvFilterDialogOperators{fdoBlanks};
    EXPECT_TRUE(set.Contains(fdoEqual));
    EXPECT_TRUE(set.Contains(fdoGreaterEqual));
    EXPECT_TRUE(set.Contains(fdoBlanks));
    EXPECT_FALSE(set.Contains(fdoLike));
    EXPECT_FALSE(set.Contains(fdoNonBlanks));
}

} // namespace
} // namespace kestrum
