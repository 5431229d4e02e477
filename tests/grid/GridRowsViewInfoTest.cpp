// The rows of the table layout, laid out by a rows object of the test's own
// over a view's metrics: stacking, the row arithmetic paging relies on, the
// new-item row and separators, cells made on demand, and the indicator column beside the rows.
#include "GridTestSource.h"

#include "grid/GridIndicatorViewInfo.h"
#include "grid/GridRowsViewInfo.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

LedgerGrid GridWithRecords(int count)
{
    std::vector<std::vector<QString>> records;
    for (int i = 0; i < count; ++i)
        records.push_back({QString::number(i + 1), QString::fromUtf8("工资"), "2006-7-1",
                           QString::fromUtf8("备注%1").arg(i)});
    LedgerGrid grid = MakeLedgerGrid(true, records);
    grid.Source().Reload();
    return grid;
}

} // namespace

TEST(GridRowsViewInfo, RowsStackFromTheTopRowAndThePagingArithmeticAgrees)
{
    LedgerGrid grid = GridWithRecords(100);
    const TkvGridTableViewInfo &layout = grid.View->ViewInfo();
    TkvGridRowsViewInfo rows(grid.View, layout);
    rows.Calculate();
    ASSERT_GT(rows.VisibleRowCount(), 1);
    ASSERT_LT(rows.VisibleRowCount(), 100);
    int y = layout.RowsAreaBounds().top();
    for (const TkvGridRowViewInfo &row : rows.Rows()) {
        EXPECT_EQ(row.Bounds.top(), y) << row.RowIndex;
        EXPECT_EQ(row.Bounds.height(), rows.RowHeight(row.RowIndex));
        y += row.Bounds.height();
    }
    const int fully = rows.FullyVisibleRowCountFrom(0);
    EXPECT_EQ(rows.LastFullyVisibleRowIndex(), fully - 1);
    EXPECT_LE(fully, rows.VisibleRowCount());
    EXPECT_EQ(rows.TopRowIndexForBottomRow(fully - 1), 0);
    const int maxTop = rows.MaxTopRowIndex();
    EXPECT_EQ(maxTop + rows.FullyVisibleRowCountFrom(maxTop), 100);
    EXPECT_EQ(rows.TopRowIndexForBottomRow(99), maxTop);
    ASSERT_NE(rows.FindRow(fully - 1), nullptr);
    EXPECT_EQ(rows.FindRow(99), nullptr);

    // Scrolled down, the first laid-out row is the top row.
    grid.View->Controller().SetTopRowIndex(40);
    rows.Calculate();
    ASSERT_FALSE(rows.Rows().empty());
    EXPECT_EQ(rows.Rows().front().RowIndex, 40);
    EXPECT_EQ(rows.FindRow(0), nullptr);
}

TEST(GridRowsViewInfo, NewItemRowAndSeparatorsTakeTheirSpace)
{
    LedgerGrid grid = GridWithRecords(100);
    TkvGridRowsViewInfo plain(grid.View, grid.View->ViewInfo());
    plain.Calculate();
    const int plainFully = plain.FullyVisibleRowCountFrom(0);

    grid.View->OptionsView().SetRowSeparatorWidth(3);
    grid.View->OptionsView().SetNewItemRow(true);
    grid.Source().Reload();
    const TkvGridTableViewInfo &layout = grid.View->ViewInfo();
    TkvGridRowsViewInfo rows(grid.View, layout);
    rows.Calculate();
    ASSERT_GE(rows.Rows().size(), 2u);
    const TkvGridRowViewInfo &newItem = rows.Rows().front();
    EXPECT_TRUE(newItem.IsNewItemRow);
    EXPECT_EQ(newItem.Bounds.height(), layout.NewItemRowHeight());
    const TkvGridRowViewInfo &first = rows.Rows()[1];
    EXPECT_EQ(first.RowIndex, 0);
    EXPECT_EQ(first.Bounds.top(), newItem.Bounds.top() + layout.NewItemRowHeight() +
                                      grid.View->OptionsView().NewItemRowSeparatorWidth());
    EXPECT_EQ(rows.RowHeight(0), layout.DataRowHeight() + 3);
    EXPECT_EQ(first.SeparatorBounds.height(), 3);
    EXPECT_EQ(first.SeparatorBounds.bottom(), first.Bounds.bottom());
    // The new-item row is not counted among the visible rows and is never found by index.
    EXPECT_EQ(rows.VisibleRowCount(), static_cast<int>(rows.Rows().size()) - 1);
    EXPECT_EQ(rows.FindRow(-1), nullptr);
    EXPECT_LT(rows.FullyVisibleRowCountFrom(0), plainFully);
}

TEST(GridRowsViewInfo, DataCellsAreMadeOnDemandAtTheColumnsPlaces)
{
    LedgerGrid grid = GridWithRecords(5);
    const TkvGridTableViewInfo &layout = grid.View->ViewInfo();
    TkvGridRowsViewInfo rows(grid.View, layout);
    rows.Calculate();
    const TkvGridRowViewInfo *row = rows.FindRow(2);
    ASSERT_NE(row, nullptr);
    EXPECT_FALSE(row->CellsCalculated);
    const std::vector<TkvGridCellViewInfo> &cells = rows.Cells(*row);
    EXPECT_TRUE(row->CellsCalculated);
    ASSERT_EQ(static_cast<int>(cells.size()), layout.LaidOutColumnCount());
    int x = row->Bounds.left();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i].Bounds.left(), x + (i == 0 ? layout.GroupIndent() : 0));
        EXPECT_EQ(cells[i].RowIndex, 2);
        x += layout.ColumnWidths()[i];
    }
    EXPECT_EQ(cells[0].Text.toStdString(), "3");
    EXPECT_EQ(cells[3].Text, QString::fromUtf8("备注2"));
}

TEST(GridIndicatorViewInfo, OneCellBesideHeaderEachRowAndFooterWithTheFocusedRowsGlyph)
{
    LedgerGrid grid = GridWithRecords(100);
    grid.View->OptionsView().SetIndicator(true);
    grid.View->Controller().SetFocusedRowIndex(1);
    const TkvGridTableViewInfo &layout = grid.View->ViewInfo();
    TkvGridIndicatorViewInfo indicator;
    indicator.Calculate(layout, *grid.View);
    const auto &cells = indicator.Cells();
    ASSERT_EQ(cells.size(), layout.Rows().size() + 2);
    EXPECT_EQ(cells.front().Kind, TkvGridIndicatorKind::Header);
    EXPECT_EQ(cells.back().Kind, TkvGridIndicatorKind::Footer);
    EXPECT_EQ(cells[1].RowIndex, 0);
    EXPECT_EQ(cells[1].Glyph, TkvGridIndicatorGlyph::None);
    EXPECT_EQ(cells[2].Glyph, TkvGridIndicatorGlyph::Focused);
    // The last row is cut by the rows area, and so is its indicator cell.
    const QRect &last = cells[cells.size() - 2].Bounds;
    EXPECT_LE(last.bottom(), layout.RowsAreaBounds().bottom());

    grid.View->OptionsView().SetIndicator(false);
    indicator.Calculate(grid.View->ViewInfo(), *grid.View);
    EXPECT_TRUE(indicator.Cells().empty());
}
