// The cursor's position and ends as moves, jumps, pending records and
// changed row counts leave them.
#include "db/DbCursor.h"

#include <gtest/gtest.h>

#include <climits>

namespace kestrum {
namespace {

void ExpectAt(const TDbCursor &cursor, int position, TDbCursorEdge edge)
{
    EXPECT_EQ(cursor.Position(), position);
    EXPECT_EQ(cursor.Edge(), edge);
    EXPECT_EQ(cursor.Bof(), edge == TDbCursorEdge::Bof || edge == TDbCursorEdge::Both);
    EXPECT_EQ(cursor.Eof(), edge == TDbCursorEdge::Eof || edge == TDbCursorEdge::Both);
}

TEST(Cursor, OverNoRowsItStandsAtBothEndsWhateverTheMove)
{
    ExpectAt(TDbCursor(), -1, TDbCursorEdge::Both);
    ExpectAt(TDbCursor::AtFirst(0), -1, TDbCursorEdge::Both);
    ExpectAt(TDbCursor::AtLast(0), -1, TDbCursorEdge::Both);
    ExpectAt(TDbCursor().MovedBy(3, 0), -1, TDbCursorEdge::Both);
    ExpectAt(TDbCursor::Settled(-1, 0), -1, TDbCursorEdge::Both);
}

TEST(Cursor, AMoveThatTriesToPassAnEndStopsOnItsRowAndMarksIt)
{
    TDbCursor cursor = TDbCursor::AtFirst(3);
    ExpectAt(cursor, 0, TDbCursorEdge::Bof);
    cursor = cursor.MovedBy(1, 3);
    ExpectAt(cursor, 1, TDbCursorEdge::Inside);
    cursor = cursor.MovedBy(1, 3);
    ExpectAt(cursor, 2, TDbCursorEdge::Inside); // landing on the last row is not passing it
    cursor = cursor.MovedBy(1, 3);
    ExpectAt(cursor, 2, TDbCursorEdge::Eof);
    ExpectAt(cursor.MovedBy(0, 3), 2, TDbCursorEdge::Eof); // standing still changes nothing
    ExpectAt(cursor.MovedBy(-10, 3), 0, TDbCursorEdge::Bof);
    ExpectAt(TDbCursor::AtLast(3), 2, TDbCursorEdge::Eof);
    // Distances at the ends of int must not wrap around.
    ExpectAt(cursor.MovedBy(INT_MAX, 3), 2, TDbCursorEdge::Eof);
    ExpectAt(TDbCursor::AtFirst(3).MovedBy(INT_MIN, 3), 0, TDbCursorEdge::Bof);
}

TEST(Cursor, JumpsAndRowChangesLeaveNoEndMarkedUnlessNoRowIsLeft)
{
    ExpectAt(TDbCursor::At(4), 4, TDbCursorEdge::Inside);
    ExpectAt(TDbCursor::Settled(0, 1), 0, TDbCursorEdge::Inside);
    ExpectAt(TDbCursor::Settled(-1, 0), -1, TDbCursorEdge::Both);
    // The rows left after a delete went away under an Eof cursor.
    ExpectAt(TDbCursor::AtLast(2).MovedBy(1, 2), 1, TDbCursorEdge::Eof);
    ExpectAt(TDbCursor::Settled(0, 1), 0, TDbCursorEdge::Inside);
}

TEST(Cursor, APendingRecordIsNeverAtBofAndAtEofOnlyWhenAppended)
{
    const TDbCursor first = TDbCursor::AtFirst(3);
    ExpectAt(first.Inserting(false), 0, TDbCursorEdge::Inside);
    ExpectAt(first.Inserting(true), 0, TDbCursorEdge::Eof);
    ExpectAt(TDbCursor().Inserting(true), -1, TDbCursorEdge::Eof);
    // The cursor kept from before the insert is what a cancel returns to.
    EXPECT_EQ(first, TDbCursor::AtFirst(3));
    EXPECT_NE(first, first.Inserting(false));
}

} // namespace
} // namespace kestrum
