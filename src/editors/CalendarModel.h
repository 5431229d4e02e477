#pragma once
// The month calendar's logic: the selected date, the displayed month, the 42
// days of the grid and the keyboard moves. The widget paints what this
// computes and turns keys and clicks into these calls.
#include "core/Variant.h"

#include <qnamespace.h>

namespace kestrum {

class TkvCalendarModel {
public:
    //! Today selected and its month shown; the week starts on the regional
    //! first day.
    TkvCalendarModel();

    //! 0 Sunday .. 6 Saturday.
    int FirstWeekDay() const { return FFirstWeekDay; }
    void SetFirstWeekDay(int value) { FFirstWeekDay = ((value % 7) + 7) % 7; }

    //! NullDate when no date is selected.
    double SelectedDate() const { return FSelectedDate; }
    //! Selects a date and moves the display so that it is visible; the null
    //! date only clears the selection. False when nothing changed.
    bool SetSelectedDate(double date);
    //! The first day of the displayed month.
    double FirstDate() const { return FFirstDate; }
    //! Shows the month of date (any day of it).
    void SetFirstDate(double date);
    void ShowPreviousMonth();
    void ShowNextMonth();
    int DisplayedYear() const;
    int DisplayedMonth() const;

    //! The first of the 42 days shown: the month's first day moved back to
    //! the first column, a whole week back when it already is there.
    double FirstVisibleDate() const;
    double LastVisibleDate() const { return FirstVisibleDate() + 41; }
    double DayAt(int row, int column) const { return FirstVisibleDate() + row * 7 + column; }
    //! The column of a date in the grid (0 = the first week day).
    int ColumnOf(double date) const;
    bool IsInDisplayedMonth(double date) const;

    //! Arrows, Page Up/Down, Home/End (with Ctrl: the month's first and last
    //! day); true when the key moved the selection.
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers);

private:
    double MoveBase() const;

    int FFirstWeekDay = 1;
    double FSelectedDate = NullDate;
    double FFirstDate = 0;
};

} // namespace kestrum
