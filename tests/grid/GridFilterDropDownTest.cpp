// The column filter drop-down, played on the controller over the real data
// controller: which entries a column lists, the popup's size and place, which
// entry describes the column's filter, what choosing one writes to the
// criteria, and the keys and the pointer in the popup.
#include "GridFilterTestGrid.h"

#include "filterdialogs/FilterDialogModel.h"

#include <QFontMetrics>

using namespace kestrum;
using namespace kestrum::test;

namespace {

// --- what the list holds -------------------------------------------------------------

TEST(GridFilterDropDownList, ThePressedButtonOpensSpecialEntriesBlanksAndSortedDistinctValues)
{
    FilterGrid grid = MakeFilterGrid({{1, "b"}, {2, std::nullopt}, {3, "a"}, {4, ""}, {5, "b"}, {6, "a"}});
    grid.OpenDropDown(grid.Item);
    ASSERT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::DropDown);
    EXPECT_EQ(grid.Ctl().FilterDropDownColumn(), grid.Item);
    // The button shows pressed while the list is open; the header itself does not.
    EXPECT_EQ(grid.FilterButton(grid.Item).State, TkvGridCellState::Pressed);
    EXPECT_EQ(grid.Header(grid.Item).State, TkvGridCellState::Normal);
    EXPECT_EQ(grid.FilterButton(grid.Amount).State, TkvGridCellState::Normal);
    // Null is blank; the empty text is a value unless Nulls are soft.
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|(为空)|(不为空)||a|b");
    EXPECT_EQ(grid.DropDown().Entry(2).Kind, vkBlanks);
    EXPECT_EQ(grid.DropDown().Entry(3).Kind, vkNonBlanks);
    EXPECT_EQ(grid.DropDown().ItemIndex(), -1); // no condition: nothing selected
    grid.DropDown().Close();
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    EXPECT_EQ(grid.FilterButton(grid.Item).State, TkvGridCellState::Normal);

    grid.Filter().SetOptions({fcoSoftNull});
    grid.OpenDropDown(grid.Item);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|(为空)|(不为空)|a|b");
}

TEST(GridFilterDropDownList, AnAllBlankColumnListsOnlyTheFourFixedEntries)
{
    FilterGrid grid = MakeFilterGrid({{1, std::nullopt}, {2, std::nullopt}});
    grid.OpenDropDown(grid.Item);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|(为空)|(不为空)");
    // Without blanks only the first two stand before the values.
    grid.OpenDropDown(grid.Amount);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|1|2");
}

TEST(GridFilterDropDownList, CaseAndOrderFollowTheCriteriaAndTheColumnsEditor)
{
    FilterGrid grid = MakeFilterGrid({{100, "a"}, {3, "B"}, {20, "A"}, {3, "b"}, {100, "a"}});
    grid.OpenDropDown(grid.Item);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|A|B|a|b"); // ordinal: capitals first
    grid.Filter().SetOptions({fcoCaseInsensitive});
    grid.OpenDropDown(grid.Item);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|a|B"); // the first record's spelling
    // The mask edit edits the text: amounts are ordered as numbers.
    grid.OpenDropDown(grid.Amount);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|3|20|100");
    // An editor that shows another text orders by the texts the locale's way.
    grid.Amount->SetRepositoryItem(TkvGridEditorItemKind::Currency);
    grid.OpenDropDown(grid.Amount);
    EXPECT_EQ(grid.DropDown().Count(), 5);
    EXPECT_LT(grid.DropDown().Entry(2).DisplayText, grid.DropDown().Entry(3).DisplayText);
    EXPECT_EQ(grid.DropDown().Entry(2).Value.toDouble(), 100); // "100" before "20" before "3"
}

TEST(GridFilterDropDownList, NarrowStringsAreToldApartByTheirBytesAndMergedByTheCriteriasOrder)
{
    FilterGrid grid =
        MakeFilterGrid({{1, "b"}, {2, ""}, {3, "B"}, {4, std::nullopt}, {5, "b"}, {6, "a"}}, true);
    grid.OpenDropDown(grid.Item);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|(为空)|(不为空)||B|a|b");
    grid.Filter().SetOptions({fcoCaseInsensitive, fcoSoftNull});
    grid.OpenDropDown(grid.Item);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|(为空)|(不为空)|a|b"); // "B" joins the first "b"
    grid.Filter().SetMaxValueListCount(3); // one value after the two fixed entries
    grid.OpenDropDown(grid.Item);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|(为空)|(不为空)|b");
}

TEST(GridFilterDropDownList, ValuesHiddenByAnotherColumnsFilterAndTheCapOnTheList)
{
    FilterGrid grid = MakeLedger();
    grid.Choose(grid.Item, "工资");
    ASSERT_EQ(grid.VisibleRecords(), 2);
    grid.OpenDropDown(grid.Amount);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|10|20|30|40"); // every record counts
    // The cap counts the fixed entries; the first values in record order make it.
    grid.Filter().SetMaxValueListCount(4);
    grid.OpenDropDown(grid.Amount);
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|10|40");
}

TEST(GridFilterDropDownList, TheEventsAdjustTheListAndItsTexts)
{
    FilterGrid grid = MakeLedger();
    std::vector<int> asked;
    grid.Filter().OnGetValueList = [&](TkvFilterCriteria *, int itemIndex, TkvDataFilterValueList &list) {
        asked.push_back(itemIndex);
        list.Add(vkUser, Variant(QStringLiteral("x")), QStringLiteral("(mine)"));
    };
    grid.Item->OnGetFilterValues = [](TkvCustomGridTableItem *, TkvFilterValueList &list) {
        list.Add(vkValue, Variant(QString::fromUtf8("房租")), QString::fromUtf8("房租"));
    };
    grid.Item->OnGetFilterDisplayText = [](TkvCustomGridTableItem *, const Variant &value, QString &text) {
        if (!value.isNull())
            text = "<" + text + ">";
    };
    grid.OpenDropDown(grid.Item);
    EXPECT_EQ(asked, std::vector<int>{1});
    // User entries stand after the fixed ones, before every value.
    EXPECT_EQ(grid.Entries(), "(全部)|(用户定制搜索)|<(mine)>|<房租>|<工资>|<奖金>|<利息>");
    // The user entry hands its value to the column's own filtering.
    QString seen;
    grid.Item->OnUserFiltering = [&](TkvGridColumn *, const Variant &value, const QString &text) {
        seen = value.toString() + "/" + text;
    };
    grid.DropDown().Apply(2);
    EXPECT_EQ(seen, "x/(mine)");
    EXPECT_TRUE(grid.Filter().Active());
    EXPECT_EQ(grid.Changes, 1);
}

// --- size and place -------------------------------------------------------------------

TEST(GridFilterDropDownSize, RowsWidthScrollBarAndPlaceBelowTheHeaderCell)
{
    std::vector<std::pair<Value, Text>> rows;
    for (int i = 0; i < 30; ++i)
        rows.push_back({i, "x"});
    FilterGrid grid = MakeFilterGrid(rows);
    grid.Amount->SetWidth(300);
    grid.OpenDropDown(grid.Amount);
    TkvGridFilterDropDown &dropDown = grid.DropDown();
    const QFontMetrics metrics(grid.View->Font());
    EXPECT_EQ(dropDown.Count(), 32);
    EXPECT_EQ(dropDown.VisibleRowCount(), 15);         // MaxDropDownCount
    EXPECT_GE(dropDown.RowHeight(), metrics.height()); // a line of "Qq", Chinese fallback included
    EXPECT_TRUE(dropDown.ScrollBarShown());
    // Narrower than the header cell: as wide as the cell, right-aligned below it.
    const QRect cell = grid.Header(grid.Amount).Bounds;
    EXPECT_EQ(dropDown.PopupBounds().width(), cell.width());
    EXPECT_EQ(dropDown.PopupBounds().right(), cell.right());
    EXPECT_EQ(dropDown.PopupBounds().top(), cell.bottom() + 1);
    EXPECT_EQ(dropDown.PopupBounds().height(),
              15 * dropDown.RowHeight() + 2 * TkvGridFilterDropDown::BorderWidth);

    // Wider texts: the widest plus 4 and the scroll bar.
    grid.Amount->SetWidth(20);
    grid.View->Filtering().SetMaxDropDownCount(0); // every row
    grid.OpenDropDown(grid.Amount);
    EXPECT_EQ(dropDown.VisibleRowCount(), 32);
    EXPECT_FALSE(dropDown.ScrollBarShown());
    EXPECT_EQ(dropDown.ClientSize().width(),
              metrics.horizontalAdvance(QString::fromUtf8("(用户定制搜索)")) + 4);
    grid.View->Filtering().SetDropDownWidth(150);
    grid.View->Filtering().SetMaxDropDownCount(10);
    grid.OpenDropDown(grid.Amount);
    EXPECT_EQ(dropDown.ClientSize().width(), 150 + dropDown.ScrollBarWidth());
}

// --- the entry that describes the filter ----------------------------------------------

TEST(GridFilterDropDownPreselect, TheEntryOfTheColumnsConditionIsSelected)
{
    FilterGrid grid = MakeFilterGrid({{1, "a"}, {2, std::nullopt}, {3, "b"}});
    TkvDataFilterCriteria &filter = grid.Filter();
    auto preselected = [&grid] {
        grid.OpenDropDown(grid.Item);
        const int index = grid.DropDown().ItemIndex();
        EXPECT_EQ(index, grid.DropDown().PreselectedIndex());
        return index < 0 ? std::string("none") : grid.DropDown().DisplayText(index).toStdString();
    };
    EXPECT_EQ(preselected(), "none");
    filter.AddItemCondition(nullptr, grid.Link(grid.Item), ocEqual, Variant(QStringLiteral("b")), {}, true);
    EXPECT_EQ(preselected(), "b");
    filter.AddItemCondition(nullptr, grid.Link(grid.Item), ocEqual, Variant::null(), {}, true);
    EXPECT_EQ(preselected(), "(为空)");
    filter.AddItemCondition(nullptr, grid.Link(grid.Item), ocNotEqual, Variant::null(), {}, true);
    EXPECT_EQ(preselected(), "(不为空)");
    filter.AddItemCondition(nullptr, grid.Link(grid.Item), ocLike, Variant(QStringLiteral("a%")), {}, true);
    EXPECT_EQ(preselected(), "(用户定制搜索)");
    filter.AddItemCondition(nullptr, grid.Link(grid.Item), ocEqual, Variant(QStringLiteral("zz")), {}, true);
    EXPECT_EQ(preselected(), "(全部)"); // no entry equals it
    filter.RemoveConditionsOf(grid.Link(grid.Item));
    TkvFilterCriteriaItemList *nested = filter.AppendSubList(nullptr, bcOr);
    filter.AppendCondition(nested, grid.Link(grid.Item), ocEqual, Variant(QStringLiteral("a")), "a");
    filter.AppendCondition(nested, grid.Link(grid.Item), ocEqual, Variant(QStringLiteral("b")), "b");
    EXPECT_EQ(preselected(), "(用户定制搜索)"); // not at the root
    // The filter button shows a column that holds a condition.
    EXPECT_TRUE(grid.FilterButton(grid.Item).Active);
    EXPECT_FALSE(grid.FilterButton(grid.Amount).Active);
}

// --- applying an entry ----------------------------------------------------------------

TEST(GridFilterDropDownApply, AValueReplacesTheColumnsConditionsInOneChangeAndSwitchesTheFilterOn)
{
    FilterGrid grid = MakeLedger();
    TkvDataFilterCriteria &filter = grid.Filter();
    filter.AddItemCondition(nullptr, grid.Link(grid.Amount), ocGreater, Variant(15.0), {}, false);
    filter.AddItemCondition(nullptr, grid.Link(grid.Item), ocLike, Variant(QStringLiteral("%")), {}, false);
    grid.Changes = 0;
    ASSERT_FALSE(filter.Active());
    grid.Choose(grid.Item, "工资");
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None); // closed first
    EXPECT_EQ(grid.Changes, 1);
    EXPECT_TRUE(filter.Active());
    ASSERT_EQ(filter.Root().Count(), 2); // the amount's condition stays
    const auto *condition = filter.FindConditionOf(grid.Link(grid.Item));
    ASSERT_NE(condition, nullptr);
    EXPECT_EQ(condition->Parent(), &filter.Root());
    EXPECT_EQ(condition->OperatorKind(), ocEqual);
    EXPECT_EQ(condition->Value().toString(), QString::fromUtf8("工资"));
    EXPECT_EQ(condition->DisplayValue(), QString::fromUtf8("工资"));
    EXPECT_EQ(grid.VisibleRecords(), 2); // 30 and 40 of 工资
    EXPECT_TRUE(grid.FilterButton(grid.Item).Active);
}

TEST(GridFilterDropDownApply, BlanksNonBlanksAndAll)
{
    FilterGrid grid = MakeFilterGrid({{1, "a"}, {2, std::nullopt}, {3, "b"}});
    TkvDataFilterCriteria &filter = grid.Filter();
    grid.Choose(grid.Item, "(为空)");
    const auto *condition = filter.FindConditionOf(grid.Link(grid.Item));
    ASSERT_NE(condition, nullptr);
    EXPECT_EQ(condition->OperatorKind(), ocEqual);
    EXPECT_TRUE(condition->Value().isNull());
    EXPECT_EQ(condition->DisplayValue(), QString::fromUtf8("空"));
    EXPECT_EQ(grid.VisibleRecords(), 1);
    grid.Choose(grid.Item, "(不为空)");
    EXPECT_EQ(filter.ConditionCount(), 1);
    EXPECT_EQ(filter.FindConditionOf(grid.Link(grid.Item))->OperatorKind(), ocNotEqual);
    EXPECT_EQ(grid.VisibleRecords(), 2);
    grid.Changes = 0;
    grid.Choose(grid.Item, "(全部)");
    EXPECT_EQ(grid.Changes, 1);
    EXPECT_EQ(filter.ConditionCount(), 0);
    EXPECT_TRUE(filter.Active()); // "all" leaves Active alone
    EXPECT_EQ(grid.VisibleRecords(), 3);
    // "All" on a column without conditions changes nothing at all.
    filter.SetActive(false);
    grid.Changes = 0;
    grid.Choose(grid.Item, "(全部)");
    EXPECT_EQ(grid.Changes, 0);
    EXPECT_FALSE(filter.Active());
}

TEST(GridFilterDropDownApply, TheCustomEntryGoesThroughTheColumnDialogHookWhateverTheShape)
{
    FilterGrid grid = MakeLedger();
    TkvDataFilterCriteria &filter = grid.Filter();
    std::string opened;
    bool answer = false;
    grid.Ctl().FilterDialogs().ShowColumnFilterDialog = [&](TkvGridTableView &, TkvGridColumn &column) {
        opened += "custom:" + column.Name().toStdString() + " ";
        return answer;
    };
    grid.Choose(grid.Item, "(用户定制搜索)");
    EXPECT_EQ(opened, "custom:item ");
    EXPECT_FALSE(filter.Active()); // cancelled
    EXPECT_EQ(grid.Changes, 1);    // the bracket closed once
    answer = true;
    grid.Choose(grid.Item, "(用户定制搜索)");
    EXPECT_TRUE(filter.Active()); // OK switches the filter on
    // An or at the root joining two columns: the hook chooses the builder itself.
    filter.Root().SetBoolOperatorKind(bcOr);
    filter.AddItemCondition(nullptr, grid.Link(grid.Amount), ocGreater, Variant(15.0), {}, false);
    filter.AddItemCondition(nullptr, grid.Link(grid.Item), ocEqual, Variant(QString::fromUtf8("工资")), {},
                            false);
    opened.clear();
    grid.Choose(grid.Item, "(用户定制搜索)");
    EXPECT_EQ(opened, "custom:item ");
    // Without a hook the entry only closes the list.
    grid.Ctl().FilterDialogs().ShowColumnFilterDialog = nullptr;
    grid.Choose(grid.Item, "(用户定制搜索)");
    EXPECT_FALSE(grid.DropDown().IsOpen());
}

// The builder's 应用, opened from the drop-down, reached the rows only after the dialog closed.
TEST(GridFilterDropDownApply, AnApplyInsideTheColumnDialogReachesTheRowsAtOnce)
{
    FilterGrid grid = MakeLedger();
    TkvDataFilterCriteria &filter = grid.Filter();
    int seenInDialog = -1;
    grid.Ctl().FilterDialogs().ShowColumnFilterDialog = [&](TkvGridTableView &, TkvGridColumn &) {
        // What 应用 does: the tree goes in and the filter is switched on.
        filter.AddItemCondition(nullptr, grid.Link(grid.Item), ocEqual, Variant(QString::fromUtf8("工资")),
                                {}, true);
        filter.SetActive(true);
        seenInDialog = grid.VisibleRecords();
        return false; // then 退出
    };
    grid.Choose(grid.Item, "(用户定制搜索)");
    EXPECT_EQ(seenInDialog, 2);
    EXPECT_EQ(grid.VisibleRecords(), 2) << "what was applied stays";
    EXPECT_TRUE(filter.Active());
}

//! The shapes the custom dialog takes and those left to the builder, as the
//! dialog module's rule decides for the hook.
TEST(GridFilterDropDownApply, ShapesTheCustomDialogCanShow)
{
    FilterGrid grid = MakeLedger();
    TkvDataFilterCriteria &filter = grid.Filter();
    const TkvFilterItemLink amount = grid.Link(grid.Amount);
    const TkvFilterItemLink item = grid.Link(grid.Item);
    EXPECT_TRUE(IsSimpleFilterCriteria(filter)); // empty
    filter.AppendCondition(nullptr, amount, ocNotLike, Variant(QStringLiteral("1%")), {});
    TkvFilterCriteriaItemList *pair = filter.AppendSubList(nullptr, bcOr);
    filter.AppendCondition(pair, item, ocEqual, Variant(QStringLiteral("a")), {});
    filter.AppendCondition(pair, item, ocLess, Variant(QStringLiteral("b")), {});
    EXPECT_TRUE(IsSimpleFilterCriteria(filter));
    filter.AppendCondition(nullptr, item, ocEqual, Variant(QStringLiteral("c")), {}); // item used twice
    EXPECT_FALSE(IsSimpleFilterCriteria(filter));
    filter.ClearTree();
    filter.AppendCondition(nullptr, amount, ocBetween, Variant::fromArray({Variant(1.0), Variant(2.0)}),
                           {}); // beyond not like
    EXPECT_FALSE(IsSimpleFilterCriteria(filter));
    filter.ClearTree();
    TkvFilterCriteriaItemList *mixed = filter.AppendSubList(nullptr, bcAnd);
    filter.AppendCondition(mixed, item, ocEqual, Variant(QStringLiteral("a")), {});
    filter.AppendCondition(mixed, amount, ocEqual, Variant(1.0), {}); // two items in one pair
    EXPECT_FALSE(IsSimpleFilterCriteria(filter));
}

// --- keys and pointer in the popup ------------------------------------------------------

TEST(GridFilterDropDownInput, KeysMoveTheSelectionEnterAppliesEscClosesWithoutChange)
{
    FilterGrid grid = MakeLedger();
    grid.OpenDropDown(grid.Item);
    TkvGridFilterDropDown &dropDown = grid.DropDown();
    EXPECT_TRUE(dropDown.KeyDown(TkvGridKey::Down)); // from none to the first
    EXPECT_EQ(dropDown.ItemIndex(), 0);
    dropDown.KeyDown(TkvGridKey::End);
    EXPECT_EQ(dropDown.ItemIndex(), 4);
    dropDown.KeyDown(TkvGridKey::Down); // stays on the last
    EXPECT_EQ(dropDown.ItemIndex(), 4);
    dropDown.KeyDown(TkvGridKey::Home);
    dropDown.KeyDown(TkvGridKey::PageDown);
    EXPECT_EQ(dropDown.ItemIndex(), 4);
    dropDown.KeyDown(TkvGridKey::Up);
    EXPECT_EQ(dropDown.DisplayText(dropDown.ItemIndex()), QString::fromUtf8("奖金")); // narrow byte order
    // Esc, here through the grid's own keys, closes and changes nothing.
    EXPECT_TRUE(grid.Ctl().KeyDown(TkvGridKey::Escape, NoKeys));
    EXPECT_FALSE(dropDown.IsOpen());
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    EXPECT_EQ(grid.Filter().ConditionCount(), 0);
    EXPECT_EQ(grid.Changes, 0);
    grid.OpenDropDown(grid.Item);
    dropDown.KeyDown(TkvGridKey::End);
    dropDown.KeyDown(TkvGridKey::Up);
    dropDown.KeyDown(TkvGridKey::Enter);
    EXPECT_FALSE(dropDown.IsOpen());
    EXPECT_EQ(grid.VisibleRecords(), 2);
}

TEST(GridFilterDropDownInput, ThePointerSelectsTheRowItIsOverAndAReleaseThereApplies)
{
    FilterGrid grid = MakeLedger();
    grid.OpenDropDown(grid.Item);
    TkvGridFilterDropDown &dropDown = grid.DropDown();
    const int rowHeight = dropDown.RowHeight();
    EXPECT_EQ(dropDown.RowAt(QPoint(3, 3 * rowHeight + 1)), 3);
    EXPECT_EQ(dropDown.RowAt(QPoint(3, -1)), -1);
    EXPECT_EQ(dropDown.RowAt(QPoint(3, dropDown.Count() * rowHeight)), -1);
    dropDown.HotTrack(dropDown.RowAt(QPoint(3, 2 * rowHeight + 1)));
    EXPECT_EQ(dropDown.ItemIndex(), 2);
    dropDown.HotTrack(-1); // off the rows: the selection stays
    EXPECT_EQ(dropDown.ItemIndex(), 2);
    dropDown.Apply(dropDown.RowAt(QPoint(3, 2 * rowHeight + 1)));
    EXPECT_EQ(grid.Filter().FindConditionOf(grid.Link(grid.Item))->Value().toString(),
              QString::fromUtf8("工资"));
}

TEST(GridFilterDropDownInput, AGroupByBoxHeadersButtonOpensTheListBelowThatHeader)
{
    FilterGrid grid = MakeLedger();
    grid.View->OptionsCustomize().SetColumnHidingOnGrouping(false);
    grid.Item->SetGroupIndex(0);
    const auto &boxHeader = grid.View->ViewInfo().GroupByBoxHeaders().front();
    QPoint button;
    for (const auto &area : boxHeader.Areas)
        if (area.Kind == TkvGridHeaderAreaKind::FilterButton)
            button = area.Bounds.center();
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, button, NoKeys, false);
    ASSERT_TRUE(grid.DropDown().IsOpen());
    EXPECT_EQ(grid.Ctl().FilterDropDownContainer(), TkvGridHeaderContainer::GroupByBox);
    EXPECT_EQ(grid.DropDown().PopupBounds().top(), boxHeader.Bounds.bottom() + 1);
    // Only the button pressed shows pressed, not the same column's button in the header row.
    for (const auto &area : grid.View->ViewInfo().GroupByBoxHeaders().front().Areas) {
        if (area.Kind == TkvGridHeaderAreaKind::FilterButton) {
            EXPECT_EQ(area.State, TkvGridCellState::Pressed);
        }
    }
    for (const auto &cell : grid.View->ViewInfo().HeaderCells())
        if (cell.Column == grid.Item)
            for (const auto &area : cell.Areas) {
                if (area.Kind == TkvGridHeaderAreaKind::FilterButton) {
                    EXPECT_EQ(area.State, TkvGridCellState::Normal);
                }
            }
}

} // namespace

// Guards: a column removed while its drop-down was open stayed the drop-down's column.
TEST(GridFilterDropDownColumn, RemovingTheColumnWhileItsListIsOpenClosesTheList)
{
    FilterGrid grid = MakeFilterGrid({{1, "b"}, {2, "a"}});
    grid.OpenDropDown(grid.Item);
    ASSERT_TRUE(grid.DropDown().IsOpen());
    std::unique_ptr<TkvCustomGridTableItem> removed = grid.View->RemoveItem(grid.Item);
    EXPECT_FALSE(grid.DropDown().IsOpen());
    EXPECT_EQ(grid.DropDown().Column(), nullptr);
    EXPECT_EQ(grid.Ctl().FilterDropDownColumn(), nullptr);
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    EXPECT_FALSE(grid.DropDown().KeyDown(TkvGridKey::Enter)); // nothing left to apply
    EXPECT_EQ(grid.Changes, 0);
}
