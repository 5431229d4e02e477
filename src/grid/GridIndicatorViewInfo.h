#pragma once
// The indicator column left of the rows: a cell beside the header, one beside
// each laid-out row (cut to the rows area) with the glyph of the row's state,
// and one beside the footer.
#include "grid/GridCellViewInfo.h"

#include <cstdint>
#include <vector>

namespace kestrum {

class TkvGridTableView;
class TkvGridTableViewInfo;

//! The kind of a cell of the indicator column.
enum class TkvGridIndicatorKind : std::uint8_t { Header, Row, Footer };
//! What a row's indicator cell shows.
enum class TkvGridIndicatorGlyph : std::uint8_t { None, Focused, Editing, Inserting, NewItemRow };

struct TkvGridIndicatorCellViewInfo : TkvGridCellViewInfo {
    TkvGridIndicatorKind Kind = TkvGridIndicatorKind::Row;
    TkvGridIndicatorGlyph Glyph = TkvGridIndicatorGlyph::None;
};

class TkvGridIndicatorViewInfo {
public:
    //! Lays the cells out from the layout's parts and rows; none when the indicator is not shown.
    void Calculate(const TkvGridTableViewInfo &layout, TkvGridTableView &view);
    const std::vector<TkvGridIndicatorCellViewInfo> &Cells() const { return FCells; }

private:
    std::vector<TkvGridIndicatorCellViewInfo> FCells;
};

} // namespace kestrum
