#include "editors/CalendarMonthList.h"

namespace kestrum {

void TkvCalendarMonthList::Open(int year, int month)
{
    FTopIndex = year * 12 + (month - 1) - 3;
    FHighlightedRow = -1;
}

void TkvCalendarMonthList::MonthAt(int row, int &year, int &month) const
{
    int index = FTopIndex + row;
    year = index / 12;
    month = index % 12 + 1;
}

void TkvCalendarMonthList::PointerAtRow(int row)
{
    FHighlightedRow = row >= 0 && row < RowCount ? row : -1;
}

int TkvCalendarMonthList::ScrollInterval(int wholeRowsAway)
{
    switch (wholeRowsAway) {
    case 0:
        return 500;
    case 1:
        return 250;
    case 2:
        return 100;
    default:
        return wholeRowsAway < 0 ? 500 : 50;
    }
}

void TkvCalendarMonthList::ScrollTick(int direction)
{
    int next = FTopIndex + (direction < 0 ? -1 : 1);
    // Years stay within 1 .. 9999 so every row decodes to a real month.
    if (next >= 12 && next + RowCount - 1 < 10000 * 12)
        FTopIndex = next;
}

bool TkvCalendarMonthList::Close(int &year, int &month) const
{
    if (FHighlightedRow < 0)
        return false;
    MonthAt(FHighlightedRow, year, month);
    return true;
}

} // namespace kestrum
