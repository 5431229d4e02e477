// Sorting, grouping and summaries driven through a data controller.
#include "data/DataController.h"
#include "data/DataControllerGroups.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class SortingController : public TkvCustomDataController {
public:
    SortingController() { FHooks = CreateSortingGroupingSummaryHooks(*this); }
};

enum { Amount, Item };

class ControllerSortingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Controller.AttachItem(&Columns[Amount])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Columns[Item])->SetValueTypeClass(TkvStringValueType::Instance());
        Controller.SetUpdateControlHandler([this](const TkvUpdateControlInfo &) { ++Notifications; });
    }
    void Fill(std::initializer_list<std::pair<double, const char *>> rows)
    {
        Controller.BeginBatch();
        for (auto [amount, item] : rows) {
            const int r = Controller.AppendRecord();
            Controller.SetValue(r, Amount, Variant(amount));
            Controller.SetValue(r, Item, item ? Variant::fromUtf8(item) : Variant::null());
        }
        Controller.EndBatch();
    }
    //! Rows: group rows as "[item]" indented by level, data rows as record indexes.
    std::string Rows()
    {
        std::string text;
        for (int row = 0; row < Controller.RowCount(); ++row) {
            const TkvRowInfo info = Controller.GetRowInfo(row);
            if (!text.empty())
                text += ' ';
            if (info.IsGroupRow) {
                const int item = DataGroupsOf(Controller)->GroupingItemIndex(info.Level);
                text += std::string(info.Level, '.') + "[" +
                        Controller.GetDisplayText(info.RecordIndex, item).toStdString() + "]";
            } else {
                text += std::to_string(info.RecordIndex);
            }
        }
        return text;
    }
    TkvDataControllerSorting &Sorting() { return *DataSortingOf(Controller); }
    TkvDataControllerGroups &Groups() { return *DataGroupsOf(Controller); }

    int Columns[2] = {};
    SortingController Controller;
    int Notifications = 0;
};

TEST_F(ControllerSortingTest, DescendingThenAscendingKeepsThePriorityAndNoneRemoves)
{
    Fill({{2, "b"}, {1, "a"}, {2, "a"}, {1, "b"}});
    Sorting().ApplySortOrder(Item, soAscending);
    Sorting().ApplySortOrder(Amount, soAscending);
    EXPECT_EQ(Rows(), "1 2 3 0");
    Sorting().ApplySortOrder(Item, soDescending);
    Sorting().ApplySortOrder(Item, soAscending);
    EXPECT_EQ(Sorting().GetItemSortingIndex(Item), 0);
    EXPECT_EQ(Rows(), "1 2 3 0");
    Sorting().ApplySortOrder(Item, soNone);
    EXPECT_EQ(Sorting().GetItemSortingIndex(Amount), 0);
    EXPECT_EQ(Rows(), "1 3 0 2");
    Sorting().MoveSortKey(Amount, 5); // one key: stays where it is
    Sorting().ResetSorting(false);
    EXPECT_EQ(Rows(), "0 1 2 3");
}

TEST_F(ControllerSortingTest, GroupedColumnTakesTheSortDirectionAndResetKeepsIt)
{
    Fill({{1, "a"}, {2, "b"}, {3, "a"}});
    Groups().PlaceInGrouping(Item, 0);
    EXPECT_EQ(Rows(), "[a] [b]");
    Sorting().ApplySortOrder(Item, soDescending);
    EXPECT_EQ(Rows(), "[b] [a]");
    EXPECT_EQ(Sorting().GetItemSortOrder(Item), soDescending);
    Sorting().ResetSorting(true); // keeps the grouped column's direction
    EXPECT_EQ(Sorting().GetItemSortOrder(Item), soDescending);
    Sorting().ApplySortOrder(Item, soNone);
    EXPECT_EQ(Sorting().GetItemSortOrder(Item), soAscending);
    EXPECT_EQ(Rows(), "[a] [b]");
}

TEST_F(ControllerSortingTest, ExpansionIsKeptAfterAValueChangeAndLostAfterAGroupingChange)
{
    Fill({{1, "a"}, {2, "b"}, {3, "a"}, {4, "c"}});
    Groups().PlaceInGrouping(Item, 0);
    Groups().SetExpanded(0, true, false);
    EXPECT_EQ(Rows(), "[a] 0 2 [b] [c]");
    Controller.SetValue(1, Amount, Variant(9.0)); // a post of record 1
    Controller.SetValue(3, Item, Variant::fromUtf8("a"));
    EXPECT_EQ(Rows(), "[a] 0 2 3 [b]");
    Groups().PlaceInGrouping(Amount, 1);
    EXPECT_EQ(Rows(), "[a] [b]");
    EXPECT_THROW(Groups().SetExpanded(7, true, false), EkvInvalidDataControllerOperation);
}

TEST_F(ControllerSortingTest, RecursiveCollapseMovesFocusToTheGroupRow)
{
    Fill({{1, "a"}, {2, "a"}, {3, "b"}});
    Groups().PlaceInGrouping(Item, 0);
    Groups().PlaceInGrouping(Amount, 1);
    Groups().SetExpanded(0, true, true);
    EXPECT_EQ(Rows(), "[a] .[1] 0 .[2] 1 [b]");
    Controller.ChangeFocusedRecordIndex(1);
    EXPECT_EQ(Controller.FocusedRowIndex(), 4);
    Groups().SetExpanded(0, false, true);
    EXPECT_EQ(Rows(), "[a] [b]");
    EXPECT_EQ(Controller.FocusedRowIndex(), 0);
    Groups().SetExpanded(0, true, false);
    EXPECT_EQ(Rows(), "[a] .[1] .[2] [b]");
}

TEST_F(ControllerSortingTest, CaseInsensitiveGroupingMergesLetterCase)
{
    Fill({{1, "a"}, {2, "A"}, {3, "b"}});
    Groups().PlaceInGrouping(Item, 0);
    EXPECT_EQ(Rows(), "[A] [a] [b]");
    TkvDataControllerOptions options = Controller.Options();
    options.Include(dcoCaseInsensitive);
    Controller.SetOptions(options);
    Controller.Refresh();
    EXPECT_EQ(Rows(), "[a] [b]");
}

TEST_F(ControllerSortingTest, FooterAndGroupSumsFollowTheData)
{
    Fill({{1000.25, "工资"}, {7, "餐饮"}, {234.25, "工资"}});
    TkvDataSummary &summary = *DataSummaryOf(Controller);
    TkvDataSummaryItem *footer = summary.FooterSummaryItems().Add();
    footer->SetLinkedItem(&Columns[Amount]);
    footer->SetKind(skSum);
    TkvDataSummaryItem *group = summary.DefaultGroupSummaryItems().Add();
    group->SetLinkedItem(&Columns[Amount]);
    group->SetKind(skSum);
    EXPECT_EQ(summary.FooterText(0).toStdString(), "1241.50");
    Groups().PlaceInGrouping(Item, 0);
    EXPECT_EQ(Rows(), "[餐饮] [工资]");
    EXPECT_EQ(summary.GroupRowSummary(1).toStdString(), "(SUM=1234.50)");
    Controller.SetValue(1, Amount, Variant(8.0));
    EXPECT_EQ(summary.FooterText(0).toStdString(), "1242.50");
    EXPECT_EQ(summary.GroupRowSummary(0).toStdString(), "(SUM=8.00)");
}

// A grouped list follows a changed record that keeps its place and its
// groups without building the tree again (with expansions not saved, a new
// tree would close every group); one that moves or changes group is placed
// as a rebuild places it. Group and footer sums follow either way.
TEST_F(ControllerSortingTest, GroupedListFollowsAChangedRecordInPlace)
{
    Fill({{10, "a"}, {20, "b"}, {30, "a"}, {40, "b"}, {50, "c"}});
    TkvDataControllerOptions options = Controller.Options();
    options.Exclude(dcoSaveExpanding);
    Controller.SetOptions(options);
    TkvDataSummary &summary = *DataSummaryOf(Controller);
    for (TkvDataSummaryItems *items :
         {static_cast<TkvDataSummaryItems *>(&summary.FooterSummaryItems()),
          static_cast<TkvDataSummaryItems *>(&summary.DefaultGroupSummaryItems())}) {
        TkvDataSummaryItem *item = items->Add();
        item->SetLinkedItem(&Columns[Amount]);
        item->SetKind(skSum);
    }
    auto sums = [&] {
        std::string text = summary.FooterText(0).toStdString();
        for (int row = 0; row < Controller.RowCount(); ++row)
            if (Controller.GetRowInfo(row).IsGroupRow)
                text += " " + summary.GroupRowSummary(row).toStdString();
        return text;
    };
    Groups().PlaceInGrouping(Item, 0);
    Groups().FullExpand();
    ASSERT_EQ(Rows(), "[a] 0 2 [b] 1 3 [c] 4");

    Controller.SetValue(0, Amount, Variant(15.0)); // stays in place: followed
    EXPECT_EQ(Rows(), "[a] 0 2 [b] 1 3 [c] 4");
    EXPECT_EQ(sums(), "155.00 (SUM=45.00) (SUM=60.00) (SUM=50.00)");
    EXPECT_EQ(Groups().DataGroups().CheckConsistency(Controller.RecordCount()), "");

    Sorting().ApplySortOrder(Amount, soDescending);
    Groups().FullExpand();
    ASSERT_EQ(Rows(), "[a] 2 0 [b] 3 1 [c] 4");
    Controller.SetValue(2, Amount, Variant(5.0)); // moves inside its group
    Groups().FullExpand();
    EXPECT_EQ(Rows(), "[a] 0 2 [b] 3 1 [c] 4");
    EXPECT_EQ(sums(), "130.00 (SUM=20.00) (SUM=60.00) (SUM=50.00)");

    Controller.SetValue(3, Item, Variant::fromUtf8("a")); // the first of b joins a, at a's border
    Groups().FullExpand();
    EXPECT_EQ(Rows(), "[a] 3 0 2 [b] 1 [c] 4");
    EXPECT_EQ(sums(), "130.00 (SUM=60.00) (SUM=20.00) (SUM=50.00)");

    Controller.SetValue(4, Item, Variant::fromUtf8("d")); // alone in its group: the group takes the new key
    Groups().FullExpand();
    EXPECT_EQ(Rows(), "[a] 3 0 2 [b] 1 [d] 4");
    EXPECT_EQ(Groups().DataGroups().CheckConsistency(Controller.RecordCount()), "");
}

// Filtering drops records in one pass: every record is asked once, the kept
// ones stay in load order (and then sort), and rows are found by record.
TEST_F(ControllerSortingTest, FilteringKeepsOrderAndFindsRowsByRecord)
{
    struct EveryThird : IkvFilterCriteria {
        std::vector<int> asked;
        bool IsEmpty() const override { return false; }
        bool DoFilterRecord(int recordIndex) override
        {
            asked.push_back(recordIndex);
            return recordIndex % 3 == 0;
        }
    } criteria;
    Controller.BeginBatch();
    for (int r = 0; r < 3000; ++r) {
        Controller.AppendRecord();
        Controller.SetValue(r, Amount, Variant(double((r * 7919) % 3000)));
    }
    Controller.EndBatch();
    Controller.SetFilter(&criteria);
    ASSERT_EQ(Controller.RowCount(), 1000);
    EXPECT_EQ(criteria.asked.size(), 3000u);
    for (int row = 0; row < 1000; ++row)
        ASSERT_EQ(Controller.GetRowRecordIndex(row), row * 3);
    EXPECT_EQ(Controller.GetRowIndexByRecordIndex(2997, false), 999);
    EXPECT_EQ(Controller.GetRowIndexByRecordIndex(1, false), -1);
    EXPECT_EQ(Controller.GetRowIndexByRecordIndex(5000, false), -1);

    // After a sort every record is found at its new row.
    Sorting().ApplySortOrder(Amount, soDescending);
    for (int row = 0; row < 1000; row += 37)
        EXPECT_EQ(Controller.GetRowIndexByRecordIndex(Controller.GetRowRecordIndex(row), false), row);
    Controller.ChangeFocusedRecordIndex(300);
    EXPECT_EQ(Controller.GetRowRecordIndex(Controller.FocusedRowIndex()), 300);

    // Records appended after the list was built are found once they pass.
    Controller.SetFilter(nullptr);
    const int added = Controller.AppendRecord();
    Controller.SetValue(added, Amount, Variant(-1.0));
    EXPECT_EQ(Controller.GetRowIndexByRecordIndex(added, false), Controller.RowCount() - 1);
}

// A summary of the selected records follows every change of the selection.
TEST_F(ControllerSortingTest, SelectedRecordsSummaryFollowsTheSelection)
{
    Controller.SetMultiSelect(true);
    Controller.BeginBatch();
    for (int r = 0; r < 2000; ++r) {
        Controller.AppendRecord();
        Controller.SetValue(r, Amount, Variant(double(r)));
    }
    Controller.EndBatch();
    TkvDataSummary &summary = *DataSummaryOf(Controller);
    summary.SetOptions(soSelectedRecords);
    TkvDataSummaryItem *footer = summary.FooterSummaryItems().Add();
    footer->SetLinkedItem(&Columns[Amount]);
    footer->SetKind(skSum);
    double expected = 0;
    for (int row = 0; row < 2000; row += 2) {
        Controller.ChangeRowSelection(row, true);
        expected += row;
    }
    EXPECT_EQ(summary.FooterValues(0).toDouble(), expected);
    Controller.ChangeRowSelection(10, false);
    EXPECT_EQ(summary.FooterValues(0).toDouble(), expected - 10);
    // Rows move under a sort; the selected records stay the same ones.
    Sorting().ApplySortOrder(Amount, soDescending);
    EXPECT_EQ(summary.FooterValues(0).toDouble(), expected - 10);
    Controller.ClearSelection();
    Controller.ChangeRowSelection(0, true); // now the largest amount
    EXPECT_EQ(summary.FooterValues(0).toDouble(), 1999.0);
}

TEST_F(ControllerSortingTest, EmptyListSortsAndGroupsToNothing)
{
    Sorting().ApplySortOrder(Amount, soAscending);
    Groups().PlaceInGrouping(Item, 0);
    EXPECT_EQ(Controller.RowCount(), 0);
    EXPECT_EQ(Rows(), "");
}

} // namespace
} // namespace kestrum
