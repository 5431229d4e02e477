// What a user sees: a grid control drawn offscreen into an image, compared
// with the texts and colours the ledger's grid must show.
#include "GridTestSource.h"

#include "grid/TkvGridLookAndFeelPainter.h"
#include "grid/TkvGridSite.h"

#include <QImage>
#include <QPainter>
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
