#include "pages/PqGroupBox.h"

#include <gtest/gtest.h>

#include <QLineEdit>

namespace kestrum {
namespace {

TEST(PqGroupBoxLayout, CaptionSitsOnTheFrameAndClientClearsIt)
{
    const QRect bounds(0, 0, 200, 150);
    const TPqGroupBoxGeometry flat =
        PqGroupBoxLayout(bounds, gsFlat, TPqCaptionAlignment::taLeftJustify, QSize(60, 13), 14, 0, false);
    EXPECT_EQ(flat.CaptionRect, QRect(8, 0, 60, 13));
    EXPECT_EQ(flat.FrameRect, QRect(0, 7, 200, 143));
    EXPECT_EQ(flat.ClientRect, QRect(1, 15, 198, 134));

    const TPqGroupBoxGeometry standard =
        PqGroupBoxLayout(bounds, gsStandard, TPqCaptionAlignment::taLeftJustify, QSize(60, 13), 14, 0, false);
    EXPECT_EQ(standard.ClientRect, QRect(2, 16, 196, 132));
    EXPECT_EQ(
        PqGroupBoxLayout(bounds, gsTopLine, TPqCaptionAlignment::taLeftJustify, QSize(60, 13), 14, 0, false)
            .CaptionRect.left(),
        0);
    EXPECT_EQ(
        PqGroupBoxLayout(bounds, gsCustom, TPqCaptionAlignment::taLeftJustify, QSize(60, 13), 14, 0, false)
            .ClientRect,
        QRect(2, 16, 196, 132));
    EXPECT_EQ(PqGroupBoxLayout(bounds, gsFlat, TPqCaptionAlignment::taLeftJustify, QSize(60, 13), 14, 0, true)
                  .CaptionRect.left(),
              132)
        << "right-to-left mirrors the caption";
    EXPECT_EQ(
        PqGroupBoxLayout(bounds, gsFlat, TPqCaptionAlignment::taLeftJustify, QSize(60, 13), 14, 20, false)
            .ClientRect.top(),
        20 + 7 + 1)
        << "a border wider than the text drops the client by half the text height";
}

TEST(PqGroupBoxLayout, EmptyCaptionLeavesAnUnbrokenFrame)
{
    const TPqGroupBoxGeometry geometry = PqGroupBoxLayout(
        QRect(0, 0, 100, 100), gsFlat, TPqCaptionAlignment::taLeftJustify, QSize(), 14, 0, false);
    EXPECT_TRUE(geometry.CaptionRect.isNull());
}

TEST(PqGroupBoxWidget, ChildLayoutsRespectTheClientArea)
{
    TPqGroupBox box;
    box.SetCaption(QString::fromUtf8("总账统计"));
    box.resize(300, 150);
    const QRect client = box.Geometry().ClientRect;
    EXPECT_EQ(box.contentsRect(), client);
    EXPECT_EQ(box.height(), 150);
    EXPECT_FALSE(box.focusPolicy() & Qt::TabFocus);

    // The flat frame's corners are cut: the corner pixel shows the box colour.
    const QImage image = box.grab().toImage();
    const QRect frame = box.Geometry().FrameRect;
    EXPECT_EQ(image.pixelColor(frame.bottomLeft()), box.Color());
    EXPECT_NE(image.pixelColor(frame.bottomLeft() + QPoint(1, -1)), box.Color());
}

TEST(PqGroupBoxWidget, NewBoxIs105High)
{
    TPqGroupBox box;
    EXPECT_EQ(box.height(), 105);
}

} // namespace
} // namespace kestrum
