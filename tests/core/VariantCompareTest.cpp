#include "core/VariantCompare.h"
#include "core/DateTime.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrum;

namespace {

Variant array(std::vector<Variant> items)
{
    return Variant::fromArray(std::move(items));
}

int sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

struct CompareRow {
    const char *name;
    Variant a;
    Variant b;
    int expected; // sign of CompareVariants(a, b)
};

} // namespace

TEST(CompareVariants, FollowsTheComparisonClasses)
{
    const double july5 = EncodeDate(2024, 7, 5);
    const CompareRow rows[] = {
        {"Null = Null", Variant::null(), Variant::null(), 0},
        {"Null < 0", Variant::null(), Variant(0), -1},
        {"0 > Null", Variant(0), Variant::null(), 1},
        {"Null < Empty", Variant::null(), Variant(), -1},
        {"Null < empty text", Variant::null(), Variant(""), -1},
        {"Empty = 0", Variant(), Variant(0), 0},
        {"Empty = empty text", Variant(), Variant(""), 0},
        {"Empty = false", Variant(), Variant(false), 0},
        {"Empty = Empty", Variant(), Variant(), 0},
        {"Empty < 1.5", Variant(), Variant(1.5), -1},
        {"B < a (case counts)", Variant("B"), Variant("a"), -1},
        {"ab > a (prefix is less)", Variant("ab"), Variant("a"), 1},
        {"text 10 < text 9", Variant("10"), Variant("9"), -1},
        {"text 10 > integer 9", Variant("10"), Variant(9), 1},
        {"wide against narrow by bytes", Variant(u"b"), Variant("a"), 1},
        {"GBK byte order: 工(B9A4) < 资(D7CA)", Variant(u"工"), Variant(u"资"), -1},
        {"GBK byte order beats UTF-16 order", Variant(u"啊"), Variant(u"一"), -1},
        {"Real 1.00001 = Currency 1", Variant(1.00001), Variant(Currency{10000}), 0},
        {"Real 1.00005 > Currency 1", Variant(1.00005), Variant(Currency{10000}), 1},
        {"Int32 = Real", Variant(2), Variant(2.0), 0},
        {"Int8 < UInt8", Variant::fromInt8(-1), Variant::fromUInt8(255), -1},
        {"Int64 beyond 32 bits", Variant(std::int64_t(5000000000)), Variant(7), 1},
        {"UInt32 against Int64", Variant::fromUInt32(4000000000u), Variant(std::int64_t(-1)), 1},
        {"true = -1 against integers", Variant(true), Variant(-1), 0},
        {"true < 0 against integers", Variant(true), Variant(0), -1},
        {"false < true between Booleans", Variant(false), Variant(true), -1},
        {"text True = true", Variant("True"), Variant(true), 0},
        {"text 0 = false", Variant("0"), Variant(false), 0},
        {"date = text in short date format", Variant::fromDate(july5), Variant("2024-7-5"), 0},
        {"date < later text date", Variant::fromDate(july5), Variant("2024-7-6"), -1},
        {"date < text that is no date", Variant::fromDate(july5), Variant("soon"), -1},
        {"text that is no date < date too", Variant("soon"), Variant::fromDate(july5), -1},
        {"date = its day number", Variant::fromDate(july5), Variant(45478), 0},
        {"text that is no number < number", Variant("abc"), Variant(1.5), -1},
        {"number < text that is no number", Variant(1.5), Variant("abc"), -1},
        {"error code is incomparable", Variant::fromError(1), Variant(1), -1},
        {"Currency against text", Variant(Currency{125000}), Variant("12.5"), 0},
        {"Single against Double", Variant::fromFloat32(0.5f), Variant(0.5), 0},
        {"arrays: (1,2) < (1,3)", array({1, 2}), array({1, 3}), -1},
        {"arrays: equal", array({1, "a"}), array({1, "a"}), 0},
        {"arrays: empty = empty", array({}), array({}), 0},
        {"scalar < array", Variant(5), array({1}), -1},
        {"array > scalar", array({1}), Variant(5), 1},
        {"array > Null", array({}), Variant::null(), 1},
        {"arrays compare their elements' classes", array({Variant::null()}), array({0}), -1},
    };
    for (const CompareRow &row : rows)
        EXPECT_EQ(sign(CompareVariants(row.a, row.b)), row.expected) << row.name;
}

TEST(CompareVariants, ArraysOfDifferentLengthGiveTheDifferenceOfUpperBounds)
{
    EXPECT_EQ(CompareVariants(array({1, 2, 3}), array({9})), 2);
    EXPECT_EQ(CompareVariants(array({9}), array({1, 2, 3})), -2);
    EXPECT_EQ(CompareVariants(array({}), array({1})), -1);
}

TEST(CompareVariants, NaNIsNeitherEqualNorLess)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(CompareVariants(Variant(nan), Variant(1.0)), 1);
    EXPECT_EQ(CompareVariants(Variant(1.0), Variant(nan)), 1);
    EXPECT_FALSE(VariantsEqual(Variant(nan), Variant(nan)));
    EXPECT_FALSE(VariantLess(Variant(nan), Variant(1.0)));
    EXPECT_FALSE(VariantGreater(Variant(nan), Variant(1.0)));
}

TEST(VariantsEqual, NullRulesAndErrorsPropagate)
{
    EXPECT_TRUE(VariantsEqual(Variant::null(), Variant::null()));
    EXPECT_FALSE(VariantsEqual(Variant::null(), Variant(0)));
    EXPECT_FALSE(VariantsEqual(Variant(""), Variant::null()));
    EXPECT_TRUE(VariantsEqual(Variant("12"), Variant(12)));
    EXPECT_TRUE(VariantsEqual(Variant(u"工资"), Variant("工资")));
    EXPECT_FALSE(VariantsEqual(Variant("a"), Variant("A")));
    EXPECT_TRUE(VariantsEqual(array({1, 2}), array({1.0, 2.0})));
    EXPECT_FALSE(VariantsEqual(array({1, 2}), array({1})));
    EXPECT_THROW(VariantsEqual(Variant("abc"), Variant(1)), EVariantConversionError);
    EXPECT_THROW(VariantsEqual(Variant::fromError(1), Variant(1)), EVariantTypeError);
    EXPECT_THROW(VariantsEqual(array({1}), Variant(1)), EVariantTypeError);
}

TEST(VariantsEqual, LessAndGreaterFollowThePlatformOrder)
{
    EXPECT_TRUE(VariantLess(Variant::null(), Variant(-5)));
    EXPECT_TRUE(VariantGreater(Variant(3), Variant(2.5)));
    EXPECT_FALSE(VariantGreater(Variant(2), Variant(2.0)));
    EXPECT_TRUE(VariantLess(Variant("10"), Variant("9")));
    EXPECT_THROW(VariantLess(Variant("x"), Variant(1)), EVariantConversionError);
}

TEST(IsNullOrEmptyText, OnlyNullAndEmptyStrings)
{
    EXPECT_TRUE(IsNullOrEmptyText(Variant::null()));
    EXPECT_TRUE(IsNullOrEmptyText(Variant("")));
    EXPECT_TRUE(IsNullOrEmptyText(Variant(QString())));
    EXPECT_FALSE(IsNullOrEmptyText(Variant()));
    EXPECT_FALSE(IsNullOrEmptyText(Variant(0)));
    EXPECT_FALSE(IsNullOrEmptyText(Variant(" ")));
}

TEST(ValuesEqualForEdit, BooleansCompareByTextOthersByComparison)
{
    EXPECT_TRUE(ValuesEqualForEdit(Variant::null(), Variant::null()));
    EXPECT_FALSE(ValuesEqualForEdit(Variant::null(), Variant(false)));
    EXPECT_TRUE(ValuesEqualForEdit(Variant(true), Variant("True")));
    EXPECT_FALSE(ValuesEqualForEdit(Variant(true), Variant(-1))); // "True" against "-1"
    EXPECT_TRUE(ValuesEqualForEdit(Variant(true), Variant(true)));
    EXPECT_TRUE(ValuesEqualForEdit(Variant(12.5), Variant("12.5")));
    EXPECT_FALSE(ValuesEqualForEdit(Variant(12.5), Variant(12.50001)));
    EXPECT_FALSE(ValuesEqualForEdit(Variant(true), Variant::fromError(3)));
    EXPECT_FALSE(ValuesEqualForEdit(Variant("abc"), Variant(1)));
}
