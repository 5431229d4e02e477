// A ledger on a PostgreSQL server beside a ledger file: what watching for
// other programs' writes costs while nothing changes (one look of the
// file's timer, one look at an idle server connection), how long a commit
// of another connection takes to be heard, and the statistics' totals (all
// time, a month, a year, the year's charts) at 1M entries on both. The
// server is a throwaway one of the tests' kind; without PostgreSQL the
// server's benchmarks are skipped with a message.
#include "ServerSchema.h"
#include "app/LedgerTotals.h"
#include "core/RegionalSettings.h"
#include "db/DbConnection.h"
#include "db/DbQuery.h"
#include "db/PgDriver.h"
#include "db/SqliteDriver.h"
#include "support/PgServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "BenchLedger.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

using namespace kestrum;

namespace {

const char *const MonthIncome =
    "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a AND month(进帐时间)=:b ";
const char *const YearExpense = "select sum(消费金额) as l2 from expen where year(消费日期)= :c  ";
const char *const AllIncome = "select sum(本次进帐) as l1 from gain";

//! The server with one ledger database of `entries` entries (half income),
//! spread over 2015-2025 as the generated files are.
class ServerLedger {
public:
    explicit ServerLedger(std::int64_t entries)
    {
        test::TPgServer &server = test::TPgServer::Shared();
        FTarget = server.ConnectionString(server.CreateDatabase("kestrum_bench"));
        FDriver = std::make_unique<TPgDriver>(FTarget);
        FDriver->Begin();
        CreateServerTables(*FDriver);
        const std::string half = std::to_string(entries / 2), rest = std::to_string(entries - entries / 2);
        FDriver->Exec("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") SELECT round((random() * "
                      "5000)::numeric, "
                      "2), timestamp '2015-01-01' + random() * interval '11 years', '项目' || (i % 40) FROM "
                      "generate_series(1, " +
                      half + ") i");
        FDriver->Exec("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") SELECT round((random() * "
                      "500)::numeric, "
                      "2), timestamp '2015-01-01' + random() * interval '11 years', '项目' || (i % 60) FROM "
                      "generate_series(1, " +
                      rest + ") i");
        CreateServerTriggers(*FDriver);
        FDriver->Commit();
        FDriver->Exec("VACUUM ANALYZE gain");
        FDriver->Exec("VACUUM ANALYZE expen");
    }
    TPgDriver &Driver() { return *FDriver; }
    const std::string &Target() const { return FTarget; }
    //! A record set on the ledger, as the statistics page has one.
    TDbQuery &Query()
    {
        if (!FQuery) {
            FConnection.SetConnectionString(
                "Data Source=" + TDbConnection::QuotedConnectionStringValue(QString::fromStdString(FTarget)));
            FQuery = std::make_unique<TDbQuery>();
            FQuery->SetConnection(&FConnection);
            FQuery->SetCursorType(ctKeyset);
        }
        return *FQuery;
    }

private:
    std::string FTarget;
    std::unique_ptr<TPgDriver> FDriver;
    TDbConnection FConnection;
    std::unique_ptr<TDbQuery> FQuery;
};

ServerLedger *Server(benchmark::State &state)
{
    if (test::TPgServer::Skipped()) {
        state.SkipWithError("KESTRUM_PG_SKIP=1");
        return nullptr;
    }
    static std::map<std::int64_t, std::unique_ptr<ServerLedger>> ledgers;
    try {
        auto &slot = ledgers[state.range(0)];
        if (!slot)
            slot = std::make_unique<ServerLedger>(state.range(0));
        return slot.get();
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return nullptr;
    }
}

//! A copy of the cached ledger file of one size, a record set on it.
class FileLedger {
public:
    explicit FileLedger(std::int64_t entries)
    {
        const QString cached = bench::CachedBenchLedger(entries / 2, entries - entries / 2);
        FPath = FFolder.filePath(QStringLiteral("Vantorel.mdb"));
        if (!FFolder.isValid() || !QFile::copy(cached, FPath))
            throw std::runtime_error("cannot copy " + cached.toStdString());
        FConnection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + FPath);
        FQuery.SetConnection(&FConnection);
        FQuery.SetCursorType(ctKeyset);
        // The first all-time sum makes the totals the file keeps.
        TLedgerTotals(FQuery).Sum(AllIncome, {}, "l1");
    }
    TDbQuery &Query() { return FQuery; }
    const QString &Path() const { return FPath; }

private:
    QTemporaryDir FFolder;
    QString FPath;
    TDbConnection FConnection;
    TDbQuery FQuery;
};

FileLedger &File(const benchmark::State &state)
{
    static std::map<std::int64_t, std::unique_ptr<FileLedger>> ledgers;
    auto &slot = ledgers[state.range(0)];
    if (!slot)
        slot = std::make_unique<FileLedger>(state.range(0));
    return *slot;
}

// ---- watching ----------------------------------------------------------

//! One tick of the file's timer while nothing changes: PRAGMA data_version.
void BM_WatchIdleFile(benchmark::State &state)
{
    TSqliteDriver driver(File(state).Path().toStdString());
    driver.WatchChanges();
    for (auto _ : state)
        benchmark::DoNotOptimize(driver.TakeChanges(0));
}

//! A look at an idle server connection (what the program does only when it
//! wakes for something else: the socket wakes it for a notice).
void BM_WatchIdleServer(benchmark::State &state)
{
    ServerLedger *ledger = Server(state);
    if (!ledger)
        return;
    TPgDriver driver(ledger->Target());
    driver.WatchChanges();
    for (auto _ : state)
        benchmark::DoNotOptimize(driver.TakeChanges(0));
}

//! From another connection's commit to the notice: on a file the first
//! look after the commit sees it (the program looks every 500 ms, so the
//! page shows it within that plus the refresh); on a server the notice
//! arrives on the socket the program waits on.
void BM_CommitHeardFile(benchmark::State &state)
{
    const std::string path = File(state).Path().toStdString();
    TSqliteDriver watcher(path), writer(path);
    watcher.WatchChanges();
    for (auto _ : state) {
        writer.Exec("UPDATE gain SET \"备注\" = 'x' WHERE rowid = 1");
        if (watcher.TakeChanges(1000).empty())
            state.SkipWithError("not heard");
    }
}

void BM_CommitHeardServer(benchmark::State &state)
{
    ServerLedger *ledger = Server(state);
    if (!ledger)
        return;
    TPgDriver watcher(ledger->Target()), writer(ledger->Target());
    watcher.WatchChanges();
    for (auto _ : state) {
        writer.Exec("UPDATE gain SET \"备注\" = 'x' WHERE id = 1");
        if (watcher.TakeChanges(1000).empty())
            state.SkipWithError("not heard");
    }
}

// ---- totals ------------------------------------------------------------

void BM_TotalsFile(benchmark::State &state, const char *statement, TLedgerData::TParameterTexts parameters)
{
    FileLedger &file = File(state);
    TLedgerTotals totals(file.Query());
    for (auto _ : state)
        benchmark::DoNotOptimize(totals.Sum(statement, parameters, statement == MonthIncome ? "l1" : "l2"));
}

void BM_TotalsServer(benchmark::State &state, const char *statement, TLedgerData::TParameterTexts parameters)
{
    ServerLedger *ledger = Server(state);
    if (!ledger)
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(TLedgerTotals::ServerSum(ledger->Driver(), statement, parameters));
}

//! What the statistics page runs on a server: the sum through its record
//! set, left open on the statement; beside BM_TotalsServer, the same sum
//! through a driver alone.
void BM_TotalsServerRecordSet(benchmark::State &state, const char *statement,
                              TLedgerData::TParameterTexts parameters)
{
    ServerLedger *ledger = Server(state);
    if (!ledger)
        return;
    TLedgerTotals totals(ledger->Query());
    for (auto _ : state)
        benchmark::DoNotOptimize(
            totals.Sum(statement, parameters, std::strstr(statement, " as l1 ") ? "l1" : "l2"));
}

void BM_YearChartsFile(benchmark::State &state)
{
    TLedgerTotals totals(File(state).Query());
    for (auto _ : state)
        benchmark::DoNotOptimize(totals.Year("2020"));
}

void BM_YearChartsServer(benchmark::State &state)
{
    ServerLedger *ledger = Server(state);
    if (!ledger)
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(TLedgerTotals::ServerYear(ledger->Driver(), "2020"));
}

void Sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_WatchIdleFile)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WatchIdleServer)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CommitHeardFile)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommitHeardServer)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TotalsFile, all_income, AllIncome, {})->Apply(Sizes);
BENCHMARK_CAPTURE(BM_TotalsServer, all_income, AllIncome, {})->Apply(Sizes);
BENCHMARK_CAPTURE(BM_TotalsServerRecordSet, all_income, AllIncome, {})->Apply(Sizes);
BENCHMARK_CAPTURE(BM_TotalsFile, month_income, MonthIncome, {{"a", "2020"}, {"b", "6"}})->Apply(Sizes);
BENCHMARK_CAPTURE(BM_TotalsServer, month_income, MonthIncome, {{"a", "2020"}, {"b", "6"}})->Apply(Sizes);
BENCHMARK_CAPTURE(BM_TotalsServerRecordSet, month_income, MonthIncome, {{"a", "2020"}, {"b", "6"}})
    ->Apply(Sizes);
BENCHMARK_CAPTURE(BM_TotalsFile, year_expense, YearExpense, {{"c", "2020"}})->Apply(Sizes);
BENCHMARK_CAPTURE(BM_TotalsServer, year_expense, YearExpense, {{"c", "2020"}})->Apply(Sizes);
BENCHMARK_CAPTURE(BM_TotalsServerRecordSet, year_expense, YearExpense, {{"c", "2020"}})->Apply(Sizes);
BENCHMARK(BM_YearChartsFile)->Apply(Sizes);
BENCHMARK(BM_YearChartsServer)->Apply(Sizes);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
