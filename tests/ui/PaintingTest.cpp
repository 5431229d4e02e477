#include "ui/Painting.h"
#include "ui/ImageList.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace kestrum {
namespace {

TEST(Painting, LightenAndDarkenClampPerChannel)
{
    EXPECT_EQ(LightenColor(QColor(128, 250, 0), 30), QColor(158, 255, 30));
    EXPECT_EQ(LightenColor(QColor(10, 10, 10), -20), QColor(0, 0, 0));
    EXPECT_EQ(DarkenColor(QColor(100, 200, 50), 30), QColor(70, 140, 35));
}

TEST(Painting, ComplementTurnsTheHueByAThird)
{
    // Blue (hue 160 of 240) turns to red-ish hue 40 of 240 = 60 degrees; pure red to 120 degrees.
    EXPECT_EQ(ComplementColor(QColor(0, 0, 255)).toHsl().hslHue(), 60);
    EXPECT_EQ(ComplementColor(QColor(255, 0, 0)).toHsl().hslHue(), 180);
    EXPECT_EQ(ComplementColor(QColor(255, 0, 0)).toHsl().hslSaturation(), 255);
}

TEST(Painting, BlendLineDarkensWhatIsBehind)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(QColor(200, 200, 200));
    {
        QPainter painter(&image);
        BlendLine(painter, QLine(0, 1, 3, 1), 0.30);
    }
    EXPECT_EQ(image.pixelColor(0, 0), QColor(200, 200, 200));
    EXPECT_NEAR(image.pixelColor(2, 1).red(), 140, 1);
}

TEST(ImageList, ScalesToItsSizeAndIgnoresBadIndexes)
{
    TImageList list(16, 16);
    EXPECT_EQ(list.Add(QPixmap(32, 32)), 0);
    EXPECT_EQ(list.Image(0).size(), QSize(16, 16));
    EXPECT_TRUE(list.Icon(3).isNull());
    EXPECT_THROW(list.Image(1), std::out_of_range);
    QImage canvas(20, 20, QImage::Format_RGB32);
    QPainter painter(&canvas);
    list.Draw(painter, 0, 0, 7); // nothing to draw, nothing thrown
}

} // namespace
} // namespace kestrum
