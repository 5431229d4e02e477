#pragma once
// The month list that drops from the calendar's caption: seven months around
// the displayed one, scrolled while the pointer is held above or below it.
namespace kestrum {

class TkvCalendarMonthList {
public:
    static constexpr int RowCount = 7;

    //! Opens the list for a displayed month: it starts three months earlier.
    void Open(int year, int month);
    //! The month shown in a row (0 .. 6): year and month.
    void MonthAt(int row, int &year, int &month) const;
    //! -1 when no row is highlighted.
    int HighlightedRow() const { return FHighlightedRow; }
    //! The pointer at a row; rows outside 0..6 highlight nothing and scroll.
    void PointerAtRow(int row);
    //! The scroll interval while the pointer is above or below the list, by
    //! its distance in whole rows (0: less than one row away): 500, 250, 100
    //! or 50 ms.
    static int ScrollInterval(int wholeRowsAway);
    //! One timer tick while the pointer is above (negative) or below.
    void ScrollTick(int direction);
    //! Closing: true with the highlighted month when one is highlighted.
    bool Close(int &year, int &month) const;

private:
    int FTopIndex = 0; //!< year * 12 + month - 1 of the first row
    int FHighlightedRow = -1;
};

} // namespace kestrum
