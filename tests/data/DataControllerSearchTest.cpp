#include "core/RegionalSettings.h"
#include "data/DataController.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrum {
namespace {

//! A controller without a source with two text items (item, remark).
class DataControllerSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        for (int &column : Columns)
            Controller.AttachItem(&column)->SetValueTypeClass(TkvStringValueType::Instance());
        Controller.SetUpdateControlHandler([this](const TkvUpdateControlInfo &info) {
            if (info.Describe() == "Search")
                ++SearchNotices;
        });
    }

    void Fill(std::initializer_list<std::pair<const char *, const char *>> records)
    {
        Controller.BeginBatch();
        for (const auto &[item, remark] : records) {
            const int r = Controller.AppendRecord();
            Controller.SetValue(r, 0, Variant::fromUtf8(item));
            Controller.SetValue(r, 1, Variant::fromUtf8(remark));
        }
        Controller.EndBatch();
    }

    std::string Rows()
    {
        std::string text;
        for (int r = 0; r < Controller.RowCount(); ++r)
            text += Controller.GetDisplayText(Controller.GetRowRecordIndex(r), 0).toStdString();
        return text;
    }

    int Columns[2] = {};
    TkvCustomDataController Controller;
    int SearchNotices = 0;
};

TEST_F(DataControllerSearchTest, EachLocatedMatchStartsTheSearchThereAndIsTold)
{
    Fill({{"a", ""}, {"b1", ""}, {"c", ""}, {"B2", ""}});
    ASSERT_TRUE(Controller.Locate(0, "b"));
    EXPECT_EQ(Controller.FocusedRecordIndex(), 1);
    EXPECT_EQ(SearchNotices, 1);
    // The focus change ends the running search (told), the new one starts (told).
    ASSERT_TRUE(Controller.LocateNext(true));
    EXPECT_EQ(Controller.FocusedRecordIndex(), 3);
    EXPECT_EQ(Controller.IncrementalSearchText().toStdString(), "b");
    EXPECT_EQ(Controller.IncrementalSearchItemIndex(), 0);
    EXPECT_EQ(SearchNotices, 3);
    // No further match: the search and the focus stay, nothing is told.
    EXPECT_FALSE(Controller.LocateNext(true));
    EXPECT_TRUE(Controller.IsIncrementalSearching());
    EXPECT_EQ(SearchNotices, 3);
    Controller.CancelIncrementalSearch();
    Controller.CancelIncrementalSearch();
    EXPECT_EQ(SearchNotices, 4);
    EXPECT_FALSE(Controller.LocateNext(true)); // nothing to search on from
}

TEST_F(DataControllerSearchTest, RemovingAnItemEndsTheSearchAndTheFindFilterOnIt)
{
    Fill({{"ab", "x"}, {"b", "y"}, {"ac", "z"}});
    Controller.SetFindFilter(0, "a");
    ASSERT_TRUE(Controller.Locate(0, "ac"));
    ASSERT_EQ(Rows(), "abac");
    Controller.DetachItem(&Columns[0]);
    EXPECT_FALSE(Controller.IsIncrementalSearching());
    EXPECT_EQ(Controller.FindFilterItemIndex(), -1);
    EXPECT_EQ(Controller.RowCount(), 3); // every record is a row again
}

TEST_F(DataControllerSearchTest, FindingByValuesComparesAsSortingDoes)
{
    Fill({{"Rent", "may"}, {"rent", "june"}, {"Food", "june"}});
    TkvCustomDataField *item = Controller.GetItemField(0);
    TkvCustomDataField *remark = Controller.GetItemField(1);
    EXPECT_EQ(Controller.FindRecordIndexByValues({item}, {Variant::fromUtf8("rent")}), 1);
    EXPECT_EQ(Controller.FindRecordIndexByValues({item, remark},
                                                 {Variant::fromUtf8("Rent"), Variant::fromUtf8("june")}),
              -1); // every field must match
    TkvDataControllerOptions options = Controller.Options();
    options.Include(dcoCaseInsensitive);
    Controller.SetOptions(options);
    EXPECT_EQ(Controller.FindRecordIndexByValues({item, remark},
                                                 {Variant::fromUtf8("Rent"), Variant::fromUtf8("june")}),
              1);
    EXPECT_EQ(Controller.FindRecordIndexByValues({item}, {}), -1); // values do not fit the fields
}

} // namespace
} // namespace kestrum
