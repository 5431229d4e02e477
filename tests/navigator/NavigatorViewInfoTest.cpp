// Layout of the navigator bar and its mouse and keyboard state.
#include "navigator/NavigatorViewInfo.h"
#include "ui/ImageList.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

class NavigatorViewInfoTest : public testing::Test {
protected:
    //! The ledger's bar: only Insert, Delete, Post and Cancel are shown.
    void ShowLedgerButtons()
    {
        for (int index = 0; index < kvNavigatorButtonCount; ++index)
            FButtons.Button(index).SetVisible(index == nbInsert || index == nbDelete || index == nbPost ||
                                              index == nbCancel);
    }

    TkvCustomNavigatorButtons FButtons;
    TkvNavigatorViewInfo FViewInfo{FButtons};
};

TEST_F(NavigatorViewInfoTest, SurplusIsSharedEvenlyAndTheRemainderCut)
{
    ShowLedgerButtons();
    EXPECT_EQ(FViewInfo.NaturalButtonSize(nbInsert), QSize(17, 16));
    // 178 - 4 * 17 = 110 = 4 * 27 + 2: each button gets 27, two pixels are cut.
    EXPECT_EQ(FViewInfo.Calculate(QSize(178, 25)), QSize(176, 25));
    EXPECT_EQ(FViewInfo.LayoutText(), QStringLiteral("6:0+44 7:44+44 9:88+44 10:132+44"));
}

TEST_F(NavigatorViewInfoTest, ImagesOfTheListGiveTheirOwnNaturalSize)
{
    ShowLedgerButtons();
    TImageList images(16, 16);
    FButtons.SetImages(&images);
    FButtons.Cancel().SetImageIndex(4);
    EXPECT_EQ(FViewInfo.NaturalButtonSize(nbCancel), QSize(21, 21));
    // Natural 17 + 17 + 17 + 21 = 72; 182 - 72 = 110 = 4 * 27 + 2.
    EXPECT_EQ(FViewInfo.Calculate(QSize(182, 25)), QSize(180, 25));
    EXPECT_EQ(FViewInfo.LayoutText(), QStringLiteral("6:0+44 7:44+44 9:88+44 10:132+48"));
}

TEST_F(NavigatorViewInfoTest, BarIsNeverSmallerThanItsButtons)
{
    EXPECT_EQ(FViewInfo.Calculate(QSize(100, 10)), QSize(15 * 17, 16));
    ShowLedgerButtons();
    FButtons.Delete().SetVisible(false);
    EXPECT_EQ(FViewInfo.Calculate(QSize(10, 25)), QSize(51, 25));
    EXPECT_EQ(FViewInfo.LayoutText(), QStringLiteral("6:0+17 9:17+17 10:34+17"));
    for (int index = 0; index < kvNavigatorButtonCount; ++index)
        FButtons.Button(index).SetVisible(false);
    EXPECT_EQ(FViewInfo.Calculate(QSize(50, 25)), QSize(50, 25));
    EXPECT_EQ(FViewInfo.ButtonAt(QPoint(1, 1)), -1);
}

TEST_F(NavigatorViewInfoTest, PressThenReleaseOnTheSameButtonClicksIt)
{
    FViewInfo.Calculate(QSize(255, 25));
    EXPECT_TRUE(FViewInfo.MouseDown(QPoint(17 * 3 + 2, 5)));
    EXPECT_EQ(FViewInfo.PressedIndex(), nbNext);
    EXPECT_EQ(FViewInfo.FocusedIndex(), nbNext);
    EXPECT_EQ(FViewInfo.MouseUp(QPoint(17 * 3 + 5, 5)), nbNext);
    EXPECT_EQ(FViewInfo.PressedIndex(), -1);
    // Released elsewhere: no click.
    FViewInfo.MouseDown(QPoint(2, 5));
    EXPECT_EQ(FViewInfo.MouseUp(QPoint(40, 5)), -1);
}

TEST_F(NavigatorViewInfoTest, RepeatClicksOnlyPriorAndNextWhileHeldOverThem)
{
    FViewInfo.Calculate(QSize(255, 25));
    FViewInfo.MouseDown(QPoint(17 * nbNext + 1, 5));
    EXPECT_EQ(FViewInfo.RepeatTick(), nbNext);
    FViewInfo.MouseMove(QPoint(17 * nbLast + 1, 5));
    EXPECT_EQ(FViewInfo.RepeatTick(), -1) << "the mouse left the button";
    FViewInfo.MouseMove(QPoint(17 * nbNext + 1, 5));
    FButtons.Next().SetEnabled(false);
    EXPECT_EQ(FViewInfo.RepeatTick(), -1);
    FViewInfo.MouseUp(QPoint(17 * nbNext + 1, 5));
    FViewInfo.MouseDown(QPoint(17 * nbInsert + 1, 5));
    EXPECT_EQ(FViewInfo.RepeatTick(), -1) << "other buttons do not repeat";
}

TEST_F(NavigatorViewInfoTest, DisabledButtonCannotBePressed)
{
    FViewInfo.Calculate(QSize(255, 25));
    FButtons.First().SetEnabled(false);
    EXPECT_FALSE(FViewInfo.MouseDown(QPoint(2, 5)));
    EXPECT_EQ(FViewInfo.PressedIndex(), -1);
}

TEST_F(NavigatorViewInfoTest, ArrowKeysMoveTheFocusAmongVisibleButtonsAndSpaceClicks)
{
    ShowLedgerButtons();
    FViewInfo.Calculate(QSize(178, 25));
    EXPECT_EQ(FViewInfo.FocusedIndex(), nbInsert);
    EXPECT_EQ(FViewInfo.KeyDown(Qt::Key_Left), -1);
    EXPECT_EQ(FViewInfo.FocusedIndex(), nbInsert) << "stops at the first";
    FViewInfo.KeyDown(Qt::Key_Right);
    FViewInfo.KeyDown(Qt::Key_Right);
    EXPECT_EQ(FViewInfo.FocusedIndex(), nbPost);
    FViewInfo.KeyDown(Qt::Key_Right);
    FViewInfo.KeyDown(Qt::Key_Right);
    EXPECT_EQ(FViewInfo.FocusedIndex(), nbCancel) << "stops at the last";
    EXPECT_EQ(FViewInfo.KeyDown(Qt::Key_Space), nbCancel);
    FButtons.Cancel().SetEnabled(false);
    EXPECT_EQ(FViewInfo.KeyDown(Qt::Key_Space), -1);
}

// Guards against button settings that changed silently, leaving the bar's
// layout and look as they were.
TEST_F(NavigatorViewInfoTest, EachButtonSettingThatChangesTellsTheOwnerOnce)
{
    int told = 0;
    FButtons.OnChanged = [&] { ++told; };
    FButtons.Delete().SetVisible(false);
    FButtons.Insert().SetEnabled(false);
    FButtons.Cancel().SetImageIndex(3);
    FButtons.Post().SetHint(QStringLiteral("save"));
    EXPECT_EQ(told, 4);
    FButtons.Delete().SetVisible(false);
    FButtons.Insert().SetEnabled(false);
    FButtons.Cancel().SetImageIndex(3);
    FButtons.Post().SetHint(QStringLiteral("save"));
    EXPECT_EQ(told, 4) << "setting a value again changes nothing";
}

TEST(NavigatorButton, HintFallsBackToTheDefault)
{
    TkvCustomNavigatorButtons buttons;
    EXPECT_EQ(buttons.Delete().EffectiveHint(), QStringLiteral("Delete record"));
    EXPECT_EQ(buttons.SaveBookmark().EffectiveHint(), QStringLiteral("Save Bookmark"));
    buttons.Insert().SetHint(QString::fromUtf8("添加"));
    EXPECT_EQ(buttons.Insert().EffectiveHint(), QString::fromUtf8("添加"));
}

} // namespace
} // namespace kestrum
