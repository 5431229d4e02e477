#pragma once
// Views of the grid: the custom view with its data controller, option groups
// and change posting; the table view with its items, IDs, indexes and the
// visible list; the column table view and the record-set table view.
#include "grid/GridChangeQueue.h"
#include "grid/GridColumn.h"
#include "grid/GridCustomDraw.h"
#include "grid/GridNavigatorButtons.h"
#include "grid/GridOptions.h"
#include "grid/GridRowSource.h"
#include "grid/GridStyles.h"
#include "grid/GridTableController.h"
#include "grid/GridTablePainter.h"
#include "grid/GridTableViewInfo.h"
#include "grid/GridTableViewInfoCache.h"
#include "grid/GridViewData.h"

#include <QFont>

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TkvCustomGrid;
class TkvGridLevel;
class TkvGridLookAndFeelPainter;
class TkvGridTableController;
class TkvGridTablePainter;
class TkvGridTableViewInfo;
class TkvGridTableViewInfoCache;
class TkvGridViewData;
class TkvCustomGridRecord;
class TkvDataSummary;
class TkvGridDataControllerSource;
class TkvDataFilterCriteria;
class TkvGridDBDataController;
class TkvCustomEdit;

//! What changed for screen readers once a change reached the screen.
enum class TkvGridAccessChange : std::uint8_t {
    Rows,      //!< rows or columns were laid out anew: cells read so far may stand elsewhere
    Focus,     //!< the focused row or column moved
    Selection, //!< rows were selected or unselected
};

class TkvCustomGridView {
public:
    virtual ~TkvCustomGridView();
    TkvCustomGridView(const TkvCustomGridView &) = delete;
    TkvCustomGridView &operator=(const TkvCustomGridView &) = delete;

    const QString &Name() const { return FName; }
    void SetName(const QString &name) { FName = name; }

    TkvCustomGrid *Grid() const { return FGrid; }
    TkvGridLevel *Level() const { return FLevel; }

    //! The data controller, seen through the grid's narrow interface.
    TkvGridRowSource &DataController() const { return *FDataController; }

    TkvGridOptionsSelection &OptionsSelection() { return FOptionsSelection; }
    TkvGridOptionsView &OptionsView() { return FOptionsView; }
    TkvGridTableViewStyles &Styles() { return FStyles; }
    TkvGridBackgroundBitmaps &BackgroundBitmaps() { return FBackgroundBitmaps; }
    const TkvGridBackgroundBitmaps &BackgroundBitmaps() const { return FBackgroundBitmaps; }
    TkvGridFiltering &Filtering() { return FFiltering; }
    TkvGridOptionsBehavior &OptionsBehavior() { return FOptionsBehavior; }
    TkvGridOptionsCustomize &OptionsCustomize() { return FOptionsCustomize; }
    TkvGridOptionsData &OptionsData() { return FOptionsData; }
    const TkvGridOptionsSelection &OptionsSelection() const { return FOptionsSelection; }
    const TkvGridOptionsView &OptionsView() const { return FOptionsView; }
    const TkvGridTableViewStyles &Styles() const { return FStyles; }
    const TkvGridFiltering &Filtering() const { return FFiltering; }
    const TkvGridOptionsBehavior &OptionsBehavior() const { return FOptionsBehavior; }
    const TkvGridOptionsCustomize &OptionsCustomize() const { return FOptionsCustomize; }
    const TkvGridOptionsData &OptionsData() const { return FOptionsData; }

    //! The grid's font (styles without a font use it) and look and feel.
    const QFont &Font() const { return FFont; }
    void SetFont(const QFont &font);
    const TkvGridLookAndFeelPainter &LookAndFeelPainter() const { return *FLookAndFeel; }

    // Loading from a stored layout: no layout is computed until it ends.
    void BeginLoading() { ++FLoadingCount; }
    void EndLoading();
    bool IsLoading() const { return FLoadingCount > 0; }
    bool IsDestroying() const { return FDestroying; }

    //! The rectangle the view is laid out in (the site's client area).
    const QRect &Bounds() const { return FBounds; }
    void SetBounds(const QRect &bounds);

    //! Whether the grid holds the keyboard focus (selection style, focus outline).
    bool IsFocused() const { return FFocused; }
    void SetFocused(bool focused);

    // Change objects.
    void BeginUpdate();
    void EndUpdate();
    bool IsUpdateLocked() const;
    void PostChange(TkvGridChange change);
    void LayoutChanged();
    void SizeChanged(int sizeFlags = 0);
    void DataChanged();
    void RecordChanged(int rowIndex, int itemIndex = -1);
    void Invalidate(const QRect &rect = {});
    virtual void ExecuteChange(const TkvGridChange &change) = 0;
    //! Executed changes, in order, for tests that pin the change queue ("L S D R F V").
    std::function<void(const TkvGridChange &)> OnChangeExecuted;

    //! Called with the rectangle to repaint (empty: all); set by the site.
    std::function<void(const QRect &)> OnInvalidate;
    //! Called when the scroll bars need an update; set by the site.
    std::function<void()> OnScrollBarsChanged;
    //! Called after rows, focus or selection changed on the screen; set by the site for screen readers.
    std::function<void(TkvGridAccessChange)> OnAccessChange;

    //! Option groups report here.
    virtual void OptionsChanged() { SizeChanged(); }

    //! Second construction step: creates the data controller and handlers through the
    //! overridable factories (MakeGridView calls it once).
    virtual void Initialize();

protected:
    explicit TkvCustomGridView(TkvCustomGrid *grid);
    virtual std::unique_ptr<TkvGridRowSource> CreateDataController() = 0;
    void BeginDestroy() { FDestroying = true; }

private:
    friend class TkvCustomGrid;
    friend class TkvGridLevel;
    template <class View, class... Args> friend std::unique_ptr<View> MakeGridView(Args &&...args);

    QString FName;
    TkvCustomGrid *FGrid;
    TkvGridLevel *FLevel = nullptr;
    std::unique_ptr<TkvGridChangeQueue> FOwnQueue;
    TkvGridBackgroundBitmaps FBackgroundBitmaps{this};
    TkvGridOptionsSelection FOptionsSelection{this};
    TkvGridOptionsView FOptionsView{this};
    TkvGridTableViewStyles FStyles{this};
    TkvGridFiltering FFiltering{this};
    TkvGridOptionsBehavior FOptionsBehavior{this};
    TkvGridOptionsCustomize FOptionsCustomize{this};
    TkvGridOptionsData FOptionsData{this};
    QFont FFont;
    const TkvGridLookAndFeelPainter *FLookAndFeel;
    QRect FBounds;
    int FLoadingCount = 0;
    bool FDestroying = false;
    bool FFocused = false;

protected:
    std::unique_ptr<TkvGridRowSource> FDataController;
    TkvGridChangeQueue &Queue();
};

//! Creates a view and runs its second construction step.
template <class View, class... Args> std::unique_ptr<View> MakeGridView(Args &&...args)
{
    std::unique_ptr<View> view(new View(std::forward<Args>(args)...));
    view->Initialize();
    return view;
}

class TkvCustomGridTableView : public TkvCustomGridView {
public:
    ~TkvCustomGridTableView() override;

    TkvGridPreview &Preview() { return FPreview; }

    // Items.
    int ItemCount() const { return static_cast<int>(FItems.size()); }
    TkvCustomGridTableItem *Items(int index) const;
    int VisibleItemCount() const { return static_cast<int>(FVisibleItems.size()); }
    TkvCustomGridTableItem *VisibleItems(int visibleIndex) const;
    //! Exact, case-sensitive component name.
    TkvCustomGridTableItem *FindItemByName(const QString &name) const;
    const std::vector<TkvCustomGridTableItem *> &FilterableItems() const { return FFilterableItems; }

    //! Takes ownership, appends the item and gives it the next ID.
    TkvCustomGridTableItem *AddItem(std::unique_ptr<TkvCustomGridTableItem> item);
    //! Takes the item out of the view and gives it back to the caller.
    std::unique_ptr<TkvCustomGridTableItem> RemoveItem(TkvCustomGridTableItem *item);
    void DeleteItem(TkvCustomGridTableItem *item) { RemoveItem(item); }
    void ChangeItemIndex(TkvCustomGridTableItem *item, int index);

    //! The ID the next added item gets.
    int NextID() const { return FNextID; }

    //! Rebuilds the visible list from the visible flags in index order.
    void RefreshVisibleItemsList();
    void RefreshFilterableItemsList();

    //! The item binding class the data controller names.
    virtual std::unique_ptr<TkvGridItemDataBinding> CreateDataBinding(TkvCustomGridTableItem *item);

    void Initialize() override;

protected:
    explicit TkvCustomGridTableView(TkvCustomGrid *grid);

protected:
    // Hooks for the handlers of derived views.
    virtual void ItemRemoving(TkvCustomGridTableItem *) {}
    virtual void ItemShown(TkvCustomGridTableItem *) {}
    virtual void ItemHiding(TkvCustomGridTableItem *) {}

private:
    friend class TkvCustomGridTableItem;
    void ItemVisibilityChanged(TkvCustomGridTableItem *item, bool visible);
    void RenumberItems();

    TkvGridPreview FPreview{this};
    std::vector<std::unique_ptr<TkvCustomGridTableItem>> FItems;
    std::vector<TkvCustomGridTableItem *> FFilterableItems;
    std::vector<TkvCustomGridTableItem *> FVisibleItems;
    int FNextID = 0;
};

//! The table view: its items are columns.
class TkvGridTableView : public TkvCustomGridTableView, public TkvGridRowSourceListener {
public:
    ~TkvGridTableView() override;
    void Initialize() override;

    // Handlers.
    TkvGridTableController &Controller() const { return *FController; }
    TkvGridTablePainter &Painter() const { return *FPainter; }
    TkvGridViewData &ViewData() const { return *FViewData; }
    TkvGridTableViewInfo &ViewInfo() const { return *FViewInfo; }
    TkvGridTableViewInfoCache &ViewInfoCache() const { return *FViewInfoCache; }

    void ExecuteChange(const TkvGridChange &change) override;
    //! Also makes or drops the new-item row when that option was switched.
    void OptionsChanged() override;

    // Events.
    std::function<void(TkvCustomGridTableView *, TkvCustomGridRecord *prev, TkvCustomGridRecord *focused,
                       bool newItemRowFocusingChanged)>
        OnFocusedRecordChanged;
    std::function<void(TkvCustomGridTableView *)> OnSelectionChanged;
    std::function<void(TkvCustomGridTableView *)> OnTopRecordIndexChanged;
    std::function<void(TkvCustomGridTableView *, TkvCustomGridTableItem *prev,
                       TkvCustomGridTableItem *focused)>
        OnFocusedItemChanged;
    TkvCustomGridTableItem::CustomDrawCellEvent OnCustomDrawCell;
    TkvGridCustomDrawHeaderEvent OnCustomDrawColumnHeader;
    TkvGridCustomDrawCellEvent OnCustomDrawFooterCell;
    TkvGridCustomDrawCellEvent OnCustomDrawGroupCell;
    TkvGridCustomDrawIndicatorCellEvent OnCustomDrawIndicatorCell;
    TkvGridCustomDrawPartBackgroundEvent OnCustomDrawPartBackground;
    //! The left button went down on a column header (after the column's OnHeaderClick).
    std::function<void(TkvGridTableView *, TkvGridColumn *)> OnColumnHeaderClick;
    //! A header drag moved, grouped, ungrouped, hid or showed the column.
    std::function<void(TkvGridTableView *, TkvGridColumn *)> OnColumnPosChanged;
    //! The user sized the column with the mouse.
    std::function<void(TkvGridTableView *, TkvGridColumn *)> OnColumnSizeChanged;
    //! The customization form closed.
    std::function<void(TkvGridTableView *)> OnCustomization;
    //! A wheel message (delta in eighths of a degree, 120 a notch; the vertical one, else the
    //! horizontal one) before the view scrolls; returning true takes it.
    std::function<bool(TkvGridTableView *, TkvGridShiftState, int wheelDelta, const QPoint &point)>
        OnMouseWheel;
    //! A release over a data cell; setting handled keeps the cell editor closed.
    std::function<void(TkvGridTableView *, const TkvGridCellViewInfo &cell, TkvGridMouseButton,
                       TkvGridShiftState, bool &handled)>
        OnCellClick;
    // Input events of the view, before the controller sees the input: a key handler that sets
    // the key to None, or a character handler that sets it to the null character, takes it.
    std::function<void(TkvGridTableView *, TkvGridKey &key, TkvGridShiftState)> OnKeyDown;
    std::function<void(TkvGridTableView *, QChar &character)> OnKeyPress;
    std::function<void(TkvGridTableView *, TkvGridMouseButton, TkvGridShiftState, const QPoint &)>
        OnMouseDown;
    std::function<void(TkvGridTableView *, TkvGridMouseButton, TkvGridShiftState, const QPoint &)> OnMouseUp;
    std::function<void(TkvGridTableView *)> OnDblClick;
    //! The view's navigator buttons (shown with OptionsView.Navigator); they act on this view.
    TkvNavigatorControlButtons &NavigatorButtons() const { return *FNavigatorButtons; }
    //! Before a cell editor opens; the handler may clear allow.
    std::function<void(TkvGridTableView *, TkvCustomGridTableItem *, bool &allow)> OnEditing;
    //! A cell editor was prepared for the item and is about to be shown.
    std::function<void(TkvGridTableView *, TkvCustomGridTableItem *, TkvCustomEdit *)> OnInitEdit;
    //! The cell editor's text, and its value, changed.
    std::function<void(TkvGridTableView *, TkvCustomGridTableItem *)> OnEditChanged;
    std::function<void(TkvGridTableView *, TkvCustomGridTableItem *)> OnEditValueChanged;
    //! Shows (true) and restores (false) the hourglass cursor around long work; set by the site.
    std::function<void(bool)> OnWaitCursor;

    // Notices of the data controller.
    void SourceDataChanged() override;
    void SourceLayoutChanged() override;
    void SourceFocusedRecordChanged(int previousRowIndex, int newRowIndex,
                                    bool newItemRowFocusChanged) override;
    void SourceSelectionChanged(const std::vector<int> &changedRowIndexes) override;
    void SourceSearchChanged() override;
    void SourceUpdateRecord(int recordIndex) override;

    //! The real data controller behind the view, when it has one (tests may give a view another source).
    TkvGridDataControllerSource *ControllerSource() const;
    //! The data controller's summaries: FooterSummaryItems, DefaultGroupSummaryItems, SummaryGroups.
    TkvDataSummary *Summary() const;
    //! The data controller's filter criteria (published as DataController.Filter).
    TkvDataFilterCriteria *Filter() const;

    //! The column whose header the left button is down on (painted pressed).
    TkvGridColumn *PressedColumn() const { return FPressedColumn; }
    void SetPressedColumn(TkvGridColumn *column);

    TkvGridColumn *CreateColumn(const QString &name = {});
    TkvGridColumn *Columns(int index) const { return static_cast<TkvGridColumn *>(Items(index)); }
    int ColumnCount() const { return ItemCount(); }
    TkvGridColumn *VisibleColumns(int visibleIndex) const
    {
        return static_cast<TkvGridColumn *>(VisibleItems(visibleIndex));
    }
    int VisibleColumnCount() const { return VisibleItemCount(); }
    //! The column grouped at a level, or nullptr.
    TkvGridColumn *GroupedColumns(int level) const;
    int GroupedColumnCount() const;

protected:
    template <class View, class... Args> friend std::unique_ptr<View> MakeGridView(Args &&...args);
    explicit TkvGridTableView(TkvCustomGrid *grid = nullptr) : TkvCustomGridTableView(grid) {}
    virtual std::unique_ptr<TkvGridColumn> NewColumn(const QString &name);
    std::unique_ptr<TkvGridRowSource> CreateDataController() override;
    void ItemRemoving(TkvCustomGridTableItem *item) override;
    void ItemShown(TkvCustomGridTableItem *item) override;
    void ItemHiding(TkvCustomGridTableItem *item) override;

private:
    void FocusedRecordChangedExecute(const TkvGridChange &change);

    std::unique_ptr<TkvGridTableController> FController;
    std::unique_ptr<TkvGridTablePainter> FPainter;
    std::unique_ptr<TkvGridViewData> FViewData;
    std::unique_ptr<TkvGridTableViewInfo> FViewInfo;
    std::unique_ptr<TkvGridTableViewInfoCache> FViewInfoCache;
    std::unique_ptr<TkvNavigatorControlButtons> FNavigatorButtons;
    TkvGridColumn *FPressedColumn = nullptr;
};

//! The table view whose data controller reads a record set; columns bind by field name.
class TkvGridDBTableView : public TkvGridTableView {
public:
    TkvGridDBColumn *CreateColumn(const QString &name = {})
    {
        return static_cast<TkvGridDBColumn *>(TkvGridTableView::CreateColumn(name));
    }
    TkvGridDBColumn *Columns(int index) const { return static_cast<TkvGridDBColumn *>(Items(index)); }
    //! The record-set data controller (DataSource, KeyFieldNames, Options); nullptr under another source.
    TkvGridDBDataController *DBDataController() const;
    std::unique_ptr<TkvGridItemDataBinding> CreateDataBinding(TkvCustomGridTableItem *item) override;

protected:
    template <class View, class... Args> friend std::unique_ptr<View> MakeGridView(Args &&...args);
    explicit TkvGridDBTableView(TkvCustomGrid *grid = nullptr) : TkvGridTableView(grid) {}
    std::unique_ptr<TkvGridColumn> NewColumn(const QString &name) override;
    std::unique_ptr<TkvGridRowSource> CreateDataController() override;
};

} // namespace kestrum
