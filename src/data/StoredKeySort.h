#pragma once
// The sort of a record list by one key of stored numbers or text: every
// listed record's key becomes an unsigned integer of the same order (a
// number's bits, a string's first bytes), and (key, position) pairs are put
// in order by a radix sort a byte at a time over just the bytes in which
// the keys differ.
#include <cstdint>
#include <functional>
#include <vector>

namespace kestrum {

class TkvSortKey;

//! Whether a key sorts without calls per comparison: stored numbers or text.
bool SortsByStoredBits(const TkvSortKey &key);

//! Orders `records` by the key (SortsByStoredBits), ties staying in their
//! present order: records without a value go to the front (ascending) or
//! the back (descending) by their state, strings with equal first bytes then
//! by their whole text. `doneReading`, when given, is called once the key's
//! values have all been read, before the sort's largest buffers are taken:
//! a key the caller needs no more can let its columns go then.
void SortByOneStoredKey(const TkvSortKey &key, std::vector<int> &records,
                        const std::function<void()> &doneReading = {});

} // namespace kestrum
