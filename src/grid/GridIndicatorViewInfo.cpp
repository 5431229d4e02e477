#include "grid/GridIndicatorViewInfo.h"

#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfo.h"
#include "grid/GridViewData.h"

namespace kestrum {

void TkvGridIndicatorViewInfo::Calculate(const TkvGridTableViewInfo &layout, TkvGridTableView &view)
{
    FCells.clear();
    if (layout.IndicatorBounds().isNull())
        return;
    const TkvGridViewParams params = view.Styles().Params(TkvGridStyleSlot::Indicator);
    const int border = view.LookAndFeelPainter().HeaderBorderWidth();
    auto add = [&](TkvGridIndicatorKind kind, const QRect &bounds, TkvGridIndicatorGlyph glyph,
                   int rowIndex) {
        TkvGridIndicatorCellViewInfo cell;
        cell.Kind = kind;
        cell.Bounds = bounds;
        cell.Borders = {border, border, border, border};
        cell.Params = params;
        cell.Glyph = glyph;
        cell.RowIndex = rowIndex;
        FCells.push_back(std::move(cell));
    };
    const int left = layout.IndicatorBounds().left();
    const int width = layout.IndicatorBounds().width();
    if (!layout.HeaderBounds().isNull())
        add(TkvGridIndicatorKind::Header,
            QRect(left, layout.HeaderBounds().top(), width, layout.HeaderBounds().height()),
            TkvGridIndicatorGlyph::None, -1);
    const TkvGridRowSource &source = view.DataController();
    for (const TkvGridRowViewInfo &row : layout.Rows()) {
        const QRect bounds = QRect(left, row.Bounds.top(), width, row.Bounds.height())
                                 .intersected(QRect(left, layout.RowsAreaBounds().top(), width,
                                                    layout.RowsAreaBounds().height()));
        if (bounds.isEmpty())
            continue;
        TkvGridIndicatorGlyph glyph = TkvGridIndicatorGlyph::None;
        if (row.IsNewItemRow)
            glyph = row.Focused && source.IsEditing() ? TkvGridIndicatorGlyph::Inserting
                                                      : TkvGridIndicatorGlyph::NewItemRow;
        else if (row.Focused)
            glyph = row.Record && row.Record->Editing()
                        ? (source.EditingRecordIndex() == source.NewItemRecordIndex()
                               ? TkvGridIndicatorGlyph::Inserting
                               : TkvGridIndicatorGlyph::Editing)
                        : TkvGridIndicatorGlyph::Focused;
        add(TkvGridIndicatorKind::Row, bounds, glyph, row.RowIndex);
    }
    if (!layout.FooterBounds().isNull())
        add(TkvGridIndicatorKind::Footer,
            QRect(left, layout.FooterBounds().top(), width, layout.FooterBounds().height()),
            TkvGridIndicatorGlyph::None, -1);
}

} // namespace kestrum
