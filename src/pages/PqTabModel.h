#pragma once
// The tab control's behaviour without a display: the list of visible tabs, the
// selected tab and the rules for changing it, the first tab shown in a
// scrolling row, the hot tab, and the mouse, key and accelerator rules. The
// widget turns Qt events into calls here and paints what this computed.
#include "pages/PqTabLayout.h"

#include <QColor>
#include <QPoint>
#include <QString>

#include <vector>

namespace kestrum {

//! One visible tab, copied from its sheet whenever the tab list is rebuilt.
struct TPqTabEntry {
    QString Caption; //!< with "&" marking the accelerator
    QString Hint;
    int ImageIndex = -1;
    int DisabledIndex = -1;
    bool TabEnabled = true;
    QColor Color;
    int PageIndex = -1; //!< the sheet's position among all pages
};

//! What the model asks of the control that hosts it.
class TPqTabControlHost {
public:
    virtual ~TPqTabControlHost() = default;
    //! OnChanging: the handler may clear allowChange.
    virtual void DoChanging(int newIndex, bool &allowChange) = 0;
    virtual void DoChange() = 0;
    virtual void DoTabClick() = 0;
    //! An allowed change switches the page at once (page controls only).
    virtual void TabSelected(int tabIndex) = 0;
    //! Repaint; hotTrackOnly marks a repaint caused by hot tracking alone.
    virtual void Invalidate(bool hotTrackOnly) = 0;
    //! Takes the keyboard focus; false when the control cannot take it.
    virtual bool TakeFocus() = 0;
    virtual void StartHotTrackTimer() = 0;
    virtual void StopHotTrackTimer() = 0;
};

//! Keys the tab row reacts to while it has the focus.
enum class TPqTabKey { Home, End, Previous, Next };

class TPqTabControlModel {
public:
    explicit TPqTabControlModel(TPqTabControlHost &host) : FHost(host) {}

    // Settings
    //! Changing the metrics through this reference recomputes the layout.
    TPqTabMetrics &Metrics()
    {
        FLayoutValid = false;
        return FMetrics;
    }
    const TPqTabMetrics &Metrics() const { return FMetrics; }
    void SetTextMeasure(TPqTextMeasure measure);
    //! The font or another input of the measure changed.
    void InvalidateLayout() { FLayoutValid = false; }
    void SetControlSize(QSize size);
    QSize ControlSize() const { return FControlSize; }
    bool Designing = false; //!< disabled tabs may be selected while designing
    bool HotTrack = true;
    bool TabHints = false;

    // Tabs
    //! Replaces the visible tabs; the selected tab stays on the same page when it
    //! is still listed, otherwise no tab is selected.
    void SetTabs(std::vector<TPqTabEntry> tabs);
    const std::vector<TPqTabEntry> &Tabs() const { return FTabs; }
    int TabCount() const { return int(FTabs.size()); }
    //! The tab of the page at pageIndex, -1 when its tab is hidden.
    int TabIndexOfPage(int pageIndex) const;

    // Selection
    int TabIndex() const { return FTabIndex; }
    //! May the selection move to tab n? The tab must exist and be enabled, and
    //! OnChanging must allow it.
    bool CanChange(int n);
    //! Setting TabIndex: out of range clears the selection; otherwise the change is
    //! asked for unless n is already selected or `alreadyAsked`. Returns whether n is
    //! now selected.
    bool SetTabIndex(int n, bool alreadyAsked = false);

    // Scrolling row
    int FirstShown() const { return FFirstShown; }
    //! Moves the first tab shown by delta tabs (the scroller's arrows).
    void Scroll(int delta);
    const TPqTabRowLayout &Layout() const;
    QRect TabRect(int tabIndex) const;
    int TabAt(QPoint point) const;

    // Input
    //! Left button pressed at point on an enabled control.
    void MouseDown(QPoint point, bool tabStop);
    //! A navigation key while the control has the focus; true when handled.
    bool KeyDown(TPqTabKey key);
    //! The accelerator character ch pressed; true when a tab took it.
    bool Accelerator(QChar ch, bool canFocus);

    // Hot tracking
    int HotTab() const { return FHotTab; }
    void MouseMove(QPoint point);
    //! The hot-tracking timer's tick with the cursor at point.
    void HotTrackTick(QPoint point);
    void MouseLeave();
    //! The hint to show: the hot tab's, with TabHints on.
    QString CurrentHint() const;

    //! Invariants: indexes in range, the first shown tab valid.
    void CheckConsistency() const;

private:
    bool fitsInRow(int n) const;
    void setHotTab(int tab);
    int searchSelectable(int from, int step, int stopAt);

    TPqTabControlHost &FHost;
    TPqTabMetrics FMetrics;
    TPqTextMeasure FMeasure;
    QSize FControlSize{300, 100};
    std::vector<TPqTabEntry> FTabs;
    int FTabIndex = -1;
    int FFirstShown = 0;
    int FHotTab = -1;
    mutable TPqTabRowLayout FLayout;
    mutable bool FLayoutValid = false;
};

} // namespace kestrum
