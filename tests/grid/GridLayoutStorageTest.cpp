// Stored view layouts: what is stored (values that differ from their
// defaults), the round trip into a freshly built view, and bad or cut
// layouts that must raise the read error and leave the view as it was.
#include "GridTestSource.h"

#include "core/Errors.h"
#include "grid/GridViewLayout.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

std::vector<std::vector<QString>> Records()
{
    return {
        {"100", QString::fromUtf8("工资"), "2006-7-1", ""},
        {"20", QString::fromUtf8("奖金"), "2006-7-5", ""},
        {"200", QString::fromUtf8("工资"), "2006-7-9", ""},
    };
}

//! Everything a layout restores, as one comparable text.
std::string Describe(TkvGridTableView &view)
{
    std::string text;
    for (int i = 0; i < view.ColumnCount(); ++i) {
        TkvGridColumn *column = view.Columns(i);
        text += column->Name().toStdString() + "[" + column->Caption().toStdString() + "," +
                std::to_string(column->Width()) + "," + (column->Visible() ? "v" : "h") + "," +
                std::to_string(column->GroupIndex()) + "," +
                std::to_string(static_cast<int>(view.DataController().ItemSortOrder(i))) + "," +
                view.DataController().FieldName(i).toStdString() + "]";
    }
    return text;
}

std::vector<QString> Names(const TkvGridStoredLayout::Item &item)
{
    std::vector<QString> names;
    for (const TkvGridStoredProperty &property : item.Properties)
        names.push_back(property.Name);
    return names;
}

} // namespace

TEST(GridLayoutStorage, StoresOnlyChangedValuesAndRestoresThemIntoAFreshView)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    // As built: the amount column keeps its derived caption and width.
    TkvGridStoredLayout stored = ParseGridLayout(TkvGridViewLayoutStorage::Store(view));
    ASSERT_EQ(stored.Items.size(), 4u);
    EXPECT_EQ(Names(stored.Items[0]), (std::vector<QString>{"Index", "FieldName"}));
    EXPECT_EQ(Names(stored.Items[1]), (std::vector<QString>{"Index", "Caption", "Width", "FieldName"}));
    EXPECT_FALSE(stored.HasCriteria); // this source has no criteria

    grid.Date->SetIndex(0);
    grid.Remark->SetVisible(false);
    grid.Amount->SetWidth(90);
    grid.Amount->SetCaption(QString());
    grid.Item->SetGroupIndex(0);
    grid.Date->SetSortOrder(TkvGridSortMark::Descending);
    const std::string bytes = TkvGridViewLayoutStorage::Store(view);
    const std::string expected = Describe(view);

    LedgerGrid fresh = MakeLedgerGrid(true, Records());
    fresh.Source().Reload();
    ASSERT_NE(Describe(*fresh.View), expected);
    TkvGridViewLayoutStorage::Restore(*fresh.View, bytes);
    EXPECT_EQ(Describe(*fresh.View), expected);
    // The explicitly empty caption stays empty instead of falling back to the field name.
    EXPECT_TRUE(fresh.Amount->Caption().isEmpty());
    EXPECT_TRUE(fresh.Amount->IsCaptionAssigned());
    EXPECT_EQ(fresh.View->VisibleColumns(0), fresh.Date);
    // Restoring into the view it came from changes nothing.
    TkvGridViewLayoutStorage::Restore(view, bytes);
    EXPECT_EQ(Describe(view), expected);
}

TEST(GridLayoutStorage, BadOrCutLayoutsRaiseTheReadErrorAndChangeNothing)
{
    LedgerGrid source = MakeLedgerGrid(true, Records());
    source.Item->SetGroupIndex(0);
    source.Remark->SetWidth(321);
    source.Date->SetVisible(false);
    const std::string good = TkvGridViewLayoutStorage::Store(*source.View);

    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    grid.Amount->SetWidth(77);
    const std::string before = Describe(*grid.View);
    auto rejected = [&](const std::string &bytes) {
        try {
            TkvGridViewLayoutStorage::Restore(*grid.View, bytes);
        } catch (const EReadError &error) {
            EXPECT_STREQ(error.what(), "Stream read error");
            return Describe(*grid.View) == before;
        }
        return false;
    };
    // Every cut short of the whole layout.
    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_TRUE(rejected(good.substr(0, length))) << length;
    // Trailing bytes, a wrong signature.
    EXPECT_TRUE(rejected(good + "x"));
    EXPECT_TRUE(rejected("XGL1" + good.substr(4)));

    // Well-formed bytes that do not fit this view.
    auto layoutWith = [&](const QString &column, const QString &property, const Variant &value) {
        TkvGridStoredLayout layout = ParseGridLayout(good);
        for (auto &item : layout.Items)
            if (item.Name == column)
                item.Properties.push_back({property, value});
        return WriteGridLayout(layout);
    };
    const QString remark = source.Remark->Name();
    EXPECT_TRUE(rejected(layoutWith(remark, "Width", Variant(-5))));
    EXPECT_TRUE(rejected(layoutWith(remark, "Bogus", Variant(1))));
    EXPECT_TRUE(rejected(layoutWith(remark, "Visible", Variant(QString("yes")))));
    EXPECT_TRUE(rejected(layoutWith(remark, "GroupIndex", Variant(9))));
    EXPECT_TRUE(rejected(layoutWith(remark, "Width", Variant(10)))); // stored twice
    TkvGridStoredLayout unknown = ParseGridLayout(good);
    unknown.Items[0].Name = "NoSuchColumn";
    EXPECT_TRUE(rejected(WriteGridLayout(unknown)));
    // The good layout itself goes in.
    TkvGridViewLayoutStorage::Restore(*grid.View, good);
    EXPECT_EQ(grid.Remark->Width(), 321);
    EXPECT_FALSE(grid.Date->Visible());
    EXPECT_EQ(grid.Item->GroupIndex(), 0);
}
