#include "core/Variant.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrum;

TEST(Variant, ConstructorsPickTheirKinds)
{
    EXPECT_EQ(Variant().type(), VarType::Empty);
    EXPECT_EQ(Variant::null().type(), VarType::Null);
    EXPECT_EQ(Variant(true).type(), VarType::Boolean);
    EXPECT_EQ(Variant(5).type(), VarType::Int32);
    EXPECT_EQ(Variant(std::int64_t(5)).type(), VarType::Int64);
    EXPECT_EQ(Variant(1.5).type(), VarType::Float64);
    EXPECT_EQ(Variant(Currency{15000}).type(), VarType::Currency);
    EXPECT_EQ(Variant(QString("a")).type(), VarType::WideString);
    EXPECT_EQ(Variant(u"a").type(), VarType::WideString);
    EXPECT_EQ(Variant("工资").type(), VarType::String);
    EXPECT_EQ(Variant("工资").rawNarrow(), "\xB9\xA4\xD7\xCA");
    EXPECT_EQ(Variant::fromUInt32(4000000000u).toInt64(), 4000000000);
    EXPECT_EQ(Variant::fromInt8(-5).toInt32(), -5);
    EXPECT_EQ(Variant::fromFloat32(0.1f).toString(), "0.1");
}

TEST(Variant, TextFormsFollowRegionalSettings)
{
    EXPECT_EQ(Variant(1234.5).toString(), "1234.5");
    EXPECT_EQ(Variant(0.1).toString(), "0.1");
    EXPECT_EQ(Variant(-7).toString(), "-7");
    EXPECT_EQ(Variant(Currency{125000}).toString(), "12.5");
    EXPECT_EQ(Variant(true).toString(), "True");
    EXPECT_EQ(Variant::fromDate(45478).toString(), "2024-7-5");
    EXPECT_EQ(Variant::fromDate(45478.5).toString(), "2024-7-5 12:00:00");
    EXPECT_EQ(Variant().toString(), "");
    EXPECT_EQ(Variant::null().displayText(), "");
    EXPECT_THROW(Variant::null().toString(), EVariantTypeError);
}

TEST(Variant, TextConvertsToNumbersAndDates)
{
    EXPECT_EQ(Variant("1,234.5").toDouble(), 1234.5);
    EXPECT_EQ(Variant(u" -12 ").toInt32(), -12);
    EXPECT_EQ(Variant("2.5").toInt32(), 2); // half to even
    EXPECT_EQ(Variant("2024-7-5").toDate(), 45478);
    EXPECT_EQ(Variant("2024-7-5 12:00:00").toDate(), 45478.5);
    EXPECT_EQ(Variant("true").toBool(), true);
    EXPECT_EQ(Variant("1.00005").toCurrency().scaled, 10001);
    EXPECT_THROW(Variant("abc").toDouble(), EVariantConversionError);
    EXPECT_THROW(Variant("abc").toDate(), EVariantConversionError);
    EXPECT_THROW(Variant(3e9).toInt32(), EVariantConversionError);
    EXPECT_THROW(Variant::fromError(5).toDouble(), EVariantTypeError);
}
