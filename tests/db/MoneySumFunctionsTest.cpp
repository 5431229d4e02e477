// sum() and total() of SQL on a ledger connection, against the decimal totals.
#include "db/JetFunctions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace kestrum {
namespace {

class MoneySumFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sqlite3_open(":memory:", &FDb), SQLITE_OK);
        RegisterJetFunctions(FDb);
        Exec("CREATE TABLE expen (id INTEGER PRIMARY KEY, 消费金额 REAL, n INTEGER)");
    }
    void TearDown() override { sqlite3_close(FDb); }

    void Exec(const std::string &sql)
    {
        char *message = nullptr;
        if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
            ADD_FAILURE() << sql << ": " << (message ? message : "");
        sqlite3_free(message);
    }

    //! The first column of the first row: its text as SQLite gives it
    //! ("NULL" for Null, "error: ..." when the statement fails).
    std::string Value(const std::string &sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(FDb, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            return std::string("error: ") + sqlite3_errmsg(FDb);
        std::string text;
        const int rc = sqlite3_step(statement);
        if (rc != SQLITE_ROW)
            text = std::string("error: ") + sqlite3_errmsg(FDb);
        else if (sqlite3_column_type(statement, 0) == SQLITE_NULL)
            text = "NULL";
        else if (sqlite3_column_type(statement, 0) == SQLITE_INTEGER)
            text = std::to_string(sqlite3_column_int64(statement, 0)) + "i";
        else if (sqlite3_column_type(statement, 0) == SQLITE_TEXT)
            text = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
        else
            text = Exact(sqlite3_column_double(statement, 0));
        sqlite3_finalize(statement);
        return text;
    }
    static std::string Exact(double value)
    {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17g", value);
        return buffer;
    }

    sqlite3 *FDb = nullptr;
};

// Guards against SQL totals that add doubles one by one and miss the cent.
TEST_F(MoneySumFunctionsTest, MillionRowsSumToTheCent)
{
    Exec("INSERT INTO expen (消费金额) VALUES (1000000000.00)");
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 999999) "
         "INSERT INTO expen (消费金额) SELECT 0.03 FROM n");
    EXPECT_EQ(Value("select sum(消费金额) from expen"), Exact(1000029999.97));
    EXPECT_EQ(Value("select total(消费金额) from expen"), Exact(1000029999.97));
    // Sub-cent amounts keep their decimals.
    Exec("DELETE FROM expen");
    Exec("INSERT INTO expen (消费金额) VALUES (10.125), (0.1), (0.2), (-0.3), (0.0001), (NULL)");
    EXPECT_EQ(Value("select sum(消费金额) from expen"), Exact(10.1251));
}

TEST_F(MoneySumFunctionsTest, KeepsTheBuiltInRulesForNullsIntegersAndWindows)
{
    EXPECT_EQ(Value("select sum(消费金额) from expen"), "NULL");
    EXPECT_EQ(Value("select total(消费金额) from expen"), "0");
    Exec("INSERT INTO expen (消费金额, n) VALUES (NULL, 2), (0.1, 3), (0.2, NULL)");
    EXPECT_EQ(Value("select sum(n) from expen"), "5i");
    EXPECT_EQ(Value("select sum(n + 0.5) from expen"), Exact(6.0));
    EXPECT_EQ(Value("select sum(消费金额) from expen where 消费金额 is null"), "NULL");
    Exec("INSERT INTO expen (n) VALUES (9223372036854775807)");
    EXPECT_EQ(Value("select sum(n) from expen"), "error: integer overflow");
    // A sliding window takes rows out again without drift.
    // (1 marks a total that is the double nearest its decimal, n a Null one.)
    EXPECT_EQ(Value("select group_concat(coalesce(s = round(s, 4), 'n'), '|') from (select sum(消费金额) "
                    "over (order by id rows between 1 preceding and current row) as s from expen)"),
              "n|1|1|1");
}

} // namespace
} // namespace kestrum
