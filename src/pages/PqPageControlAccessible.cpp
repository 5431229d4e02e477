#include "pages/PqPageControlAccessible.h"

#include "pages/PqGroupBox.h"
#include "pages/PqPageControl.h"
#include "ui/AccessibleEvents.h"

#include <QAccessibleEvent>

namespace kestrum {

namespace {

//! A caption without its accelerator marks ("收入进&帐" reads "收入进帐", "&&" is one "&").
QString PlainCaption(const QString &caption)
{
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;
        else if (caption[i] == u'&')
            continue;
        plain += caption[i];
    }
    return plain;
}

class TPqPageTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TPqPageTabAccessible(const TPqPageControlAccessible *control, int tabIndex)
        : FControl(const_cast<TPqPageControlAccessible *>(control)), FTabIndex(tabIndex)
    {
    }

    bool isValid() const override { return FControl->Control() && FTabIndex < TabCount(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return FControl->window(); }
    QAccessibleInterface *parent() const override { return FControl->TabList(); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid())
            return {};
        const TPqTabEntry &tab = FControl->Control()->Model().Tabs()[std::size_t(FTabIndex)];
        switch (kind) {
        case QAccessible::Name:
            return PlainCaption(tab.Caption);
        case QAccessible::Description:
            return tab.Hint;
        case QAccessible::Accelerator: {
            const qsizetype mark = tab.Caption.indexOf(u'&');
            if (mark < 0 || mark + 1 >= tab.Caption.size() || tab.Caption[mark + 1] == u'&')
                return {};
            return QStringLiteral("Alt+") + tab.Caption[mark + 1].toUpper();
        }
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        TPqPageControl *control = FControl->Control();
        if (!isValid())
            return {};
        const QRect bounds = control->TabRect(FTabIndex);
        return bounds.isNull() ? QRect() : QRect(control->mapToGlobal(bounds.topLeft()), bounds.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid())
            return state;
        TPqPageControl *control = FControl->Control();
        const bool selected = control->TabIndex() == FTabIndex;
        state.selectable = true;
        state.selected = selected;
        state.focusable = control->focusPolicy() & Qt::TabFocus;
        state.focused = selected && control->hasFocus();
        state.disabled = !control->isEnabled() || !control->Model().Tabs()[std::size_t(FTabIndex)].TabEnabled;
        state.invisible = rect().isEmpty();
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
        // As a click on the tab: the page control asks OnChanging first and may refuse.
        if (name == pressAction() && isValid() && !state().disabled)
            FControl->Control()->SetTabIndex(FTabIndex);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    int TabCount() const { return FControl->Control() ? FControl->Control()->Model().TabCount() : 0; }

    TPqPageControlAccessible *FControl;
    int FTabIndex;
};

class TPqPageTabListAccessible : public QAccessibleInterface {
public:
    explicit TPqPageTabListAccessible(const TPqPageControlAccessible *control)
        : FControl(const_cast<TPqPageControlAccessible *>(control))
    {
    }

    bool isValid() const override { return FControl->Control() != nullptr; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return FControl->window(); }
    QAccessibleInterface *parent() const override { return FControl; }
    int childCount() const override { return isValid() ? FControl->Control()->Model().TabCount() : 0; }
    QAccessibleInterface *child(int index) const override { return FControl->Tab(index); }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int index = 0; index < childCount(); ++index)
            if (FControl->Tab(index) == child)
                return index;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (int index = 0; index < childCount(); ++index)
            if (FControl->Tab(index)->rect().contains(x, y))
                return FControl->Tab(index);
        return nullptr;
    }
    QAccessible::Role role() const override { return QAccessible::PageTabList; }
    QString text(QAccessible::Text) const override { return {}; }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        TPqPageControl *control = FControl->Control();
        if (!control)
            return {};
        const int row = control->FixedDimension() + 1;
        const QRect bounds(0, 0, control->width(), row);
        return QRect(control->mapToGlobal(bounds.topLeft()), bounds.size());
    }
    QAccessible::State state() const override { return {}; }

private:
    TPqPageControlAccessible *FControl;
};

//! A group box is a grouping named by its caption: what it holds is read under that name.
class TPqGroupBoxAccessible : public QAccessibleWidget {
public:
    explicit TPqGroupBoxAccessible(TPqGroupBox *box) : QAccessibleWidget(box, QAccessible::Grouping) {}
    QString text(QAccessible::Text kind) const override
    {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty())
            text = PlainCaption(static_cast<TPqGroupBox *>(widget())->Caption());
        return text;
    }
};

QAccessibleInterface *PageControlAccessibleFactory(const QString &, QObject *object)
{
    if (auto *control = qobject_cast<TPqPageControl *>(object))
        return new TPqPageControlAccessible(control);
    if (auto *box = qobject_cast<TPqGroupBox *>(object))
        return new TPqGroupBoxAccessible(box);
    return nullptr;
}

} // namespace

TPqPageControlAccessible::TPqPageControlAccessible(TPqPageControl *control)
    : QAccessibleWidget(control, QAccessible::Pane)
{
}

TPqPageControlAccessible::~TPqPageControlAccessible()
{
    for (QAccessible::Id id : FTabs)
        QAccessible::deleteAccessibleInterface(id);
    if (FTabList != 0)
        QAccessible::deleteAccessibleInterface(FTabList);
}

TPqPageControl *TPqPageControlAccessible::Control() const
{
    return static_cast<TPqPageControl *>(widget());
}

QAccessibleInterface *TPqPageControlAccessible::TabList() const
{
    if (FTabList == 0)
        FTabList = QAccessible::registerAccessibleInterface(new TPqPageTabListAccessible(this));
    return QAccessible::accessibleInterface(FTabList);
}

QAccessibleInterface *TPqPageControlAccessible::Tab(int tabIndex) const
{
    if (!Control() || tabIndex < 0 || tabIndex >= Control()->Model().TabCount())
        return nullptr;
    // A tab stands for its place in the row; its caption and state are read when asked.
    while (int(FTabs.size()) <= tabIndex)
        FTabs.push_back(
            QAccessible::registerAccessibleInterface(new TPqPageTabAccessible(this, int(FTabs.size()))));
    return QAccessible::accessibleInterface(FTabs[std::size_t(tabIndex)]);
}

int TPqPageControlAccessible::childCount() const
{
    return 1 + QAccessibleWidget::childCount();
}

QAccessibleInterface *TPqPageControlAccessible::child(int index) const
{
    if (index == 0)
        return TabList();
    return QAccessibleWidget::child(index - 1);
}

int TPqPageControlAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    if (child && child == TabList())
        return 0;
    const int index = QAccessibleWidget::indexOfChild(child);
    return index < 0 ? -1 : index + 1;
}

QAccessibleInterface *TPqPageControlAccessible::focusChild() const
{
    if (Control() && Control()->hasFocus())
        return Tab(Control()->TabIndex());
    return QAccessibleWidget::focusChild();
}

void InstallPageControlAccessibility()
{
    QAccessible::installFactory(PageControlAccessibleFactory);
}

void NotifyPageControlTabChanged(TPqPageControl *control)
{
    if (!control || !AccessibilityListening())
        return;
    auto *accessible =
        dynamic_cast<TPqPageControlAccessible *>(QAccessible::queryAccessibleInterface(control));
    QAccessibleInterface *tab = accessible ? accessible->Tab(control->TabIndex()) : nullptr;
    if (!tab)
        return;
    QAccessibleEvent selection(tab, QAccessible::Selection);
    PostAccessibilityEvent(selection);
    if (control->hasFocus()) {
        QAccessibleEvent focus(tab, QAccessible::Focus);
        PostAccessibilityEvent(focus);
    }
}

} // namespace kestrum
