#include "grid/GridTablePainter.h"

#include "grid/GridCellText.h"
#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"

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

//! The system focus rectangle (a dotted frame) in the focused view; elsewhere a 1-pixel frame
//! that inverts what lies under it, so that it shows on any colour.
void DrawFocusOutline(QPainter &painter, const QRect &rect, bool focusedView)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    painter.save();
    painter.setBrush(Qt::NoBrush);
    if (focusedView) {
        QPen pen(QColor(0, 0, 0));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    } else {
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        const QColor white(255, 255, 255);
        const QRect r = rect;
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), white);
        if (r.height() > 1)
            painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), white);
        if (r.height() > 2) {
            painter.fillRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2), white);
            if (r.width() > 1)
                painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 2), white);
        }
    }
    painter.restore();
}

//! Fills a rectangle with a style's bitmap, tiled from the rectangle's corner, or its colour.
void FillBackground(QPainter &painter, const QRect &rect, const TkvGridViewParams &params)
{
    if (!params.Bitmap.isNull()) {
        QBrush brush(params.Bitmap);
        brush.setTransform(QTransform::fromTranslate(rect.left(), rect.top()));
        painter.fillRect(rect, brush);
    } else
        painter.fillRect(rect, params.Color);
}

//! Draws the glyph of an indicator cell: an arrow for the focused row, a bar for editing,
//! a star for the new-item row and for inserting.
void DrawIndicatorGlyph(QPainter &painter, const QRect &bounds, TkvGridIndicatorGlyph glyph,
                        const QColor &color)
{
    if (glyph == TkvGridIndicatorGlyph::None)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QPoint c = bounds.center();
    painter.setPen(color);
    painter.setBrush(color);
    switch (glyph) {
    case TkvGridIndicatorGlyph::Focused: {
        const QPoint points[3] = {QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()),
                                  QPoint(c.x() - 2, c.y() + 4)};
        painter.drawPolygon(points, 3);
        break;
    }
    case TkvGridIndicatorGlyph::Editing:
        painter.fillRect(QRect(c.x() - 1, c.y() - 4, 2, 9), color);
        break;
    case TkvGridIndicatorGlyph::Inserting:
    case TkvGridIndicatorGlyph::NewItemRow:
        painter.drawLine(c.x() - 3, c.y(), c.x() + 3, c.y());
        painter.drawLine(c.x(), c.y() - 3, c.x(), c.y() + 3);
        painter.drawLine(c.x() - 2, c.y() - 2, c.x() + 2, c.y() + 2);
        painter.drawLine(c.x() - 2, c.y() + 2, c.x() + 2, c.y() - 2);
        break;
    case TkvGridIndicatorGlyph::None:
        break;
    }
    painter.restore();
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
    PaintPartBackground(painter, TkvGridPartKind::Background, viewInfo.Bounds(),
                        FGridView->Styles().Params(TkvGridStyleSlot::Background));
    PaintGroupByBox(painter);
    PaintHeader(painter);
    PaintRows(painter, clip.isNull() ? viewInfo.Bounds() : clip);
    PaintFooter(painter);
    PaintFilterBox(painter);
    PaintIndicator(painter);
    PaintHeaderFeedback(painter);
}

bool TkvGridTablePainter::PaintPartBackground(QPainter &painter, TkvGridPartKind part, const QRect &bounds,
                                              const TkvGridViewParams &params)
{
    if (bounds.isEmpty())
        return false;
    bool done = false;
    if (FGridView->OnCustomDrawPartBackground) {
        TkvGridPartViewInfo info;
        info.Part = part;
        info.Bounds = bounds;
        info.Params = params;
        FGridView->OnCustomDrawPartBackground(FGridView, painter, info, done);
    }
    if (!done)
        FillBackground(painter, bounds, params);
    return done;
}

void TkvGridTablePainter::PaintIndicator(QPainter &painter)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (viewInfo.IndicatorBounds().isNull())
        return;
    PaintPartBackground(painter, TkvGridPartKind::Indicator, viewInfo.IndicatorBounds(),
                        FGridView->Styles().Params(TkvGridStyleSlot::Indicator));
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    for (const TkvGridIndicatorCellViewInfo &cell : viewInfo.IndicatorCells()) {
        bool done = false;
        if (FGridView->OnCustomDrawIndicatorCell)
            FGridView->OnCustomDrawIndicatorCell(FGridView, painter, cell, done);
        if (done)
            continue;
        lookAndFeel.DrawHeader(painter, cell.Bounds, cell.Params, false);
        DrawIndicatorGlyph(painter, cell.ContentBounds(), cell.Glyph, cell.Params.TextColor);
    }
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
    PaintPartBackground(painter, TkvGridPartKind::GroupByBox, viewInfo.GroupByBoxBounds(), params);
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
    PaintPartBackground(painter, TkvGridPartKind::Header, viewInfo.HeaderBounds(),
                        FGridView->Styles().Params(TkvGridStyleSlot::Header));
    for (const TkvGridHeaderCellViewInfo &cell : viewInfo.HeaderCells())
        PaintHeaderCell(painter, cell);
    painter.restore();
}

void TkvGridTablePainter::PaintHeaderCell(QPainter &painter, const TkvGridHeaderCellViewInfo &cell)
{
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    bool done = false;
    if (cell.Column && cell.Column->OnCustomDrawHeader)
        cell.Column->OnCustomDrawHeader(FGridView, painter, cell, done);
    if (!done && FGridView->OnCustomDrawColumnHeader)
        FGridView->OnCustomDrawColumnHeader(FGridView, painter, cell, done);
    if (!done) {
        lookAndFeel.DrawHeader(painter, cell.Bounds, cell.Params, cell.State == TkvGridCellState::Pressed);
        if (!cell.Params.Bitmap.isNull())
            FillBackground(painter, cell.ContentBounds(), cell.Params);
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
    bool done = false;
    if (FGridView->OnCustomDrawGroupCell)
        FGridView->OnCustomDrawGroupCell(FGridView, painter, cell, done);
    if (!done) {
        FillBackground(painter, cell.Bounds, cell.Params);
        if (cell.Borders.Bottom > 0) {
            painter.setPen(GridLineColor(*FGridView));
            painter.drawLine(cell.Bounds.left(), cell.Bounds.bottom(), cell.Bounds.right(),
                             cell.Bounds.bottom());
        }
        FGridView->LookAndFeelPainter().DrawExpandButton(painter, row.ExpandButtonBounds, row.Expanded);
        DrawCellText(painter, cell, GroupCellTextBounds(viewInfo, row));
    }
    PaintRowExtras(painter, row);
    if (row.Focused) {
        const bool focusedView = FGridView->IsFocused();
        if (focusedView || !FGridView->OptionsSelection().HideFocusRect())
            DrawFocusOutline(painter, cell.ContentBounds(), focusedView);
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
            FillBackground(painter, cell.ContentBounds(), cell.Params);
            DrawCellText(painter, cell, cell.TextBounds());
            if (!cell.EditButtonBounds.isNull())
                FGridView->LookAndFeelPainter().DrawFilterButton(painter, cell.EditButtonBounds, false,
                                                                 false);
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
            DrawFocusOutline(painter, cell.ContentBounds(), FGridView->IsFocused());
    }
    PaintRowExtras(painter, row);
    if (row.Focused && selection.InvertSelect() && outlineShown && !cells.empty()) {
        QRect outline = cells.front().ContentBounds();
        outline.setRight(cells.back().ContentBounds().right());
        if (!row.PreviewBounds.isNull())
            outline = outline.united(row.PreviewCell.ContentBounds());
        DrawFocusOutline(painter, outline, FGridView->IsFocused());
    }
}

void TkvGridTablePainter::PaintRowExtras(QPainter &painter, const TkvGridRowViewInfo &row)
{
    if (!row.PreviewBounds.isNull()) {
        const TkvGridCellViewInfo &preview = row.PreviewCell;
        FillBackground(painter, preview.Bounds, preview.Params);
        const TkvGridPreview &options = FGridView->Preview();
        QRect text = preview.ContentBounds().adjusted(options.LeftIndent(), 2, -options.RightIndent(), -2);
        DrawCellText(painter, preview, text);
        if (preview.Borders.Bottom > 0) {
            painter.setPen(GridLineColor(*FGridView));
            painter.drawLine(preview.Bounds.left(), preview.Bounds.bottom(), preview.Bounds.right(),
                             preview.Bounds.bottom());
        }
    }
    for (const TkvGridGroupFooterViewInfo &footer : row.GroupFooters)
        PaintGroupFooter(painter, footer);
    if (!row.SeparatorBounds.isNull()) {
        const QColor assigned = FGridView->OptionsView().RowSeparatorColor();
        painter.fillRect(row.SeparatorBounds,
                         assigned.isValid() ? assigned : FGridView->LookAndFeelPainter().HeaderColor());
    }
}

void TkvGridTablePainter::PaintGroupFooter(QPainter &painter, const TkvGridGroupFooterViewInfo &footer)
{
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    FillBackground(painter, footer.Bounds, FGridView->Styles().Params(TkvGridStyleSlot::Footer));
    painter.setPen(lookAndFeel.BorderDarkColor());
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(footer.Bounds.adjusted(0, 0, -1, -1));
    for (const TkvGridCellViewInfo &cell : footer.Cells)
        PaintFooterCell(painter, cell);
}

void TkvGridTablePainter::PaintFooterCell(QPainter &painter, const TkvGridCellViewInfo &cell)
{
    bool done = false;
    if (auto *column = dynamic_cast<TkvGridColumn *>(cell.Item); column && column->OnCustomDrawFooterCell)
        column->OnCustomDrawFooterCell(FGridView, painter, cell, done);
    if (!done && FGridView->OnCustomDrawFooterCell)
        FGridView->OnCustomDrawFooterCell(FGridView, painter, cell, done);
    if (done)
        return;
    FGridView->LookAndFeelPainter().DrawFooterCell(painter, cell.Bounds, cell.Params);
    if (!cell.Params.Bitmap.isNull())
        FillBackground(painter, cell.ContentBounds(), cell.Params);
    DrawCellText(painter, cell, cell.TextBounds());
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
    PaintPartBackground(painter, TkvGridPartKind::Footer, bounds, params);
    painter.setPen(lookAndFeel.BorderDarkColor());
    painter.drawLine(bounds.left(), bounds.top(), bounds.right(), bounds.top());
    for (const TkvGridCellViewInfo &cell : viewInfo.FooterCells())
        PaintFooterCell(painter, cell);
    painter.restore();
}

void TkvGridTablePainter::PaintFilterBox(QPainter &painter)
{
    const TkvGridTableViewInfo &viewInfo = FGridView->ViewInfo();
    if (viewInfo.FilterBoxBounds().isNull())
        return;
    const TkvGridViewParams params = FGridView->Styles().Params(TkvGridStyleSlot::FilterBox);
    PaintPartBackground(painter, TkvGridPartKind::FilterBox, viewInfo.FilterBoxBounds(), params);
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
