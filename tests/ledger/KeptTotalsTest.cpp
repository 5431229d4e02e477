// The all-time totals kept by triggers: whatever writes the file (this
// program, or the sqlite3 shell without any function of ours), they give
// exactly what "select sum(amount) from table" gives, or nothing.
#include "ledger/KeptTotals.h"

#include "KeptLedgerTest.h"
#include "db/JetFunctions.h"
#include "db/MoneySumFunctions.h"
#include "ledger/DateIndexes.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "ledger/Trash.h"
#include "support/HandleDriver.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

namespace kestrum {
namespace {

const QString Income = QStringLiteral("gain");
const QString IncomeAmount = QString::fromUtf8("本次进帐");

class KeptTotals : public KeptLedgerTest {
protected:
    //! What the statement gives on this program's connection.
    std::string Statement(const char *sql = "SELECT sum(\"本次进帐\") FROM gain")
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(FProgram.get(), sql, -1, &s, nullptr) != SQLITE_OK)
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

    std::string Kept(sqlite3 *db = nullptr, const QString &table = Income,
                     const QString &amount = IncomeAmount)
    {
        const auto kept = KeptAmountSum(db ? db : FProgram.get(), table, amount);
        return kept ? Describe(*kept) : "none";
    }
};

TEST_F(KeptTotals, EveryKindOfWriteByAnyProgramKeepsTheStatementsSum)
{
    EXPECT_EQ(Kept(), "null") << "an empty table";
    EXPECT_EQ(Statement(), "null");
    // Each step: which connection writes what. The shell has no function of
    // ours; its writes must neither fail nor leave the totals behind.
    const struct {
        bool Shell;
        const char *Sql;
    } steps[] = {
        {false, "INSERT INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (1, 1500.5, '2006-07-01', '工资')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (2, -20.25, '2006-07-02', '退款')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (3, 0.0001, '2006-07-03')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (4, NULL, '2006-07-04')"},
        // Amounts that are no decimal of four places: binary noise, more
        // places, beyond the exact range, text the column could not read.
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (5, 0.1 + 0.2, '2006-07-05')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (6, 1.23456789, '2006-01-05')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (7, 3e15, '2007-01-05')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (8, 'abc', '2005-01-05')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (9, '12.5', 43000)"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (10, x'3132', NULL)"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (11, -3e15 + 0.5, '2006-07-05')"},
        {false, "INSERT INTO gain (本次进帐, 进帐时间) VALUES (32.879999999999995, '2006-08-01')"},
        // Changes of the amount, of the date and item that order the values
        // aside, of the id.
        {true, "UPDATE gain SET 本次进帐 = 7.77 WHERE id = 5"},
        {true, "UPDATE gain SET 本次进帐 = 0.7 * 3 WHERE id = 1"},
        {true, "UPDATE gain SET 进帐时间 = '1999-01-01' WHERE id = 11"},
        {true, "UPDATE gain SET 进帐人 = 'zz' WHERE id = 6"},
        {true, "UPDATE gain SET id = 100 WHERE id = 6"},
        {false, "UPDATE gain SET 本次进帐 = 本次进帐 + 1 WHERE id = 2"},
        // Rows a REPLACE takes out of the way, which fire no DELETE trigger.
        {true, "INSERT OR REPLACE INTO gain (id, 本次进帐, 进帐时间) VALUES (1, 99.99, '2006-07-09')"},
        {true, "REPLACE INTO gain (id, 本次进帐, 进帐时间) VALUES (100, 1e-7, '2006-07-09')"},
        {true, "UPDATE OR REPLACE gain SET id = 3 WHERE id = 7"},
        {true, "INSERT OR IGNORE INTO gain (id, 本次进帐, 进帐时间) VALUES (2, 5, '2006-07-09')"},
        {true, "INSERT INTO gain (id, 本次进帐, 进帐时间) VALUES (50, 5, '2006-07-09')"},
        {true, "PRAGMA recursive_triggers = ON"},
        {true, "INSERT OR REPLACE INTO gain (id, 本次进帐, 进帐时间) VALUES (50, 0.1 + 0.7, '2006-07-10')"},
        {true, "UPDATE OR REPLACE gain SET id = 9 WHERE id = 50"},
        {true, "PRAGMA recursive_triggers = OFF"},
        {true, "DELETE FROM gain WHERE id = 8"},
        {false, "DELETE FROM gain WHERE id IN (2, 3)"},
        {true, "BEGIN; INSERT INTO gain (id, 本次进帐) VALUES (60, 1); ROLLBACK"},
        {true, "DELETE FROM gain"},
    };
    for (const auto &step : steps) {
        ASSERT_EQ(Exec(step.Shell ? FShell.get() : FProgram.get(), step.Sql), "ok") << step.Sql;
        EXPECT_EQ(Kept(), Statement()) << "after " << step.Sql;
        EXPECT_NE(Kept(), "none") << step.Sql;
    }
    EXPECT_EQ(Kept(), "null") << "every row gone";
}

TEST_F(KeptTotals, ManyRandomWritesKeepTheStatementsSumToTheLastBit)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> id(1, 400), cents(-500000, 5000000), kind(0, 9);
    ASSERT_EQ(Kept(), "null"); // the totals are kept from here on
    Exec(FProgram.get(), "BEGIN");
    for (int round = 1; round <= 3000; ++round) {
        const std::string key = std::to_string(id(random));
        // Mostly amounts as typed, some with the noise of a computed value.
        const std::string amount = kind(random) < 7 ? std::to_string(cents(random)) + " / 100.0"
                                                    : std::to_string(cents(random)) + " * 0.01";
        const std::string date = "'20" + std::to_string(10 + kind(random)) + "-0" +
                                 std::to_string(1 + kind(random)) + "-1" + std::to_string(kind(random)) + "'";
        std::string sql;
        switch (kind(random) % 5) {
        case 0:
            sql = "DELETE FROM gain WHERE id = " + key;
            break;
        case 1:
            sql = "UPDATE gain SET 本次进帐 = " + amount + " WHERE id = " + key;
            break;
        case 2:
            sql = "UPDATE gain SET 进帐时间 = " + date + " WHERE id = " + key;
            break;
        default:
            sql = "INSERT OR REPLACE INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (" + key + ", " +
                  amount + ", " + date + ", 'i" + std::to_string(kind(random)) + "')";
        }
        ASSERT_EQ(Exec(FProgram.get(), sql), "ok") << sql;
        if (round % 300 == 0) {
            EXPECT_EQ(Kept(), Statement()) << "round " << round;
        }
    }
    Exec(FProgram.get(), "COMMIT");
    EXPECT_EQ(Kept(), Statement());
    EXPECT_NE(Kept(), "none");
}

TEST_F(KeptTotals, AFileWithoutThemGetsThemOnceUnlessItIsReadOnly)
{
    Exec(FShell.get(),
         "INSERT INTO gain (本次进帐, 进帐时间) VALUES (10.5, '2006-07-01'), (0.1 + 0.2, '2006-07-02')");
    TDatabase readOnly = Open(SQLITE_OPEN_READONLY);
    EXPECT_EQ(Kept(readOnly.get()), "none") << "nothing can be added to a read-only file";
    EXPECT_FALSE(HasKeptTotals(FProgram.get()));
    EXPECT_EQ(Kept(), Statement());
    EXPECT_EQ(Kept(readOnly.get()), Statement()) << "once there, a read-only connection reads them";
    // Another program drops a trigger: the totals are no longer trusted, and
    // made again by the next writable reader.
    Exec(FShell.get(), "DROP TRIGGER kestrum_totals_gain_delete");
    Exec(FShell.get(), "DELETE FROM gain WHERE 本次进帐 = 10.5");
    EXPECT_EQ(Kept(readOnly.get()), "none");
    EXPECT_EQ(Kept(), Statement());
    EXPECT_EQ(Kept(), Describe(Variant(0.1 + 0.2)));
}

TEST_F(KeptTotals, TotalsMadeFromTheRowsEqualTotalsKeptByTheTriggers)
{
    ASSERT_EQ(Kept(), "null");
    // Kept by the triggers, row by row.
    ASSERT_EQ(Exec(FShell.get(),
                   "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (1500.5, '2006-07-01', 'a'), "
                   "(-20.25, 43000.5, NULL), (0.1 + 0.2, '2006-07-05', 'b'), (NULL, '2006-07-06', 'c'), "
                   "(112589990684.2623, '2006-07-07', 'd'), (112589990684.2624, '2006-07-07', 'd'), "
                   "(-3e15, NULL, 'e'), ('abc', 'x', 'f'), (x'3132', '2006-07-08', 'g'), (1e-9, 1, 'h'), "
                   "(1.0, '2006-07-09', 'i'), (-0.0, '2006-07-09', 'j'), (32.879999999999995, '2006', 'k')"),
              "ok");
    const auto snapshot = [&] {
        std::string text;
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(
            FShell.get(),
            "SELECT tbl, entries, units, magnitude, typeof(magnitude) FROM kestrum_totals UNION ALL "
            "SELECT tbl, row_id, quote(entry_date), quote(amount), quote(item) FROM kestrum_totals_odd "
            "ORDER BY 1, 2",
            -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int c = 0; c < 5; ++c)
                text += std::string(reinterpret_cast<const char *>(sqlite3_column_text(s, c))) + ' ';
            text += '\n';
        }
        sqlite3_finalize(s);
        return text;
    };
    const std::string kept = snapshot();
    EXPECT_EQ(Kept(), Statement());
    // Made afresh from the rows: the same figures and the same values aside.
    ASSERT_EQ(Exec(FShell.get(), "DROP TRIGGER kestrum_totals_gain_update"), "ok");
    EXPECT_EQ(Kept(), Statement());
    EXPECT_EQ(snapshot(), kept);
    EXPECT_NE(kept.find("'abc'"), std::string::npos) << kept;
}

TEST_F(KeptTotals, OnlyTheLedgersAmountColumnsAreKept)
{
    EXPECT_EQ(Kept(nullptr, Income, QStringLiteral("id")), "none");
    EXPECT_EQ(Kept(nullptr, QStringLiteral("kestrum_trash"), QStringLiteral("amount")), "none");
    EXPECT_EQ(Kept(nullptr, QStringLiteral("EXPEN"), QString::fromUtf8("\"消费金额\"")), "null");
    Exec(FShell.get(), "INSERT INTO expen (消费金额, 消费日期) VALUES (3.5, '2006-07-01')");
    EXPECT_EQ(Kept(nullptr, QStringLiteral("expen"), QString::fromUtf8("消费金额")),
              Statement("SELECT sum(消费金额) FROM expen"));
}

TEST_F(KeptTotals, TotalsMadeAsideEqualTotalsMadeByTheFirstSum)
{
    const char *const rows =
        "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (1500.5, '2006-07-01', 'a'), "
        "(-20.25, 43000.5, NULL), (0.1 + 0.2, '2006-07-05', 'b'), (NULL, '2006-07-06', 'c'), "
        "('abc', 'x', 'f'), (x'3132', '2006-07-08', 'g'), (1e-9, 1, 'h'), (32.879999999999995, '2006', 'k')";
    ASSERT_EQ(Exec(FShell.get(), rows), "ok");
    ASSERT_EQ(
        Exec(FShell.get(), "INSERT INTO expen (消费金额, 消费日期) VALUES (3.5, '2006-07-01'), (0.7, 2)"),
        "ok");
    const auto figures = [&] {
        std::string text;
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(FShell.get(),
                           "SELECT tbl, entries, units, magnitude FROM kestrum_totals UNION ALL SELECT tbl, "
                           "row_id, quote(entry_date), quote(amount) || quote(item) FROM kestrum_totals_odd "
                           "ORDER BY 1, 2",
                           -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            for (int c = 0; c < 4; ++c)
                text += std::string(reinterpret_cast<const char *>(sqlite3_column_text(s, c))) + ' ';
        sqlite3_finalize(s);
        return text;
    };
    TKeptTotalsPass pass;
    pass.RowsPerRead = 3; // several reads
    ASSERT_TRUE(MakeKeptTotalsAside(Path(), pass));
    EXPECT_TRUE(HasKeptTotals(FProgram.get()));
    const std::string aside = figures();
    EXPECT_EQ(Kept(), Statement());
    EXPECT_EQ(Kept(nullptr, QStringLiteral("expen"), QString::fromUtf8("消费金额")),
              Statement("SELECT sum(消费金额) FROM expen"));
    // The same figures as the first sum makes them.
    ASSERT_EQ(Exec(FShell.get(), "DROP TRIGGER kestrum_totals_gain_update"), "ok");
    ASSERT_EQ(Exec(FShell.get(), "DROP TRIGGER kestrum_totals_expen_update"), "ok");
    EXPECT_EQ(Kept(), Statement());
    EXPECT_EQ(Kept(nullptr, QStringLiteral("expen"), QString::fromUtf8("消费金额")),
              Statement("SELECT sum(消费金额) FROM expen"));
    EXPECT_EQ(figures(), aside);
    EXPECT_TRUE(MakeKeptTotalsAside(Path())) << "kept already";
}

TEST_F(KeptTotals, WritesDuringTheAsidePassAreCountedAndItNeverHoldsThemUp)
{
    for (int i = 0; i < 30; ++i)
        Exec(FShell.get(),
             "INSERT INTO gain (本次进帐, 进帐时间) VALUES (" + std::to_string(i) + ".25, '2006-07-01')");
    int reads = 0;
    TKeptTotalsPass pass;
    pass.RowsPerRead = 4;
    pass.BetweenReads = [&] {
        // Another program writes between two reads: at once, without waiting.
        ++reads;
        if (reads <= 2) {
            sqlite3_busy_timeout(FShell.get(), 0);
            EXPECT_EQ(Exec(FShell.get(),
                           "INSERT INTO gain (本次进帐, 进帐时间) VALUES (0.1 + 0.2, '2006-07-02'); "
                           "UPDATE gain SET 本次进帐 = 7.5 WHERE rowid = 1"),
                      "ok");
            sqlite3_busy_timeout(FShell.get(), 2000);
        }
    };
    ASSERT_TRUE(MakeKeptTotalsAside(Path(), pass));
    EXPECT_GE(reads, 2 + 8) << "two passes cut short by the writes, then a whole one";
    EXPECT_EQ(Kept(), Statement());
    Exec(FShell.get(), "DELETE FROM gain WHERE rowid = 2");
    EXPECT_EQ(Kept(), Statement());

    // Writes on every pass: it gives up, and the first sum makes them.
    Exec(FShell.get(), "DROP TRIGGER kestrum_totals_gain_insert");
    pass.BetweenReads = [&] {
        Exec(FShell.get(), "UPDATE gain SET 本次进帐 = 本次进帐 + 1 WHERE rowid = 3");
    };
    EXPECT_FALSE(MakeKeptTotalsAside(Path(), pass));
    EXPECT_EQ(Kept(), Statement());

    // Stopped: nothing is written.
    Exec(FShell.get(), "DROP TRIGGER kestrum_totals_gain_insert");
    std::atomic<bool> stop{true};
    pass.BetweenReads = nullptr;
    pass.Stop = &stop;
    EXPECT_FALSE(MakeKeptTotalsAside(Path(), pass));
    EXPECT_FALSE(HasKeptTotals(FProgram.get()));
}

} // namespace
} // namespace kestrum
