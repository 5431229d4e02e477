// Layout: parts and their heights, widths with the group indent, rows laid
// out from the top row, footer cells and hit testing.
#include "GridTestSource.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

std::vector<std::vector<QString>> SomeRecords(int count)
{
    std::vector<std::vector<QString>> records;
    for (int i = 0; i < count; ++i)
        records.push_back({QString::number(i + 1),
                           i % 2 ? QString::fromUtf8("奖金") : QString::fromUtf8("工资"), "2006-7-1",
                           QString::fromUtf8("备注%1").arg(i)});
    return records;
}

} // namespace

TEST(GridLayout, EmptyViewShowsHintHeaderEmptyAreaAndFooter)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    grid.View->Filtering().SetVisible(fvAlways);
    const TkvGridTableViewInfo &info = grid.View->ViewInfo();
    const QRect bounds = grid.View->Bounds();
    EXPECT_EQ(info.GroupByBoxText(), GroupByBoxHintText());
    EXPECT_EQ(info.GroupByBoxBounds().top(), bounds.top());
    EXPECT_EQ(info.GroupByBoxTextBounds().left(), 6);
    EXPECT_EQ(info.HeaderBounds().top(), info.GroupByBoxBounds().bottom() + 1);
    EXPECT_EQ(info.HeaderCells().size(), 4u);
    EXPECT_EQ(info.HeaderCells()[1].Text.toStdString(), "进帐项");
    EXPECT_TRUE(info.Rows().empty());
    EXPECT_GT(info.RowsAreaBounds().height(), 0);
    // Footer directly below the rows, filter box at the bottom.
    EXPECT_EQ(info.FooterBounds().top(), info.RowsAreaBounds().bottom() + 1);
    EXPECT_EQ(info.FilterBoxBounds().bottom(), bounds.bottom());
    EXPECT_EQ(info.FilterBoxBounds().top(), info.FooterBounds().bottom() + 1);
    EXPECT_EQ(info.FilterBoxText().toStdString(), "<过滤器为空>");
    ASSERT_EQ(info.FooterCells().size(), 4u);
    for (const TkvGridCellViewInfo &cell : info.FooterCells())
        EXPECT_TRUE(cell.Text.isEmpty());
    // Without a filter condition, fvNonEmpty hides the filter box.
    grid.View->Filtering().SetVisible(fvNonEmpty);
    EXPECT_TRUE(grid.View->ViewInfo().FilterBoxBounds().isNull());
    EXPECT_EQ(grid.View->ViewInfo().FooterBounds().bottom(), bounds.bottom());
}

TEST(GridLayout, HeightsFollowFontsAndOptions)
{
    LedgerGrid grid = MakeLedgerGrid(true, SomeRecords(3));
    grid.Source().Reload();
    const TkvGridTableViewInfo &info = grid.View->ViewInfo();
    const int line = QFontMetrics(grid.View->Font()).height();
    EXPECT_EQ(info.HeaderHeight(), line + 4 + 2);
    EXPECT_EQ(info.DataRowHeight(), line + 4 + 1);
    EXPECT_EQ(info.GroupRowHeight(), std::max(line, 11) + 4 + 1);
    EXPECT_EQ(info.GroupByBoxHeight(), line + 22);
    EXPECT_EQ(info.FooterHeight(), 1 + 2 + (line + 4 + 2) + 2);
    grid.View->OptionsView().SetGridLines(glVertical);
    EXPECT_EQ(grid.View->ViewInfo().DataRowHeight(), line + 4);
    grid.View->OptionsView().SetDataRowHeight(30);
    ASSERT_EQ(grid.View->ViewInfo().Rows().size(), 3u);
    for (const TkvGridRowViewInfo &row : grid.View->ViewInfo().Rows())
        EXPECT_EQ(row.Bounds.height(), 30);
    EXPECT_EQ(grid.View->ViewInfo().Rows()[1].Bounds.top(),
              grid.View->ViewInfo().RowsAreaBounds().top() + 30);
    grid.View->OptionsView().SetHeader(false);
    grid.View->OptionsView().SetGroupByBox(false);
    EXPECT_EQ(grid.View->ViewInfo().RowsAreaBounds().top(), 0);
}

TEST(GridLayout, GroupingWidensFirstColumnByOneIndentPerLevel)
{
    LedgerGrid grid = MakeLedgerGrid(true, SomeRecords(4));
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    const int amountWidth = grid.Amount->Width();
    EXPECT_EQ(view.ViewInfo().HeaderCells()[0].Bounds.width(), amountWidth);
    grid.Item->SetGroupIndex(0);
    grid.Date->SetGroupIndex(1);
    view.ViewData().Expand(true);
    const TkvGridTableViewInfo &info = view.ViewInfo();
    const int indent = info.LevelIndent();
    EXPECT_EQ(indent, 11 + 6);
    EXPECT_EQ(info.HeaderCells()[0].Bounds.width(), amountWidth + 2 * indent);
    EXPECT_EQ(info.DataWidth(), grid.Amount->Width() + grid.Item->Width() + grid.Date->Width() +
                                    grid.Remark->Width() + 2 * indent);
    EXPECT_EQ(LaidOutRows(view).substr(0, 2), "G0");
    const TkvGridRowViewInfo &outer = info.Rows()[0];
    const TkvGridRowViewInfo &inner = info.Rows()[1];
    const TkvGridRowViewInfo &data = info.Rows()[2];
    EXPECT_EQ(outer.GroupCell.Bounds.left(), 0);
    EXPECT_EQ(inner.GroupCell.Bounds.left(), indent);
    EXPECT_EQ(inner.GroupCell.Bounds.right(), info.DataWidth() - 1);
    EXPECT_TRUE(outer.ExpandButtonBounds.left() >= 0 && outer.ExpandButtonBounds.right() < indent);
    ASSERT_FALSE(data.IsGroup);
    EXPECT_EQ(info.Cells(data)[0].Bounds.left(), 2 * indent);
    EXPECT_EQ(info.Cells(data)[0].Bounds.width(), amountWidth);
    // The group-by box shows a staircase of the grouped headers instead of the hint.
    EXPECT_TRUE(info.GroupByBoxText().isEmpty());
    ASSERT_EQ(info.GroupByBoxHeaders().size(), 2u);
    const QRect first = info.GroupByBoxHeaders()[0].Bounds;
    const QRect second = info.GroupByBoxHeaders()[1].Bounds;
    EXPECT_EQ(first.topLeft(), QPoint(6, 8));
    EXPECT_EQ(second.left(), first.right() + 1 + 4);
    EXPECT_EQ(second.top(), first.top() + info.HeaderHeight() / 2);
    EXPECT_EQ(info.GroupByBoxHeight(), info.HeaderHeight() / 2 * 3 + info.HeaderHeight() % 2 + 16);
}

TEST(GridLayout, FooterCellsShowTheirColumnsSummaryOrNothing)
{
    LedgerGrid grid = MakeLedgerGrid(true, SomeRecords(4));
    grid.Source().Reload();
    const TkvGridTableViewInfo &info = grid.View->ViewInfo();
    ASSERT_EQ(info.FooterCells().size(), 4u);
    EXPECT_EQ(info.FooterCells()[0].Text.toStdString(), "10.00");
    EXPECT_EQ(info.FooterCells()[0].AlignHorz, TkvGridAlignmentHorz::RightJustify);
    EXPECT_TRUE(info.FooterCells()[1].Text.isEmpty());
    // Cells sit under their headers, less the footer's own borders at both ends.
    EXPECT_EQ(info.FooterCells()[1].Bounds.left(), info.HeaderCells()[1].Bounds.left() + 1);
    EXPECT_EQ(info.FooterCells()[0].Bounds.left(), info.HeaderCells()[0].Bounds.left() + 1 + 1);
}

TEST(GridLayout, OnlyVisibleRowsAreLaidOutAtAMillionRows)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    grid.Source().GeneratedCount = 1000000;
    grid.Source().Generator = [](int record, int field) { return QString::number(record * 10 + field); };
    grid.Source().FooterSumFields.clear();
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    const TkvGridTableViewInfo &info = view.ViewInfo();
    const int fit = info.RowsAreaBounds().height() / info.DataRowHeight();
    EXPECT_EQ(info.VisibleRowCount(), fit + (info.RowsAreaBounds().height() % info.DataRowHeight() ? 1 : 0));
    EXPECT_LE(view.ViewData().CreatedRecordCount(), static_cast<std::size_t>(fit + 1));
    view.Controller().SetTopRowIndex(999990);
    EXPECT_EQ(view.Controller().TopRowIndex(), info.MaxTopRowIndex());
    EXPECT_EQ(info.Rows().back().RowIndex, 999999);
    EXPECT_EQ(info.LastFullyVisibleRowIndex(), 999999);
}

TEST(GridLayout, HitTestFindsPartsRowsCellsAndButtons)
{
    LedgerGrid grid = MakeLedgerGrid(true, SomeRecords(4));
    grid.Source().Reload();
    grid.Item->SetGroupIndex(0);
    grid.View->ViewData().Records(0)->Expand(false);
    const TkvGridTableViewInfo &info = grid.View->ViewInfo();
    EXPECT_EQ(info.HitTest(QPoint(200, 2)).Kind, TkvGridHitKind::GroupByBox);
    EXPECT_EQ(info.HitTest(info.GroupByBoxHeaders()[0].Bounds.center()).Kind,
              TkvGridHitKind::GroupByBoxHeader);
    const TkvGridHitTest header = info.HitTest(info.HeaderCells()[1].Bounds.center());
    EXPECT_EQ(header.Kind, TkvGridHitKind::Header);
    EXPECT_EQ(header.Column, grid.Item);
    const TkvGridRowViewInfo &group = info.Rows()[0];
    EXPECT_EQ(info.HitTest(group.ExpandButtonBounds.center()).Kind, TkvGridHitKind::ExpandButton);
    EXPECT_EQ(info.HitTest(QPoint(200, group.Bounds.center().y())).Kind, TkvGridHitKind::GroupRow);
    const TkvGridRowViewInfo &data = info.Rows()[1];
    const TkvGridHitTest cell = info.HitTest(info.Cells(data)[1].Bounds.center());
    EXPECT_EQ(cell.Kind, TkvGridHitKind::Cell);
    EXPECT_EQ(cell.RowIndex, 1);
    EXPECT_EQ(info.HitTest(QPoint(3, data.Bounds.center().y())).Kind, TkvGridHitKind::RowIndent);
    EXPECT_EQ(info.HitTest(info.FooterCells()[0].Bounds.center()).Kind, TkvGridHitKind::Footer);
}
