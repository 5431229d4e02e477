// Painting and layout options: custom drawing, group footers, header and cell
// heights that follow their texts, the indicator, the preview, row separators,
// the unfocused focus frame, background bitmaps and style sheets. Views are
// painted offscreen and checked by pixels or by the texts laid out.
#include "GridTestSource.h"

#include "grid/GridCellText.h"
#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridSite.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

std::vector<std::vector<QString>> Records()
{
    return {
        {"100", QString::fromUtf8("工资"), "2006-7-1", QString::fromUtf8("七月")},
        {"20", QString::fromUtf8("奖金"), "2006-7-5", ""},
        {"200", QString::fromUtf8("工资"), "2006-7-9", ""},
        {"7.5", QString::fromUtf8("利息"), "2006-7-9", ""},
    };
}

QImage Paint(TkvGridTableView &view)
{
    QImage image(view.Bounds().size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    view.Painter().Paint(painter);
    return image;
}

//! Whether any pixel of the rectangle has the colour.
bool HasColour(const QImage &image, const QRect &rect, const QColor &colour)
{
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

bool AllColour(const QImage &image, const QRect &rect, const QColor &colour)
{
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) != colour)
                return false;
    return true;
}

//! Rows with their group footers: "G0:...|D1:0|F0[300.00]".
std::string RowsWithFooters(const TkvGridTableView &view)
{
    std::string text;
    for (const TkvGridRowViewInfo &row : view.ViewInfo().Rows()) {
        if (!text.empty())
            text += "|";
        text +=
            row.IsGroup ? "G" + std::to_string(row.Level) : "D" + std::to_string(row.Record->RecordIndex());
        for (const TkvGridGroupFooterViewInfo &footer : row.GroupFooters) {
            text += "|F" + std::to_string(footer.Level) + "[";
            for (const TkvGridCellViewInfo &cell : footer.Cells)
                text += cell.Text.toStdString();
            text += "]";
        }
    }
    return text;
}

const QColor Drawn(1, 2, 3);

} // namespace

TEST(GridPainting, CustomDrawHandlersReplaceOrKeepTheDefaultDrawing)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    view.OptionsView().SetIndicator(true);
    grid.Item->SetGroupIndex(0);
    std::string order;
    auto fill = [&](const char *name, bool done) {
        return [&order, name, done](TkvGridTableView *, QPainter &painter, const TkvGridCellViewInfo &cell,
                                    bool &handled) {
            order += name;
            if (done) {
                painter.fillRect(cell.Bounds, Drawn);
                handled = true;
            }
        };
    };
    // A column's handler comes first; when it is done the view's is not asked.
    grid.Amount->OnCustomDrawHeader = [&](TkvGridTableView *, QPainter &painter,
                                          const TkvGridHeaderCellViewInfo &cell, bool &done) {
        order += "h";
        painter.fillRect(cell.Bounds, Drawn);
        done = true;
    };
    view.OnCustomDrawColumnHeader = [&](TkvGridTableView *, QPainter &, const TkvGridHeaderCellViewInfo &cell,
                                        bool &) { order += cell.Column == grid.Amount ? "X" : "H"; };
    grid.Amount->OnCustomDrawFooterCell = fill("f", true);
    view.OnCustomDrawFooterCell = fill("V", false);
    view.OnCustomDrawGroupCell = fill("g", true);
    view.OnCustomDrawIndicatorCell = [&](TkvGridTableView *, QPainter &painter,
                                         const TkvGridIndicatorCellViewInfo &cell, bool &done) {
        if (cell.Kind == TkvGridIndicatorKind::Header) {
            painter.fillRect(cell.Bounds, Drawn);
            done = true;
        }
    };
    view.OnCustomDrawPartBackground = [&](TkvGridTableView *, QPainter &painter,
                                          const TkvGridPartViewInfo &part, bool &done) {
        if (part.Part == TkvGridPartKind::GroupByBox) {
            painter.fillRect(part.Bounds, Drawn);
            done = true;
        }
    };
    const QImage image = Paint(view);
    const TkvGridTableViewInfo &info = view.ViewInfo();
    // Drawn by the handlers: all of the element is the handler's colour.
    EXPECT_TRUE(AllColour(image, info.HeaderCells()[0].Bounds, Drawn));
    EXPECT_TRUE(AllColour(image, info.FooterCells()[0].Bounds, Drawn));
    EXPECT_TRUE(AllColour(image, info.Rows()[0].GroupCell.Bounds, Drawn));
    EXPECT_TRUE(AllColour(image, info.IndicatorCells().front().Bounds, Drawn));
    // The group-by box's background is the handler's, its grouped column's header is drawn over it.
    EXPECT_EQ(image.pixelColor(info.GroupByBoxBounds().right() - 1, info.GroupByBoxBounds().bottom() - 1),
              Drawn);
    // Handlers that leave done alone keep the default drawing.
    EXPECT_FALSE(HasColour(image, info.HeaderCells()[1].Bounds, Drawn));
    EXPECT_FALSE(HasColour(image, info.FooterCells()[1].Bounds, Drawn));
    EXPECT_FALSE(HasColour(image, info.IndicatorCells().back().Bounds, Drawn));
    EXPECT_EQ(order.find('X'), std::string::npos);
    EXPECT_NE(order.find('H'), std::string::npos);
    EXPECT_NE(order.find('f'), std::string::npos);
    EXPECT_NE(order.find('V'), std::string::npos);
    // Without handlers the same cells are drawn in their style.
    grid.Amount->OnCustomDrawHeader = nullptr;
    grid.Amount->OnCustomDrawFooterCell = nullptr;
    view.OnCustomDrawGroupCell = nullptr;
    view.OnCustomDrawIndicatorCell = nullptr;
    view.OnCustomDrawPartBackground = nullptr;
    const QImage plain = Paint(view);
    EXPECT_FALSE(HasColour(plain, info.Bounds(), Drawn));
    EXPECT_EQ(plain.pixelColor(view.ViewInfo().GroupByBoxBounds().right() - 1,
                               view.ViewInfo().GroupByBoxBounds().bottom() - 1),
              view.Styles().Params(TkvGridStyleSlot::GroupByBox).Color);
}

TEST(GridPainting, GroupFootersFollowTheLastRowOfEachGroupWithTheirSums)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    GridTestSource &source = grid.Source();
    source.GroupFooterSumField = QString::fromUtf8("本次进帐");
    source.Reload();
    TkvGridTableView &view = *grid.View;
    grid.Item->SetGroupIndex(0);
    // Hidden by default.
    EXPECT_EQ(RowsWithFooters(view), "G0|G0|G0");
    view.OptionsView().SetGroupFooters(gfVisibleWhenExpanded);
    EXPECT_EQ(RowsWithFooters(view), "G0|G0|G0");
    view.ViewData().Records(2)->Expand(false); // 工资
    EXPECT_EQ(RowsWithFooters(view), "G0|G0|G0|D0|D2|F0[300.00]");
    // A collapsed group shows its footer too.
    view.OptionsView().SetGroupFooters(gfAlwaysVisible);
    EXPECT_EQ(RowsWithFooters(view), "G0|F0[7.50]|G0|F0[20.00]|G0|D0|D2|F0[300.00]");
    // The row that ends a group is taller by the footer; the footer is drawn with its text.
    const TkvGridTableViewInfo &info = view.ViewInfo();
    const TkvGridRowViewInfo &last = info.Rows().back();
    EXPECT_EQ(last.Bounds.height(), info.DataRowHeight() + info.GroupFooterHeight());
    EXPECT_EQ(last.GroupFooters[0].Bounds.top(), last.DataBounds.bottom() + 1);
    EXPECT_EQ(last.GroupFooters[0].Bounds.left(), last.Bounds.left() + info.LevelIndent());
    const TkvGridCellViewInfo &sum = last.GroupFooters[0].Cells[0];
    const QImage image = Paint(view);
    const QRect text = sum.TextBounds();
    QImage reference(text.size(), QImage::Format_ARGB32_Premultiplied);
    reference.fill(sum.Params.Color);
    {
        QPainter painter(&reference);
        painter.setFont(sum.Params.Font);
        painter.setPen(sum.Params.TextColor);
        painter.drawText(QRect(QPoint(0, 0), text.size()), Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine,
                         "300.00");
    }
    EXPECT_EQ(image.copy(text), reference);
    // Nested groups close innermost first where both end.
    grid.Date->SetGroupIndex(1);
    view.ViewData().Expand(true);
    const std::string nested = RowsWithFooters(view);
    EXPECT_NE(nested.find("D3|F1[7.50]|F0[7.50]"), std::string::npos) << nested;
    // Scrolling arithmetic uses the taller rows.
    EXPECT_EQ(info.RowHeight(view.DataController().RowCount() - 1),
              info.DataRowHeight() + 2 * info.GroupFooterHeight());
}

TEST(GridPainting, HeaderGrowsForWrappedCaptionsAndAutoWidthWritesWidthsBack)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    const int oneLine = view.ViewInfo().HeaderHeight();
    grid.Date->SetCaption(QString::fromUtf8("一个很长很长很长很长很长的标题"));
    grid.Date->SetWidth(60);
    EXPECT_EQ(view.ViewInfo().HeaderHeight(), oneLine);
    view.OptionsView().SetHeaderAutoHeight(true);
    const QFontMetrics metrics(view.Font());
    EXPECT_GE(view.ViewInfo().HeaderHeight(), oneLine + 2 * metrics.height());
    // The caption is drawn wrapped: its lines reach below the first one.
    const TkvGridHeaderCellViewInfo &cell = view.ViewInfo().HeaderCells()[2];
    EXPECT_TRUE(cell.MultiLine);
    const QImage image = Paint(view);
    const QRect second(cell.CaptionBounds.left(), cell.CaptionBounds.top() + metrics.height() + 1,
                       cell.CaptionBounds.width(), metrics.height() - 2);
    EXPECT_TRUE(HasColour(image, second, cell.Params.TextColor));

    // Auto width: the columns fill the view and keep the widths they are shown at.
    view.OptionsView().SetColumnAutoWidth(true);
    int total = 0;
    for (int i = 0; i < view.VisibleColumnCount(); ++i)
        total += view.VisibleColumns(i)->Width();
    EXPECT_EQ(total, view.Bounds().width());
    for (int i = 0; i < view.VisibleColumnCount(); ++i)
        EXPECT_EQ(view.VisibleColumns(i)->Width(), view.ViewInfo().HeaderCells()[i].Bounds.width());
    // Narrower view: narrower columns, still filling it.
    view.SetBounds(QRect(0, 0, 600, 400));
    total = 0;
    for (int i = 0; i < view.VisibleColumnCount(); ++i)
        total += view.VisibleColumns(i)->Width();
    EXPECT_EQ(total, 600);
}

TEST(GridPainting, IndicatorShowsTheFocusedAndTheNewItemRow)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    view.OptionsView().SetIndicator(true);
    view.OptionsView().SetNewItemRow(true);
    view.Controller().SetFocusedRowIndex(1);
    const TkvGridTableViewInfo &info = view.ViewInfo();
    // Header cell, the new-item row, four rows, the footer cell.
    ASSERT_EQ(info.IndicatorCells().size(), 7u);
    EXPECT_EQ(info.IndicatorCells()[0].Kind, TkvGridIndicatorKind::Header);
    EXPECT_EQ(info.IndicatorCells()[1].Glyph, TkvGridIndicatorGlyph::NewItemRow);
    EXPECT_EQ(info.IndicatorCells()[2].Glyph, TkvGridIndicatorGlyph::None);
    EXPECT_EQ(info.IndicatorCells()[3].Glyph, TkvGridIndicatorGlyph::Focused);
    EXPECT_EQ(info.IndicatorCells()[3].Bounds.top(), info.FindRow(1)->Bounds.top());
    EXPECT_EQ(info.IndicatorCells()[6].Kind, TkvGridIndicatorKind::Footer);
    EXPECT_EQ(info.RowsAreaBounds().left(), info.IndicatorBounds().right() + 1);
    const QImage image = Paint(view);
    const QColor glyph = view.Styles().Params(TkvGridStyleSlot::Indicator).TextColor;
    EXPECT_TRUE(HasColour(image, info.IndicatorCells()[3].ContentBounds(), glyph));
    EXPECT_FALSE(HasColour(image, info.IndicatorCells()[2].ContentBounds(), glyph));
    EXPECT_TRUE(HasColour(image, info.IndicatorCells()[1].ContentBounds(), glyph));
}

TEST(GridPainting, PreviewCellAutoHeightAndRowSeparatorsMakeRowsTaller)
{
    auto records = Records();
    records[0][3] = QString::fromUtf8("很长的备注").repeated(40);
    LedgerGrid grid = MakeLedgerGrid(true, records);
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    const TkvGridTableViewInfo &info = view.ViewInfo();
    const int plain = info.DataRowHeight();
    const int line = QFontMetrics(view.Font()).lineSpacing();

    // Preview of the remark below each row, up to three lines; the remark column leaves the header.
    view.Preview().SetColumn(grid.Remark);
    view.Preview().SetVisible(true);
    EXPECT_EQ(view.VisibleColumnCount(), 3);
    const TkvGridRowViewInfo *first = info.FindRow(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->DataBounds.height(), plain);
    EXPECT_EQ(first->PreviewBounds.top(), first->DataBounds.bottom() + 1);
    EXPECT_EQ(first->PreviewBounds.height(), 3 * line + 4 + 1);
    EXPECT_EQ(info.FindRow(1)->PreviewBounds.height(), QFontMetrics(view.Font()).height() + 4 + 1);
    const QImage image = Paint(view);
    const QColor previewText = view.Styles().Params(TkvGridStyleSlot::Preview).TextColor;
    EXPECT_TRUE(HasColour(image, first->PreviewBounds.adjusted(0, 2 * line + 2, 0, 0), previewText));
    view.Preview().SetPlace(ppTop);
    EXPECT_EQ(info.FindRow(0)->DataBounds.top(), info.FindRow(0)->PreviewBounds.bottom() + 1);
    view.Preview().SetVisible(false);
    EXPECT_EQ(view.VisibleColumnCount(), 4);
    EXPECT_EQ(info.FindRow(0)->Bounds.height(), plain);

    // Cells grow with their wrapped text, up to the maximum line count.
    grid.Remark->SetWidth(150);
    view.OptionsView().SetCellAutoHeight(true);
    const int grown = info.FindRow(0)->Bounds.height();
    EXPECT_GT(grown, plain + 3 * line);
    EXPECT_EQ(info.FindRow(1)->Bounds.height(), plain);
    EXPECT_TRUE(info.Cells(*info.FindRow(0))[3].MultiLine);
    view.OptionsView().SetCellTextMaxLineCount(2);
    EXPECT_EQ(info.FindRow(0)->Bounds.height(), std::max(plain, 2 * line + 4 + 1));
    view.OptionsView().SetCellAutoHeight(false);

    // A separator below every row, in its colour.
    view.OptionsView().SetRowSeparatorWidth(4);
    view.OptionsView().SetRowSeparatorColor(QColor(0, 128, 0));
    const TkvGridRowViewInfo *row = info.FindRow(1);
    EXPECT_EQ(row->Bounds.height(), plain + 4);
    EXPECT_EQ(row->SeparatorBounds.height(), 4);
    EXPECT_EQ(info.FindRow(2)->Bounds.top(), row->Bounds.bottom() + 1);
    const QImage separated = Paint(view);
    EXPECT_TRUE(
        AllColour(separated, row->SeparatorBounds.intersected(info.RowsAreaBounds()), QColor(0, 128, 0)));
}

TEST(GridPainting, UnfocusedGridShowsAnInvertedFrameOnlyWhenAsked)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    view.Controller().SetFocusedRowIndex(1);
    view.SetFocused(false);
    const TkvGridTableViewInfo &info = view.ViewInfo();
    const auto &cells = info.Cells(*info.FindRow(1));
    const QRect outline(cells.front().ContentBounds().topLeft(), cells.back().ContentBounds().bottomRight());
    const QColor inactive = view.Styles().Params(TkvGridStyleSlot::Inactive).Color;
    const QColor content = view.Styles().Params(TkvGridStyleSlot::Content).Color;
    auto inverted = [](const QColor &c) { return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue()); };
    // HideFocusRect (the default): no outline at all.
    QImage image = Paint(view);
    const QPoint onFrame(outline.right() - 3, outline.top());
    EXPECT_EQ(image.pixelColor(onFrame), inactive);
    // Shown: a 1-pixel frame that inverts what lies under it, every pixel of it.
    view.OptionsSelection().SetHideFocusRect(false);
    image = Paint(view);
    EXPECT_EQ(image.pixelColor(onFrame), inverted(inactive));
    EXPECT_EQ(image.pixelColor(onFrame + QPoint(1, 0)), inverted(inactive));
    EXPECT_EQ(image.pixelColor(onFrame + QPoint(0, 1)), inactive);
    // The focused cell keeps the content colour, so the frame there is its inverse.
    const TkvGridCellViewInfo *focused = nullptr;
    for (const TkvGridCellViewInfo &cell : cells)
        if (cell.FocusedCell)
            focused = &cell;
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(image.pixelColor(focused->ContentBounds().left() + 3, outline.bottom()), inverted(content));
}

TEST(GridPainting, BackgroundBitmapsAndStyleSheetsFillTheirElements)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    QImage bitmap(4, 4, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(QColor(10, 200, 30));
    bitmap.setPixelColor(0, 0, QColor(200, 10, 30));
    view.BackgroundBitmaps().SetBitmap(TkvGridBitmapSlot::Content, bitmap);
    view.BackgroundBitmaps().SetBitmap(TkvGridBitmapSlot::Background, bitmap);
    const TkvGridTableViewInfo &info = view.ViewInfo();
    QImage image = Paint(view);
    const TkvGridCellViewInfo &cell = info.Cells(*info.FindRow(3))[2];
    const QRect content = cell.ContentBounds();
    // Tiled from the cell's corner: the marked pixel repeats every 4 pixels.
    EXPECT_EQ(image.pixelColor(content.left(), content.top()), QColor(200, 10, 30));
    const int farTile = content.left() + 4 * ((content.width() - 2) / 4); // right of the date text
    EXPECT_EQ(image.pixelColor(farTile, content.top() + 4), QColor(200, 10, 30));
    EXPECT_EQ(image.pixelColor(farTile + 1, content.top() + 4), QColor(10, 200, 30));
    EXPECT_EQ(image.pixelColor(content.right() - 1, content.bottom() - 1), QColor(10, 200, 30));
    // The empty area below the rows is tiled with the Background bitmap.
    const QPoint below(info.RowsAreaBounds().center().x(), info.RowsAreaBounds().bottom() - 10);
    EXPECT_TRUE(image.pixelColor(below) == QColor(10, 200, 30) ||
                image.pixelColor(below) == QColor(200, 10, 30));

    // A style sheet fills the slots the view leaves unassigned; the view's own slot wins.
    auto sheet = std::make_shared<TkvGridTableViewStyleSheet>();
    auto footer = std::make_shared<TkvGridStyle>();
    footer->Color = QColor(250, 240, 0);
    auto header = std::make_shared<TkvGridStyle>();
    header->Color = QColor(0, 0, 250);
    sheet->Slots[static_cast<int>(TkvGridStyleSlot::Footer)] = footer;
    sheet->Slots[static_cast<int>(TkvGridStyleSlot::Header)] = header;
    view.Styles().SetStyleSheet(sheet);
    auto ownHeader = std::make_shared<TkvGridStyle>();
    ownHeader->Color = QColor(0, 250, 250);
    view.Styles().SetSlot(TkvGridStyleSlot::Header, ownHeader);
    EXPECT_EQ(view.Styles().Params(TkvGridStyleSlot::Footer).Color, QColor(250, 240, 0));
    image = Paint(view);
    const QRect footerCell = info.FooterCells()[1].ContentBounds();
    EXPECT_EQ(image.pixelColor(footerCell.center()), QColor(250, 240, 0));
    const QRect headerCell = info.HeaderCells()[3].ContentBounds();
    EXPECT_EQ(image.pixelColor(headerCell.right() - 2, headerCell.bottom() - 1), QColor(0, 250, 250));
}

TEST(GridPainting, HidingTheFocusedColumnFocusesTheNextOrNone)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    view.Controller().SetFocusedItem(grid.Date);
    grid.Date->SetVisible(false);
    EXPECT_EQ(view.Controller().FocusedItem(), grid.Remark);
    // The last column has no next one: no column keeps the focus.
    grid.Remark->SetVisible(false);
    EXPECT_EQ(view.Controller().FocusedItem(), nullptr);
    // Showing a column again gives it the focus, as nothing has it.
    grid.Date->SetVisible(true);
    EXPECT_EQ(view.Controller().FocusedItem(), grid.Date);
}

TEST(GridPainting, BestFitLeavesNothingCutAndCountsTheGroupIndentOnce)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    grid.Date->SetCaption(QString::fromUtf8("进帐的时间和日期"));
    const QFont font = view.Font();
    // Sorted: the sort mark takes room from the caption; best fit still shows all of it.
    grid.Date->SetSortOrder(TkvGridSortMark::Ascending);
    grid.Date->ApplyBestFit();
    const TkvGridHeaderCellViewInfo &date = view.ViewInfo().HeaderCells()[2];
    EXPECT_GE(date.CaptionBounds.width(), QFontMetrics(font).horizontalAdvance(grid.Date->Caption()));
    // The first column grouped by another: its header spans the indent, so its width does not
    // take the indent again; its cells still show every value in full.
    grid.Amount->SetCaption(QString::fromUtf8("很长的金额列标题文字"));
    grid.Item->SetGroupIndex(0);
    view.ViewData().Expand(true);
    grid.Amount->ApplyBestFit();
    const TkvGridTableViewInfo &info = view.ViewInfo();
    const TkvGridHeaderCellViewInfo &amount = info.HeaderCells()[0];
    const int captionWidth = QFontMetrics(font).horizontalAdvance(grid.Amount->Caption());
    EXPECT_GE(amount.CaptionBounds.width(), captionWidth);
    EXPECT_LT(amount.CaptionBounds.width(), captionWidth + info.GroupIndent());
    for (const TkvGridRowViewInfo &row : info.Rows()) {
        if (row.IsGroup)
            continue;
        const TkvGridCellViewInfo &cell = info.Cells(row)[0];
        EXPECT_EQ(ShownCellText(cell, cell.TextBounds()), cell.Text);
    }
}

TEST(GridPainting, BorderStyleFramesTheGridAndPlacesTheViewInside)
{
    TkvGrid grid;
    LedgerGrid ledger = MakeLedgerGrid(true, Records(), &grid);
    grid.resize(700, 300);
    grid.show();
    ledger.Source().Reload();
    auto render = [&] {
        QImage image(grid.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        grid.render(&image);
        return image;
    };
    // The default frame is the look and feel's, which has none: the view reaches the edge.
    EXPECT_EQ(grid.BorderStyle(), cbsDefault);
    EXPECT_EQ(grid.Site()->geometry().topLeft(), QPoint(0, 0));
    grid.SetBorderStyle(cbsSingle);
    EXPECT_EQ(grid.Site()->geometry().topLeft(), QPoint(1, 1));
    QImage image = render();
    const QColor dark = TkvGridLookAndFeelPainter::Default().BorderDarkColor();
    EXPECT_EQ(image.pixelColor(0, 150), dark);
    EXPECT_EQ(image.pixelColor(350, grid.height() - 1), dark);
    EXPECT_NE(image.pixelColor(1, 150), dark);
    grid.SetBorderStyle(cbsThick);
    EXPECT_EQ(grid.Site()->geometry().topLeft(), QPoint(2, 2));
    image = render();
    EXPECT_EQ(image.pixelColor(0, 150), dark);
    EXPECT_EQ(image.pixelColor(grid.width() - 1, 150),
              TkvGridLookAndFeelPainter::Default().BorderLightColor());
    // The root level's options and styles are the grid's.
    grid.RootLevelOptions().DetailFrameWidth = 3;
    EXPECT_EQ(grid.RootLevel().Options().DetailFrameWidth, 3);
    auto tab = std::make_shared<TkvGridStyle>();
    grid.RootLevelStyles().Tab = tab;
    EXPECT_EQ(grid.RootLevel().Styles().Tab, tab);
}

TEST(GridPainting, EditButtonsShowInTheirCellsAndTakeRoomFromTheText)
{
    LedgerGrid grid = MakeLedgerGrid(true, Records());
    grid.Source().Reload();
    TkvGridTableView &view = *grid.View;
    ASSERT_EQ(grid.Date->EffectiveEditorItem(), TkvGridEditorItemKind::Date);
    const int dateIndex = grid.Date->VisibleIndex();
    const int plainWidth = grid.Date->CalculateBestFitWidth();
    view.Controller().SetFocusedRowIndex(1);
    auto dateCell = [&](int rowIndex) -> const TkvGridCellViewInfo & {
        const TkvGridTableViewInfo &info = view.ViewInfo();
        return info.Cells(*info.FindRow(rowIndex))[std::size_t(dateIndex)];
    };
    EXPECT_TRUE(dateCell(1).EditButtonBounds.isNull()) << "no buttons by default";

    view.OptionsView().SetShowEditButtons(gsebForFocusedRecord);
    EXPECT_TRUE(dateCell(0).EditButtonBounds.isNull());
    const TkvGridCellViewInfo &focused = dateCell(1);
    ASSERT_FALSE(focused.EditButtonBounds.isNull());
    EXPECT_EQ(focused.EditButtonBounds.width(), EditButtonWidth);
    EXPECT_EQ(focused.EditButtonBounds.right(), focused.ContentBounds().right());
    EXPECT_LT(focused.TextBounds().right(), focused.EditButtonBounds.left());
    // Text-only columns show no button whatever the option says.
    EXPECT_TRUE(view.ViewInfo().Cells(*view.ViewInfo().FindRow(1))[0].EditButtonBounds.isNull());
    // The button face is drawn over the cell's content colour.
    const QImage image = Paint(view);
    const QColor face = view.LookAndFeelPainter().HeaderColor();
    EXPECT_TRUE(HasColour(image, dateCell(1).EditButtonBounds, face));
    EXPECT_FALSE(HasColour(image, dateCell(0).ContentBounds(), face));

    // Best fit leaves room for the button only while the column shows it.
    view.OptionsView().SetShowEditButtons(gsebAlways);
    EXPECT_GT(grid.Date->CalculateBestFitWidth(), plainWidth);
    grid.Date->Options().SetShowEditButtons(isebNever);
    EXPECT_EQ(grid.Date->CalculateBestFitWidth(), plainWidth);
    EXPECT_TRUE(dateCell(1).EditButtonBounds.isNull());
}
