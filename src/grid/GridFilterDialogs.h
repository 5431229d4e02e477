#pragma once
// The grid's way into the filter dialogs for one column: the custom filter
// dialog while the criteria is simple enough for it, the filter builder
// otherwise; either switches the filter on when it applied something.
class QWidget;

namespace kestrum {

class TkvGridColumn;
class TkvGridTableView;

//! The "(用户定制搜索)" entry of a column's filter drop-down. True when the
//! dialog replaced the column's conditions; the criteria is then active, and
//! the rows were refreshed once.
bool ShowGridColumnFilterDialog(TkvGridTableView &view, TkvGridColumn &column, QWidget *parent);

//! The filter builder over all of the view's columns (the filter box's
//! "自定义..." button). True when it applied; the criteria is then active.
bool ShowGridFilterBuilderDialog(TkvGridTableView &view, QWidget *parent);

} // namespace kestrum
