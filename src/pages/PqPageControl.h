#pragma once
// The notebook: a row of slanted tabs along the top and one page (a
// TPqTabSheet) shown below them. Behaviour lives in TPqTabControlModel; this
// widget keeps the pages, switches them, and turns Qt events into model calls.
#include "pages/PqTabModel.h"

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

class QKeyEvent;
class QPainter;

namespace kestrum {

class TImageList;
class TPqTabSheet;

struct TPqTabColors {
    QColor HighlightBar;
    QColor Shadow;
    QColor Unselected;
};

struct TPqTextColors {
    QColor Selected;
    QColor Unselected;
    QColor DisabledHighlight;
    QColor DisabledShadow;
};

//! Settings that change only how the control is painted.
struct TPqTabLook {
    TPqHotTrackStyle HotTrackStyle = htsTab;
    QColor HotTrackColor;
    TPqHotTrackColorType HotTrackColorType = htctComplement;
    TPqTabColors TabColors;
    TPqTextColors TextColors;
    bool UseColoredTabs = false;
    bool UseGradients = true;
    bool ShowFocusRect = true;
    QColor FlatColor;
    int FlatColorAdjustment = 0;
    QColor BackgroundColor;
    bool Transparent = false;
    QColor Color; //!< the control's own colour (the selected tab, the card without a page)
    TPqHorizontalAlignment ImageAlignment = haCenter;
    TPqVerticalAlignment ImageAlignmentVertical = TPqVerticalAlignment::vaCenter;
    TPqHorizontalAlignment TextAlignment = haCenter;
    TPqVerticalAlignment TextAlignmentVertical = TPqVerticalAlignment::vaCenter;
};

class TPqPageControl : public QWidget, private TPqTabControlHost {
    Q_OBJECT
public:
    explicit TPqPageControl(QWidget *parent = nullptr);
    ~TPqPageControl() override;

    // Pages
    int PageCount() const { return int(FPages.size()); }
    TPqTabSheet *Pages(int index) const;
    TPqTabSheet *ActivePage() const { return FActivePage; }
    //! Shows `page`; a page whose tab is hidden is shown with no tab selected.
    //! A page of another control is ignored.
    void SetActivePage(TPqTabSheet *page);
    int TabIndex() const { return FModel.TabIndex(); }
    void SetTabIndex(int index) { FModel.SetTabIndex(index); }
    //! The next (or previous) page after `current` whose tab is visible, wrapping
    //! around; nullptr when there is none.
    TPqTabSheet *FindNextPage(TPqTabSheet *current, bool goForward) const;
    //! Ctrl+Tab / Ctrl+Shift+Tab: activates the next or previous page with a visible tab.
    void SelectNextPage(bool goForward);
    //! Makes the page holding `control` the active page. Sheets call it when a
    //! control on them is shown or takes the focus while they are hidden.
    void ShowControl(QWidget *control);

    // Loading: while loading, ActivePage is only stored; EndLoading applies it,
    // preferring ActivePageDefault when that is set.
    void BeginLoading();
    void EndLoading();
    TPqTabSheet *ActivePageDefault() const { return FActivePageDefault; }
    void SetActivePageDefault(TPqTabSheet *page) { FActivePageDefault = page; }

    // Settings
    TImageList *Images() const { return FImages; }
    void SetImages(TImageList *images);
    int TabHeight() const { return FModel.Metrics().TabHeight; }
    void SetTabHeight(int height);
    const TPqTabMetrics &Metrics() const { return FModel.Metrics(); }
    //! Changes the layout settings and lays the tabs out again.
    void ChangeMetrics(const std::function<void(TPqTabMetrics &)> &change);
    const TPqTabLook &Look() const { return FLook; }
    void ChangeLook(const std::function<void(TPqTabLook &)> &change);
    bool HotTrack() const { return FModel.HotTrack; }
    void SetHotTrack(bool hotTrack);
    bool TabHints() const { return FModel.TabHints; }
    void SetTabHints(bool tabHints) { FModel.TabHints = tabHints; }
    //! Height of one tab row.
    int FixedDimension() const { return FModel.Layout().FixedDimension; }
    //! The rectangle the sheets fill.
    QRect PageArea() const;
    const TPqTabControlModel &Model() const { return FModel; }
    //! Rectangle of a tab in control coordinates (null when scrolled out).
    QRect TabRect(int tabIndex) const { return FModel.TabRect(tabIndex); }

    // Events
    std::function<void(TPqPageControl *Sender, int NewIndex, bool &AllowChange)> OnChanging;
    std::function<void(TPqPageControl *Sender)> OnChange;
    std::function<void(TPqPageControl *Sender)> OnTabClick;
    std::function<void(TPqPageControl *Sender, int ATabIndex, TPqTextColorStyle AStyle, QColor &AColor,
                       bool &Handled)>
        OnGetTextColor;
    std::function<void(TPqPageControl *Sender, QPainter &ACanvas, const QRect &ARect, bool &Handled)>
        OnPaintBackground;
    std::function<void(TPqPageControl *Sender, QPainter &ACanvas, const QRect &ARect, bool &Handled)>
        OnPaintCardBackground;
    std::function<void(TPqPageControl *Sender, QPainter &ACanvas, int ATabIndex, const QRect &ARect,
                       bool &Handled)>
        OnPaintTabBackground;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    friend class TPqTabSheet;
    friend class TPqTabPainter;
    void insertPage(TPqTabSheet *page);
    void removePage(TPqTabSheet *page);
    void movePage(TPqTabSheet *page, int index);
    int pageIndexOf(const TPqTabSheet *page) const;
    void rebuildTabs();
    void placePages();
    void switchPage(TPqTabSheet *page);
    void updateMeasure();
    void regrabAccelerators();
    //! Ctrl+Tab pressed on a control inside this one (and in no nested page
    //! control): switches the page. True when the key was taken.
    bool takePageKey(QObject *receiver, QKeyEvent *event);

    // TPqTabControlHost
    void DoChanging(int newIndex, bool &allowChange) override;
    void DoChange() override;
    void DoTabClick() override;
    void TabSelected(int tabIndex) override;
    void Invalidate(bool hotTrackOnly) override;
    bool TakeFocus() override;
    void StartHotTrackTimer() override;
    void StopHotTrackTimer() override;

    TPqTabControlModel FModel;
    TPqTabLook FLook;
    std::vector<TPqTabSheet *> FPages;
    TPqTabSheet *FActivePage = nullptr;
    TPqTabSheet *FActivePageDefault = nullptr;
    TPqTabSheet *FStoredActivePage = nullptr;
    TImageList *FImages = nullptr;
    QTimer FHotTrackTimer;
    std::vector<int> FAcceleratorIds; //!< shortcut id per tab
    bool FLoading = false;
};

} // namespace kestrum
