// The statistics page on a real ledger of a million income and a million
// expense rows: redrawing its charts after a change of the ledger (every
// figure summed again, then drawn), beside the page's own sum statements,
// which every press of its buttons runs, in the same run.
//
// The ledger is generated for the run (see BenchLedger.h); KESTRUM_LEDGER_1M
// may name a real one to copy instead.
#include "app/LedgerTotals.h"
#include "app/StatisticsPage.h"
#include "core/RegionalSettings.h"
#include "db/DbConnection.h"
#include "db/DbQuery.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include "BenchLedger.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

using namespace kestrum;

namespace {

//! A copy of the ledger with the statistics page open on it, its pickers on
//! a year and month that hold entries.
class OpenStatistics {
public:
    OpenStatistics()
    {
        const QString file = FDir.filePath("Vantorel.mdb");
        bench::MakeBenchLedger(file);
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
    }

    TStatisticsPage &Page() { return *FPage; }
    TDbQuery &Query() { return FQuery; }

private:
    QTemporaryDir FDir;
    TDbConnection FConnection;
    TDbQuery FQuery;
    std::unique_ptr<TStatisticsPage> FPage;
};

//! Stays open from one benchmark to the next; main closes it while the
//! application object still lives (widgets die before it).
std::unique_ptr<OpenStatistics> &openStatistics()
{
    static std::unique_ptr<OpenStatistics> open;
    return open;
}

OpenStatistics &statistics()
{
    if (!openStatistics())
        openStatistics() = std::make_unique<OpenStatistics>();
    return *openStatistics();
}

void CheckNoError(benchmark::State &state, const QLabel *label)
{
    if (label->text().isEmpty())
        state.SkipWithError("the sum failed");
}

// Baselines: the page's three buttons, two sum statements each.
void BM_AllTimeSums(benchmark::State &state)
{
    TStatisticsPage &page = statistics().Page();
    for (auto _ : state)
        page.Button3Click();
    CheckNoError(state, page.l3);
}

void BM_MonthSums(benchmark::State &state)
{
    TStatisticsPage &page = statistics().Page();
    for (auto _ : state)
        page.Button1Click();
    CheckNoError(state, page.m3);
}

void BM_YearSums(benchmark::State &state)
{
    TStatisticsPage &page = statistics().Page();
    for (auto _ : state)
        page.Button2Click();
    CheckNoError(state, page.y3);
}

//! The charts' figures of one year: one pass over each table.
void BM_ChartYearTotals(benchmark::State &state)
{
    TDbQuery &query = statistics().Query();
    TDbQuery charts;
    charts.SetConnection(query.Connection());
    TLedgerTotals totals(charts);
    for (auto _ : state)
        benchmark::DoNotOptimize(totals.Year("2020"));
}

//! What a save or delete costs the page on screen: every figure summed again
//! and the three charts drawn.
void BM_ChartRefreshAfterLedgerChange(benchmark::State &state)
{
    TStatisticsPage &page = statistics().Page();
    for (auto _ : state) {
        page.LedgerChanged();
        page.RefreshCharts();
        page.repaint();
    }
}

//! A click on another month: the year's figures are kept, only drawn.
void BM_ChartRefreshOtherMonth(benchmark::State &state)
{
    TStatisticsPage &page = statistics().Page();
    int month = 0;
    for (auto _ : state) {
        page.ComboBox2->setCurrentText(QString::number(month++ % 12 + 1));
        page.RefreshCharts();
        page.repaint();
    }
}

BENCHMARK(BM_AllTimeSums)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonthSums)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YearSums)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartYearTotals)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartRefreshAfterLedgerChange)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartRefreshOtherMonth)->Iterations(12)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    openStatistics().reset();
    return 0;
}
