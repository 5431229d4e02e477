#include "pages/PqTabSheet.h"

#include "pages/PqGroupBox.h"
#include "pages/PqPageControl.h"
#include "ui/Painting.h"

#include <QChildEvent>
#include <QFrame>
#include <QGroupBox>

namespace kestrum {

TPqTabSheet::TPqTabSheet(TPqPageControl *pageControl)
    : QWidget(pageControl), FPageControl(pageControl), FColor(SystemColor(clBtnFace))
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, FColor);
    setPalette(palette);
    hide();
    FPageControl->insertPage(this);
}

TPqTabSheet::~TPqTabSheet()
{
    if (FPageControl)
        FPageControl->removePage(this);
}

bool TPqTabSheet::IsPlacedControl(const QWidget *widget) const
{
    if (qobject_cast<const TPqTabSheet *>(widget))
        return false;
    for (const QWidget *parent = widget->parentWidget(); parent && parent != this;
         parent = parent->parentWidget()) {
        const QMetaObject *kind = parent->metaObject();
        const bool container =
            kind == &QWidget::staticMetaObject || kind == &QFrame::staticMetaObject ||
            kind == &QGroupBox::staticMetaObject || qobject_cast<const TPqGroupBox *>(parent) ||
            qobject_cast<const TPqTabSheet *>(parent) || qobject_cast<const TPqPageControl *>(parent);
        if (!container)
            return false;
    }
    return true;
}

void TPqTabSheet::childEvent(QChildEvent *event)
{
    if (event->type() == QEvent::ChildAdded && event->child()->isWidgetType())
        watch(static_cast<QWidget *>(event->child()));
    QWidget::childEvent(event);
}

void TPqTabSheet::watch(QWidget *widget)
{
    widget->installEventFilter(this);
    for (QWidget *inner : widget->findChildren<QWidget *>())
        inner->installEventFilter(this);
}

bool TPqTabSheet::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ChildAdded: {
        QObject *child = static_cast<QChildEvent *>(event)->child();
        if (child->isWidgetType())
            watch(static_cast<QWidget *>(child));
        break;
    }
    case QEvent::ShowToParent:
        // Only a control placed on the sheet counts, and only once the form is
        // up: while it is built every control is shown in turn, and composite
        // controls show and hide their own parts at will (a grid its scroll
        // bars, a nested page control its sheets).
        if (!window()->isVisible() || !IsPlacedControl(static_cast<QWidget *>(watched)))
            break;
        [[fallthrough]];
    case QEvent::FocusIn:
        // While the sheet itself is being shown, Qt shows the controls on it
        // one by one; only a sheet that stays hidden needs bringing up.
        if (FPageControl && isHidden())
            FPageControl->ShowControl(static_cast<QWidget *>(watched));
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TPqTabSheet::changed()
{
    if (FPageControl)
        FPageControl->rebuildTabs();
}

void TPqTabSheet::SetCaption(const QString &caption)
{
    if (caption == FCaption)
        return;
    FCaption = caption;
    changed();
}

void TPqTabSheet::SetImageIndex(int index)
{
    if (index == FImageIndex)
        return;
    FImageIndex = index;
    changed();
}

void TPqTabSheet::SetDisabledIndex(int index)
{
    if (index == FDisabledIndex)
        return;
    FDisabledIndex = index;
    changed();
}

void TPqTabSheet::SetTabEnabled(bool enabled)
{
    if (enabled == FTabEnabled)
        return;
    FTabEnabled = enabled;
    changed();
}

void TPqTabSheet::SetTabVisible(bool visible)
{
    if (visible == FTabVisible)
        return;
    FTabVisible = visible;
    changed();
}

void TPqTabSheet::SetHint(const QString &hint)
{
    if (hint == FHint)
        return;
    FHint = hint;
    changed();
}

void TPqTabSheet::SetColor(const QColor &color)
{
    if (color == FColor)
        return;
    FColor = color;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, color);
    setPalette(palette);
    changed();
}

int TPqTabSheet::PageIndex() const
{
    return FPageControl ? FPageControl->pageIndexOf(this) : -1;
}

void TPqTabSheet::SetPageIndex(int index)
{
    if (FPageControl)
        FPageControl->movePage(this, index);
}

int TPqTabSheet::TabIndex() const
{
    return FPageControl ? FPageControl->Model().TabIndexOfPage(PageIndex()) : -1;
}

} // namespace kestrum
