// The navigator on a screen scaled to 200 %: its glyphs are painted at the
// screen's resolution, not a small bitmap blown up, and stay inside their buttons.
#include "navigator/Navigator.h"
#include "support/DbTestSupport.h"
#include "support/OffscreenSizeHintsFilter.h"

#include <QCoreApplication>
#include <QImage>
#include <QResizeEvent>

namespace kestrum::test {
namespace {

class NavigatorScaledTest : public LedgerFixture {
protected:
    void SetUp() override
    {
        LedgerFixture::SetUp();
        AddGain(1, "2006-07-01", "a");
        FQuery = OpenQuery(QStringLiteral("select * from gain"));
        FSource.SetDataSet(FQuery.get());
        QSize old = FNavigator.size();
        FNavigator.resize(240, 25);
        QResizeEvent resized(FNavigator.size(), old);
        QCoreApplication::sendEvent(&FNavigator, &resized);
        FNavigator.SetDataSource(&FSource);
    }

    //! The bar drawn as a screen with the given pixel ratio shows it.
    QImage Render(qreal pixelRatio)
    {
        QImage image(FNavigator.size() * pixelRatio, QImage::Format_ARGB32);
        image.setDevicePixelRatio(pixelRatio);
        image.fill(Qt::white);
        FNavigator.render(&image);
        return image;
    }

    std::unique_ptr<TDbQuery> FQuery;
    TDbDataSource FSource;
    QWidget FForm;
    TkvDBNavigator FNavigator{&FForm};
};

//! The device-pixel box of the dark pixels inside a button's logical bounds.
QRect InkBox(const QImage &image, QRect bounds, int scale)
{
    QRect ink;
    const QRect pixels(bounds.topLeft() * scale, bounds.size() * scale);
    for (int y = pixels.top() + 2 * scale; y <= pixels.bottom() - 2 * scale; ++y)
        for (int x = pixels.left() + 2 * scale; x <= pixels.right() - 2 * scale; ++x)
            if (qGray(image.pixel(x, y)) < 96)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// Guards against glyphs drawn at 16 pixels and doubled, which show as
// two-pixel stairs on their slanted edges.
TEST_F(NavigatorScaledTest, SlantedGlyphEdgesStepByOneScreenPixelAtTwiceTheScale)
{
    const QImage image = Render(2);
    for (int index : {nbPrior, nbNext, nbFirst, nbRefresh}) {
        const QRect ink = InkBox(image, FNavigator.ViewInfo().ButtonBounds(index), 2);
        ASSERT_FALSE(ink.isEmpty()) << index;
        int differingPairs = 0;
        for (int y = ink.top() - ink.top() % 2; y + 1 <= ink.bottom(); y += 2)
            for (int x = ink.left(); x <= ink.right(); ++x)
                if ((qGray(image.pixel(x, y)) < 96) != (qGray(image.pixel(x, y + 1)) < 96)) {
                    ++differingPairs;
                    break;
                }
        EXPECT_GT(differingPairs, 0) << "glyph " << index << " is a doubled bitmap";
    }
}

TEST_F(NavigatorScaledTest, GlyphsKeepTheirSizeAndStayInsideTheirButtons)
{
    const QImage plain = Render(1);
    const QImage doubled = Render(2);
    for (int index = 0; index < kvNavigatorButtonCount; ++index) {
        const QRect bounds = FNavigator.ViewInfo().ButtonBounds(index);
        if (bounds.isEmpty())
            continue;
        const QRect small = InkBox(plain, bounds, 1);
        const QRect large = InkBox(doubled, bounds, 2);
        if (small.isEmpty())
            continue; // a greyed glyph: lighter than ink
        EXPECT_TRUE(QRect(bounds.topLeft() * 2, bounds.size() * 2).contains(large)) << index;
        EXPECT_NEAR(large.width(), 2 * small.width(), 2) << index;
        EXPECT_NEAR(large.height(), 2 * small.height(), 2) << index;
    }
}

} // namespace
} // namespace kestrum::test
