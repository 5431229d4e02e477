// One full repaint (layout and painting of the whole view) and one scroll
// step, over a thousand and over a million rows: neither may grow with the
// row count, because only the visible rows are laid out and painted.
#include "GridTestSource.h"

#include "data/ValueTypes.h"
#include "grid/GridDataControllerSource.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

LedgerGrid MakeGrid(int rowCount)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    GridTestSource &source = grid.Source();
    source.GeneratedCount = rowCount;
    source.Generator = [](int record, int field) {
        switch (field) {
        case 0:
            return QString::number(record % 977) + ".50";
        case 1:
            return QString::fromUtf8(record % 3 ? "奖金" : "工资");
        case 2:
            return QStringLiteral("2006-7-%1").arg(record % 28 + 1);
        default:
            return QString::fromUtf8("备注 %1").arg(record);
        }
    };
    // The footer total is the controller's work, computed once per data change, not per paint.
    source.FooterSumFields.clear();
    source.Reload();
    grid.View->SetBounds(QRect(0, 0, 1200, 700));
    grid.View->Controller().SetFocusedRowIndex(3);
    return grid;
}

void BM_FullRepaint(benchmark::State &state)
{
    LedgerGrid grid = MakeGrid(static_cast<int>(state.range(0)));
    QImage image(1200, 700, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        grid.View->LayoutChanged();
        QPainter painter(&image);
        grid.View->Painter().Paint(painter);
    }
    state.counters["rows laid out"] = static_cast<double>(grid.View->ViewInfo().Rows().size());
}
BENCHMARK(BM_FullRepaint)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ScrollStep(benchmark::State &state)
{
    const int rowCount = static_cast<int>(state.range(0));
    LedgerGrid grid = MakeGrid(rowCount);
    QImage image(1200, 700, QImage::Format_ARGB32_Premultiplied);
    TkvGridTableController &controller = grid.View->Controller();
    controller.SetTopRowIndex(rowCount / 2);
    int step = 1;
    for (auto _ : state) {
        controller.Scroll(true, step > 0 ? TkvGridScrollCode::LineDown : TkvGridScrollCode::LineUp);
        step = -step;
        QPainter painter(&image);
        grid.View->Painter().Paint(painter, grid.View->ViewInfo().RowsAreaBounds());
    }
}
BENCHMARK(BM_ScrollStep)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

//! The same over the real data controller: a million records loaded into typed storage.
std::unique_ptr<TkvGridTableView> MakeControllerView(int rowCount)
{
    auto view = MakeGridView<TkvGridTableView>();
    view->BeginLoading();
    view->CreateColumn("amount")->SetWidth(90);
    view->CreateColumn("item")->SetWidth(128);
    view->CreateColumn("remark")->SetWidth(500);
    view->OptionsView().SetFooter(true);
    view->SetBounds(QRect(0, 0, 1200, 700));
    view->EndLoading();
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
    return view;
}

void BM_ControllerFullRepaint(benchmark::State &state)
{
    auto view = MakeControllerView(static_cast<int>(state.range(0)));
    QImage image(1200, 700, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view->LayoutChanged();
        QPainter painter(&image);
        view->Painter().Paint(painter);
    }
}
BENCHMARK(BM_ControllerFullRepaint)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ControllerScrollStep(benchmark::State &state)
{
    const int rowCount = static_cast<int>(state.range(0));
    auto view = MakeControllerView(rowCount);
    QImage image(1200, 700, QImage::Format_ARGB32_Premultiplied);
    view->Controller().SetTopRowIndex(rowCount / 2);
    int step = 1;
    for (auto _ : state) {
        view->Controller().Scroll(true, step > 0 ? TkvGridScrollCode::LineDown : TkvGridScrollCode::LineUp);
        step = -step;
        QPainter painter(&image);
        view->Painter().Paint(painter, view->ViewInfo().RowsAreaBounds());
    }
}
BENCHMARK(BM_ControllerScrollStep)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

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
