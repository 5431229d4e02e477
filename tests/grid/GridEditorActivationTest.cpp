// The delayed activation of the cell editor: a second click on the focused
// cell opens the editor once the timer fires, a press in between or the
// cell leaving the view cancels it, and a release pairs only with its press.
#include "grid/GridEditorActivation.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestrum;

namespace {

class GridEditorActivationTest : public ::testing::Test {
protected:
    // Stand-ins for two cells: only their addresses are used.
    TkvCustomGridTableItem *First = reinterpret_cast<TkvCustomGridTableItem *>(&FCells[0]);
    TkvCustomGridTableItem *Second = reinterpret_cast<TkvCustomGridTableItem *>(&FCells[1]);
    std::vector<TkvCustomGridTableItem *> Opened;
    TkvGridEditorActivation Activation{[this](TkvCustomGridTableItem *item) { Opened.push_back(item); }};

private:
    int FCells[2] = {};
};

} // namespace

TEST_F(GridEditorActivationTest, TheArmedCellOpensOnceWhenTheTimerFires)
{
    Activation.Start(First);
    EXPECT_TRUE(Activation.IsArmed());
    Activation.Fired();
    EXPECT_EQ(Opened, std::vector<TkvCustomGridTableItem *>{First});
    EXPECT_FALSE(Activation.IsArmed());
    Activation.Fired(); // a late second timeout opens nothing
    EXPECT_EQ(Opened.size(), 1u);
}

TEST_F(GridEditorActivationTest, APressOrTheCellLeavingTheViewCancelsIt)
{
    Activation.Start(First);
    Activation.Press(nullptr, false);
    Activation.Fired();
    EXPECT_TRUE(Opened.empty());

    Activation.Start(First);
    Activation.ItemRemoving(Second); // another cell: stays armed
    EXPECT_TRUE(Activation.IsArmed());
    Activation.ItemRemoving(First);
    EXPECT_FALSE(Activation.IsArmed());
    Activation.Fired();
    EXPECT_TRUE(Opened.empty());
}

TEST_F(GridEditorActivationTest, AReleaseCountsOnlyOnTheFocusedCellItsPressWentDownOn)
{
    Activation.Press(First, true);
    EXPECT_FALSE(Activation.TakePressWasFocusedCell(Second));
    EXPECT_FALSE(Activation.TakePressWasFocusedCell(First)); // the press was taken already

    Activation.Press(First, false);
    EXPECT_FALSE(Activation.TakePressWasFocusedCell(First));

    Activation.Press(First, true);
    Activation.ItemRemoving(First);
    EXPECT_FALSE(Activation.TakePressWasFocusedCell(First));

    Activation.Press(Second, true);
    EXPECT_TRUE(Activation.TakePressWasFocusedCell(Second));
}
