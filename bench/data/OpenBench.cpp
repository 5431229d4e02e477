// Opening a ledger as the program does at start: both tables' record sets
// opened and each loaded into a grid's data controller, with the footer sum
// of the amounts, beside SQLite's own step over the same two tables (the
// floor: reading every row once). Ledgers of 1 000 and 1 000 000 entries are
// made for a default run; KESTRUM_BENCH_10M=1 adds 10 000 000 (5M income and
// 5M expense). BM_OpenPeakRss opens each ledger in a child process and
// reports the child's peak resident size, so earlier runs do not count.
#include "core/RegionalSettings.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "data/DataSummary.h"
#include "data/DbDataController.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbQuery.h"
#include "ledger/LedgerFile.h"

#include <QDir>
#include <QTemporaryDir>

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

void Exec(sqlite3 *db, const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "sqlite error";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

//! `rows` income and `rows` expense entries over 26 years, with varied items
//! and remarks of everyday length, Chinese and English mixed.
std::string FillSql(int rows)
{
    const std::string n = "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                          std::to_string(rows - 1) + ") ";
    return n +
           "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") "
           "SELECT ((i * 7919) % 900000) / 100.0 + 1, "
           "datetime('2000-01-01', '+' || (i * 9497 % 9500) || ' days', '+' || (i * 37 % 86400) || ' "
           "seconds'), "
           "CASE i % 9 WHEN 0 THEN '工资' WHEN 1 THEN '奖金' WHEN 2 THEN '利息收入' WHEN 3 THEN '红包' "
           "WHEN 4 THEN '兼职报酬' WHEN 5 THEN 'Salary' WHEN 6 THEN '房租收入' WHEN 7 THEN '理财分红' "
           "ELSE '报销' END, "
           "CASE i % 6 WHEN 0 THEN '' WHEN 1 THEN '公司发放' || (i % 12 + 1) || '月份工资' "
           "WHEN 2 THEN 'transfer from savings #' || (i % 9973) "
           "WHEN 3 THEN '银行定期存款利息 ' || (i % 100) || ' 期' "
           "WHEN 4 THEN 'bonus Q' || (i % 4 + 1) || ' project ' || (i % 311) "
           "ELSE '周末兼职家教收入' END FROM n; " +
           n +
           "INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\", \"备注\") "
           "SELECT ((i * 104729) % 50000) / 100.0 + 0.5, "
           "datetime('2000-01-01', '+' || (i * 7919 % 9500) || ' days', '+' || (i * 53 % 86400) || ' "
           "seconds'), "
           "CASE i % 11 WHEN 0 THEN '餐饮' WHEN 1 THEN '交通' WHEN 2 THEN '超市购物' WHEN 3 THEN '水电煤气' "
           "WHEN 4 THEN '房租' WHEN 5 THEN 'Books' WHEN 6 THEN '医疗' WHEN 7 THEN '话费' "
           "WHEN 8 THEN '服装' WHEN 9 THEN '娱乐' ELSE '教育' END, "
           "CASE i % 7 WHEN 0 THEN '' WHEN 1 THEN '楼下超市买菜和日用品' "
           "WHEN 2 THEN 'lunch with colleagues ' || (i % 97) "
           "WHEN 3 THEN '地铁公交卡充值 ' || (i % 200) || ' 元' "
           "WHEN 4 THEN '给孩子买课外书' WHEN 5 THEN 'electricity bill ' || (i % 12 + 1) || '/20xx' "
           "ELSE '周末和家人去看电影' END FROM n;";
}

//! A ledger of `entries` entries (half income, half expense), made once per size.
class Ledger {
public:
    explicit Ledger(int entries)
    {
        if (!FDir.isValid())
            throw std::runtime_error("no temporary folder");
        FPath = FDir.filePath("Vantorel.mdb");
        sqlite3 *raw = nullptr;
        sqlite3_open(FPath.toUtf8().constData(), &raw);
        std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
        Exec(raw, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN");
        Exec(raw, LedgerSchemaSql);
        Exec(raw, FillSql(entries / 2));
        Exec(raw, "COMMIT");
    }
    const QString &Path() const { return FPath; }

private:
    QTemporaryDir FDir;
    QString FPath;
};

const Ledger &LedgerWith(int entries)
{
    static std::map<int, std::unique_ptr<Ledger>> ledgers;
    auto &ledger = ledgers[entries];
    if (!ledger)
        ledger = std::make_unique<Ledger>(entries);
    return *ledger;
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
    const Ledger &ledger = LedgerWith(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(StepBothTables(ledger.Path()));
    state.counters["entries"] = double(state.range(0));
}
BENCHMARK(BM_SqliteStep)->Apply(SizeArguments);

void BM_Open(benchmark::State &state)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const int entries = int(state.range(0));
    const Ledger &ledger = LedgerWith(entries);
    double closeSeconds = 0;
    for (auto _ : state) {
        QString footer;
        double seconds = 0;
        const int loaded = OpenLedger(ledger.Path(), &footer, &seconds, &closeSeconds);
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
    const Ledger &ledger = LedgerWith(entries);
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
            OpenLedger(ledger.Path());
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
