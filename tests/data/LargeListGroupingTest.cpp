// Sorting and grouping lists long enough for the sorts and sums that work in
// record order (few distinct values placed by rank; group and footer totals
// added as the records lie), checked against the same order and sums worked
// out the plain way: a comparison sort, and each run summed over its
// positions.
#include "data/DataController.h"
#include "data/DataControllerGroups.h"
#include "data/DataControllerSummary.h"
#include "data/DataGroups.h"
#include "data/DataSorting.h"
#include "data/SummaryCalculator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace kestrum {
namespace {

class LargeController : public TkvCustomDataController {
public:
    LargeController() { FHooks = CreateSortingGroupingSummaryHooks(*this); }
};

enum { Amount, Item, Count, ColumnCount };

constexpr int RecordTotal = 90000;

//! One generated row: amounts in cents from a few hundred values (many ties),
//! a handful of items, and some of each left Null.
struct Row {
    bool AmountNull;
    std::int64_t Cents;
    bool ItemNull;
    std::string Item;
    int Count;
};

class LargeListGroupingTest : public ::testing::TestWithParam<TkvValueTypeClass> {
protected:
    void SetUp() override
    {
        Controller.AttachItem(&Columns[Amount])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Columns[Item])->SetValueTypeClass(GetParam());
        Controller.AttachItem(&Columns[Count])->SetValueTypeClass(TkvIntegerValueType::Instance());
        const char *const names[] = {"rent", "food", "fare", "income 10", "income 2", "income 1", "a"};
        std::mt19937 random(7);
        Controller.BeginBatch();
        Controller.SetRecordCount(RecordTotal);
        for (int r = 0; r < RecordTotal; ++r) {
            Row row;
            row.AmountNull = random() % 50 == 0;
            row.Cents = std::int64_t(random() % 400) - 100;
            row.ItemNull = random() % 30 == 0;
            row.Item = names[random() % std::size(names)];
            row.Count = int(random() % 1000);
            Controller.SetValue(r, Amount,
                                row.AmountNull ? Variant::null() : Variant(double(row.Cents) / 100));
            Controller.SetValue(r, Item,
                                row.ItemNull ? Variant::null() : Variant::fromUtf8(row.Item.c_str()));
            Controller.SetValue(r, Count, Variant(row.Count));
            Rows.push_back(row);
        }
        Controller.EndBatch();
    }

    //! The records ordered by item (Null first), then amount (Null first),
    //! then record, each key in its direction.
    std::vector<int> PlainOrder(bool itemDescending, bool byAmount) const
    {
        std::vector<int> order(RecordTotal);
        for (int r = 0; r < RecordTotal; ++r)
            order[std::size_t(r)] = r;
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const Row &x = Rows[std::size_t(a)], &y = Rows[std::size_t(b)];
            if (x.ItemNull != y.ItemNull)
                return x.ItemNull != itemDescending;
            if (!x.ItemNull && x.Item != y.Item)
                return (x.Item < y.Item) != itemDescending;
            if (byAmount) {
                if (x.AmountNull != y.AmountNull)
                    return x.AmountNull;
                if (!x.AmountNull && x.Cents != y.Cents)
                    return x.Cents < y.Cents;
            }
            return a < b;
        });
        return order;
    }

    TkvDataSummary &Summary() { return *DataSummaryOf(Controller); }
    TkvSummaryHost &Host() { return *dynamic_cast<TkvDataControllerSummary *>(Controller.SummaryHook()); }

    //! The footer's and every group's values against the same items summed
    //! over the positions of the list one by one.
    void ExpectSumsAsByPositions()
    {
        const std::vector<int> &list = Controller.Info().RecordList();
        const Variant footer = CalculateSummaryItems(Host(), Summary().FooterSummaryItems(),
                                                     Summary().Options(), list, 0, int(list.size()));
        EXPECT_TRUE(Summary().FooterValuesArray().identicalTo(footer))
            << debugString(Summary().FooterValuesArray()) << " against " << debugString(footer);
        const TkvDataGroups &groups = DataGroupsOf(Controller)->DataGroups();
        ASSERT_GT(groups.Count(), 0);
        for (int g = 0; g < groups.Count(); ++g) {
            const Variant expected = CalculateSummaryItems(
                Host(), *Summary().LevelSummaryItems(groups.Item(g).Level), Summary().Options(), list,
                groups.FirstRecordPosition(g), groups.LastRecordPosition(g) + 1);
            EXPECT_TRUE(groups.Item(g).SummaryValues.identicalTo(expected))
                << "group " << g << ": " << debugString(groups.Item(g).SummaryValues) << " against "
                << debugString(expected);
        }
    }

    void AddItems(TkvDataSummaryItems &items)
    {
        for (auto [column, kind] :
             {std::pair{Amount, skSum}, {Amount, skCount}, {Count, skSum}, {Amount, skAverage}}) {
            TkvDataSummaryItem *item = items.Add();
            item->SetLinkedItem(&Columns[column]);
            item->SetKind(kind);
        }
    }

    int Columns[ColumnCount] = {};
    LargeController Controller;
    std::vector<Row> Rows;
};

TEST_P(LargeListGroupingTest, SortByFewItemsKeepsTiesAndPutsNullsFirstOrLast)
{
    TkvDataControllerSorting &sorting = *DataSortingOf(Controller);
    sorting.ApplySortOrder(Item, soAscending);
    EXPECT_EQ(Controller.Info().RecordList(), PlainOrder(false, false));
    sorting.ApplySortOrder(Item, soDescending);
    EXPECT_EQ(Controller.Info().RecordList(), PlainOrder(true, false));
}

// A list sorted by the amount and then grouped by the item: the groups keep
// the amount order inside them, and their sums are those of their records.
TEST_P(LargeListGroupingTest, GroupingAListSortedByAnotherColumnOrdersAndSumsAsPlainly)
{
    AddItems(Summary().FooterSummaryItems());
    AddItems(Summary().DefaultGroupSummaryItems());
    TkvDataControllerSorting &sorting = *DataSortingOf(Controller);
    TkvDataControllerGroups &groups = *DataGroupsOf(Controller);
    sorting.ApplySortOrder(Amount, soAscending);
    groups.PlaceInGrouping(Item, 0);
    EXPECT_EQ(Controller.Info().RecordList(), PlainOrder(false, true));
    EXPECT_EQ(groups.DataGroups().CheckConsistency(RecordTotal), "");
    EXPECT_EQ(groups.DataGroups().Count(), 8); // seven items and Null
    ExpectSumsAsByPositions();

    // The amount sums against whole cents added up.
    const std::vector<int> &list = Controller.Info().RecordList();
    const TkvDataGroups &tree = groups.DataGroups();
    for (int g = 0; g < tree.Count(); ++g) {
        std::int64_t cents = 0;
        for (int p = tree.FirstRecordPosition(g); p <= tree.LastRecordPosition(g); ++p)
            if (!Rows[std::size_t(list[std::size_t(p)])].AmountNull)
                cents += Rows[std::size_t(list[std::size_t(p)])].Cents;
        EXPECT_EQ(tree.Item(g).SummaryValues.at(0).toDouble(), double(cents) / 100) << "group " << g;
    }

    sorting.ApplySortOrder(Item, soDescending);
    EXPECT_EQ(Controller.Info().RecordList(), PlainOrder(true, true));
    ExpectSumsAsByPositions();
}

// Amounts that are no exact decimals make a floating total depend on the
// order they are added in, and an integer sum past 32 bits may depend on it
// too: they come out as added in list order.
TEST_P(LargeListGroupingTest, InexactAmountsAndWideIntegerSumsComeOutAsInListOrder)
{
    AddItems(Summary().FooterSummaryItems());
    AddItems(Summary().DefaultGroupSummaryItems());
    Controller.BeginBatch();
    int bigCount = -1;
    for (int r = 0; r < RecordTotal; ++r) {
        const Row &row = Rows[std::size_t(r)];
        if (!row.ItemNull && row.Item == "rent" && r % 100 == 0)
            Controller.SetValue(r, Amount, Variant(0.1 + 1e-9 * r));
        if (!row.ItemNull && row.Item == "food" && bigCount < 0)
            bigCount = r;
    }
    Controller.SetValue(bigCount, Count, Variant(2147483000)); // the food sum leaves 32 bits
    Controller.EndBatch();
    DataSortingOf(Controller)->ApplySortOrder(Amount, soDescending);
    DataGroupsOf(Controller)->PlaceInGrouping(Item, 0);
    ExpectSumsAsByPositions();
}

// The list follows a deleted record, the last one kept, as a rebuild would
// show it, without reaching past the records that are left.
TEST_P(LargeListGroupingTest, DeletingTheLastRecordOfASortedGroupedListKeepsItsSums)
{
    AddItems(Summary().FooterSummaryItems());
    AddItems(Summary().DefaultGroupSummaryItems());
    DataSortingOf(Controller)->ApplySortOrder(Item, soAscending);
    TkvDataControllerGroups &groups = *DataGroupsOf(Controller);
    groups.PlaceInGrouping(Item, 0);
    groups.FullExpand();
    for (const int record : {RecordTotal - 1, RecordTotal / 2, 0}) {
        // The focused record goes: the focus told before it names no record now.
        ASSERT_TRUE(Controller.ChangeFocusedRecordIndex(record));
        Controller.DeleteRecord(record);
        const TkvDataFocusingInfo &told = Controller.Info().PrevFocusingInfo();
        EXPECT_NO_THROW(
            Controller.Info().RowIndexOfRecordAtLevel(told.RecordIndex, told.RestoreLevel(), false));
        EXPECT_LT(Controller.FocusedRecordIndex(), int(Rows.size()) - 1);
        Rows.erase(Rows.begin() + record);
        EXPECT_EQ(groups.DataGroups().CheckConsistency(int(Rows.size())), "");
        ExpectSumsAsByPositions();
        Controller.InfoChanged(dcicLoad | dcicSorting | dcicGrouping | dcicSummary);
        ExpectSumsAsByPositions();
    }
}

INSTANTIATE_TEST_SUITE_P(ItemTypes, LargeListGroupingTest,
                         ::testing::Values(TkvStringValueType::Instance(),
                                           TkvWideStringValueType::Instance()));

} // namespace
} // namespace kestrum
