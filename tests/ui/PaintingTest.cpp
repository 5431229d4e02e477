#include "ui/Painting.h"
#include "ui/ImageList.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPolygon>

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

TEST(ImageList, DrawingsArePaintedAtTheResolutionTheyAreShownAt)
{
    TImageList list(16, 16);
    list.AddDrawing([](QPainter &painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawPolygon(QPolygon({QPoint(0, 0), QPoint(16, 0), QPoint(0, 16)}));
    });
    EXPECT_EQ(list.Image(0).size(), QSize(16, 16));
    const QPixmap doubled = list.Image(0, 2.0);
    EXPECT_EQ(doubled.size(), QSize(32, 32));
    EXPECT_EQ(doubled.devicePixelRatio(), 2.0);
    EXPECT_EQ(list.Image(0, 1.5).size(), QSize(24, 24));

    // Drawn on a device of twice the resolution, the slanted edge steps by
    // one device pixel a row, where a doubled bitmap would step by two.
    QImage canvas(32, 32, QImage::Format_ARGB32);
    canvas.setDevicePixelRatio(2);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        list.Draw(painter, 0, 0, 0);
    }
    QList<int> edge;
    for (int y = 0; y < 32; ++y) {
        int x = 0;
        while (x < 32 && qGray(canvas.pixel(x, y)) < 128)
            ++x;
        edge << x;
    }
    EXPECT_NE(edge[10], edge[11]);
    EXPECT_EQ(edge[0] - edge[16], 16);

    // An icon carries the larger images for scaled screens.
    EXPECT_EQ(list.Icon(0).pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
}

TEST(ImageList, APictureGivesItsOwnDetailAndNoMoreOnScaledScreens)
{
    TImageList list(16, 16);
    QPixmap large(32, 32);
    large.fill(Qt::red);
    QPixmap small(16, 16);
    small.fill(Qt::blue);
    list.Add(large);
    list.Add(small);
    EXPECT_EQ(list.Image(0, 2.0).size(), QSize(32, 32));
    EXPECT_EQ(list.Image(0, 2.0).devicePixelRatio(), 2.0);
    EXPECT_EQ(list.Image(1, 2.0).size(), QSize(16, 16)) << "not blown up";
    // Either way it covers the list's size on the device.
    QImage canvas(40, 40, QImage::Format_ARGB32);
    canvas.setDevicePixelRatio(2);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        list.Draw(painter, 0, 0, 1);
    }
    EXPECT_EQ(canvas.pixelColor(31, 31), QColor(Qt::blue));
    EXPECT_EQ(canvas.pixelColor(32, 32), QColor(Qt::white));
}

} // namespace
} // namespace kestrum
