// Reading the grid as a screen reader does, through its accessible
// interface, over the real data controller: one cell anywhere in the table
// (its text, rectangle and state), and the focused cell after a move. None
// may grow with the row count: a cell is a look-up of one row.
#include "data/ValueTypes.h"
#include "grid/Grid.h"
#include "grid/GridAccessible.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridSite.h"

#include <QAccessible>
#include <QApplication>
#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

struct AccessibleGrid {
    std::unique_ptr<TkvGrid> Grid = std::make_unique<TkvGrid>();
    TkvGridTableView *View = nullptr;
};

AccessibleGrid MakeGrid(int rowCount)
{
    AccessibleGrid made;
    TkvGridTableView *view = made.Grid->CreateView<TkvGridTableView>();
    view->BeginLoading();
    view->CreateColumn("amount")->SetWidth(90);
    view->CreateColumn("item")->SetWidth(128);
    view->CreateColumn("remark")->SetWidth(500);
    view->OptionsView().SetFooter(true);
    view->EndLoading();
    made.Grid->RootLevel().Add()->SetGridView(view);
    made.Grid->resize(1200, 700);
    TkvCustomDataController &controller = view->ControllerSource()->Controller();
    controller.ChangeValueTypeClass(0, TkvFloatValueType::Instance());
    controller.ChangeValueTypeClass(1, TkvWideStringValueType::Instance());
    controller.ChangeValueTypeClass(2, TkvWideStringValueType::Instance());
    controller.BeginBatch();
    controller.SetRecordCount(rowCount);
    for (int record = 0; record < rowCount; ++record) {
        controller.SetValue(record, 0, Variant(double(record % 977) + 0.5));
        controller.SetValue(record, 1, Variant(QString::fromUtf8(record % 3 ? "奖金" : "工资")));
        controller.SetValue(record, 2, Variant(QStringLiteral("remark %1").arg(record)));
    }
    controller.EndBatch();
    view->Controller().SetFocusedRowIndex(3);
    made.View = view;
    return made;
}

void BM_AccessibleCellAnywhere(benchmark::State &state)
{
    const int rowCount = static_cast<int>(state.range(0));
    AccessibleGrid grid = MakeGrid(rowCount);
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(grid.Grid->Site());
    const int columns = table->tableInterface()->columnCount();
    int row = 0;
    for (auto _ : state) {
        row = (row + 7919) % rowCount;
        QAccessibleInterface *cell = table->child(columns + row * columns + row % columns);
        benchmark::DoNotOptimize(cell->text(QAccessible::Name));
        benchmark::DoNotOptimize(cell->rect());
        benchmark::DoNotOptimize(cell->state());
    }
    state.counters["cells made"] = double(dynamic_cast<TkvGridAccessibleTable *>(table)->CellCount());
}
BENCHMARK(BM_AccessibleCellAnywhere)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_AccessibleFocusedCellAfterMove(benchmark::State &state)
{
    const int rowCount = static_cast<int>(state.range(0));
    AccessibleGrid grid = MakeGrid(rowCount);
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(grid.Grid->Site());
    int row = rowCount / 2;
    for (auto _ : state) {
        row = row + 1 < rowCount ? row + 1 : 0;
        grid.View->Controller().SetFocusedRowIndex(row);
        QAccessibleInterface *cell = table->tableInterface()->cellAt(row, 1);
        benchmark::DoNotOptimize(cell->text(QAccessible::Name));
    }
}
BENCHMARK(BM_AccessibleFocusedCellAfterMove)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

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
