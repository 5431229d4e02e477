// Undoing and redoing the delete of one entry on the income page, over
// ledgers of a thousand, a million and (KESTRUM_BENCH_10M=1) ten million
// entries in the same run: each must cost about the same at every size.
// Beside them the floor, SQLite alone deleting and putting back one row of
// the same file, and what every undo used to add, the page reading all its
// rows again. BM_FollowRows measures a page following many rows written
// behind its back, one by one, against reading it again: where the two
// cross is how many rows an undo follows before it reads the page instead.
//
// The ledgers are the cached generated ones (see BenchLedger.h), copied
// into a temporary folder before anything writes them.
#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "app/RowFollowing.h"
#include "app/UndoCommands.h"
#include "core/RegionalSettings.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "ledger/Journal.h"
#include "ui/ImageList.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QWidget>

#include "BenchLedger.h"
#include "OpenPages.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kestrum;

namespace {

void exec(sqlite3 *db, const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "sqlite error";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

//! A copy of a cached ledger with `entries` entries (half income, half
//! expense), the income page open on it and the menu's undo and redo.
class UndoLedger {
public:
    explicit UndoLedger(std::int64_t entries)
    {
        const QString file = FDir.filePath("Vantorel.mdb");
        const QString source = bench::CachedBenchLedger(entries / 2, entries / 2);
        if (!QFile::copy(source, file))
            throw std::runtime_error("cannot copy " + source.toStdString());
        QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        FFile = file.toStdString();
        FData.ADOConnection1.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file);
        FData.Loaded([](const std::exception &error) { throw std::runtime_error(error.what()); });
        EnsureJournal(FData.ADOConnection1.Driver());
        FPage = std::make_unique<TEntryPage>(IncomePageDescription(), FData.DataSource1, &FImages);
        FPage->resize(1000, 700);
        FPage->show();
        auto *before = FMenu.addAction(QStringLiteral("-"));
        FCommands = std::make_unique<TUndoCommands>(FData, &FMenu, before, &FWindow,
                                                    std::vector<TUndoCommands::TSettleStep>{});
        QApplication::processEvents();
    }

    TDbQuery &Query() { return FData.ADOQuery1; }
    TUndoCommands &Commands() { return *FCommands; }
    const std::string &File() const { return FFile; }
    //! Somewhere in the middle of the list.
    void GoMiddle()
    {
        Query().First();
        Query().MoveBy(Query().RecordCount() / 2);
    }
    std::int64_t CurrentKey() { return Query().FieldByName("id")->AsLargeInt(); }

private:
    QTemporaryDir FDir{QDir::tempPath() + "/kestrum-undo-bench-XXXXXX"};
    std::string FFile;
    TLedgerData FData;
    TImageList FImages{16, 16};
    QWidget FWindow;
    QMenu FMenu;
    std::unique_ptr<TEntryPage> FPage;
    std::unique_ptr<TUndoCommands> FCommands;
};

bench::TOpenPages<UndoLedger> OpenLedgers;

UndoLedger &ledger(const benchmark::State &state)
{
    return OpenLedgers.Get(state.range(0), state.range(0));
}

void rowsCounter(benchmark::State &state, UndoLedger &page)
{
    state.counters["rows"] = double(page.Query().RecordCount());
}

//! The menu's undo of a delete of one entry: it comes back at its place.
void BM_UndoDelete(benchmark::State &state)
{
    UndoLedger &page = ledger(state);
    for (auto _ : state) {
        state.PauseTiming();
        page.GoMiddle();
        page.Query().Delete();
        page.Commands().UpdateItems();
        state.ResumeTiming();
        page.Commands().Undo();
    }
    rowsCounter(state, page);
}

//! The menu's redo of that delete.
void BM_RedoDelete(benchmark::State &state)
{
    UndoLedger &page = ledger(state);
    for (auto _ : state) {
        state.PauseTiming();
        page.GoMiddle();
        page.Query().Delete();
        page.Commands().UpdateItems();
        page.Commands().Undo();
        page.Commands().UpdateItems();
        state.ResumeTiming();
        page.Commands().Redo();
    }
    rowsCounter(state, page);
}

//! The floor: SQLite alone deletes one row of the file and puts it back.
void BM_SqliteDeleteAndInsert(benchmark::State &state)
{
    UndoLedger &page = ledger(state);
    page.GoMiddle();
    const std::string key = std::to_string(page.CurrentKey());
    sqlite3 *db = nullptr;
    sqlite3_open(page.File().c_str(), &db);
    exec(db, "CREATE TEMP TABLE kept AS SELECT * FROM gain WHERE id = " + key);
    for (auto _ : state) {
        exec(db, "BEGIN; DELETE FROM gain WHERE id = " + key + "; COMMIT");
        exec(db, "BEGIN; INSERT INTO gain SELECT * FROM temp.kept; COMMIT");
    }
    sqlite3_close(db);
    // The page heard nothing of it: its rows are as the file holds them.
    rowsCounter(state, page);
}

//! What every undo used to add: the page reads all its rows again.
void BM_PageReadAgain(benchmark::State &state)
{
    UndoLedger &page = ledger(state);
    page.GoMiddle();
    for (auto _ : state)
        page.Query().Refresh();
    rowsCounter(state, page);
}

//! A page follows range(1) rows that another connection deleted and put
//! back: each iteration follows both, 2 x range(1) rows.
void BM_FollowRows(benchmark::State &state)
{
    UndoLedger &page = ledger(state);
    page.GoMiddle();
    const std::int64_t first = page.CurrentKey();
    std::vector<std::int64_t> keys;
    for (std::int64_t i = 0; i < state.range(1); ++i)
        keys.push_back(first + 2 * i);
    const std::string range = " WHERE id >= " + std::to_string(first) +
                              " AND id <= " + std::to_string(keys.back()) + " AND (id - " +
                              std::to_string(first) + ") % 2 = 0";
    sqlite3 *db = nullptr;
    sqlite3_open(page.File().c_str(), &db);
    exec(db, "CREATE TEMP TABLE kept AS SELECT * FROM gain" + range);
    for (auto _ : state) {
        state.PauseTiming();
        exec(db, "DELETE FROM gain" + range);
        state.ResumeTiming();
        FollowWrittenRows(page.Query(), keys);
        state.PauseTiming();
        exec(db, "INSERT INTO gain SELECT * FROM temp.kept");
        state.ResumeTiming();
        FollowWrittenRows(page.Query(), keys);
    }
    exec(db, "DROP TABLE temp.kept");
    sqlite3_close(db);
    rowsCounter(state, page);
}

void FollowSizes(benchmark::internal::Benchmark *bench)
{
    for (const std::int64_t size : bench::BenchSizes())
        for (const std::int64_t rows : {100, 1000, 10000})
            if (rows <= size / 4)
                bench->Args({size, rows});
}

BENCHMARK(BM_UndoDelete)->Apply(bench::StandardSizes)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedoDelete)->Apply(bench::StandardSizes)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteDeleteAndInsert)
    ->Apply(bench::StandardSizes)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FollowRows)->Apply(FollowSizes)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageReadAgain)->Apply(bench::StandardSizes)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return bench::RunPageBenchmarks(argc, argv, OpenLedgers);
}
