#include "editors/CalendarMonthListBox.h"

#include "core/RegionalSettings.h"
#include "editors/PopupWindow.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace kestrum {

TMonthListBox::TMonthListBox(QWidget *owner) : QWidget(owner, PopupWindowFlags())
{
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    hide();
    QObject::connect(&FScrollTimer, &QTimer::timeout, this, [this] { ScrollTick(); });
}

void TMonthListBox::Popup(const QRect &caption, int rowHeight, int width, int year, int month)
{
    FModel.Open(year, month);
    FRowHeight = std::max(4, rowHeight);
    FScrollTimer.stop();
    resize(width, TkvCalendarMonthList::RowCount * FRowHeight);
    QPoint topLeft = caption.center() - QPoint(this->width() / 2, height() / 2);
    if (isWindow()) {
        // Over the caption on the screen, moved inside it when the calendar
        // sits near an edge.
        QWidget *owner = parentWidget();
        topLeft = owner->mapToGlobal(topLeft);
        QScreen *screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            QRect area = screen->availableGeometry();
            topLeft.setX(std::clamp(topLeft.x(), area.left(),
                                    std::max(area.left(), area.right() + 1 - this->width())));
            topLeft.setY(
                std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - height())));
        }
    }
    move(topLeft);
    FOpen = true;
    show();
    raise();
    update();
}

QRect TMonthListBox::RowRect(int row) const
{
    return QRect(0, row * FRowHeight, width(), FRowHeight);
}

void TMonthListBox::PointerAt(QPoint point)
{
    if (!FOpen)
        return;
    int row = int(std::floor(double(point.y()) / FRowHeight));
    bool inside = row >= 0 && row < TkvCalendarMonthList::RowCount;
    FModel.PointerAtRow(inside && point.x() >= 0 && point.x() < width() ? row : -1);
    if (inside) {
        FScrollTimer.stop();
    } else {
        int rowsAway = row < 0 ? -row - 1 : row - TkvCalendarMonthList::RowCount;
        FScrollDirection = row < 0 ? -1 : 1;
        int interval = TkvCalendarMonthList::ScrollInterval(rowsAway);
        if (!FScrollTimer.isActive() || FScrollTimer.interval() != interval)
            FScrollTimer.start(interval);
    }
    update();
}

void TMonthListBox::ScrollTick()
{
    FModel.ScrollTick(FScrollDirection);
    update();
}

void TMonthListBox::Release()
{
    if (!FOpen)
        return;
    Closed(true);
    hide();
}

void TMonthListBox::Closed(bool chosen)
{
    if (!FOpen)
        return;
    FOpen = false;
    FScrollTimer.stop();
    int year = 0, month = 0;
    chosen = chosen && FModel.Close(year, month);
    if (OnClosed)
        OnClosed(chosen, year, month);
}

void TMonthListBox::mouseMoveEvent(QMouseEvent *event)
{
    PointerAt(event->position().toPoint());
}

void TMonthListBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    PointerAt(event->position().toPoint());
    Release();
}

void TMonthListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Closed(false);
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TMonthListBox::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    Closed(false);
}

void TMonthListBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().windowText().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const RegionalSettings &settings = regionalSettings();
    for (int row = 0; row < TkvCalendarMonthList::RowCount; ++row) {
        int year = 0, month = 0;
        FModel.MonthAt(row, year, month);
        QRect cell = RowRect(row).adjusted(1, 0, -1, 0);
        if (row == FModel.HighlightedRow()) {
            painter.fillRect(cell, palette().highlight());
            painter.setPen(palette().highlightedText().color());
        } else {
            painter.setPen(palette().text().color());
        }
        QString name = month - 1 < settings.longMonthNames.size() ? settings.longMonthNames[month - 1]
                                                                  : QString::number(month);
        painter.drawText(cell, Qt::AlignCenter, name + u' ' + QString::number(year));
    }
}

} // namespace kestrum
