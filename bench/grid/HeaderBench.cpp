// A header click that sorts by the item column and a drag of the item header
// into the group-by box, end to end through the grid (controller, rebuild,
// layout, one paint), each beside the data controller's own sort or grouping
// of the same column in the same run; and a press on a filter button, which
// opens the column's drop-down, beside a plain loop of the item values into a
// sorted set and SQLite's own distinct sorted items. A million ledger rows.
#include "data/DataControllerGroups.h"
#include "data/DataSorting.h"
#include "data/DataSummary.h"
#include "data/ValueTypes.h"
#include "filter/DataFilterCriteria.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridFilterDropDown.h"
#include "grid/GridTableView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <set>

#include <sqlite3.h>

using namespace kestrum;

namespace {

constexpr int RowCount = 1000000;
enum { Amount, Item, Remark };

const char *const ItemNames[] = {"工资", "奖金", "餐饮", "房租", "交通", "水电", "通讯",
                                 "服装", "医疗", "教育", "娱乐", "礼金", "利息", "保险",
                                 "日用", "旅游", "书报", "维修", "宠物", "其他"};

//! The income grid's shape: amount with footer and group sums, item, remark.
std::unique_ptr<TkvGridTableView> MakeLedgerView()
{
    auto view = MakeGridView<TkvGridTableView>();
    view->BeginLoading();
    TkvGridColumn *amount = view->CreateColumn("amount");
    amount->SetWidth(90);
    view->CreateColumn("item")->SetWidth(128);
    view->CreateColumn("remark")->SetWidth(500);
    view->OptionsView().SetFooter(true);
    view->SetBounds(QRect(0, 0, 1200, 700));
    TkvDataSummary &summary = *view->Summary();
    TkvDataSummaryItem *footer = summary.FooterSummaryItems().Add();
    footer->SetKind(skSum);
    SetSummaryItemColumn(*footer, amount);
    TkvDataSummaryItem *group = summary.DefaultGroupSummaryItems().Add();
    group->SetKind(skSum);
    SetSummaryItemColumn(*group, amount);
    view->EndLoading();
    TkvCustomDataController &controller = view->ControllerSource()->Controller();
    controller.ChangeValueTypeClass(Amount, TkvFloatValueType::Instance());
    controller.ChangeValueTypeClass(Item, TkvWideStringValueType::Instance());
    controller.ChangeValueTypeClass(Remark, TkvWideStringValueType::Instance());
    std::mt19937 random(2026);
    std::vector<Variant> items;
    for (const char *name : ItemNames)
        items.push_back(Variant(QString::fromUtf8(name)));
    controller.BeginBatch();
    controller.SetRecordCount(RowCount);
    for (int record = 0; record < RowCount; ++record) {
        controller.SetValue(record, Amount, Variant(double(random() % 1000000) / 100));
        controller.SetValue(record, Item, items[random() % items.size()]);
        controller.SetValue(record, Remark, Variant(QStringLiteral("备注 %1").arg(record)));
    }
    controller.EndBatch();
    view->Controller().SetFocusedRowIndex(3);
    return view;
}

void Paint(TkvGridTableView &view)
{
    static QImage image(1200, 700, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    view.Painter().Paint(painter);
}

QPoint HeaderPoint(const TkvGridTableView &view, int column)
{
    const QRect &bounds = view.ViewInfo().HeaderCells()[std::size_t(column)].Bounds;
    return QPoint(bounds.left() + 6, bounds.center().y());
}

void BM_ControllerSortByItem(benchmark::State &state)
{
    auto view = MakeLedgerView();
    TkvDataControllerSorting &sorting = *DataSortingOf(view->ControllerSource()->Controller());
    for (auto _ : state)
        sorting.ApplySortOrder(Item, soAscending);
}
BENCHMARK(BM_ControllerSortByItem)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_HeaderClickSortByItem(benchmark::State &state)
{
    auto view = MakeLedgerView();
    Paint(*view);
    TkvGridTableController &controller = view->Controller();
    for (auto _ : state) {
        const QPoint point = HeaderPoint(*view, Item);
        controller.MouseDown(TkvGridMouseButton::Left, point, {}, false);
        controller.MouseUp(TkvGridMouseButton::Left, point, {});
        Paint(*view);
    }
    if (view->Columns(Item)->SortOrder() != TkvGridSortMark::Ascending)
        state.SkipWithError("the click did not sort");
}
BENCHMARK(BM_HeaderClickSortByItem)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ControllerGroupByItem(benchmark::State &state)
{
    auto view = MakeLedgerView();
    TkvDataControllerGroups &groups = *DataGroupsOf(view->ControllerSource()->Controller());
    for (auto _ : state)
        groups.PlaceInGrouping(Item, 0);
}
BENCHMARK(BM_ControllerGroupByItem)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_HeaderDragItemIntoGroupByBox(benchmark::State &state)
{
    auto view = MakeLedgerView();
    Paint(*view);
    TkvGridTableController &controller = view->Controller();
    for (auto _ : state) {
        const QPoint from = HeaderPoint(*view, Item);
        const QPoint to = view->ViewInfo().GroupByBoxBounds().center();
        controller.MouseDown(TkvGridMouseButton::Left, from, {}, false);
        controller.MouseMove(to, {});
        controller.MouseUp(TkvGridMouseButton::Left, to, {});
        Paint(*view);
    }
    if (view->Columns(Item)->GroupIndex() != 0)
        state.SkipWithError("the drag did not group");
}
BENCHMARK(BM_HeaderDragItemIntoGroupByBox)->Iterations(1)->Unit(benchmark::kMillisecond);

QPoint FilterButtonPoint(const TkvGridTableView &view, int column)
{
    for (const TkvGridHeaderAreaViewInfo &area : view.ViewInfo().HeaderCells()[std::size_t(column)].Areas)
        if (area.Kind == TkvGridHeaderAreaKind::FilterButton)
            return area.Bounds.center();
    return {};
}

//! A press on the column's filter button: the distinct values, sorted, with
//! their texts, the entry of the column's filter and the popup's size.
void OpenFilterDropDown(benchmark::State &state, int column)
{
    auto view = MakeLedgerView();
    Paint(*view);
    TkvGridTableController &controller = view->Controller();
    int entries = 0;
    for (auto _ : state) {
        controller.MouseDown(TkvGridMouseButton::Left, FilterButtonPoint(*view, column), {}, false);
        entries = controller.FilterDropDown()->Count();
        state.PauseTiming();
        controller.FilterDropDown()->Close();
        state.ResumeTiming();
    }
    state.counters["entries"] = entries;
}

void BM_FilterDropDownOpenItem(benchmark::State &state)
{
    OpenFilterDropDown(state, Item);
}
BENCHMARK(BM_FilterDropDownOpenItem)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_FilterDropDownOpenAmount(benchmark::State &state)
{
    OpenFilterDropDown(state, Amount);
}
BENCHMARK(BM_FilterDropDownOpenAmount)->Iterations(1)->Unit(benchmark::kMillisecond);

//! Every remark differs: the list holds as many values as there are rows.
void BM_FilterDropDownOpenRemark(benchmark::State &state)
{
    OpenFilterDropDown(state, Remark);
}
BENCHMARK(BM_FilterDropDownOpenRemark)->Iterations(1)->Unit(benchmark::kMillisecond);

//! Baseline: the remark texts read from the controller and sorted, duplicates dropped.
void BM_FilterDropDownOpenRemark_Baseline(benchmark::State &state)
{
    auto view = MakeLedgerView();
    const TkvCustomDataController &controller = view->ControllerSource()->Controller();
    std::size_t count = 0;
    for (auto _ : state) {
        std::vector<QString> values;
        values.reserve(std::size_t(controller.RecordCount()));
        for (int record = 0; record < controller.RecordCount(); ++record)
            values.push_back(controller.GetDisplayText(record, Remark));
        std::sort(values.begin(), values.end());
        count = std::size_t(std::unique(values.begin(), values.end()) - values.begin());
    }
    state.counters["entries"] = double(count);
}
BENCHMARK(BM_FilterDropDownOpenRemark_Baseline)->Iterations(1)->Unit(benchmark::kMillisecond);

//! Baseline: the item values read from the controller straight into a sorted set.
void BM_FilterDropDownOpenItem_Baseline(benchmark::State &state)
{
    auto view = MakeLedgerView();
    const TkvCustomDataController &controller = view->ControllerSource()->Controller();
    std::size_t count = 0;
    for (auto _ : state) {
        std::set<QString> values;
        for (int record = 0; record < controller.RecordCount(); ++record)
            values.insert(controller.GetDisplayText(record, Item));
        count = values.size();
    }
    state.counters["entries"] = double(count);
}
BENCHMARK(BM_FilterDropDownOpenItem_Baseline)->Iterations(3)->Unit(benchmark::kMillisecond);

//! Baseline: SQLite's own distinct sorted items over the same million rows in memory.
void BM_BaselineSqliteSelectDistinct(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "CREATE TABLE gain(id INTEGER PRIMARY KEY, amount REAL, item TEXT)", nullptr, nullptr,
                 nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO gain(amount, item) VALUES(?, ?)", -1, &insert, nullptr);
    std::mt19937 random(2026);
    for (int record = 0; record < RowCount; ++record) {
        sqlite3_bind_double(insert, 1, double(random() % 1000000) / 100);
        sqlite3_bind_text(insert, 2, ItemNames[random() % std::size(ItemNames)], -1, SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    int count = 0;
    for (auto _ : state) {
        sqlite3_stmt *select = nullptr;
        sqlite3_prepare_v2(db, "SELECT DISTINCT item FROM gain ORDER BY item", -1, &select, nullptr);
        count = 0;
        while (sqlite3_step(select) == SQLITE_ROW)
            ++count;
        sqlite3_finalize(select);
    }
    sqlite3_close(db);
    state.counters["entries"] = count;
}
BENCHMARK(BM_BaselineSqliteSelectDistinct)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
