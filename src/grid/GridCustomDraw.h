#pragma once
// Custom drawing of the view's elements. A handler gets the painter and the
// element's view info, may draw the element itself and then sets done, so
// that the default drawing is skipped; handlers that only add to the default
// drawing leave done alone.
#include <QPainter>

#include <functional>

namespace kestrum {

class TkvGridTableView;
struct TkvGridCellViewInfo;
struct TkvGridHeaderCellViewInfo;
struct TkvGridIndicatorCellViewInfo;
struct TkvGridPartViewInfo;

//! Header cells (column header row and group-by box headers).
using TkvGridCustomDrawHeaderEvent =
    std::function<void(TkvGridTableView *, QPainter &, const TkvGridHeaderCellViewInfo &, bool &done)>;
//! Footer cells (the view's footer and group footers) and group cells.
using TkvGridCustomDrawCellEvent =
    std::function<void(TkvGridTableView *, QPainter &, const TkvGridCellViewInfo &, bool &done)>;
using TkvGridCustomDrawIndicatorCellEvent =
    std::function<void(TkvGridTableView *, QPainter &, const TkvGridIndicatorCellViewInfo &, bool &done)>;
//! The background of a part (group-by box, header, footer, filter box, indicator, the view's remaining area).
using TkvGridCustomDrawPartBackgroundEvent =
    std::function<void(TkvGridTableView *, QPainter &, const TkvGridPartViewInfo &, bool &done)>;

} // namespace kestrum
