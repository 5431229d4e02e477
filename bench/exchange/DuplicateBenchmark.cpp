// Finding the 100,000 entries of a file in a ledger of 1,000,000 (half of
// them are there, half are new), next to a plain SQL join that finds rows of
// the same day and amount through an index on the file's rows.
#include "BenchLedger.h"
#include "db/SqliteDriver.h"
#include "exchange/DuplicateMatcher.h"

#include <QDate>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>
#include <vector>

using namespace kestrum;

namespace {

constexpr int kLedgerRows = 1000000;
constexpr int kFileRows = 100000;

const QString &Ledger()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath("ledger.mdb");
        bench::MakeBenchLedger(file, 0, kLedgerRows);
        return file;
    }();
    return path;
}

//! Every tenth ledger row as the file has it; every other one with another amount.
const std::vector<TForeignEntry> &FileEntries()
{
    static const std::vector<TForeignEntry> entries = [] {
        std::vector<TForeignEntry> out;
        out.reserve(kFileRows);
        const QDate start(2016, 1, 1);
        for (int i = 0; i < kFileRows; ++i) {
            const std::int64_t row = std::int64_t(i) * 10;
            TForeignEntry entry;
            entry.Kind = ekExpense;
            entry.Cents = (row * 7919) % 900000 + 100 + (i % 2 == 0 ? 0 : 1);
            entry.Date = start.addDays(row % 3650);
            entry.Item = "EXPENSE " + std::to_string(row % 7);
            entry.Remark = row % 3 == 0 ? std::string() : "remark " + std::to_string(row);
            entry.Line = i + 2;
            out.push_back(std::move(entry));
        }
        return out;
    }();
    return entries;
}

sqlite3 *Open()
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(Ledger().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    return db;
}

void BM_MatchDuplicates(benchmark::State &state)
{
    const std::vector<TForeignEntry> &entries = FileEntries();
    sqlite3 *db = Open();
    std::vector<std::int64_t> rows;
    for (auto _ : state) {
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        TSqliteDriver ledger(db);
        TDuplicateMatcher matcher(ledger);
        matcher.Match(entries, rows);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        int found = 0;
        for (const std::int64_t row : rows)
            found += row != 0;
        if (found != kFileRows / 2)
            state.SkipWithError(("found " + std::to_string(found)).c_str());
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kFileRows);
}
BENCHMARK(BM_MatchDuplicates)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Baseline: the file's rows go to a temporary table with an index on day and
// cents, and one pass over the ledger counts the rows that share both (no
// text compared, no one-for-one).
void BM_MatchDuplicates_Baseline(benchmark::State &state)
{
    const std::vector<TForeignEntry> &entries = FileEntries();
    sqlite3 *db = Open();
    for (auto _ : state) {
        sqlite3_exec(db,
                     "BEGIN; CREATE TEMP TABLE f (day TEXT, cents INTEGER, item TEXT, remark TEXT);"
                     "CREATE INDEX temp.f_key ON f (day, cents)",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO f VALUES (?1, ?2, ?3, ?4)", -1, &insert, nullptr);
        for (const TForeignEntry &e : entries) {
            const std::string day = e.Date.toString(Qt::ISODate).toStdString();
            sqlite3_bind_text(insert, 1, day.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(insert, 2, e.Cents);
            sqlite3_bind_text(insert, 3, e.Item.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 4, e.Remark.c_str(), -1, SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_stmt *count = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT count(*) FROM expen AS e JOIN f ON f.day = substr(e.消费日期, 1, 10) "
                           "AND f.cents = CAST(round(e.消费金额 * 100) AS INTEGER)",
                           -1, &count, nullptr);
        const int found = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int(count, 0) : -1;
        sqlite3_finalize(count);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (found < kFileRows / 2)
            state.SkipWithError(("found " + std::to_string(found)).c_str());
    }
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kFileRows);
}
BENCHMARK(BM_MatchDuplicates_Baseline)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
