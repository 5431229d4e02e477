// What the trash costs. An import of a million expenses into a ledger whose
// trash already holds 100,000 entries, so that the insert trigger's lookup
// has something to search, beside the same import into a ledger without the
// trash, its baseline. And opening the trash list at 1,000,000 entries (all
// trash ids and the first page) beside reading the ids of a million-row
// table, its baseline.
#include "db/SqliteDriver.h"
#include "ledger/LedgerFile.h"
#include "ledger/Trash.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <stdexcept>
#include <string>

using namespace kestrum;

namespace {

void Exec(sqlite3 *db, const std::string &sql)
{
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
}

//! A fresh ledger file; with the trash, it holds `trashed` deleted entries.
class Ledger {
public:
    Ledger(bool withTrash, int trashed)
    {
        if (sqlite3_open(FDir.filePath("Vantorel.mdb").toUtf8().constData(), &FDb) != SQLITE_OK)
            throw std::runtime_error("cannot create the ledger");
        Exec(FDb, LedgerSchemaSql);
        if (withTrash) {
            TSqliteDriver driver(FDb);
            EnsureTrash(driver);
        }
        if (trashed > 0) {
            Fill(trashed);
            Exec(FDb, "DELETE FROM expen");
        }
    }
    ~Ledger() { sqlite3_close(FDb); }
    sqlite3 *Db() const { return FDb; }

    //! Adds rows one prepared insert at a time, as an import does, in one transaction.
    void Fill(int rows)
    {
        Exec(FDb, "BEGIN");
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(FDb,
                           "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES (?1, ?2, ?3, NULL)",
                           -1, &insert, nullptr);
        for (int i = 0; i < rows; ++i) {
            sqlite3_bind_double(insert, 1, 10.0 + i % 1000);
            sqlite3_bind_text(insert, 2, "2024-05-01 00:00:00", -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, "伙食", -1, SQLITE_STATIC);
            if (sqlite3_step(insert) != SQLITE_DONE)
                throw std::runtime_error(sqlite3_errmsg(FDb));
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        Exec(FDb, "COMMIT");
    }

private:
    QTemporaryDir FDir;
    sqlite3 *FDb = nullptr;
};

void Import(benchmark::State &state, bool withTrash)
{
    for (auto _ : state) {
        state.PauseTiming();
        Ledger ledger(withTrash, withTrash ? 100000 : 0);
        state.ResumeTiming();
        ledger.Fill(int(state.range(0)));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ImportWithTrash_Baseline(benchmark::State &state)
{
    Import(state, false);
}

void BM_ImportWithTrash(benchmark::State &state)
{
    Import(state, true);
}

Ledger &FullTrash()
{
    static Ledger ledger(true, 1000000);
    return ledger;
}

Ledger &FullTable()
{
    static Ledger ledger(false, 0);
    static bool filled = false;
    if (!filled) {
        ledger.Fill(1000000);
        filled = true;
    }
    return ledger;
}

void BM_OpenTrashList_Baseline(benchmark::State &state)
{
    sqlite3 *db = FullTable().Db();
    for (auto _ : state) {
        std::vector<std::int64_t> ids;
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db, "SELECT id FROM expen ORDER BY id DESC", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            ids.push_back(sqlite3_column_int64(s, 0));
        sqlite3_finalize(s);
        benchmark::DoNotOptimize(ids.data());
    }
}

void BM_OpenTrashList(benchmark::State &state)
{
    TSqliteDriver driver(FullTrash().Db());
    for (auto _ : state) {
        const std::vector<std::int64_t> ids = TrashIds(driver);
        const std::vector<TTrashEntry> page = TrashEntries(driver, ids.front(), ids[255]);
        benchmark::DoNotOptimize(page.data());
    }
}

} // namespace

BENCHMARK(BM_ImportWithTrash_Baseline)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportWithTrash)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_OpenTrashList_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenTrashList)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
