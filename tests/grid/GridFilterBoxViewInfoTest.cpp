// The filter box's layout from plain inputs, without a view.
#include "grid/GridFilterBoxViewInfo.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

namespace kestrum {
namespace {

TkvGridFilterBoxContent Content(bool customize)
{
    TkvGridFilterBoxContent content;
    content.Font.setPointSize(9);
    content.Caption = QString::fromUtf8("[金额] > 100");
    content.FilterActive = true;
    content.CustomizeButton = customize;
    return content;
}

TEST(GridFilterBoxViewInfo, HeightIsZeroWhenHiddenAndGrowsWithTheFont)
{
    QFont small;
    small.setPointSize(8);
    QFont large;
    large.setPointSize(28);
    EXPECT_EQ(TkvGridFilterBoxViewInfo::Height(false, large, true), 0);
    const int smallHeight = TkvGridFilterBoxViewInfo::Height(true, small, false);
    EXPECT_GE(smallHeight, 13 + 8);
    EXPECT_GE(smallHeight, QFontMetrics(small).height() + 6);
    const int largeHeight = TkvGridFilterBoxViewInfo::Height(true, large, true);
    EXPECT_GT(largeHeight, smallHeight);
    // The customize button, text height plus 6, sits 4 pixels from both edges.
    EXPECT_GE(largeHeight, QFontMetrics(large).height() + 6 + 8);
}

TEST(GridFilterBoxViewInfo, ButtonsFrameTheCaptionAndAnswerHitTests)
{
    TkvGridFilterBoxViewInfo box;
    const QRect bounds(10, 200, 400, 30);
    box.Calculate(bounds, Content(true));
    ASSERT_EQ(box.Buttons().size(), 3u);
    const auto &close = box.Buttons()[0];
    const auto &check = box.Buttons()[1];
    const auto &customize = box.Buttons()[2];
    EXPECT_EQ(close.Kind, TkvGridHitKind::FilterBoxCloseButton);
    EXPECT_EQ(close.Bounds.left(), 14);
    EXPECT_EQ(check.Kind, TkvGridHitKind::FilterBoxActivateButton);
    EXPECT_EQ(check.Bounds.left(), close.Bounds.right() + 1 + 4);
    EXPECT_TRUE(check.Checked);
    EXPECT_EQ(customize.Kind, TkvGridHitKind::FilterBoxCustomizeButton);
    EXPECT_EQ(customize.Bounds.right(), bounds.right() - 4);
    EXPECT_EQ(customize.Text, FilterBoxCustomizeCaption());
    for (const auto &button : box.Buttons()) {
        EXPECT_TRUE(bounds.contains(button.Bounds)) << static_cast<int>(button.Kind);
        EXPECT_EQ(button.State, TkvGridCellState::Normal);
    }
    EXPECT_EQ(box.Text(), Content(true).Caption);
    EXPECT_EQ(box.TextBounds().left(), check.Bounds.right() + 1 + 4 + 3);
    EXPECT_EQ(box.TextBounds().right(), customize.Bounds.left() - 4 - 3 - 1);

    EXPECT_EQ(box.ButtonAt(close.Bounds.center()), TkvGridHitKind::FilterBoxCloseButton);
    EXPECT_EQ(box.ButtonAt(customize.Bounds.center()), TkvGridHitKind::FilterBoxCustomizeButton);
    EXPECT_EQ(box.ButtonAt(box.TextBounds().center()), TkvGridHitKind::None);
}

TEST(GridFilterBoxViewInfo, EmptyCaptionPressedButtonNarrowBoxAndClear)
{
    TkvGridFilterBoxContent content = Content(false);
    content.Caption.clear();
    content.FilterActive = false;
    content.Pressed = TkvGridHitKind::FilterBoxCloseButton;
    TkvGridFilterBoxViewInfo box;
    box.Calculate(QRect(0, 0, 20, 24), content);
    EXPECT_EQ(box.Text(), FilterBoxEmptyText());
    ASSERT_EQ(box.Buttons().size(), 2u);
    EXPECT_EQ(box.Buttons()[0].State, TkvGridCellState::Pressed);
    EXPECT_FALSE(box.Buttons()[1].Checked);
    // Too narrow for any text: the text gets no width rather than a negative one.
    EXPECT_EQ(box.TextBounds().width(), 0);

    box.Clear();
    EXPECT_TRUE(box.Text().isEmpty());
    EXPECT_TRUE(box.Buttons().empty());
    EXPECT_EQ(box.ButtonAt(QPoint(6, 12)), TkvGridHitKind::None);
}

} // namespace
} // namespace kestrum
