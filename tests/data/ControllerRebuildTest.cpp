// What a rebuild of the rows (sort, regroup, expand or collapse, reload, a
// change of how a field compares) must keep in step: the selection's row
// indexes and the focus notifications.
#include "data/DataController.h"
#include "data/DataControllerGroups.h"
#include "data/DataSorting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrum {
namespace {

class RebuildController : public TkvCustomDataController {
public:
    RebuildController() { FHooks = CreateSortingGroupingSummaryHooks(*this); }
};

enum { Amount, Item };

class ControllerRebuildTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Controller.AttachItem(&Columns[Amount])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Columns[Item])->SetValueTypeClass(TkvStringValueType::Instance());
        Controller.SetUpdateControlHandler([this](const TkvUpdateControlInfo &info) {
            if (dynamic_cast<const TkvFocusedRecordChangedInfo *>(&info))
                ++FocusedRecordNotices;
            if (dynamic_cast<const TkvLayoutChangedInfo *>(&info))
                ++LayoutNotices;
            if (dynamic_cast<const TkvDataChangedInfo *>(&info))
                ++DataNotices;
        });
        Controller.BeginBatch();
        const std::pair<double, const char *> rows[] = {{4, "b"}, {1, "a"}, {3, "b"}, {2, "a"}};
        for (auto [amount, item] : rows) {
            const int r = Controller.AppendRecord();
            Controller.SetValue(r, Amount, Variant(amount));
            Controller.SetValue(r, Item, Variant::fromUtf8(item));
        }
        Controller.EndBatch();
    }
    //! "row:record" of every selected entry, group rows marked with a "g".
    std::string Selected() const
    {
        std::string text;
        const TkvDataSelection &selection = Controller.Selection();
        for (int i = 0; i < selection.Count(); ++i) {
            const TkvDataSelectionEntry &entry = selection.Items(i);
            if (!text.empty())
                text += ' ';
            text += std::to_string(entry.RowIndex) + ":" + (entry.IsGroupRow ? "g" : "") +
                    std::to_string(entry.RecordIndex);
        }
        return text;
    }
    //! Every selected row must show the record its entry names.
    void ExpectSelectionMatchesRows() const
    {
        const TkvDataSelection &selection = Controller.Selection();
        for (int i = 0; i < selection.Count(); ++i) {
            const TkvDataSelectionEntry &entry = selection.Items(i);
            ASSERT_LT(entry.RowIndex, Controller.RowCount());
            const TkvRowInfo row = Controller.GetRowInfo(entry.RowIndex);
            EXPECT_EQ(row.IsGroupRow, entry.IsGroupRow) << "entry " << i;
            EXPECT_EQ(row.Level, entry.Level) << "entry " << i;
            if (!entry.IsGroupRow) {
                EXPECT_EQ(row.RecordIndex, entry.RecordIndex) << "entry " << i;
            }
        }
    }
    TkvDataControllerSorting &Sorting() { return *DataSortingOf(Controller); }
    TkvDataControllerGroups &Groups() { return *DataGroupsOf(Controller); }

    int Columns[2] = {};
    RebuildController Controller;
    int FocusedRecordNotices = 0;
    int LayoutNotices = 0;
    int DataNotices = 0;
};

// --- the selection after each kind of rebuild ---------------------------------

TEST_F(ControllerRebuildTest, SingleSelectionFollowsTheFocusedRecordThroughASort)
{
    Controller.ChangeFocusedRowIndex(0); // record 0, amount 4
    EXPECT_EQ(Selected(), "0:0");
    Sorting().ApplySortOrder(Amount, soAscending);
    EXPECT_EQ(Controller.FocusedRowIndex(), 3);
    EXPECT_EQ(Selected(), "3:0");
    EXPECT_FALSE(Controller.IsRowSelected(0)); // only one row lights up
    Controller.ChangeFocusedRowIndex(1);
    EXPECT_EQ(Selected(), "1:3");
    EXPECT_EQ(Controller.SelectedRowCount(), 1);
}

TEST_F(ControllerRebuildTest, MultiSelectionFollowsItsRecordsThroughSortAndReload)
{
    Controller.SetMultiSelect(true);
    Controller.ChangeRowSelection(0, true);         // record 0
    Controller.ChangeRowSelection(1, true);         // record 1
    Sorting().ApplySortOrder(Amount, soDescending); // 0 2 3 1
    EXPECT_EQ(Selected(), "0:0 3:1");
    ExpectSelectionMatchesRows();
    Controller.Refresh();
    EXPECT_EQ(Selected(), "0:0 3:1");
    Sorting().ApplySortOrder(Amount, soNone);
    EXPECT_EQ(Selected(), "0:0 1:1");
    // Selection calls act on the rows the user sees.
    Sorting().ApplySortOrder(Amount, soAscending); // 1 3 2 0
    Controller.ChangeRowSelection(0, false);
    EXPECT_EQ(Selected(), "3:0");
    EXPECT_EQ(Controller.Selection().RecordIndexes(), std::vector<int>({0}));
}

TEST_F(ControllerRebuildTest, SelectionAcrossGroupingExpandingAndCollapsing)
{
    Controller.SetMultiSelect(true);
    Controller.ChangeRowSelection(2, true); // record 2 ("b")
    Groups().PlaceInGrouping(Item, 0);      // [a] [b], all collapsed: record 2 is hidden
    EXPECT_EQ(Selected(), "");
    Groups().SetExpanded(1, true, false); // [a] [b] 0 2
    Controller.ChangeRowSelection(3, true);
    Controller.ChangeRowSelection(1, true); // the [b] group row
    EXPECT_EQ(Selected(), "1:g0 3:2");
    Groups().SetExpanded(0, true, false); // [a] 1 3 [b] 0 2
    EXPECT_EQ(Selected(), "3:g0 5:2");
    ExpectSelectionMatchesRows();
    Sorting().ApplySortOrder(Amount, soDescending); // [a] 3 1 [b] 0 2
    ExpectSelectionMatchesRows();
    EXPECT_TRUE(Controller.Selection().IsRecordSelected(2));
    Groups().SetExpanded(3, false, false); // [a] 3 1 [b]
    EXPECT_EQ(Selected(), "3:g0");
    Groups().PlaceInGrouping(Item, -1); // ungrouped: group rows have no row any more
    ExpectSelectionMatchesRows();
    for (int i = 0; i < Controller.Selection().Count(); ++i)
        EXPECT_FALSE(Controller.Selection().Items(i).IsGroupRow);
}

// --- the focused-record notice -------------------------------------------------

TEST_F(ControllerRebuildTest, ASortThatMovesTheFocusedRowSendsTheFocusedRecordNotice)
{
    Controller.ChangeFocusedRowIndex(0);
    FocusedRecordNotices = 0;
    Sorting().ApplySortOrder(Amount, soAscending);
    EXPECT_EQ(Controller.FocusedRecordIndex(), 0);
    EXPECT_EQ(FocusedRecordNotices, 1);
    // A sort that leaves the focused row where it was moves no focus.
    FocusedRecordNotices = 0;
    Sorting().ApplySortOrder(Item, soAscending); // a second key: the amounts differ already
    EXPECT_EQ(Controller.FocusedRowIndex(), 3);
    EXPECT_EQ(FocusedRecordNotices, 0);
}

// --- a change of a field's comparison mode -------------------------------------

TEST_F(ControllerRebuildTest, ComparisonModeChangeRepaintsAndResortsASortedField)
{
    Controller.ChangeFocusedRowIndex(0);
    LayoutNotices = DataNotices = 0;
    Controller.ChangeCompareByValue(Item, true); // not sorted: a view change only
    EXPECT_TRUE(Controller.GetItemField(Item)->CompareByValue());
    EXPECT_EQ(LayoutNotices + DataNotices, 1);
    Controller.ChangeCompareByValue(Item, true); // no change, no notice
    EXPECT_EQ(LayoutNotices + DataNotices, 1);

    Sorting().ApplySortOrder(Item, soAscending);
    LayoutNotices = DataNotices = 0;
    Controller.ChangeCompareByValue(Item, false);
    EXPECT_EQ(LayoutNotices + DataNotices, 1);
    EXPECT_EQ(Selected(), "2:0"); // re-sorted: the selection still marks the focused record
}

TEST_F(ControllerRebuildTest, ComparisonModeChangeOfAGroupedFieldClearsTheSelection)
{
    Groups().PlaceInGrouping(Item, 0);
    Controller.SetMultiSelect(true);
    Controller.ChangeRowSelection(1, true);
    ASSERT_EQ(Controller.SelectedRowCount(), 1);
    DataNotices = 0;
    Controller.ChangeCompareByValue(Item, true);
    EXPECT_EQ(Controller.SelectedRowCount(), 0);
    EXPECT_EQ(DataNotices, 1); // the groups were built again
    Controller.ChangeRowSelection(0, true);
    Controller.ChangeCompareByValue(Amount, true); // not grouped: the selection stays
    EXPECT_EQ(Controller.SelectedRowCount(), 1);
}

// --- a filter that cannot be evaluated ------------------------------------------------

//! Keeps the records of even index; raises a conversion error while failing.
class ThrowingCriteria : public IkvFilterCriteria {
public:
    bool Failing = false;
    bool IsEmpty() const override { return false; }
    bool DoFilterRecord(int recordIndex) override
    {
        if (Failing)
            throw EVariantConversionError();
        return recordIndex % 2 == 0;
    }
};

// A failing filter rewrote the front of the record list in place, and raised again at every
// later reload (a save whose data was written then reported failure).
TEST_F(ControllerRebuildTest, AFilterErrorIsRaisedOnceAndTheRowsStayWhole)
{
    ThrowingCriteria criteria;
    Controller.SetFilter(&criteria);
    Groups().PlaceInGrouping(Item, 0); // [a] 1 3 [b] 0 2, collapsed
    const auto rows = [&] {
        std::string text;
        for (int r = 0; r < Controller.RowCount(); ++r) {
            const TkvRowInfo row = Controller.GetRowInfo(r);
            EXPECT_TRUE(row.RecordIndex >= 0 && row.RecordIndex < Controller.RecordCount()) << r;
            text += (r ? " " : "") + std::string(row.IsGroupRow ? "g" : "") + std::to_string(row.RecordIndex);
        }
        return text;
    };
    Groups().FullExpand();
    ASSERT_EQ(rows(), "g0 0 2");
    criteria.Failing = true;
    EXPECT_THROW(Controller.FilterChanged(), EVariantConversionError);
    EXPECT_EQ(rows(), "g0 0 2");
    EXPECT_EQ(DataNotices > 0, true) << "the rows went out before the error";

    // Records come and go: no second error, and the rows name only records there are.
    Controller.BeginBatch();
    const int added = Controller.AppendRecord();
    Controller.SetValue(added, Amount, Variant(5.0));
    Controller.SetValue(added, Item, Variant::fromUtf8("c"));
    EXPECT_NO_THROW(Controller.EndBatch());
    EXPECT_NO_THROW(Controller.DeleteRecord(0));
    EXPECT_NO_THROW(Controller.DeleteRecord(0));
    rows();
    EXPECT_EQ(Controller.RecordCount(), 3);

    // Once the criteria changes its error is told again, and a working one filters.
    EXPECT_THROW(Controller.FilterChanged(), EVariantConversionError);
    criteria.Failing = false;
    Controller.FilterChanged();
    Groups().FullExpand();
    EXPECT_EQ(rows(), "g0 0 g2 2"); // records 0 (b) and 2 (c) of the three left
    Controller.SetFilter(nullptr);
}

} // namespace
} // namespace kestrum
