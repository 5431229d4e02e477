#include "data/DataController.h"
#include "core/RegionalSettings.h"
#include "data/DataControllerGroups.h"
#include "data/DataControllerSummary.h"
#include "data/DataSorting.h"
#include "data/DataSummary.h"
#include "data/ValueTypesHeld.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

//! A controller without a source with two items (amount, item) and a log of
//! every notification it delivers.
class DataControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        Controller.AttachItem(&Columns[0])->SetValueTypeClass(TkvFloatValueType::Instance());
        Controller.AttachItem(&Columns[1])->SetValueTypeClass(TkvStringValueType::Instance());
        Controller.SetUpdateControlHandler(
            [this](const TkvUpdateControlInfo &info) { Log += (Log.empty() ? "" : " ") + info.Describe(); });
    }

    void Fill(std::initializer_list<const char *> items)
    {
        Controller.BeginBatch();
        for (const char *item : items) {
            const int r = Controller.AppendRecord();
            Controller.SetValue(r, 0, Variant(double(r)));
            Controller.SetValue(r, 1, Variant::fromUtf8(item));
        }
        Controller.EndBatch();
        Log.clear();
    }

    std::string Rows()
    {
        std::string text;
        for (int r = 0; r < Controller.RowCount(); ++r)
            text += Controller.GetDisplayText(Controller.GetRowRecordIndex(r), 1).toStdString();
        return text;
    }

    int Columns[2] = {};
    TkvCustomDataController Controller;
    std::string Log;
};

TEST_F(DataControllerTest, ValueChangesOfOneRecordMergeIntoRecordChange)
{
    Fill({"a", "b", "c"});
    Controller.BeginBatch();
    Controller.SetValue(1, 0, Variant(5.0));
    Controller.SetValue(1, 1, Variant::fromUtf8("x"));
    Controller.EndBatch();
    EXPECT_EQ(Log, "Data(dckRecord,-1,1)");

    Log.clear();
    Controller.BeginBatch();
    Controller.SetValue(1, 1, Variant::fromUtf8("y"));
    Controller.SetValue(2, 1, Variant::fromUtf8("z"));
    Controller.EndBatch();
    EXPECT_EQ(Log, "Data(dckAll,1,2)"); // item and record of the later change

    Log.clear();
    Controller.BeginBatch();
    Controller.SetValue(0, 1, Variant::fromUtf8("p"));
    Controller.SetValue(0, 1, Variant::fromUtf8("q"));
    Controller.EndBatch();
    EXPECT_EQ(Log, "Data(dckValue,1,0)");
    EXPECT_EQ(Rows(), "qyz");
}

TEST_F(DataControllerTest, PendingReloadIsNotNarrowedByALaterValueChange)
{
    // Guards against a merged change that reports one value after a reload was asked for.
    Fill({"a", "b"});
    Controller.BeginBatch();
    Controller.Refresh();
    Controller.SetValue(0, 1, Variant::fromUtf8("c"));
    Controller.EndBatch();
    EXPECT_EQ(Log, "Data(dckAll,1,0)");
}

TEST_F(DataControllerTest, NestedBracketsDeliverOneSetInFixedOrder)
{
    Fill({"a", "b", "c"});
    Controller.BeginBatch();
    Controller.BeginBatch();
    Controller.ChangeFocusedRowIndex(1);
    Controller.SetValue(2, 1, Variant::fromUtf8("x"));
    Controller.EndBatch();
    EXPECT_EQ(Log, ""); // nothing before the outermost bracket closes
    Controller.ChangeFocusedRowIndex(2);
    Controller.Change(chgBookmark);
    Controller.EndBatch();
    EXPECT_EQ(Log, "Data(dckValue,1,2) FocusedRow(-1->2) FocusedRecord(-1->2) Selection(-1->2) Bookmark");
}

TEST_F(DataControllerTest, FocusIsClampedToTheRows)
{
    Fill({"a", "b", "c"});
    Controller.ChangeFocusedRowIndex(-5);
    EXPECT_EQ(Controller.FocusedRowIndex(), -1);
    Controller.ChangeFocusedRowIndex(10);
    EXPECT_EQ(Controller.FocusedRowIndex(), 2);
    EXPECT_EQ(Controller.FocusedRecordIndex(), 2);
    EXPECT_TRUE(Controller.IsEOF());
    Controller.GotoFirst();
    EXPECT_TRUE(Controller.IsBOF());
    Controller.ShiftCursor(-3);
    EXPECT_EQ(Controller.FocusedRowIndex(), 0);
    Controller.GotoNext();
    EXPECT_EQ(Controller.FocusedRowIndex(), 1);
    EXPECT_EQ(Controller.Selection().Count(), 1); // single selection follows focus

    // Deleting the focused last record leaves the focus on no row in a
    // controller that has no source to ask.
    Controller.GotoLast();
    Controller.DeleteRecord(2);
    EXPECT_EQ(Controller.RowCount(), 2);
    EXPECT_EQ(Controller.FocusedRowIndex(), -1);
}

TEST_F(DataControllerTest, FocusStaysOnItsRecordWhenEarlierRecordsComeAndGo)
{
    Fill({"a", "b", "c"});
    Controller.ChangeFocusedRowIndex(1);
    Controller.DeleteRecord(0);
    EXPECT_EQ(Rows(), "bc");
    EXPECT_EQ(Controller.FocusedRowIndex(), 0);
    Controller.InsertRecord(0);
    EXPECT_EQ(Controller.FocusedRecordIndex(), 1);
    EXPECT_EQ(Controller.GetDisplayText(Controller.FocusedRecordIndex(), 1).toStdString(), "b");
}

TEST_F(DataControllerTest, RecordAndItemIndexesAreChecked)
{
    Fill({"a"});
    EXPECT_EQ(Controller.InsertRecord(1), 1); // at the count: appends
    try {
        Controller.InsertRecord(3);
        FAIL();
    } catch (const EkvInvalidDataControllerOperation &error) {
        EXPECT_STREQ(error.what(), "RecordIndex out of range");
    }
    EXPECT_THROW(Controller.GetValue(0, 2), EkvInvalidDataControllerOperation);
    EXPECT_THROW(Controller.GetRowInfo(2), EkvInvalidDataControllerOperation);
    EXPECT_THROW(Controller.AttachItem(&Columns[0]), EkvInvalidDataControllerOperation);
    EXPECT_THROW(Controller.DeleteRecord(7), EkvInvalidDataControllerOperation);
}

TEST_F(DataControllerTest, SettingRecordCountReportsAddedAndDeleted)
{
    Fill({"a", "b", "c"});
    Controller.ChangeRowSelection(2, true);
    Controller.SetRecordCount(2);
    EXPECT_EQ(Controller.Selection().Count(), 0); // the selected record went away
    EXPECT_NE(Log.find("Data(dckRecordDeleted,-1,-1)"), std::string::npos);
    Log.clear();
    Controller.SetRecordCount(4);
    EXPECT_EQ(Log, "Data(dckRecordAdded,-1,-1)");
    EXPECT_EQ(Controller.RowCount(), 4);
}

TEST_F(DataControllerTest, LocateFindsByUpperCasedPrefixAndWraps)
{
    Fill({"Apple", "banana", "Blueberry", "apricot"});
    Controller.ChangeFocusedRowIndex(2);
    EXPECT_TRUE(Controller.Locate(1, "ap"));
    EXPECT_EQ(Controller.FocusedRecordIndex(), 3); // from the focused record on
    EXPECT_TRUE(Controller.IsIncrementalSearching());
    EXPECT_FALSE(Controller.LocateNext(true));
    EXPECT_TRUE(Controller.LocateNext(false));
    EXPECT_EQ(Controller.FocusedRecordIndex(), 0);
    EXPECT_FALSE(Controller.Locate(1, ""));
    Controller.ChangeFocusedRowIndex(1); // a focus change cancels the search
    EXPECT_FALSE(Controller.IsIncrementalSearching());
}

TEST_F(DataControllerTest, FindFilterKeepsMatchingRecords)
{
    Fill({"Apple", "banana", "apricot"});
    Controller.SetFindFilter(1, "AP");
    EXPECT_EQ(Rows(), "Appleapricot");
    Controller.ClearFindFilter();
    EXPECT_EQ(Rows(), "Applebananaapricot");
}

TEST_F(DataControllerTest, FilterCriteriaDropsRecordsWithoutReloading)
{
    struct SkipRecord : IkvFilterCriteria {
        int Skipped = 1;
        bool IsEmpty() const override { return Skipped < 0; }
        bool DoFilterRecord(int recordIndex) override { return recordIndex != Skipped; }
    } criteria;
    Fill({"a", "b", "c"});
    Controller.ChangeRowSelection(2, true);
    Controller.SetFilter(&criteria);
    EXPECT_EQ(Rows(), "ac");
    EXPECT_EQ(Controller.Selection().Count(), 0); // the list shrank
    criteria.Skipped = 0;
    Controller.FilterChanged();
    EXPECT_EQ(Rows(), "bc");
    Controller.SetFilter(nullptr);
    EXPECT_EQ(Rows(), "abc");
}

TEST_F(DataControllerTest, TextStorageChangesBesideAnObjectColumnKeepEveryValueSound)
{
    static int alive = 0;
    struct Tracked : TkvStoredObject {
        Tracked() { ++alive; }
        ~Tracked() override { --alive; }
    };
    int objectColumn = 0;
    {
        TkvCustomDataController controller;
        controller.AttachItem(&Columns[0])->SetValueTypeClass(TkvStringValueType::Instance());
        controller.AttachItem(&objectColumn)->SetValueTypeClass(TkvObjectValueType::Instance());
        controller.AttachItem(&Columns[1])->SetValueTypeClass(TkvStringValueType::Instance());
        controller.BeginBatch();
        for (int r = 0; r < 20; ++r) {
            controller.AppendRecord();
            controller.SetValue(r, 0, Variant::fromUtf8("项" + std::to_string(r)));
            controller.SetValue(r, 1, TkvObjectValueType::FromObject(new Tracked));
            controller.SetValue(r, 2, Variant::fromUtf8("备注"));
        }
        controller.EndBatch();
        controller.ChangeTextStorage(0, true);
        controller.ChangeTextStorage(2, true);
        EXPECT_EQ(alive, 20) << "the object column keeps its objects";
        EXPECT_TRUE(controller.GetValue(7, 2).isNull()) << "a re-made column is read again from the source";
        EXPECT_EQ(controller.GetValue(7, 0).isNull(), true);
        controller.SetDisplayText(7, 0, QString::fromUtf8("显示"));
        EXPECT_EQ(controller.GetDisplayText(7, 0), QString::fromUtf8("显示"));
        controller.ChangeTextStorage(0, false);
        EXPECT_EQ(alive, 20);
        EXPECT_EQ(controller.Storage().CheckConsistency(), "");
    }
    EXPECT_EQ(alive, 0);
}

TEST_F(DataControllerTest, FindsRecordsByValues)
{
    Fill({"a", "b", "c"});
    TkvCustomDataField *item = Controller.GetItemField(1);
    EXPECT_EQ(Controller.FindRecordIndexByValues({item}, {Variant::fromUtf8("c")}), 2);
    EXPECT_EQ(Controller.FindRecordIndexByValues({item}, {Variant::fromUtf8("d")}), -1);
    EXPECT_EQ(Controller.Storage().InternalRecordCount(), 1);
    EXPECT_FALSE(Controller.Storage().IsInternalRecordInUse(-1)); // the probe was freed
}

TEST_F(DataControllerTest, TwoItemsCanShareOneColumn)
{
    int third = 0;
    TkvCustomDataField *copy = Controller.AttachItem(&third);
    copy->SetReferenceField(Controller.GetItemField(1));
    Fill({"a", "b"});
    EXPECT_EQ(Controller.GetDisplayText(1, 2).toStdString(), "b");
    // Removing the owner of the column hands it to the sharing field.
    Controller.DetachItem(&Columns[1]);
    EXPECT_EQ(Controller.ItemCount(), 2);
    EXPECT_EQ(Controller.GetDisplayText(1, 1).toStdString(), "b");
}

TEST_F(DataControllerTest, DetachingAnItemRenumbersLaterItems)
{
    Fill({"a"});
    Controller.DetachItem(&Columns[0]);
    EXPECT_EQ(Controller.ItemCount(), 1);
    EXPECT_EQ(Controller.GetItemIndex(&Columns[1]), 0);
    EXPECT_EQ(Controller.GetDisplayText(0, 0).toStdString(), "a");
}

//! A source that can be modified and writes down what it is asked to delete.
class RecordingProvider : public TkvCustomDataProvider {
public:
    using TkvCustomDataProvider::TkvCustomDataProvider;
    bool CanModify() const override { return true; }
    bool IsEmpty() const override { return false; }
    void DeleteRecords(const std::vector<int> &recordIndexes) override
    {
        for (int recordIndex : recordIndexes)
            Deleted += std::to_string(recordIndex);
    }
    std::string Deleted;
};

class ModifiableController : public TkvCustomDataController {
public:
    ModifiableController()
    {
        auto provider = std::make_unique<RecordingProvider>(*this);
        Recorder = provider.get();
        SetProvider(std::move(provider));
    }
    RecordingProvider *Recorder;
};

TEST(DataControllerGroupDelete, DeletingTheFocusedGroupRowDeletesEachRecordOnce)
{
    ModifiableController controller;
    int column = 0;
    controller.AttachItem(&column)->SetValueTypeClass(TkvStringValueType::Instance());
    controller.BeginBatch();
    for (const char *item : {"b", "a", "b", "c", "b"})
        controller.SetValue(controller.AppendRecord(), 0, Variant::fromUtf8(item));
    controller.EndBatch();
    DataGroupsOf(controller)->PlaceInGrouping(0, 0);
    ASSERT_EQ(controller.RowCount(), 3); // three collapsed groups: a, b, c
    controller.ChangeFocusedRowIndex(1);
    controller.DeleteFocused();
    EXPECT_EQ(controller.Recorder->Deleted, "024");
}

// Guards: turning grouping on moved the focus of a data row to the outermost group row.
TEST(DataControllerGroupFocus, GroupingKeepsAFocusedDataRowOnItsRecordsDataRow)
{
    TkvCustomDataController controller;
    int columns[2] = {};
    controller.AttachItem(&columns[0])->SetValueTypeClass(TkvStringValueType::Instance());
    controller.AttachItem(&columns[1])->SetValueTypeClass(TkvIntegerValueType::Instance());
    controller.BeginBatch();
    const std::pair<const char *, int> records[] = {{"b", 1}, {"a", 2}, {"b", 3}, {"c", 4}};
    for (const auto &[item, month] : records) {
        const int recordIndex = controller.AppendRecord();
        controller.SetValue(recordIndex, 0, Variant::fromUtf8(item));
        controller.SetValue(recordIndex, 1, Variant(month));
    }
    controller.EndBatch();
    controller.ChangeFocusedRowIndex(2);
    auto focused = [&] {
        const TkvRowInfo row = controller.GetRowInfo(controller.FocusedRowIndex());
        return std::string(row.IsGroupRow ? "group" : "data") + ":" + std::to_string(row.Level) + ":" +
               std::to_string(controller.FocusedRecordIndex());
    };
    ASSERT_EQ(focused(), "data:0:2");
    DataGroupsOf(controller)->PlaceInGrouping(0, 0); // by item: the group b opens to show it
    EXPECT_EQ(focused(), "data:1:2");
    DataGroupsOf(controller)->PlaceInGrouping(1, 1); // then by month, one level deeper
    EXPECT_EQ(focused(), "data:2:2");
    // A focused group row keeps its level through a change of the grouping below it.
    DataGroupsOf(controller)->SetExpanded(0, false, true);
    controller.ChangeFocusedRowIndex(0); // the group a
    ASSERT_EQ(focused(), "group:0:1");
    DataGroupsOf(controller)->PlaceInGrouping(1, -1);
    EXPECT_EQ(focused(), "group:0:1");
}

} // namespace
} // namespace kestrum

namespace kestrum {
namespace {

// The footer after every kind of edit must be what counting the visible
// records again gives, whether the rows follow one record or are rebuilt.
TEST(DataControllerSummaryEdits, FooterFollowsValueEditsInsertsDeletesAndFilters)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    TkvCustomDataController controller;
    int columns[2] = {};
    controller.AttachItem(&columns[0])->SetValueTypeClass(TkvFloatValueType::Instance());
    controller.AttachItem(&columns[1])->SetValueTypeClass(TkvStringValueType::Instance());
    TkvDataSummary &summary = *DataSummaryOf(controller);
    const TkvSummaryKind kinds[] = {skSum, skCount, skMin, skMax, skAverage};
    for (TkvSummaryKind kind : kinds) {
        TkvDataSummaryItem *item = summary.FooterSummaryItems().Add();
        item->SetLinkedItem(&columns[0]);
        item->SetKind(kind);
    }
    summary.SetOptions(soNullIgnore);
    controller.BeginBatch();
    for (int i = 0; i < 8; ++i) {
        const int r = controller.AppendRecord();
        controller.SetValue(r, 0, Variant(double(10 * (i + 1))));
        controller.SetValue(r, 1, Variant::fromUtf8(i % 2 ? "甲" : "乙"));
    }
    controller.EndBatch();

    // Counted again from the visible records: "sum count min max average".
    auto expected = [&controller] {
        double sum = 0, min = 1e300, max = -1e300;
        int count = 0;
        for (int row = 0; row < controller.RowCount(); ++row) {
            const Variant v = controller.GetValue(controller.GetRowRecordIndex(row), 0);
            if (v.isNull())
                continue;
            const double d = v.toDouble();
            sum += d;
            ++count;
            min = std::min(min, d);
            max = std::max(max, d);
        }
        if (count == 0)
            return std::string("Null 0 Null Null Null");
        return QString("%1 %2 %3 %4 %5").arg(sum).arg(count).arg(min).arg(max).arg(sum / count).toStdString();
    };
    auto footer = [&summary] {
        std::string text;
        for (int i = 0; i < 5; ++i) {
            const Variant v = summary.FooterValues(i);
            text += (i ? " " : "") +
                    (v.isNull() ? std::string("Null") : QString::number(v.toDouble()).toStdString());
        }
        return text;
    };
    for (int sorted = 0; sorted < 2; ++sorted) {
        SCOPED_TRACE(sorted ? "sorted by amount" : "in record order");
        if (sorted)
            DataSortingOf(controller)->ApplySortOrder(0, soDescending);
        EXPECT_EQ(footer(), expected());
        controller.SetValue(3, 0, Variant(1000.0)); // a new maximum
        EXPECT_EQ(footer(), expected());
        controller.SetValue(7, 0, Variant::null()); // leaves every item
        EXPECT_EQ(footer(), expected());
        controller.SetValue(7, 0, Variant(-5.0)); // back, as a new minimum
        EXPECT_EQ(footer(), expected());
        const int inserted = controller.InsertRecord(2);
        controller.SetValue(inserted, 0, Variant(333.0));
        EXPECT_EQ(footer(), expected());
        controller.DeleteRecord(4); // a record in the middle
        EXPECT_EQ(footer(), expected());
        controller.SetFindFilter(1, QString::fromUtf8("甲"));
        EXPECT_EQ(footer(), expected());
        controller.SetValue(controller.GetRowRecordIndex(0), 0, Variant(1.5)); // edited while filtered
        EXPECT_EQ(footer(), expected());
        controller.ClearFindFilter();
        EXPECT_EQ(footer(), expected());
        // Every value gone: the items show nothing.
        controller.BeginBatch();
        for (int r = 0; r < controller.RecordCount(); ++r)
            controller.SetValue(r, 0, Variant::null());
        controller.EndBatch();
        EXPECT_EQ(footer(), "Null 0 Null Null Null");
        for (int r = 0; r < controller.RecordCount(); ++r)
            controller.SetValue(r, 0, Variant(double(r + 1)));
        EXPECT_EQ(footer(), expected());
    }
}

} // namespace
} // namespace kestrum

namespace kestrum {
namespace {

TEST(DataControllerRelations, ExpandedDetailsFollowTheirRecordsThroughInsertsAndDeletes)
{
    TkvCustomDataController controller;
    int column = 0, level = 0;
    controller.AttachItem(&column);
    controller.SetRecordCount(6);
    controller.ChangeDetailExpanding(2, true); // no relation yet: nothing to expand
    EXPECT_FALSE(controller.IsDetailExpanded(2));
    EXPECT_FALSE(controller.HasRelations());
    controller.Relations().Add(&level);
    EXPECT_THROW(controller.Relations().Add(&level), EkvInvalidDataControllerOperation);
    EXPECT_THROW(controller.ChangeDetailExpanding(6, true), EkvInvalidDataControllerOperation);
    controller.ChangeDetailExpanding(2, true);
    controller.ChangeDetailExpanding(4, true);
    controller.InsertRecord(0);
    EXPECT_EQ(controller.Relations().ExpandedRecords(), (std::vector<int>{3, 5}));
    controller.DeleteRecord(3); // an expanded record goes with its state
    EXPECT_EQ(controller.Relations().ExpandedRecords(), (std::vector<int>{4}));
    controller.DeleteRecord(1);
    EXPECT_TRUE(controller.IsDetailExpanded(3));
    controller.SetRecordCount(3);
    EXPECT_TRUE(controller.Relations().ExpandedRecords().empty());
    controller.ChangeDetailExpanding(1, true);
    controller.Relations().Remove(controller.Relations().Items(0));
    EXPECT_FALSE(controller.IsDetailExpanded(1));
}

} // namespace
} // namespace kestrum
