#include "pages/PqTabModel.h"

#include "ui/Accelerator.h"

#include <algorithm>

#include <stdexcept>

namespace kestrum {

void TPqTabControlModel::SetTextMeasure(TPqTextMeasure measure)
{
    FMeasure = std::move(measure);
    FLayoutValid = false;
}

void TPqTabControlModel::SetControlSize(QSize size)
{
    if (size == FControlSize)
        return;
    FControlSize = size;
    FLayoutValid = false;
}

void TPqTabControlModel::SetTabs(std::vector<TPqTabEntry> tabs)
{
    const int selectedPage = FTabIndex >= 0 ? FTabs[std::size_t(FTabIndex)].PageIndex : -1;
    FTabs = std::move(tabs);
    FTabIndex = TabIndexOfPage(selectedPage);
    FHotTab = -1;
    if (FFirstShown >= TabCount())
        FFirstShown = std::max(0, TabCount() - 1);
    FLayoutValid = false;
    FHost.Invalidate(false);
}

int TPqTabControlModel::TabIndexOfPage(int pageIndex) const
{
    if (pageIndex < 0)
        return -1;
    for (int i = 0; i < TabCount(); ++i) {
        if (FTabs[std::size_t(i)].PageIndex == pageIndex)
            return i;
    }
    return -1;
}

bool TPqTabControlModel::CanChange(int n)
{
    if (n < 0 || n >= TabCount())
        return false;
    if (!FTabs[std::size_t(n)].TabEnabled && !Designing)
        return false;
    bool allowChange = true;
    FHost.DoChanging(n, allowChange);
    return allowChange;
}

bool TPqTabControlModel::SetTabIndex(int n, bool alreadyAsked)
{
    if (n < 0 || n >= TabCount()) {
        FTabIndex = -1;
        FHost.Invalidate(false);
        return false;
    }
    if (n != FTabIndex && !alreadyAsked && !CanChange(n))
        return false;
    FHost.TabSelected(n);

    const bool changed = n != FTabIndex;
    FTabIndex = n;
    const int oldFirst = FFirstShown;
    if (n < FFirstShown) {
        FFirstShown = n;
    } else {
        while (FFirstShown < n && !fitsInRow(n)) {
            ++FFirstShown;
            FLayoutValid = false;
        }
    }
    if (FFirstShown != oldFirst)
        FLayoutValid = false;
    if (changed || FFirstShown != oldFirst)
        FHost.Invalidate(false);
    if (changed)
        FHost.DoChange();
    return true;
}

void TPqTabControlModel::Scroll(int delta)
{
    const int oldFirst = FFirstShown;
    // Forward scrolling stops once the last tab is in view, so the row never
    // ends in empty space.
    for (; delta > 0 && Layout().LastShown < TabCount() - 1; --delta) {
        ++FFirstShown;
        FLayoutValid = false;
    }
    if (delta < 0)
        FFirstShown = std::max(0, FFirstShown + delta);
    if (FFirstShown == oldFirst)
        return;
    FLayoutValid = false;
    FHost.Invalidate(false);
}

const TPqTabRowLayout &TPqTabControlModel::Layout() const
{
    if (!FLayoutValid) {
        std::vector<TPqTabGeometryInput> inputs;
        inputs.reserve(FTabs.size());
        for (const TPqTabEntry &tab : FTabs)
            inputs.push_back({tab.Caption, tab.ImageIndex >= 0 && !FMetrics.ImageSize.isEmpty()});
        if (!FMeasure)
            throw std::logic_error("tab control has no text measure");
        FLayout = PqLayoutTabRow(FMetrics, inputs, FMeasure, FControlSize, FFirstShown);
        FLayoutValid = true;
    }
    return FLayout;
}

QRect TPqTabControlModel::TabRect(int tabIndex) const
{
    if (tabIndex < 0 || tabIndex >= TabCount())
        return {};
    return Layout().TabRects[std::size_t(tabIndex)];
}

int TPqTabControlModel::TabAt(QPoint point) const
{
    return PqTabAt(FMetrics, Layout(), FTabIndex, point);
}

bool TPqTabControlModel::fitsInRow(int n) const
{
    const TPqTabRowLayout &layout = Layout();
    return n >= layout.FirstShown && n <= layout.LastShown;
}

void TPqTabControlModel::MouseDown(QPoint point, bool tabStop)
{
    const int hit = TabAt(point);
    if (hit < 0 || (!FTabs[std::size_t(hit)].TabEnabled && !Designing))
        return;
    if (tabStop && hit == FTabIndex && !FHost.TakeFocus())
        return;
    SetTabIndex(hit);
    if (FTabIndex == hit)
        FHost.DoTabClick();
}

int TPqTabControlModel::searchSelectable(int from, int step, int stopAt)
{
    const int count = TabCount();
    for (int k = 0; k < count; ++k) {
        const int index = ((from + k * step) % count + count) % count;
        if (index == stopAt)
            break;
        if (CanChange(index))
            return index;
    }
    return -1;
}

bool TPqTabControlModel::KeyDown(TPqTabKey key)
{
    const int count = TabCount();
    if (count == 0)
        return false;
    const bool reverse = FMetrics.TabSequence == tsReverse;
    int found = -1;
    switch (key) {
    case TPqTabKey::Home:
        found = searchSelectable(0, 1, FTabIndex);
        break;
    case TPqTabKey::End:
        found = searchSelectable(count - 1, -1, FTabIndex);
        break;
    case TPqTabKey::Previous:
    case TPqTabKey::Next: {
        const int step = (key == TPqTabKey::Next) != reverse ? 1 : -1;
        found = searchSelectable(FTabIndex + step, step, FTabIndex);
        break;
    }
    }
    if (found >= 0 && found != FTabIndex) {
        SetTabIndex(found, true);
        FHost.DoTabClick();
    }
    return true;
}

bool TPqTabControlModel::Accelerator(QChar ch, bool canFocus)
{
    if (!canFocus)
        return false;
    for (int i = 0; i < TabCount(); ++i) {
        const TPqTabEntry &tab = FTabs[std::size_t(i)];
        if (!tab.TabEnabled || !IsAccelerator(ch, tab.Caption))
            continue;
        FHost.TakeFocus();
        SetTabIndex(i);
        if (FTabIndex == i)
            FHost.DoTabClick();
        return true;
    }
    return false;
}

void TPqTabControlModel::setHotTab(int tab)
{
    if (tab == FHotTab)
        return;
    FHotTab = tab;
    if (HotTrack)
        FHost.Invalidate(true);
    if (tab >= 0)
        FHost.StartHotTrackTimer();
    else
        FHost.StopHotTrackTimer();
}

void TPqTabControlModel::MouseMove(QPoint point)
{
    if (Designing || (!HotTrack && !TabHints))
        return;
    setHotTab(TabAt(point));
}

void TPqTabControlModel::HotTrackTick(QPoint point)
{
    if (FHotTab >= 0 && TabAt(point) < 0)
        setHotTab(-1);
}

void TPqTabControlModel::MouseLeave()
{
    setHotTab(-1);
}

QString TPqTabControlModel::CurrentHint() const
{
    if (!TabHints || FHotTab < 0 || FHotTab >= TabCount())
        return {};
    return FTabs[std::size_t(FHotTab)].Hint;
}

void TPqTabControlModel::CheckConsistency() const
{
    if (FTabIndex < -1 || FTabIndex >= TabCount())
        throw std::logic_error("TabIndex out of range");
    if (FHotTab < -1 || FHotTab >= TabCount())
        throw std::logic_error("hot tab out of range");
    if (FFirstShown < 0 || (TabCount() > 0 && FFirstShown >= TabCount()))
        throw std::logic_error("first shown tab out of range");
    for (std::size_t i = 1; i < FTabs.size(); ++i) {
        if (FTabs[i].PageIndex <= FTabs[i - 1].PageIndex)
            throw std::logic_error("tabs out of page order");
    }
}

} // namespace kestrum
