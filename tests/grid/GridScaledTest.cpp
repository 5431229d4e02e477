// The ledger's grid drawn for a screen scaled to 200 %: every cell's text,
// header caption and footer total is drawn whole inside its cell, twice as
// large as on a plain screen, and the header's filter buttons stay in their cells.
#include "GridTestSource.h"

#include "grid/GridSite.h"

#include <QHash>
#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrum;
using namespace kestrum::test;

namespace {

struct ScaledGrid {
    TkvGrid Grid;
    LedgerGrid Ledger;
    ScaledGrid()
        : Ledger(MakeLedgerGrid(
              true,
              {{"18057.23", QString::fromUtf8("奖金"), "2024-1-20", QString::fromUtf8("年终奖")},
               {"5200", QString::fromUtf8("工资"), "2024-12-15", QString::fromUtf8("爱人")}},
              &Grid))
    {
        Grid.resize(900, 320);
        Grid.show();
        Ledger.Source().Reload();
    }
    QImage Render(int scale)
    {
        QImage image(Grid.Site()->size() * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::magenta);
        Grid.Site()->render(&image);
        return image;
    }
};

//! The device-pixel box of the pixels inside a cell (logical bounds, less its
//! border) that differ from the cell's most common colour.
QRect InkBox(const QImage &image, QRect bounds, int scale)
{
    const QRect pixels(bounds.topLeft() * scale, bounds.size() * scale);
    // One-pixel lines drawn at twice the scale lie half a pixel to either side
    // of their place: one more device pixel keeps them out.
    const QRect inner = pixels.adjusted(scale + 1, scale + 1, -scale - 1, -scale - 1);
    QHash<QRgb, int> counts;
    for (int y = inner.top(); y <= inner.bottom(); ++y)
        for (int x = inner.left(); x <= inner.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    QRect ink;
    for (int y = inner.top(); y <= inner.bottom(); ++y)
        for (int x = inner.left(); x <= inner.right(); ++x)
            if (image.pixel(x, y) != background)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

} // namespace

TEST(GridScaled, TextsAreWholeInsideTheirCellsAtTwiceTheScale)
{
    ScaledGrid grid;
    const QImage plain = grid.Render(1);
    const QImage doubled = grid.Render(2);
    const TkvGridTableViewInfo &info = grid.Ledger.View->ViewInfo();
    std::vector<std::pair<QString, QRect>> cells;
    for (const TkvGridRowViewInfo &row : info.Rows())
        for (const TkvGridCellViewInfo &cell : info.Cells(row))
            if (!cell.Text.isEmpty())
                cells.emplace_back(cell.Text, cell.Bounds);
    for (const TkvGridCellViewInfo &cell : info.FooterCells())
        if (!cell.Text.isEmpty())
            cells.emplace_back(cell.Text, cell.Bounds);
    for (const TkvGridHeaderCellViewInfo &cell : info.HeaderCells())
        cells.emplace_back(cell.Text, cell.CaptionBounds);
    ASSERT_GE(cells.size(), 13u);

    for (const auto &[text, bounds] : cells) {
        SCOPED_TRACE(text.toStdString());
        const QRect small = InkBox(plain, bounds, 1);
        const QRect large = InkBox(doubled, bounds, 2);
        ASSERT_FALSE(small.isEmpty());
        // Whole: the ink keeps clear of the cell's edges, and it is the plain
        // ink at twice the size, so nothing of it was cut off.
        EXPECT_TRUE(QRect(bounds.topLeft() * 2, bounds.size() * 2).adjusted(2, 1, -2, -1).contains(large));
        // Hinting draws a glyph at 26 pixels a little off twice its 13-pixel
        // self; a cut would take far more.
        EXPECT_NEAR(large.width(), 2 * small.width(), std::max(4, small.width() / 5));
        EXPECT_NEAR(large.height(), 2 * small.height(), std::max(4, small.height() / 2));
    }
}

TEST(GridScaled, FilterButtonsStayInsideTheirHeaderCells)
{
    ScaledGrid grid;
    const QImage doubled = grid.Render(2);
    const TkvGridTableViewInfo &info = grid.Ledger.View->ViewInfo();
    int buttons = 0;
    for (const TkvGridHeaderCellViewInfo &cell : info.HeaderCells())
        for (const TkvGridHeaderAreaViewInfo &area : cell.Areas) {
            if (area.Kind != TkvGridHeaderAreaKind::FilterButton)
                continue;
            ++buttons;
            EXPECT_TRUE(cell.Bounds.contains(area.Bounds));
            // The button's arrow is drawn inside it.
            const QRect pixels(area.Bounds.topLeft() * 2, area.Bounds.size() * 2);
            QList<int> widths;
            for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
                int dark = 0;
                for (int x = pixels.left(); x <= pixels.right(); ++x)
                    dark += qGray(doubled.pixel(x, y)) < 64;
                if (dark > 0)
                    widths << dark;
            }
            EXPECT_GE(widths.size(), 4) << "an arrow of some rows";
        }
    EXPECT_GE(buttons, 3);
}
