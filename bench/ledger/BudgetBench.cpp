// What a month's budgets cost on a ledger of a million expense entries:
// the overview the statistics chart and the expense page's line read (one
// grouped statement over the month's dates), the dialog's list (every item
// of the ledger as well), and the look at the budgets alone that decides
// whether the expense page reads the month at all; beside a plain SQL
// GROUP BY of the month with SQLite's own sum(). Each runs without and with
// an index on the date column (range 0 and 1).
//
// The ledger is generated for the run (see BenchLedger.h); KESTRUM_LEDGER_1M
// may name a real one to copy instead.
#include "db/JetFunctions.h"
#include "db/SqliteDriver.h"
#include "ledger/Budget.h"
#include "ledger/Journal.h"

#include <QTemporaryDir>

#include "BenchLedger.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace kestrum;

namespace {

void Exec(sqlite3 *db, const std::string &sql)
{
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), sqlite3_errmsg(db));
}

//! The ledger with budgets for the items of one month, opened once; the
//! date index is added or dropped as a benchmark asks.
class BudgetLedger {
public:
    BudgetLedger()
    {
        const QString file = FDir.filePath("Vantorel.mdb");
        bench::MakeBenchLedger(file, 0, 1000000);
        sqlite3_open(file.toUtf8().constData(), &FDb);
        RegisterJetFunctions(FDb);
        FDriver = std::make_unique<TSqliteDriver>(FDb);
        EnsureBudgets(*FDriver);
        EnsureJournal(*FDriver);
        TBudgetBook book(*FDriver);
        for (int item = 0; item < 7; ++item)
            book.SetBudget(TBudgetKind::Expense, QStringLiteral("expense %1").arg(item), {2019, 1},
                           100000 * (item + 1));
        book.SetBudget(TBudgetKind::Total, QString(), {2020, 1}, 2000000);
    }
    ~BudgetLedger() { sqlite3_close(FDb); }

    sqlite3 *Db(bool dateIndex)
    {
        if (dateIndex != FIndexed)
            Exec(FDb, dateIndex ? "CREATE INDEX bench_expen_date ON expen(消费日期)"
                                : "DROP INDEX bench_expen_date");
        FIndexed = dateIndex;
        return FDb;
    }
    TDbDriver &Driver(bool dateIndex)
    {
        Db(dateIndex);
        return *FDriver;
    }

private:
    QTemporaryDir FDir;
    sqlite3 *FDb = nullptr;
    std::unique_ptr<TSqliteDriver> FDriver;
    bool FIndexed = false;
};

BudgetLedger &Ledger()
{
    static BudgetLedger ledger;
    return ledger;
}

const TBudgetMonth Month{2020, 6};

//! The baseline: SQLite's own sum() of the month by item, nothing else.
void BM_PlainSqlGroupBy(benchmark::State &state)
{
    sqlite3 *db = Ledger().Db(state.range(0) != 0);
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT trim(消费者) AS i, sum(消费金额) FROM expen WHERE 消费日期 >= '2020-06-01' "
                       "AND 消费日期 < '2020-07-01' GROUP BY i",
                       -1, &statement, nullptr);
    for (auto _ : state) {
        int rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW)
            ++rows;
        sqlite3_reset(statement);
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_finalize(statement);
}

//! What the statistics chart and the expense page's line read.
void BM_MonthOverview(benchmark::State &state)
{
    TBudgetBook book(Ledger().Driver(state.range(0) != 0));
    for (auto _ : state)
        benchmark::DoNotOptimize(book.Overview(Month));
    if (book.Overview(Month).Lines.size() != 7)
        state.SkipWithError("the month's items are missing");
}

//! The dialog opened: every item the ledger holds, and the month.
void BM_DialogOpen(benchmark::State &state)
{
    TBudgetBook book(Ledger().Driver(state.range(0) != 0));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            book.Overview(Month, TBudgetKind::Expense, book.ItemsOf(TBudgetKind::Expense)));
}

//! Another month chosen, or a budget changed, in the open dialog: the items
//! it read at opening are kept.
void BM_DialogMonth(benchmark::State &state)
{
    TBudgetBook book(Ledger().Driver(state.range(0) != 0));
    const std::vector<QString> items = book.ItemsOf(TBudgetKind::Expense);
    for (auto _ : state)
        benchmark::DoNotOptimize(book.Overview(Month, TBudgetKind::Expense, items));
}

//! Whether the expense page needs to read the month at all.
void BM_HasBudgetIn(benchmark::State &state)
{
    TBudgetBook book(Ledger().Driver(false));
    for (auto _ : state)
        benchmark::DoNotOptimize(book.HasBudgetIn(Month));
}

//! One budget changed in the dialog: a journaled write.
void BM_SetBudget(benchmark::State &state)
{
    TBudgetBook book(Ledger().Driver(false));
    TBudgetCents amount = 100;
    for (auto _ : state)
        book.SetBudget(TBudgetKind::Expense, QStringLiteral("expense 1"), Month, amount++);
}

BENCHMARK(BM_PlainSqlGroupBy)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthOverview)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DialogOpen)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DialogMonth)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HasBudgetIn)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetBudget)->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
