// The column filter drop-down, the filter box and the customization form,
// played on the controller over the real data controller: which entries a
// column lists, which one describes its filter, what choosing one writes to
// the criteria, the keys of the popup, the filter box buttons, and header
// drags to and from the customization form.
#include "data/ValueTypes.h"
#include "filter/DataFilterCriteria.h"
#include "filter/dialogs/FilterDialogModel.h"
#include "grid/TkvGridCustomizationForm.h"
#include "grid/TkvGridDataControllerSource.h"
#include "grid/TkvGridFilterDropDown.h"
#include "grid/TkvGridFilterPopup.h"
#include "grid/TkvGridSite.h"
#include "grid/TkvGridTableView.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace kestrum;

namespace {

constexpr TkvGridShiftState NoKeys{};

struct FilterGrid {
    std::unique_ptr<TkvGridTableView> View;
    TkvGridColumn *Amount = nullptr;
    TkvGridColumn *Item = nullptr;
    TkvGridColumn *Remark = nullptr;
    int Changes = 0; //!< criteria changes seen

    TkvCustomDataController &Controller() const { return View->ControllerSource()->Controller(); }
    TkvGridTableController &Ctl() const { return View->Controller(); }
    TkvDataFilterCriteria &Filter() const { return *View->Filter(); }
    TkvGridFilterDropDown &DropDown() const { return *Ctl().FilterDropDown(); }
    TkvFilterItemLink Link(TkvGridColumn *column) const { return Filter().ItemField(column->Index()); }

    const TkvGridHeaderCellViewInfo &Header(TkvGridColumn *column) const
    {
        for (const auto &cell : View->ViewInfo().HeaderCells())
            if (cell.Column == column)
                return cell;
        for (const auto &cell : View->ViewInfo().GroupByBoxHeaders())
            if (cell.Column == column)
                return cell;
        throw std::runtime_error("no header");
    }
    const TkvGridHeaderAreaViewInfo &FilterButton(TkvGridColumn *column) const
    {
        for (const auto &area : Header(column).Areas)
            if (area.Kind == TkvGridHeaderAreaKind::FilterButton)
                return area;
        throw std::runtime_error("no filter button");
    }
    //! Presses the column's filter button and releases the button where it went down.
    void OpenDropDown(TkvGridColumn *column)
    {
        const QPoint point = FilterButton(column).Bounds.center();
        Ctl().MouseDown(TkvGridMouseButton::Left, point, NoKeys, false);
        Ctl().MouseUp(TkvGridMouseButton::Left, point, NoKeys);
    }
    //! The display texts of the open list, separated by "|".
    std::string Entries() const
    {
        std::string text;
        const TkvGridFilterDropDown &dropDown = DropDown();
        for (int i = 0; i < dropDown.Count(); ++i)
            text += (i ? "|" : "") + dropDown.DisplayText(i).toStdString();
        return text;
    }
    int IndexOf(const char *text) const
    {
        for (int i = 0; i < DropDown().Count(); ++i)
            if (DropDown().DisplayText(i) == QString::fromUtf8(text))
                return i;
        return -1;
    }
    void Choose(TkvGridColumn *column, const char *text)
    {
        OpenDropDown(column);
        const int index = IndexOf(text);
        ASSERT_GE(index, 0) << text;
        DropDown().Apply(index);
    }
    int VisibleRecords() const { return Controller().RowCount(); }
    const TkvGridFilterBoxButtonViewInfo *FilterBoxButton(TkvGridHitKind kind) const
    {
        for (const auto &button : View->ViewInfo().FilterBoxButtons())
            if (button.Kind == kind)
                return &button;
        return nullptr;
    }
    void ClickFilterBox(TkvGridHitKind kind)
    {
        const QPoint point = FilterBoxButton(kind)->Bounds.center();
        Ctl().MouseDown(TkvGridMouseButton::Left, point, NoKeys, false);
        Ctl().MouseUp(TkvGridMouseButton::Left, point, NoKeys);
    }
};

using Value = std::optional<double>;
using Text = std::optional<const char *>;

//! Amount (float), item (wide string) and remark (wide string); nullopt is Null.
FilterGrid MakeFilterGrid(const std::vector<std::pair<Value, Text>> &rows)
{
    FilterGrid grid;
    grid.View = MakeGridView<TkvGridTableView>();
    TkvGridTableView &view = *grid.View;
    view.BeginLoading();
    grid.Amount = view.CreateColumn("amount");
    grid.Item = view.CreateColumn("item");
    grid.Remark = view.CreateColumn("remark");
    for (TkvGridColumn *column : {grid.Amount, grid.Item, grid.Remark})
        column->SetWidth(100);
    view.SetBounds(QRect(0, 0, 600, 400));
    TkvCustomDataController &controller = grid.Controller();
    controller.ChangeValueTypeClass(0, TkvFloatValueType::Instance());
    controller.ChangeValueTypeClass(1, TkvWideStringValueType::Instance());
    controller.ChangeValueTypeClass(2, TkvWideStringValueType::Instance());
    view.EndLoading();
    controller.BeginBatch();
    controller.SetRecordCount(int(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto &[amount, item] = rows[r];
        controller.SetValue(int(r), 0, amount ? Variant(*amount) : Variant::null());
        controller.SetValue(int(r), 1, item ? Variant(QString::fromUtf8(*item)) : Variant::null());
        controller.SetValue(int(r), 2, Variant(QString::number(r)));
    }
    controller.EndBatch();
    grid.Filter().OnChanged = [&changes = grid.Changes](TkvFilterCriteria *) { ++changes; };
    return grid;
}

FilterGrid MakeLedger()
{
    return MakeFilterGrid({{40, "工资"}, {10, "奖金"}, {30, "工资"}, {20, "利息"}, {40, "奖金"}});
}

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

// --- the filter box ---------------------------------------------------------------------

TEST(GridFilterBox, ShowsTheCaptionWhileFilteredWithItsButtonsAndGoesWithTheLastCondition)
{
    FilterGrid grid = MakeLedger();
    EXPECT_TRUE(grid.View->ViewInfo().FilterBoxBounds().isNull());
    grid.Choose(grid.Item, "工资");
    const TkvGridTableViewInfo &info = grid.View->ViewInfo();
    ASSERT_FALSE(info.FilterBoxBounds().isNull());
    EXPECT_EQ(info.FilterBoxText(), grid.Filter().CaptionText());
    EXPECT_FALSE(info.FilterBoxText().isEmpty());
    const auto *close = grid.FilterBoxButton(TkvGridHitKind::FilterBoxCloseButton);
    const auto *check = grid.FilterBoxButton(TkvGridHitKind::FilterBoxActivateButton);
    const auto *customize = grid.FilterBoxButton(TkvGridHitKind::FilterBoxCustomizeButton);
    ASSERT_TRUE(close && check && customize);
    const QRect box = info.FilterBoxBounds();
    EXPECT_EQ(close->Bounds.left(), box.left() + 4);
    EXPECT_EQ(check->Bounds.left(), close->Bounds.right() + 1 + 4);
    EXPECT_EQ(customize->Bounds.right(), box.right() - 4);
    EXPECT_EQ(customize->Text, QString::fromUtf8("自定义..."));
    EXPECT_TRUE(check->Checked);
    // The text lies between the two groups, 3 pixels off each.
    EXPECT_EQ(info.FilterBoxTextBounds().left(), check->Bounds.right() + 1 + 4 + 3);
    EXPECT_EQ(info.FilterBoxTextBounds().right(), customize->Bounds.left() - 4 - 3 - 1);

    // The check box switches the filter off and on.
    grid.ClickFilterBox(TkvGridHitKind::FilterBoxActivateButton);
    EXPECT_FALSE(grid.Filter().Active());
    EXPECT_EQ(grid.VisibleRecords(), 5);
    EXPECT_FALSE(grid.FilterBoxButton(TkvGridHitKind::FilterBoxActivateButton)->Checked);
    grid.ClickFilterBox(TkvGridHitKind::FilterBoxActivateButton);
    EXPECT_TRUE(grid.Filter().Active());
    EXPECT_EQ(grid.VisibleRecords(), 2);
    // A press released off the button clicks nothing.
    const QPoint press = grid.FilterBoxButton(TkvGridHitKind::FilterBoxCloseButton)->Bounds.center();
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, press, NoKeys, false);
    EXPECT_EQ(grid.FilterBoxButton(TkvGridHitKind::FilterBoxCloseButton)->State, TkvGridCellState::Pressed);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, grid.View->ViewInfo().RowsAreaBounds().center(), NoKeys);
    EXPECT_EQ(grid.Filter().ConditionCount(), 1);
    // Close clears the criteria, and the box goes with the last condition.
    grid.ClickFilterBox(TkvGridHitKind::FilterBoxCloseButton);
    EXPECT_EQ(grid.Filter().ConditionCount(), 0);
    EXPECT_EQ(grid.VisibleRecords(), 5);
    EXPECT_TRUE(grid.View->ViewInfo().FilterBoxBounds().isNull());
}

TEST(GridFilterBox, AlwaysVisibleShowsTheEmptyTextAndCustomizeOpensTheBuilder)
{
    FilterGrid grid = MakeLedger();
    int builder = 0;
    grid.Ctl().FilterDialogs().ShowFilterBuilderDialog = [&](TkvGridTableView &) { return ++builder > 0; };
    grid.View->Filtering().SetVisible(fvAlways);
    EXPECT_EQ(grid.View->ViewInfo().FilterBoxText(), QString::fromUtf8("<过滤器为空>"));
    grid.ClickFilterBox(TkvGridHitKind::FilterBoxCustomizeButton);
    EXPECT_EQ(builder, 1);
    grid.View->Filtering().SetCustomizeDialog(false);
    EXPECT_EQ(grid.FilterBoxButton(TkvGridHitKind::FilterBoxCustomizeButton), nullptr);
    grid.View->Filtering().SetVisible(fvNever);
    grid.Choose(grid.Item, "工资");
    EXPECT_TRUE(grid.View->ViewInfo().FilterBoxBounds().isNull());
}

// --- the customization form -------------------------------------------------------------

TEST(GridCustomizationForm, HeadersDraggedOntoItHideAndColumnsDraggedFromItShow)
{
    FilterGrid grid = MakeLedger();
    int closed = 0;
    grid.View->OnCustomization = [&](TkvGridTableView *) { ++closed; };
    grid.Ctl().SetCustomizing(true);
    const QRect form = grid.Ctl().CustomizationFormBounds();
    EXPECT_EQ(form.size(), QSize(180, 300));
    EXPECT_EQ(form.bottomRight(), grid.View->Bounds().bottomRight());
    EXPECT_TRUE(grid.Ctl().CustomizationColumns().empty());
    // A header dropped on the form is hidden, though ColumnHiding is off.
    const QPoint onAmount = grid.Header(grid.Amount).Bounds.center();
    const QPoint onForm = form.center();
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, onAmount, NoKeys, false);
    grid.Ctl().MouseMove(onForm, NoKeys);
    EXPECT_EQ(grid.Ctl().DragDestination(), TkvGridHeaderContainer::Customization);
    EXPECT_TRUE(grid.Ctl().IsDropAllowed());
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, onForm, NoKeys);
    EXPECT_FALSE(grid.Amount->Visible());
    EXPECT_EQ(grid.Ctl().CustomizationColumns(), std::vector<TkvGridColumn *>{grid.Amount});
    // From the form back between item and remark.
    const QRect remark = grid.Header(grid.Remark).Bounds;
    const QPoint gap(remark.left() + 2, remark.center().y());
    grid.Ctl().CustomizationMouseDown(grid.Amount, onForm);
    grid.Ctl().MouseMove(gap, NoKeys);
    EXPECT_EQ(grid.Ctl().DragSource(), TkvGridHeaderContainer::Customization);
    EXPECT_EQ(grid.Ctl().DragDestination(), TkvGridHeaderContainer::HeaderRow);
    ASSERT_NE(grid.Ctl().DragImage(), nullptr);
    EXPECT_EQ(grid.Ctl().DragImage()->Text, grid.Amount->Caption());
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, gap, NoKeys);
    EXPECT_TRUE(grid.Amount->Visible());
    EXPECT_EQ(grid.Amount->VisibleIndex(), 1);
    EXPECT_TRUE(grid.Ctl().CustomizationColumns().empty());
    // A column from the form dropped back on the form, or clicked, changes nothing.
    grid.Item->SetVisible(false);
    grid.Ctl().CustomizationMouseDown(grid.Item, onForm);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, onForm, NoKeys);
    grid.Ctl().CustomizationMouseDown(grid.Item, onForm);
    grid.Ctl().MouseMove(onForm + QPoint(30, 30), NoKeys);
    EXPECT_FALSE(grid.Ctl().IsDropAllowed());
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, onForm + QPoint(30, 30), NoKeys);
    EXPECT_FALSE(grid.Item->Visible());
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::None);
    // Closing fires OnCustomization; the form comes back where it was placed.
    grid.Ctl().SetCustomizationFormBounds(QRect(10, 20, 180, 300));
    grid.Ctl().SetCustomizing(false);
    EXPECT_EQ(closed, 1);
    grid.Ctl().SetCustomizing(true);
    EXPECT_EQ(grid.Ctl().CustomizationFormBounds(), QRect(10, 20, 180, 300));
    // Without the form a drag off the grid needs ColumnHiding.
    grid.Ctl().SetCustomizing(false);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.Header(grid.Remark).Bounds.center(), NoKeys, false);
    grid.Ctl().MouseMove(QPoint(300, 250), NoKeys);
    EXPECT_FALSE(grid.Ctl().IsDropAllowed());
    grid.Ctl().CancelHeaderAction();
}

// --- mended faults of the header drag ----------------------------------------------------

TEST(GridHeaderDragMended, AutoScrollFindsTheZoneUnderTheStillPointerAgain)
{
    FilterGrid grid = MakeLedger();
    grid.View->SetBounds(QRect(0, 0, 200, 300));
    const QRect header = grid.View->ViewInfo().HeaderBounds();
    const QPoint nearRight(grid.View->ViewInfo().RowsAreaBounds().right() - 5, header.center().y());
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.Header(grid.Amount).Bounds.center(), NoKeys, false);
    grid.Ctl().MouseMove(nearRight, NoKeys);
    ASSERT_EQ(grid.Ctl().DragScrollDirection(), 1);
    EXPECT_EQ(grid.Ctl().DragZone(), 2); // between item and remark
    // The view scrolls under the pointer, which does not move: remark's middle passes it.
    for (int step = 0; step < 10 && grid.Ctl().DragZone() == 2; ++step)
        grid.Ctl().DragScrollStep();
    EXPECT_EQ(grid.Ctl().DragZone(), 3);
    EXPECT_TRUE(grid.Ctl().IsDropAllowed());
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, nearRight, NoKeys);
    EXPECT_EQ(grid.Amount->VisibleIndex(), 2); // after remark, where the marker stood
}

TEST(GridHeaderDragMended, VisibleBeforeGroupingIsTakenEachTimeTheColumnIsGrouped)
{
    FilterGrid grid = MakeLedger();
    grid.View->OptionsCustomize().SetColumnHiding(true);
    const QPoint box = grid.View->ViewInfo().GroupByBoxBounds().center();
    // Grouped while visible (and hidden by the grouping), ungrouped off the grid: shown again.
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.Header(grid.Item).Bounds.center(), NoKeys, false);
    grid.Ctl().MouseMove(box, NoKeys);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, box, NoKeys);
    ASSERT_EQ(grid.Item->GroupIndex(), 0);
    ASSERT_FALSE(grid.Item->Visible());
    const QPoint off(300, 250);
    const QPoint boxHeader = grid.Header(grid.Item).Bounds.center();
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, boxHeader, NoKeys, false);
    grid.Ctl().MouseMove(off, NoKeys);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, off, NoKeys);
    ASSERT_EQ(grid.Item->GroupIndex(), -1);
    ASSERT_TRUE(grid.Item->Visible());
    // Hidden now, then grouped again: ungrouping must leave it hidden.
    grid.Item->SetVisible(false);
    grid.Item->SetGroupIndex(0);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.Header(grid.Item).Bounds.center(), NoKeys, false);
    grid.Ctl().MouseMove(off, NoKeys);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, off, NoKeys);
    EXPECT_EQ(grid.Item->GroupIndex(), -1);
    EXPECT_FALSE(grid.Item->Visible());
}

} // namespace

// --- the windows, made by a site ----------------------------------------------------------

namespace {

//! The offscreen platform cannot raise windows or grab the keyboard for a
//! popup; it says so, which is no fault of the windows under test.
class OffscreenPopupFilter {
public:
    OffscreenPopupFilter() { FPrevious = qInstallMessageHandler(&Filter); }
    ~OffscreenPopupFilter() { qInstallMessageHandler(FPrevious); }

private:
    static void Filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (message.startsWith("This plugin does not support"))
            return;
        FPrevious(type, context, message);
    }
    static inline QtMessageHandler FPrevious = nullptr;
};

TkvGridFilterPopup *PopupOf(TkvGridTableController &controller)
{
    auto *window = dynamic_cast<TkvGridFilterPopupWindow *>(controller.FilterDropDown()->Window());
    return window ? window->Widget() : nullptr;
}

} // namespace

TEST(GridFilterWindows, ThePopupIsMadeOnceShowsTheListAndClosesOnEscWithoutChange)
{
    OffscreenPopupFilter quiet;
    FilterGrid grid = MakeLedger();
    TkvGridSite site;
    site.resize(600, 400);
    site.SetGridView(grid.View.get());
    site.show();
    grid.OpenDropDown(grid.Item);
    TkvGridFilterPopup *popup = PopupOf(grid.Ctl());
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->size(), grid.DropDown().PopupBounds().size());
    // The popup taking the focus does not end the drop-down.
    QFocusEvent focusOut(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(&site, &focusOut);
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::DropDown);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(popup, &down);
    EXPECT_EQ(grid.DropDown().ItemIndex(), 0);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(popup, &escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    EXPECT_EQ(grid.Changes, 0);
    // Hidden from outside (a click elsewhere): the drop-down closes with it.
    grid.OpenDropDown(grid.Amount);
    EXPECT_EQ(PopupOf(grid.Ctl()), popup); // kept and reused
    popup->hide();
    EXPECT_FALSE(grid.DropDown().IsOpen());
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    // Enter applies the selected row.
    grid.OpenDropDown(grid.Item);
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QApplication::sendEvent(popup, &end);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(popup, &enter);
    EXPECT_EQ(grid.Filter().ConditionCount(), 1);
    EXPECT_EQ(grid.VisibleRecords(), 1); // 利息
    site.SetGridView(nullptr);
}

TEST(GridFilterWindows, TheCustomizationFormHasItsCaptionsAndClosingItEndsTheState)
{
    OffscreenPopupFilter quiet;
    FilterGrid grid = MakeLedger();
    int closed = 0;
    grid.View->OnCustomization = [&](TkvGridTableView *) { ++closed; };
    TkvGridSite site;
    site.resize(600, 400);
    site.SetGridView(grid.View.get());
    site.show();
    grid.Ctl().SetCustomizing(true);
    TkvGridCustomizationForm *form = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *candidate = qobject_cast<TkvGridCustomizationForm *>(widget))
            form = candidate;
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Orvane 列表自定义选框"));
    auto *pages = form->findChild<QTabWidget *>();
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->count(), 1);
    EXPECT_EQ(pages->tabText(0), QString::fromUtf8("列 (请拖拽使用)"));
    grid.Remark->SetVisible(false);
    EXPECT_EQ(form->List()->ColumnAt(QPoint(5, 2)), grid.Remark);
    EXPECT_EQ(form->List()->ColumnAt(QPoint(5, form->List()->RowHeight() + 2)), nullptr);
    form->close();
    EXPECT_FALSE(grid.Ctl().IsCustomizing());
    EXPECT_EQ(closed, 1);
    site.SetGridView(nullptr);
}
