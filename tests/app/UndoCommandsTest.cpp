// The menu's undo and redo in the running window: item texts, reloading the
// pages and the statistics, one action for a multi-row delete, a pending
// entry settled first, a refusal shown, and Ctrl+Z left to a text box.
#include "app/UndoCommands.h"
#include "LedgerFileFixture.h"
#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "editors/DbTextEdit.h"
#include "ledger/Journal.h"
#include "ledger/Trash.h"
#include "pages/PqPageControl.h"
#include "support/FakeShell.h"
#include "support/HandleDriver.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

#include <deque>

namespace kestrum {
namespace {

class UndoCommandsBase : public testing::Test {
protected:
    explicit UndoCommandsBase(test::TEngine engine) : file(engine)
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (!file.Unavailable().empty())
            return;
        file.AddIncome(8600, "2024-01-10", "工资");
        file.AddIncome(5200, "2024-01-15", "工资");
        file.AddIncome(300, "2024-01-20", "利息");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([](const std::exception &) {});
        previousHook = SetMessageBoxHook([this](const TMessageBoxRequest &request) {
            boxes << request.Text;
            if (answers.empty())
                return 0;
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        });
        changes = data.AddLedgerChangedListener([this] { ++ledgerChanges; });
    }
    ~UndoCommandsBase() override
    {
        data.RemoveLedgerChangedListener(changes);
        SetMessageBoxHook(previousHook);
    }
    TUndoCommands &commands() { return *window.UndoCommands; }
    QString undoText()
    {
        commands().UpdateItems();
        return commands().UndoAction()->text() + (commands().UndoAction()->isEnabled() ? "" : "(off)");
    }
    QString redoText()
    {
        commands().UpdateItems();
        return commands().RedoAction()->text() + (commands().RedoAction()->isEnabled() ? "" : "(off)");
    }

    void SetUp() override { TLedgerFile::RequireLedger(file); }
    //! The income page's amounts in the order it lists them.
    QString incomeAmounts()
    {
        QStringList amounts;
        for (data.ADOQuery1.First(); !data.ADOQuery1.Eof(); data.ADOQuery1.Next())
            amounts << data.ADOQuery1.FieldByName(utf8("本次进帐"))->AsString();
        return amounts.join(',');
    }

    test::OffscreenSizeHintsFilter sizeHints;
    TLedgerFile file;
    TLedgerData data;
    TFakeShell shell;
    TForm1 window{data, shell};
    QStringList boxes;
    std::deque<int> answers;
    TMessageBoxHook previousHook;
    int changes = 0;
    int ledgerChanges = 0;
};

//! On a ledger file, for what reaches into the file itself.
class UndoCommandsTest : public UndoCommandsBase {
protected:
    UndoCommandsTest() : UndoCommandsBase(test::TEngine::File) {}
};

//! On a ledger file and on a ledger on a server.
class UndoOnEnginesTest : public UndoCommandsBase, public testing::WithParamInterface<test::TEngine> {
protected:
    UndoOnEnginesTest() : UndoCommandsBase(GetParam()) {}
};

TEST_F(UndoCommandsTest, ItemsSitInTheEntryMenuWithTheirKeysAndNameWhatTheyWillDo)
{
    QStringList items;
    for (QAction *action : window.N1->actions())
        items << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(items.join(' '),
              utf8("进帐纪录 消费纪录 回收站... 定期收支... 预算... - 撤销 重做 - 导入... 导出... - 退出"));
    EXPECT_EQ(commands().UndoAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(commands().RedoAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
    // The rows that were there before the journal are not history.
    EXPECT_EQ(undoText(), utf8("撤销(off)"));
    EXPECT_EQ(redoText(), utf8("重做(off)"));

    data.ADOQuery1.First();
    data.ADOQuery1.Delete();
    EXPECT_EQ(undoText(), utf8("撤销 删除 工资 8600"));
    commands().UndoAction()->trigger();
    EXPECT_EQ(data.ADOQuery1.RecordCount(), 3); // the page reads its entries again
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "3");
    EXPECT_GE(ledgerChanges, 2); // the delete, and the undo: the statistics hear both
    EXPECT_EQ(undoText(), utf8("撤销(off)"));
    EXPECT_EQ(redoText(), utf8("重做 删除 工资 8600"));
    commands().RedoAction()->trigger();
    EXPECT_EQ(data.ADOQuery1.RecordCount(), 2);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
}

TEST_P(UndoOnEnginesTest, DeletesInOneGoAreOneActionToUndo)
{
    data.ADOQuery1.First();
    data.ADOQuery1.Delete();
    data.ADOQuery1.Delete(); // as the grid deletes its selected rows, one after the other
    QCoreApplication::processEvents();
    EXPECT_EQ(undoText(), utf8("撤销 删除 2 条纪录"));
    commands().Undo();
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "3");
    // A later single delete stays on its own.
    data.ADOQuery1.Last();
    data.ADOQuery1.Delete();
    QCoreApplication::processEvents();
    EXPECT_EQ(undoText(), utf8("撤销 删除 利息 300"));
}

TEST_F(UndoCommandsTest, ARestoreFromTheTrashIsOneActionToUndo)
{
    data.ADOQuery1.First();
    data.ADOQuery1.Delete();
    data.ADOQuery1.Delete();
    QCoreApplication::processEvents();
    sqlite3 *db = data.ADOConnection1.Handle();
    const TTrashRestoreResult restored = RestoreAllFromTrash(DriverOf(db), JournalRestoreHook());
    ASSERT_EQ(restored.Inserted(), 2);
    EXPECT_EQ(undoText(), utf8("撤销 从回收站恢复 2 条纪录"));
    commands().Undo();
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "1");
    EXPECT_EQ(undoText(), utf8("撤销 删除 2 条纪录"));
    // A restore that put nothing back leaves nothing to undo.
    EmptyTrash(DriverOf(db));
    RestoreAllFromTrash(DriverOf(db), JournalRestoreHook());
    EXPECT_EQ(undoText(), utf8("撤销 删除 2 条纪录"));
}

TEST_P(UndoOnEnginesTest, APendingEntryIsSettledFirstAndStayingCancelsTheUndo)
{
    data.ADOQuery1.First();
    data.ADOQuery1.Delete();
    data.ADOQuery1.Edit();
    data.ADOQuery1.FieldByName(utf8("进帐人"))->SetAsString(utf8("奖金"));
    answers = {2}; // "取消": stay with the entry
    commands().Undo();
    EXPECT_EQ(boxes.value(0), utf8("正在录入的记录已修改，是否保存？"));
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "2");
    EXPECT_EQ(data.ADOQuery1.State(), dsEdit);
    answers = {1}; // "否": drop the change, then undo
    commands().Undo();
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "3");
    EXPECT_EQ(data.ADOQuery1.State(), dsBrowse);
}

TEST_P(UndoOnEnginesTest, AnActionByAnotherProgramSinceTheMenuWasReadIsNotUndoneBlindly)
{
    data.ADOQuery1.First();
    data.ADOQuery1.Delete();
    EXPECT_EQ(undoText(), utf8("撤销 删除 工资 8600"));
    file.AddExpense(12, "2024-01-02", "午饭"); // another program, after the menu was read
    commands().Undo();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith(utf8("撤销失败："))) << boxes[0].toStdString();
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "2");
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM expen"), "1");
    // The items now name the other program's action.
    EXPECT_EQ(commands().UndoAction()->text(), utf8("撤销 录入 午饭 12"));
}

TEST_P(UndoOnEnginesTest, CtrlZInATextBoxUndoesTypingAndElsewhereUndoesTheLedger)
{
    window.show();
    QApplication::setActiveWindow(&window);
    data.ADOQuery1.First();
    data.ADOQuery1.Delete();
    commands().UpdateItems();
    auto *page = static_cast<TEntryPage *>(window.IncomePage);
    auto *box = page->ItemEdit->findChild<QLineEdit *>();
    ASSERT_NE(box, nullptr);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "abc");
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(box->text(), QStringLiteral("abc")); // its own typing went back
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "2");
    data.ADOQuery1.Cancel();
    window.PqPageControl1->setFocus();
    QTest::keyClick(window.PqPageControl1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "3");
}

// Guards against an undo that read both pages' entries again whatever it
// touched: ten million entries took half a minute.
TEST_F(UndoCommandsTest, OnlyThePageWhoseEntriesTheActionTouchedReadsThemAgain)
{
    file.AddExpense(12, "2024-01-02", "午饭");
    data.ADOQuery2.Refresh();
    int incomeReads = 0, expenseReads = 0;
    data.DataSource1.OnDataChange = [&](TDbDataSource *, TDbField *field) { incomeReads += !field; };
    data.DataSource2.OnDataChange = [&](TDbDataSource *, TDbField *field) { expenseReads += !field; };
    data.ADOQuery1.First();
    data.ADOQuery1.Delete();
    QCoreApplication::processEvents();
    incomeReads = expenseReads = 0;
    commands().Undo();
    EXPECT_EQ(data.ADOQuery1.RecordCount(), 3);
    EXPECT_GT(incomeReads, 0);
    EXPECT_EQ(expenseReads, 0);
    EXPECT_EQ(redoText(), utf8("重做 删除 工资 8600"));
    incomeReads = expenseReads = 0;
    commands().Redo();
    EXPECT_EQ(data.ADOQuery1.RecordCount(), 2);
    EXPECT_EQ(expenseReads, 0);

    // An action over both tables: both pages read theirs again.
    sqlite3 *db = data.ADOConnection1.Handle();
    ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    OpenJournalAction(DriverOf(db), utf8("导入 2 条纪录"));
    ASSERT_EQ(
        sqlite3_exec(db,
                     "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (1, '2024-02-01 00:00:00', 'x');"
                     "INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (2, '2024-02-01 00:00:00', 'y')",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    CloseJournalAction(DriverOf(db));
    ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    data.ADOQuery1.Refresh();
    data.ADOQuery2.Refresh();
    ASSERT_EQ(data.ADOQuery2.RecordCount(), 2);
    EXPECT_EQ(undoText(), utf8("撤销 导入 2 条纪录"));
    incomeReads = expenseReads = 0;
    commands().Undo();
    EXPECT_EQ(data.ADOQuery1.RecordCount(), 2);
    EXPECT_EQ(data.ADOQuery2.RecordCount(), 1);
    EXPECT_GT(incomeReads, 0);
    EXPECT_GT(expenseReads, 0);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
}

// Guards against an undo of an import that filled the trash with every
// entry it took out, and ran a statement per entry on the window's thread.
TEST_F(UndoCommandsTest, AnImportIsUndoneOnAWorkerAndItsEntriesStayOutOfTheTrash)
{
    sqlite3 *db = data.ADOConnection1.Handle();
    ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    OpenJournalAction(DriverOf(db), utf8("导入 5000 条纪录"));
    ASSERT_EQ(sqlite3_exec(
                  db,
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                  "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) SELECT i, '2024-02-01 00:00:00', 'x' FROM n",
                  nullptr, nullptr, nullptr),
              SQLITE_OK);
    CloseJournalAction(DriverOf(db));
    ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    data.ADOQuery1.Refresh();
    ASSERT_EQ(data.ADOQuery1.RecordCount(), 5003);
    EXPECT_EQ(undoText(), utf8("撤销 导入 5000 条纪录"));
    commands().Undo();
    EXPECT_EQ(data.ADOQuery1.RecordCount(), 3);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "3");
    EXPECT_EQ(TrashCount(DriverOf(db)), 0) << "undone inserts were never deleted by anyone";
    EXPECT_EQ(redoText(), utf8("重做 导入 5000 条纪录"));
    commands().Redo();
    EXPECT_EQ(data.ADOQuery1.RecordCount(), 5003);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
}

// Guards: Ctrl+Z and Ctrl+Y did nothing while the caret was in an editor with nothing of its own to undo.
TEST_P(UndoOnEnginesTest, CtrlZAndCtrlYInAnEditorWithNothingToTakeBackReachTheLedger)
{
    window.show();
    QApplication::setActiveWindow(&window);
    data.ADOQuery1.First();
    data.ADOQuery1.Delete();
    commands().UpdateItems();
    auto *page = static_cast<TEntryPage *>(window.IncomePage);
    auto *box = page->ItemEdit->findChild<QLineEdit *>();
    ASSERT_NE(box, nullptr);
    box->setFocus();
    ASSERT_FALSE(box->isUndoAvailable());
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "3");
    QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "2");
    // The memo of the remark, the same.
    auto *memo = page->RemarkMemo->findChild<QPlainTextEdit *>();
    ASSERT_NE(memo, nullptr);
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "3");
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
}

// The worker that undoes reaches the ledger wherever it is (it took every
// ledger for a file), and the entry back stands where it was entered.
TEST_P(UndoOnEnginesTest, AnUndoneDeleteComesBackInItsPlaceAndTheRedoTakesItAgain)
{
    data.ADOQuery1.First();
    data.ADOQuery1.Next();
    data.ADOQuery1.Delete();
    EXPECT_EQ(incomeAmounts(), "8600,300");
    EXPECT_EQ(undoText(), utf8("撤销 删除 工资 5200"));
    commands().Undo();
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "3");
    EXPECT_EQ(incomeAmounts(), "8600,5200,300");
    EXPECT_EQ(redoText(), utf8("重做 删除 工资 5200"));
    commands().Redo();
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "2");
    EXPECT_EQ(incomeAmounts(), "8600,300");
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, UndoOnEnginesTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum
