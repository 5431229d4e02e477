// The statistics page on generated ledgers of 1k, 1M and (opt-in) 10M
// entries: each button's two totals, a year's chart figures and the charts
// redrawn, each beside its baseline, the same figures summed by plain SQL
// through the sqlite3 library on the same file (with SQLite's own sum());
// and a month's and a year's totals by the statements as written, which read
// every row.
#include "app/LedgerData.h"
#include "app/LedgerTotals.h"
#include "app/StatisticsPage.h"
#include "core/RegionalSettings.h"
#include "db/DbConnection.h"
#include "db/DbQuery.h"
#include "ledger/KeptTotalsByMonth.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include "BenchLedger.h"
#include "OpenPages.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>

using namespace kestrum;

namespace {

//! The statistics page open on a copy of the cached ledger of one size (the
//! first all-time press adds the totals the file keeps, as the program does
//! to a ledger of an older version), its pickers on a year and month that
//! hold entries, and a plain sqlite3 connection to the same file for the
//! baselines.
class OpenStatistics {
public:
    explicit OpenStatistics(std::int64_t entries)
    {
        const QString cached = bench::CachedBenchLedger(entries / 2, entries - entries / 2);
        const QString file = FFolder.filePath(QStringLiteral("Vantorel.mdb"));
        if (!FFolder.isValid() || !QFile::copy(cached, file))
            throw std::runtime_error("cannot copy " + cached.toStdString());
        FConnection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file);
        FQuery.SetConnection(&FConnection);
        FQuery.SetCursorType(ctKeyset);
        FPage = std::make_unique<TStatisticsPage>(&FQuery);
        for (QComboBox *year : {FPage->ComboBox1, FPage->ComboBox3})
            year->setCurrentText("2020");
        FPage->ComboBox2->setCurrentText("6");
        FPage->resize(1000, 640);
        FPage->show();
        QApplication::processEvents();
        sqlite3 *raw = nullptr;
        if (sqlite3_open_v2(file.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + file.toStdString());
        FPlain.reset(raw);
        FPath = file;
    }

    //! Makes the month totals as the program does in the background after
    //! opening a ledger that lacks them.
    bool MakeMonthTotals() { return MakeKeptMonthTotalsAside(FPath); }

    TStatisticsPage &Page() { return *FPage; }
    TDbQuery &Query() { return FQuery; }
    sqlite3 *Plain() { return FPlain.get(); }

private:
    QTemporaryDir FFolder;
    QString FPath;
    TDbConnection FConnection;
    TDbQuery FQuery;
    std::unique_ptr<TStatisticsPage> FPage;
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> FPlain{nullptr, sqlite3_close};
};

//! Stay open from one benchmark to the next; main closes them while the
//! application object still lives (widgets die before it).
bench::TOpenPages<OpenStatistics> StatisticsPages;

OpenStatistics &statistics(const benchmark::State &state)
{
    return StatisticsPages.Get(state.range(0), state.range(0));
}

void CheckNoError(benchmark::State &state, const QLabel *label)
{
    if (label->text().isEmpty())
        state.SkipWithError("the sum failed");
}

//! Runs plain statements one after another, stepping each to its end.
void RunPlain(benchmark::State &state, sqlite3 *db, std::initializer_list<const char *> statements)
{
    for (const char *sql : statements) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
            state.SkipWithError(sqlite3_errmsg(db));
            return;
        }
        int rows = 0;
        while (sqlite3_step(s) == SQLITE_ROW)
            ++rows;
        benchmark::DoNotOptimize(rows);
        sqlite3_finalize(s);
    }
}

//! The first all-time press on a ledger without kept totals: it makes them
//! (one pass over each table) and reads them. Run once: later presses read.
void BM_AllTimeSumsMakingTotals(benchmark::State &state)
{
    TStatisticsPage &page = statistics(state).Page();
    for (auto _ : state)
        page.Button3Click();
    CheckNoError(state, page.l3);
}

//! The background pass after opening that makes the month totals a ledger
//! of an older version lacks (one pass over each table). Run once: the
//! benchmarks after it read the totals it made.
void BM_MakingMonthTotals(benchmark::State &state)
{
    OpenStatistics &open = statistics(state);
    for (auto _ : state)
        if (!open.MakeMonthTotals())
            state.SkipWithError("the month totals were not made");
}

// Each button: two totals, income and expense, and the surplus.
void BM_AllTimeSums(benchmark::State &state)
{
    TStatisticsPage &page = statistics(state).Page();
    for (auto _ : state)
        page.Button3Click();
    CheckNoError(state, page.l3);
}

void BM_AllTimeSums_Baseline(benchmark::State &state)
{
    sqlite3 *db = statistics(state).Plain();
    for (auto _ : state)
        RunPlain(state, db, {"select sum(\"本次进帐\") from gain", "select sum(\"消费金额\") from expen"});
}

void BM_MonthSums(benchmark::State &state)
{
    TStatisticsPage &page = statistics(state).Page();
    for (auto _ : state)
        page.Button1Click();
    CheckNoError(state, page.m3);
}

void BM_MonthSums_Baseline(benchmark::State &state)
{
    sqlite3 *db = statistics(state).Plain();
    for (auto _ : state)
        RunPlain(state, db,
                 {"select sum(\"本次进帐\") from gain where \"进帐时间\" >= '2020-06-' and \"进帐时间\" < "
                  "'2020-06/'",
                  "select sum(\"消费金额\") from expen where \"消费日期\" >= '2020-06-' and \"消费日期\" < "
                  "'2020-06/'"});
}

void BM_YearSums(benchmark::State &state)
{
    TStatisticsPage &page = statistics(state).Page();
    for (auto _ : state)
        page.Button2Click();
    CheckNoError(state, page.y3);
}

void BM_YearSums_Baseline(benchmark::State &state)
{
    sqlite3 *db = statistics(state).Plain();
    for (auto _ : state)
        RunPlain(
            state, db,
            {"select sum(\"本次进帐\") from gain where \"进帐时间\" >= '2020-' and \"进帐时间\" < '2020/'",
             "select sum(\"消费金额\") from expen where \"消费日期\" >= '2020-' and \"消费日期\" < '2020/'"});
}

//! The two totals of a button as the statement is written, year() and
//! month() over every row, which is what each press cost before the sums
//! read the date index. Run once: it is the slow path.
void RunAsWritten(benchmark::State &state, const char *income, const char *expense, const QString &year,
                  const QString &month = QString())
{
    TDbQuery &page = statistics(state).Query();
    TDbQuery query;
    query.SetConnection(page.Connection());
    const auto parameters = [&](const char *yearName, const char *monthName) {
        TLedgerData::TParameterTexts texts = {{yearName, year}};
        if (!month.isEmpty())
            texts.emplace_back(monthName, month);
        return texts;
    };
    for (auto _ : state) {
        TLedgerData::ReplaceAndReopen(query, QString::fromUtf8(income), parameters("a", "b"));
        TLedgerData::ReplaceAndReopen(query, QString::fromUtf8(expense), parameters("c", "d"));
        benchmark::DoNotOptimize(query.FieldCount());
    }
}

void BM_MonthSumsUnindexed(benchmark::State &state)
{
    RunAsWritten(state,
                 "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a AND month(进帐时间)=:b ",
                 "select sum(消费金额) as l2 from expen where year(消费日期)= :c AND month(消费日期)=:d ",
                 "2020", "6");
}

void BM_YearSumsUnindexed(benchmark::State &state)
{
    RunAsWritten(state, "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a  ",
                 "select sum(消费金额) as l2 from expen where year(消费日期)= :c  ", "2020");
}

//! The charts' figures of one year: one pass over each table's year.
void BM_ChartYearTotals(benchmark::State &state)
{
    TDbQuery &query = statistics(state).Query();
    TDbQuery charts;
    charts.SetConnection(query.Connection());
    TLedgerTotals totals(charts);
    for (auto _ : state)
        benchmark::DoNotOptimize(totals.Year("2020"));
}

void BM_ChartYearTotals_Baseline(benchmark::State &state)
{
    sqlite3 *db = statistics(state).Plain();
    for (auto _ : state)
        RunPlain(state, db,
                 {"select substr(\"进帐时间\", 6, 2), sum(\"本次进帐\") from gain where \"进帐时间\" >= "
                  "'2020-' and "
                  "\"进帐时间\" < '2020/' group by 1",
                  "select substr(\"消费日期\", 6, 2), trim(\"消费者\"), sum(\"消费金额\") from expen where "
                  "\"消费日期\" >= '2020-' and \"消费日期\" < '2020/' group by 1, 2"});
}

//! What a save or delete costs the page on screen: every figure summed again
//! and the three charts drawn.
void BM_ChartRefreshAfterLedgerChange(benchmark::State &state)
{
    TStatisticsPage &page = statistics(state).Page();
    for (auto _ : state) {
        page.LedgerChanged();
        page.RefreshCharts();
        page.repaint();
    }
}

//! A click on another month: the year's figures are kept, only drawn.
void BM_ChartRefreshOtherMonth(benchmark::State &state)
{
    TStatisticsPage &page = statistics(state).Page();
    int month = 0;
    for (auto _ : state) {
        page.ComboBox2->setCurrentText(QString::number(month++ % 12 + 1));
        page.RefreshCharts();
        page.repaint();
    }
}

#define STATISTICS_BENCHMARK(name, iterations)                                                               \
    BENCHMARK(name)->Apply(bench::StandardSizes)->Iterations(iterations)->Unit(benchmark::kMillisecond)

STATISTICS_BENCHMARK(BM_AllTimeSumsMakingTotals, 1);
STATISTICS_BENCHMARK(BM_MakingMonthTotals, 1);
STATISTICS_BENCHMARK(BM_AllTimeSums, 5);
STATISTICS_BENCHMARK(BM_AllTimeSums_Baseline, 5);
STATISTICS_BENCHMARK(BM_MonthSums, 5);
STATISTICS_BENCHMARK(BM_MonthSums_Baseline, 5);
STATISTICS_BENCHMARK(BM_YearSums, 5);
STATISTICS_BENCHMARK(BM_YearSums_Baseline, 5);
STATISTICS_BENCHMARK(BM_MonthSumsUnindexed, 1);
STATISTICS_BENCHMARK(BM_YearSumsUnindexed, 1);
STATISTICS_BENCHMARK(BM_ChartYearTotals, 5);
STATISTICS_BENCHMARK(BM_ChartYearTotals_Baseline, 5);
STATISTICS_BENCHMARK(BM_ChartRefreshAfterLedgerChange, 5);
STATISTICS_BENCHMARK(BM_ChartRefreshOtherMonth, 12);

} // namespace

int main(int argc, char **argv)
{
    return bench::RunPageBenchmarks(argc, argv, StatisticsPages);
}
