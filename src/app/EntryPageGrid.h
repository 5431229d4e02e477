#pragma once
// The list grid of an entry page, built in a unit of its own so that the
// page's header stays free of the grid's.
#include <QRect>

#include <array>
#include <functional>

class QWidget;

namespace kestrum {

class TDbDataSource;
class TkvGrid;
class TkvGridDBColumn;
class TkvGridDBTableView;
class TkvGridLevel;
struct TEntryPageDescription;

struct TEntryPageGrid {
    TkvGrid *Grid = nullptr;
    QWidget *Widget = nullptr; //!< the grid as a widget
    TkvGridLevel *Level = nullptr;
    TkvGridDBTableView *View = nullptr;
    std::array<TkvGridDBColumn *, 4> Columns{}; //!< amount, item, date, remark
};

//! The grid with its one level and view on the page's data source: the four
//! columns, the footer total and the default group total of the amount.
TEntryPageGrid CreateEntryPageGrid(QWidget *parent, const TEntryPageDescription &description,
                                   TDbDataSource &source);

//! Whether a row of the grid has the focus (none does when the filter hides
//! the record set's current entry).
bool EntryGridHasFocusedRow(const TkvGridDBTableView &view);
//! Calls `changed` after the grid's rows were built again or its focused
//! row moved.
void WatchEntryGridFocus(TkvGridDBTableView &view, std::function<void()> changed);

} // namespace kestrum
