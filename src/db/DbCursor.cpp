#include "db/DbCursor.h"

namespace kestrum {

TDbCursor TDbCursor::AtFirst(int count)
{
    return count > 0 ? TDbCursor(0, TDbCursorEdge::Bof) : TDbCursor();
}

TDbCursor TDbCursor::AtLast(int count)
{
    return count > 0 ? TDbCursor(count - 1, TDbCursorEdge::Eof) : TDbCursor();
}

TDbCursor TDbCursor::Settled(int position, int count)
{
    return TDbCursor(position, count > 0 ? TDbCursorEdge::Inside : TDbCursorEdge::Both);
}

TDbCursor TDbCursor::MovedBy(int distance, int count) const
{
    if (count == 0)
        return TDbCursor(FPosition, TDbCursorEdge::Both);
    if (distance == 0)
        return *this;
    const long long target = static_cast<long long>(FPosition) + distance;
    if (target >= count)
        return TDbCursor(count - 1, TDbCursorEdge::Eof);
    if (target < 0)
        return TDbCursor(0, TDbCursorEdge::Bof);
    return TDbCursor(int(target), TDbCursorEdge::Inside);
}

TDbCursor TDbCursor::Inserting(bool atEnd) const
{
    return TDbCursor(FPosition, atEnd ? TDbCursorEdge::Eof : TDbCursorEdge::Inside);
}

} // namespace kestrum
