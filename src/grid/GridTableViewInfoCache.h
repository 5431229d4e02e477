#pragma once
// Per data controller row, the height the row needed when it was last laid
// out, so that scrolling does not measure rows again. Only rows laid out are
// ever measured, so the heights are kept for those alone: forgetting them
// after a data change costs the rows seen, not the rows there are.
#include <cstdint>
#include <unordered_map>

namespace kestrum {

class TkvGridTableViewInfoCache {
public:
    //! A data change: `rowCount` rows, every height unknown.
    void Resize(int rowCount)
    {
        FCount = rowCount > 0 ? rowCount : 0;
        FHeights.clear();
    }
    //! A size change: every height must be measured again.
    void Reset() { FHeights.clear(); }
    int Count() const { return FCount; }
    //! 0 when not known yet.
    int Height(int rowIndex) const
    {
        const auto found = FHeights.find(rowIndex);
        return found == FHeights.end() ? 0 : found->second;
    }
    void SetHeight(int rowIndex, int height)
    {
        if (rowIndex < 0 || rowIndex >= FCount)
            return;
        // A long scroll measures row after row: past a few screens the heights
        // start again, so neither the memory nor the next forgetting grows with it.
        if (FHeights.size() >= MaxKept)
            FHeights = {};
        FHeights[rowIndex] = static_cast<std::uint16_t>(height);
    }

private:
    static constexpr std::size_t MaxKept = 4096;

    int FCount = 0;
    std::unordered_map<int, std::uint16_t> FHeights;
};

} // namespace kestrum
