// Opening a one-million-row ledger table and walking it through the record
// set, next to a plain SQLite step loop over the same statement; the same on
// a ledger on a PostgreSQL server over its local socket, and a post on each.
#include "ServerSchema.h"
#include "core/RegionalSettings.h"
#include "db/DbConnection.h"
#include "db/DbQuery.h"
#include "db/PgDriver.h"
#include "ledger/LedgerFile.h"
#include "support/PgServer.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <optional>
#include <string>

using namespace kestrum;

namespace {

constexpr int kRows = 1000000;

// One file for the whole run, made on first use.
const QString &MillionRowFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath("Vantorel.mdb");
        CreateLedgerDatabase(file);
        sqlite3 *db = nullptr;
        sqlite3_open(file.toUtf8().constData(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (?1, ?2, ?3, ?4)",
                           -1, &insert, nullptr);
        static const char *const items[] = {"工资", "奖金", "兼职", "利息"};
        for (int i = 0; i < kRows; ++i) {
            char date[32];
            std::snprintf(date, sizeof date, "%04d-%02d-%02d 00:00:00", 2000 + i % 25, 1 + i % 12,
                          1 + i % 28);
            sqlite3_bind_double(insert, 1, 100.0 + (i % 9000) * 1.25);
            sqlite3_bind_text(insert, 2, date, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, items[i % 4], -1, SQLITE_STATIC);
            if (i % 3 == 0)
                sqlite3_bind_text(insert, 4, "周末家教", -1, SQLITE_STATIC);
            else
                sqlite3_bind_null(insert, 4);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return file;
    }();
    return path;
}

void OpenAndWalk_Baseline(benchmark::State &state)
{
    const QString &file = MillionRowFile();
    sqlite3 *db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    for (auto _ : state) {
        sqlite3_stmt *select = nullptr;
        sqlite3_prepare_v2(db, "select * from gain", -1, &select, nullptr);
        long long rows = 0;
        double sum = 0;
        std::size_t bytes = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            sum += sqlite3_column_double(select, 1);
            bytes += std::size_t(sqlite3_column_bytes(select, 2)) +
                     std::size_t(sqlite3_column_bytes(select, 3)) +
                     std::size_t(sqlite3_column_bytes(select, 4));
            ++rows;
        }
        sqlite3_finalize(select);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(bytes);
        state.SetItemsProcessed(state.items_processed() + rows);
    }
    sqlite3_close(db);
    state.counters["rows/s"] =
        benchmark::Counter(double(state.items_processed()), benchmark::Counter::kIsRate);
}
BENCHMARK(OpenAndWalk_Baseline)->Unit(benchmark::kMillisecond);

// Open loads every row on the client; then walk it with Next.
void OpenAndWalk(benchmark::State &state)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const QString &file = MillionRowFile();
    TDbConnection connection;
    connection.SetConnectionString("Data Source=" + file);
    TDbQuery query;
    query.SetConnection(&connection);
    query.SetSQL({"select * from gain"});
    const bool readValues = state.range(0) != 0;
    for (auto _ : state) {
        query.Open();
        long long rows = 0;
        double sum = 0;
        TDbField *amount = query.FieldByName("本次进帐");
        TDbField *date = query.FieldByName("进帐时间");
        while (!query.Eof()) {
            if (readValues) {
                sum += amount->AsFloat() + date->AsDateTime();
            }
            ++rows;
            query.Next();
        }
        benchmark::DoNotOptimize(sum);
        query.Close();
        state.SetItemsProcessed(state.items_processed() + rows);
    }
    state.counters["rows/s"] =
        benchmark::Counter(double(state.items_processed()), benchmark::Counter::kIsRate);
}
BENCHMARK(OpenAndWalk)->Arg(0)->Arg(1)->ArgName("read")->Unit(benchmark::kMillisecond);

// The same million rows on a throwaway server (made once); empty when no
// server could be started, with the reason in `why`.
const std::optional<std::string> &MillionRowServer(std::string &why)
{
    static std::string reason;
    static const std::optional<std::string> target = []() -> std::optional<std::string> {
        if (test::TPgServer::Skipped()) {
            reason = "KESTRUM_PG_SKIP=1";
            return std::nullopt;
        }
        try {
            test::TPgServer &server = test::TPgServer::Shared();
            const std::string target = server.ConnectionString(server.CreateDatabase("kestrum_bench"));
            TPgDriver ledger(target);
            CreateServerLedger(ledger);
            // The ledger's triggers journal each entry a user makes; rows
            // made for measuring are not the user's.
            ledger.Exec("SET session_replication_role = replica");
            ledger.Exec(
                "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") "
                "SELECT 100 + (i % 9000) * 1.25, make_timestamp(2000 + i % 25, 1 + i % 12, 1 + i % 28, "
                "0, 0, 0), (ARRAY['工资', '奖金', '兼职', '利息'])[1 + i % 4], "
                "CASE WHEN i % 3 = 0 THEN '周末家教' END FROM generate_series(0, " +
                std::to_string(kRows - 1) + ") AS i");
            ledger.Exec("ANALYZE gain");
            return target;
        } catch (const std::exception &e) {
            reason = e.what();
            return std::nullopt;
        }
    }();
    why = reason;
    return target;
}

//! A connection to the file, or to the server (nullptr and the benchmark
//! skipped when it cannot start).
std::unique_ptr<TDbConnection> LedgerConnection(benchmark::State &state, bool server)
{
    auto connection = std::make_unique<TDbConnection>();
    if (!server) {
        connection->SetConnectionString("Data Source=" + MillionRowFile());
        return connection;
    }
    std::string why;
    const std::optional<std::string> &target = MillionRowServer(why);
    if (!target) {
        state.SkipWithError(("PostgreSQL could not start: " + why).c_str());
        return nullptr;
    }
    connection->SetConnectionString(
        "Data Source=" + TDbConnection::QuotedConnectionStringValue(QString::fromStdString(*target)));
    return connection;
}

// Open and walk as above, the rows coming from the server.
void ServerOpenAndWalk(benchmark::State &state)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const std::unique_ptr<TDbConnection> connection = LedgerConnection(state, true);
    if (!connection)
        return;
    TDbQuery query;
    query.SetConnection(connection.get());
    query.SetSQL({"select * from gain"});
    const bool readValues = state.range(0) != 0;
    for (auto _ : state) {
        query.Open();
        long long rows = 0;
        double sum = 0;
        TDbField *amount = query.FieldByName("本次进帐");
        TDbField *date = query.FieldByName("进帐时间");
        while (!query.Eof()) {
            if (readValues)
                sum += amount->AsFloat() + date->AsDateTime();
            ++rows;
            query.Next();
        }
        benchmark::DoNotOptimize(sum);
        query.Close();
        state.SetItemsProcessed(state.items_processed() + rows);
    }
    state.counters["rows/s"] =
        benchmark::Counter(double(state.items_processed()), benchmark::Counter::kIsRate);
}
BENCHMARK(ServerOpenAndWalk)->Arg(0)->Arg(1)->ArgName("read")->Unit(benchmark::kMillisecond);

// One edited entry written through (checked against the row as read, read
// back), on the file and on the server.
void PostOneEntry(benchmark::State &state)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const std::unique_ptr<TDbConnection> connection = LedgerConnection(state, state.range(0) != 0);
    if (!connection)
        return;
    TDbQuery query;
    query.SetConnection(connection.get());
    query.SetSQL({"select * from gain where id <= 1000"});
    query.Open();
    TDbField *amount = query.FieldByName("本次进帐");
    double value = 1;
    for (auto _ : state) {
        query.Edit();
        amount->SetAsFloat(value += 0.25);
        query.Post();
    }
}
BENCHMARK(PostOneEntry)->Arg(0)->Arg(1)->ArgName("server")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
