// The page control drawn for a screen scaled to 200 %: the tabs' images are
// painted at the screen's resolution and their captions stay whole.
#include "pages/PqPageControl.h"
#include "pages/PqTabSheet.h"
#include "ui/ImageList.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <climits>

namespace kestrum {
namespace {

const QColor ImageColor(200, 0, 0);

class PqPageControlScaled : public testing::Test {
protected:
    PqPageControlScaled()
    {
        // A right triangle whose slanted edge shows how finely it was drawn.
        images.AddDrawing([](QPainter &painter) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(ImageColor);
            painter.drawPolygon(QPolygon({QPoint(0, 0), QPoint(16, 0), QPoint(0, 16)}));
        });
        control.SetImages(&images);
        control.resize(600, 200);
        for (const char *caption : {"收入进帐", "消费记账", "综合统计"}) {
            auto *sheet = new TPqTabSheet(&control);
            sheet->SetCaption(QString::fromUtf8(caption));
            sheet->SetImageIndex(0);
        }
        control.show();
    }

    QImage Render(int scale)
    {
        QImage image(control.size() * scale, QImage::Format_ARGB32);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::white);
        control.render(&image);
        return image;
    }

    TImageList images;
    TPqPageControl control;
};

TEST_F(PqPageControlScaled, TabImagesAreDrawnAtTheScreensResolution)
{
    const QImage image = Render(2);
    for (int tab = 0; tab < 3; ++tab) {
        const QRect rect = control.TabRect(tab);
        const QRect pixels(rect.topLeft() * 2, rect.size() * 2);
        // Per row of the image, how far its colour reaches.
        QList<int> reach;
        for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
            int count = 0;
            for (int x = pixels.left(); x <= pixels.right(); ++x)
                count += image.pixelColor(x, y) == ImageColor;
            if (count > 0)
                reach << count;
        }
        ASSERT_GE(reach.size(), 28) << "tab " << tab << ": the image is 16 pixels high, 32 on this screen";
        int singleSteps = 0;
        for (int i = 1; i < reach.size(); ++i)
            singleSteps += reach[i - 1] - reach[i] == 1;
        EXPECT_GT(singleSteps, 10) << "tab " << tab << ": a doubled 16-pixel image steps by two";
    }
}

TEST_F(PqPageControlScaled, CaptionsStayWholeInsideTheirTabs)
{
    const QImage plain = Render(1);
    const QImage doubled = Render(2);
    for (int tab = 0; tab < 3; ++tab) {
        const QRect rect = control.TabRect(tab);
        // The caption's dark ink, right of the image.
        auto inkWidth = [&](const QImage &image, int scale) {
            int left = INT_MAX, right = -1;
            for (int y = rect.top() * scale; y < (rect.bottom() + 1) * scale; ++y)
                for (int x = (rect.left() + 20) * scale; x < (rect.right() + 1) * scale; ++x)
                    if (qGray(image.pixel(x, y)) < 80) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
            return right < 0 ? 0 : right - left + 1;
        };
        const int small = inkWidth(plain, 1);
        ASSERT_GT(small, 30) << tab;
        EXPECT_NEAR(inkWidth(doubled, 2), 2 * small, std::max(4, small / 5)) << tab;
    }
}

} // namespace
} // namespace kestrum
