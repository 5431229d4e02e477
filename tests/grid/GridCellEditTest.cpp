// In-place editing of the income grid's cells over a ledger file: opening
// the editor by key, character and click, writing on Enter, dropping on Esc,
// following scrolls, closing when the focus moves, and the values that reach
// the table.
#include "GridTestSource.h"

#include "core/DateTime.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "support/IncomeGridFixture.h"
#include "editors/CalcEdit.h"
#include "editors/CurrencyEditProperties.h"
#include "grid/GridDataControllerSource.h"
#include "grid/GridEditingController.h"
#include "grid/GridSite.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDate>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class GridCellEditTest : public IncomeGridFixture {
protected:
    void SetUp() override
    {
        IncomeGridFixture::SetUp();
        if (HasFatalFailure())
            return;
        AddGain(100, "2006-07-05", "工资");
        AddGain(20.5, "2006-07-06", "红包");
        AddGain(7, "2006-07-09", "工资");
        TkvCustomEdit::SetExceptionHandler(
            [this](const std::exception &error) { Errors.push_back(error.what()); });
    }

    //! The page's grid; the amount column edits with the calculator edit.
    void OpenGrid()
    {
        IncomeGridFixture::OpenGrid(QSize(700, 300), [this] {
            Amount->SetPropertiesClassName("TkvCalcEditProperties");
            Item->SetWidth(128);
        });
        View->SetFocused(true);
    }

    void TearDown() override
    {
        TkvCustomEdit::SetExceptionHandler(nullptr);
        IncomeGridFixture::TearDown();
    }

    std::string Text() const { return EditorText(); }

    void FocusCell(int rowIndex, TkvGridColumn *column)
    {
        View->Controller().SetFocusedRowIndex(rowIndex);
        View->Controller().SetFocusedItem(column);
    }
    QRect CellBounds(int rowIndex, TkvGridColumn *column) const
    {
        const TkvGridRowViewInfo *row = View->ViewInfo().FindRow(rowIndex);
        if (!row)
            return {};
        for (const TkvGridCellViewInfo &cell : View->ViewInfo().Cells(*row))
            if (cell.Item == column)
                return cell.ContentBounds();
        return {};
    }
    std::string Stored(const char *column, int id)
    {
        return RawValue(FPath,
                        std::string("SELECT ") + column + " FROM gain WHERE id = " + std::to_string(id));
    }

    std::vector<std::string> Errors;
};

} // namespace

TEST_F(GridCellEditTest, EnterOpensTheEditorAndEnterWritesTheValueWithoutPosting)
{
    OpenGrid();
    FocusCell(0, Amount);
    EXPECT_TRUE(View->Controller().KeyDown(TkvGridKey::Enter, {}));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().EditingItem(), Amount);
    EXPECT_EQ(Text(), "100");
    EXPECT_EQ(Query.State(), dsBrowse); // opening is no change
    Type("5");
    EXPECT_EQ(Text(), "5");
    EXPECT_EQ(Query.State(), dsEdit);
    Press(Qt::Key_Return);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(FieldText("本次进帐"), "5");
    EXPECT_EQ(Query.State(), dsEdit);
    EXPECT_EQ(CellText(0, Amount), "5"); // the row shows what the record holds now
    EXPECT_EQ(Stored("本次进帐", 1), "100.0");
    // The next row posts the record.
    View->Controller().KeyDown(TkvGridKey::Down, {});
    EXPECT_EQ(Stored("本次进帐", 1), "5.0");
    EXPECT_EQ(CellText(0, Amount), "5");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(GridCellEditTest, EscDropsTheTypedTextAndLeavesTheRecordUnmodified)
{
    OpenGrid();
    FocusCell(1, Item);
    View->Controller().KeyDown(TkvGridKey::F2, {});
    ASSERT_NE(Editor(), nullptr);
    Type("xyz");
    EXPECT_EQ(Text(), "xyz");
    TkvCustomEdit *edit = Editor();
    Press(Qt::Key_Escape);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_EQ(FieldText("进帐人"), "红包");
    EXPECT_FALSE(Query.Modified());
    View->Controller().KeyDown(TkvGridKey::Down, {});
    EXPECT_EQ(Stored("进帐人", 2), "红包");
    // Opening the same column again reuses the editor and shows the stored text.
    FocusCell(1, Item);
    View->Controller().KeyDown(TkvGridKey::Enter, {});
    EXPECT_EQ(Editor(), edit);
    EXPECT_EQ(Text(), "红包");
}

TEST_F(GridCellEditTest, TypedCharacterOpensTheEditorWithThatCharacter)
{
    OpenGrid();
    FocusCell(2, Item);
    EXPECT_TRUE(View->Controller().KeyPress(QChar(u'A')));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Text(), "A"); // the whole text was selected and replaced
    EXPECT_TRUE(Editor()->ChangedSinceEntry());
    Type("b");
    Press(Qt::Key_Tab); // leaves the editor: the value is written on exit
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(FieldText("进帐人"), "Ab");

    // Backspace opens the editor and clears the selected text.
    FocusCell(2, Amount);
    View->Controller().KeyPress(QChar(char16_t(8)));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Text(), "");
    Press(Qt::Key_Return);
    EXPECT_EQ(FieldText("本次进帐"), "");
    View->Controller().KeyDown(TkvGridKey::Up, {});
    EXPECT_EQ(Stored("进帐人", 3), "Ab");
    EXPECT_EQ(Stored("本次进帐", 3), "NULL");
}

TEST_F(GridCellEditTest, EditingRefusedByTheViewLeavesTheCellWithoutEditor)
{
    OpenGrid();
    int asked = 0;
    View->OnEditing = [&](TkvGridTableView *, TkvCustomGridTableItem *item, bool &allow) {
        ++asked;
        allow = item != Item;
    };
    FocusCell(0, Item);
    EXPECT_FALSE(View->Controller().KeyDown(TkvGridKey::Enter, {}));
    EXPECT_TRUE(View->Controller().KeyPress(QChar(u'x')));
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(Query.State(), dsBrowse);
    // Not while the grid lacks the focus either.
    View->SetFocused(false);
    FocusCell(0, Amount);
    EXPECT_FALSE(View->Controller().KeyDown(TkvGridKey::Enter, {}));
    EXPECT_EQ(Editor(), nullptr);
}

TEST_F(GridCellEditTest, EditorFollowsAScrollAndParksOffViewWhileItsCellIsHidden)
{
    for (int day = 10; day < 40; ++day)
        AddGain(day, "2006-08-01", "利息");
    OpenGrid();
    FocusCell(1, Item);
    View->Controller().KeyDown(TkvGridKey::Enter, {});
    ASSERT_NE(Editor(), nullptr);
    const QRect cell = CellBounds(1, Item);
    EXPECT_EQ(Editor()->geometry(), cell);
    EXPECT_EQ(Editor()->parentWidget(), static_cast<QWidget *>(Grid.Site()));
    Type("q");

    View->Controller().SetTopRowIndex(1);
    EXPECT_EQ(Editor()->geometry(), CellBounds(1, Item));
    EXPECT_LT(Editor()->y(), cell.y());
    View->Controller().SetTopRowIndex(20);
    ASSERT_NE(Editor(), nullptr); // still open, out of sight
    EXPECT_EQ(Editor()->x(), 30000);
    EXPECT_EQ(Text(), "q");
    View->Controller().SetTopRowIndex(0);
    EXPECT_EQ(Editor()->geometry(), cell);
    Press(Qt::Key_Return);
    EXPECT_EQ(FieldText("进帐人"), "q");
}

TEST_F(GridCellEditTest, ClickOnAnotherRowWhileEditingUnderSortingAndGroupingWritesTheOldRecord)
{
    OpenGrid();
    Item->SetGroupIndex(0);
    Amount->SetSortOrder(TkvGridSortMark::Ascending);
    // The focused record's group opened with the grouping; the other one opens here.
    View->ViewData().Records(3)->Expand(false);
    // Rows: 工资 (7, 100), 红包 (20.5).
    ASSERT_EQ(CellText(1, Amount), "7") << LaidOutRows(*View);
    ASSERT_EQ(CellText(4, Amount), "20.5") << LaidOutRows(*View);
    FocusCell(1, Amount);
    ASSERT_EQ(FieldText("本次进帐"), "7");
    View->Controller().KeyDown(TkvGridKey::Enter, {});
    ASSERT_NE(Editor(), nullptr);
    Type("300");

    // A double click on the 红包 row: press, release, press, release.
    const QPoint point = CellBounds(4, Amount).center();
    View->Controller().MouseDown(TkvGridMouseButton::Left, point, {}, false);
    View->Controller().MouseUp(TkvGridMouseButton::Left, point, {});
    View->Controller().MouseDown(TkvGridMouseButton::Left, point, {}, true);
    View->Controller().MouseUp(TkvGridMouseButton::Left, point, {});

    EXPECT_EQ(Stored("本次进帐", 3), "300.0");
    EXPECT_EQ(Stored("本次进帐", 2), "20.5");
    EXPECT_EQ(FieldText("进帐人"), "红包");
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().EditingItem(), Amount);
    EXPECT_EQ(Text(), "20.5");
    EXPECT_EQ(Query.State(), dsBrowse);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(GridCellEditTest, LeavingTheEditorWithAnInvalidDateKeepsItOpenAndWritesNothing)
{
    OpenGrid();
    FocusCell(0, Date);
    View->Controller().KeyDown(TkvGridKey::Enter, {});
    ASSERT_NE(Editor(), nullptr);
    Editor()->SelectAll();
    Type("2006-2-31");
    EXPECT_THROW(Editor()->DoExit(), Exception);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_TRUE(Editor()->Focused());
    EXPECT_THROW(Editing().CloseCellEditor(true), Exception);
    ASSERT_NE(Editor(), nullptr);
    // Esc gives up the text; the stored date stays.
    Press(Qt::Key_Escape);
    EXPECT_EQ(Editor(), nullptr);
    View->Controller().KeyDown(TkvGridKey::Down, {});
    EXPECT_EQ(Stored("进帐时间", 1), "2006-07-05");
}

TEST_F(GridCellEditTest, WordDateAndCalculatorResultReachTheTable)
{
    OpenGrid();
    // The word for today, typed into the date cell.
    FocusCell(0, Date);
    View->Controller().KeyDown(TkvGridKey::F2, {});
    ASSERT_NE(Editor(), nullptr);
    Editor()->SelectAll();
    Type(QString::fromUtf8("今天"));
    Press(Qt::Key_Return);
    EXPECT_EQ(Editor(), nullptr) << Errors.size();
    // The amount worked out with the calculator of the amount cell.
    FocusCell(0, Amount);
    View->Controller().KeyDown(TkvGridKey::Enter, {});
    auto *calc = dynamic_cast<TkvCustomCalcEdit *>(Editor());
    ASSERT_NE(calc, nullptr);
    calc->DropDown();
    ASSERT_TRUE(calc->DroppedDown());
    for (QChar ch : QString("+5*2")) {
        calc->Calculator()->HandleKeyPress(Qt::Key_unknown, Qt::NoModifier, QString(ch));
        calc->Calculator()->HandleKeyRelease(Qt::Key_unknown);
    }
    calc->Calculator()->HandleKeyPress(Qt::Key_Return, Qt::NoModifier, "\r");
    calc->Calculator()->HandleKeyRelease(Qt::Key_Return);
    EXPECT_FALSE(calc->DroppedDown());
    EXPECT_EQ(Text(), "210");
    Press(Qt::Key_Return);
    View->Controller().KeyDown(TkvGridKey::Down, {});

    const QString today = QDate::currentDate().toString("yyyy-MM-dd") + " 00:00:00";
    EXPECT_EQ(Stored("进帐时间", 1), today.toStdString());
    EXPECT_EQ(Stored("本次进帐", 1), "210.0");
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST_F(GridCellEditTest, CellTextComesFromTheColumnsEditorProperties)
{
    OpenGrid();
    Amount->SetRepositoryItem(TkvGridEditorItemKind::Currency);
    ASSERT_NE(dynamic_cast<TkvCustomCurrencyEditProperties *>(Amount->GetProperties()), nullptr);
    EXPECT_EQ(CellText(0, Amount), "￥100.00");
    EXPECT_EQ(CellText(0, Date), "2006-7-5");
    // A currency cell edits the bare number and writes a number.
    FocusCell(0, Amount);
    View->Controller().KeyDown(TkvGridKey::Enter, {});
    EXPECT_EQ(Text(), "100");
    Type("12.5");
    Press(Qt::Key_Return);
    View->Controller().KeyDown(TkvGridKey::Down, {});
    EXPECT_EQ(Stored("本次进帐", 1), "12.5");
}

TEST_F(GridCellEditTest, ReleaseOnTheFocusedCellOpensTheEditorWithTheCaretAtTheClickPoint)
{
    OpenGrid();
    FocusCell(0, Amount);
    const QRect cell = CellBounds(1, Item);
    const QPoint point(cell.right() - 2, cell.center().y());
    View->Controller().MouseDown(TkvGridMouseButton::Left, point, {}, false);
    EXPECT_EQ(Editor(), nullptr); // a press on a cell that was not focused only focuses it
    View->Controller().MouseUp(TkvGridMouseButton::Left, point, {});
    ASSERT_NE(Editor(), nullptr);
    auto *line = qobject_cast<QLineEdit *>(Editor()->InnerWidget());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text().toStdString(), "红包");
    EXPECT_FALSE(line->hasSelectedText());
    EXPECT_EQ(line->cursorPosition(), 2);
}

TEST_F(GridCellEditTest, WithoutImmediateEditorASecondClickOpensTheEditorAfterADelayButADoubleClickDoesNot)
{
    OpenGrid();
    View->OptionsBehavior().SetImmediateEditor(false);
    FocusCell(0, Amount);
    const QPoint point = CellBounds(1, Item).center();
    auto click = [&](bool doubleClick) {
        View->Controller().MouseDown(TkvGridMouseButton::Left, point, {}, doubleClick);
        View->Controller().MouseUp(TkvGridMouseButton::Left, point, {});
    };
    click(false); // focuses the cell
    EXPECT_FALSE(Editing().IsDelayedActivationArmed());
    click(false); // on the focused cell: armed
    EXPECT_TRUE(Editing().IsDelayedActivationArmed());
    click(true); // the second press of a double click disarms it and arms nothing
    EXPECT_FALSE(Editing().IsDelayedActivationArmed());
    EXPECT_EQ(Editor(), nullptr);

    click(false);
    ASSERT_TRUE(Editing().IsDelayedActivationArmed());
    Editing().DelayedActivationFired();
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editing().EditingItem(), Item);
    EXPECT_FALSE(Editing().IsDelayedActivationArmed());
}

TEST_F(GridCellEditTest, ViewEventsFollowTheEditor)
{
    OpenGrid();
    std::string log;
    View->OnInitEdit = [&](TkvGridTableView *, TkvCustomGridTableItem *item, TkvCustomEdit *edit) {
        log += "init:" + item->Name().toStdString() + (edit == Editor() ? "" : "?") + " ";
    };
    View->OnEditChanged = [&](TkvGridTableView *, TkvCustomGridTableItem *) { log += "changed "; };
    View->OnEditValueChanged = [&](TkvGridTableView *, TkvCustomGridTableItem *) { log += "value "; };
    int ownChanges = 0;
    Item->GetProperties()->OnChange = [&](TkvCustomEdit *) { ++ownChanges; };
    FocusCell(0, Item);
    View->Controller().KeyDown(TkvGridKey::Enter, {});
    EXPECT_EQ(log, "init:item ");
    Type("z");
    Press(Qt::Key_Return);
    // The typed character, then the validated Enter once: its text and its value.
    EXPECT_EQ(log, "init:item changed changed value ");
    EXPECT_GE(ownChanges, 2); // the properties' own handler runs too and stays theirs
    ASSERT_TRUE(Item->GetProperties()->OnChange);
    // A column that leaves the view closes its open editor as the cell focus leaves it.
    FocusCell(1, Item);
    View->Controller().KeyDown(TkvGridKey::Enter, {});
    Type("w");
    std::unique_ptr<TkvCustomGridTableItem> removed = View->RemoveItem(Item);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(Editing().EditingItem(), nullptr);
    EXPECT_EQ(FieldText("进帐人"), "w");
    View->Controller().KeyDown(TkvGridKey::Enter, {});
    EXPECT_NE(Editing().EditingItem(), removed.get());
}

TEST_F(GridCellEditTest, InputMethodTextOnAFocusedCellOpensTheEditorWithIt)
{
    OpenGrid();
    FocusCell(0, Item);
    QInputMethodEvent input;
    input.setCommitString(QString::fromUtf8("奖金"));
    QCoreApplication::sendEvent(Grid.Site(), &input);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Text(), "奖金"); // the committed text replaced the selected one
    Press(Qt::Key_Return);
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(FieldText("进帐人"), "奖金");
}

TEST_F(GridCellEditTest, ScreenReadersNameTheCellEditorAfterItsColumn)
{
    OpenGrid();
    FocusCell(1, Item);
    EXPECT_TRUE(View->Controller().KeyDown(TkvGridKey::Enter, {}));
    ASSERT_NE(Editor(), nullptr);
    QAccessibleInterface *inner = QAccessible::queryAccessibleInterface(Editor()->InnerWidget());
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->text(QAccessible::Name), Item->Caption());
    EXPECT_EQ(inner->text(QAccessible::Value).toStdString(), "红包");
    Press(Qt::Key_Escape);
    FocusCell(1, Amount);
    EXPECT_TRUE(View->Controller().KeyDown(TkvGridKey::Enter, {}));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(Editor())->text(QAccessible::Name).toStdString(),
              "本次进帐");
}
