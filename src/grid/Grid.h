#pragma once
// The grid control: owns its levels, its views and their site windows, and
// the change queue through which every view's changes reach the screen. The
// root level is implicit; the ledger's grids have one level with one view.
#include "grid/GridChangeQueue.h"
#include "grid/GridTableView.h"

#include <QColor>
#include <QWidget>

#include <memory>
#include <vector>

class QScrollBar;

namespace kestrum {

class TkvCustomGrid;
class TkvGridSite;

enum TkvGridDetailTabsPosition : std::uint8_t { dtpNone, dtpLeft, dtpTop };

//! The frame around the grid control; cbsDefault is the look and feel's, which draws none.
enum TkvGridBorderStyle : std::uint8_t {
    cbsDefault,
    cbsNone,
    cbsSingle,
    cbsThick,
    cbsFlat,
    cbs3D,
    cbsUltraFlat
};

//! A level's styles: its detail tabs and the area behind them (detail levels only).
struct TkvGridLevelStyles {
    TkvGridStylePtr Tab;
    TkvGridStylePtr TabsBackground;
};

class TkvGridLevelOptions {
public:
    QColor DetailFrameColor = QColor(128, 128, 128);
    int DetailFrameWidth = 1;
    TkvGridDetailTabsPosition DetailTabsPosition = dtpNone;
};

//! One node of the level tree; shows one view.
class TkvGridLevel {
public:
    TkvGridLevel(TkvCustomGrid *grid, TkvGridLevel *parent) : FGrid(grid), FParent(parent) {}
    TkvGridLevel(const TkvGridLevel &) = delete;
    TkvGridLevel &operator=(const TkvGridLevel &) = delete;

    const QString &Caption() const { return FCaption; }
    void SetCaption(const QString &caption) { FCaption = caption; }
    TkvCustomGridView *GridView() const { return FGridView; }
    //! Linking a view first unlinks it from any other level.
    void SetGridView(TkvCustomGridView *view);
    int MaxDetailHeight() const { return FMaxDetailHeight; }
    void SetMaxDetailHeight(int height) { FMaxDetailHeight = height; }
    TkvGridLevelOptions &Options() { return FOptions; }
    TkvGridLevelStyles &Styles() { return FStyles; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    TkvGridLevel *Parent() const { return FParent; }

    TkvGridLevel *Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    TkvGridLevel *Items(int index) const { return FItems[static_cast<std::size_t>(index)].get(); }

private:
    TkvCustomGrid *FGrid;
    TkvGridLevel *FParent;
    QString FCaption;
    TkvCustomGridView *FGridView = nullptr;
    int FMaxDetailHeight = 0;
    TkvGridLevelOptions FOptions;
    TkvGridLevelStyles FStyles;
    bool FVisible = true;
    std::vector<std::unique_ptr<TkvGridLevel>> FItems;
};

class TkvCustomGrid : public QWidget {
    Q_OBJECT

public:
    explicit TkvCustomGrid(QWidget *parent = nullptr);
    ~TkvCustomGrid() override;

    //! The implicit root level; the grid's levels are its children.
    TkvGridLevel &RootLevel() { return *FRootLevel; }
    TkvGridLevel *Levels(int index) const { return FRootLevel->Items(index); }
    //! The implicit root level's options and styles, published by the grid.
    TkvGridLevelOptions &RootLevelOptions() { return FRootLevel->Options(); }
    TkvGridLevelStyles &RootLevelStyles() { return FRootLevel->Styles(); }

    TkvGridBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TkvGridBorderStyle style);
    //! The frame's width on each side; the site and the scroll bars sit inside it.
    int BorderWidth() const;

    //! Creates a view owned by the grid (the view's class decides its handlers).
    template <class View> View *CreateView()
    {
        auto view = MakeGridView<View>(this);
        View *created = view.get();
        FViews.push_back(std::move(view));
        return created;
    }
    int ViewCount() const { return static_cast<int>(FViews.size()); }
    TkvCustomGridView *Views(int index) const { return FViews[static_cast<std::size_t>(index)].get(); }
    //! The view of the first visible level: the one shown and focused.
    TkvCustomGridView *ActiveView() const;

    TkvGridChangeQueue &ChangeQueue() { return FChangeQueue; }
    void BeginUpdate() { FChangeQueue.BeginUpdate(); }
    void EndUpdate() { FChangeQueue.EndUpdate(); }

    bool DragOpening() const { return FDragOpening; }
    void SetDragOpening(bool value) { FDragOpening = value; }
    int DragOpeningWaitTime() const { return FDragOpeningWaitTime; }
    void SetDragOpeningWaitTime(int milliseconds) { FDragOpeningWaitTime = milliseconds; }

    //! The site window that shows a view.
    TkvGridSite *Site() const { return FSite; }
    QScrollBar *VerticalScrollBar() const { return FVScrollBar; }
    QScrollBar *HorizontalScrollBar() const { return FHScrollBar; }

    //! Makes the active view's site show it (after levels or views change).
    void ActiveViewChanged();
    //! Called by a view that goes away.
    void ViewDestroying(TkvCustomGridView *view);

    QSize sizeHint() const override { return QSize(250, 200); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    //! The square between the two scroll bars when both are shown.
    QRect CornerRect() const;
    void ExecuteChange(const TkvGridChange &change);
    void UpdateScrollBars();
    void PlaceChildren();

    TkvGridChangeQueue FChangeQueue;
    std::unique_ptr<TkvGridLevel> FRootLevel;
    std::vector<std::unique_ptr<TkvCustomGridView>> FViews;
    TkvGridSite *FSite = nullptr;
    QScrollBar *FVScrollBar = nullptr;
    QScrollBar *FHScrollBar = nullptr;
    TkvGridBorderStyle FBorderStyle = cbsDefault;
    bool FDragOpening = true;
    int FDragOpeningWaitTime = 500;
    bool FUpdatingScrollBars = false;
    bool FPlacing = false;
    bool FPlaceAgain = false;
    bool FDestroying = false;
};

//! The published grid control.
class TkvGrid : public TkvCustomGrid {
    Q_OBJECT

public:
    using TkvCustomGrid::TkvCustomGrid;
};

} // namespace kestrum
