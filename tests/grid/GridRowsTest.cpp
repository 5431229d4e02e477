// Rows of the view data: data rows and group rows, expansion, group texts
// and the life of row objects across data changes.
#include "GridTestSource.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

std::vector<std::vector<QString>> LedgerRecords()
{
    return {
        {"100", QString::fromUtf8("工资"), "2006-7-1", ""},
        {"50", QString::fromUtf8("奖金"), "2006-7-2", ""},
        {"200", QString::fromUtf8("工资"), "2006-7-3", ""},
        {"7.5", QString::fromUtf8("利息"), "2006-7-4", ""},
    };
}

//! Every row of the view data: "G0:<text>" for group rows, "D<level>:<record>" for data rows.
std::string AllRows(TkvGridTableView &view)
{
    std::string text;
    TkvGridViewData &data = view.ViewData();
    for (int i = 0; i < data.RecordCount(); ++i) {
        TkvCustomGridRecord *record = data.Records(i);
        if (!text.empty())
            text += "|";
        if (auto *group = dynamic_cast<TkvGridGroupRow *>(record))
            text += "G" + std::to_string(group->Level()) + ":" + group->GroupText().toStdString();
        else
            text += "D" + std::to_string(record->Level()) + ":" + std::to_string(record->RecordIndex());
    }
    return text;
}

} // namespace

TEST(GridRows, OutsideTheRangeThereIsNoRow)
{
    LedgerGrid grid = MakeLedgerGrid(true, LedgerRecords());
    grid.Source().Reload();
    TkvGridViewData &data = grid.View->ViewData();
    EXPECT_EQ(data.RecordCount(), 4);
    EXPECT_EQ(data.Records(-1), nullptr);
    EXPECT_EQ(data.Records(4), nullptr);
    EXPECT_EQ(data.NewItemRecord(), nullptr);
    grid.View->OptionsView().SetNewItemRow(true);
    grid.Source().Reload();
    ASSERT_NE(data.NewItemRecord(), nullptr);
    EXPECT_EQ(data.NewItemRecord()->Index(), -1);
    EXPECT_TRUE(data.NewItemRecord()->IsNewItemRecord());
}

TEST(GridRows, GroupingTurnsDataRowsIntoGroupRowsAndNestedDataRows)
{
    LedgerGrid grid = MakeLedgerGrid(true, LedgerRecords());
    grid.Source().Reload();
    EXPECT_EQ(AllRows(*grid.View), "D0:0|D0:1|D0:2|D0:3");
    grid.Item->SetGroupIndex(0);
    EXPECT_EQ(AllRows(*grid.View),
              "G0:进帐项 : 利息 (SUM=7.50)|G0:进帐项 : 奖金 (SUM=50.00)|G0:进帐项 : 工资 (SUM=300.00)");
    grid.View->ViewData().Records(2)->Expand(false);
    EXPECT_EQ(
        AllRows(*grid.View),
        "G0:进帐项 : 利息 (SUM=7.50)|G0:进帐项 : 奖金 (SUM=50.00)|G0:进帐项 : 工资 (SUM=300.00)|D1:0|D1:2");
    TkvCustomGridRecord *data = grid.View->ViewData().Records(3);
    EXPECT_TRUE(data->IsData());
    EXPECT_FALSE(data->Expandable());
    EXPECT_EQ(data->ParentRecord(), grid.View->ViewData().Records(2));
    EXPECT_EQ(grid.View->ViewData().Records(2)->ParentRecord(), nullptr);
}

TEST(GridRows, CollapsingAGroupShiftsTheRowsAfterIt)
{
    LedgerGrid grid = MakeLedgerGrid(true, LedgerRecords());
    grid.Source().Reload();
    grid.Item->SetGroupIndex(0);
    grid.View->ViewData().Expand(false);
    EXPECT_EQ(AllRows(*grid.View), "G0:进帐项 : 利息 (SUM=7.50)|D1:3|G0:进帐项 : 奖金 "
                                   "(SUM=50.00)|D1:1|G0:进帐项 : 工资 (SUM=300.00)|D1:0|D1:2");
    grid.View->ViewData().Records(2)->SetExpanded(false);
    EXPECT_EQ(AllRows(*grid.View), "G0:进帐项 : 利息 (SUM=7.50)|D1:3|G0:进帐项 : 奖金 (SUM=50.00)|G0:进帐项 "
                                   ": 工资 (SUM=300.00)|D1:0|D1:2");
    grid.View->ViewData().Collapse(false);
    EXPECT_EQ(grid.View->ViewData().RecordCount(), 3);
}

TEST(GridRows, GroupWithoutSummaryShowsNoTrailingSpace)
{
    LedgerGrid grid = MakeLedgerGrid(true, LedgerRecords());
    grid.Source().GroupSumField.clear();
    grid.Source().Reload();
    grid.Item->SetGroupIndex(0);
    auto *group = dynamic_cast<TkvGridGroupRow *>(grid.View->ViewData().Records(0));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->GroupText().toStdString(), "进帐项 : 利息");
    EXPECT_EQ(group->DisplayText(-1).toStdString(), "利息");
}

TEST(GridRows, ExpandingAnExpandedGroupDoesNothing)
{
    LedgerGrid grid = MakeLedgerGrid(true, LedgerRecords());
    grid.Source().Reload();
    grid.Item->SetGroupIndex(0);
    TkvCustomGridRecord *group = grid.View->ViewData().Records(0);
    group->SetExpanded(true);
    const std::string notices = grid.Source().Notices;
    grid.View->ViewData().Records(0)->SetExpanded(true);
    EXPECT_EQ(grid.Source().Notices, notices);
}

TEST(GridRows, ExpansionKeysOnTheFocusedRow)
{
    LedgerGrid grid = MakeLedgerGrid(true, LedgerRecords());
    grid.Source().Reload();
    grid.Item->SetGroupIndex(0);
    grid.Amount->SetGroupIndex(1);
    TkvGridViewData &data = grid.View->ViewData();
    ASSERT_EQ(data.RecordCount(), 3);
    TkvGridShiftState none;
    EXPECT_FALSE(data.Records(2)->KeyDown(TkvGridKey::Left, none)); // collapsed already
    EXPECT_TRUE(data.Records(2)->KeyDown(TkvGridKey::Right, none));
    EXPECT_EQ(data.RecordCount(), 5); // two amount groups under 工资
    EXPECT_TRUE(data.Records(2)->KeyDown(TkvGridKey::Left, none));
    EXPECT_EQ(data.RecordCount(), 3);
    // "*" expands the whole subtree.
    EXPECT_TRUE(data.Records(2)->KeyDown(TkvGridKey::NumMultiply, none));
    EXPECT_EQ(data.RecordCount(), 7);
    EXPECT_TRUE(data.Records(2)->KeyDown(TkvGridKey::NumSubtract, none));
    EXPECT_EQ(data.RecordCount(), 3);
    // Data rows have no expansion keys.
    data.Expand(true);
    EXPECT_FALSE(data.Records(2)->KeyDown(TkvGridKey::Right, none));
}

TEST(GridRows, RowObjectsDoNotSurviveADataChange)
{
    LedgerGrid grid = MakeLedgerGrid(true, LedgerRecords());
    grid.Source().Reload();
    TkvCustomGridRecord *before = grid.View->ViewData().Records(0);
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(grid.View->ViewData().Records(0), before);
    // A row object tells its layout when it goes, which shows whether it was destroyed.
    TkvGridRowViewInfo watcher;
    watcher.Record = before;
    before->SetViewInfo(&watcher);
    grid.Source().Reload();
    EXPECT_EQ(watcher.Record, nullptr);
    EXPECT_NE(grid.View->ViewData().Records(0), nullptr);
}

TEST(GridRows, FocusAndSelectionFollowTheController)
{
    LedgerGrid grid = MakeLedgerGrid(true, LedgerRecords());
    grid.Source().Reload();
    grid.Source().ChangeFocusedRowIndex(2);
    TkvGridViewData &data = grid.View->ViewData();
    EXPECT_TRUE(data.Records(2)->Focused());
    EXPECT_TRUE(data.Records(2)->Selected());
    EXPECT_FALSE(data.Records(1)->Focused());
    EXPECT_EQ(data.GetRecordByRecordIndex(3), data.Records(3));
    EXPECT_EQ(data.GetRecordByRecordIndex(9), nullptr);
}

TEST(GridRows, SwitchingTheNewItemRowOptionMakesOrDropsTheRowAtOnce)
{
    LedgerGrid grid = MakeLedgerGrid(true, LedgerRecords());
    grid.Source().Reload();
    TkvGridViewData &data = grid.View->ViewData();
    TkvCustomGridRecord *first = data.Records(0);
    grid.View->OptionsView().SetNewItemRow(true);
    ASSERT_NE(data.NewItemRecord(), nullptr);
    EXPECT_TRUE(data.NewItemRecord()->IsNewItemRecord());
    EXPECT_EQ(LaidOutRows(*grid.View), "N|D0:0|D0:1|D0:2|D0:3");
    // The data rows are kept.
    EXPECT_EQ(data.Records(0), first);
    grid.View->OptionsView().SetNewItemRow(false);
    EXPECT_EQ(data.NewItemRecord(), nullptr);
    EXPECT_EQ(LaidOutRows(*grid.View), "D0:0|D0:1|D0:2|D0:3");
    grid.Source().Reload();
    EXPECT_EQ(data.NewItemRecord(), nullptr);
}
