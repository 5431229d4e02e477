#pragma once
// Per data controller row, the height the row needed when it was last laid
// out, so that scrolling does not measure rows again. 0 means not known yet.
#include <algorithm>
#include <cstdint>
#include <vector>

namespace kestrum {

class TkvGridTableViewInfoCache {
public:
    //! A data change: one slot per row, all unknown.
    void Resize(int rowCount) { FHeights.assign(static_cast<std::size_t>(rowCount > 0 ? rowCount : 0), 0); }
    //! A size change: every height must be measured again.
    void Reset() { std::fill(FHeights.begin(), FHeights.end(), 0); }
    int Count() const { return static_cast<int>(FHeights.size()); }
    int Height(int rowIndex) const
    {
        return rowIndex >= 0 && rowIndex < Count() ? FHeights[static_cast<std::size_t>(rowIndex)] : 0;
    }
    void SetHeight(int rowIndex, int height)
    {
        if (rowIndex >= 0 && rowIndex < Count())
            FHeights[static_cast<std::size_t>(rowIndex)] = static_cast<std::uint16_t>(height);
    }

private:
    std::vector<std::uint16_t> FHeights;
};

} // namespace kestrum
