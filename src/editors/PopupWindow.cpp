#include "editors/PopupWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace kestrum {

Qt::WindowFlags PopupWindowFlags()
{
    if (QGuiApplication::platformName() == QStringLiteral("offscreen"))
        return Qt::Widget;
    return Qt::Popup | Qt::FramelessWindowHint;
}

TkvPopupWindow::TkvPopupWindow(QWidget *owner) : QFrame(owner, PopupWindowFlags())
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
}

void TkvPopupWindow::SetContent(QWidget *content)
{
    if (FContent == content)
        return;
    delete FContent;
    FContent = content;
    if (content) {
        content->setParent(this);
        layout()->addWidget(content);
        setFocusProxy(content);
    }
}

void TkvPopupWindow::ShowUnder(QWidget *anchor)
{
    if (FContent)
        FContent->adjustSize();
    adjustSize();
    QPoint below = anchor->mapToGlobal(QPoint(0, anchor->height()));
    QScreen *screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect area = screen->availableGeometry();
        if (below.y() + height() > area.bottom() &&
            anchor->mapToGlobal(QPoint(0, 0)).y() - height() >= area.top())
            below.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - height());
        if (below.x() + width() > area.right())
            below.setX(std::max(area.left(), area.right() - width()));
    }
    if (isWindow())
        move(below);
    FOpen = true;
    show();
    if (FContent)
        FContent->setFocus(Qt::PopupFocusReason);
}

void TkvPopupWindow::ClosePopup()
{
    hide();
    Closed(); // a child of a hidden owner gets no hide event
}

void TkvPopupWindow::Closed()
{
    if (!FOpen)
        return;
    FOpen = false;
    if (OnClosed)
        OnClosed();
}

void TkvPopupWindow::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    Closed();
}

} // namespace kestrum
