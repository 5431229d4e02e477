#pragma once
// A grid over the real data controller for the filter tests: amount (float),
// item and remark (wide strings), with helpers that press filter buttons,
// choose drop-down entries and click filter box buttons on the controller.
#include "data/ValueTypes.h"
#include "filter/DataFilterCriteria.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridFilterDropDown.h"
#include "grid/GridTableView.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrum::test {

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

//! Amount (float), item (wide or narrow string) and remark (wide string); nullopt is Null.
inline FilterGrid MakeFilterGrid(const std::vector<std::pair<Value, Text>> &rows, bool narrowItems = false)
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
    controller.ChangeValueTypeClass(1, narrowItems
                                           ? static_cast<TkvValueTypeClass>(TkvStringValueType::Instance())
                                           : TkvWideStringValueType::Instance());
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

inline FilterGrid MakeLedger()
{
    return MakeFilterGrid({{40, "工资"}, {10, "奖金"}, {30, "工资"}, {20, "利息"}, {40, "奖金"}});
}

} // namespace kestrum::test
