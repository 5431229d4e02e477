#pragma once
// The table view's filter interactions: a press on a column's filter button
// opens its drop-down (the header state is DropDown while it is open), the
// filter box buttons, and the dialogs they open.
#include "grid/GridHeaderController.h"
#include "grid/GridTableViewInfo.h"
#include "grid/GridWindows.h"

#include <QPoint>

#include <memory>

namespace kestrum {

class TkvGridTableView;
class TkvGridColumn;
class TkvGridFilterDropDown;

class TkvGridFilterController {
public:
    TkvGridFilterController(TkvGridTableView &view, TkvGridHeaderController &header);
    ~TkvGridFilterController();
    TkvGridFilterController(const TkvGridFilterController &) = delete;
    TkvGridFilterController &operator=(const TkvGridFilterController &) = delete;

    //! Opens the filter drop-down of a column below its header cell in the container.
    bool DropDownFilter(TkvGridColumn *column, TkvGridHeaderContainer container);
    //! The drop-down logic: made on first use and kept for the life of the view; nullptr before.
    TkvGridFilterDropDown *FilterDropDown() const { return FFilterDropDown.get(); }
    TkvGridColumn *FilterDropDownColumn() const;
    TkvGridHeaderContainer FilterDropDownContainer() const { return FFilterDropDownContainer; }
    //! The header action holding the drop-down ended: the drop-down closes with it.
    void DropDownReset();
    //! The column leaves the view: its drop-down closes.
    void ItemRemoved(const TkvCustomGridTableItem *item);

    //! The left button on a column's filter button, at point.
    void FilterButtonMouseDown(TkvGridColumn *column, const QPoint &point);
    TkvGridHitKind PressedFilterBoxButton() const { return FPressedFilterBoxButton; }
    void FilterBoxMouseDown(TkvGridHitKind button);
    void FilterBoxMouseUp(const QPoint &point);
    void FilterBoxButtonClick(TkvGridHitKind button);

    TkvGridFilterDialogs &FilterDialogs() { return FFilterDialogs; }
    void SetWindowFactory(TkvGridWindowFactory factory);

private:
    void FilterDropDownClosed();

    TkvGridTableView &FGridView;
    TkvGridHeaderController &FHeader;
    TkvGridFilterDialogs FFilterDialogs;
    TkvGridWindowFactory FWindowFactory;
    std::unique_ptr<TkvGridFilterDropDown> FFilterDropDown;
    TkvGridHeaderContainer FFilterDropDownContainer = TkvGridHeaderContainer::None;
    TkvGridHitKind FPressedFilterBoxButton = TkvGridHitKind::None;
};

} // namespace kestrum
