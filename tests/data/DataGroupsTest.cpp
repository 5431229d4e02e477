#include "data/DataGroups.h"
#include "data/DataExpandingInfos.h"
#include "data/DataStorage.h"
#include "data/RecordComparer.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace kestrum;

namespace {

// Stand-ins for two grouped fields; the tree only compares their addresses.
TkvCustomDataField *const ItemField = reinterpret_cast<TkvCustomDataField *>(0x10);
TkvCustomDataField *const MonthField = reinterpret_cast<TkvCustomDataField *>(0x20);

//! Records of (item, month), grouped by item then month.
struct Grouped {
    TkvDataStorage storage;
    TkvValueDef *item = storage.ValueDefs().Add(TkvStringValueType::Instance(), true, nullptr, false);
    TkvValueDef *month = storage.ValueDefs().Add(TkvIntegerValueType::Instance(), true, nullptr, false);
    TkvRecordComparer comparer;
    std::vector<int> list;
    TkvDataGroups groups;

    void Add(const char *itemText, int monthValue)
    {
        int r = storage.AppendRecord();
        storage.SetValue(r, item, Variant::fromUtf8(itemText));
        storage.SetValue(r, month, Variant(monthValue));
    }
    void Build(std::vector<TkvCustomDataField *> fields = {ItemField, MonthField})
    {
        list.resize(storage.RecordCount());
        std::iota(list.begin(), list.end(), 0);
        comparer.Clear();
        comparer.AddKey(soAscending, TkvCompareMode::cmStoredValue).LoadStored(storage, item, list);
        comparer.AddKey(soAscending, TkvCompareMode::cmStoredValue).LoadStored(storage, month, list);
        comparer.Sort(list);
        groups.Build(
            fields, list, [&](int level, int a, int b) { return comparer.CompareKey(level, a, b) == 0; },
            [&](int level, int r) { return comparer.Key(level).ComparedValue(r); });
    }
    //! Visible rows: group rows as "[value]" (indented by level), data rows by record.
    std::string Rows() const
    {
        std::string text;
        for (int row = 0; row < groups.RowCount(); ++row) {
            TkvGroupRowInfo info = groups.RowInfo(row);
            if (!text.empty())
                text += ' ';
            if (info.IsGroupRow)
                text += std::string(info.Level, '.') + "[" +
                        groups.GroupValue(info.GroupIndex).toString().toStdString() + "]";
            else
                text += std::to_string(list[info.RecordPosition]);
        }
        return text;
    }
    int RowOf(const char *label) const
    {
        for (int row = 0; row < groups.RowCount(); ++row) {
            TkvGroupRowInfo info = groups.RowInfo(row);
            if (info.IsGroupRow && groups.GroupValue(info.GroupIndex).toString() == QString::fromUtf8(label))
                return row;
        }
        return -1;
    }
    void Toggle(const char *label, bool expanded, bool recursive = false)
    {
        groups.SetExpanded(groups.RowInfo(RowOf(label)).GroupIndex, expanded, recursive);
        groups.UpdateRowIndexes();
    }
};

void fill(Grouped &g)
{
    g.Add("b", 2); // 0
    g.Add("a", 1); // 1
    g.Add("b", 1); // 2
    g.Add("a", 1); // 3
    g.Add("b", 2); // 4
}

TEST(DataGroups, EmptyListHasNoRows)
{
    Grouped g;
    g.Build();
    EXPECT_EQ(g.groups.RowCount(), 0);
    EXPECT_EQ(g.groups.Count(), 0);
    EXPECT_EQ(g.groups.ChildCount(-1), 0);
}

TEST(DataGroups, BuildShowsLevelZeroThenExpandingRevealsChildren)
{
    Grouped g;
    fill(g);
    g.Build();
    EXPECT_EQ(g.groups.CheckConsistency(5), "");
    EXPECT_EQ(g.Rows(), "[a] [b]");
    g.Toggle("b", true);
    EXPECT_EQ(g.Rows(), "[a] [b] .[1] .[2]");
    g.Toggle("2", true);
    EXPECT_EQ(g.Rows(), "[a] [b] .[1] .[2] 0 4");
    EXPECT_EQ(g.groups.ChildCount(-1), 2);
    EXPECT_EQ(g.groups.ChildCount(g.groups.ChildGroupIndex(-1, 1)), 2);
    EXPECT_EQ(g.groups.ChildGroupIndex(-1, 2), -1);
    int deepB2 = g.groups.RowInfo(g.RowOf("2")).GroupIndex;
    EXPECT_EQ(g.groups.ChildCount(deepB2), 2);
    EXPECT_EQ(g.list[g.groups.ChildRecordPosition(deepB2, 1)], 4);
    EXPECT_EQ(g.groups.ChildRecordPosition(deepB2, 2), -1);
}

TEST(DataGroups, RecursiveCollapseHidesSubgroupsAndReexpandShowsThemCollapsed)
{
    Grouped g;
    fill(g);
    g.Build();
    g.Toggle("b", true, true);
    EXPECT_EQ(g.Rows(), "[a] [b] .[1] 2 .[2] 0 4");
    g.Toggle("b", false, true);
    EXPECT_EQ(g.Rows(), "[a] [b]");
    g.Toggle("b", true);
    EXPECT_EQ(g.Rows(), "[a] [b] .[1] .[2]");
}

TEST(DataGroups, HiddenRecordMapsToTheCollapsedGroupRow)
{
    Grouped g;
    fill(g);
    g.Build();
    g.Toggle("b", true);
    const int position = int(std::find(g.list.begin(), g.list.end(), 4) - g.list.begin());
    EXPECT_EQ(g.groups.RowIndexByRecordPosition(position), g.RowOf("2"));
    g.Toggle("2", true);
    EXPECT_EQ(g.groups.RowIndexByRecordPosition(position), g.RowOf("2") + 2);
    g.Toggle("b", false);
    EXPECT_EQ(g.groups.RowIndexByRecordPosition(position), g.RowOf("b"));
    EXPECT_EQ(g.groups.GroupIndexByRecordPosition(position, 0), g.groups.RowInfo(g.RowOf("b")).GroupIndex);
}

TEST(DataGroups, ExpansionSurvivesARebuildWithTheSameFields)
{
    Grouped g;
    fill(g);
    g.Build();
    g.Toggle("b", true);
    TkvDataExpandingInfos saved;
    saved.Save(esmExpanded, g.groups, {ItemField, MonthField});
    g.Add("c", 5);
    g.Add("b", 3);
    g.Build();
    EXPECT_TRUE(saved.Restore(g.groups, [&](const std::vector<Variant> &values) {
        int r = g.comparer.LocateByKeys(g.list, values);
        return r < 0 ? -1 : int(std::find(g.list.begin(), g.list.end(), r) - g.list.begin());
    }));
    EXPECT_EQ(g.Rows(), "[a] [b] .[1] .[2] .[3] [c]");
}

TEST(DataGroups, AGroupingChangeLosesExpansion)
{
    Grouped g;
    fill(g);
    g.Build();
    g.Toggle("b", true);
    TkvDataExpandingInfos saved;
    saved.Save(esmExpanded, g.groups, {ItemField, MonthField});
    EXPECT_EQ(saved.Count(), 1);
    g.Build({ItemField}); // one level less
    EXPECT_FALSE(saved.Restore(g.groups, [](const std::vector<Variant> &) { return 0; }));
    EXPECT_EQ(g.Rows(), "[a] [b]");
    // Saving against a grouping list that no longer matches the tree keeps nothing.
    TkvDataExpandingInfos stale;
    stale.Save(esmExpanded, g.groups, {ItemField, MonthField});
    EXPECT_EQ(stale.Count(), 0);
}

} // namespace
