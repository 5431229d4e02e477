// Sorting, grouping and summing one generated ledger of a million rows, side
// by side: our data controller, QSortFilterProxyModel over QStandardItemModel
// (what a Qt program would use), and std::stable_sort over a plain array
// (the floor). Each step runs once per contender; a table of times and
// ratios follows the benchmark output. KESTRUM_BENCH_ROWS changes the size.
#include "data/DataController.h"
#include "data/DataControllerGroups.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "data/ValueTypesHeld.h"

#include <QCoreApplication>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include <time.h>

using namespace kestrum;

namespace {

struct LedgerRow {
    double amount;
    double date;
    std::string item;   // GB18030 bytes
    std::string remark; // GB18030 bytes
    bool kept;          // passes the filter of the "filter to half" step
};

const char *const ItemNames[] = {"工资", "奖金", "餐饮", "房租", "交通", "水电", "通讯",
                                 "服装", "医疗", "教育", "娱乐", "礼金", "利息", "保险",
                                 "日用", "旅游", "书报", "维修", "宠物", "其他"};

int rowCount()
{
    const char *text = std::getenv("KESTRUM_BENCH_ROWS");
    return text ? std::max(1, std::atoi(text)) : 1000000;
}

//! The same rows for every contender.
const std::vector<LedgerRow> &ledger()
{
    static const std::vector<LedgerRow> rows = [] {
        std::mt19937 random(2026);
        std::vector<LedgerRow> result(static_cast<std::size_t>(rowCount()));
        std::vector<std::string> items;
        for (const char *name : ItemNames)
            items.push_back(Variant::fromUtf8(name).rawNarrow());
        for (LedgerRow &row : result) {
            row.amount = double(random() % 1000000) / 100.0;
            row.date = 40000.0 + double(random() % 5000);
            row.item = items[random() % items.size()];
            row.remark = std::to_string(random() % 100000);
            row.remark.insert(row.remark.begin(), 'r');
            row.kept = random() % 2 == 0;
        }
        return result;
    }();
    return rows;
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd; // small blocks and mapped large ones
}

// Results, by step then contender: seconds, and bytes per row after loading.
std::map<std::string, std::map<std::string, double>> &results()
{
    static std::map<std::string, std::map<std::string, double>> table;
    return table;
}

void record(benchmark::State &state, const std::string &contender, const std::string &step, double seconds)
{
    state.SetIterationTime(seconds);
    results()[step][contender] = seconds;
}

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

//! KESTRUM_BENCH_CLOCK=cpu times by the thread's processor time, which other
//! processes on a busy machine do not inflate; the default is wall time.
template <typename F> double timed(F &&work)
{
    static const bool cpuClock = [] {
        const char *clock = std::getenv("KESTRUM_BENCH_CLOCK");
        return clock && std::string(clock) == "cpu";
    }();
    if (cpuClock) {
        const double start = threadSeconds();
        work();
        return threadSeconds() - start;
    }
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Our controller.

enum { Amount, Date, Item, Remark };

class BenchController : public TkvCustomDataController {
public:
    BenchController() { FHooks = CreateSortingGroupingSummaryHooks(*this); }
};

//! Keeps the records marked in the generated ledger (about half, at random).
class HalfFilter : public IkvFilterCriteria {
public:
    bool IsEmpty() const override { return false; }
    bool DoFilterRecord(int recordIndex) override { return ledger()[std::size_t(recordIndex)].kept; }
};

void runOurs(benchmark::State &state)
{
    for (auto _ : state) {
        const std::vector<LedgerRow> &rows = ledger();
        const std::size_t heapBefore = heapInUse();
        static int columns[4];
        HalfFilter half;
        auto controller = std::make_unique<BenchController>();
        controller->AttachItem(&columns[Amount])->SetValueTypeClass(TkvFloatValueType::Instance());
        controller->AttachItem(&columns[Date])->SetValueTypeClass(TkvDateTimeValueType::Instance());
        controller->AttachItem(&columns[Item])->SetValueTypeClass(TkvStringValueType::Instance());
        // A TEXT column, as the ledger's remark: the record set gives it as a
        // memo field, which the controller holds in a variant column.
        controller->AttachItem(&columns[Remark])->SetValueTypeClass(TkvVariantValueType::Instance());
        TkvDataStorage &storage = controller->Storage();
        auto *stringType = TkvStringValueType::Instance();
        (void)stringType;
        record(state, "ours", "load", timed([&] {
                   controller->BeginBatch();
                   const int count = int(rows.size());
                   controller->SetRecordCount(count);
                   const TkvValueDef *defs[4];
                   for (int i = 0; i < 4; ++i)
                       defs[i] = controller->GetItemField(i)->ValueDef();
                   for (int r = 0; r < count; ++r) {
                       const LedgerRow &row = rows[std::size_t(r)];
                       storage.SetValue(r, defs[Amount], Variant(row.amount));
                       storage.SetValue(r, defs[Date], Variant::fromDate(row.date));
                       storage.SetValue(r, defs[Item], Variant::fromNarrow(row.item));
                       storage.SetValue(r, defs[Remark], Variant::fromNarrow(row.remark));
                   }
                   controller->EndBatch();
               }));
        results()["bytes per row"]["ours"] = double(heapInUse() - heapBefore) / double(rows.size());

        TkvDataControllerSorting &sorting = *DataSortingOf(*controller);
        TkvDataControllerGroups &groups = *DataGroupsOf(*controller);
        TkvDataSummary &summary = *DataSummaryOf(*controller);
        record(state, "ours", "sort by amount", timed([&] { sorting.ApplySortOrder(Amount, soAscending); }));
        sorting.ResetSorting(false);
        record(state, "ours", "sort by item", timed([&] { sorting.ApplySortOrder(Item, soAscending); }));
        sorting.ResetSorting(false);
        record(state, "ours", "sort by remark", timed([&] { sorting.ApplySortOrder(Remark, soAscending); }));
        sorting.ResetSorting(false);
        TkvDataSummaryItem *groupSum = summary.DefaultGroupSummaryItems().Add();
        groupSum->SetLinkedItem(&columns[Amount]);
        groupSum->SetKind(skSum);
        record(state, "ours", "group by item with sums", timed([&] { groups.PlaceInGrouping(Item, 0); }));
        benchmark::DoNotOptimize(summary.GroupRowSummary(0));
        groups.PlaceInGrouping(Item, -1);
        record(state, "ours", "group by remark with sums", timed([&] { groups.PlaceInGrouping(Remark, 0); }));
        benchmark::DoNotOptimize(summary.GroupRowSummary(0));
        groups.PlaceInGrouping(Remark, -1);
        TkvDataSummaryItem *footer = summary.FooterSummaryItems().Add();
        footer->SetLinkedItem(&columns[Amount]);
        footer->SetKind(skSum);
        record(state, "ours", "footer sum", timed([&] { summary.Recalculate(); }));
        benchmark::DoNotOptimize(summary.FooterText(0));
        record(state, "ours", "filter to half", timed([&] { controller->SetFilter(&half); }));
        benchmark::DoNotOptimize(summary.FooterText(0));
        controller->SetFilter(nullptr);
    }
}

// QSortFilterProxyModel over QStandardItemModel.

void runQt(benchmark::State &state)
{
    for (auto _ : state) {
        const std::vector<LedgerRow> &rows = ledger();
        const std::size_t heapBefore = heapInUse();
        auto model = std::make_unique<QStandardItemModel>();
        record(state, "qt proxy", "load", timed([&] {
                   model->setColumnCount(4);
                   model->setRowCount(int(rows.size()));
                   for (int r = 0; r < int(rows.size()); ++r) {
                       const LedgerRow &row = rows[std::size_t(r)];
                       model->setItem(r, 0, new QStandardItem());
                       model->item(r, 0)->setData(row.amount, Qt::DisplayRole);
                       model->setItem(r, 1, new QStandardItem());
                       model->item(r, 1)->setData(row.date, Qt::DisplayRole);
                       model->setItem(r, 2, new QStandardItem(Variant::fromNarrow(row.item).toString()));
                       model->setItem(r, 3, new QStandardItem(Variant::fromNarrow(row.remark).toString()));
                   }
               }));
        results()["bytes per row"]["qt proxy"] = double(heapInUse() - heapBefore) / double(rows.size());
        QSortFilterProxyModel proxy;
        proxy.setSourceModel(model.get());
        record(state, "qt proxy", "sort by amount", timed([&] { proxy.sort(0); }));
        proxy.sort(-1);
        record(state, "qt proxy", "sort by item", timed([&] { proxy.sort(2); }));
        proxy.sort(-1);
        record(state, "qt proxy", "sort by remark", timed([&] { proxy.sort(3); }));
        proxy.sort(-1);
        // No grouping in Qt: sort by the item, then one pass that sums runs of equal items.
        record(state, "qt proxy", "group by item with sums", timed([&] {
                   proxy.sort(2);
                   QString current;
                   double sum = 0;
                   std::vector<std::pair<QString, double>> groupSums;
                   for (int r = 0; r < proxy.rowCount(); ++r) {
                       const QString item = proxy.index(r, 2).data().toString();
                       if (r == 0 || item != current) {
                           if (r > 0)
                               groupSums.emplace_back(current, sum);
                           current = item;
                           sum = 0;
                       }
                       sum += proxy.index(r, 0).data().toDouble();
                   }
                   groupSums.emplace_back(current, sum);
                   benchmark::DoNotOptimize(groupSums.data());
               }));
        record(state, "qt proxy", "footer sum", timed([&] {
                   double sum = 0;
                   for (int r = 0; r < proxy.rowCount(); ++r)
                       sum += proxy.index(r, 0).data().toDouble();
                   benchmark::DoNotOptimize(sum);
               }));
    }
}

// std::stable_sort over a plain array: the floor.

void runRaw(benchmark::State &state)
{
    for (auto _ : state) {
        const std::vector<LedgerRow> &source = ledger();
        const std::size_t heapBefore = heapInUse();
        std::vector<LedgerRow> rows;
        record(state, "raw array", "load", timed([&] {
                   rows.reserve(source.size());
                   for (const LedgerRow &row : source)
                       rows.push_back(row);
               }));
        results()["bytes per row"]["raw array"] = double(heapInUse() - heapBefore) / double(rows.size());
        std::vector<int> order(rows.size());
        std::iota(order.begin(), order.end(), 0);
        record(state, "raw array", "sort by amount", timed([&] {
                   std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
                       return rows[std::size_t(a)].amount < rows[std::size_t(b)].amount;
                   });
               }));
        std::iota(order.begin(), order.end(), 0);
        auto byItem = [&](int a, int b) { return rows[std::size_t(a)].item < rows[std::size_t(b)].item; };
        record(state, "raw array", "sort by item",
               timed([&] { std::stable_sort(order.begin(), order.end(), byItem); }));
        std::iota(order.begin(), order.end(), 0);
        auto byRemark = [&](int a, int b) {
            return rows[std::size_t(a)].remark < rows[std::size_t(b)].remark;
        };
        record(state, "raw array", "sort by remark",
               timed([&] { std::stable_sort(order.begin(), order.end(), byRemark); }));
        std::iota(order.begin(), order.end(), 0);
        record(state, "raw array", "group by remark with sums", timed([&] {
                   std::stable_sort(order.begin(), order.end(), byRemark);
                   std::vector<std::pair<std::size_t, double>> groupSums;
                   for (std::size_t p = 0; p < order.size(); ++p) {
                       const LedgerRow &row = rows[std::size_t(order[p])];
                       if (p == 0 || row.remark != rows[std::size_t(order[p - 1])].remark)
                           groupSums.emplace_back(p, 0.0);
                       groupSums.back().second += row.amount;
                   }
                   benchmark::DoNotOptimize(groupSums.data());
               }));
        std::iota(order.begin(), order.end(), 0);
        record(state, "raw array", "group by item with sums", timed([&] {
                   std::stable_sort(order.begin(), order.end(), byItem);
                   std::vector<std::pair<std::size_t, double>> groupSums;
                   for (std::size_t p = 0; p < order.size(); ++p) {
                       const LedgerRow &row = rows[std::size_t(order[p])];
                       if (p == 0 || row.item != rows[std::size_t(order[p - 1])].item)
                           groupSums.emplace_back(p, 0.0);
                       groupSums.back().second += row.amount;
                   }
                   benchmark::DoNotOptimize(groupSums.data());
               }));
        record(state, "raw array", "footer sum", timed([&] {
                   double sum = 0;
                   for (int index : order)
                       sum += rows[std::size_t(index)].amount;
                   benchmark::DoNotOptimize(sum);
               }));
        record(state, "raw array", "filter to half", timed([&] {
                   std::vector<int> kept;
                   kept.reserve(order.size());
                   double sum = 0;
                   for (int index = 0; index < int(rows.size()); ++index)
                       if (rows[std::size_t(index)].kept) {
                           kept.push_back(index);
                           sum += rows[std::size_t(index)].amount;
                       }
                   benchmark::DoNotOptimize(sum);
                   benchmark::DoNotOptimize(kept.data());
               }));
    }
}

void printTable()
{
    const char *steps[] = {"load",           "sort by amount",          "sort by item",
                           "sort by remark", "group by item with sums", "group by remark with sums",
                           "footer sum",     "filter to half"};
    const std::string title = std::to_string(rowCount()) + " rows";
    std::printf("\n%-26s %12s %12s %12s   %10s %10s\n", title.c_str(), "ours (ms)", "qt proxy", "raw array",
                "ours/raw", "qt/ours");
    for (const char *step : steps) {
        auto &row = results()[step];
        // A contender that did not run the step (or was filtered out) shows "-".
        auto format = [](const char *pattern, double value) {
            char text[32];
            std::snprintf(text, sizeof text, pattern, value);
            return std::string(text);
        };
        auto ms = [&](const char *who) { return row.count(who) ? format("%.1f", row[who] * 1e3) : "-"; };
        auto ratio = [&](const char *a, const char *b) {
            return row.count(a) && row.count(b) ? format("%.2f", row[a] / row[b]) : "-";
        };
        std::printf("%-26s %12s %12s %12s   %10s %10s\n", step, ms("ours").c_str(), ms("qt proxy").c_str(),
                    ms("raw array").c_str(), ratio("ours", "raw array").c_str(),
                    ratio("qt proxy", "ours").c_str());
    }
    if (results().count("sort by remark") && results().count("sort by item"))
        std::printf("%-26s %12.2f (sort), %.2f (group)\n", "ours remark/item",
                    results()["sort by remark"]["ours"] / results()["sort by item"]["ours"],
                    results()["group by remark with sums"]["ours"] /
                        results()["group by item with sums"]["ours"]);
    auto &bytes = results()["bytes per row"];
    std::printf("%-26s %12.0f %12.0f %12.0f   %10.2f %10.1f\n", "heap bytes per row", bytes["ours"],
                bytes["qt proxy"], bytes["raw array"], bytes["ours"] / bytes["raw array"],
                bytes["qt proxy"] / bytes["ours"]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    ledger(); // generated once, outside every measurement
    benchmark::RegisterBenchmark("Ledger/ours", runOurs)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Ledger/raw_array", runRaw)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Ledger/qt_proxy", runQt)
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printTable();
    return 0;
}
