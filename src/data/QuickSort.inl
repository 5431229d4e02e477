// The quicksort of record lists; included by RecordComparer.h.
#include <algorithm>
#include <bit>
#include <utility>

namespace kestrum {

namespace detail {

template <typename T, typename Less>
void QuickSortPart(T *items, std::ptrdiff_t left, std::ptrdiff_t right, int depthLeft, Less &less)
{
    while (left < right) {
        if (depthLeft-- <= 0) {
            std::make_heap(items + left, items + right + 1, less);
            std::sort_heap(items + left, items + right + 1, less);
            return;
        }
        std::ptrdiff_t i = left, j = right;
        const T pivot = items[left + (right - left) / 2];
        do {
            while (less(items[i], pivot))
                ++i;
            while (less(pivot, items[j]))
                --j;
            if (i <= j) {
                std::swap(items[i], items[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j)
            QuickSortPart(items, left, j, depthLeft, less);
        left = i;
    }
}

} // namespace detail

template <typename T, typename Less> void QuickSortRecords(T *items, std::ptrdiff_t count, Less less)
{
    if (count < 2)
        return;
    int depth = 2 * std::bit_width(std::size_t(count));
    detail::QuickSortPart(items, 0, count - 1, depth, less);
}

} // namespace kestrum
