// The table layout: widths and heights of the parts, the header, group-by box,
// footer and filter box cells, and hit testing; the rows are laid out beside it.
#include "grid/GridTableViewInfo.h"

#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"
#include "grid/GridTableViewInfoCache.h"
#include "grid/GridViewData.h"

#include <QFontMetrics>

#include <algorithm>

namespace kestrum {

namespace {

constexpr int TextOffset = 2;
constexpr int GroupByBoxTextLeft = 6;
constexpr int GroupByBoxHeaderLeft = 6;
constexpr int GroupByBoxHeaderTop = 8;
constexpr int GroupByBoxHeaderSpacing = 4;
constexpr int SizingEdgeWidth = 8;

int LineHeight(const QFont &font)
{
    return QFontMetrics(font).height();
}

} // namespace

QString GroupByBoxHintText()
{
    return QString::fromUtf8(
        "Orvane提示您:用鼠标拖拽字段标题到这里进行分组,点击标题右侧小箭头进行查询、排序");
}

QRect TkvGridCellViewInfo::ContentBounds() const
{
    return Bounds.adjusted(Borders.Left, Borders.Top, -Borders.Right, -Borders.Bottom);
}

QRect TkvGridCellViewInfo::TextBounds() const
{
    QRect bounds = ContentBounds().adjusted(TextOffset, TextOffset, -TextOffset, -TextOffset);
    if (!EditButtonBounds.isNull())
        bounds.setRight(std::min(bounds.right(), EditButtonBounds.left() - TextOffset - 1));
    return bounds;
}

void TkvGridTableViewInfo::Calculate()
{
    FCalculating = true;
    FBounds = FGridView->Bounds();
    CalculateWidths();
    CalculateHeights();
    CalculateParts();
    CalculateHeaderCells();
    CalculateGroupByBox();
    CalculateFooterCells();
    CalculateFilterBox();
    FCalculated = true;
    CalculateRows();
    FCalculating = false;
}

int TkvGridTableViewInfo::LaidOutColumnCount() const
{
    return std::min(FGridView->VisibleColumnCount(), static_cast<int>(FHeaderCellWidths.size()));
}

void TkvGridTableViewInfo::CalculateRows()
{
    FRows.Clear();
    if (!FCalculated)
        return;
    FRows.Calculate();
    FIndicator.Calculate(*this, *FGridView);
}

void TkvGridTableViewInfo::CalculateWidths()
{
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    const int groupingCount = FGridView->DataController().GroupingItemCount();
    FLevelIndent = lookAndFeel.ExpandButtonSize() + 6;
    FGroupIndent = groupingCount * FLevelIndent;
    const int count = FGridView->VisibleColumnCount();
    FHeaderCellWidths.assign(static_cast<std::size_t>(count), 0);
    for (int i = 0; i < count; ++i)
        FHeaderCellWidths[static_cast<std::size_t>(i)] =
            FGridView->VisibleColumns(i)->Width() + (i == 0 ? FGroupIndent : 0);
    if (FGridView->OptionsView().ColumnAutoWidth() && count > 0) {
        // Stretch or shrink to the client width, each column kept at its minimum;
        // the last column takes the rounding remainder.
        int available =
            FBounds.width() -
            (FGridView->OptionsView().Indicator() ? FGridView->OptionsView().IndicatorWidth() : 0);
        int total = 0;
        for (int width : FHeaderCellWidths)
            total += width;
        if (total > 0 && available > 0) {
            int used = 0;
            for (int i = 0; i < count; ++i) {
                TkvGridColumn *column = FGridView->VisibleColumns(i);
                const int indent = i == 0 ? FGroupIndent : 0;
                int width = i == count - 1
                                ? available - used
                                : static_cast<int>(
                                      static_cast<long long>(FHeaderCellWidths[static_cast<std::size_t>(i)]) *
                                      available / total);
                width = std::max(width, indent + column->MinWidth());
                FHeaderCellWidths[static_cast<std::size_t>(i)] = width;
                used += width;
            }
            WriteBackAutoWidths();
        }
    }
    FDataWidth = 0;
    for (int width : FHeaderCellWidths)
        FDataWidth += width;
}

void TkvGridTableViewInfo::WriteBackAutoWidths()
{
    // The columns take the widths they are shown at, so that a stored layout, best fit and
    // sizing by the mouse start from what the user sees. The size changes this posts are
    // dropped while the layout is being computed, and a later pass finds nothing to change.
    const int count = FGridView->VisibleColumnCount();
    for (int i = 0; i < count; ++i) {
        TkvGridColumn *column = FGridView->VisibleColumns(i);
        const int width = FHeaderCellWidths[static_cast<std::size_t>(i)] - (i == 0 ? FGroupIndent : 0);
        if (column->Width() != width)
            column->SetWidth(width);
    }
}

TkvGridViewParams TkvGridTableViewInfo::HeaderParams(TkvGridColumn *column) const
{
    TkvGridStylePtr style = column ? column->Styles().Header : nullptr;
    if (!style && column && column->Styles().OnGetHeaderStyle)
        column->Styles().OnGetHeaderStyle(FGridView, column, style);
    if (!style && FGridView->Styles().OnGetHeaderStyle)
        FGridView->Styles().OnGetHeaderStyle(FGridView, column, style);
    if (!style)
        style = FGridView->Styles().Header();
    return FGridView->Styles().Resolve(style, TkvGridStyleSlot::Header);
}

TkvGridViewParams TkvGridTableViewInfo::FooterParams(TkvGridColumn *column) const
{
    TkvGridStylePtr style = column ? column->Styles().Footer : nullptr;
    if (!style && column && column->Styles().OnGetFooterStyle)
        column->Styles().OnGetFooterStyle(FGridView, column, style);
    if (!style && FGridView->Styles().OnGetFooterStyle)
        FGridView->Styles().OnGetFooterStyle(FGridView, column, style);
    if (!style)
        style = FGridView->Styles().Footer();
    return FGridView->Styles().Resolve(style, TkvGridStyleSlot::Footer);
}

int TkvGridTableViewInfo::HeaderCellHeight(const TkvGridViewParams &params) const
{
    return LineHeight(params.Font) + 4 + 2 * FGridView->LookAndFeelPainter().HeaderBorderWidth();
}

int TkvGridTableViewInfo::HeaderCaptionHeight(int visibleIndex, const TkvGridViewParams &params) const
{
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    const int border = lookAndFeel.HeaderBorderWidth();
    if (!FGridView->OptionsView().HeaderAutoHeight())
        return HeaderCellHeight(params);
    // The caption wraps inside what the cell leaves it beside its filter button and sort mark.
    TkvGridColumn *column = FGridView->VisibleColumns(visibleIndex);
    int width = FHeaderCellWidths[static_cast<std::size_t>(visibleIndex)] - 2 * border - 2 * TextOffset;
    int areas = 0;
    if (column->CanFilter(true))
        areas += lookAndFeel.FilterButtonWidth();
    if (FGridView->DataController().ItemSortOrder(column->Index()) != TkvGridSortMark::None)
        areas += lookAndFeel.SortMarkWidth();
    if (areas > 0)
        width -= areas + TextOffset;
    const QFontMetrics metrics(params.Font);
    int textHeight = metrics.height();
    if (width > 0 && !column->Caption().isEmpty())
        textHeight = std::max(
            textHeight,
            metrics.boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap, column->Caption()).height());
    return textHeight + 4 + 2 * border;
}

void TkvGridTableViewInfo::CalculateHeights()
{
    const TkvGridOptionsView &options = FGridView->OptionsView();
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    const int count = FGridView->VisibleColumnCount();
    const bool horizontalLines = options.GridLines() == glBoth || options.GridLines() == glHorizontal;

    // Header.
    if (!options.Header())
        FHeaderHeight = 0;
    else if (options.HeaderHeight() > 0)
        FHeaderHeight = options.HeaderHeight();
    else {
        FHeaderHeight = count == 0 ? HeaderCellHeight(HeaderParams(nullptr)) : 0;
        for (int i = 0; i < count; ++i)
            FHeaderHeight =
                std::max(FHeaderHeight, HeaderCaptionHeight(i, HeaderParams(FGridView->VisibleColumns(i))));
    }

    // Data rows: the in-place editor needs one text line plus its frame.
    if (options.DataRowHeight() > 0)
        FDataRowHeight = options.DataRowHeight();
    else {
        const QFont viewFont = FGridView->Styles().Params(TkvGridStyleSlot::Content).Font;
        FDataRowHeight = count == 0 ? LineHeight(viewFont) + 4 : 0;
        for (int i = 0; i < count; ++i) {
            TkvGridColumn *column = FGridView->VisibleColumns(i);
            const QFont font =
                FGridView->Styles().Resolve(column->Styles().Content, TkvGridStyleSlot::Content).Font;
            FDataRowHeight = std::max(FDataRowHeight, LineHeight(font) + 2 + 2);
        }
        if (horizontalLines)
            FDataRowHeight += 1;
    }

    // Group rows.
    if (options.GroupRowHeight() > 0)
        FGroupRowHeight = options.GroupRowHeight();
    else {
        const QFont font = FGridView->Styles().Params(TkvGridStyleSlot::Group).Font;
        FGroupRowHeight =
            std::max(LineHeight(font), lookAndFeel.ExpandButtonSize()) + 4 + (horizontalLines ? 1 : 0);
    }

    // Footer: separator, its borders, and cells measured like header cells, inset by the cell offset.
    if (!options.Footer())
        FFooterHeight = 0;
    else {
        int cellHeight = count == 0 ? HeaderCellHeight(FooterParams(nullptr)) : 0;
        for (int i = 0; i < count; ++i)
            cellHeight = std::max(cellHeight, HeaderCellHeight(FooterParams(FGridView->VisibleColumns(i))));
        FFooterHeight = lookAndFeel.FooterSeparatorWidth() + 2 * lookAndFeel.FooterBorderWidth() +
                        cellHeight + 2 * lookAndFeel.FooterCellOffset();
    }

    // Group footers: a strip of footer cells, measured as the footer's cells without its separator.
    if (options.GroupFooters() == gfInvisible || FGridView->DataController().GroupingItemCount() == 0)
        FGroupFooterHeight = 0;
    else {
        int cellHeight = count == 0 ? HeaderCellHeight(FooterParams(nullptr)) : 0;
        for (int i = 0; i < count; ++i)
            cellHeight = std::max(cellHeight, HeaderCellHeight(FooterParams(FGridView->VisibleColumns(i))));
        FGroupFooterHeight =
            2 * lookAndFeel.FooterBorderWidth() + cellHeight + 2 * lookAndFeel.FooterCellOffset();
    }

    // Group-by box.
    if (!options.GroupByBox())
        FGroupByBoxHeight = 0;
    else {
        const int grouped = FGridView->GroupedColumnCount();
        if (grouped == 0)
            FGroupByBoxHeight =
                LineHeight(FGridView->Styles().Params(TkvGridStyleSlot::GroupByBox).Font) + 22;
        else {
            const int headerHeight =
                FHeaderHeight > 0 ? FHeaderHeight : HeaderCellHeight(HeaderParams(nullptr));
            FGroupByBoxHeight = headerHeight / 2 * (grouped + 1) + headerHeight % 2 + 16;
        }
    }

    FFilterBoxHeight = CalculateFilterBoxHeight();
    FNewItemRowHeight = options.NewItemRow() ? FDataRowHeight : 0;
}

void TkvGridTableViewInfo::CalculateParts()
{
    const TkvGridOptionsView &options = FGridView->OptionsView();
    const int indicatorWidth = options.Indicator() ? options.IndicatorWidth() : 0;
    const int left = FBounds.left();
    const int width = FBounds.width();
    int top = FBounds.top();
    FGroupByBoxBounds = FGroupByBoxHeight > 0 ? QRect(left, top, width, FGroupByBoxHeight) : QRect();
    top += FGroupByBoxHeight;
    const int dataLeft = left + indicatorWidth;
    FHeaderBounds = FHeaderHeight > 0 ? QRect(dataLeft, top, width - indicatorWidth, FHeaderHeight) : QRect();
    top += FHeaderHeight;
    int bottom = FBounds.top() + FBounds.height();
    FFilterBoxBounds =
        FFilterBoxHeight > 0 ? QRect(left, bottom - FFilterBoxHeight, width, FFilterBoxHeight) : QRect();
    bottom -= FFilterBoxHeight;
    const int rowsHeight = std::max(0, bottom - FFooterHeight - top);
    FRowsAreaBounds = QRect(dataLeft, top, std::max(0, width - indicatorWidth), rowsHeight);
    // The footer sits directly below the rows area.
    FFooterBounds = FFooterHeight > 0
                        ? QRect(dataLeft, top + rowsHeight, width - indicatorWidth, FFooterHeight)
                        : QRect();
    FIndicatorBounds =
        indicatorWidth > 0
            ? QRect(left, FGroupByBoxBounds.isNull() ? FBounds.top() : FGroupByBoxBounds.bottom() + 1,
                    indicatorWidth, FHeaderHeight + rowsHeight + FFooterHeight)
            : QRect();
}

int TkvGridTableViewInfo::ScrolledLeft() const
{
    return FRowsAreaBounds.left() - FGridView->Controller().LeftPos();
}

void TkvGridTableViewInfo::CalculateHeaderCells()
{
    FHeaderCells.clear();
    if (FHeaderHeight == 0)
        return;
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    const TkvGridOptionsView &options = FGridView->OptionsView();
    const int count = FGridView->VisibleColumnCount();
    FHeaderCells.reserve(static_cast<std::size_t>(count));
    int x = ScrolledLeft();
    const int border = lookAndFeel.HeaderBorderWidth();
    for (int i = 0; i < count; ++i) {
        TkvGridColumn *column = FGridView->VisibleColumns(i);
        TkvGridHeaderCellViewInfo cell;
        const int width = FHeaderCellWidths[static_cast<std::size_t>(i)];
        cell.Bounds = QRect(x, FHeaderBounds.top(), width, FHeaderHeight);
        cell.Borders = {border, border, border, border};
        cell.Column = column;
        cell.Item = column;
        cell.VisibleIndex = i;
        cell.Text = column->Caption();
        cell.AlignHorz = column->HeaderAlignmentHorz();
        cell.AlignVert = column->HeaderAlignmentVert();
        cell.MultiLine = options.HeaderAutoHeight();
        cell.EndEllipsis = options.HeaderEndEllipsis();
        cell.Params = HeaderParams(column);
        QRect caption = cell.TextBounds();
        int right = cell.ContentBounds().right();
        bool roomTaken = false;
        if (column->CanHorzSize())
            cell.Areas.push_back({TkvGridHeaderAreaKind::SizingEdge,
                                  QRect(cell.Bounds.right() + 1 - SizingEdgeWidth / 2, cell.Bounds.top(),
                                        SizingEdgeWidth, cell.Bounds.height())});
        if (column->CanFilter(true)) {
            const int w = lookAndFeel.FilterButtonWidth();
            const QRect content = cell.ContentBounds();
            cell.Areas.push_back({TkvGridHeaderAreaKind::FilterButton,
                                  QRect(right - w + 1, content.top() + (content.height() - w) / 2, w, w)});
            right -= w;
            roomTaken = true;
        }
        const TkvGridSortMark sortMark = FGridView->DataController().ItemSortOrder(column->Index());
        if (sortMark != TkvGridSortMark::None) {
            const int w = lookAndFeel.SortMarkWidth();
            const QRect content = cell.ContentBounds();
            cell.Areas.push_back({TkvGridHeaderAreaKind::SortMark,
                                  QRect(right - w + 1, content.top() + (content.height() - w) / 2, w, w)});
            right -= w;
            roomTaken = true;
        }
        if (!column->HeaderGlyph().isNull()) {
            const QRect content = cell.ContentBounds();
            const QSize size = column->HeaderGlyph().size();
            int gx = column->HeaderGlyphAlignmentHorz() == TkvGridAlignmentHorz::RightJustify
                         ? right - size.width() + 1
                     : column->HeaderGlyphAlignmentHorz() == TkvGridAlignmentHorz::Center
                         ? content.left() + (content.width() - size.width()) / 2
                         : content.left() + TextOffset;
            int gy = column->HeaderGlyphAlignmentVert() == TkvAlignmentVert::vaTop ? content.top()
                     : column->HeaderGlyphAlignmentVert() == TkvAlignmentVert::vaBottom
                         ? content.bottom() - size.height() + 1
                         : content.top() + (content.height() - size.height()) / 2;
            cell.Areas.push_back({TkvGridHeaderAreaKind::Glyph, QRect(QPoint(gx, gy), size)});
            if (column->HeaderGlyphAlignmentHorz() == TkvGridAlignmentHorz::LeftJustify)
                caption.setLeft(gx + size.width() + TextOffset);
        }
        if (roomTaken)
            caption.setRight(std::min(caption.right(), right - TextOffset));
        cell.CaptionBounds = caption;
        if (FGridView->PressedColumn() == column)
            cell.State = TkvGridCellState::Pressed;
        SetFilterButtonState(cell, TkvGridHeaderContainer::HeaderRow);
        FHeaderCells.push_back(std::move(cell));
        x += width;
    }
}

void TkvGridTableViewInfo::CalculateGroupByBox()
{
    FGroupByBoxHeaders.clear();
    FGroupByBoxText.clear();
    FGroupByBoxTextBounds = QRect();
    if (FGroupByBoxHeight == 0)
        return;
    const int grouped = FGridView->GroupedColumnCount();
    if (grouped == 0) {
        FGroupByBoxText = GroupByBoxHintText();
        const QFont font = FGridView->Styles().Params(TkvGridStyleSlot::GroupByBox).Font;
        const int textHeight = LineHeight(font);
        FGroupByBoxTextBounds =
            QRect(FGroupByBoxBounds.left() + GroupByBoxTextLeft,
                  FGroupByBoxBounds.top() + (FGroupByBoxHeight - textHeight) / 2,
                  std::max(0, FGroupByBoxBounds.width() - GroupByBoxTextLeft), textHeight);
        return;
    }
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    const int headerHeight = FHeaderHeight > 0 ? FHeaderHeight : HeaderCellHeight(HeaderParams(nullptr));
    const int border = lookAndFeel.HeaderBorderWidth();
    int x = FGroupByBoxBounds.left() + GroupByBoxHeaderLeft;
    int y = FGroupByBoxBounds.top() + GroupByBoxHeaderTop;
    for (int level = 0; level < grouped; ++level) {
        TkvGridColumn *column = FGridView->GroupedColumns(level);
        if (!column)
            continue;
        TkvGridHeaderCellViewInfo cell;
        cell.Column = column;
        cell.Item = column;
        cell.Text = column->Caption();
        cell.Params = HeaderParams(column);
        cell.AlignVert = TkvAlignmentVert::vaCenter;
        cell.Borders = {border, border, border, border};
        int areasWidth = 0;
        const bool filter = column->CanFilter(true);
        const TkvGridSortMark sortMark = FGridView->DataController().ItemSortOrder(column->Index());
        if (filter)
            areasWidth += lookAndFeel.FilterButtonWidth();
        if (sortMark != TkvGridSortMark::None)
            areasWidth += lookAndFeel.SortMarkWidth();
        const int textWidth = QFontMetrics(cell.Params.Font).horizontalAdvance(cell.Text);
        const int width =
            textWidth + 2 * TextOffset + 2 * border + areasWidth + (areasWidth > 0 ? TextOffset : 0) + 2;
        cell.Bounds = QRect(x, y, width, headerHeight);
        int right = cell.ContentBounds().right();
        const QRect content = cell.ContentBounds();
        if (filter) {
            const int w = lookAndFeel.FilterButtonWidth();
            cell.Areas.push_back({TkvGridHeaderAreaKind::FilterButton,
                                  QRect(right - w + 1, content.top() + (content.height() - w) / 2, w, w)});
            right -= w;
        }
        if (sortMark != TkvGridSortMark::None) {
            const int w = lookAndFeel.SortMarkWidth();
            cell.Areas.push_back({TkvGridHeaderAreaKind::SortMark,
                                  QRect(right - w + 1, content.top() + (content.height() - w) / 2, w, w)});
            right -= w;
        }
        QRect caption = cell.TextBounds();
        if (areasWidth > 0)
            caption.setRight(right - TextOffset);
        cell.CaptionBounds = caption;
        if (FGridView->PressedColumn() == column)
            cell.State = TkvGridCellState::Pressed;
        x = cell.Bounds.right() + 1 + GroupByBoxHeaderSpacing;
        y += headerHeight / 2;
        cell.VisibleIndex = level;
        SetFilterButtonState(cell, TkvGridHeaderContainer::GroupByBox);
        FGroupByBoxHeaders.push_back(std::move(cell));
    }
}

void TkvGridTableViewInfo::CalculateFooterCells()
{
    FFooterCells.clear();
    if (FFooterHeight == 0)
        return;
    const TkvGridLookAndFeelPainter &lookAndFeel = FGridView->LookAndFeelPainter();
    const int border = lookAndFeel.FooterBorderWidth();
    const int offset = lookAndFeel.FooterCellOffset();
    const int count = FGridView->VisibleColumnCount();
    const int top = FFooterBounds.top() + lookAndFeel.FooterSeparatorWidth() + border;
    const int height = FFooterBounds.height() - lookAndFeel.FooterSeparatorWidth() - 2 * border;
    int x = ScrolledLeft();
    for (int i = 0; i < count; ++i) {
        TkvGridColumn *column = FGridView->VisibleColumns(i);
        const int width = FHeaderCellWidths[static_cast<std::size_t>(i)];
        int left = x;
        int right = x + width - 1;
        if (i == 0)
            left += border;
        if (i == count - 1)
            right -= border;
        TkvGridCellViewInfo cell;
        cell.Bounds = QRect(QPoint(left, top), QPoint(right, top + height - 1))
                          .adjusted(offset, offset, -offset, -offset);
        cell.Borders = {1, 1, 1, 1};
        cell.Item = column;
        cell.Text = FGridView->DataController().FooterText(column->Index());
        cell.AlignHorz = column->FooterAlignmentHorz();
        cell.AlignVert = column->HeaderAlignmentVert();
        cell.Params = FooterParams(column);
        FFooterCells.push_back(std::move(cell));
        x += width;
    }
}

int TkvGridTableViewInfo::CalculateFilterBoxHeight() const
{
    const TkvGridFilterVisible visible = FGridView->Filtering().Visible();
    const bool shown = visible == fvAlways ||
                       (visible == fvNonEmpty && FGridView->DataController().FilterConditionCount() > 0);
    return TkvGridFilterBoxViewInfo::Height(shown,
                                            FGridView->Styles().Params(TkvGridStyleSlot::FilterBox).Font,
                                            FGridView->Filtering().CustomizeDialog());
}

void TkvGridTableViewInfo::CalculateFilterBox()
{
    if (FFilterBoxHeight == 0) {
        FFilterBox.Clear();
        return;
    }
    const TkvGridRowSource &source = FGridView->DataController();
    TkvGridFilterBoxContent content;
    content.Font = FGridView->Styles().Params(TkvGridStyleSlot::FilterBox).Font;
    content.Caption = source.FilterCaption();
    content.FilterActive = source.FilterActive();
    content.CustomizeButton = FGridView->Filtering().CustomizeDialog();
    content.Pressed = FGridView->Controller().PressedFilterBoxButton();
    FFilterBox.Calculate(FFilterBoxBounds, content);
}

void TkvGridTableViewInfo::SetFilterButtonState(TkvGridHeaderCellViewInfo &cell,
                                                TkvGridHeaderContainer container) const
{
    const TkvGridTableController &controller = FGridView->Controller();
    for (TkvGridHeaderAreaViewInfo &area : cell.Areas) {
        if (area.Kind != TkvGridHeaderAreaKind::FilterButton)
            continue;
        area.Active = FGridView->DataController().ItemHasFilterCondition(cell.Column->Index());
        if (controller.FilterDropDownColumn() == cell.Column &&
            controller.FilterDropDownContainer() == container)
            area.State = TkvGridCellState::Pressed;
    }
}

TkvGridHitTest TkvGridTableViewInfo::HitTest(const QPoint &point) const
{
    TkvGridHitTest hit;
    if (!FBounds.contains(point))
        return hit;
    auto columnAt = [this](int x, int &visibleIndex) -> TkvGridColumn * {
        int left = ScrolledLeft();
        for (std::size_t i = 0; i < FHeaderCellWidths.size(); ++i) {
            if (x >= left && x < left + FHeaderCellWidths[i]) {
                visibleIndex = static_cast<int>(i);
                return FGridView->VisibleColumns(visibleIndex);
            }
            left += FHeaderCellWidths[i];
        }
        return nullptr;
    };
    if (FGroupByBoxBounds.contains(point)) {
        hit.Kind = TkvGridHitKind::GroupByBox;
        for (const TkvGridHeaderCellViewInfo &header : FGroupByBoxHeaders) {
            if (!header.Bounds.contains(point))
                continue;
            hit.Kind = TkvGridHitKind::GroupByBoxHeader;
            hit.Column = header.Column;
            // Its filter button belongs to the button, not to a press that sorts or drags.
            for (const TkvGridHeaderAreaViewInfo &area : header.Areas)
                if (area.Kind == TkvGridHeaderAreaKind::FilterButton && area.Bounds.contains(point))
                    hit.Kind = TkvGridHitKind::HeaderFilterButton;
        }
        return hit;
    }
    if (FHeaderBounds.contains(point)) {
        hit.Kind = TkvGridHitKind::Background;
        // Areas first, then the cell; the sizing edge reaches into the next cell.
        for (const TkvGridHeaderCellViewInfo &header : FHeaderCells)
            for (const TkvGridHeaderAreaViewInfo &area : header.Areas)
                if (area.Bounds.contains(point) && area.Kind != TkvGridHeaderAreaKind::SortMark &&
                    area.Kind != TkvGridHeaderAreaKind::Glyph) {
                    hit.Kind = area.Kind == TkvGridHeaderAreaKind::SizingEdge
                                   ? TkvGridHitKind::HeaderSizingEdge
                                   : TkvGridHitKind::HeaderFilterButton;
                    hit.Column = header.Column;
                    hit.VisibleColumnIndex = header.VisibleIndex;
                    return hit;
                }
        for (const TkvGridHeaderCellViewInfo &header : FHeaderCells)
            if (header.Bounds.contains(point)) {
                hit.Kind = TkvGridHitKind::Header;
                hit.Column = header.Column;
                hit.VisibleColumnIndex = header.VisibleIndex;
            }
        return hit;
    }
    if (FFooterBounds.contains(point)) {
        hit.Kind = TkvGridHitKind::Footer;
        hit.Column = columnAt(point.x(), hit.VisibleColumnIndex);
        return hit;
    }
    if (FFilterBoxBounds.contains(point)) {
        hit.Kind = TkvGridHitKind::FilterBox;
        if (const TkvGridHitKind button = FFilterBox.ButtonAt(point); button != TkvGridHitKind::None)
            hit.Kind = button;
        return hit;
    }
    if (FRowsAreaBounds.contains(point)) {
        hit.Kind = TkvGridHitKind::Background;
        for (const TkvGridRowViewInfo &row : FRows.Rows()) {
            if (!row.Bounds.contains(point))
                continue;
            hit.RowIndex = row.RowIndex;
            if (row.IsNewItemRow) {
                hit.Kind = TkvGridHitKind::NewItemRow;
                hit.Column = columnAt(point.x(), hit.VisibleColumnIndex);
            } else if (row.IsGroup) {
                if (row.ExpandButtonBounds.contains(point))
                    hit.Kind = TkvGridHitKind::ExpandButton;
                else if (row.IndentBounds.contains(point))
                    hit.Kind = TkvGridHitKind::RowIndent;
                else
                    hit.Kind = TkvGridHitKind::GroupRow;
            } else if (row.IndentBounds.contains(point) && !row.PreviewBounds.contains(point))
                hit.Kind = TkvGridHitKind::RowIndent;
            else if (row.PreviewBounds.contains(point))
                hit.Kind = TkvGridHitKind::Cell;
            else {
                hit.Kind = TkvGridHitKind::Cell;
                hit.Column = columnAt(point.x(), hit.VisibleColumnIndex);
            }
            for (const TkvGridGroupFooterViewInfo &footer : row.GroupFooters)
                if (footer.Bounds.contains(point)) {
                    hit.Kind = TkvGridHitKind::GroupFooter;
                    hit.Column = columnAt(point.x(), hit.VisibleColumnIndex);
                }
            if (row.IsGroup && !row.DataBounds.contains(point) && hit.Kind != TkvGridHitKind::GroupFooter)
                hit.Kind = TkvGridHitKind::Background;
            return hit;
        }
    }
    return hit;
}

} // namespace kestrum
