#pragma once
// The option groups of a grid view with their defaults. Every setter that
// changes a value tells the owning view, which recomputes its layout.
#include "grid/GridOptionMacro.h"
#include "grid/GridTypes.h"

#include <QString>

namespace kestrum {

class TkvCustomGridView;
class TkvCustomGridTableItem;

class TkvCustomGridOptions {
public:
    explicit TkvCustomGridOptions(TkvCustomGridView *view) : FGridView(view) {}
    virtual ~TkvCustomGridOptions() = default;
    TkvCustomGridOptions(const TkvCustomGridOptions &) = delete;
    TkvCustomGridOptions &operator=(const TkvCustomGridOptions &) = delete;
    TkvCustomGridView *GridView() const { return FGridView; }

protected:
    virtual void Changed();

private:
    TkvCustomGridView *FGridView;
};

class TkvGridOptionsBehavior : public TkvCustomGridOptions {
public:
    using TkvCustomGridOptions::TkvCustomGridOptions;
    //! The item searched incrementally when cells are not focused; none by default.
    TkvCustomGridTableItem *IncSearchItem() const { return FIncSearchItem; }
    void SetIncSearchItem(TkvCustomGridTableItem *item);

    KV_GRID_OPTION(bool, AlwaysShowEditor, false)
    KV_GRID_OPTION(int, BestFitMaxRecordCount, 0)
    KV_GRID_OPTION(bool, CellHints, false)
    KV_GRID_OPTION(TkvGridDragFocusing, DragFocusing, dfNone)
    KV_GRID_OPTION(bool, DragHighlighting, true)
    KV_GRID_OPTION(bool, DragOpening, true)
    KV_GRID_OPTION(bool, DragScrolling, true)
    KV_GRID_OPTION(bool, ExpandMasterRowOnDblClick, true)
    KV_GRID_OPTION(bool, FocusCellOnCycle, false)
    KV_GRID_OPTION(bool, FocusCellOnTab, false)
    KV_GRID_OPTION(bool, FocusFirstCellOnNewRecord, false)
    KV_GRID_OPTION(bool, GoToNextCellOnEnter, false)
    KV_GRID_OPTION(bool, ImmediateEditor, true)
    KV_GRID_OPTION(bool, IncSearch, false)
    KV_GRID_OPTION(bool, NavigatorHints, false)
    KV_GRID_OPTION(bool, PullFocusing, false)

private:
    TkvCustomGridTableItem *FIncSearchItem = nullptr;
};

class TkvGridOptionsCustomize : public TkvCustomGridOptions {
public:
    using TkvCustomGridOptions::TkvCustomGridOptions;
    KV_GRID_OPTION(bool, ColumnFiltering, true)
    KV_GRID_OPTION(bool, ColumnGrouping, true)
    KV_GRID_OPTION(bool, ColumnHiding, false)
    KV_GRID_OPTION(bool, ColumnHidingOnGrouping, true)
    KV_GRID_OPTION(bool, ColumnHorzSizing, true)
    KV_GRID_OPTION(bool, ColumnMoving, true)
    KV_GRID_OPTION(bool, ColumnSorting, true)
    KV_GRID_OPTION(bool, DataRowSizing, false)
    KV_GRID_OPTION(bool, GroupRowSizing, false)
};

class TkvGridOptionsData : public TkvCustomGridOptions {
public:
    using TkvCustomGridOptions::TkvCustomGridOptions;
    KV_GRID_OPTION(bool, Appending, false)
    KV_GRID_OPTION(bool, CancelOnExit, true)
    KV_GRID_OPTION(bool, Deleting, true)
    KV_GRID_OPTION(bool, DeletingConfirmation, true)
    KV_GRID_OPTION(bool, Editing, true)
    KV_GRID_OPTION(bool, Inserting, true)
};

class TkvGridOptionsSelection : public TkvCustomGridOptions {
public:
    using TkvCustomGridOptions::TkvCustomGridOptions;
    KV_GRID_OPTION(bool, CellSelect, true)
    KV_GRID_OPTION(bool, HideFocusRect, true)
    KV_GRID_OPTION(bool, HideSelection, false)
    KV_GRID_OPTION(bool, InvertSelect, true)
    KV_GRID_OPTION(bool, MultiSelect, false)
    KV_GRID_OPTION(bool, UnselectFocusedRecordOnExit, true)
};

//! The text the new-item row shows while it is not focused.
QString DefaultNewItemRowInfoText();

class TkvGridOptionsView : public TkvCustomGridOptions {
public:
    using TkvCustomGridOptions::TkvCustomGridOptions;
    KV_GRID_OPTION(bool, CellAutoHeight, false)
    KV_GRID_OPTION(bool, CellEndEllipsis, false)
    KV_GRID_OPTION(int, CellTextMaxLineCount, 0)
    KV_GRID_OPTION(bool, ColumnAutoWidth, false)
    KV_GRID_OPTION(int, DataRowHeight, 0)
    KV_GRID_OPTION(bool, ExpandButtonsForEmptyDetails, true)
    KV_GRID_OPTION(bool, Footer, false)
    KV_GRID_OPTION(QColor, GridLineColor, clDefault())
    KV_GRID_OPTION(TkvGridLines, GridLines, glBoth)
    KV_GRID_OPTION(bool, GroupByBox, true)
    KV_GRID_OPTION(TkvGridGroupFootersMode, GroupFooters, gfInvisible)
    KV_GRID_OPTION(int, GroupRowHeight, 0)
    KV_GRID_OPTION(bool, Header, true)
    KV_GRID_OPTION(bool, HeaderAutoHeight, false)
    KV_GRID_OPTION(bool, HeaderEndEllipsis, false)
    KV_GRID_OPTION(int, HeaderHeight, 0)
    KV_GRID_OPTION(bool, Indicator, false)
    KV_GRID_OPTION(int, IndicatorWidth, 12)
    KV_GRID_OPTION(bool, Navigator, false)
    KV_GRID_OPTION(int, NavigatorOffset, 50)
    KV_GRID_OPTION(bool, NewItemRow, false)
    KV_GRID_OPTION(QString, NewItemRowInfoText, DefaultNewItemRowInfoText())
    KV_GRID_OPTION(QColor, NewItemRowSeparatorColor, clDefault())
    KV_GRID_OPTION(int, NewItemRowSeparatorWidth, 6)
    KV_GRID_OPTION(QColor, RowSeparatorColor, clDefault())
    KV_GRID_OPTION(int, RowSeparatorWidth, 0)
    KV_GRID_OPTION(TkvGridScrollBars, ScrollBars, TkvGridScrollBars::ssBoth)
    KV_GRID_OPTION(TkvGridShowEditButtons, ShowEditButtons, gsebNever)

public:
    //! The info text is stored with a layout only when it differs from the default.
    bool IsNewItemRowInfoTextStored() const { return FNewItemRowInfoText != DefaultNewItemRowInfoText(); }
};

class TkvGridFiltering : public TkvCustomGridOptions {
public:
    using TkvCustomGridOptions::TkvCustomGridOptions;
    KV_GRID_OPTION(bool, CustomizeDialog, true)
    KV_GRID_OPTION(int, DropDownWidth, 0)
    KV_GRID_OPTION(int, MaxDropDownCount, 15)
    KV_GRID_OPTION(TkvGridFilterVisible, Visible, fvNonEmpty)
};

class TkvGridPreview : public TkvCustomGridOptions {
public:
    using TkvCustomGridOptions::TkvCustomGridOptions;
    TkvCustomGridTableItem *Column() const { return FColumn; }
    void SetColumn(TkvCustomGridTableItem *column);

    KV_GRID_OPTION(bool, AutoHeight, true)
    KV_GRID_OPTION(int, LeftIndent, 20)
    KV_GRID_OPTION(int, MaxLineCount, 3)
    KV_GRID_OPTION(TkvGridPreviewPlace, Place, ppBottom)
    KV_GRID_OPTION(int, RightIndent, 5)
    KV_GRID_OPTION(bool, Visible, false)

protected:
    //! The preview column leaves the visible columns while the preview shows it.
    void Changed() override;

private:
    TkvCustomGridTableItem *FColumn = nullptr;
};

} // namespace kestrum
