// The income page's list of a generated ledger, loaded into a record-set data
// controller as the page loads it: the filter drop-down's value list of the
// amount and the item columns, a value picked in the drop-down, a custom
// filter of two conditions, a sort by the item and by the amount, and the
// month view (the page's month statement reopened); grouping by the item with
// the amount's sums (of the list in record order and of one sorted by the
// amount), ungrouping, a sort by the amount within the item groups
// and a filter cleared while sorted. Each beside the plainest
// way to do the same work on the same values in the same run.
#include "core/RegionalSettings.h"
#include "data/DataControllerGroups.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "data/DbDataController.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbQuery.h"
#include "filter/DataFilterCriteria.h"
#include "filter/FilterValueList.h"
#include "ledger/DatePeriods.h"

#include "BenchLedger.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

using namespace kestrum;

namespace {

enum { Amount, Date, Item, Remark, ColumnCount };
const char *const FieldNames[ColumnCount] = {"本次进帐", "进帐时间", "进帐人", "备注"};

//! One size's ledger, open, loaded into the controller with its criteria.
struct Page {
    QString Path;
    TDbConnection Connection;
    TDbQuery Query;
    TDbDataSource Source;
    int Columns[ColumnCount] = {};
    TkvGridDBDataController Controller;
    TkvDataFilterCriteria *Filter = nullptr;
    // The same values, plain, for the baselines.
    std::vector<double> Amounts;
    std::vector<double> Dates;
    std::vector<std::string> Items;
    std::vector<std::string> Remarks;

    explicit Page(std::int64_t entries)
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        Path = bench::CachedBenchLedger(entries / 2, entries - entries / 2);
        Connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Path);
        Query.SetConnection(&Connection);
        Query.AddSQL("select * from gain");
        Query.Open();
        Source.SetDataSet(&Query);
        for (int i = 0; i < ColumnCount; ++i) {
            Controller.AttachItem(&Columns[i]);
            Controller.ChangeFieldName(i, QString::fromUtf8(FieldNames[i]));
        }
        auto criteria = std::make_unique<TkvDBDataFilterCriteria>(Controller);
        Filter = criteria.get();
        Controller.AdoptFilter(std::move(criteria));
        Controller.SetDataSource(&Source);
        const int count = Controller.RecordCount();
        Amounts.reserve(std::size_t(count));
        Dates.reserve(std::size_t(count));
        Items.reserve(std::size_t(count));
        for (int r = 0; r < count; ++r) {
            Amounts.push_back(Controller.GetValue(r, Amount).toDouble());
            Dates.push_back(Controller.GetValue(r, Date).toDate());
            Items.push_back(Controller.GetValue(r, Item).toNarrow());
            const Variant remark = Controller.GetValue(r, Remark);
            Remarks.push_back(remark.isNull() ? std::string() : remark.toNarrow());
        }
    }
};

Page &PageOf(benchmark::State &state)
{
    static std::map<std::int64_t, std::unique_ptr<Page>> pages;
    auto &page = pages[state.range(0)];
    if (!page)
        page = std::make_unique<Page>(state.range(0));
    return *page;
}

// The drop-down's value list.

//! Loads the list in display-text order (a column with a plain text editor)
//! or in value order (a column whose editor edits the field's text).
void LoadValueList(benchmark::State &state, int column, bool byDisplayText = true)
{
    Page &page = PageOf(state);
    auto list = page.Filter->CreateValueList();
    for (auto _ : state) {
        list->Load(column, byDisplayText);
        benchmark::DoNotOptimize(list->Count());
    }
    state.counters["entries"] = list->Count();
}

void BM_ValueListAmount(benchmark::State &state)
{
    LoadValueList(state, Amount);
}

//! The distinct amounts, sorted.
void BM_ValueListAmount_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::size_t count = 0;
    for (auto _ : state) {
        std::unordered_set<double> seen(page.Amounts.begin(), page.Amounts.end());
        std::vector<double> values(seen.begin(), seen.end());
        std::sort(values.begin(), values.end());
        count = values.size();
    }
    state.counters["entries"] = double(count);
}

void BM_ValueListAmountByValue(benchmark::State &state)
{
    LoadValueList(state, Amount, false);
}

void BM_ValueListAmountByValue_Baseline(benchmark::State &state)
{
    BM_ValueListAmount_Baseline(state);
}

void BM_ValueListItem(benchmark::State &state)
{
    LoadValueList(state, Item);
}

//! The distinct items, sorted.
void BM_ValueListItem_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::size_t count = 0;
    for (auto _ : state) {
        std::unordered_set<std::string_view> seen;
        for (const std::string &item : page.Items)
            seen.insert(item);
        std::vector<std::string_view> values(seen.begin(), seen.end());
        std::sort(values.begin(), values.end());
        count = values.size();
    }
    state.counters["entries"] = double(count);
}

//! The remarks nearly all differ: the list is as long as the page.
void BM_ValueListRemark(benchmark::State &state)
{
    LoadValueList(state, Remark);
}

//! The distinct remarks, sorted by their bytes.
void BM_ValueListRemark_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::size_t count = 0;
    for (auto _ : state) {
        std::vector<std::string_view> values(page.Remarks.begin(), page.Remarks.end());
        std::sort(values.begin(), values.end());
        count = std::size_t(std::unique(values.begin(), values.end()) - values.begin());
    }
    state.counters["entries"] = double(count);
}

// Filtering.

//! Filters the loaded records again after each criteria change.
template <typename Build> void Refilter(benchmark::State &state, Build build)
{
    Page &page = PageOf(state);
    TkvDataFilterCriteria &filter = *page.Filter;
    int round = 0;
    for (auto _ : state) {
        filter.BeginBatch();
        filter.ClearTree();
        build(page, filter, round++);
        filter.SetActive(true);
        filter.EndBatch();
        benchmark::DoNotOptimize(page.Controller.RowCount());
    }
    state.counters["rows"] = double(page.Controller.RowCount());
    filter.BeginBatch();
    filter.ClearTree();
    filter.SetActive(false);
    filter.EndBatch();
}

//! One amount picked in the drop-down (two in turn, so each round changes).
void BM_FilterPickedAmount(benchmark::State &state)
{
    Refilter(state, [](Page &page, TkvDataFilterCriteria &filter, int round) {
        filter.AppendCondition(nullptr, &page.Columns[Amount], ocEqual,
                               Variant(page.Amounts[std::size_t(round % 2) * page.Amounts.size() / 2]), "");
    });
}

void BM_FilterPickedAmount_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<int> kept;
    int round = 0;
    for (auto _ : state) {
        const double picked = page.Amounts[std::size_t(round++ % 2) * page.Amounts.size() / 2];
        kept.clear();
        for (std::size_t i = 0; i < page.Amounts.size(); ++i)
            if (page.Amounts[i] == picked)
                kept.push_back(int(i));
        benchmark::DoNotOptimize(kept.data());
    }
    state.counters["rows"] = double(kept.size());
}

//! One item picked in the drop-down.
void BM_FilterPickedItem(benchmark::State &state)
{
    Refilter(state, [](Page &page, TkvDataFilterCriteria &filter, int round) {
        filter.AppendCondition(nullptr, &page.Columns[Item], ocEqual,
                               Variant::fromNarrow(page.Items[std::size_t(round % 2)]), "");
    });
}

void BM_FilterPickedItem_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<int> kept;
    int round = 0;
    for (auto _ : state) {
        const std::string &picked = page.Items[std::size_t(round++ % 2)];
        kept.clear();
        for (std::size_t i = 0; i < page.Items.size(); ++i)
            if (page.Items[i] == picked)
                kept.push_back(int(i));
        benchmark::DoNotOptimize(kept.data());
    }
    state.counters["rows"] = double(kept.size());
}

//! The custom filter dialog's two conditions: an amount range and an item.
void BM_FilterCustom(benchmark::State &state)
{
    Refilter(state, [](Page &page, TkvDataFilterCriteria &filter, int round) {
        filter.AppendCondition(nullptr, &page.Columns[Amount], ocBetween,
                               Variant::fromArray({100.0, round % 2 ? 5000.0 : 5000.001}), "");
        filter.AppendCondition(nullptr, &page.Columns[Item], ocNotEqual, Variant::fromNarrow(page.Items[0]),
                               "");
    });
}

void BM_FilterCustom_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<int> kept;
    for (auto _ : state) {
        kept.clear();
        for (std::size_t i = 0; i < page.Amounts.size(); ++i)
            if (page.Amounts[i] >= 100.0 && page.Amounts[i] <= 5000.0 && page.Items[i] != page.Items[0])
                kept.push_back(int(i));
        benchmark::DoNotOptimize(kept.data());
    }
    state.counters["rows"] = double(kept.size());
}

// Sorting.

//! Sorts by the column, ascending and descending in turn.
void SortBy(benchmark::State &state, int column)
{
    Page &page = PageOf(state);
    TkvDataControllerSorting &sorting = *DataSortingOf(page.Controller);
    int round = 0;
    for (auto _ : state)
        sorting.ApplySortOrder(column, round++ % 2 ? soDescending : soAscending);
    sorting.ResetSorting(false);
}

void BM_SortByItem(benchmark::State &state)
{
    SortBy(state, Item);
}

//! The record numbers ordered by the item bytes, then by record.
void BM_SortByItem_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<int> order(page.Items.size());
    for (auto _ : state) {
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const int c = page.Items[std::size_t(a)].compare(page.Items[std::size_t(b)]);
            return c < 0 || (c == 0 && a < b);
        });
        benchmark::DoNotOptimize(order.data());
    }
}

void BM_SortByAmount(benchmark::State &state)
{
    SortBy(state, Amount);
}

void BM_SortByAmount_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<std::pair<double, int>> order(page.Amounts.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = {page.Amounts[i], int(i)};
        std::sort(order.begin(), order.end());
        benchmark::DoNotOptimize(order.data());
    }
}

// Grouping with sums, a sort within groups and a filter cleared.

//! The page's group sum of the amount, added once.
TkvDataSummary &GroupSumsOf(Page &page)
{
    TkvDataSummary &summary = *DataSummaryOf(page.Controller);
    if (summary.DefaultGroupSummaryItems().Count() == 0) {
        TkvDataSummaryItem *sum = summary.DefaultGroupSummaryItems().Add();
        sum->SetLinkedItem(&page.Columns[Amount]);
        sum->SetKind(skSum);
    }
    return summary;
}

//! The record numbers ordered by item, runs of equal items summed: the plain
//! way to what grouping with sums shows.
std::vector<double> ItemGroupSums(const Page &page, std::vector<int> &order)
{
    order.resize(page.Items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return page.Items[std::size_t(a)] < page.Items[std::size_t(b)]; });
    std::vector<double> sums;
    for (std::size_t p = 0; p < order.size(); ++p) {
        if (p == 0 || page.Items[std::size_t(order[p])] != page.Items[std::size_t(order[p - 1])])
            sums.push_back(0);
        sums.back() += page.Amounts[std::size_t(order[p])];
    }
    return sums;
}

//! Groups by the item with the amount's sum in every group row, and (not
//! timed) ungroups again, once per iteration.
void GroupByItemWithSums(benchmark::State &state, Page &page)
{
    TkvDataSummary &summary = GroupSumsOf(page);
    TkvDataControllerGroups &groups = *DataGroupsOf(page.Controller);
    for (auto _ : state) {
        groups.PlaceInGrouping(Item, 0);
        benchmark::DoNotOptimize(summary.GroupRowSummary(0));
        state.PauseTiming();
        groups.PlaceInGrouping(Item, -1);
        state.ResumeTiming();
    }
}

//! Grouping by the item with the amount's sum in every group row.
void BM_GroupByItemWithSums(benchmark::State &state)
{
    GroupByItemWithSums(state, PageOf(state));
}

void BM_GroupByItemWithSums_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<int> order;
    for (auto _ : state)
        benchmark::DoNotOptimize(ItemGroupSums(page, order).data());
}

//! The list sorted by the amount, then grouped by the item with the amount's
//! sum in every group row: the groups keep the amount order inside them.
void BM_GroupByItemSortedByAmount(benchmark::State &state)
{
    Page &page = PageOf(state);
    TkvDataControllerSorting &sorting = *DataSortingOf(page.Controller);
    sorting.ApplySortOrder(Amount, soAscending);
    GroupByItemWithSums(state, page);
    sorting.ResetSorting(false);
}

//! The record numbers in amount order (known before the timing) put in item
//! order by std::stable_sort over the items gathered into an array, runs of
//! equal items summed.
void BM_GroupByItemSortedByAmount_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<int> byAmount(page.Items.size());
    std::iota(byAmount.begin(), byAmount.end(), 0);
    std::stable_sort(byAmount.begin(), byAmount.end(), [&](int a, int b) {
        return page.Amounts[std::size_t(a)] < page.Amounts[std::size_t(b)];
    });
    std::vector<std::pair<std::string_view, int>> keyed(byAmount.size());
    for (auto _ : state) {
        for (std::size_t p = 0; p < byAmount.size(); ++p)
            keyed[p] = {page.Items[std::size_t(byAmount[p])], byAmount[p]};
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        std::vector<double> sums;
        for (std::size_t p = 0; p < keyed.size(); ++p) {
            if (p == 0 || keyed[p].first != keyed[p - 1].first)
                sums.push_back(0);
            sums.back() += page.Amounts[std::size_t(keyed[p].second)];
        }
        benchmark::DoNotOptimize(sums.data());
    }
}

//! The grouping by item removed again.
void BM_Ungroup(benchmark::State &state)
{
    Page &page = PageOf(state);
    GroupSumsOf(page);
    TkvDataControllerGroups &groups = *DataGroupsOf(page.Controller);
    for (auto _ : state) {
        state.PauseTiming();
        groups.PlaceInGrouping(Item, 0);
        state.ResumeTiming();
        groups.PlaceInGrouping(Item, -1);
        benchmark::DoNotOptimize(page.Controller.RowCount());
    }
}

//! Ungrouping gives back the rows in record order.
void BM_Ungroup_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<int> order(page.Items.size());
    for (auto _ : state) {
        std::iota(order.begin(), order.end(), 0);
        benchmark::DoNotOptimize(order.data());
    }
}

//! Grouped by item, sorted by the amount within the groups, up and down in turn.
void BM_SortGroupedByAmount(benchmark::State &state)
{
    Page &page = PageOf(state);
    GroupSumsOf(page);
    TkvDataControllerGroups &groups = *DataGroupsOf(page.Controller);
    TkvDataControllerSorting &sorting = *DataSortingOf(page.Controller);
    groups.PlaceInGrouping(Item, 0);
    int round = 0;
    for (auto _ : state)
        sorting.ApplySortOrder(Amount, round++ % 2 ? soDescending : soAscending);
    sorting.ApplySortOrder(Amount, soNone);
    groups.PlaceInGrouping(Item, -1);
    sorting.ResetSorting(false);
}

//! The record numbers ordered by item, then by amount.
void BM_SortGroupedByAmount_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<int> order(page.Items.size());
    for (auto _ : state) {
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const int c = page.Items[std::size_t(a)].compare(page.Items[std::size_t(b)]);
            if (c != 0)
                return c < 0;
            const double x = page.Amounts[std::size_t(a)], y = page.Amounts[std::size_t(b)];
            return x < y || (x == y && a < b);
        });
        benchmark::DoNotOptimize(order.data());
    }
}

//! A picked item's filter cleared while the list is sorted by the item: every
//! row comes back, in the sort order.
void BM_ClearFilter(benchmark::State &state)
{
    Page &page = PageOf(state);
    TkvDataFilterCriteria &filter = *page.Filter;
    TkvDataControllerSorting &sorting = *DataSortingOf(page.Controller);
    sorting.ApplySortOrder(Item, soAscending);
    for (auto _ : state) {
        state.PauseTiming();
        filter.BeginBatch();
        filter.AppendCondition(nullptr, &page.Columns[Item], ocEqual, Variant::fromNarrow(page.Items[0]), "");
        filter.SetActive(true);
        filter.EndBatch();
        state.ResumeTiming();
        filter.BeginBatch();
        filter.ClearTree();
        filter.SetActive(false);
        filter.EndBatch();
        benchmark::DoNotOptimize(page.Controller.RowCount());
    }
    state.counters["rows"] = double(page.Controller.RowCount());
    sorting.ResetSorting(false);
}

//! Every record kept again, taken in an order already known.
void BM_ClearFilter_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    std::vector<int> sorted(page.Items.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    std::vector<int> rows;
    for (auto _ : state) {
        rows.clear();
        for (int record : sorted)
            rows.push_back(record);
        benchmark::DoNotOptimize(rows.data());
    }
}

// The month view: the page's month statement, bound as the page binds the
// year and month texts and run in the form the page runs, the controller
// reloaded.

void BM_MonthView(benchmark::State &state)
{
    Page &page = PageOf(state);
    const QString statement =
        QString::fromUtf8("select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c ");
    // Each round goes from one month to another; the list of every row the
    // page starts with is let go before the first, outside the timing.
    const auto show = [&](int round) {
        const TPeriodParameters parameters = {{"b", QString::number(2018 + round % 2)},
                                              {"c", QString::number(3 + round % 2)}};
        page.Query.Close();
        page.Query.ClearSQL();
        page.Query.AddSQL(MonthListStatement(statement, parameters));
        for (const auto &[name, text] : parameters)
            page.Query.ParamByName(name)->SetValue(Variant(text));
        page.Query.Open();
    };
    int round = 0;
    show(round++);
    for (auto _ : state) {
        show(round++);
        benchmark::DoNotOptimize(page.Controller.RowCount());
    }
    state.counters["rows"] = double(page.Controller.RowCount());
    page.Query.Close();
    page.Query.ClearSQL();
    page.Query.AddSQL("select * from gain");
    page.Query.Open();
}

//! SQLite's own step over the month's rows, by the date index.
void BM_MonthView_Baseline(benchmark::State &state)
{
    Page &page = PageOf(state);
    sqlite3 *db = nullptr;
    sqlite3_open_v2(page.Path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *select = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM gain WHERE 进帐时间 >= ?1 AND 进帐时间 < ?2", -1, &select, nullptr);
    int rows = 0, round = 0;
    for (auto _ : state) {
        const bool odd = round++ % 2;
        sqlite3_bind_text(select, 1, odd ? "2019-04-01" : "2018-03-01", -1, SQLITE_STATIC);
        sqlite3_bind_text(select, 2, odd ? "2019-05-01" : "2018-04-01", -1, SQLITE_STATIC);
        rows = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(select); ++c)
                benchmark::DoNotOptimize(sqlite3_column_value(select, c));
            ++rows;
        }
        sqlite3_reset(select);
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    state.counters["rows"] = rows;
}

} // namespace

#define KESTRUM_PAIR(name)                                                                                   \
    BENCHMARK(name)->Apply(bench::StandardSizes)->Unit(benchmark::kMillisecond)->MinTime(0.3);               \
    BENCHMARK(name##_Baseline)->Apply(bench::StandardSizes)->Unit(benchmark::kMillisecond)->MinTime(0.3)

KESTRUM_PAIR(BM_ValueListAmount);
KESTRUM_PAIR(BM_ValueListAmountByValue);
KESTRUM_PAIR(BM_ValueListItem);
KESTRUM_PAIR(BM_ValueListRemark);
KESTRUM_PAIR(BM_FilterPickedAmount);
KESTRUM_PAIR(BM_FilterPickedItem);
KESTRUM_PAIR(BM_FilterCustom);
KESTRUM_PAIR(BM_SortByItem);
KESTRUM_PAIR(BM_SortByAmount);
KESTRUM_PAIR(BM_MonthView);
KESTRUM_PAIR(BM_GroupByItemWithSums);
KESTRUM_PAIR(BM_GroupByItemSortedByAmount);
KESTRUM_PAIR(BM_Ungroup);
KESTRUM_PAIR(BM_SortGroupedByAmount);
KESTRUM_PAIR(BM_ClearFilter);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
