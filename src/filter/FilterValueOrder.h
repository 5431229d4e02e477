#pragma once
// The order of a value list's texts under the locale's collation: one
// comparison key per text in one buffer, duplicates (texts that collate
// alike) dropped, and the sorted order found piece by piece, so that a list
// of millions of distinct texts shows its first rows without sorting the rest.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

class TkvValueOrder {
public:
    //! caseInsensitive: texts compare as their upper-case forms do.
    explicit TkvValueOrder(bool caseInsensitive = false) : FCaseInsensitive(caseInsensitive) {}

    //! Makes the keys of count texts; textOf(i) gives the i-th. Texts made only
    //! of characters whose collation is a plain rank each (digits, signs,
    //! separators, spaces, Latin letters of one case) are keyed by those ranks
    //! without the collator.
    //! bytesOf(i, bytes), where given, may give the i-th text as its bytes
    //! when the text is exactly those characters of the ASCII set, which
    //! spares making the text.
    void Build(std::size_t count, const std::function<QString(std::size_t)> &textOf,
               const std::function<bool(std::size_t, std::string_view &)> &bytesOf = {});
    //! Makes the keys of count byte strings (bytesOf(i) gives the i-th), which
    //! then order as their bytes do (unsigned, a prefix first).
    void BuildFromBytes(std::size_t count, const std::function<std::string_view(std::size_t)> &bytesOf);
    //! Drops every text that collates like an earlier one (by index).
    //! distinctTexts: the texts are known to differ from each other, so keys
    //! by rank (which tell every two texts apart) need no look.
    void DropDuplicates(bool distinctTexts = false);

    //! The texts kept.
    std::size_t Count() const { return FEntries.size(); }
    //! The index (as given to Build) of the text at a sorted position; sorts
    //! what that needs and a few positions after it.
    std::size_t IndexAt(std::size_t position);
    //! The sorted position of the kept text with the given index, -1 if none.
    std::ptrdiff_t PositionOfIndex(std::size_t index) const;
    //! Calls visit with the index of each kept text, in no particular order.
    void ForEachKept(const std::function<void(std::size_t)> &visit) const
    {
        for (const Keyed &entry : FEntries)
            visit(entry.Index);
    }
    //! Sorts everything (positions then cost nothing).
    void SortAll();
    //! The whole order at once: indices in sorted order and, per position,
    //! whether its text collates like the one before (Build without DropDuplicates).
    void SortedWithTies(std::vector<std::size_t> &order, std::vector<bool> &equalsPrevious);

private:
    struct Keyed {
        std::uint64_t Prefix;
        std::size_t Offset;
        std::uint32_t Size;
        std::uint32_t Index;
    };
    int Compare(const Keyed &a, const Keyed &b) const;
    bool Less(const Keyed &a, const Keyed &b) const;
    //! Puts the entries of [first, last) in their sorted places.
    void SortPositions(std::size_t first, std::size_t last);

    bool FCaseInsensitive;
    bool FByRanks = false;
    std::string FKeys;
    std::vector<Keyed> FEntries;
    //! Positions p where every entry before p sorts before every entry from p
    //! on; between two neighbours the entries are in no known order, except
    //! in runs marked sorted.
    std::set<std::size_t> FBounds;
    std::vector<bool> FSorted;
};

} // namespace kestrum
