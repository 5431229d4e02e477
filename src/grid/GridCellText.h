#pragma once
// What a cell's text looks like in its text rectangle. A one-line text that
// does not fit is never simply clipped: a right-aligned amount clipped at its
// left edge would read as a smaller, plausible number, so the text is
// shortened with an ellipsis that shows the cut, and the whole text is
// offered as the cell's hint.
#include "grid/GridTableViewInfo.h"

#include <QPoint>
#include <QRect>
#include <QString>

namespace kestrum {

//! Whether the cell's text does not fit its text rectangle.
bool CellTextCut(const TkvGridCellViewInfo &cell, const QRect &textBounds);

//! The text drawn in the text rectangle: the text itself when it fits or
//! wraps, otherwise the text ended by an ellipsis within the width.
QString ShownCellText(const TkvGridCellViewInfo &cell, const QRect &textBounds);

//! The text rectangle that the painter uses for a group row's cell: it
//! starts after the level indent that holds the expand button.
QRect GroupCellTextBounds(const TkvGridTableViewInfo &viewInfo, const TkvGridRowViewInfo &row);

struct TkvGridCutText {
    QString Text; //!< the whole text; empty when the text under the point is shown whole
    QRect Bounds; //!< the cell that shows it cut
};

//! The whole text of a header, data, group or footer cell under the point
//! when that cell shows it cut.
TkvGridCutText CutCellTextAt(const TkvGridTableViewInfo &viewInfo, const QPoint &point);

} // namespace kestrum
