#pragma once
// Draws what the view info computed: part backgrounds, the group-by box,
// header cells, group rows, data cells with grid lines, the focus outline,
// the footer and the filter box. No layout decisions are made here.
#include "grid/GridStyles.h"

#include <QRect>

class QPainter;

namespace kestrum {

class TkvGridTableView;
struct TkvGridCellViewInfo;
struct TkvGridHeaderCellViewInfo;
struct TkvGridRowViewInfo;
struct TkvGridGroupFooterViewInfo;
enum class TkvGridPartKind : std::uint8_t;

class TkvGridTablePainter {
public:
    explicit TkvGridTablePainter(TkvGridTableView *view) : FGridView(view) {}
    TkvGridTablePainter(const TkvGridTablePainter &) = delete;
    TkvGridTablePainter &operator=(const TkvGridTablePainter &) = delete;

    //! Paints the view into the painter; clip limits the rows drawn.
    void Paint(QPainter &painter, const QRect &clip = {});

    //! Draws a cell's text with its alignment, ellipsis and wrapping.
    static void DrawCellText(QPainter &painter, const TkvGridCellViewInfo &cell, const QRect &textBounds);

private:
    void PaintGroupByBox(QPainter &painter);
    void PaintHeader(QPainter &painter);
    void PaintHeaderCell(QPainter &painter, const TkvGridHeaderCellViewInfo &cell);
    void PaintRows(QPainter &painter, const QRect &clip);
    void PaintGroupRow(QPainter &painter, const TkvGridRowViewInfo &row);
    void PaintDataRow(QPainter &painter, const TkvGridRowViewInfo &row);
    void PaintNewItemRow(QPainter &painter, const TkvGridRowViewInfo &row);
    void PaintFooter(QPainter &painter);
    void PaintFooterCell(QPainter &painter, const TkvGridCellViewInfo &cell);
    //! The preview, the group footers and the separator below a row's cells.
    void PaintRowExtras(QPainter &painter, const TkvGridRowViewInfo &row);
    void PaintGroupFooter(QPainter &painter, const TkvGridGroupFooterViewInfo &footer);
    void PaintIndicator(QPainter &painter);
    //! Fills a part with its bitmap or colour unless OnCustomDrawPartBackground drew it; true when it did.
    bool PaintPartBackground(QPainter &painter, TkvGridPartKind part, const QRect &bounds,
                             const TkvGridViewParams &params);
    void PaintFilterBox(QPainter &painter);
    //! The sizing line and the drop marker of a header action in progress.
    void PaintHeaderFeedback(QPainter &painter);

    TkvGridTableView *FGridView;
};

} // namespace kestrum
