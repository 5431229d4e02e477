#pragma once
// The navigator bar as screen readers see it: a tool bar whose children are
// its visible buttons, each named by its hint, enabled as the record set
// allows, focused when the keyboard stands on it, and pressed through the
// press action exactly as a click presses it.
#include <QAccessibleWidget>

#include <vector>

namespace kestrum {

class TkvCustomNavigator;

class TkvNavigatorAccessible : public QAccessibleWidget {
public:
    explicit TkvNavigatorAccessible(TkvCustomNavigator *navigator);
    ~TkvNavigatorAccessible() override;

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

    TkvCustomNavigator *Navigator() const;
    //! The position among the visible buttons of a button index, -1 when hidden.
    int ChildIndexOfButton(int buttonIndex) const;

private:
    mutable std::vector<QAccessible::Id> FButtons; //!< by button index; 0 until asked for
};

//! Registers the navigator's accessible interfaces (once; later calls do nothing).
void InstallNavigatorAccessibility();

//! Tells screen readers that the keyboard moved to another button, or that buttons changed state.
void NotifyNavigatorFocus(TkvCustomNavigator *navigator);
void NotifyNavigatorButtonsChanged(TkvCustomNavigator *navigator);

} // namespace kestrum
