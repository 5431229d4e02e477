// One record saved, added, deleted or a new one cancelled, on a list as the
// income page holds it (half the entries of a ledger size), in record order,
// sorted by the item and grouped by the item with the amount's sums and the
// footer total: the sorted and the grouped figure beside the record-order one
// of the same size in the same run, each size beside the smallest.
// Args: entries, then the arrangement (0 record order, 1 sorted, 2 grouped).
#include "data/DataController.h"
#include "data/DataControllerGroups.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "data/ValueTypesHeld.h"

#include "BenchLedger.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace kestrum;

namespace {

enum { Amount, Date, Item, Remark, ColumnCount };
enum Arrangement { RecordOrder, SortedByItem, GroupedByItem };

const char *const ItemNames[] = {"工资", "奖金", "餐饮", "房租", "交通", "水电", "通讯",
                                 "服装", "医疗", "教育", "娱乐", "礼金", "利息", "保险",
                                 "日用", "旅游", "书报", "维修", "宠物", "其他"};

class ListController : public TkvCustomDataController {
public:
    ListController() { FHooks = CreateSortingGroupingSummaryHooks(*this); }
};

struct List {
    int Columns[ColumnCount] = {};
    ListController Controller;
    std::vector<Variant> Items;
    Arrangement Arranged = RecordOrder;

    explicit List(int rows)
    {
        Controller.AttachItem(&Columns[Amount])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Columns[Date])->SetValueTypeClass(TkvDateTimeValueType::Instance());
        Controller.AttachItem(&Columns[Item])->SetValueTypeClass(TkvStringValueType::Instance());
        Controller.AttachItem(&Columns[Remark])->SetValueTypeClass(TkvVariantValueType::Instance());
        for (const char *name : ItemNames)
            Items.push_back(Variant::fromUtf8(name));
        TkvDataSummary &summary = *DataSummaryOf(Controller);
        for (TkvDataSummaryItems *items : std::initializer_list<TkvDataSummaryItems *>{
                 &summary.DefaultGroupSummaryItems(), &summary.FooterSummaryItems()}) {
            TkvDataSummaryItem *sum = items->Add();
            sum->SetLinkedItem(&Columns[Amount]);
            sum->SetKind(skSum);
        }
        std::mt19937 random(2026);
        TkvDataStorage &storage = Controller.Storage();
        const TkvValueDef *defs[ColumnCount];
        Controller.BeginBatch();
        Controller.SetRecordCount(rows);
        for (int i = 0; i < ColumnCount; ++i)
            defs[i] = Controller.GetItemField(i)->ValueDef();
        for (int r = 0; r < rows; ++r) {
            storage.SetValue(r, defs[Amount], Variant(double(random() % 1000000) / 100.0));
            storage.SetValue(r, defs[Date], Variant::fromDate(40000.0 + double(random() % 5000)));
            storage.SetValue(r, defs[Item], Items[random() % Items.size()]);
            storage.SetValue(r, defs[Remark], Variant::fromNarrow("r" + std::to_string(random() % 100000)));
        }
        Controller.EndBatch();
    }

    void Arrange(Arrangement arrangement)
    {
        if (arrangement == Arranged)
            return;
        DataGroupsOf(Controller)->PlaceInGrouping(Item, arrangement == GroupedByItem ? 0 : -1);
        DataSortingOf(Controller)->ApplySortOrder(Item, arrangement == SortedByItem ? soAscending : soNone);
        if (arrangement == GroupedByItem)
            DataGroupsOf(Controller)->FullExpand();
        Arranged = arrangement;
    }

    //! Focuses a record in the middle of the list, as the user's row.
    int FocusMiddle()
    {
        Controller.ChangeFocusedRowIndex(Controller.RowCount() / 2);
        return Controller.FocusedRecordIndex();
    }
};

List &ListOf(benchmark::State &state)
{
    static std::map<std::int64_t, std::unique_ptr<List>> lists;
    auto &list = lists[state.range(0)];
    if (!list)
        list = std::make_unique<List>(int(state.range(0) / 2));
    list->Arrange(Arrangement(state.range(1)));
    return *list;
}

void Counters(benchmark::State &state, List &list)
{
    state.counters["rows"] = list.Controller.RecordCount();
    benchmark::DoNotOptimize(DataSummaryOf(list.Controller)->FooterValues(0));
}

//! The focused entry saved with another item: it leaves its group (its place
//! in the sorted list) for another, and its amount changes.
void BM_SaveMovingRow(benchmark::State &state)
{
    List &list = ListOf(state);
    const int record = list.FocusMiddle();
    int round = 0;
    for (auto _ : state) {
        ++round;
        list.Controller.BeginBatch();
        list.Controller.SetValue(record, Item, list.Items[std::size_t(round % 7)]);
        list.Controller.SetValue(record, Amount, Variant(100.0 + round));
        list.Controller.EndBatch();
    }
    Counters(state, list);
}

//! A new entry saved: a record inserted at the focused one's index (the record
//! set's place for it), its values set.
void BM_SaveNewRow(benchmark::State &state)
{
    List &list = ListOf(state);
    int round = 0;
    for (auto _ : state) {
        const int at = list.Controller.FocusedRecordIndex();
        list.Controller.BeginBatch();
        const int record = list.Controller.InsertRecord(at < 0 ? 0 : at);
        list.Controller.SetValue(record, Amount, Variant(50.0 + ++round));
        list.Controller.SetValue(record, Date, Variant::fromDate(44000.0));
        list.Controller.SetValue(record, Item, list.Items[std::size_t(round % 20)]);
        list.Controller.EndBatch();
    }
    // The list goes back to its size for the next benchmark (after the timing).
    list.Controller.BeginBatch();
    list.Controller.SetRecordCount(int(state.range(0) / 2));
    list.Controller.EndBatch();
    Counters(state, list);
}

//! The focused entry deleted (one added untimed first, so the list keeps its size).
void BM_DeleteRow(benchmark::State &state)
{
    List &list = ListOf(state);
    list.FocusMiddle();
    for (auto _ : state) {
        state.PauseTiming();
        list.Controller.BeginBatch();
        const int record = list.Controller.InsertRecord(list.Controller.RecordCount() / 2);
        list.Controller.SetValue(record, Amount, Variant(12.5));
        list.Controller.SetValue(record, Item, list.Items[3]);
        list.Controller.EndBatch();
        state.ResumeTiming();
        list.Controller.DeleteRecord(record);
    }
    Counters(state, list);
}

//! A new entry cancelled: the record appended for it goes again.
void BM_CancelNewRow(benchmark::State &state)
{
    List &list = ListOf(state);
    list.FocusMiddle();
    for (auto _ : state) {
        state.PauseTiming();
        const int record = list.Controller.AppendRecord();
        state.ResumeTiming();
        list.Controller.DeleteRecord(record);
    }
    Counters(state, list);
}

void Arrangements(benchmark::internal::Benchmark *benchmark)
{
    for (const std::int64_t size : bench::BenchSizes())
        for (int arrangement : {RecordOrder, SortedByItem, GroupedByItem})
            benchmark->Args({size, arrangement});
}

} // namespace

BENCHMARK(BM_SaveMovingRow)->Apply(Arrangements)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_SaveNewRow)->Apply(Arrangements)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_DeleteRow)->Apply(Arrangements)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_CancelNewRow)->Apply(Arrangements)->Unit(benchmark::kMillisecond)->Iterations(30);

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
