#pragma once
// Column widths of the small list dialogs: each column as wide as its
// caption, its rows and a typical text of its kind, whichever is widest.
// Sized to the rows alone, a short list's columns hug their texts and cut
// what the user types or what the next row brings.
#include <QString>

#include <functional>

class QTableView;

namespace kestrum {

//! Widens every column but the last (which stretches) to at least its
//! caption, its rows and `sample(column)`, with a little room to spare.
void FitColumnsToSamples(QTableView &view, int columns, const std::function<QString(int)> &sample);

} // namespace kestrum
