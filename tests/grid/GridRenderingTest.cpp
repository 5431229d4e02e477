// What a user sees: a grid control drawn offscreen into an image, compared
// with the texts and colours the ledger's grid must show.
#include "GridTestSource.h"

#include "grid/GridCellText.h"
#include "grid/GridLookAndFeelPainter.h"
#include "grid/GridSite.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

struct RenderedGrid {
    TkvGrid Grid;
    LedgerGrid Ledger;
    explicit RenderedGrid(const std::vector<std::vector<QString>> &records)
        : Ledger(MakeLedgerGrid(true, records, &Grid))
    {
        Grid.resize(900, 320);
        Grid.show();
        Ledger.Source().Reload();
    }
    QImage Render()
    {
        QImage image(Grid.Site()->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        Grid.Site()->render(&image);
        return image;
    }
};

//! The part of an image inside a rectangle.
QImage Crop(const QImage &image, const QRect &rect)
{
    return image.copy(rect);
}

//! The text as plain Qt draws it alone, on the given background, in the given font and colour.
QImage Reference(const QSize &size, const QColor &background, const QFont &font, const QColor &color,
                 Qt::Alignment alignment, const QString &text)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRect(QPoint(0, 0), size), int(alignment | Qt::TextSingleLine), text);
    return image;
}

std::vector<std::vector<QString>> Entries()
{
    return {
        {"1000.5", QString::fromUtf8("工资"), "2006-7-1", QString::fromUtf8("七月")},
        {"234", QString::fromUtf8("奖金"), "2006-7-5", ""},
        {"0", QString::fromUtf8("工资"), "2006-7-9", ""},
    };
}

} // namespace

TEST(GridRendering, FooterShowsTheTotalUnderTheAmountColumn)
{
    RenderedGrid rendered(Entries());
    const QImage image = rendered.Render();
    const TkvGridTableViewInfo &info = rendered.Ledger.View->ViewInfo();
    const TkvGridCellViewInfo &footer = info.FooterCells()[0];
    ASSERT_EQ(footer.Text.toStdString(), "1234.50");
    const QRect textRect = footer.TextBounds();
    const QImage shown = Crop(image, textRect);
    const auto alignment = Qt::AlignRight | Qt::AlignTop;
    EXPECT_EQ(shown, Reference(textRect.size(), footer.Params.Color, footer.Params.Font,
                               footer.Params.TextColor, alignment, "1234.50"));
    // The comparison is sensitive to a single digit.
    EXPECT_NE(shown, Reference(textRect.size(), footer.Params.Color, footer.Params.Font,
                               footer.Params.TextColor, alignment, "1234.60"));
    // The item column's footer cell is empty: only its background.
    const QImage empty = Crop(image, info.FooterCells()[1].TextBounds());
    EXPECT_EQ(empty, Reference(empty.size(), footer.Params.Color, footer.Params.Font, footer.Params.TextColor,
                               alignment, ""));
}

TEST(GridRendering, GroupRowShowsCaptionValueAndSum)
{
    RenderedGrid rendered(Entries());
    rendered.Ledger.Item->SetGroupIndex(0);
    const QImage image = rendered.Render();
    const TkvGridTableViewInfo &info = rendered.Ledger.View->ViewInfo();
    ASSERT_EQ(info.Rows().size(), 2u);
    const TkvGridRowViewInfo &row = info.Rows()[1];
    const QString expected = QString::fromUtf8("进帐项 : 工资 (SUM=1000.50)");
    ASSERT_EQ(row.GroupCell.Text, expected);
    QRect textRect = row.GroupCell.TextBounds();
    textRect.setLeft(row.GroupCell.Bounds.left() + info.LevelIndent());
    const QImage shown = Crop(image, textRect);
    const TkvGridViewParams &params = row.GroupCell.Params;
    EXPECT_EQ(shown, Reference(textRect.size(), params.Color, params.Font, params.TextColor,
                               Qt::AlignLeft | Qt::AlignVCenter, expected));
    EXPECT_NE(shown,
              Reference(textRect.size(), params.Color, params.Font, params.TextColor,
                        Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8("进帐项 : 工资 (SUM=1000.60)")));
    // The collapsed group's expand button shows a plus: a vertical stroke through its centre.
    const QRect button = row.ExpandButtonBounds;
    const QColor glyph = TkvGridLookAndFeelPainter::Default().ContentTextColor();
    EXPECT_EQ(image.pixelColor(button.center().x() - (button.width() % 2 ? 0 : 1) + 0, button.top() + 3),
              glyph);
}

TEST(GridRendering, FocusedRowIsHighlightedExceptItsFocusedCell)
{
    RenderedGrid rendered(Entries());
    TkvGridTableView &view = *rendered.Ledger.View;
    rendered.Grid.Site()->setFocus();
    view.SetFocused(true); // offscreen windows are never activated
    view.Controller().SetFocusedRowIndex(1);
    view.Controller().SetFocusedItem(rendered.Ledger.Item);
    const QImage image = rendered.Render();
    const TkvGridTableViewInfo &info = view.ViewInfo();
    const TkvGridLookAndFeelPainter &lookAndFeel = TkvGridLookAndFeelPainter::Default();
    const auto &focusedCells = info.Cells(*info.FindRow(1));
    const auto &otherCells = info.Cells(*info.FindRow(2));
    // A point inside a cell away from its text: the cell's right end.
    auto background = [&](const TkvGridCellViewInfo &cell) {
        return image.pixelColor(cell.ContentBounds().right() - 1, cell.ContentBounds().bottom() - 1);
    };
    EXPECT_EQ(background(focusedCells[2]), lookAndFeel.HighlightColor());
    EXPECT_EQ(background(focusedCells[1]), lookAndFeel.ContentColor());
    EXPECT_EQ(background(otherCells[2]), lookAndFeel.ContentColor());
    // Without the keyboard focus the row keeps its highlight in the inactive colours.
    view.SetFocused(false);
    const QImage inactive = rendered.Render();
    const TkvGridCellViewInfo &cell = view.ViewInfo().Cells(*view.ViewInfo().FindRow(1))[2];
    EXPECT_EQ(inactive.pixelColor(cell.ContentBounds().right() - 1, cell.ContentBounds().bottom() - 1),
              lookAndFeel.InactiveColor());
}

TEST(GridRendering, EmptyGridShowsTheGroupByHint)
{
    RenderedGrid rendered({});
    const QImage image = rendered.Render();
    const TkvGridTableViewInfo &info = rendered.Ledger.View->ViewInfo();
    const QRect hint = info.GroupByBoxTextBounds();
    const TkvGridViewParams params = rendered.Ledger.View->Styles().Params(TkvGridStyleSlot::GroupByBox);
    const QImage shown = Crop(image, hint);
    EXPECT_EQ(shown, Reference(hint.size(), params.Color, params.Font, params.TextColor,
                               Qt::AlignLeft | Qt::AlignVCenter, GroupByBoxHintText()));
    // The empty rows area is the background colour.
    const QPoint inside = info.RowsAreaBounds().center();
    EXPECT_EQ(image.pixelColor(inside),
              rendered.Ledger.View->Styles().Params(TkvGridStyleSlot::Background).Color);
}

namespace {

//! A grid placed as the entry pages place theirs: built at its default size
//! inside a hidden window, loaded, then given its real size when the window
//! is shown. The first layout at the small size shows a horizontal scroll
//! bar that the real size no longer needs.
struct PlacedGrid {
    QWidget Window;
    TkvGrid *Grid;
    LedgerGrid Ledger;
    PlacedGrid(const QSize &size, int recordCount)
        : Grid(new TkvGrid(&Window)), Ledger(MakeLedgerGrid(true, Records(recordCount), Grid))
    {
        Ledger.Source().Reload();
        Window.resize(size);
        Grid->setGeometry(QRect(QPoint(0, 0), size));
        Window.show();
    }
    static std::vector<std::vector<QString>> Records(int count)
    {
        std::vector<std::vector<QString>> records;
        for (int i = 0; i < count; ++i)
            records.push_back({QString::number(i), QString::fromUtf8("工资"), "2006-7-1", ""});
        return records;
    }
    //! The grid with its children only: pixels that nothing paints stay magenta.
    QImage Render() const
    {
        QImage image(Grid->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        Grid->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

//! How many pixels of the image's row y are still magenta.
int UnpaintedInRow(const QImage &image, int y)
{
    int count = 0;
    for (int x = 0; x < image.width(); ++x)
        count += image.pixelColor(x, y) == QColor(Qt::magenta) ? 1 : 0;
    return count;
}

} // namespace

TEST(GridRendering, FooterSitsOnTheBottomEdgeWithAndWithoutAVerticalScrollBar)
{
    for (const int recordCount : {0, 3, 60}) {
        SCOPED_TRACE(recordCount);
        PlacedGrid placed(QSize(1000, 386), recordCount);
        const bool vertical = recordCount == 60;
        ASSERT_EQ(!placed.Grid->VerticalScrollBar()->isHidden(), vertical);
        ASSERT_TRUE(placed.Grid->HorizontalScrollBar()->isHidden());
        const TkvGridSite &site = *placed.Grid->Site();
        const TkvGridTableViewInfo &info = placed.Ledger.View->ViewInfo();
        // The view is laid out over the whole site, the footer on its last line.
        EXPECT_EQ(site.height(), 386);
        EXPECT_EQ(info.Bounds(), site.rect());
        EXPECT_EQ(info.FooterBounds().bottom(), site.height() - 1);
        const QImage image = placed.Render();
        EXPECT_EQ(UnpaintedInRow(image, image.height() - 1), 0);
        EXPECT_EQ(UnpaintedInRow(image, image.height() - 10), 0);
        // Right of the last footer cell the bottom line is the footer's own colour.
        const QColor footer = placed.Ledger.View->Styles().Params(TkvGridStyleSlot::Footer).Color;
        EXPECT_EQ(image.pixelColor(info.DataWidth() + 20, site.height() - 1), footer);
    }
}

TEST(GridRendering, CornerBetweenTwoScrollBarsIsPainted)
{
    PlacedGrid placed(QSize(400, 240), 60);
    ASSERT_FALSE(placed.Grid->VerticalScrollBar()->isHidden());
    ASSERT_FALSE(placed.Grid->HorizontalScrollBar()->isHidden());
    const TkvGridSite &site = *placed.Grid->Site();
    const QScrollBar &horizontal = *placed.Grid->HorizontalScrollBar();
    // The bars sit right of and below the site and the view fills the site.
    EXPECT_EQ(horizontal.geometry().top(), site.height());
    EXPECT_EQ(placed.Grid->VerticalScrollBar()->geometry().bottom(), site.height() - 1);
    EXPECT_EQ(placed.Ledger.View->ViewInfo().FooterBounds().bottom(), site.height() - 1);
    const QImage image = placed.Render();
    for (int y : {site.height() - 1, site.height(), image.height() - 1})
        EXPECT_EQ(UnpaintedInRow(image, y), 0) << "row " << y;
}

TEST(GridRendering, AmountWiderThanItsCellIsElidedNeverCutAtItsLeft)
{
    // Two amounts whose total needs more room than the amount column has.
    RenderedGrid rendered({{"5001153678.28", QString::fromUtf8("工资"), "2006-7-1", ""},
                           {"0", QString::fromUtf8("奖金"), "2006-7-5", ""}});
    TkvGridTableView &view = *rendered.Ledger.View;
    rendered.Ledger.Amount->SetWidth(60);
    const QImage image = rendered.Render();
    const TkvGridTableViewInfo &info = view.ViewInfo();
    const TkvGridCellViewInfo &footer = info.FooterCells()[0];
    const TkvGridCellViewInfo &cell = info.Cells(*info.FindRow(0))[0];
    const auto alignment = Qt::AlignRight | Qt::AlignVCenter;
    for (const TkvGridCellViewInfo *shownCell : {&footer, &cell}) {
        ASSERT_EQ(shownCell->Text.toStdString(), "5001153678.28");
        const QRect textRect = shownCell->TextBounds();
        const QFontMetrics metrics(shownCell->Params.Font);
        ASSERT_GT(metrics.horizontalAdvance(shownCell->Text), textRect.width());
        const TkvGridViewParams &params = shownCell->Params;
        const Qt::Alignment cellAlignment =
            shownCell == &footer ? Qt::Alignment(Qt::AlignRight | Qt::AlignTop) : Qt::Alignment(alignment);
        const QImage shown = Crop(image, textRect);
        // What used to be drawn: the right end of the number, its leading digits gone.
        EXPECT_NE(shown, Reference(textRect.size(), params.Color, params.Font, params.TextColor,
                                   cellAlignment, shownCell->Text));
        // What is drawn: the leading digits, ended by an ellipsis that shows the cut.
        const QString elided = metrics.elidedText(shownCell->Text, Qt::ElideRight, textRect.width());
        ASSERT_TRUE(elided.endsWith(QChar(0x2026)));
        ASSERT_TRUE(elided.startsWith("500"));
        EXPECT_EQ(shown, Reference(textRect.size(), params.Color, params.Font, params.TextColor,
                                   cellAlignment, elided));
        // The whole amount is the cell's hint.
        EXPECT_EQ(CutCellTextAt(info, shownCell->Bounds.center()).Text.toStdString(), "5001153678.28");
    }
    // An amount that fits is drawn whole and offers no hint.
    const TkvGridCellViewInfo &small = info.Cells(*info.FindRow(1))[0];
    EXPECT_EQ(Crop(image, small.TextBounds()),
              Reference(small.TextBounds().size(), small.Params.Color, small.Params.Font,
                        small.Params.TextColor, alignment, "0"));
    EXPECT_EQ(CutCellTextAt(info, small.Bounds.center()).Text, QString());
}
