#pragma once
// The parts of the grid's accessible table that stand for one place: a
// header, data or footer cell, and the footer band holding the totals. They
// keep their place, not their text; every answer comes from the model when
// asked, so a cell a reader holds stays right while its place exists.
#include <QAccessible>

#include <cstdint>

namespace kestrum {

class TkvGridAccessibleTable;
enum class TkvGridAccessiblePart : std::uint8_t;

//! A new, unregistered cell of the table at a place (row -1 for header and footer cells).
QAccessibleInterface *MakeGridAccessibleCell(const TkvGridAccessibleTable *table,
                                             QAccessibleInterface *parent, TkvGridAccessiblePart part,
                                             int row, int column);
//! A new, unregistered footer band of the table.
QAccessibleInterface *MakeGridAccessibleFooter(const TkvGridAccessibleTable *table);

} // namespace kestrum
