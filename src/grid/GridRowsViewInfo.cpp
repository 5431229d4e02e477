#include "grid/GridRowsViewInfo.h"

#include "grid/GridDefaultEditorItems.h"
#include "grid/GridTableViewInfo.h"

#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfoCache.h"
#include "grid/GridViewData.h"

#include <QFontMetrics>

#include <algorithm>

namespace kestrum {

TkvGridRowViewInfo::TkvGridRowViewInfo(TkvGridRowViewInfo &&other) noexcept
{
    *this = std::move(other);
}

TkvGridRowViewInfo &TkvGridRowViewInfo::operator=(TkvGridRowViewInfo &&other) noexcept
{
    if (this == &other)
        return *this;
    if (Record && Record->ViewInfo() == this)
        Record->SetViewInfo(nullptr);
    Record = other.Record;
    other.Record = nullptr;
    if (Record)
        Record->SetViewInfo(this);
    RowIndex = other.RowIndex;
    Level = other.Level;
    IsGroup = other.IsGroup;
    IsNewItemRow = other.IsNewItemRow;
    Expanded = other.Expanded;
    Focused = other.Focused;
    Selected = other.Selected;
    Bounds = other.Bounds;
    DataBounds = other.DataBounds;
    PreviewBounds = other.PreviewBounds;
    SeparatorBounds = other.SeparatorBounds;
    PreviewCell = std::move(other.PreviewCell);
    GroupFooters = std::move(other.GroupFooters);
    IndentBounds = other.IndentBounds;
    ExpandButtonBounds = other.ExpandButtonBounds;
    GroupCell = std::move(other.GroupCell);
    Cells = std::move(other.Cells);
    CellsCalculated = other.CellsCalculated;
    return *this;
}

TkvGridRowViewInfo::~TkvGridRowViewInfo()
{
    if (Record && Record->ViewInfo() == this)
        Record->SetViewInfo(nullptr);
}

namespace {

//! The height of a text wrapped into a width, at least one line, at most maxLines lines (0: no limit).
int WrappedTextHeight(const QFont &font, const QString &text, int width, int maxLines)
{
    const QFontMetrics metrics(font);
    int height = metrics.height();
    if (!text.isEmpty() && width > 0)
        height = std::max(height,
                          metrics.boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap, text).height());
    if (maxLines > 0)
        height = std::min(height, std::max(1, maxLines) * metrics.lineSpacing());
    return height;
}

} // namespace

int TkvGridRowsViewInfo::RowSeparatorWidth() const
{
    return std::max(0, FGridView->OptionsView().RowSeparatorWidth());
}

bool TkvGridRowsViewInfo::MeasuresRows() const
{
    const TkvGridPreview &preview = FGridView->Preview();
    return FGridView->OptionsView().CellAutoHeight() || (preview.Visible() && preview.Column());
}

TkvGridViewParams TkvGridRowsViewInfo::PreviewParams(TkvCustomGridRecord *record) const
{
    TkvGridStylePtr style;
    if (FGridView->Styles().OnGetPreviewStyle)
        FGridView->Styles().OnGetPreviewStyle(FGridView, record, FGridView->Preview().Column(), style);
    if (!style)
        style = FGridView->Styles().Slot(TkvGridStyleSlot::Preview);
    return FGridView->Styles().Resolve(style, TkvGridStyleSlot::Preview);
}

int TkvGridRowsViewInfo::PreviewHeight(TkvCustomGridRecord *record) const
{
    const TkvGridPreview &preview = FGridView->Preview();
    const QFont font = PreviewParams(record).Font;
    const bool horizontalLines = FGridView->OptionsView().GridLines() == glBoth ||
                                 FGridView->OptionsView().GridLines() == glHorizontal;
    int textHeight;
    if (preview.AutoHeight()) {
        const QString text = record ? preview.Column()->GetDisplayText(record) : QString();
        const int width =
            FLayout.DataWidth() - FLayout.GroupIndent() - preview.LeftIndent() - preview.RightIndent() - 4;
        textHeight = WrappedTextHeight(font, text, width, preview.MaxLineCount());
    } else
        textHeight = std::max(1, preview.MaxLineCount()) * QFontMetrics(font).lineSpacing();
    return textHeight + 4 + (horizontalLines ? 1 : 0);
}

int TkvGridRowsViewInfo::MeasureDataRowHeight(int rowIndex, int *previewHeight) const
{
    TkvCustomGridRecord *record = FGridView->ViewData().Records(rowIndex);
    const TkvGridOptionsView &options = FGridView->OptionsView();
    int height = FLayout.DataRowHeight();
    if (options.CellAutoHeight() && record) {
        const bool horizontalLines = options.GridLines() == glBoth || options.GridLines() == glHorizontal;
        const bool verticalLines = options.GridLines() == glBoth || options.GridLines() == glVertical;
        const int count = FGridView->VisibleColumnCount();
        for (int i = 0; i < count && i < static_cast<int>(FLayout.ColumnWidths().size()); ++i) {
            TkvGridColumn *column = FGridView->VisibleColumns(i);
            if (!column->CanAutoHeight())
                continue;
            const int width = FLayout.ColumnWidths()[static_cast<std::size_t>(i)] -
                              (i == 0 ? FLayout.GroupIndent() : 0) - (verticalLines ? 1 : 0) - 4;
            const QFont font =
                FGridView->Styles().Resolve(column->Styles().Content, TkvGridStyleSlot::Content).Font;
            const int textHeight = WrappedTextHeight(font, column->GetDisplayText(record), width,
                                                     options.CellTextMaxLineCount());
            height = std::max(height, textHeight + 4 + (horizontalLines ? 1 : 0));
        }
    }
    int preview = 0;
    if (FGridView->Preview().Visible() && FGridView->Preview().Column())
        preview = PreviewHeight(record);
    if (previewHeight)
        *previewHeight = preview;
    return height + preview;
}

void TkvGridRowsViewInfo::GroupFooterLevels(int rowIndex, const TkvGridRowInfo &info,
                                            std::vector<int> &levels) const
{
    levels.clear();
    const TkvGridGroupFootersMode mode = FGridView->OptionsView().GroupFooters();
    const TkvGridRowSource &source = FGridView->DataController();
    const int groupingCount = source.GroupingItemCount();
    if (mode == gfInvisible || groupingCount == 0)
        return;
    const bool isGroup = info.Level < groupingCount;
    // A data row closes every group of its levels that ends with it; a collapsed group row closes
    // the groups around it that end with it, and its own group when its footer stays visible.
    int upper = groupingCount;
    if (isGroup)
        upper = info.Expanded ? -1 : (mode == gfAlwaysVisible ? info.Level + 1 : info.Level);
    const int next = rowIndex + 1 < source.RowCount() ? source.GetRowInfo(rowIndex + 1).Level : 0;
    for (int level = upper - 1; level >= next; --level)
        levels.push_back(level);
}

int TkvGridRowsViewInfo::RowHeight(int rowIndex) const
{
    TkvGridTableViewInfoCache &cache = FGridView->ViewInfoCache();
    if (const int cached = cache.Height(rowIndex); cached > 0)
        return cached;
    const TkvGridRowSource &source = FGridView->DataController();
    const TkvGridRowInfo info = source.GetRowInfo(rowIndex);
    const bool isGroup = info.Level < source.GroupingItemCount();
    int height = isGroup          ? FLayout.GroupRowHeight()
                 : MeasuresRows() ? MeasureDataRowHeight(rowIndex, nullptr)
                                  : FLayout.DataRowHeight();
    height += RowSeparatorWidth();
    if (FLayout.GroupFooterHeight() > 0) {
        std::vector<int> levels;
        GroupFooterLevels(rowIndex, info, levels);
        height += static_cast<int>(levels.size()) * FLayout.GroupFooterHeight();
    }
    cache.SetHeight(rowIndex, height);
    return height;
}

void TkvGridRowsViewInfo::CalculateRowParts(TkvGridRowViewInfo &row, int dataHeight) const
{
    int previewHeight = 0;
    if (!row.IsGroup && MeasuresRows()) {
        const int measured = MeasureDataRowHeight(row.RowIndex, &previewHeight);
        dataHeight = measured - previewHeight;
    }
    const int left = row.Bounds.left();
    int y = row.Bounds.top();
    if (previewHeight > 0 && FGridView->Preview().Place() == ppTop) {
        row.PreviewBounds = QRect(left + FLayout.GroupIndent(), y,
                                  FLayout.DataWidth() - FLayout.GroupIndent(), previewHeight);
        y += previewHeight;
    }
    row.DataBounds = QRect(left, y, FLayout.DataWidth(), dataHeight);
    y += dataHeight;
    if (previewHeight > 0 && FGridView->Preview().Place() == ppBottom) {
        row.PreviewBounds = QRect(left + FLayout.GroupIndent(), y,
                                  FLayout.DataWidth() - FLayout.GroupIndent(), previewHeight);
        y += previewHeight;
    }
    if (FLayout.GroupFooterHeight() > 0) {
        std::vector<int> levels;
        GroupFooterLevels(row.RowIndex, FGridView->DataController().GetRowInfo(row.RowIndex), levels);
        for (int level : levels) {
            TkvGridGroupFooterViewInfo footer;
            footer.Level = level;
            const int indent = (level + 1) * FLayout.LevelIndent();
            footer.Bounds = QRect(left + indent, y, std::max(0, FLayout.DataWidth() - indent),
                                  FLayout.GroupFooterHeight());
            row.GroupFooters.push_back(std::move(footer));
            y += FLayout.GroupFooterHeight();
        }
    }
    const int separator = RowSeparatorWidth();
    if (separator > 0)
        row.SeparatorBounds =
            QRect(left, row.Bounds.bottom() - separator + 1, FLayout.DataWidth(), separator);
}

void TkvGridRowsViewInfo::CalculateGroupFooters(TkvGridRowViewInfo &row) const
{
    const TkvGridRowSource &source = FGridView->DataController();
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    const int offset = lookAndFeel.FooterCellOffset();
    const int border = lookAndFeel.FooterBorderWidth();
    const int count = FLayout.LaidOutColumnCount();
    for (TkvGridGroupFooterViewInfo &footer : row.GroupFooters) {
        footer.Cells.clear();
        int x = row.Bounds.left();
        const QRect inner = footer.Bounds.adjusted(border, border, -border, -border);
        for (int i = 0; i < count; ++i) {
            TkvGridColumn *column = FGridView->VisibleColumns(i);
            const int width = FLayout.ColumnWidths()[static_cast<std::size_t>(i)];
            QRect bounds(x, inner.top(), width, inner.height());
            x += width;
            bounds = bounds.intersected(inner);
            if (bounds.isEmpty())
                continue;
            TkvGridCellViewInfo cell;
            cell.Bounds = bounds.adjusted(offset, offset, -offset, -offset);
            cell.Borders = {1, 1, 1, 1};
            cell.Item = column;
            cell.RowIndex = row.RowIndex;
            cell.Text = source.GroupFooterText(row.RowIndex, footer.Level, column->Index());
            cell.AlignHorz = column->FooterAlignmentHorz();
            cell.AlignVert = column->HeaderAlignmentVert();
            cell.Params = FLayout.FooterParams(column);
            footer.Cells.push_back(std::move(cell));
        }
    }
}

void TkvGridRowsViewInfo::Calculate()
{
    FRows.clear();
    TkvGridRowSource &source = FGridView->DataController();
    TkvGridViewData &viewData = FGridView->ViewData();
    const TkvGridOptionsView &options = FGridView->OptionsView();
    const int groupingCount = source.GroupingItemCount();
    const int rowCount = std::min(source.RowCount(), viewData.RecordCount());
    const int left = FLayout.ScrolledLeft();
    const int focusedRowIndex = source.FocusedRowIndex();
    int y = FLayout.RowsAreaBounds().top();
    const int bottom = FLayout.RowsAreaBounds().top() + FLayout.RowsAreaBounds().height();

    if (options.NewItemRow() && viewData.NewItemRecord()) {
        TkvGridRowViewInfo row;
        row.RowIndex = -1;
        row.IsNewItemRow = true;
        row.Record = viewData.NewItemRecord();
        row.Record->SetViewInfo(&row);
        row.Focused = row.Record->Focused();
        row.Bounds = QRect(left, y, FLayout.DataWidth(), FLayout.NewItemRowHeight());
        row.DataBounds = row.Bounds;
        row.IndentBounds = QRect(left, y, FLayout.GroupIndent(), FLayout.NewItemRowHeight());
        FRows.push_back(std::move(row));
        y += FLayout.NewItemRowHeight() + options.NewItemRowSeparatorWidth();
    }

    const int top = FGridView->Controller().TopRowIndex();
    for (int rowIndex = std::max(0, top); rowIndex < rowCount; ++rowIndex) {
        // At least one row counts as visible whenever the view has rows.
        if (y >= bottom && rowIndex > top)
            break;
        const TkvGridRowInfo info = source.GetRowInfo(rowIndex);
        const int height = RowHeight(rowIndex);
        TkvGridRowViewInfo row;
        row.RowIndex = rowIndex;
        row.Level = info.Level;
        row.IsGroup = info.Level < groupingCount;
        row.Expanded = info.Expanded;
        row.Focused = rowIndex == focusedRowIndex;
        row.Selected = source.IsRowSelected(rowIndex);
        row.Bounds = QRect(left, y, FLayout.DataWidth(), height);
        CalculateRowParts(row, row.IsGroup ? FLayout.GroupRowHeight() : FLayout.DataRowHeight());
        const int dataHeight = row.DataBounds.height();
        if (row.IsGroup) {
            const int indent = info.Level * FLayout.LevelIndent();
            row.IndentBounds = QRect(left, y, indent, height);
            const int buttonSize = FGridView->LookAndFeelPainter().ExpandButtonSize();
            row.ExpandButtonBounds = QRect(left + indent + (FLayout.LevelIndent() - buttonSize) / 2,
                                           y + (dataHeight - buttonSize) / 2, buttonSize, buttonSize);
        } else
            row.IndentBounds = QRect(left, y, FLayout.GroupIndent(), height);
        FRows.push_back(std::move(row));
        y += height;
    }
    // Link the row objects only after the vector stopped moving.
    for (TkvGridRowViewInfo &row : FRows) {
        if (row.IsNewItemRow)
            continue;
        row.Record = viewData.Records(row.RowIndex);
        if (row.Record)
            row.Record->SetViewInfo(&row);
        if (row.IsGroup)
            CalculateRowCells(row);
        if (!row.GroupFooters.empty())
            CalculateGroupFooters(row);
    }
}

const TkvGridRowViewInfo *TkvGridRowsViewInfo::FindRow(int rowIndex) const
{
    for (const TkvGridRowViewInfo &row : FRows)
        if (row.RowIndex == rowIndex && !row.IsNewItemRow)
            return &row;
    return nullptr;
}

const std::vector<TkvGridCellViewInfo> &TkvGridRowsViewInfo::Cells(const TkvGridRowViewInfo &row) const
{
    if (!row.CellsCalculated)
        CalculateRowCells(row);
    return row.Cells;
}

void TkvGridRowsViewInfo::CalculateRowCells(const TkvGridRowViewInfo &row) const
{
    row.CellsCalculated = true;
    row.Cells.clear();
    auto &mutableRow = const_cast<TkvGridRowViewInfo &>(row);
    const TkvGridOptionsView &options = FGridView->OptionsView();
    const TkvGridOptionsSelection &selection = FGridView->OptionsSelection();
    const bool horizontalLines = options.GridLines() == glBoth || options.GridLines() == glHorizontal;
    const bool verticalLines = options.GridLines() == glBoth || options.GridLines() == glVertical;

    if (row.IsGroup) {
        TkvGridCellViewInfo &cell = mutableRow.GroupCell;
        const int indent = row.Level * FLayout.LevelIndent();
        cell.Bounds = QRect(row.DataBounds.left() + indent, row.DataBounds.top(),
                            std::max(0, FLayout.DataWidth() - indent), row.DataBounds.height());
        cell.Borders = {0, 0, 0, horizontalLines ? 1 : 0};
        cell.RowIndex = row.RowIndex;
        cell.AlignVert = TkvAlignmentVert::vaCenter;
        if (auto *group = dynamic_cast<TkvGridGroupRow *>(row.Record))
            cell.Text = group->GroupText();
        TkvGridStylePtr style;
        if (FGridView->Styles().OnGetGroupStyle)
            FGridView->Styles().OnGetGroupStyle(FGridView, row.Record, row.Level, style);
        if (!style)
            style = FGridView->Styles().Group();
        cell.Params = FGridView->Styles().Resolve(style, TkvGridStyleSlot::Group);
        return;
    }

    // Whether the row counts as selected at all.
    bool rowSelected = row.Selected || (row.Focused && !selection.MultiSelect());
    if (selection.HideSelection() && !FGridView->IsFocused())
        rowSelected = false;
    TkvCustomGridTableItem *focusedItem = FGridView->Controller().FocusedItem();
    const bool cellSelect = selection.CellSelect();
    const int count = FLayout.LaidOutColumnCount();
    row.Cells.reserve(static_cast<std::size_t>(count));
    int x = row.Bounds.left();
    for (int i = 0; i < count; ++i) {
        TkvGridColumn *column = FGridView->VisibleColumns(i);
        const int width = FLayout.ColumnWidths()[static_cast<std::size_t>(i)];
        TkvGridCellViewInfo cell;
        const int indent = i == 0 ? FLayout.GroupIndent() : 0;
        cell.Bounds = QRect(x + indent, row.DataBounds.top(), width - indent, row.DataBounds.height());
        cell.Borders = {0, 0, verticalLines ? 1 : 0, horizontalLines ? 1 : 0};
        cell.Item = column;
        cell.RowIndex = row.RowIndex;
        if (row.Record)
            cell.Text = column->GetDisplayText(row.Record);
        cell.AlignHorz = column->DataBinding() ? column->DataBinding()->DefaultAlignment()
                                               : TkvGridAlignmentHorz::LeftJustify;
        cell.AlignVert = TkvAlignmentVert::vaCenter;
        cell.EndEllipsis = options.CellEndEllipsis();
        cell.MultiLine = options.CellAutoHeight() && column->CanAutoHeight();
        cell.FocusedCell = row.Focused && cellSelect && column == focusedItem;
        if (row.Record && column->ShowEditButtons(row.Focused)) {
            const int buttonWidth = EditorSupport(column->EffectiveEditorItem()).ButtonsWidth;
            const QRect content = cell.ContentBounds();
            // A cell too narrow for the button and some text shows the text.
            if (buttonWidth > 0 && content.width() > 2 * buttonWidth)
                cell.EditButtonBounds =
                    QRect(content.right() - buttonWidth + 1, content.top(), buttonWidth, content.height());
        }
        if (selection.InvertSelect())
            cell.Selected = rowSelected && !cell.FocusedCell;
        else
            cell.Selected = (cell.FocusedCell && !(row.Record && row.Record->Editing()) &&
                             (!selection.HideSelection() || FGridView->IsFocused())) ||
                            (selection.MultiSelect() && rowSelected);
        if (cell.Selected)
            cell.Params = FGridView->Styles().Params(FGridView->IsFocused() ? TkvGridStyleSlot::Selection
                                                                            : TkvGridStyleSlot::Inactive);
        else {
            TkvGridStylePtr style = column->Styles().Content;
            if (!style && column->Styles().OnGetContentStyle)
                column->Styles().OnGetContentStyle(FGridView, row.Record, column, style);
            if (!style && FGridView->Styles().OnGetContentStyle)
                FGridView->Styles().OnGetContentStyle(FGridView, row.Record, column, style);
            if (!style) {
                const TkvGridStyleSlot slot =
                    row.RowIndex % 2 == 0 ? TkvGridStyleSlot::ContentEven : TkvGridStyleSlot::ContentOdd;
                style = FGridView->Styles().Slot(slot);
            }
            if (!style)
                style = FGridView->Styles().Content();
            cell.Params = FGridView->Styles().Resolve(style, TkvGridStyleSlot::Content);
        }
        row.Cells.push_back(std::move(cell));
        x += width;
    }
    if (!row.PreviewBounds.isNull()) {
        TkvGridCellViewInfo &preview = mutableRow.PreviewCell;
        const TkvGridPreview &options = FGridView->Preview();
        preview.Bounds = row.PreviewBounds;
        preview.Borders = {0, 0, 0, horizontalLines ? 1 : 0};
        preview.Item = options.Column();
        preview.RowIndex = row.RowIndex;
        preview.Text =
            row.Record && options.Column() ? options.Column()->GetDisplayText(row.Record) : QString();
        preview.AlignVert = TkvAlignmentVert::vaTop;
        preview.MultiLine = true;
        preview.EndEllipsis = true;
        preview.Selected = selection.InvertSelect() && rowSelected;
        preview.Params = preview.Selected
                             ? FGridView->Styles().Params(FGridView->IsFocused() ? TkvGridStyleSlot::Selection
                                                                                 : TkvGridStyleSlot::Inactive)
                             : PreviewParams(row.Record);
    }
}

int TkvGridRowsViewInfo::VisibleRowCount() const
{
    int count = 0;
    for (const TkvGridRowViewInfo &row : FRows)
        if (!row.IsNewItemRow)
            ++count;
    return count;
}

int TkvGridRowsViewInfo::LastFullyVisibleRowIndex() const
{
    const int bottom = FLayout.RowsAreaBounds().top() + FLayout.RowsAreaBounds().height();
    int last = -1;
    for (const TkvGridRowViewInfo &row : FRows) {
        if (row.IsNewItemRow)
            continue;
        if (last < 0 || row.Bounds.top() + row.Bounds.height() <= bottom)
            last = row.RowIndex;
        if (row.Bounds.top() + row.Bounds.height() > bottom)
            break;
    }
    return last;
}

int TkvGridRowsViewInfo::AvailableRowsHeight() const
{
    int available = FLayout.RowsAreaBounds().height();
    if (FGridView->OptionsView().NewItemRow())
        available -= FLayout.NewItemRowHeight() + FGridView->OptionsView().NewItemRowSeparatorWidth();
    return available;
}

int TkvGridRowsViewInfo::FullyVisibleRowCountFrom(int topRowIndex) const
{
    int available = AvailableRowsHeight();
    const int rowCount = FGridView->DataController().RowCount();
    int count = 0;
    for (int rowIndex = std::max(0, topRowIndex); rowIndex < rowCount; ++rowIndex) {
        available -= RowHeight(rowIndex);
        if (available < 0)
            break;
        ++count;
    }
    return std::max(1, count);
}

int TkvGridRowsViewInfo::TopRowIndexForBottomRow(int rowIndex) const
{
    int available = AvailableRowsHeight();
    int top = rowIndex;
    available -= RowHeight(rowIndex);
    while (top > 0) {
        const int height = RowHeight(top - 1);
        if (available - height < 0)
            break;
        available -= height;
        --top;
    }
    return std::max(0, top);
}

int TkvGridRowsViewInfo::MaxTopRowIndex() const
{
    const int rowCount = FGridView->DataController().RowCount();
    if (rowCount == 0)
        return 0;
    return TopRowIndexForBottomRow(rowCount - 1);
}

} // namespace kestrum
