// Reading statement texts, date text and declared column types.
#include "db/DateText.h"
#include "db/FieldValues.h"
#include "db/SqlStatement.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

// "names|sql|operands per name" in one line.
std::string Describe(const QString &sql)
{
    const TDbStatementPlan plan = ParseStatement(sql);
    std::string result;
    for (std::size_t i = 0; i < plan.names.size(); ++i) {
        result += (i ? "," : "") + plan.names[i].toStdString() + "=";
        for (const TDbOperand &operand : plan.operands[i]) {
            static const char *const kinds[] = {"none", "fn", "col", "num", "str"};
            result += std::string(kinds[operand.kind]) + ":" + operand.name.toStdString() + ";";
        }
    }
    return result + "|" + plan.sql + "|" + plan.tables.join(',').toStdString();
}

TEST(Statement, ParametersBecomePlaceholdersAndKnowWhatTheyMeet)
{
    struct Case {
        const char *sql;
        const char *expected;
    } cases[] = {
        {"select * from gain", "|select * from gain|gain"},
        {"select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c ",
         "b=fn:year;,c=fn:month;|select * from gain where year(进帐时间)= ?1 AND month(进帐时间)=?2 |gain"},
        {"select sum(消费金额) as l2 from expen where year(消费日期)= :c  ",
         "c=fn:year;|select sum(消费金额) as l2 from expen where year(消费日期)= ?1  |expen"},
        {"select * from t where :a = x.amount or :A > 3",
         "a=col:amount;num:3;|select * from t where ?1 = x.amount or ?1 > 3|t"},
        {"select ':no', \"q:no\", [a:b] from t -- :none\n where a = :yes /* :not */",
         "yes=col:a;|select ':no', \"q:no\", [a:b] from t -- :none\n where a = ?1 /* :not */|t"},
        {"select a::text from t", "|select a:text from t|t"},
        {"select * from t where d between :lo and :hi and k in (:x, :y)",
         "lo=col:d;,hi=col:d;,x=col:k;,y=col:k;|select * from t where d between ?1 and ?2 and k in (?3, "
         "?4)|t"},
        {"select * from t where name like :p", "p=str:;|select * from t where name like ?1|t"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Describe(QString::fromUtf8(c.sql)), c.expected) << c.sql;
}

TEST(DateText, RoundTripsAndRejectsMalformedText)
{
    struct Case {
        double days;
        const char *text;
    } cases[] = {{0, "1899-12-30 00:00:00"},
                 {45478, "2024-07-05 00:00:00"},
                 {45478.5, "2024-07-05 12:00:00"},
                 {-1.25, "1899-12-29 06:00:00"},
                 {1.0 / 86400000 * 5, "1899-12-30 00:00:00.005"},
                 {2, "1900-01-01 00:00:00"}};
    for (const Case &c : cases) {
        EXPECT_EQ(DaysToIsoText(c.days), c.text);
        ASSERT_TRUE(IsoTextToDays(c.text).has_value()) << c.text;
        EXPECT_NEAR(*IsoTextToDays(c.text), c.days, 1e-9) << c.text;
    }
    EXPECT_NEAR(*IsoTextToDays("2024-07-05"), 45478, 0);
    EXPECT_NEAR(*IsoTextToDays("2024-07-05T13:30"), 45478 + 13.5 / 24, 1e-9);
    for (const char *bad : {"", "2024-7-5", "2024-02-30", "2024-13-01", "2024-07-05 25:00", "2024-07-05x",
                            "2024-07-05 12:00:00.", "abcd-ef-gh"})
        EXPECT_FALSE(IsoTextToDays(bad).has_value()) << bad;
    EXPECT_ANY_THROW(DaysToIsoText(1e9));
}

TEST(FieldTypes, DeclaredTypesMapToFieldTypes)
{
    struct Case {
        const char *declared;
        TFieldType type;
        int size;
    } cases[] = {{"VARCHAR(50)", ftString, 50},
                 {"varchar", ftString, 255},
                 {"TEXT", ftMemo, 0},
                 {"TEXT(20)", ftString, 20},
                 {"NVARCHAR(10)", ftWideString, 10},
                 {"DATETIME", ftDateTime, 0},
                 {"REAL", ftFloat, 0},
                 {"DOUBLE", ftFloat, 0},
                 {"INTEGER", ftInteger, 0},
                 {"SMALLINT", ftSmallint, 0},
                 {"BIGINT", ftLargeint, 0},
                 {"BIT", ftBoolean, 0},
                 {"CURRENCY", ftCurrency, 0},
                 {"DECIMAL(10,2)", ftBCD, 2},
                 {"NUMERIC(20,6)", ftFMTBcd, 6},
                 {"BLOB", ftBlob, 0},
                 {"UNSIGNED BIG INT", ftInteger, 0},
                 {"", ftUnknown, 0}};
    for (const Case &c : cases) {
        int size = -1;
        EXPECT_EQ(MapDeclaredType(c.declared, size), c.type) << c.declared;
        EXPECT_EQ(size, c.size) << c.declared;
    }
}

} // namespace
} // namespace kestrum
