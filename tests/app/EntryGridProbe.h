#pragma once
// What the tests read from and do to an entry page's grid. It lives in a unit
// of its own because the grid headers cannot meet the editors' in one unit.
#include <QString>

namespace kestrum {

class TEntryPage;

namespace probe {

int GridRowCount(const TEntryPage &page);
int GridFocusedRow(const TEntryPage &page);
//! The footer cell under the amount column ("<no footer>" when none is laid out).
QString GridFooter(const TEntryPage &page);
//! Every column as "caption:width", separated by "|".
QString GridColumns(const TEntryPage &page);
bool GridFooterShown(const TEntryPage &page);
//! Whether the grid view's navigator buttons ask "Delete record?" themselves.
bool GridNavigatorConfirmsDelete(const TEntryPage &page);
//! Clicks the item cell of a row with the left button; false when the row is not laid out.
bool ClickGridRow(const TEntryPage &page, int rowIndex);
//! Presses a key (a Qt key code) in the grid.
void PressGridKey(const TEntryPage &page, int qtKey);
//! Filters the grid to the rows whose item column equals the text.
void FilterGridItem(const TEntryPage &page, const QString &item);

} // namespace probe
} // namespace kestrum
