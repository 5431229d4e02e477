// What the journal's triggers cost a write: a post through the record set
// on a ledger with the journal, beside the same post on a copy without the
// triggers; and a bulk insert of many rows (an import) with and without.
#include "db/DbConnection.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "db/SqliteDriver.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>

using namespace kestrum;

namespace {

QString NewLedger(QTemporaryDir &dir, const char *name, bool journal)
{
    const QString file = dir.filePath(name);
    CreateLedgerDatabase(file);
    if (!journal) {
        sqlite3 *db = nullptr;
        sqlite3_open(file.toUtf8().constData(), &db);
        {
            TSqliteDriver driver(db);
            DropJournalTriggers(driver);
        }
        sqlite3_close(db);
    }
    return file;
}

void Post(benchmark::State &state, bool journal)
{
    QTemporaryDir dir;
    const QString file = NewLedger(dir, "post.mdb", journal);
    TDbConnection connection;
    connection.SetConnectionString("Data Source=" + file);
    TDbQuery query;
    query.SetConnection(&connection);
    query.SetSQL({QStringLiteral("select * from gain")});
    query.Open();
    const QString amount = QString::fromUtf8("本次进帐"), item = QString::fromUtf8("进帐人");
    const QString salary = QString::fromUtf8("工资");
    for (auto _ : state) {
        query.Append();
        query.FieldByName(amount)->SetAsFloat(8600);
        query.FieldByName(item)->SetAsString(salary);
        query.Post();
    }
}

void PostWithJournal(benchmark::State &state)
{
    Post(state, true);
}

void PostWithJournal_Baseline(benchmark::State &state)
{
    Post(state, false);
}

void Import(benchmark::State &state, bool journal)
{
    const int rows = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString file = NewLedger(dir, "import.mdb", journal);
        sqlite3 *db = nullptr;
        sqlite3_open(file.toUtf8().constData(), &db);
        state.ResumeTiming();
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        TSqliteDriver driver(db);
        if (journal)
            OpenJournalAction(driver, QStringLiteral("import"));
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (?1, ?2, ?3, ?4)",
                           -1, &insert, nullptr);
        for (int i = 0; i < rows; ++i) {
            char date[32];
            std::snprintf(date, sizeof date, "%04d-%02d-%02d 00:00:00", 2000 + i % 25, 1 + i % 12,
                          1 + i % 28);
            sqlite3_bind_double(insert, 1, 100.0 + (i % 9000) * 1.25);
            sqlite3_bind_text(insert, 2, date, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, "工资", -1, SQLITE_STATIC);
            sqlite3_bind_null(insert, 4);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        if (journal)
            CloseJournalAction(driver);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void ImportWithJournal(benchmark::State &state)
{
    Import(state, true);
}

void ImportWithJournal_Baseline(benchmark::State &state)
{
    Import(state, false);
}

} // namespace

BENCHMARK(PostWithJournal_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(PostWithJournal)->Unit(benchmark::kMicrosecond);
BENCHMARK(ImportWithJournal_Baseline)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ImportWithJournal)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
