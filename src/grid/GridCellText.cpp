#include "grid/GridCellText.h"

#include <QFontMetrics>

namespace kestrum {

bool CellTextCut(const TkvGridCellViewInfo &cell, const QRect &textBounds)
{
    if (cell.Text.isEmpty())
        return false;
    if (textBounds.width() <= 0 || textBounds.height() <= 0)
        return true;
    const QFontMetrics metrics(cell.Params.Font);
    if (cell.MultiLine)
        return metrics.boundingRect(QRect(0, 0, textBounds.width(), 1 << 20), Qt::TextWordWrap, cell.Text)
                   .height() > textBounds.height();
    return metrics.horizontalAdvance(cell.Text) > textBounds.width();
}

QString ShownCellText(const TkvGridCellViewInfo &cell, const QRect &textBounds)
{
    if (cell.MultiLine || !CellTextCut(cell, textBounds))
        return cell.Text;
    return QFontMetrics(cell.Params.Font).elidedText(cell.Text, Qt::ElideRight, textBounds.width());
}

QRect GroupCellTextBounds(const TkvGridTableViewInfo &viewInfo, const TkvGridRowViewInfo &row)
{
    QRect bounds = row.GroupCell.TextBounds();
    bounds.setLeft(row.GroupCell.Bounds.left() + viewInfo.LevelIndent());
    return bounds;
}

namespace {

TkvGridCutText CutText(const TkvGridCellViewInfo &cell, const QRect &textBounds)
{
    if (!CellTextCut(cell, textBounds))
        return {};
    return {cell.Text, cell.Bounds};
}

} // namespace

TkvGridCutText CutCellTextAt(const TkvGridTableViewInfo &viewInfo, const QPoint &point)
{
    if (!viewInfo.IsCalculated())
        return {};
    if (viewInfo.HeaderBounds().contains(point)) {
        for (const TkvGridHeaderCellViewInfo &cell : viewInfo.HeaderCells())
            if (cell.Bounds.contains(point))
                return CutText(cell, cell.CaptionBounds);
        return {};
    }
    if (viewInfo.GroupByBoxBounds().contains(point)) {
        for (const TkvGridHeaderCellViewInfo &cell : viewInfo.GroupByBoxHeaders())
            if (cell.Bounds.contains(point))
                return CutText(cell, cell.CaptionBounds);
        return {};
    }
    if (viewInfo.FooterBounds().contains(point)) {
        for (const TkvGridCellViewInfo &cell : viewInfo.FooterCells())
            if (cell.Bounds.contains(point))
                return CutText(cell, cell.TextBounds());
        return {};
    }
    if (!viewInfo.RowsAreaBounds().contains(point))
        return {};
    for (const TkvGridRowViewInfo &row : viewInfo.Rows()) {
        if (!row.Bounds.contains(point))
            continue;
        if (row.IsGroup) {
            viewInfo.Cells(row); // lays out the group cell
            return row.GroupCell.Bounds.contains(point)
                       ? CutText(row.GroupCell, GroupCellTextBounds(viewInfo, row))
                       : TkvGridCutText{};
        }
        for (const TkvGridCellViewInfo &cell : viewInfo.Cells(row))
            if (cell.Bounds.contains(point))
                return CutText(cell, cell.TextBounds());
        return {};
    }
    return {};
}

} // namespace kestrum
