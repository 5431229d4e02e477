// The builder's parts and keys: where Tab, the arrows, Insert and Ctrl+Delete
// take the focus and what they change.
#include "FilterControlTestLink.h"
#include "filterdialogs/FilterControlModel.h"

#include <gtest/gtest.h>

namespace kestrum::testing_filter {
namespace {

class FilterControlKeysTest : public FilterFixture {
protected:
    FilterControlKeysTest()
    {
        Model.SetLink(&Link);
        // 与 <根> / 进帐项 在之中 a, b / 与 按以下定义搜索 / 金额 等于
        In = Model.AddCondition(Model.Root());
        Model.SetConditionItem(*In, 2);
        Model.SetConditionOperator(*In, fdoInList);
        Model.PostValue(*In, 0, Text("a"), QStringLiteral("a"));
        Model.AddValue(*In);
        Model.PostValue(*In, 1, Text("b"), QStringLiteral("b"));
        Group = Model.AddGroup(Model.Root());
        Model.SetFocus({&Model.Root(), TkvFilterControlPartKind::Button, -1});
    }

    //! Presses a key and answers the focus as "row:part[value]" (row by display index, F the footer).
    std::string Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        Handled = Model.DoKeyAction(Model.KeyAction(key, modifiers), &Activation);
        return FocusText();
    }
    std::string FocusText() const
    {
        const TkvFilterControlFocus &focus = Model.Focus();
        if (focus.Part == TkvFilterControlPartKind::FooterLink)
            return "F";
        const auto rows = Model.Rows();
        const int row = int(std::find(rows.begin(), rows.end(), focus.Row) - rows.begin());
        std::string text = std::to_string(row) + ":" + std::to_string(int(focus.Part));
        if (focus.Part == TkvFilterControlPartKind::Value)
            text += "[" + std::to_string(focus.ValueIndex) + "]";
        return text;
    }

    TestFilterLink Link{*Filter};
    TkvFilterControlModel Model;
    TkvFilterControlConditionRow *In = nullptr;
    TkvFilterControlGroupRow *Group = nullptr;
    bool Handled = false;
    TkvFilterControlActivation Activation;
};

TEST_F(FilterControlKeysTest, TabVisitsEveryPartInOrderAndLeavesAtTheEnds)
{
    std::string visited = FocusText();
    for (int i = 0; i < 13; ++i)
        visited += " " + Press(Qt::Key_Tab);
    // root button, bool; condition button, field, operator, two values, add-value;
    // group button, bool; its condition button, field, operator, value; footer.
    EXPECT_EQ(visited, "0:1 0:2 1:1 1:3 1:4 1:5[0] 1:5[1] 1:7 2:1 2:2 3:1 3:3 3:4 3:5[0]");
    EXPECT_EQ(Press(Qt::Key_Tab), "F");
    EXPECT_TRUE(Handled);
    EXPECT_EQ(Press(Qt::Key_Tab), "F");
    EXPECT_FALSE(Handled) << "Tab past the footer leaves the control";
    Model.SetWantTabs(true);
    Press(Qt::Key_Tab);
    EXPECT_TRUE(Handled);
    Model.SetFocus({&Model.Root(), TkvFilterControlPartKind::Button, -1});
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(Handled);
    Model.SetWantTabs(false);
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(Handled);
    EXPECT_EQ(Model.KeyAction(Qt::Key_Tab, Qt::ControlModifier), TkvFilterControlKeyAction::LeaveControl);
}

TEST_F(FilterControlKeysTest, ArrowsMoveAlongARowAndBetweenRows)
{
    Model.SetFocus({In, TkvFilterControlPartKind::Field, -1});
    EXPECT_EQ(Press(Qt::Key_Right), "1:4");
    EXPECT_EQ(Press(Qt::Key_Right), "1:5[0]");
    EXPECT_EQ(Press(Qt::Key_Right), "1:5[1]");
    EXPECT_EQ(Press(Qt::Key_Right), "1:7") << "from the last value to the add-value part";
    EXPECT_EQ(Press(Qt::Key_Right), "1:7") << "the row ends there";
    EXPECT_EQ(Press(Qt::Key_Left), "1:5[1]");
    EXPECT_EQ(Press(Qt::Key_Down), "2:2") << "a group row has no value: the part at the same place";
    EXPECT_EQ(Press(Qt::Key_Down), "3:3");
    EXPECT_EQ(Press(Qt::Key_Up), "2:2");
    EXPECT_EQ(Press(Qt::Key_Up), "1:3");
    EXPECT_EQ(Press(Qt::Key_Down), "2:2");
    EXPECT_EQ(Press(Qt::Key_Down), "3:3");
    EXPECT_EQ(Press(Qt::Key_Down), "F");
    EXPECT_EQ(Press(Qt::Key_Down), "F");
    EXPECT_EQ(Press(Qt::Key_Up), "3:1");
}

TEST_F(FilterControlKeysTest, EnterOnAPartAsksForItsMenuListOrEditor)
{
    Model.SetFocus({Group, TkvFilterControlPartKind::BoolOperator, -1});
    Press(Qt::Key_Return);
    ASSERT_EQ(Activation.What, TkvFilterControlActivation::Kind::List);
    ASSERT_EQ(Activation.ListEntries.size(), 4u);
    EXPECT_EQ(Activation.ListEntries[3].Caption.toStdString(), "不是所有");
    Model.ChooseListEntry(Model.Focus(), bcNotOr);
    EXPECT_EQ(Group->BoolCode(), bcNotOr);
    Model.SetFocus({In, TkvFilterControlPartKind::Value, 1});
    Press(Qt::Key_Space);
    EXPECT_EQ(Activation.What, TkvFilterControlActivation::Kind::Editor);
    Model.SetFocus({In, TkvFilterControlPartKind::AddValue, -1});
    Press(Qt::Key_Enter);
    EXPECT_EQ(In->Values.size(), 3u);
    EXPECT_EQ(FocusText(), "1:5[2]") << "the new value has the focus";
    Model.SetFocus({nullptr, TkvFilterControlPartKind::FooterLink, -1});
    Press(Qt::Key_Return);
    EXPECT_EQ(Group->Count(), 2) << "the footer adds to the group of the last row";
    EXPECT_EQ(FocusText(), "4:3");
}

TEST_F(FilterControlKeysTest, InsertAddsToTheFocusedRowsGroup)
{
    Model.SetFocus({In, TkvFilterControlPartKind::Operator, -1});
    Press(Qt::Key_Insert);
    EXPECT_EQ(Model.Root().Count(), 3);
    EXPECT_EQ(Model.Root().Rows(2), Model.Focus().Row);
    Model.SetFocus({Group, TkvFilterControlPartKind::Button, -1});
    Press(Qt::Key_Insert);
    EXPECT_EQ(Group->Count(), 2) << "on a group row: into that group";
}

TEST_F(FilterControlKeysTest, CtrlDeleteTakesAListValueThenTheRowThenItsEmptyGroup)
{
    Model.SetFocus({In, TkvFilterControlPartKind::Value, 1});
    Press(Qt::Key_Delete);
    EXPECT_EQ(In->Values.size(), 2u) << "Delete alone does nothing";
    Press(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(In->Values.size(), 1u);
    EXPECT_EQ(Model.ValueText(*In, 0).toStdString(), "a");
    EXPECT_EQ(FocusText(), "1:5[0]");
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Model.RowsText().toStdString(), "与 <根>\n  与 按以下定义搜索\n    金额 等于 <空>");
    Model.SetFocus({Group->Rows(0), TkvFilterControlPartKind::Field, -1});
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Model.RowsText().toStdString(), "与 <根>") << "the group left empty goes too";
    Model.SetFocus({&Model.Root(), TkvFilterControlPartKind::Button, -1});
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Model.RowsText().toStdString(), "与 <根>");
}

} // namespace
} // namespace kestrum::testing_filter
