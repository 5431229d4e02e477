#include "app/ColumnFitting.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>

namespace kestrum {

void FitColumnsToSamples(QTableView &view, int columns, const std::function<QString(int)> &sample)
{
    view.resizeColumnsToContents();
    QHeaderView *header = view.horizontalHeader();
    const QFontMetrics metrics(view.font());
    const int padding = 2 * metrics.averageCharWidth();
    for (int column = 0; column + 1 < columns; ++column) {
        const int wanted =
            std::max(header->sectionSizeHint(column), metrics.horizontalAdvance(sample(column))) + padding;
        if (header->sectionSize(column) < wanted)
            header->resizeSection(column, wanted);
    }
}

} // namespace kestrum
