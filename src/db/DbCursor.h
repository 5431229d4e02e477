#pragma once
// Where a record set stands among its visible rows: a position, and which end
// of the rows the last move ran into. Moving is arithmetic on the row count
// alone, so the record set only has to tell its listeners when the position
// changed.
namespace kestrum {

//! The ends a cursor touches. A move that tries to pass the first row stands
//! at Bof, one that tries to pass the last at Eof; a cursor over no rows is
//! at both ends at once.
enum class TDbCursorEdge { Inside, Bof, Eof, Both };

class TDbCursor {
public:
    TDbCursor() = default; //!< over no rows

    int Position() const { return FPosition; } //!< -1 when there is no row
    TDbCursorEdge Edge() const { return FEdge; }
    bool Bof() const { return FEdge == TDbCursorEdge::Bof || FEdge == TDbCursorEdge::Both; }
    bool Eof() const { return FEdge == TDbCursorEdge::Eof || FEdge == TDbCursorEdge::Both; }

    //! The first of count rows, as an open or a new filter leaves it: at Bof
    //! (and at Eof as well when there are none).
    static TDbCursor AtFirst(int count);
    //! The last of count rows: at Eof.
    static TDbCursor AtLast(int count);
    //! A row reached directly (located or by bookmark): at neither end.
    static TDbCursor At(int position) { return TDbCursor(position, TDbCursorEdge::Inside); }
    //! Where the cursor settles after rows came or went: on position, at both
    //! ends when no row is left, at neither otherwise.
    static TDbCursor Settled(int position, int count);

    //! distance rows on among count. A move that would pass an end stops on
    //! the row at that end and marks it; landing on the last row does not.
    //! With no rows the cursor stays where it is, at both ends.
    TDbCursor MovedBy(int distance, int count) const;
    //! The cursor while a new record is pending at its place: never at Bof,
    //! at Eof when the record is appended after the last row.
    TDbCursor Inserting(bool atEnd) const;

    friend bool operator==(const TDbCursor &, const TDbCursor &) = default;

private:
    TDbCursor(int position, TDbCursorEdge edge) : FPosition(position), FEdge(edge) {}

    int FPosition = -1;
    TDbCursorEdge FEdge = TDbCursorEdge::Both;
};

} // namespace kestrum
