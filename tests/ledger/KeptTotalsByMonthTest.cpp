// The month totals kept by triggers: whatever writes the file (this program,
// or the sqlite3 shell without any function of ours), a year's or a month's
// sum from them is exactly what the statistics' statement gives, or nothing.
#include "ledger/KeptTotalsByMonth.h"

#include "KeptLedgerTest.h"
#include "db/JetFunctions.h"
#include "ledger/DateIndexes.h"
#include "ledger/Journal.h"
#include "ledger/KeptTotals.h"
#include "ledger/LedgerFile.h"
#include "ledger/Trash.h"
#include "support/HandleDriver.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace kestrum {
namespace {

const QString Income = QStringLiteral("gain");
const QString IncomeAmount = QString::fromUtf8("本次进帐");
const QString IncomeDate = QString::fromUtf8("进帐时间");

class KeptTotalsByMonth : public KeptLedgerTest {
protected:
    KeptTotalsByMonth()
    {
        // The all-time totals' triggers fire beside these.
        KeptAmountSum(FProgram.get(), Income, IncomeAmount);
    }

    //! What the statistics' statement gives for a year (and month) on this
    //! program's connection.
    std::string Statement(int year, int month = 0, const char *table = "gain",
                          const char *amount = "本次进帐", const char *date = "进帐时间")
    {
        std::string sql = std::string("SELECT sum(") + amount + ") FROM " + table + " WHERE year(" + date +
                          ")= " + std::to_string(year);
        if (month)
            sql += std::string(" AND month(") + date + ")=" + std::to_string(month);
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(FProgram.get(), sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
            return sqlite3_errmsg(FProgram.get());
        std::string result = "error";
        if (sqlite3_step(s) == SQLITE_ROW) {
            switch (sqlite3_column_type(s, 0)) {
            case SQLITE_NULL:
                result = "null";
                break;
            case SQLITE_FLOAT:
                result = Describe(Variant(sqlite3_column_double(s, 0)));
                break;
            default:
                result = "integer " + std::to_string(sqlite3_column_int64(s, 0));
            }
        }
        sqlite3_finalize(s);
        return result;
    }

    std::string Kept(int year, int month = 0, sqlite3 *db = nullptr, const QString &table = Income)
    {
        const auto kept = KeptPeriodSum(db ? db : FProgram.get(), table,
                                        table == Income ? IncomeAmount : QString::fromUtf8("消费金额"),
                                        table == Income ? IncomeDate : QString::fromUtf8("消费日期"), year,
                                        month ? std::optional<int>(month) : std::nullopt);
        return kept ? Describe(*kept) : "none";
    }

    //! Every year and month of `years`: where the kept totals answer, their
    //! sum is the statement's to the last bit. Returns how many answered.
    int CheckPeriods(const std::vector<int> &years, const std::string &when)
    {
        int answered = 0;
        for (const int year : years)
            for (int month = 0; month <= 12; ++month) {
                const std::string kept = Kept(year, month);
                if (kept == "none")
                    continue;
                ++answered;
                EXPECT_EQ(kept, Statement(year, month)) << year << "-" << month << " after " << when;
            }
        return answered;
    }

    //! A year's months and items from the kept totals against the same
    //! figures summed by the statement, row by row with year() and month().
    void CheckYearItems(int year, const std::string &when)
    {
        const auto kept = KeptYearItems(FProgram.get(), Income, year);
        ASSERT_TRUE(kept) << when;
        std::map<std::pair<int, std::string>, std::pair<std::int64_t, double>> expected, got;
        sqlite3_stmt *s = nullptr;
        const std::string sql = "SELECT month(进帐时间), coalesce(trim(进帐人), ''), count(*), "
                                "coalesce(sum(本次进帐), 0) FROM gain WHERE year(进帐时间) = " +
                                std::to_string(year) + " GROUP BY 1, 2";
        ASSERT_EQ(sqlite3_prepare_v2(FProgram.get(), sql.c_str(), -1, &s, nullptr), SQLITE_OK);
        while (sqlite3_step(s) == SQLITE_ROW)
            expected[{sqlite3_column_int(s, 0), reinterpret_cast<const char *>(sqlite3_column_text(s, 1))}] =
                {sqlite3_column_int64(s, 2), sqlite3_column_double(s, 3)};
        sqlite3_finalize(s);
        std::map<std::pair<int, std::string>, std::pair<std::int64_t, TMoneySum>> sums;
        for (const TKeptMonthItem &item : kept->Months) {
            sums[{item.Month, item.Item}].first += item.Rows;
            sums[{item.Month, item.Item}].second.Add(item.Amount);
        }
        for (const TKeptAsideRow &row : kept->Aside) {
            sums[{row.Month, row.Item}].first += 1;
            if (row.Amount)
                sums[{row.Month, row.Item}].second.Add(*row.Amount);
        }
        for (const auto &[key, value] : sums)
            got[key] = {value.first, value.second.Value()};
        EXPECT_EQ(got, expected) << when;
    }
};

TEST_F(KeptTotalsByMonth, EveryKindOfWriteAndDateByAnyProgramKeepsEachPeriodsSum)
{
    EXPECT_EQ(Kept(2006, 7), "none") << "not made yet";
    ASSERT_TRUE(MakeKeptMonthTotalsAside(Path()));
    EXPECT_TRUE(HasKeptMonthTotals(FProgram.get()));
    EXPECT_EQ(Kept(2006, 7), "null") << "an empty table";
    const std::vector<int> years = {1899, 1900, 2004, 2005, 2006, 2007, 2017};
    const struct {
        bool Shell;
        const char *Sql;
    } steps[] = {
        {false, "INSERT INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (1, 1500.5, '2006-07-01', '工资')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (2, -20.25, '2006-07-02 13:30:00', "
               "' 工资 ')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (3, 0.0001, '2006-12-31 23:59:59')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (4, NULL, '2006-07-04')"},
        // Dates year() reads otherwise than by their first characters, or
        // not at all: days as numbers (with the time either way of the
        // day), other texts, days that are not in the calendar, Null.
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (5, 2.5, 38900.75)"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (6, 3.5, -1.5)"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (7, 4.5, '2006-07-05T10:00')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (8, 5.5, '2006-7-5')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (9, 6.5, '2006-02-29')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (10, 7.5, '2004-02-29 00:00:00')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (11, 8.5, '2006-07-01 24:00:00')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (12, 9.5, NULL)"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (13, 10.5, '2006-07-01 10:00:00.250')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (14, 11.5, '0000-07-01')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (15, 12.5, '2006-13-01')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (16, 13.5, '2006-07-00')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (17, 14.5, '１２３４-07-01')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (18, 15.5, x'323030362d30372d3031')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (19, 16.5, '1900-02-29')"},
        // Amounts that are no decimal of four places, in and out of months.
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (20, 0.1 + 0.2, '2005-03-05')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (21, 'abc', '2005-04-05')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (22, '12.5', '2006-08-05')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (23, 7, 38901)"},
        {false, "INSERT INTO gain (本次进帐, 进帐时间) VALUES (32.879999999999995, '2007-08-01')"},
        // Changes of amount, date, item and id.
        {true, "UPDATE gain SET 本次进帐 = 7.77 WHERE id = 20"},
        {true, "UPDATE gain SET 进帐时间 = '2006-11-11' WHERE id = 5"},
        {true, "UPDATE gain SET 进帐时间 = 39000 WHERE id = 1"},
        {true, "UPDATE gain SET 进帐人 = 'zz' WHERE id = 3"},
        {true, "UPDATE gain SET id = 100 WHERE id = 3"},
        {false, "UPDATE gain SET 本次进帐 = 本次进帐 + 1 WHERE id = 2"},
        // Rows a REPLACE takes out of the way, which fire no DELETE trigger.
        {true, "INSERT OR REPLACE INTO gain (id, 本次进帐, 进帐时间) VALUES (2, 99.99, '2006-07-09')"},
        {true, "REPLACE INTO gain (id, 本次进帐, 进帐时间) VALUES (5, 1.25, 38910)"},
        {true, "REPLACE INTO gain (id, 本次进帐, 进帐时间) VALUES (23, 1.25, '2006-07-10')"},
        {true, "UPDATE OR REPLACE gain SET id = 4 WHERE id = 100"},
        {true, "INSERT OR IGNORE INTO gain (id, 本次进帐, 进帐时间) VALUES (2, 5, '2006-07-09')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (50, 5.0, '2006-07-09')"},
        {true, "PRAGMA recursive_triggers = ON"},
        {true, "INSERT OR REPLACE INTO gain (id, 本次进帐, 进帐时间) VALUES (50, 0.75, '2006-07-10')"},
        {true, "UPDATE OR REPLACE gain SET id = 9 WHERE id = 50"},
        {true, "PRAGMA recursive_triggers = OFF"},
        {true, "DELETE FROM gain WHERE id = 21"},
        {false, "DELETE FROM gain WHERE id IN (8, 11)"},
        {true, "BEGIN; INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (60, 1, '2006-07-01'); ROLLBACK"},
    };
    for (const auto &step : steps) {
        ASSERT_EQ(Exec(step.Shell ? FShell.get() : FProgram.get(), step.Sql), "ok") << step.Sql;
        CheckPeriods(years, step.Sql);
    }
    // With the text amount and the noisy one gone, every period answers.
    ASSERT_EQ(Exec(FShell.get(), "DELETE FROM gain WHERE id = 22 OR 本次进帐 = 32.879999999999995"), "ok");
    EXPECT_EQ(CheckPeriods(years, "the odd amounts gone"), int(years.size()) * 13);
    EXPECT_NE(Kept(2006, 7), "null");
    for (const int year : years)
        CheckYearItems(year, std::to_string(year));
    ASSERT_EQ(Exec(FShell.get(), "DELETE FROM gain"), "ok");
    EXPECT_EQ(CheckPeriods(years, "every row gone"), int(years.size()) * 13);
    EXPECT_EQ(Kept(2006), "null");
}

TEST_F(KeptTotalsByMonth, ManyRandomWritesKeepEveryMonthToTheLastBitAndEqualTotalsMadeAfresh)
{
    ASSERT_TRUE(MakeKeptMonthTotalsAside(Path()));
    // Thousands of commits: the test needs no durability.
    Exec(FProgram.get(), "PRAGMA synchronous = OFF");
    Exec(FShell.get(), "PRAGMA synchronous = OFF");
    std::mt19937 random(11);
    std::uniform_int_distribution<int> id(1, 300), cents(-500000, 5000000), kind(0, 9);
    const char *const odd[] = {"39000.5", "NULL", "'2011-02-29'", "'2011-03-01T08:00'", "-700.25"};
    for (int round = 1; round <= 2000; ++round) {
        sqlite3 *writer = round % 3 == 0 ? FShell.get() : FProgram.get();
        const std::string key = std::to_string(id(random));
        const std::string amount = kind(random) == 0 ? "NULL" : std::to_string(cents(random)) + " / 100.0";
        const std::string date =
            kind(random) == 0
                ? odd[kind(random) % 5]
                : "'201" + std::to_string(kind(random) % 3) + "-0" + std::to_string(1 + kind(random)) + "-1" +
                      std::to_string(kind(random)) + (kind(random) < 5 ? " 10:00:00'" : "'");
        const std::string item = "' i" + std::to_string(kind(random) % 4) + "'";
        std::string sql;
        switch (kind(random) % 5) {
        case 0:
            sql = "DELETE FROM gain WHERE id = " + key;
            break;
        case 1:
            sql = "UPDATE gain SET 本次进帐 = " + amount + " WHERE id = " + key;
            break;
        case 2:
            sql = "UPDATE gain SET 进帐时间 = " + date + ", 进帐人 = " + item + " WHERE id = " + key;
            break;
        default:
            sql = "INSERT OR REPLACE INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (" + key + ", " +
                  amount + ", " + date + ", " + item + ")";
        }
        ASSERT_EQ(Exec(writer, sql), "ok") << sql;
        if (round % 250 == 0) {
            EXPECT_EQ(CheckPeriods({1899, 1906, 2010, 2011, 2012}, "round " + std::to_string(round)), 5 * 13);
        }
    }
    CheckYearItems(2011, "the random writes");
    const auto snapshot = [&] {
        std::string text;
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(FShell.get(),
                           "SELECT tbl, month, item, row_count, entries, units, magnitude FROM "
                           "kestrum_month_totals WHERE row_count <> 0 UNION ALL SELECT tbl, row_id, "
                           "quote(entry_date), quote(amount), quote(item), 0, 0 FROM kestrum_month_aside "
                           "ORDER BY 1, 2, 3",
                           -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int c = 0; c < 7; ++c)
                text += std::string(reinterpret_cast<const char *>(sqlite3_column_text(s, c))) + ' ';
            text += '\n';
        }
        sqlite3_finalize(s);
        return text;
    };
    const std::string kept = snapshot();
    // Made afresh from the rows, in several reads: the same figures.
    ASSERT_EQ(Exec(FShell.get(), "DROP TRIGGER kestrum_month_totals_gain_update"), "ok");
    EXPECT_FALSE(HasKeptMonthTotals(FProgram.get()));
    EXPECT_EQ(Kept(2011), "none") << "a trigger missing";
    TKeptTotalsPass pass;
    pass.RowsPerRead = 7;
    ASSERT_TRUE(MakeKeptMonthTotalsAside(Path(), pass));
    EXPECT_EQ(snapshot(), kept);
    EXPECT_NE(kept.find("2011-0"), std::string::npos) << kept;
    EXPECT_EQ(CheckPeriods({2011}, "made afresh"), 13);
}

TEST_F(KeptTotalsByMonth, WhatTheTotalsCannotGiveExactlyIsLeftToTheStatement)
{
    ASSERT_EQ(Exec(FShell.get(), "INSERT INTO gain (本次进帐, 进帐时间) VALUES (10.5, '2006-07-01'), "
                                 "(0.1 + 0.2, '2006-08-02'), (4, 38915), (5, '2007-01-01')"),
              "ok");
    ASSERT_EQ(Exec(FShell.get(), "INSERT INTO expen (消费金额, 消费日期) VALUES (3.5, '2006-07-01')"), "ok");
    TDatabase readOnly = Open(SQLITE_OPEN_READONLY);
    RegisterJetFunctions(readOnly.get());
    EXPECT_FALSE(MakeKeptMonthTotalsAside(QDir(FDir.path()).filePath("missing.mdb")));
    ASSERT_TRUE(MakeKeptMonthTotalsAside(Path()));
    EXPECT_EQ(Kept(2006, 7, readOnly.get()), Statement(2006, 7)) << "a read-only connection reads them";
    EXPECT_EQ(Kept(2006, 7, nullptr, QStringLiteral("EXPEN")),
              Statement(2006, 7, "expen", "消费金额", "消费日期"));
    // A value with binary noise in the period makes the order of adding
    // count; outside it, it does not matter.
    EXPECT_EQ(Kept(2006, 8), "none");
    EXPECT_EQ(Kept(2006), "none");
    EXPECT_EQ(Kept(2006, 7), Statement(2006, 7));
    EXPECT_EQ(Kept(2006, 7), Describe(Variant(14.5))) << "a day number in the month counts too";
    EXPECT_EQ(Kept(2007), Statement(2007));
    // Periods year() never gives, columns and tables not kept.
    EXPECT_EQ(Kept(0), "none");
    EXPECT_EQ(Kept(2006, 13), "none");
    EXPECT_FALSE(KeptPeriodSum(FProgram.get(), Income, QStringLiteral("id"), IncomeDate, 2006, 7));
    EXPECT_FALSE(KeptPeriodSum(FProgram.get(), Income, IncomeAmount, QString::fromUtf8("备注"), 2006, 7));
    EXPECT_FALSE(
        KeptPeriodSum(FProgram.get(), QStringLiteral("kestrum_trash"), IncomeAmount, IncomeDate, 2006, 7));
    EXPECT_TRUE(KeptPeriodSum(FProgram.get(), QStringLiteral(" Gain "), QString::fromUtf8("\"本次进帐\""),
                              QString::fromUtf8("[进帐时间]"), 2006, 7));
    // A connection without year() cannot put the rows aside in a period.
    EXPECT_EQ(Kept(2006, 7, FShell.get()), "none");
    // Totals that left 64 bits are never read.
    ASSERT_EQ(Exec(FShell.get(), "INSERT INTO gain (本次进帐, 进帐时间) VALUES (100000000000000.0, "
                                 "'2006-07-02'), (100000000000000.0, '2006-07-03'), (1e14, '2006-07-04'), "
                                 "(1e14, '2006-07-05'), (1e14, '2006-07-06'), (1e14, '2006-07-07')"),
              "ok");
    EXPECT_EQ(Kept(2006, 7), "none");
    // A trigger another program dropped: nothing until they are made again.
    ASSERT_EQ(Exec(FShell.get(),
                   "DELETE FROM gain WHERE 本次进帐 >= 1e14; DROP TRIGGER kestrum_month_totals_gain_delete"),
              "ok");
    EXPECT_EQ(Kept(2006, 7), "none");
    EXPECT_FALSE(KeptYearItems(FProgram.get(), Income, 2006));
    EXPECT_FALSE(MakeKeptMonthTotalsAside(Path(),
                                          [] {
                                              TKeptTotalsPass stopped;
                                              static const std::atomic<bool> stop{true};
                                              stopped.Stop = &stop;
                                              return stopped;
                                          }()))
        << "a pass told to stop writes nothing";
    EXPECT_EQ(Kept(2006, 7), "none");
    ASSERT_TRUE(MakeKeptMonthTotalsAside(Path()));
    EXPECT_EQ(Kept(2006, 7), Statement(2006, 7));
}

TEST_F(KeptTotalsByMonth, WritesDuringThePassAreCountedAndItNeverHoldsThemUp)
{
    for (int i = 0; i < 30; ++i)
        Exec(FShell.get(), "INSERT INTO gain (本次进帐, 进帐时间) VALUES (" + std::to_string(i) +
                               ".25, '2006-07-0" + std::to_string(1 + i % 9) + "')");
    int reads = 0;
    TKeptTotalsPass pass;
    pass.RowsPerRead = 4;
    pass.BetweenReads = [&] {
        // Another program writes between two reads: at once, without waiting.
        if (++reads <= 2) {
            sqlite3_busy_timeout(FShell.get(), 0);
            EXPECT_EQ(Exec(FShell.get(), "INSERT INTO gain (本次进帐, 进帐时间) VALUES (1.5, '2006-07-02'); "
                                         "UPDATE gain SET 进帐时间 = '2006-08-01' WHERE rowid = 1"),
                      "ok");
            sqlite3_busy_timeout(FShell.get(), 2000);
        }
    };
    ASSERT_TRUE(MakeKeptMonthTotalsAside(Path(), pass));
    EXPECT_GT(reads, 8) << "the pass ran again after the writes";
    EXPECT_EQ(CheckPeriods({2006}, "writes during the pass"), 13);
    EXPECT_NE(Kept(2006, 8), "null");
}

} // namespace
} // namespace kestrum
