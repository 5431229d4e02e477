// A sorted or grouped list follows one saved, added or deleted record in
// place: afterwards it must show exactly what a full rebuild shows (order,
// groups, group sums, footer), and groups the change did not touch keep
// their expansion, which a rebuild would collapse.
#include "data/DataController.h"
#include "data/DataControllerGroups.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "data/FilterCriteriaInterface.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kestrum {
namespace {

class FollowController : public TkvCustomDataController {
public:
    FollowController() { FHooks = CreateSortingGroupingSummaryHooks(*this); }
};

enum { Amount, Item, Sub, ColumnCount };

//! Hides amounts of 90 and more.
class BelowNinety : public IkvFilterCriteria {
public:
    explicit BelowNinety(TkvCustomDataController &controller) : FController(controller) {}
    bool IsEmpty() const override { return false; }
    bool DoFilterRecord(int recordIndex) override
    {
        const Variant amount = FController.GetValue(recordIndex, Amount);
        return amount.isNull() || amount.toDouble() < 90;
    }

private:
    TkvCustomDataController &FController;
};

std::string textOf(const Variant &value)
{
    if (value.isArray()) {
        std::string text = "[";
        for (const Variant &element : value.elements())
            text += textOf(element) + ",";
        return text + "]";
    }
    return value.isNull() ? "null" : value.toString().toStdString();
}

class FollowOneRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Controller.AttachItem(&Columns[Amount])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Columns[Item])->SetValueTypeClass(TkvStringValueType::Instance());
        Controller.AttachItem(&Columns[Sub])->SetValueTypeClass(TkvStringValueType::Instance());
        TkvDataSummary &summary = *DataSummaryOf(Controller);
        for (TkvDataSummaryItems *items : std::initializer_list<TkvDataSummaryItems *>{
                 &summary.DefaultGroupSummaryItems(), &summary.FooterSummaryItems()}) {
            TkvDataSummaryItem *sum = items->Add();
            sum->SetLinkedItem(&Columns[Amount]);
            sum->SetKind(skSum);
        }
        TkvDataSummaryItem *count = summary.DefaultGroupSummaryItems().Add();
        count->SetLinkedItem(&Columns[Amount]);
        count->SetKind(skCount);
        // A rebuild then collapses every group: expanded groups tell that none ran.
        TkvDataControllerOptions options = Controller.Options();
        options.Exclude(dcoSaveExpanding);
        Controller.SetOptions(options);
        Controller.BeginBatch();
        for (int i = 0; i < 40; ++i)
            Fill(Controller.AppendRecord());
        Controller.EndBatch();
    }

    //! Random values from few items, so that groups fill, empty and appear.
    void Fill(int record)
    {
        Controller.SetValue(record, Amount, Variant(double(Random() % 100) + 0.25));
        Controller.SetValue(record, Item, Variant::fromUtf8(std::string(1, char('a' + Random() % 5))));
        Controller.SetValue(record, Sub, Variant::fromUtf8(std::string(1, char('x' + Random() % 3))));
    }

    //! The rows as the user sees them with every group expanded: the record
    //! list, each group's level, records, value and sums, and the footer.
    std::string Shown()
    {
        const TkvDataGroups &groups = DataGroupsOf(Controller)->DataGroups();
        EXPECT_EQ(groups.CheckConsistency(int(Controller.Info().RecordList().size())), "");
        std::string text = "list";
        for (int record : Controller.Info().RecordList())
            text += " " + std::to_string(record) + "=" + textOf(Controller.GetValue(record, Amount));
        for (int g = 0; g < groups.Count(); ++g) {
            const TkvDataGroupInfo &node = groups.Item(g);
            text += "\ngroup " + std::to_string(node.Level) + " " +
                    std::to_string(groups.FirstRecordPosition(g)) + ".." +
                    std::to_string(groups.LastRecordPosition(g)) + " " + textOf(groups.GroupValue(g)) + " " +
                    textOf(node.SummaryValues);
        }
        return text + "\nfooter " + textOf(DataSummaryOf(Controller)->FooterValues(0)) + " rows " +
               std::to_string(Controller.RowCount());
    }

    //! What a rebuild of every row shows, the followed state put back after.
    std::string Rebuilt()
    {
        Controller.InfoChanged(dcicLoad | dcicSorting | dcicGrouping | dcicSummary);
        TkvDataControllerGroups &groups = *DataGroupsOf(Controller);
        groups.FullExpand();
        return Shown();
    }

    //! One random change: a saved record (new values, maybe another group),
    //! an appended or inserted one, or a deletion.
    void RandomChange()
    {
        const int count = Controller.RecordCount();
        switch (Random() % 5) {
        case 0:
            Controller.SetValue(int(Random() % unsigned(count)), Amount, Variant(double(Random() % 100)));
            break;
        case 1: {
            const int record = int(Random() % unsigned(count));
            Controller.BeginBatch();
            Controller.SetValue(record, Item, Variant::fromUtf8(std::string(1, char('a' + Random() % 6))));
            Controller.SetValue(record, Sub, Variant::fromUtf8(std::string(1, char('x' + Random() % 3))));
            Controller.EndBatch();
            break;
        }
        case 2: {
            Controller.BeginBatch();
            Fill(Controller.AppendRecord());
            Controller.EndBatch();
            break;
        }
        case 3: {
            Controller.BeginBatch();
            Fill(Controller.InsertRecord(int(Random() % unsigned(count + 1))));
            Controller.EndBatch();
            break;
        }
        default:
            if (count > 1)
                Controller.DeleteRecord(int(Random() % unsigned(count)));
        }
    }

    //! Runs random changes, each checked against a rebuild; the groups stay
    //! fully expanded between them, as a followed tree keeps them.
    void RunAgainstRebuilds(int changes)
    {
        Rebuilt();
        for (int i = 0; i < changes; ++i) {
            RandomChange();
            const int collapsed = CollapsedGroups();
            DataGroupsOf(Controller)->FullExpand();
            const std::string followed = Shown();
            // Groups made for the record come collapsed; all others stayed expanded.
            EXPECT_LE(collapsed, 2) << "change " << i;
            ASSERT_EQ(followed, Rebuilt()) << "change " << i;
        }
    }

    int CollapsedGroups()
    {
        const TkvDataGroups &groups = DataGroupsOf(Controller)->DataGroups();
        int collapsed = 0;
        for (int g = 0; g < groups.Count(); ++g)
            collapsed += !groups.Item(g).Expanded;
        return collapsed;
    }

    std::mt19937 Random{7};
    int Columns[ColumnCount] = {};
    FollowController Controller;
};

TEST_F(FollowOneRecordTest, AGroupedListFollowsEachChangeAsARebuildWouldShowIt)
{
    DataGroupsOf(Controller)->PlaceInGrouping(Item, 0);
    DataSortingOf(Controller)->ApplySortOrder(Amount, soDescending);
    RunAgainstRebuilds(300);
}

TEST_F(FollowOneRecordTest, TwoGroupingLevelsFollowEachChangeAsARebuildWouldShowThem)
{
    DataGroupsOf(Controller)->PlaceInGrouping(Item, 0);
    DataGroupsOf(Controller)->PlaceInGrouping(Sub, 1);
    DataSortingOf(Controller)->ApplySortOrder(Amount, soAscending);
    RunAgainstRebuilds(300);
}

TEST_F(FollowOneRecordTest, AFilteredGroupedListTakesInAndLetsGoRecordsAsTheirValuesPassOrFail)
{
    BelowNinety filter(Controller);
    Controller.SetFilter(&filter);
    DataGroupsOf(Controller)->PlaceInGrouping(Sub, 0);
    DataGroupsOf(Controller)->PlaceInGrouping(Item, 1);
    RunAgainstRebuilds(300);
    Controller.SetFilter(nullptr);
}

TEST_F(FollowOneRecordTest, ASortedListTakesEachRecordAtItsSortedPlace)
{
    DataSortingOf(Controller)->ApplySortOrder(Item, soAscending);
    DataSortingOf(Controller)->ApplySortOrder(Amount, soDescending);
    for (int i = 0; i < 300; ++i) {
        RandomChange();
        const std::vector<int> followed = Controller.Info().RecordList();
        Controller.InfoChanged(dcicLoad | dcicSorting | dcicSummary);
        ASSERT_EQ(followed, Controller.Info().RecordList()) << "change " << i;
    }
}

TEST_F(FollowOneRecordTest, TheLastRecordOfTheLastGroupLeavesAnEmptyTreeThatTakesTheNextRecord)
{
    DataGroupsOf(Controller)->PlaceInGrouping(Item, 0);
    while (Controller.RecordCount() > 1)
        Controller.DeleteRecord(0);
    Controller.DeleteRecord(0);
    EXPECT_EQ(Controller.RowCount(), 0);
    Controller.BeginBatch();
    const int record = Controller.AppendRecord();
    Controller.SetValue(record, Amount, Variant(5.0));
    Controller.SetValue(record, Item, Variant::fromUtf8("q"));
    Controller.EndBatch();
    EXPECT_EQ(Controller.RowCount(), 1); // its new group, collapsed
    DataGroupsOf(Controller)->FullExpand();
    const std::string followed = Shown();
    EXPECT_EQ(followed, Rebuilt());
}

} // namespace
} // namespace kestrum
