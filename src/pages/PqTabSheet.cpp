#include "pages/PqTabSheet.h"

#include "pages/PqPageControl.h"
#include "ui/Painting.h"

#include <QChildEvent>

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
        // A nested page control shows its own sheets while it switches pages;
        // that is no request to show this sheet.
        if (qobject_cast<TPqTabSheet *>(watched))
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
