#include "data/FewValuesSort.h"

#include "data/RecordComparer.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <numeric>
#include <string_view>

namespace kestrum {

namespace {

//! More distinct values than this and the pair sort is left to do the work:
//! the ranks fit 16 bits and the counting sort writes to few places at once.
constexpr std::size_t MaxDistinct = 4096;
//! Lists shorter than this are sorted as pairs: the tables here would cost
//! more than they save.
constexpr std::size_t MinRecords = std::size_t(1) << 16;

//! The distinct values met, numbered in the order they were first met: an
//! open-addressing table of their numbers, sized for MaxDistinct.
template <typename Value, typename Hash> class DistinctValues {
public:
    DistinctValues() : FSlots(Capacity, 0) { FValues.reserve(MaxDistinct); }

    //! The value's number, or -1 when it would be one too many.
    int Number(const Value &value)
    {
        std::size_t slot = Hash{}(value) & (Capacity - 1);
        while (const std::uint16_t held = FSlots[slot]) {
            if (FValues[held - 1u] == value)
                return held - 1;
            slot = (slot + 1) & (Capacity - 1);
        }
        if (FValues.size() == MaxDistinct)
            return -1;
        FValues.push_back(value);
        FSlots[slot] = std::uint16_t(FValues.size());
        return int(FValues.size()) - 1;
    }

    const std::vector<Value> &Values() const { return FValues; }

private:
    static constexpr std::size_t Capacity = 2 * MaxDistinct; // a power of two, half full at most
    std::vector<std::uint16_t> FSlots;                       // number + 1, 0 when empty
    std::vector<Value> FValues;
};

//! Mixes the bits of a number key so that near values spread over the table.
struct BitsHash {
    std::size_t operator()(std::uint64_t bits) const
    {
        bits ^= bits >> 33;
        bits *= 0xff51afd7ed558ccdull;
        bits ^= bits >> 33;
        return std::size_t(bits);
    }
};

//! The first two numbers name the records without a value; values follow.
enum : std::uint16_t { NoBufferNumber = 0, NullNumber = 1, FirstValueNumber = 2 };

//! Numbers every record of the key's columns (in record order, so the
//! columns and the texts are read as they lie) and returns, per number, its
//! rank in the sorted order; empty when there are too many values.
template <typename Value, typename Hash, typename ValueOf, typename Less>
std::vector<std::uint16_t> numberRecords(const TkvSortKey &key, std::vector<std::uint16_t> &numbers,
                                         ValueOf valueOf, Less less)
{
    const std::vector<std::uint8_t> &states = key.States();
    const std::size_t recordCount = numbers.size();
    DistinctValues<Value, Hash> distinct;
    for (std::size_t recordIndex = 0; recordIndex < recordCount; ++recordIndex) {
        const std::uint8_t state = states[recordIndex];
        if (state != vsPresent) {
            numbers[recordIndex] = state == vsNull ? NullNumber : NoBufferNumber;
            continue;
        }
        const int number = distinct.Number(valueOf(recordIndex));
        if (number < 0)
            return {};
        numbers[recordIndex] = std::uint16_t(FirstValueNumber + number);
    }
    const std::vector<Value> &values = distinct.Values();
    std::vector<std::uint16_t> order(values.size());
    std::iota(order.begin(), order.end(), std::uint16_t(0));
    std::sort(order.begin(), order.end(),
              [&](std::uint16_t a, std::uint16_t b) { return less(values[a], values[b]); });
    // Ascending: no buffer, Null, then the values; descending the reverse.
    const std::size_t count = values.size();
    const bool descending = key.Descending();
    std::vector<std::uint16_t> rank(FirstValueNumber + count);
    rank[NoBufferNumber] = descending ? std::uint16_t(count + 1) : 0;
    rank[NullNumber] = descending ? std::uint16_t(count) : 1;
    for (std::size_t r = 0; r < count; ++r)
        rank[FirstValueNumber + order[r]] = descending ? std::uint16_t(count - 1 - r) : std::uint16_t(2 + r);
    return rank;
}

} // namespace

std::uint64_t OrderedDoubleBits(double value)
{
    if (value == 0.0)
        value = 0.0; // -0 equals +0
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    return (bits & 0x8000000000000000ull) ? ~bits : bits | 0x8000000000000000ull;
}

bool SortByFewValues(const TkvSortKey &key, std::vector<int> &records,
                     const std::function<void()> &doneReading)
{
    const std::size_t recordCount = key.States().size() - 1; // the last slot holds a probe
    // Numbering walks every record of the storage: a list of a few of them
    // costs less as pairs.
    if (records.size() < MinRecords || records.size() * 4 < recordCount)
        return false;
    std::vector<std::uint16_t> numbers(recordCount);
    std::vector<std::uint16_t> rank;
    switch (key.ColumnKind()) {
    case TkvSortKey::Column::Integer:
        rank = numberRecords<std::uint64_t, BitsHash>(
            key, numbers,
            [&](std::size_t r) { return std::uint64_t(key.Integers()[r]) ^ 0x8000000000000000ull; },
            std::less<std::uint64_t>());
        break;
    case TkvSortKey::Column::Real:
        rank = numberRecords<std::uint64_t, BitsHash>(
            key, numbers, [&](std::size_t r) { return OrderedDoubleBits(key.Reals()[r]); },
            std::less<std::uint64_t>());
        break;
    case TkvSortKey::Column::Bytes:
        rank = numberRecords<std::string_view, std::hash<std::string_view>>(
            key, numbers, [&](std::size_t r) { return key.Bytes()[r]; },
            [](std::string_view a, std::string_view b) { return a.compare(b) < 0; });
        break;
    case TkvSortKey::Column::Units:
        rank = numberRecords<std::u16string_view, std::hash<std::u16string_view>>(
            key, numbers, [&](std::size_t r) { return key.Units()[r]; },
            [](std::u16string_view a, std::u16string_view b) { return a.compare(b) < 0; });
        break;
    default:
        return false;
    }
    if (rank.empty())
        return false;
    if (doneReading)
        doneReading();

    // A stable counting sort by rank: each record's rank is looked up once,
    // then the records are dealt out to their rank's place in list order.
    const std::size_t n = records.size();
    std::vector<std::uint16_t> rankAt(n);
    std::vector<std::size_t> start(rank.size() + 1, 0);
    for (std::size_t p = 0; p < n; ++p) {
        const std::uint16_t r = rank[numbers[std::size_t(records[p])]];
        rankAt[p] = r;
        ++start[std::size_t(r) + 1];
    }
    std::vector<std::uint16_t>().swap(numbers);
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<int> sorted(n);
    for (std::size_t p = 0; p < n; ++p)
        sorted[start[rankAt[p]]++] = records[p];
    records.swap(sorted);
    return true;
}

} // namespace kestrum
