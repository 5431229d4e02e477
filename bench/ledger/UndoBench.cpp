// What an undo of a large import costs: TUndoHistory::Undo of one action of
// N entries, beside a plain SQL DELETE of the same rows (with the ledger's
// triggers, as another program's delete pays them, and without any).
#include "db/SqliteDriver.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "ledger/Trash.h"
#include "ledger/UndoHistory.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <map>
#include <string>

using namespace kestrum;

namespace {

void Exec(sqlite3 *db, const std::string &sql)
{
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), sqlite3_errmsg(db));
}

//! A ledger holding one import of `rows` entries, made once per size.
QString Template(QTemporaryDir &dir, int rows)
{
    static std::map<int, QString> made;
    if (const auto found = made.find(rows); found != made.end())
        return found->second;
    const QString file = dir.filePath(QStringLiteral("import-%1.mdb").arg(rows));
    CreateLedgerDatabase(file);
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    Exec(db, "PRAGMA cache_size = -131072");
    Exec(db, "BEGIN IMMEDIATE");
    TSqliteDriver driver(db);
    OpenJournalAction(driver, QStringLiteral("import"));
    Exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                 std::to_string(rows) +
                 ") INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) SELECT i % 997 + 0.5, "
                 "date('2020-01-01', '+' || (i % 2000) || ' days') || ' 00:00:00', 'item' || (i % 50), "
                 "'remark ' || i FROM n");
    CloseJournalAction(driver);
    Exec(db, "COMMIT");
    sqlite3_close(db);
    made[rows] = file;
    return file;
}

enum TWay { twUndo, twDeleteWithTriggers, twDeleteBare };

void Run(benchmark::State &state, TWay way)
{
    static QTemporaryDir dir;
    const int rows = int(state.range(0));
    const QString source = Template(dir, rows);
    for (auto _ : state) {
        state.PauseTiming();
        const QString file = dir.filePath(QStringLiteral("run.mdb"));
        QFile::remove(file);
        QFile::copy(source, file);
        sqlite3 *db = nullptr;
        sqlite3_open(file.toUtf8().constData(), &db);
        Exec(db, "PRAGMA cache_size = -131072");
        TSqliteDriver driver(db);
        if (way == twDeleteBare) {
            DropJournalTriggers(driver);
            Exec(db, "DROP TRIGGER kestrum_trash_expen_deleted");
        }
        state.ResumeTiming();
        if (way == twUndo) {
            TUndoHistory history(driver);
            history.Undo();
        } else {
            Exec(db, "DELETE FROM expen WHERE id IN (SELECT row_id FROM kestrum_journal WHERE action_id = "
                     "(SELECT max(action_id) FROM kestrum_journal))");
        }
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void UndoOfImport(benchmark::State &state)
{
    Run(state, twUndo);
}

void DeleteWithTriggers(benchmark::State &state)
{
    Run(state, twDeleteWithTriggers);
}

void UndoOfImport_Baseline(benchmark::State &state)
{
    Run(state, twDeleteBare);
}

} // namespace

BENCHMARK(UndoOfImport)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DeleteWithTriggers)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(UndoOfImport_Baseline)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
