#include "data/StoredKeySort.h"

#include "core/MoneySum.h"
#include "data/FewValuesSort.h"
#include "data/RecordComparer.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>

namespace kestrum {

namespace {

//! A key and its record (a position in the list being sorted). Packed to
//! 12 bytes: a list of ten million pairs, and the radix sort's second buffer
//! of as many, are a quarter smaller than padded to 16.
struct __attribute__((packed, aligned(4))) WideSlot {
    std::uint64_t key;
    std::uint32_t record;
};
static_assert(sizeof(WideSlot) == 12);

//! The same when every key lies within 2^32 of the least: amounts in cents,
//! dates, counts. Two thirds of the memory, and fewer bytes to pass over.
struct NarrowSlot {
    std::uint32_t key;
    std::uint32_t record;
};
static_assert(sizeof(NarrowSlot) == 8);

using ByteCounts = std::array<std::size_t, 256>;

//! Flips a two's complement number into an unsigned one of the same order.
constexpr std::uint64_t SignBit = 0x8000000000000000ull;

//! One pass of a radix sort: stable by the byte `shift` bits up of `field`,
//! from `from` into `to`.
template <typename Slot, typename Field>
void radixPass(const Slot *from, Slot *to, std::size_t n, ByteCounts count, int shift, Field field)
{
    std::size_t start = 0;
    for (std::size_t &c : count) {
        const std::size_t size = c;
        c = start;
        start += size;
    }
    for (const Slot *slot = from; slot != from + n; ++slot)
        to[count[(field(*slot) >> shift) & 0xff]++] = *slot;
}

//! From this many pairs on, a radix pass per varying byte costs less than
//! sorting by comparison however many bytes vary (amounts vary in all of
//! theirs): comparisons grow with log2 of the count, past 16 per entry here.
constexpr std::size_t RadixAlways = std::size_t(1) << 16;

//! Sorts `n` pairs by key, then record, using `spare` (room for as many) as
//! the radix passes' second buffer; gives where the sorted pairs are. A
//! column of few distinct values, or strings with a common start, has few
//! bytes that tell keys apart: a radix sort a byte at a time over just those
//! bytes (and the record's, when the pairs are not in record order yet) is
//! the fastest then; short lists of keys that differ in many bytes are
//! sorted by comparison.
template <typename Slot> Slot *sortSlots(Slot *pairs, Slot *spare, std::size_t n)
{
    constexpr int KeyBytes = int(sizeof(Slot::key));
    const auto byKeyThenRecord = [](const Slot &a, const Slot &b) {
        return a.key < b.key || (a.key == b.key && a.record < b.record);
    };
    if (n < 2)
        return pairs;
    std::array<ByteCounts, KeyBytes> keyCounts{};
    for (const Slot *slot = pairs; slot != pairs + n; ++slot) {
        const std::uint64_t key = slot->key;
        for (int b = 0; b < KeyBytes; ++b)
            ++keyCounts[std::size_t(b)][(key >> (8 * b)) & 0xff];
    }
    std::vector<int> varying;
    for (int b = 0; b < KeyBytes; ++b)
        if (keyCounts[std::size_t(b)][(std::uint64_t(pairs[0].key) >> (8 * b)) & 0xff] != n)
            varying.push_back(b);
    if (n < 256 || (varying.size() > 5 && n < RadixAlways)) {
        QuickSortRecords(pairs, std::ptrdiff_t(n), byKeyThenRecord);
        return pairs;
    }
    Slot *from = pairs, *to = spare;
    const bool recordOrder =
        std::is_sorted(pairs, pairs + n, [](const Slot &a, const Slot &b) { return a.record < b.record; });
    if (!recordOrder) {
        std::array<ByteCounts, 4> recordCounts{};
        for (const Slot *slot = pairs; slot != pairs + n; ++slot)
            for (int b = 0; b < 4; ++b)
                ++recordCounts[std::size_t(b)][(slot->record >> (8 * b)) & 0xff];
        for (int b = 0; b < 4; ++b)
            if (recordCounts[std::size_t(b)][(pairs[0].record >> (8 * b)) & 0xff] != n) {
                radixPass(from, to, n, recordCounts[std::size_t(b)], 8 * b,
                          [](const Slot &slot) { return std::uint64_t(slot.record); });
                std::swap(from, to);
            }
    }
    for (int b : varying) {
        radixPass(from, to, n, keyCounts[std::size_t(b)], 8 * b,
                  [](const Slot &slot) { return std::uint64_t(slot.key); });
        std::swap(from, to);
    }
    return from;
}

//! Sorts the pairs of a vector in place (see sortSlots).
void sortWideSlots(std::vector<WideSlot> &pairs)
{
    const auto spare = std::make_unique_for_overwrite<WideSlot[]>(pairs.size());
    const WideSlot *sorted = sortSlots(pairs.data(), spare.get(), pairs.size());
    if (sorted != pairs.data())
        std::copy(sorted, sorted + pairs.size(), pairs.begin());
}
//! The 8 bytes (or 4 UTF-16 units) of a string from `offset` on, big-endian,
//! zero-padded.
std::uint64_t prefixOf(std::string_view text, std::size_t offset = 0)
{
    std::uint64_t prefix = 0;
    for (std::size_t i = offset; i < offset + 8; ++i)
        prefix = (prefix << 8) | (i < text.size() ? std::uint8_t(text[i]) : 0u);
    return prefix;
}

std::uint64_t prefixOf(std::u16string_view text, std::size_t offset = 0)
{
    std::uint64_t prefix = 0;
    for (std::size_t i = offset; i < offset + 4; ++i)
        prefix = (prefix << 16) | (i < text.size() ? std::uint16_t(text[i]) : 0u);
    return prefix;
}

//! The string view a column of texts gives for a record.
template <typename Texts> using TextView = std::remove_cvref_t<decltype(std::declval<const Texts &>()[0])>;

//! Past this many leading units held equal, a run is sorted by comparing
//! whole strings: each deeper step costs a pass over the run.
constexpr std::size_t DeepestPrefix = 64;
//! Runs this short are sorted by comparing whole strings.
constexpr std::size_t ShortRun = 32;

//! Orders the entries of a string key after their prefixes of `offset` plus
//! one key's units: within a run of one prefix the next units decide, taken
//! as the key of a further radix sort (item names often share their first
//! bytes: "expense 1", "expense 2"), unless the prefix held every one of
//! them whole (all of one length no longer than it). A pair's `record` is a
//! position in `records`; runs are in position order, and each step keeps
//! ties in it.
template <typename Texts>
void sortRunsOfOnePrefix(std::vector<WideSlot> &pairs, const Texts &texts, const std::vector<int> &records,
                         bool descending, std::size_t offset = 0)
{
    using View = TextView<Texts>;
    constexpr std::size_t Whole = 8 / sizeof(typename View::value_type);
    const std::size_t held = offset + Whole;
    const auto text = [&](const WideSlot &slot) -> View { return texts[std::size_t(records[slot.record])]; };
    std::vector<WideSlot> run;
    std::size_t begin = 0;
    while (begin < pairs.size()) {
        std::size_t end = begin + 1;
        const std::size_t size = text(pairs[begin]).size();
        bool oneLength = true;
        bool longer = size > held;
        while (end < pairs.size() && pairs[end].key == pairs[begin].key) {
            const std::size_t other = text(pairs[end]).size();
            oneLength = oneLength && other == size;
            longer = longer || other > held;
            ++end;
        }
        const auto first = pairs.begin() + std::ptrdiff_t(begin);
        const auto last = pairs.begin() + std::ptrdiff_t(end);
        begin = end;
        if (last - first < 2 || (oneLength && !longer))
            continue; // one entry, or every string held whole: equal
        if (!longer || std::size_t(last - first) <= ShortRun || held >= DeepestPrefix) {
            // The run is in position order: a stable sort keeps it among equal strings.
            std::stable_sort(first, last, [&](const WideSlot &a, const WideSlot &b) {
                const int c = text(a).compare(text(b));
                return descending ? c > 0 : c < 0;
            });
            continue;
        }
        run.assign(first, last);
        for (WideSlot &slot : run) {
            const std::uint64_t bits = prefixOf(text(slot), held);
            slot.key = descending ? ~bits : bits;
        }
        sortWideSlots(run);
        sortRunsOfOnePrefix(run, texts, records, descending, held);
        std::copy(run.begin(), run.end(), first);
    }
}

//! The positions in `records` of the records holding a value, in order:
//! walked twice (for the keys' range, then for their pairs) rather than kept
//! in a list of their own beside the pairs.
class PresentPositions {
public:
    PresentPositions(const std::vector<int> &records, const std::vector<std::uint8_t> &states,
                     std::size_t count)
        : FRecords(records), FStates(states), FCount(count)
    {
    }
    std::size_t Count() const { return FCount; }
    template <typename Visit> void ForEach(Visit visit) const
    {
        for (std::size_t position = 0; position < FRecords.size(); ++position)
            if (FStates[std::size_t(FRecords[position])] == vsPresent)
                visit(std::uint32_t(position));
    }

private:
    const std::vector<int> &FRecords;
    const std::vector<std::uint8_t> &FStates;
    std::size_t FCount;
};

//! The least and the greatest of `bitsOf` over the present records.
template <typename BitsOf>
void bitsRange(const std::vector<int> &records, const PresentPositions &present, BitsOf bitsOf,
               std::uint64_t &least, std::uint64_t &greatest)
{
    least = std::numeric_limits<std::uint64_t>::max();
    greatest = 0;
    present.ForEach([&](std::uint32_t position) {
        const std::uint64_t bits = bitsOf(records[position]);
        least = std::min(least, bits);
        greatest = std::max(greatest, bits);
    });
}

//! Puts the list together: the records without a value (positions, in their
//! order) before the sorted ones when ascending and after them when
//! descending, each pair's position turned into its record first, so that
//! the list is written over where it lies.
template <typename Slot>
void writeSorted(std::vector<int> &records, std::vector<std::uint32_t> &absent, Slot *ordered, std::size_t n,
                 bool descending)
{
    for (std::size_t i = 0; i < n; ++i)
        ordered[i].record = std::uint32_t(records[ordered[i].record]);
    for (std::uint32_t &position : absent)
        position = std::uint32_t(records[position]);
    auto out = records.begin();
    if (!descending)
        out = std::copy(absent.begin(), absent.end(), out);
    for (std::size_t i = 0; i < n; ++i)
        *out++ = int(ordered[i].record);
    if (descending)
        std::copy(absent.begin(), absent.end(), out);
}

//! Sorts the present records by `bitsOf(record)`, already turned for the
//! key's direction and lying from `least` to `greatest`, and writes the list
//! in its new order. Keys that all lie within 2^32 of the least travel as
//! narrow pairs. The key's values are read once into the pairs (doneReading
//! says so, and a key not needed after the sort lets its columns go then),
//! and each buffer goes as soon as it is read, so that a sort of millions of
//! records holds no more of them at once than it must.
template <typename BitsOf>
void sortByBits(std::vector<int> &records, const PresentPositions &present,
                std::vector<std::uint32_t> &absent, BitsOf bitsOf, std::uint64_t least,
                std::uint64_t greatest, bool descending, const std::function<void()> &doneReading)
{
    const std::size_t n = present.Count();
    const auto sortAndWrite = [&](auto slotType) {
        using Slot = decltype(slotType);
        auto pairs = std::make_unique_for_overwrite<Slot[]>(n);
        std::size_t i = 0;
        present.ForEach([&](std::uint32_t position) {
            pairs[i++] = Slot{decltype(Slot::key)(bitsOf(records[position]) - least), position};
        });
        if (doneReading)
            doneReading();
        auto spare = std::make_unique_for_overwrite<Slot[]>(n);
        Slot *ordered = sortSlots(pairs.get(), spare.get(), n);
        (ordered == pairs.get() ? spare : pairs).reset();
        writeSorted(records, absent, ordered, n, descending);
    };
    if (greatest - least <= std::numeric_limits<std::uint32_t>::max())
        sortAndWrite(NarrowSlot{});
    else
        sortAndWrite(WideSlot{});
}

//! The same for text: pairs of each string's first bytes, then runs of
//! equal first bytes by the rest of their text.
template <typename Texts>
void sortTexts(std::vector<int> &records, const PresentPositions &present, std::vector<std::uint32_t> &absent,
               const Texts &texts, bool descending, const std::function<void()> &doneReading)
{
    using View = TextView<Texts>;
    // Texts no longer than a key's prefix and free of zero units are told
    // apart by their prefixes alone: their runs need no second look, which
    // would read every text again out of the storage's order.
    constexpr std::size_t Whole = 8 / sizeof(typename View::value_type);
    bool heldWhole = true;
    std::vector<WideSlot> pairs;
    pairs.reserve(present.Count());
    present.ForEach([&](std::uint32_t position) {
        const View text = texts[std::size_t(records[position])];
        const std::uint64_t bits = prefixOf(text);
        heldWhole =
            heldWhole && text.size() <= Whole && text.find(typename View::value_type(0)) == View::npos;
        pairs.push_back({descending ? ~bits : bits, position});
    });
    sortWideSlots(pairs);
    if (!heldWhole)
        sortRunsOfOnePrefix(pairs, texts, records, descending);
    if (doneReading)
        doneReading();
    writeSorted(records, absent, pairs.data(), pairs.size(), descending);
}

} // namespace

bool SortsByStoredBits(const TkvSortKey &key)
{
    const auto column = key.ColumnKind();
    return key.Mode() == TkvCompareMode::cmStoredValue && !key.HasHandler() &&
           (column == TkvSortKey::Column::Integer || column == TkvSortKey::Column::Real ||
            column == TkvSortKey::Column::Bytes || column == TkvSortKey::Column::Units);
}

namespace {

} // namespace

void SortByOneStoredKey(const TkvSortKey &key, std::vector<int> &records,
                        const std::function<void()> &doneReading)
{
    if (SortByFewValues(key, records, doneReading))
        return;
    const bool descending = key.Descending();
    const auto &states = key.States();

    std::vector<std::uint32_t> absent; // positions of records without a value
    for (std::size_t position = 0; position < records.size(); ++position)
        if (states[records[position]] != vsPresent)
            absent.push_back(std::uint32_t(position));
    std::stable_sort(absent.begin(), absent.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::uint8_t stateA = states[records[a]], stateB = states[records[b]];
        return descending ? stateA > stateB : stateA < stateB;
    });
    const PresentPositions present(records, states, records.size() - absent.size());

    const auto turned = [descending](std::uint64_t bits) { return descending ? ~bits : bits; };
    switch (key.ColumnKind()) {
    case TkvSortKey::Column::Integer: {
        const auto &integers = key.Integers();
        const auto bitsOf = [&](int r) { return turned(std::uint64_t(integers[r]) ^ SignBit); };
        std::uint64_t least = 0, greatest = 0;
        bitsRange(records, present, bitsOf, least, greatest);
        sortByBits(records, present, absent, bitsOf, least, greatest, descending, doneReading);
        break;
    }
    case TkvSortKey::Column::Real: {
        // Amounts held as a whole number of ten-thousandths (every typed or
        // imported one) differ in three or four bytes of those units where
        // their doubles differ in all eight: sorted by their units they take
        // half the radix passes or fewer, in narrow pairs. Units of whole
        // cents are counted in cents, a byte fewer again.
        const auto &reals = key.Reals();
        std::int64_t least = std::numeric_limits<std::int64_t>::max();
        std::int64_t greatest = std::numeric_limits<std::int64_t>::min();
        bool allUnits = true, allCents = true;
        for (std::size_t position = 0; position < records.size() && allUnits; ++position) {
            const auto r = std::size_t(records[position]);
            if (states[r] != vsPresent)
                continue;
            std::int64_t units = 0;
            allUnits = TMoneySum::ExactUnits(reals[r], units);
            allCents = allCents && units % 100 == 0;
            least = std::min(least, units);
            greatest = std::max(greatest, units);
        }
        if (allUnits && present.Count() > 0) {
            const std::int64_t per = allCents ? 100 : 1;
            const auto unitsBits = [&](int r) {
                std::int64_t units = 0;
                TMoneySum::ExactUnits(reals[r], units);
                return turned(std::uint64_t(units / per) ^ SignBit);
            };
            const std::uint64_t low = turned(std::uint64_t(least / per) ^ SignBit);
            const std::uint64_t high = turned(std::uint64_t(greatest / per) ^ SignBit);
            sortByBits(records, present, absent, unitsBits, std::min(low, high), std::max(low, high),
                       descending, doneReading);
        } else {
            // Doubles of other kinds differ in their every byte: the pairs
            // are wide whatever their range.
            sortByBits(
                records, present, absent, [&](int r) { return turned(OrderedDoubleBits(reals[r])); }, 0,
                std::numeric_limits<std::uint64_t>::max(), descending, doneReading);
        }
        break;
    }
    case TkvSortKey::Column::Bytes:
        sortTexts(records, present, absent, key.Bytes(), descending, doneReading);
        break;
    default:
        sortTexts(records, present, absent, key.Units(), descending, doneReading);
        break;
    }
}

} // namespace kestrum
