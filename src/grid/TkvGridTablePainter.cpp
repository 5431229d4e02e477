#include "grid/TkvGridTablePainter.h"

#include "grid/TkvGridCellText.h"
#include "grid/TkvGridLookAndFeelPainter.h"
#include "grid/TkvGridTableController.h"
#include "grid/TkvGridTableView.h"
#include "grid/TkvGridTableViewInfo.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace kestrum {

namespace {

Qt::Alignment ToQtAlignment(TkvGridAlignmentHorz horz, TkvAlignmentVert vert)
{
    Qt::Alignment alignment = horz == TkvGridAlignmentHorz::RightJustify ? Qt::AlignRight
                              : horz == TkvGridAlignmentHorz::Center     ? Qt::AlignHCenter
                                                                         : Qt::AlignLeft;
    alignment |= vert == TkvAlignmentVert::vaTop      ? Qt::AlignTop
                 : vert == TkvAlignmentVert::vaBottom ? Qt::AlignBottom
                                                      : Qt::AlignVCenter;
    return alignment;
}

QColor GridLineColor(const TkvGridTableView &view)
{
    const QColor assigned = view.OptionsView().GridLineColor();
    return assigned.isValid() ? assigned : view.LookAndFeelPainter().GridLineColor();
}

void DrawFocusOutline(QPainter &painter, const QRect &rect)
{
    // The system focus rectangle: a dotted frame.
    QPen pen(QColor(0, 0, 0));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

} // namespace

void TkvGridTablePainter::DrawCellText(QPainter &painter, const TkvGridCellViewInfo &cell,
                                       const QRect &textBounds)
{
    if (cell.Text.isEmpty() || textBounds.width() <= 0 || textBounds.height() <= 0)
        return;
    painter.setFont(cell.Params.Font);
    painter.setPen(cell.Params.TextColor);
    const QString text = ShownCellText(cell, textBounds);
    int flags = ToQtAlignment(cell.AlignHorz, cell.AlignVert);
    if (cell.MultiLine)
        flags |= Qt::TextWordWrap;
    else
        flags |= Qt::TextSingleLine;
    painter.save();
    painter.setClipRect(textBounds, Qt::IntersectClip);
    painter.drawText(textBounds, flags, text);
    painter.restore();
}

void TkvGridTablePainter::Paint(QPainter &painter, const QRect &clip)
{
    TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (!viewInfo.IsCalculated())
        return;
    // The remaining area first; every part paints over it.
    painter.fillRect(viewInfo.Bounds(), FGridView->Styles().Params(TkvGridStyleSlot::Background).Color);
    PaintGroupByBox(painter);
    PaintHeader(painter);
    PaintRows(painter, clip.isNull() ? viewInfo.Bounds() : clip);
    PaintFooter(painter);
    PaintFilterBox(painter);
    if (!viewInfo.IndicatorBounds().isNull())
        painter.fillRect(viewInfo.IndicatorBounds(),
                         FGridView->Styles().Params(TkvGridStyleSlot::Indicator).Color);
    PaintHeaderFeedback(painter);
}

void TkvGridTablePainter::PaintHeaderFeedback(QPainter &painter)
{
    const TkvGridTableController &controller = FGridView->Controller();
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    const int line = controller.SizingLinePos();
    if (line >= 0) {
        // From the header's top to the bottom of the rows, as a dotted inverted line would.
        const int bottom = viewInfo.RowsAreaBounds().isNull() ? viewInfo.HeaderBounds().bottom()
                                                              : viewInfo.RowsAreaBounds().bottom();
        painter.fillRect(
            QRect(line, viewInfo.HeaderBounds().top(), 2, bottom - viewInfo.HeaderBounds().top() + 1),
            Qt::black);
    }
    if (const TkvGridHeaderCellViewInfo *image = controller.DragImage()) {
        painter.save();
        painter.setOpacity(0.75);
        PaintHeaderCell(painter, *image);
        painter.restore();
    }
    const QRect marker = controller.DropMarkerBounds();
    if (!marker.isEmpty()) {
        if (controller.DragDestination() == TkvGridHeaderContainer::GroupByBox &&
            viewInfo.GroupByBoxHeaders().empty()) {
            painter.save();
            painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
            painter.drawRect(marker.adjusted(0, 0, -1, -1));
            painter.restore();
        } else {
            painter.fillRect(marker, Qt::red);
        }
    }
}

void TkvGridTablePainter::PaintGroupByBox(QPainter &painter)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (viewInfo.GroupByBoxBounds().isNull())
        return;
    const TkvGridViewParams params = FGridView->Styles().Params(TkvGridStyleSlot::GroupByBox);
    painter.fillRect(viewInfo.GroupByBoxBounds(), params.Color);
    if (!viewInfo.GroupByBoxText().isEmpty()) {
        TkvGridCellViewInfo text;
        text.Text = viewInfo.GroupByBoxText();
        text.Params = params;
        text.AlignVert = TkvAlignmentVert::vaCenter;
        DrawCellText(painter, text, viewInfo.GroupByBoxTextBounds());
    }
    for (const TkvGridHeaderCellViewInfo &header : viewInfo.GroupByBoxHeaders())
        PaintHeaderCell(painter, header);
}

void TkvGridTablePainter::PaintHeader(QPainter &painter)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (viewInfo.HeaderBounds().isNull())
        return;
    painter.save();
    painter.setClipRect(viewInfo.HeaderBounds());
    for (const TkvGridHeaderCellViewInfo &cell : viewInfo.HeaderCells())
        PaintHeaderCell(painter, cell);
    painter.restore();
}

void TkvGridTablePainter::PaintHeaderCell(QPainter &painter, const TkvGridHeaderCellViewInfo &cell)
{
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    bool done = false;
    if (!done) {
        lookAndFeel.DrawHeader(painter, cell.Bounds, cell.Params, cell.State == TkvGridCellState::Pressed);
        DrawCellText(painter, cell, cell.CaptionBounds);
        for (const TkvGridHeaderAreaViewInfo &area : cell.Areas) {
            switch (area.Kind) {
            case TkvGridHeaderAreaKind::FilterButton:
                lookAndFeel.DrawFilterButton(painter, area.Bounds, area.State == TkvGridCellState::Pressed,
                                             area.Active);
                break;
            case TkvGridHeaderAreaKind::SortMark:
                lookAndFeel.DrawSortMark(painter, area.Bounds,
                                         FGridView->DataController().ItemSortOrder(cell.Column->Index()) ==
                                             TkvGridSortMark::Ascending);
                break;
            case TkvGridHeaderAreaKind::Glyph:
                painter.drawImage(area.Bounds.topLeft(), cell.Column->HeaderGlyph());
                break;
            case TkvGridHeaderAreaKind::SizingEdge:
                break;
            }
        }
    }
}

void TkvGridTablePainter::PaintRows(QPainter &painter, const QRect &clip)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    painter.save();
    painter.setClipRect(viewInfo.RowsAreaBounds());
    for (const TkvGridRowViewInfo &row : viewInfo.Rows()) {
        if (!row.Bounds.intersects(clip) && !row.IndentBounds.intersects(clip))
            continue;
        if (row.IsNewItemRow)
            PaintNewItemRow(painter, row);
        else if (row.IsGroup)
            PaintGroupRow(painter, row);
        else
            PaintDataRow(painter, row);
    }
    painter.restore();
}

void TkvGridTablePainter::PaintGroupRow(QPainter &painter, const TkvGridRowViewInfo &row)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    const TkvGridCellViewInfo &cell = row.GroupCell;
    if (!row.IndentBounds.isEmpty())
        painter.fillRect(row.IndentBounds, FGridView->Styles().Params(TkvGridStyleSlot::Background).Color);
    painter.fillRect(cell.Bounds, cell.Params.Color);
    if (cell.Borders.Bottom > 0) {
        painter.setPen(GridLineColor(*FGridView));
        painter.drawLine(cell.Bounds.left(), cell.Bounds.bottom(), cell.Bounds.right(), cell.Bounds.bottom());
    }
    FGridView->LookAndFeelPainter().DrawExpandButton(painter, row.ExpandButtonBounds, row.Expanded);
    DrawCellText(painter, cell, GroupCellTextBounds(viewInfo, row));
    if (row.Focused) {
        const bool focusedView = FGridView->IsFocused();
        if (focusedView || !FGridView->OptionsSelection().HideFocusRect())
            DrawFocusOutline(painter, cell.ContentBounds());
    }
}

void TkvGridTablePainter::PaintDataRow(QPainter &painter, const TkvGridRowViewInfo &row)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (!row.IndentBounds.isEmpty())
        painter.fillRect(row.IndentBounds, FGridView->Styles().Params(TkvGridStyleSlot::Background).Color);
    const QColor lineColor = GridLineColor(*FGridView);
    const std::vector<TkvGridCellViewInfo> &cells = viewInfo.Cells(row);
    const TkvGridOptionsSelection &selection = FGridView->OptionsSelection();
    const bool outlineShown = FGridView->IsFocused() || !selection.HideFocusRect();
    for (const TkvGridCellViewInfo &cell : cells) {
        bool done = false;
        if (auto *column = cell.Item; column && column->OnCustomDrawCell)
            column->OnCustomDrawCell(FGridView, painter, cell, done);
        if (!done && FGridView->OnCustomDrawCell)
            FGridView->OnCustomDrawCell(FGridView, painter, cell, done);
        if (!done) {
            painter.fillRect(cell.ContentBounds(), cell.Params.Color);
            DrawCellText(painter, cell, cell.TextBounds());
        }
        painter.setPen(lineColor);
        if (cell.Borders.Right > 0)
            painter.drawLine(cell.Bounds.right(), cell.Bounds.top(), cell.Bounds.right(),
                             cell.Bounds.bottom());
        if (cell.Borders.Bottom > 0)
            painter.drawLine(cell.Bounds.left(), cell.Bounds.bottom(), cell.Bounds.right(),
                             cell.Bounds.bottom());
        if (cell.FocusedCell && !selection.InvertSelect() && outlineShown &&
            !(row.Record && row.Record->Editing()))
            DrawFocusOutline(painter, cell.ContentBounds());
    }
    if (row.Focused && selection.InvertSelect() && outlineShown && !cells.empty()) {
        QRect outline = cells.front().ContentBounds();
        outline.setRight(cells.back().ContentBounds().right());
        DrawFocusOutline(painter, outline);
    }
}

void TkvGridTablePainter::PaintNewItemRow(QPainter &painter, const TkvGridRowViewInfo &row)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (row.Focused) {
        PaintDataRow(painter, row);
    } else {
        TkvGridCellViewInfo info;
        info.Bounds = row.Bounds.intersected(viewInfo.RowsAreaBounds());
        info.Text = FGridView->OptionsView().NewItemRowInfoText();
        info.Params = FGridView->Styles().Params(TkvGridStyleSlot::NewItemRowInfoText);
        info.AlignHorz = TkvGridAlignmentHorz::Center;
        painter.fillRect(info.Bounds, info.Params.Color);
        DrawCellText(painter, info, info.TextBounds());
    }
    const int separator = FGridView->OptionsView().NewItemRowSeparatorWidth();
    if (separator > 0) {
        const QColor assigned = FGridView->OptionsView().NewItemRowSeparatorColor();
        painter.fillRect(QRect(row.Bounds.left(), row.Bounds.bottom() + 1, row.Bounds.width(), separator),
                         assigned.isValid() ? assigned : FGridView->LookAndFeelPainter().HeaderColor());
    }
}

void TkvGridTablePainter::PaintFooter(QPainter &painter)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (viewInfo.FooterBounds().isNull())
        return;
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    const TkvGridViewParams params = FGridView->Styles().Params(TkvGridStyleSlot::Footer);
    const QRect bounds = viewInfo.FooterBounds();
    painter.save();
    painter.setClipRect(bounds);
    painter.fillRect(bounds, params.Color);
    painter.setPen(lookAndFeel.BorderDarkColor());
    painter.drawLine(bounds.left(), bounds.top(), bounds.right(), bounds.top());
    for (const TkvGridCellViewInfo &cell : viewInfo.FooterCells()) {
        lookAndFeel.DrawFooterCell(painter, cell.Bounds, cell.Params);
        DrawCellText(painter, cell, cell.TextBounds());
    }
    painter.restore();
}

void TkvGridTablePainter::PaintFilterBox(QPainter &painter)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (viewInfo.FilterBoxBounds().isNull())
        return;
    const TkvGridViewParams params = FGridView->Styles().Params(TkvGridStyleSlot::FilterBox);
    painter.fillRect(viewInfo.FilterBoxBounds(), params.Color);
    TkvGridCellViewInfo text;
    text.Text = viewInfo.FilterBoxText();
    text.Params = params;
    text.AlignVert = TkvAlignmentVert::vaCenter;
    DrawCellText(painter, text, viewInfo.FilterBoxTextBounds());
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    for (const TkvGridFilterBoxButtonViewInfo &button : viewInfo.FilterBoxButtons()) {
        const bool pressed = button.State == TkvGridCellState::Pressed;
        switch (button.Kind) {
        case TkvGridHitKind::FilterBoxCloseButton:
            lookAndFeel.DrawCloseButton(painter, button.Bounds, pressed);
            break;
        case TkvGridHitKind::FilterBoxActivateButton:
            lookAndFeel.DrawCheckBox(painter, button.Bounds, button.Checked, pressed);
            break;
        default:
            lookAndFeel.DrawButton(painter, button.Bounds, button.Text, params.Font, pressed);
            break;
        }
    }
}

} // namespace kestrum
