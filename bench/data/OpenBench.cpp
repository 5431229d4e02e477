// Opening a ledger as the program does at start: both tables' record sets
// opened and each loaded into a grid's data controller, with the footer sum
// of the amounts, beside SQLite's own step over the same two tables (the
// floor: reading every row once). Ledgers of 1 000 and 1 000 000 entries are
// generated once and cached (bench/support/BenchLedger.h) for a default run;
// KESTRUM_BENCH_10M=1 adds 10 000 000 (5M income and 5M expense). BM_OpenPeakRss opens each ledger in a child
// process and reports the child's peak resident size, so earlier runs do not count.
#include "BenchLedger.h"
#include "core/RegionalSettings.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "data/DataSummary.h"
#include "data/DbDataController.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbQuery.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace kestrum {
namespace {

//! The cached generated ledger of `entries` entries (half income, half
//! expense); it is only read.
QString LedgerPath(int entries)
{
    static std::map<int, QString> paths;
    QString &path = paths[entries];
    if (path.isEmpty())
        path = bench::CachedBenchLedger(entries / 2, entries / 2);
    return path;
}

//! SQLite alone: every row of both tables stepped and each cell read once.
long long StepBothTables(const QString &path)
{
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    long long bytes = 0;
    for (const char *sql : {"select * from gain", "select * from expen"}) {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(raw, sql, -1, &statement, nullptr);
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(statement, c)) {
                case SQLITE_INTEGER:
                    bytes += sqlite3_column_int64(statement, c) & 1;
                    break;
                case SQLITE_FLOAT:
                    bytes += sqlite3_column_double(statement, c) > 0;
                    break;
                case SQLITE_TEXT:
                    bytes += sqlite3_column_text(statement, c) ? sqlite3_column_bytes(statement, c) : 0;
                    break;
                default:
                    break;
                }
            }
        }
        sqlite3_finalize(statement);
    }
    return bytes;
}

class PageController : public TkvGridDBDataController {
public:
    PageController() { FHooks = CreateSortingGroupingSummaryHooks(*this); }
};

//! One entry page: its record set, data source and grid controller, with a
//! footer sum of the amount.
struct Page {
    TDbQuery query;
    TDbDataSource source;
    PageController controller;
    int columns[4] = {};

    Page(TDbConnection &connection, const char *table, const char *const (&names)[4])
    {
        query.SetConnection(&connection);
        query.AddSQL(QString("select * from ") + table);
        source.SetDataSet(&query);
        for (int i = 0; i < 4; ++i) {
            controller.AttachItem(&columns[i]);
            controller.ChangeFieldName(i, QString::fromUtf8(names[i]));
        }
        TkvDataSummaryItem *footer = DataSummaryOf(controller)->FooterSummaryItems().Add();
        footer->SetLinkedItem(&columns[0]);
        footer->SetKind(skSum);
        controller.SetDataSource(&source);
    }
};

const char *const IncomeNames[4] = {"本次进帐", "进帐时间", "进帐人", "备注"};
const char *const ExpenseNames[4] = {"消费金额", "消费日期", "消费者", "备注"};

//! Opens both pages as the program's start does; returns the rows loaded
//! and, in seconds, how long the open took and how long closing the pages
//! took afterwards.
int OpenLedger(const QString &path, QString *footer = nullptr, double *seconds = nullptr,
               double *closeSeconds = nullptr)
{
    const auto start = std::chrono::steady_clock::now();
    TDbConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    auto income = std::make_unique<Page>(connection, "gain", IncomeNames);
    auto expense = std::make_unique<Page>(connection, "expen", ExpenseNames);
    income->query.Open();
    expense->query.Open();
    if (footer)
        *footer = DataSummaryOf(income->controller)->FooterText(0);
    if (seconds)
        *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int rows = income->controller.RowCount() + expense->controller.RowCount();
    const auto closing = std::chrono::steady_clock::now();
    income.reset();
    expense.reset();
    if (closeSeconds)
        *closeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - closing).count();
    return rows;
}

void SizeArguments(benchmark::internal::Benchmark *bench)
{
    bench->Arg(1000)->Arg(1000000);
    if (const char *big = std::getenv("KESTRUM_BENCH_10M"); big && std::strcmp(big, "0") != 0)
        bench->Arg(10000000);
    bench->Unit(benchmark::kMillisecond)->Iterations(1);
}

void BM_SqliteStep(benchmark::State &state)
{
    const QString ledger = LedgerPath(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(StepBothTables(ledger));
    state.counters["entries"] = double(state.range(0));
}
BENCHMARK(BM_SqliteStep)->Apply(SizeArguments);

void BM_Open(benchmark::State &state)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const int entries = int(state.range(0));
    const QString ledger = LedgerPath(entries);
    double closeSeconds = 0;
    for (auto _ : state) {
        QString footer;
        double seconds = 0;
        const int loaded = OpenLedger(ledger, &footer, &seconds, &closeSeconds);
        if (loaded != entries || footer.isEmpty())
            state.SkipWithError("not every entry was loaded");
        state.SetIterationTime(seconds);
    }
    state.counters["close_ms"] = closeSeconds * 1000.0;
    state.counters["entries"] = double(entries);
}
BENCHMARK(BM_Open)->Apply(SizeArguments)->UseManualTime();

long ResidentKb(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return 0;
}

//! The peak resident size of a process that does nothing but open the ledger.
void BM_OpenPeakRss(benchmark::State &state)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const int entries = int(state.range(0));
    const QString ledger = LedgerPath(entries);
    long peakKb = 0, baseKb = 0;
    for (auto _ : state) {
        malloc_trim(0); // what earlier runs freed must not be reused unseen by the child
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return state.SkipWithError("no pipe");
        const pid_t child = fork();
        if (child == 0) {
            close(pipeFds[0]);
            long figures[2] = {ResidentKb("VmRSS:"), 0};
            OpenLedger(ledger);
            figures[1] = ResidentKb("VmHWM:");
            (void)!write(pipeFds[1], figures, sizeof figures);
            _exit(0);
        }
        close(pipeFds[1]);
        long figures[2] = {};
        const bool read = ::read(pipeFds[0], figures, sizeof figures) == sizeof figures;
        close(pipeFds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (!read)
            return state.SkipWithError("the child did not report");
        baseKb = figures[0];
        peakKb = figures[1];
    }
    state.counters["peak_rss_mb"] = double(peakKb) / 1024.0;
    state.counters["bytes_per_entry"] = double(peakKb - baseKb) * 1024.0 / double(entries);
    state.counters["entries"] = double(entries);
}
BENCHMARK(BM_OpenPeakRss)->Apply(SizeArguments);

} // namespace
} // namespace kestrum

BENCHMARK_MAIN();
