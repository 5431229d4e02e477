#include "pages/PqGroupBox.h"
#include "ui/Painting.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QStyle>
#include <QStyleFactory>

#include <memory>
#include <string>

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
        << "a border wider than the text drops the client by half the text "
           "height";
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
    box.SetThemeAware(false);
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

TEST(PqGroupBoxLayout, OnlyAStandardBoxWithoutItsOwnBorderIsGrooved)
{
    const std::pair<TPqFrameStyle, TPqGroupFrame> standard[] = {
        {fsNone, TPqGroupFrame::Groove},     {fsGroove, TPqGroupFrame::Groove},
        {fsFlat, TPqGroupFrame::Flat},       {fsFlatBold, TPqGroupFrame::FlatBold},
        {fsLowered, TPqGroupFrame::Lowered}, {fsRaised, TPqGroupFrame::Raised},
        {fsBump, TPqGroupFrame::Bump},
    };
    for (const auto &[outer, frame] : standard) {
        EXPECT_EQ(PqGroupBoxFrame(gsStandard, outer, false), frame) << outer;
        EXPECT_EQ(PqGroupBoxFrame(gsStandard, outer, true), TPqGroupFrame::Themed) << outer;
    }
    EXPECT_EQ(PqGroupBoxFrame(gsFlat, fsRaised, false), TPqGroupFrame::FlatCutCorners);
    EXPECT_EQ(PqGroupBoxFrame(gsTopLine, fsFlatBold, false), TPqGroupFrame::TopLineBold);
    EXPECT_EQ(PqGroupBoxFrame(gsTopLine, fsRaised, false), TPqGroupFrame::TopLine);
    EXPECT_EQ(PqGroupBoxFrame(gsCustom, fsNone, false), TPqGroupFrame::None);
}

// Guards against a standard box drawing a groove whatever its outer border.
TEST(PqGroupBoxWidget, StandardBoxDrawsTheBorderItsOuterStyleNames)
{
    TPqGroupBox box;
    box.SetThemeAware(false);
    box.SetGroupStyle(gsStandard);
    box.resize(200, 120);
    const QRect frame = box.Geometry().FrameRect;
    const int middle = frame.center().y();
    const QColor light = SystemColor(clBtnHighlight);
    const QColor dark = SystemColor(clBtnShadow);
    auto edges = [&](TPqFrameStyle outer) {
        box.SetBorderOuter(outer);
        const QImage image = box.grab().toImage();
        auto name = [&](int x) {
            const QRgb color = image.pixel(x, middle);
            return color == light.rgb() ? 'L' : color == dark.rgb() ? 'D' : '.';
        };
        // Two pixels in from the left edge, then two in from the right.
        return std::string{name(frame.left()), name(frame.left() + 1), ' ', name(frame.right() - 1),
                           name(frame.right())};
    };
    EXPECT_EQ(edges(fsNone), "DL DL");
    EXPECT_EQ(edges(fsGroove), "DL DL");
    EXPECT_EQ(edges(fsBump), "LD LD");
    EXPECT_EQ(edges(fsRaised), "L. .D");
    EXPECT_EQ(edges(fsLowered), "D. .L");
}

// Guards against ThemeAware changing nothing: with themes the style draws the
// box.
TEST(PqGroupBoxWidget, ThemeAwareBoxIsDrawnByTheStyleUnlessThemesAreOff)
{
    // The styles outlive the box that borrows them.
    std::unique_ptr<QStyle> themed(QStyleFactory::create(QStringLiteral("Fusion")));
    std::unique_ptr<QStyle> classic(QStyleFactory::create(QStringLiteral("Windows")));
    ASSERT_NE(themed, nullptr);
    ASSERT_NE(classic, nullptr);
    TPqGroupBox box;
    box.SetCaption(QString::fromUtf8("月统计"));
    box.resize(200, 120);
    box.setStyle(themed.get());
    box.SetThemeAware(false);
    const QImage own = box.grab().toImage();
    box.SetThemeAware(true);
    EXPECT_EQ(box.Frame(), TPqGroupFrame::Themed);
    EXPECT_NE(box.grab().toImage(), own);

    box.setStyle(classic.get());
    EXPECT_EQ(box.Frame(), TPqGroupFrame::FlatCutCorners) << "no themes: the box draws itself";
    EXPECT_EQ(box.grab().toImage(), own);
}

TEST(PqGroupBoxWidget, NewBoxIs105High)
{
    TPqGroupBox box;
    EXPECT_EQ(box.height(), 105);
}

} // namespace
} // namespace kestrum
