// A filter changed, narrowed or cleared on a sorted list takes its rows in the
// sorted order kept from before: no record is compared again, and the rows
// stand as a full sort would put them.
#include "data/DataController.h"
#include "data/DataControllerGroups.h"
#include "data/DataSorting.h"
#include "data/FilterCriteriaInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace kestrum {
namespace {

class SortedController : public TkvCustomDataController {
public:
    SortedController() { FHooks = CreateSortingGroupingSummaryHooks(*this); }
};

enum { Amount, Item };

//! Keeps amounts below a limit; the limit changes the criteria.
class AmountBelow : public IkvFilterCriteria {
public:
    explicit AmountBelow(TkvCustomDataController &controller) : FController(controller) {}
    bool IsEmpty() const override { return Limit < 0; }
    bool DoFilterRecord(int recordIndex) override
    {
        return FController.GetValue(recordIndex, Amount).toDouble() < Limit;
    }
    void SetLimit(double limit)
    {
        Limit = limit;
        FController.FilterChanged();
    }
    double Limit = -1;

private:
    TkvCustomDataController &FController;
};

class FilteredSortOrderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Controller.AttachItem(&Columns[Amount])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Columns[Item])->SetValueTypeClass(TkvStringValueType::Instance());
        std::mt19937 random(3);
        Controller.BeginBatch();
        for (int i = 0; i < 500; ++i) {
            const int r = Controller.AppendRecord();
            Controller.SetValue(r, Amount, Variant(double(random() % 1000)));
            Controller.SetValue(r, Item, Variant::fromUtf8(std::string(1, char('a' + random() % 7))));
        }
        Controller.EndBatch();
        Controller.OnCompare = [this](TkvCustomDataController *, int, int, int, const Variant &a,
                                      const Variant &b, int &compare) {
            ++Comparisons;
            if (a.type() == VarType::Float64)
                compare = a.toDouble() < b.toDouble() ? -1 : (b.toDouble() < a.toDouble() ? 1 : 0);
            else
                compare = a.toString().compare(b.toString());
        };
        Controller.SetFilter(&Filter);
    }

    //! The records the filter keeps, by amount (descending when asked),
    //! equal amounts in record order: what a full sort shows.
    std::vector<int> Expected(bool descending)
    {
        std::vector<int> records;
        for (int r = 0; r < Controller.RecordCount(); ++r)
            if (Filter.IsEmpty() || Filter.DoFilterRecord(r))
                records.push_back(r);
        std::stable_sort(records.begin(), records.end(), [&](int a, int b) {
            const double x = Controller.GetValue(a, Amount).toDouble();
            const double y = Controller.GetValue(b, Amount).toDouble();
            return descending ? y < x : x < y;
        });
        return records;
    }

    int Columns[2] = {};
    SortedController Controller;
    AmountBelow Filter{Controller};
    int Comparisons = 0;
};

TEST_F(FilteredSortOrderTest, ClearingNarrowingAndWideningAFilterOnASortedListComparesNoRecords)
{
    DataSortingOf(Controller)->ApplySortOrder(Amount, soDescending);
    ASSERT_GT(Comparisons, 0);
    for (double limit : {500.0, 100.0, 700.0, -1.0, 300.0, -1.0}) {
        Comparisons = 0;
        Filter.SetLimit(limit);
        EXPECT_EQ(Comparisons, 0) << "limit " << limit;
        EXPECT_EQ(Controller.Info().RecordList(), Expected(true)) << "limit " << limit;
    }
}

TEST_F(FilteredSortOrderTest, AGroupedListIsRegroupedWithoutASortWhenItsFilterIsCleared)
{
    DataGroupsOf(Controller)->PlaceInGrouping(Item, 0);
    DataSortingOf(Controller)->ApplySortOrder(Amount, soAscending);
    Filter.SetLimit(200);
    Comparisons = 0;
    Filter.SetLimit(-1);
    // The group build compares neighbours only: far fewer than a sort's n log n.
    EXPECT_LT(Comparisons, 2 * Controller.RecordCount());
    Controller.OnCompare = nullptr;
    const std::vector<int> shown = Controller.Info().RecordList();
    Controller.InfoChanged(dcicSorting);
    EXPECT_EQ(shown, Controller.Info().RecordList());
    EXPECT_EQ(DataGroupsOf(Controller)->DataGroups().CheckConsistency(Controller.RecordCount()), "");
}

TEST_F(FilteredSortOrderTest, AChangedSortOrChangedValuesAreNotTakenFromTheKeptOrder)
{
    DataSortingOf(Controller)->ApplySortOrder(Amount, soAscending);
    Filter.SetLimit(300);
    DataSortingOf(Controller)->ApplySortOrder(Amount, soDescending);
    Filter.SetLimit(-1);
    EXPECT_EQ(Controller.Info().RecordList(), Expected(true));

    Filter.SetLimit(300);
    // A record outside the filter takes another value while filtered out.
    const std::vector<int> &listed = Controller.Info().RecordList();
    int hidden = 0;
    while (std::find(listed.begin(), listed.end(), hidden) != listed.end())
        ++hidden;
    Controller.SetValue(hidden, Amount, Variant(2000.0));
    Filter.SetLimit(-1);
    EXPECT_EQ(Controller.Info().RecordList().front(), hidden);
    EXPECT_EQ(Controller.Info().RecordList(), Expected(true));
}

} // namespace
} // namespace kestrum
