#include "navigator/NavigatorAccessible.h"

#include "navigator/Navigator.h"
#include "ui/AccessibleEvents.h"

#include <QAccessibleEvent>

namespace kestrum {

namespace {

class TkvNavigatorButtonAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TkvNavigatorButtonAccessible(TkvNavigatorAccessible *bar, int buttonIndex)
        : FBar(bar), FButtonIndex(buttonIndex)
    {
    }

    bool isValid() const override { return FBar->Navigator() && FBar->ChildIndexOfButton(FButtonIndex) >= 0; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return FBar->window(); }
    QAccessibleInterface *parent() const override { return FBar; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PushButton; }

    QString text(QAccessible::Text kind) const override
    {
        TkvCustomNavigator *navigator = FBar->Navigator();
        if (!navigator)
            return {};
        // The hint is all the button says of itself: it is its name and its help.
        if (kind == QAccessible::Name || kind == QAccessible::Description || kind == QAccessible::Help)
            return navigator->Buttons().Button(FButtonIndex).EffectiveHint();
        return {};
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        TkvCustomNavigator *navigator = FBar->Navigator();
        if (!navigator)
            return {};
        const QRect bounds = navigator->ViewInfo().ButtonBounds(FButtonIndex);
        return QRect(navigator->mapToGlobal(bounds.topLeft()), bounds.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        TkvCustomNavigator *navigator = FBar->Navigator();
        if (!navigator)
            return state;
        state.disabled = !navigator->isEnabled() || !navigator->Buttons().IsButtonEnabled(FButtonIndex);
        state.focusable = navigator->focusPolicy() & Qt::TabFocus;
        state.focused = navigator->hasFocus() && navigator->ViewInfo().FocusedIndex() == FButtonIndex;
        state.pressed = navigator->ViewInfo().PressedIndex() == FButtonIndex;
        state.invisible = !navigator->isVisible();
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        TkvCustomNavigator *navigator = FBar->Navigator();
        // A disabled button is not pressed, from the mouse, the keyboard or a reader.
        if (name == pressAction() && navigator && navigator->isEnabled() &&
            navigator->Buttons().IsButtonEnabled(FButtonIndex))
            navigator->ClickButton(FButtonIndex);
    }
    QStringList keyBindingsForAction(const QString &name) const override
    {
        return name == pressAction() ? QStringList{QStringLiteral("Space")} : QStringList{};
    }

private:
    TkvNavigatorAccessible *FBar;
    int FButtonIndex;
};

QAccessibleInterface *NavigatorAccessibleFactory(const QString &, QObject *object)
{
    if (auto *navigator = dynamic_cast<TkvCustomNavigator *>(object))
        return new TkvNavigatorAccessible(navigator);
    return nullptr;
}

} // namespace

TkvNavigatorAccessible::TkvNavigatorAccessible(TkvCustomNavigator *navigator)
    : QAccessibleWidget(navigator, QAccessible::ToolBar), FButtons(std::size_t(kvNavigatorButtonCount), 0)
{
}

TkvNavigatorAccessible::~TkvNavigatorAccessible()
{
    for (QAccessible::Id id : FButtons)
        if (id != 0)
            QAccessible::deleteAccessibleInterface(id);
}

TkvCustomNavigator *TkvNavigatorAccessible::Navigator() const
{
    return static_cast<TkvCustomNavigator *>(widget());
}

int TkvNavigatorAccessible::ChildIndexOfButton(int buttonIndex) const
{
    TkvCustomNavigator *navigator = Navigator();
    if (!navigator)
        return -1;
    const auto &infos = navigator->ViewInfo().ButtonInfos();
    for (std::size_t order = 0; order < infos.size(); ++order)
        if (infos[order].Index == buttonIndex)
            return int(order);
    return -1;
}

int TkvNavigatorAccessible::childCount() const
{
    TkvCustomNavigator *navigator = Navigator();
    return navigator ? int(navigator->ViewInfo().ButtonInfos().size()) : 0;
}

QAccessibleInterface *TkvNavigatorAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    const int buttonIndex = Navigator()->ViewInfo().ButtonInfos()[std::size_t(index)].Index;
    QAccessible::Id &id = FButtons[std::size_t(buttonIndex)];
    if (id == 0)
        id = QAccessible::registerAccessibleInterface(
            new TkvNavigatorButtonAccessible(const_cast<TkvNavigatorAccessible *>(this), buttonIndex));
    return QAccessible::accessibleInterface(id);
}

int TkvNavigatorAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    for (int index = 0; index < childCount(); ++index)
        if (this->child(index) == child)
            return index;
    return -1;
}

QAccessibleInterface *TkvNavigatorAccessible::childAt(int x, int y) const
{
    TkvCustomNavigator *navigator = Navigator();
    if (!navigator)
        return nullptr;
    return child(ChildIndexOfButton(navigator->ViewInfo().ButtonAt(navigator->mapFromGlobal(QPoint(x, y)))));
}

QAccessibleInterface *TkvNavigatorAccessible::focusChild() const
{
    TkvCustomNavigator *navigator = Navigator();
    if (!navigator || !navigator->hasFocus())
        return nullptr;
    return child(ChildIndexOfButton(navigator->ViewInfo().FocusedIndex()));
}

void InstallNavigatorAccessibility()
{
    QAccessible::installFactory(NavigatorAccessibleFactory);
}

void NotifyNavigatorFocus(TkvCustomNavigator *navigator)
{
    if (!navigator || !AccessibilityListening() || !navigator->hasFocus())
        return;
    auto *bar = dynamic_cast<TkvNavigatorAccessible *>(QAccessible::queryAccessibleInterface(navigator));
    const int index = bar ? bar->ChildIndexOfButton(navigator->ViewInfo().FocusedIndex()) : -1;
    if (index < 0)
        return;
    QAccessibleEvent event(navigator, QAccessible::Focus);
    event.setChild(index);
    PostAccessibilityEvent(event);
}

void NotifyNavigatorButtonsChanged(TkvCustomNavigator *navigator)
{
    if (!navigator || !AccessibilityListening())
        return;
    auto *bar = dynamic_cast<TkvNavigatorAccessible *>(QAccessible::queryAccessibleInterface(navigator));
    if (!bar)
        return;
    for (int index = 0; index < bar->childCount(); ++index) {
        QAccessible::State changed;
        changed.disabled = true;
        QAccessibleStateChangeEvent event(navigator, changed);
        event.setChild(index);
        PostAccessibilityEvent(event);
    }
}

} // namespace kestrum
