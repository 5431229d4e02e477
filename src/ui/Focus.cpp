#include "ui/Focus.h"

#include <QWidget>

namespace kestrum {

QWidget *FirstFocusableChild(QWidget *container)
{
    for (QWidget *widget = container->nextInFocusChain(); widget && widget != container;
         widget = widget->nextInFocusChain()) {
        if (container->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) &&
            widget->isEnabled() && widget->isVisibleTo(container))
            return widget;
    }
    return nullptr;
}

} // namespace kestrum
