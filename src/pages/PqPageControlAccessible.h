#pragma once
// The page control as screen readers see it: a page tab list with one page
// tab per visible tab (named by its caption, selected when its page shows,
// pressed to switch pages), followed by the sheets themselves.
#include <QAccessibleWidget>

#include <vector>

namespace kestrum {

class TPqPageControl;

class TPqPageControlAccessible : public QAccessibleWidget {
public:
    explicit TPqPageControlAccessible(TPqPageControl *control);
    ~TPqPageControlAccessible() override;

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *focusChild() const override;

    TPqPageControl *Control() const;
    //! The list of tabs (the first child).
    QAccessibleInterface *TabList() const;
    //! A tab by its index among the visible tabs; nullptr outside.
    QAccessibleInterface *Tab(int tabIndex) const;

private:
    mutable QAccessible::Id FTabList = 0;
    mutable std::vector<QAccessible::Id> FTabs;
};

//! Registers the page control's accessible interfaces (once; later calls do nothing).
void InstallPageControlAccessibility();

//! Tells screen readers which tab is selected now (announced as focus while the control has it).
void NotifyPageControlTabChanged(TPqPageControl *control);

} // namespace kestrum
