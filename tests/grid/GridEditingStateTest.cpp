// The editing controller's one state: which step each interaction runs in,
// as the record set, the editor and the view's events see it, and that every
// path, the refused and the failing ones too, ends Idle again.
#include "support/IncomeGridFixture.h"

#include "editors/CustomEdit.h"
#include "grid/GridSite.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace kestrum;
using namespace kestrum::test;

namespace {

using State = TkvGridEditingState;

TEST(GridEditingStepTest, AStepInsideACloseStaysACloseAndOnlyItsWriteIsToldApart)
{
    EXPECT_EQ(EnterEditingStep(State::Closing, State::Posting), State::PostingOnClose);
    EXPECT_EQ(EnterEditingStep(State::Closing, State::StartingEdit), State::Closing);
    EXPECT_EQ(EnterEditingStep(State::Closing, State::Loading), State::Closing);
    EXPECT_EQ(EnterEditingStep(State::PostingOnClose, State::Posting), State::PostingOnClose);
    EXPECT_EQ(EnterEditingStep(State::PostingOnClose, State::StartingEdit), State::PostingOnClose);
}

TEST(GridEditingStepTest, OutsideACloseTheInnerStepRuns)
{
    EXPECT_EQ(EnterEditingStep(State::Idle, State::Posting), State::Posting);
    EXPECT_EQ(EnterEditingStep(State::ChangingItem, State::Closing), State::Closing);
    EXPECT_EQ(EnterEditingStep(State::ChangingItem, State::Loading), State::Loading);
    EXPECT_EQ(EnterEditingStep(State::ForwardingEnter, State::ChangingItem), State::ChangingItem);
    EXPECT_EQ(EnterEditingStep(State::Loading, State::Loading), State::Loading);
}

class GridEditingStateTest : public IncomeGridFixture {
protected:
    void SetUp() override
    {
        IncomeGridFixture::SetUp();
        if (HasFatalFailure())
            return;
        AddThreeIncomes();
        OpenGrid();
        View->SetFocused(true);
        // What the record set tells while the editor works: the state the controller is in then.
        Source.OnStateChange = [this](TDbDataSource *) { Seen.push_back(Editing().State()); };
        Source.OnDataChange = [this](TDbDataSource *, TDbField *field) {
            if (field)
                Seen.push_back(Editing().State());
        };
    }

    void OpenEditor(int rowIndex, TkvGridColumn *column)
    {
        Controller().SetFocusedRowIndex(rowIndex);
        Controller().SetFocusedItem(column);
        Controller().KeyDown(TkvGridKey::Enter, {});
        ASSERT_NE(Editor(), nullptr);
        ASSERT_EQ(Editing().State(), State::Idle);
    }
    void PressAtGrid(Qt::Key key) { QTest::keyClick(Grid.Site(), key); }

    std::vector<State> Seen;
};

} // namespace

TEST_F(GridEditingStateTest, OpeningChangesTheItemAndLoadsTheValueWithoutTellingOfAChange)
{
    std::vector<State> initEdit;
    int changes = 0;
    View->OnInitEdit = [&](TkvGridTableView *, TkvCustomGridTableItem *, TkvCustomEdit *) {
        initEdit.push_back(Editing().State());
    };
    View->OnEditChanged = [&](TkvGridTableView *, TkvCustomGridTableItem *) { ++changes; };
    OpenEditor(0, Item);
    EXPECT_EQ(initEdit, std::vector<State>{State::ChangingItem});
    EXPECT_EQ(changes, 0);
    Type("x");
    EXPECT_GT(changes, 0);
    EXPECT_EQ(Editing().State(), State::Idle);
}

TEST_F(GridEditingStateTest, TypingStartsTheEditThenEnterClosesAndWritesInOneClose)
{
    OpenEditor(0, Item);
    Type("x");
    EXPECT_EQ(Seen, std::vector<State>{State::StartingEdit});
    Seen.clear();
    Press(Qt::Key_Return);
    EXPECT_EQ(Editor(), nullptr);
    ASSERT_FALSE(Seen.empty());
    EXPECT_EQ(Seen.front(), State::PostingOnClose);
    for (State state : Seen)
        EXPECT_TRUE(state == State::PostingOnClose || state == State::Closing);
    EXPECT_EQ(Editing().State(), State::Idle);
    EXPECT_EQ(FieldText("进帐人"), "x");
}

TEST_F(GridEditingStateTest, AWriteWhileTheEditorStaysOpenIsAPostingOfItsOwn)
{
    OpenEditor(1, Item);
    Type("y");
    Seen.clear();
    EXPECT_TRUE(Editing().PostCellValue());
    EXPECT_EQ(Seen, std::vector<State>{State::Posting});
    EXPECT_EQ(Editing().State(), State::Idle);
    EXPECT_NE(Editor(), nullptr);
}

TEST_F(GridEditingStateTest, FirstEscClosesTheEditorSecondEscCancelsTheRecord)
{
    OpenEditor(0, Amount);
    Type("5");
    Press(Qt::Key_Return);
    PressAtGrid(Qt::Key_Return);
    ASSERT_NE(Editor(), nullptr);
    Press(Qt::Key_Escape);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Editing().State(), State::Idle);
    EXPECT_EQ(Query.State(), dsEdit);
    PressAtGrid(Qt::Key_Escape);
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_EQ(Editing().State(), State::Idle);
}

TEST_F(GridEditingStateTest, EnterGoingOnToTheNextCellRunsAsAForwardedEnter)
{
    View->OptionsBehavior().SetGoToNextCellOnEnter(true);
    std::vector<State> focusMoves;
    View->OnFocusedItemChanged = [&](TkvCustomGridTableView *, TkvCustomGridTableItem *,
                                     TkvCustomGridTableItem *) { focusMoves.push_back(Editing().State()); };
    OpenEditor(0, Amount);
    focusMoves.clear();
    Press(Qt::Key_Return);
    EXPECT_EQ(focusMoves, std::vector<State>{State::ForwardingEnter});
    EXPECT_EQ(Controller().FocusedItem(), Item);
    EXPECT_NE(Editor(), nullptr); // opened again on the next cell once the Enter ran
    EXPECT_EQ(Editing().State(), State::Idle);
}

TEST_F(GridEditingStateTest, ARefusedPostKeepsTheEditorOnItsRowAndTheControllerIdle)
{
    Item->GetProperties()->OnValidate = [](TkvCustomEdit *, QString &text, QString &errorText, bool &error) {
        if (text == "bad") {
            error = true;
            errorText.clear();
        }
    };
    OpenEditor(0, Item);
    Type("bad");
    Press(Qt::Key_Return);
    EXPECT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().State(), State::Idle);
    Press(Qt::Key_Down);
    EXPECT_EQ(FocusedRow(), 0);
    EXPECT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().State(), State::Idle);
    EXPECT_EQ(StoredColumn(), "工资,红包,奖金");
}

TEST_F(GridEditingStateTest, AFailingWriteLeavesTheCloseAndTheEditorStaysOpen)
{
    OpenEditor(0, Item);
    Type("z");
    Source.OnDataChange = [](TDbDataSource *, TDbField *field) {
        if (field)
            throw std::runtime_error("refused");
    };
    EXPECT_THROW(Editing().CloseCellEditor(true), std::runtime_error);
    EXPECT_EQ(Editing().State(), State::Idle);
    EXPECT_NE(Editor(), nullptr);
    Source.OnDataChange = nullptr;
    Editing().CloseCellEditor(false);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Editing().State(), State::Idle);
}
