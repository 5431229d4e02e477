// Saving, deleting and cancelling one entry on the income page, over a real
// ledger of a million income rows and over a thousand-row copy of it, in the
// same run: each must cost the same at both sizes. Beside them the full
// re-query (the statement run again and every row reloaded into the grid),
// which every save, delete and cancel used to cost, and the same write done
// by SQLite alone on the same file, the floor of a save or a delete.
//
// The ledger is generated for the run (see BenchLedger.h); KESTRUM_LEDGER_1M
// may name a real one to copy instead. KESTRUM_BENCH_10M=1 adds a ledger of
// five million income and five million expense rows (a long run: the file
// is made and read first).
#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "core/RegionalSettings.h"
#include "data/DataControllerGroups.h"
#include "data/DataSorting.h"
#include "data/DbDataController.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "grid/GridEditingController.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "ui/ImageList.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QFile>
#include <QTemporaryDir>

#include "BenchLedger.h"
#include "OpenPages.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>

using namespace kestrum;

namespace {

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "sqlite error";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

//! One ledger file in a folder of its own, with the income page open on it.
class OpenLedger {
public:
    explicit OpenLedger(int rows)
    {
        const QString file = FDir.filePath("Vantorel.mdb");
        if (rows == TenMillion)
            bench::MakeBenchLedger(file, TenMillion / 2, TenMillion / 2);
        else
            bench::MakeBenchLedger(file);
        FFile = file.toStdString();
        if (rows > 0 && rows != TenMillion) {
            // The first rows of the same ledger, in the same schema.
            sqlite3 *db = nullptr;
            sqlite3_open(file.toUtf8().constData(), &db);
            const std::string keep =
                "DELETE FROM gain WHERE id NOT IN (SELECT id FROM gain ORDER BY id LIMIT " +
                std::to_string(rows) + ")";
            exec(db, keep.c_str());
            exec(db, "DELETE FROM expen WHERE id > (SELECT min(id) + 999 FROM expen)");
            exec(db, "VACUUM");
            sqlite3_close(db);
        }
        FData.ADOConnection1.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file);
        FData.Loaded([](const std::exception &error) { throw std::runtime_error(error.what()); });
        FPage = std::make_unique<TEntryPage>(IncomePageDescription(), FData.DataSource1, &FImages);
        FPage->resize(1000, 700);
        FPage->show();
        QApplication::processEvents();
    }

    static constexpr int TenMillion = 10000000;

    TDbQuery &Query() { return FData.ADOQuery1; }
    const std::string &File() const { return FFile; }
    TkvGridDBTableView &View() { return *FPage->View; }
    TDbField &Amount() { return *Query().FieldByName(QString::fromUtf8("本次进帐")); }
    void SortByAmount()
    {
        TkvCustomDataController &controller = *FPage->View->DBDataController();
        DataSortingOf(controller)->ApplySortOrder(0, soAscending);
    }
    void SetMonth(const QString &year, const QString &month)
    {
        FPage->YearEdit->setText(year);
        FPage->MonthCombo->setCurrentText(month);
    }
    void ShowMonth() { FPage->ShowMonth(); }
    //! Every entry, as the page opens.
    void ShowWholeList() { TLedgerData::ReplaceAndReopen(Query(), QStringLiteral("select * from gain"), {}); }
    //! Somewhere in the middle of the list.
    void GoMiddle()
    {
        Query().First();
        Query().MoveBy(Query().RecordCount() / 2);
    }

private:
    QTemporaryDir FDir;
    std::string FFile;
    TLedgerData FData;
    TImageList FImages{16, 16};
    std::unique_ptr<TEntryPage> FPage;
};

//! The pages stay open from one benchmark to the next; main closes them
//! while the application object still lives (widgets die before it).
bench::TOpenPages<OpenLedger> OpenLedgers;

OpenLedger &ledger(int rows)
{
    return OpenLedgers.Get(rows, rows);
}

int sizeOf(const benchmark::State &state)
{
    return int(state.range(0));
}

//! rows: 1000, 0 for the whole million-row file, or OpenLedger::TenMillion.
void rowsCounter(benchmark::State &state, OpenLedger &page)
{
    state.counters["rows"] = double(page.Query().RecordCount());
}

//! The item column (进帐人), second in the page's grid.
constexpr int ItemColumn = 1;

void BM_Post(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    double amount = 100;
    for (auto _ : state) {
        state.PauseTiming();
        page.Query().Edit();
        page.Amount().SetValue(Variant(amount += 0.25));
        state.ResumeTiming();
        page.Query().Post();
    }
    rowsCounter(state, page);
}

void BM_Delete(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    for (auto _ : state)
        page.Query().Delete();
    rowsCounter(state, page);
}

void BM_Cancel(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    for (auto _ : state) {
        state.PauseTiming();
        page.Query().Edit();
        page.Amount().SetValue(Variant(1.5));
        state.ResumeTiming();
        page.Query().Cancel();
    }
    rowsCounter(state, page);
}

void BM_CancelNewEntry(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    for (auto _ : state) {
        state.PauseTiming();
        page.Query().Insert();
        page.Amount().SetValue(Variant(2.5));
        state.ResumeTiming();
        page.Query().Cancel();
    }
    rowsCounter(state, page);
}

//! A new entry saved: the row joins the list where it was begun.
void BM_PostNewEntry(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    double amount = 300;
    for (auto _ : state) {
        state.PauseTiming();
        page.Query().Insert();
        page.Amount().SetValue(Variant(amount += 0.5));
        state.ResumeTiming();
        page.Query().Post();
    }
    rowsCounter(state, page);
}

//! The click that begins a new entry (the navigator's + button, Insert).
void BM_StartNewEntry(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    for (auto _ : state) {
        page.Query().Insert();
        state.PauseTiming();
        page.Query().Cancel();
        state.ResumeTiming();
    }
    rowsCounter(state, page);
}

//! A row down and back up with the arrow keys, in the middle of the list.
void BM_ArrowKeyStep(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    TkvGridTableController &controller = page.View().Controller();
    bool down = true;
    for (auto _ : state) {
        controller.FocusNextRow(controller.FocusedRowIndex(), down);
        down = !down;
    }
    rowsCounter(state, page);
}

//! A page down and back up (a click in the scroll bar's track, Page Down).
void BM_PageStep(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    TkvGridTableController &controller = page.View().Controller();
    int step = 30;
    for (auto _ : state) {
        controller.SetFocusedRowIndex(controller.FocusedRowIndex() + step);
        step = -step;
    }
    rowsCounter(state, page);
}

//! The navigator's first and last buttons, one after the other.
void BM_FirstLast(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    bool first = true;
    for (auto _ : state) {
        if (first)
            page.Query().First();
        else
            page.Query().Last();
        first = !first;
    }
    rowsCounter(state, page);
}

//! A cell editor opened on the amount (a click in the focused cell, F2) and
//! closed with Esc.
void BM_OpenAndEscapeEditor(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    TkvGridEditingController &editing = page.View().Controller().EditingController();
    TkvGridColumn *amount = page.View().Columns(0);
    // An editor opens only in a grid that has the keyboard focus.
    editing.Site()->activateWindow();
    editing.Site()->setFocus();
    QApplication::processEvents();
    for (auto _ : state) {
        if (!editing.ShowCellEditor(amount)) {
            state.SkipWithError("no editor opened");
            break;
        }
        editing.CloseCellEditor(false);
    }
    rowsCounter(state, page);
}

//! A save while the list is sorted by amount: the row moves to its sorted place.
void BM_PostSortedByAmount(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.SortByAmount();
    page.GoMiddle();
    double amount = 100;
    for (auto _ : state) {
        state.PauseTiming();
        page.Query().Edit();
        page.Amount().SetValue(Variant(amount += 7.25));
        state.ResumeTiming();
        page.Query().Post();
    }
    rowsCounter(state, page);
}

//! A save in a month view whose date leaves the month: the month's statement
//! runs again (here over the whole table, as year() and month() use no index).
void BM_PostLeavingTheMonth(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    TLedgerData::ReplaceAndReopen(
        page.Query(), QString::fromUtf8(IncomePageDescription().MonthStatement),
        {{QStringLiteral("b"), QStringLiteral("2016")}, {QStringLiteral("c"), "1"}});
    TDbField *date = page.Query().FieldByName(QString::fromUtf8("进帐时间"));
    for (auto _ : state) {
        state.PauseTiming();
        page.Query().Edit();
        date->SetAsString(QStringLiteral("2015-6-1"));
        state.ResumeTiming();
        page.Query().Post();
    }
    rowsCounter(state, page);
}

//! 显示 for one month, from the whole list: the month's rows replace all the others.
void BM_ShowMonthFromWholeList(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.SetMonth(QStringLiteral("2017"), QStringLiteral("5"));
    for (auto _ : state) {
        state.PauseTiming();
        page.ShowWholeList();
        state.ResumeTiming();
        page.ShowMonth();
    }
    rowsCounter(state, page);
    page.ShowWholeList();
}

//! The baseline: SQLite's own step over the month's rows through the date index.
void BM_ShowMonthFromWholeList_Baseline(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    sqlite3 *db = nullptr;
    sqlite3_open(page.File().c_str(), &db);
    sqlite3_stmt *select = nullptr;
    sqlite3_prepare_v2(
        db, "SELECT * FROM gain WHERE \"进帐时间\" >= '2017-05-01' AND \"进帐时间\" < '2017-06-01'", -1,
        &select, nullptr);
    int rows = 0;
    for (auto _ : state) {
        rows = 0;
        while (sqlite3_step(select) == SQLITE_ROW)
            ++rows;
        sqlite3_reset(select);
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    state.counters["rows"] = rows;
}

//! A save in a list grouped by item: the row stays in its group, whose total follows.
void BM_PostGroupedByItem(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    TkvDataControllerGroups &groups = *DataGroupsOf(*page.View().DBDataController());
    groups.PlaceInGrouping(ItemColumn, 0);
    groups.FullExpand();
    page.GoMiddle();
    double amount = 100;
    for (auto _ : state) {
        state.PauseTiming();
        page.Query().Edit();
        page.Amount().SetValue(Variant(amount += 0.25));
        state.ResumeTiming();
        page.Query().Post();
    }
    rowsCounter(state, page);
    groups.PlaceInGrouping(ItemColumn, -1);
}

//! The floor of a save: SQLite alone updates one row of the same file (one
//! it added untimed before: the page's rows stay those of the file).
void BM_SqliteUpdate(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    sqlite3 *db = nullptr;
    sqlite3_open(page.File().c_str(), &db);
    exec(db, "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (1, '2020-01-01', 'x')");
    const std::string id = std::to_string(sqlite3_last_insert_rowid(db));
    const std::string update = "UPDATE gain SET \"本次进帐\" = \"本次进帐\" + 0.25 WHERE id = " + id;
    for (auto _ : state)
        exec(db, update.c_str());
    exec(db, ("DELETE FROM gain WHERE id = " + id).c_str());
    sqlite3_close(db);
    rowsCounter(state, page);
}

//! The floor of a delete: SQLite alone deletes one row of the same file (one
//! it added untimed before, so the page's rows stay those of the file).
void BM_SqliteDelete(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    sqlite3 *db = nullptr;
    sqlite3_open(page.File().c_str(), &db);
    for (auto _ : state) {
        state.PauseTiming();
        exec(db, "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (1, '2020-01-01', 'x')");
        const std::string remove =
            "DELETE FROM gain WHERE id = " + std::to_string(sqlite3_last_insert_rowid(db));
        state.ResumeTiming();
        exec(db, remove.c_str());
    }
    sqlite3_close(db);
    rowsCounter(state, page);
}

//! The baseline: the statement run again and every row reloaded.
void BM_FullRequery(benchmark::State &state)
{
    OpenLedger &page = ledger(sizeOf(state));
    page.GoMiddle();
    for (auto _ : state)
        page.Query().Refresh();
    rowsCounter(state, page);
}

// Arg: rows kept from the file (0: all of it; OpenLedger::TenMillion: the
// larger ledger, only when asked for). Fixed iteration counts keep the
// deleted rows and the run time small on the large files.
void Sizes(benchmark::internal::Benchmark *bench)
{
    bench->Arg(1000)->Arg(0);
    if (const char *large = std::getenv("KESTRUM_BENCH_10M"); large && *large && *large != '0')
        bench->Arg(OpenLedger::TenMillion);
}

BENCHMARK(BM_Post)->Apply(Sizes)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteUpdate)->Apply(Sizes)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Delete)->Apply(Sizes)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteDelete)->Apply(Sizes)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cancel)->Apply(Sizes)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CancelNewEntry)->Apply(Sizes)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostNewEntry)->Apply(Sizes)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartNewEntry)->Apply(Sizes)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrowKeyStep)->Apply(Sizes)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageStep)->Apply(Sizes)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstLast)->Apply(Sizes)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndEscapeEditor)->Apply(Sizes)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostGroupedByItem)->Apply(Sizes)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRequery)->Apply(Sizes)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowMonthFromWholeList)->Apply(Sizes)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowMonthFromWholeList_Baseline)->Apply(Sizes)->Iterations(3)->Unit(benchmark::kMillisecond);
// Last: the sorting and then the month view stay on the page for what runs after them.
BENCHMARK(BM_PostSortedByAmount)->Apply(Sizes)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PostLeavingTheMonth)->Apply(Sizes)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return bench::RunPageBenchmarks(argc, argv, OpenLedgers);
}
