#pragma once
// The sort of a record list by one stored key that holds few distinct values
// (an item, a category, a flag), as grouping asks for.
//
// A comparison sort or a radix sort of (key, position) pairs reads every
// listed record's key in the list's present order: after a sort by another
// column that is a jump through the key column (and, for text, through the
// storage's strings) per record. Here each record's value is numbered once
// in record order, the few values are sorted among themselves, and the
// records are placed by a counting sort of their value's rank: two passes
// over small arrays instead of several over pairs of the whole list.
#include <cstdint>
#include <functional>
#include <vector>

namespace kestrum {

class TkvSortKey;

//! The unsigned integer of a double's order (-0 taken as +0): equal doubles
//! give equal bits, and a greater double greater bits.
std::uint64_t OrderedDoubleBits(double value);

//! Orders `records` by the key (stored numbers or text, in the key's
//! direction), records without a value first when ascending and last when
//! descending (no buffer before Null), ties keeping their present order.
//! Does nothing and gives false when the list is short (a pair sort is as
//! quick) or its records hold more distinct values than a counting sort
//! suits; the caller sorts then. `doneReading` as for SortByOneStoredKey.
bool SortByFewValues(const TkvSortKey &key, std::vector<int> &records,
                     const std::function<void()> &doneReading = {});

} // namespace kestrum
