#pragma once
// A list with a gap in its array: an insert or an erase moves only the
// items between the gap and the place it happens, so a run of changes at
// one place (a row added and dropped again, rows deleted one after the
// other) costs the same in a list of ten items or of ten million. The gap
// is opened anew, a fraction of the list long, when it is used up.
//
// The interface follows std::vector where it can, so the list stands in
// for one. The raw array holds the items and the gap; every slot of the gap
// holds T{}, so a pass that skips T{} values may walk the raw array.
#include <algorithm>
#include <cstddef>
#include <functional>
#include <vector>

namespace kestrum {

template <typename T> class TGapList {
public:
    std::size_t size() const { return FItems.size() - FGapLength; }
    bool empty() const { return size() == 0; }
    std::size_t capacity() const { return FItems.capacity(); }

    T &operator[](std::size_t index) { return FItems[RawIndex(index)]; }
    const T &operator[](std::size_t index) const { return FItems[RawIndex(index)]; }
    T &back() { return (*this)[size() - 1]; }

    //! The place of an item in the raw array.
    std::size_t RawIndex(std::size_t index) const { return index < FGapStart ? index : index + FGapLength; }
    //! The items and the gap (of T{} values), in order.
    std::vector<T> &raw() { return FItems; }
    const std::vector<T> &raw() const { return FItems; }
    //! The item index of a place in the raw array; -1 for a place in the gap.
    std::ptrdiff_t IndexOfRaw(std::size_t raw) const
    {
        if (raw < FGapStart)
            return std::ptrdiff_t(raw);
        return raw < FGapStart + FGapLength ? -1 : std::ptrdiff_t(raw - FGapLength);
    }

    void push_back(const T &value)
    {
        // Past the last item: behind the gap, wherever it is.
        FItems.push_back(value);
    }
    void pop_back()
    {
        if (FGapStart + FGapLength == FItems.size()) {
            // The gap is at the end: the last item stands before it.
            --FGapStart;
            ++FGapLength;
            FItems[FGapStart] = T{};
            Trim();
        } else {
            FItems.pop_back();
        }
    }
    void insert(std::size_t index, const T &value)
    {
        if (FGapLength == 0)
            OpenGap(index);
        else
            MoveGap(index);
        FItems[FGapStart] = value;
        ++FGapStart;
        --FGapLength;
    }
    void erase(std::size_t index)
    {
        MoveGap(index);
        FItems[FGapStart + FGapLength] = T{};
        ++FGapLength;
        Trim();
    }
    void clear()
    {
        FItems.clear();
        FGapStart = FGapLength = 0;
    }
    void reserve(std::size_t count) { FItems.reserve(count + FGapLength); }
    void resize(std::size_t count, const T &value = T{})
    {
        Compact();
        FItems.resize(count, value);
    }
    //! Told after items moved to other places of the raw array (the places
    //! [first, first + count)), for an index of where each item is.
    std::function<void(std::size_t first, std::size_t count)> OnItemsMoved;

    //! Calls f(item) for every item in order.
    template <typename F> void ForEach(F &&f) const
    {
        for (std::size_t place = 0; place < FGapStart; ++place)
            f(FItems[place]);
        for (std::size_t place = FGapStart + FGapLength; place < FItems.size(); ++place)
            f(FItems[place]);
    }

    //! Closes the gap: the raw array holds the items alone.
    void Compact()
    {
        MoveGap(size());
        FItems.resize(size());
        FGapStart = FGapLength = 0;
    }

private:
    // GCC sees paths here that cannot be taken (a count below zero after an
    // insert at a constant place) and warns of a huge memmove on them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#endif
    //! Moves the gap to stand before the item at index. Only the items
    //! between the old and the new place move.
    void MoveGap(std::size_t index)
    {
        if (FGapLength == 0) {
            FGapStart = index;
            return;
        }
        T *const items = FItems.data();
        if (index < FGapStart) {
            const std::size_t count = FGapStart - index;
            std::move_backward(items + index, items + index + count, items + index + count + FGapLength);
            // Places that held moved items and are in the gap now.
            std::fill(items + index, items + index + std::min(count, FGapLength), T{});
            if (OnItemsMoved)
                OnItemsMoved(index + FGapLength, count);
        } else if (index > FGapStart) {
            const std::size_t count = index - FGapStart;
            const std::size_t end = FGapStart + FGapLength;
            std::move(items + end, items + end + count, items + FGapStart);
            std::fill(items + std::max(index, end), items + end + count, T{});
            if (OnItemsMoved)
                OnItemsMoved(FGapStart, count);
        }
        FGapStart = index;
    }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    //! Opens a gap before the item at index: one move of the items after
    //! it, for as many inserts as the gap is long.
    void OpenGap(std::size_t index)
    {
        const std::size_t length = std::max<std::size_t>(MinimumGap, size() / GapFraction);
        // Room for this gap and the next, not twice the list as a full
        // vector's insert would take.
        if (FItems.capacity() < FItems.size() + length)
            FItems.reserve(FItems.size() + 2 * length);
        FItems.insert(FItems.begin() + std::ptrdiff_t(index), length, T{});
        FGapStart = index;
        FGapLength = length;
        if (OnItemsMoved && FItems.size() > index + length)
            OnItemsMoved(index + length, FItems.size() - index - length);
    }
    //! A gap at the end is only spare room.
    void Trim()
    {
        if (FGapLength > 0 && FGapStart + FGapLength == FItems.size() && FGapLength > size() / GapFraction) {
            FItems.resize(FGapStart);
            FGapLength = 0;
        }
    }

    static constexpr std::size_t MinimumGap = 16;
    //! The gap opened is this fraction of the list: little room, and a move
    //! of the tail once in that many inserts.
    static constexpr std::size_t GapFraction = 64;

    std::vector<T> FItems;
    std::size_t FGapStart = 0;
    std::size_t FGapLength = 0;
};

} // namespace kestrum
