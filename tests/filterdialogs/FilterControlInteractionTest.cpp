// The builder's interaction class on its own: the parts of an empty builder,
// focus requests for parts the rows do not have, and list choices the part
// does not offer, all of which must change nothing.
#include "filterdialogs/FilterControlInteraction.h"
#include "FilterControlTestLink.h"

#include <gtest/gtest.h>

namespace kestrum::testing_filter {
namespace {

class FilterControlInteractionTest : public FilterFixture {
protected:
    FilterControlInteractionTest()
    {
        Model.SetLink(&Link);
        Model.OnChanged = [this] { ++ChangeCount; };
    }

    TestFilterLink Link{*Filter};
    TkvFilterControlModel Model;
    TkvFilterControlInteraction Interaction{Model};
    int ChangeCount = 0;
};

TEST_F(FilterControlInteractionTest, AnEmptyBuilderHasTheRootsPartsAndTheFooter)
{
    const std::vector<TkvFilterControlFocus> expected = {
        {&Model.Root(), TkvFilterControlPartKind::Button, -1},
        {&Model.Root(), TkvFilterControlPartKind::BoolOperator, -1},
        {nullptr, TkvFilterControlPartKind::FooterLink, -1},
    };
    EXPECT_EQ(TkvFilterControlInteraction::AllParts(Model), expected);
    EXPECT_TRUE(TkvFilterControlInteraction::RowParts(nullptr).empty());
    // Activating the footer adds a condition (button, field, operator, one
    // value) and focuses its field.
    Interaction.ActivatePart({nullptr, TkvFilterControlPartKind::FooterLink, -1});
    EXPECT_EQ(Model.Focus().Part, TkvFilterControlPartKind::Field);
    EXPECT_EQ(TkvFilterControlInteraction::AllParts(Model).size(), 7u);
}

TEST_F(FilterControlInteractionTest, PartsAndChoicesTheRowsDoNotHaveChangeNothing)
{
    TkvFilterControlConditionRow *condition = Model.AddCondition(Model.Root());
    Model.SetConditionItem(*condition, 0);
    const QString rows = Model.RowsText();
    const TkvFilterControlFocus focus = Model.Focus();
    ChangeCount = 0;

    Interaction.SetFocus({condition, TkvFilterControlPartKind::Value, 5});
    Interaction.SetFocus({condition, TkvFilterControlPartKind::BoolOperator, -1});
    EXPECT_EQ(Model.Focus(), focus);
    Interaction.ChooseListEntry({&Model.Root(), TkvFilterControlPartKind::BoolOperator, -1}, bcNotOr + 1);
    Interaction.ChooseListEntry({condition, TkvFilterControlPartKind::Field, -1}, 3);
    Interaction.ChooseListEntry({condition, TkvFilterControlPartKind::Operator, -1}, -1);
    Interaction.ChooseListEntry({condition, TkvFilterControlPartKind::BoolOperator, -1}, bcOr);
    EXPECT_EQ(Model.RowsText(), rows);
    EXPECT_EQ(ChangeCount, 0);

    Interaction.SetFocus({condition, TkvFilterControlPartKind::Operator, -1});
    EXPECT_EQ(ChangeCount, 1);
    Interaction.ChooseListEntry({&Model.Root(), TkvFilterControlPartKind::BoolOperator, -1}, bcOr);
    EXPECT_EQ(ChangeCount, 2);
    EXPECT_NE(Model.RowsText(), rows);
}

} // namespace
} // namespace kestrum::testing_filter
