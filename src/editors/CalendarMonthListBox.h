#pragma once
// The calendar's month list as a window of its own, laid over the caption:
// the three months before the displayed one reach above the calendar, so
// the list cannot be drawn inside it.
#include "editors/CalendarMonthList.h"

#include <QTimer>
#include <QWidget>

#include <functional>

namespace kestrum {

class TMonthListBox : public QWidget {
public:
    //! owner: the calendar, whose coordinates Popup takes.
    explicit TMonthListBox(QWidget *owner);

    TkvCalendarMonthList &Model() { return FModel; }
    //! Opens the list for a displayed month, centred on caption (a rectangle
    //! of the owner), rowHeight high per month and width wide.
    void Popup(const QRect &caption, int rowHeight, int width, int year, int month);
    bool IsOpen() const { return FOpen; }
    int RowHeight() const { return FRowHeight; }
    QRect RowRect(int row) const;
    //! The pointer at a point of the list (held button): highlights the month
    //! under it, or scrolls while it is above or below the list.
    void PointerAt(QPoint point);
    //! The button released: closes and reports the highlighted month.
    void Release();
    //! The scroll timer's interval while the pointer is outside, else 0.
    int ScrollInterval() const { return FScrollTimer.isActive() ? FScrollTimer.interval() : 0; }
    //! One scroll step, as the timer does it.
    void ScrollTick();

    //! Called once each time the list closes: chosen with the highlighted
    //! month, or not (released outside the months, Esc, a click elsewhere).
    std::function<void(bool chosen, int year, int month)> OnClosed;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void Closed(bool chosen);

    TkvCalendarMonthList FModel;
    QTimer FScrollTimer;
    int FScrollDirection = 0;
    int FRowHeight = 16;
    bool FOpen = false;
};

} // namespace kestrum
