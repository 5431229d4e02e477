// A header click that sorts by the item column and a drag of the item header
// into the group-by box, end to end through the grid (controller, rebuild,
// layout, one paint), each beside the data controller's own sort or grouping
// of the same column in the same run. A million ledger rows, one run each.
#include "data/DataControllerGroups.h"
#include "data/DataSorting.h"
#include "data/DataSummary.h"
#include "data/ValueTypes.h"
#include "filter/DataFilterCriteria.h"
#include "grid/TkvGridDataControllerSource.h"
#include "grid/TkvGridTableView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <random>

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

void BM_ValueListLoadItem(benchmark::State &state)
{
    auto view = MakeLedgerView();
    auto list = view->Filter()->CreateValueList();
    for (auto _ : state)
        list->Load(Item);
    state.counters["entries"] = list->Count();
}
BENCHMARK(BM_ValueListLoadItem)->Iterations(1)->Unit(benchmark::kMillisecond);

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
