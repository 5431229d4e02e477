#pragma once
// One laid-out cell of the table view: its bounds and borders, its text and
// how it is aligned, the style it is drawn in and what it belongs to.
#include "grid/GridStyles.h"
#include "grid/GridTypes.h"

#include <QRect>
#include <QString>

namespace kestrum {

class TkvCustomGridTableItem;

struct TkvGridCellBorders {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

struct TkvGridCellViewInfo {
    QRect Bounds;
    TkvGridCellBorders Borders;
    QString Text;
    TkvGridAlignmentHorz AlignHorz = TkvGridAlignmentHorz::LeftJustify;
    TkvAlignmentVert AlignVert = TkvAlignmentVert::vaCenter;
    bool MultiLine = false;
    bool EndEllipsis = false;
    TkvGridViewParams Params;
    TkvGridCellState State = TkvGridCellState::Normal;
    TkvCustomGridTableItem *Item = nullptr;
    int RowIndex = -1;
    bool Selected = false;    //!< drawn in the selection (or inactive) style
    bool FocusedCell = false; //!< the focused cell of the focused row
    QRect EditButtonBounds;   //!< the editor's drop-down button, when the cell shows it

    //! Bounds minus borders.
    QRect ContentBounds() const;
    //! Content inset by 2 pixels on every side, left of an edit button.
    QRect TextBounds() const;
};

} // namespace kestrum
