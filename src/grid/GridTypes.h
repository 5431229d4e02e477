#pragma once
// Enumerations shared by the grid's model, layout and painter. Their
// enumerators keep the short lower-case prefixes the stored layouts use.
#include <QColor>

#include <cstdint>

namespace kestrum {

//! Vertical alignment of header and footer texts.
enum class TkvAlignmentVert : std::uint8_t { vaTop, vaBottom, vaCenter };

//! Which grid lines data cells draw.
enum TkvGridLines : std::uint8_t { glBoth, glNone, glVertical, glHorizontal };

enum TkvGridGroupFootersMode : std::uint8_t { gfInvisible, gfVisibleWhenExpanded, gfAlwaysVisible };

//! When cells show their editor's buttons while not being edited (view level).
enum TkvGridShowEditButtons : std::uint8_t { gsebNever, gsebForFocusedRecord, gsebAlways };

//! The same per item; isebDefault defers to the view.
enum TkvGridItemShowEditButtons : std::uint8_t { isebDefault, isebNever, isebAlways };

enum TkvGridDragFocusing : std::uint8_t { dfNone, dfDragOver, dfDragDrop };

//! When the filter box below the footer is shown.
enum TkvGridFilterVisible : std::uint8_t { fvNever, fvNonEmpty, fvAlways };

enum TkvGridPreviewPlace : std::uint8_t { ppBottom, ppTop };

enum class TkvGridScrollBars : std::uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

//! Painting state of a cell.
enum class TkvGridCellState : std::uint8_t { Normal, Hot, Pressed };

//! Horizontal alignment; the three values a stored TAlignment can take.
enum class TkvGridAlignmentHorz : std::uint8_t { LeftJustify, RightJustify, Center };

//! A column's sort order as the header shows it.
enum class TkvGridSortMark : std::uint8_t { None, Ascending, Descending };

//! What a point of the table view hits.
enum class TkvGridHitKind : std::uint8_t {
    None,
    GroupByBox,
    GroupByBoxHeader,
    Header,
    HeaderSizingEdge,
    HeaderFilterButton,
    Cell, //!< also the preview of a data row, with no column
    GroupFooter,
    GroupRow,
    ExpandButton,
    RowIndent,
    NewItemRow,
    Footer,
    FilterBox,
    FilterBoxCloseButton,
    FilterBoxActivateButton,
    FilterBoxCustomizeButton,
    Background,
};

//! An invalid QColor stands for clDefault: the look-and-feel painter decides.
inline QColor clDefault()
{
    return QColor();
}

} // namespace kestrum
