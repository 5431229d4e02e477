// The trash dialog: its rows and texts, page-wise reading of a large trash,
// which buttons are enabled, restoring and emptying through the list and the
// widget, and the window's part (settling an entry being edited, reloading
// the pages, telling the statistics).
#include "app/TrashDialog.h"
#include "core/Utf8.h"
#include "support/HandleDriver.h"

#include "LedgerFileFixture.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "core/RegionalSettings.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "support/FakeShell.h"
#include "ui/MessageBox.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <deque>

namespace kestrum {
namespace {

//! Answers boxes in turn (the default button once the answers run out) and
//! records each as "text".
class Answers {
public:
    Answers()
    {
        FPrevious = SetMessageBoxHook([this](const TMessageBoxRequest &request) {
            Boxes << request.Text;
            if (Queue.empty())
                return 0;
            const int answer = Queue.front();
            Queue.pop_front();
            return answer;
        });
    }
    ~Answers() { SetMessageBoxHook(FPrevious); }
    QStringList Boxes;
    std::deque<int> Queue;

private:
    TMessageBoxHook FPrevious;
};

class TrashListTest : public testing::Test {
protected:
    TrashListTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        sqlite3_open_v2(file.Path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~TrashListTest() override
    {
        sqlite3_close(db);
        setRegionalSettings(RegionalSettings::simplifiedChinese());
    }
    void exec(const std::string &sql)
    {
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    }
    //! The texts of a row, cells separated by "|".
    static QString row(TTrashList &list, int rowIndex)
    {
        QStringList cells;
        for (int column = 0; column < TrashColumnCount; ++column)
            cells << list.Text(rowIndex, TTrashColumn(column));
        return cells.join('|');
    }

    TLedgerFile file;
    sqlite3 *db = nullptr;
};

TEST_F(TrashListTest, ALedgerWithoutTrashOrWithAnEmptyOneShowsNothingAndOffersNothing)
{
    TTrashList list(DriverOf(db)); // the file has no trash table yet
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_FALSE(list.CanRestoreSelected() || list.CanRestoreAll() || list.CanEmpty());
    EXPECT_FALSE(list.RestoreAll().has_value());
    ASSERT_TRUE(EnsureTrash(DriverOf(db)));
    list.Reload();
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.Text(0, TTrashColumn::Kind), "");
    EXPECT_FALSE(list.RestoreSelected().has_value());

    TTrashDialog dialog(DriverOf(db));
    EXPECT_EQ(dialog.windowTitle(), utf8("回收站"));
    EXPECT_EQ(dialog.ListView->model()->rowCount(), 0);
    QStringList captions;
    for (int column = 0; column < TrashColumnCount; ++column)
        captions << dialog.ListView->model()->headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(captions.join(' '), utf8("类别 日期 金额 项目 备注 删除时间"));
    EXPECT_FALSE(dialog.RestoreButton->isEnabled());
    EXPECT_FALSE(dialog.RestoreAllButton->isEnabled());
    EXPECT_FALSE(dialog.EmptyButton->isEnabled());
    EXPECT_TRUE(dialog.CloseButton->isEnabled());
}

TEST_F(TrashListTest, RowsShowTheEntriesNewestDeletionFirstInTheRegionalFormats)
{
    ASSERT_TRUE(EnsureTrash(DriverOf(db)));
    exec("INSERT INTO kestrum_trash (source, original_id, amount, entry_date, item, remark, deleted_at) "
         "VALUES "
         "('gain', 7, 8600.5, '2024-01-10 00:00:00', '工资', NULL, '2024-03-01 08:05:09'),"
         "('expen', 9, 12, '2024-02-03 18:30:00', '伙食', '早饭\n午饭', '2024-03-02 00:00:00'),"
         "('expen', 11, 'abc', 'not a date', NULL, '', '2024-03-03 21:00:00')");
    TTrashList list(DriverOf(db));
    ASSERT_EQ(list.RowCount(), 3);
    EXPECT_EQ(row(list, 0), utf8("消费|not a date|abc|||2024-3-3 21:00:00"));
    EXPECT_EQ(row(list, 1), utf8("消费|2024-2-3 18:30:00|12|伙食|早饭 午饭|2024-3-2"));
    EXPECT_EQ(row(list, 2), utf8("进帐|2024-1-10|8600.5|工资||2024-3-1 8:05:09"));

    RegionalSettings european = RegionalSettings::simplifiedChinese();
    european.decimalSeparator = ',';
    european.shortDateFormat = "dd.MM.yyyy";
    european.dateSeparator = '.';
    setRegionalSettings(european);
    EXPECT_EQ(list.Text(2, TTrashColumn::Amount), "8600,5");
    EXPECT_EQ(list.Text(2, TTrashColumn::Date), "10.01.2024");
}

TEST_F(TrashListTest, ALargeTrashIsReadAPageAtATimeAndEntriesGoneMeanwhileShowEmpty)
{
    exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999) "
         "INSERT INTO expen (消费金额, 消费日期, 消费者) SELECT i + 0.5, '2024-05-01 00:00:00', 'x' FROM n");
    ASSERT_TRUE(EnsureTrash(DriverOf(db)));
    exec("DELETE FROM expen");
    TTrashList list(DriverOf(db));
    ASSERT_EQ(list.RowCount(), 1000);
    // Newest deletion first: the rows were deleted in id order.
    EXPECT_EQ(list.Text(0, TTrashColumn::Amount), "999.5");
    EXPECT_EQ(list.Text(999, TTrashColumn::Amount), "0.5");
    EXPECT_EQ(list.Text(TTrashList::PageSize, TTrashColumn::Amount),
              QString::number(999 - TTrashList::PageSize) + ".5");
    for (int r = 0; r < 1000; r += 7) // scrolls through more pages than are kept
        ASSERT_EQ(list.Text(r, TTrashColumn::Amount), QString::number(999 - r) + ".5") << r;
    EXPECT_EQ(list.Text(3, TTrashColumn::Amount), "996.5");

    // Another program restores two entries after the list was read.
    sqlite3 *other = nullptr;
    sqlite3_open_v2(file.Path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr);
    RestoreFromTrash(DriverOf(other), {list.TrashId(500), list.TrashId(501)});
    sqlite3_close(other);
    list.Reload();
    EXPECT_EQ(list.RowCount(), 998);
    list.SetSelectedRows({0});
    sqlite3_open_v2(file.Path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr);
    EmptyTrash(DriverOf(other));
    sqlite3_close(other);
    EXPECT_EQ(row(list, 0), "|||||");
    const std::optional<TTrashRestoreResult> result = list.RestoreSelected();
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(TTrashList::RestoreReport(*result),
              utf8("1 条纪录已不在回收站中（可能已被还原或清空），没有还原。"));
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM expen"), "2");
}

TEST_F(TrashListTest, SelectionEnablesRestoreAndRestoreRunsTheWindowsStepsAroundIt)
{
    file.AddIncome(100, "2024-01-01", "a");
    file.AddIncome(200, "2024-01-02", "b");
    file.AddExpense(30, "2024-01-03", "c");
    ASSERT_TRUE(EnsureTrash(DriverOf(db)));
    exec("DELETE FROM gain; DELETE FROM expen");
    TTrashList list(DriverOf(db));
    ASSERT_EQ(list.RowCount(), 3);
    EXPECT_TRUE(list.CanRestoreAll());
    EXPECT_FALSE(list.CanRestoreSelected());
    list.SetSelectedRows({2, 0, 2, -1, 3});
    EXPECT_EQ(list.SelectedCount(), 2);
    EXPECT_TRUE(list.CanRestoreSelected());

    std::string steps;
    bool proceed = false;
    list.BeforeRestore = [&] {
        steps += "settle ";
        return proceed;
    };
    list.AfterRestore = [&](const TTrashRestoreResult &result) {
        steps += "restored " + std::to_string(result.Inserted()) + " left " + std::to_string(list.RowCount());
    };
    // An entry being edited that the user keeps editing: nothing happens.
    EXPECT_FALSE(list.RestoreSelected().has_value());
    EXPECT_EQ(list.RowCount(), 3);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM kestrum_trash"), "3");

    proceed = true;
    const std::optional<TTrashRestoreResult> result = list.RestoreSelected();
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(steps, "settle settle restored 2 left 1");
    EXPECT_TRUE(TTrashList::RestoreReport(*result).isEmpty());
    EXPECT_EQ(file.Scalar("SELECT group_concat(进帐人) FROM gain"), "a");
    EXPECT_EQ(file.Scalar("SELECT group_concat(消费者) FROM expen"), "c");
    EXPECT_EQ(list.Text(0, TTrashColumn::Item), "b");
    EXPECT_FALSE(list.CanRestoreSelected()); // the selection went with the rows
}

TEST_F(TrashListTest, TheDialogRestoresTheSelectedRowsAndEmptiesOnlyAfterTheQuestion)
{
    file.AddIncome(100, "2024-01-01", "a");
    file.AddIncome(200, "2024-01-02", "b");
    file.AddIncome(300, "2024-01-03", "c");
    ASSERT_TRUE(EnsureTrash(DriverOf(db)));
    exec("DELETE FROM gain");
    Answers answers;
    TTrashDialog dialog(DriverOf(db));
    QTableView *view = dialog.ListView;
    ASSERT_EQ(view->model()->rowCount(), 3);
    EXPECT_TRUE(view->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.EmptyNotice->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.RestoreButton->isEnabled());
    EXPECT_TRUE(dialog.RestoreAllButton->isEnabled());
    EXPECT_TRUE(dialog.EmptyButton->isEnabled());

    // Rows 0 and 2 (c and a), as a control-click would select them.
    QItemSelection selection;
    selection.select(view->model()->index(0, 0), view->model()->index(0, TrashColumnCount - 1));
    selection.select(view->model()->index(2, 0), view->model()->index(2, TrashColumnCount - 1));
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    EXPECT_TRUE(dialog.RestoreButton->isEnabled());
    dialog.RestoreButton->click();
    EXPECT_EQ(file.Scalar("SELECT group_concat(进帐人) FROM (SELECT 进帐人 FROM gain ORDER BY id)"), "a,c");
    ASSERT_EQ(view->model()->rowCount(), 1);
    EXPECT_EQ(view->model()->index(0, int(TTrashColumn::Item)).data().toString(), "b");
    EXPECT_FALSE(dialog.RestoreButton->isEnabled());
    EXPECT_TRUE(answers.Boxes.isEmpty());

    answers.Queue = {1}; // 取消
    dialog.EmptyButton->click();
    EXPECT_EQ(answers.Boxes, QStringList{utf8("清空回收站后，其中的纪录将无法恢复。确定清空吗？")});
    EXPECT_EQ(view->model()->rowCount(), 1);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM kestrum_trash"), "1");

    answers.Queue = {0}; // 确定
    dialog.EmptyButton->click();
    EXPECT_EQ(view->model()->rowCount(), 0);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM kestrum_trash"), "0");
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "2");
    EXPECT_FALSE(dialog.RestoreAllButton->isEnabled());
    EXPECT_FALSE(dialog.EmptyButton->isEnabled());
    // An empty trash said nothing: a blank grid, as if it had failed to load.
    EXPECT_TRUE(dialog.EmptyNotice->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.EmptyNotice->text(), utf8("回收站是空的。"));
    EXPECT_FALSE(view->isVisibleTo(&dialog));
}

TEST_F(TrashListTest, AFailedRestoreIsShownAndTheDialogGoesOn)
{
    file.AddExpense(30, "2024-01-03", "c");
    ASSERT_TRUE(EnsureTrash(DriverOf(db)));
    exec("DELETE FROM expen");
    exec("CREATE TRIGGER refuse BEFORE INSERT ON expen BEGIN SELECT RAISE(ABORT, 'disk says no'); END");
    Answers answers;
    TTrashDialog dialog(DriverOf(db));
    dialog.RestoreAllButton->click();
    ASSERT_EQ(answers.Boxes.size(), 1);
    EXPECT_TRUE(answers.Boxes[0].contains("disk says no")) << answers.Boxes[0].toStdString();
    EXPECT_EQ(dialog.ListView->model()->rowCount(), 1);
    EXPECT_TRUE(dialog.RestoreAllButton->isEnabled());
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM kestrum_trash"), "1");
}

class TrashWindowBase : public testing::Test {
protected:
    explicit TrashWindowBase(test::TEngine engine) : file(engine)
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (!file.Unavailable().empty())
            return;
        file.AddIncome(1000, "2006-07-01", "工资");
        file.AddIncome(30.25, "2006-07-15", "利息");
        file.AddExpense(12.5, "2006-07-02", "午饭");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([this](const std::exception &error) { loadErrors.push_back(error.what()); });
        data.AddLedgerChangedListener([this] { ++ledgerChanges; });
    }
    void SetUp() override { TLedgerFile::RequireLedger(file); }

    TLedgerFile file;
    TLedgerData data;
    TFakeShell shell;
    TForm1 window{data, shell};
    std::vector<std::string> loadErrors;
    int ledgerChanges = 0;
    Answers answers;
};

//! On a ledger file, for what reaches into the file itself.
class TrashWindowTest : public TrashWindowBase {
protected:
    TrashWindowTest() : TrashWindowBase(test::TEngine::File) {}
};

//! On a ledger file and on a ledger on a server.
class TrashWindowOnEnginesTest : public TrashWindowBase, public testing::WithParamInterface<test::TEngine> {
protected:
    TrashWindowOnEnginesTest() : TrashWindowBase(GetParam()) {}
};

TEST_F(TrashWindowTest, ARestoredEntryIsBackOnItsPageAndTheStatisticsHearOfIt)
{
    // Start-up gave the older file its trash: the table, its index, and
    // four triggers per table (deleted, inserted again, replaced by an
    // insert and by a changed key).
    EXPECT_TRUE(loadErrors.empty());
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM sqlite_master WHERE name LIKE 'kestrum_trash%'"), "10");
    TDbQuery &income = data.ADOQuery1;
    ASSERT_TRUE(income.Locate(utf8("进帐人"), Variant(utf8("利息"))));
    income.Delete();
    EXPECT_EQ(income.RecordCount(), 1);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM kestrum_trash"), "1");

    TTrashDialog dialog(data.ADOConnection1.Driver(), &window);
    ConnectTrashDialog(window, dialog);
    const int before = ledgerChanges;
    dialog.RestoreAllButton->click();
    EXPECT_TRUE(answers.Boxes.isEmpty());
    EXPECT_EQ(income.RecordCount(), 2);
    EXPECT_TRUE(income.Locate(utf8("进帐人"), Variant(utf8("利息"))));
    EXPECT_EQ(income.FieldByName(utf8("本次进帐"))->Value().toDouble(), 30.25);
    EXPECT_EQ(ledgerChanges, before + 1);
}

TEST_P(TrashWindowOnEnginesTest, AnEntryBeingEditedIsSettledFirstAndKeepingItStopsTheRestore)
{
    data.ADOQuery1.First();
    data.ADOQuery1.Delete();
    TDbQuery &expense = data.ADOQuery2;
    expense.Edit();
    expense.FieldByName(utf8("消费者"))->SetValue(Variant(utf8("晚饭")));

    TTrashDialog dialog(data.ADOConnection1.Driver(), &window);
    ConnectTrashDialog(window, dialog);
    answers.Queue = {2}; // 取消: keep editing
    dialog.RestoreAllButton->click();
    EXPECT_EQ(answers.Boxes, QStringList{utf8("正在录入的记录已修改，是否保存？")});
    EXPECT_EQ(expense.State(), dsEdit);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "1");
    EXPECT_EQ(dialog.ListView->model()->rowCount(), 1);

    answers.Queue = {0}; // 是: save it, then restore
    dialog.RestoreAllButton->click();
    EXPECT_EQ(expense.State(), dsBrowse);
    EXPECT_EQ(file.Scalar("SELECT 消费者 FROM expen"), "晚饭");
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM gain"), "2");
    EXPECT_EQ(data.ADOQuery1.RecordCount(), 2);
    EXPECT_EQ(dialog.ListView->model()->rowCount(), 0);
}

TEST_F(TrashWindowTest, RestoredEntriesComeBackAtTheirPlacesWithoutReadingThePagesAgain)
{
    TDbQuery &income = data.ADOQuery1;
    income.First();
    income.Delete(); // 工资, the first entry
    ASSERT_TRUE(income.Locate(utf8("进帐人"), Variant(utf8("利息"))));
    int pageReads = 0;
    sqlite3_trace_v2(
        data.ADOConnection1.Handle(), SQLITE_TRACE_STMT,
        [](unsigned, void *reads, void *statement, void *) {
            const char *sql = sqlite3_sql(static_cast<sqlite3_stmt *>(statement));
            if (sql && (QByteArray(sql) == "select * from gain" || QByteArray(sql) == "select * from expen"))
                ++*static_cast<int *>(reads);
            return 0;
        },
        &pageReads);
    TTrashDialog dialog(data.ADOConnection1.Driver(), &window);
    ConnectTrashDialog(window, dialog);
    dialog.RestoreAllButton->click();
    sqlite3_trace_v2(data.ADOConnection1.Handle(), 0, nullptr, nullptr);
    EXPECT_EQ(pageReads, 0);
    EXPECT_EQ(income.RecNo(), 2);
    EXPECT_EQ(income.FieldByName(utf8("进帐人"))->AsString(), utf8("利息"));
    income.First();
    EXPECT_EQ(income.FieldByName(utf8("进帐人"))->AsString(), utf8("工资"));
    EXPECT_EQ(income.RecordCount(), 2);
}

// An entry back from the trash stands where it was entered, on the page at
// once and when the page reads its entries again: a server, which keeps no
// order of its own, puts the row it got back after the others.
TEST_P(TrashWindowOnEnginesTest, ARestoredEntryStandsWhereItWasEnteredAlsoWhenReadAgain)
{
    TDbQuery &income = data.ADOQuery1;
    const auto items = [&income] {
        QStringList texts;
        for (income.First(); !income.Eof(); income.Next())
            texts << income.FieldByName(utf8("进帐人"))->AsString();
        return texts.join(',');
    };
    income.First();
    income.Delete(); // 工资, the first entry
    TTrashDialog dialog(data.ADOConnection1.Driver(), &window);
    ConnectTrashDialog(window, dialog);
    dialog.RestoreAllButton->click();
    EXPECT_TRUE(answers.Boxes.isEmpty()) << answers.Boxes.join('\n').toStdString();
    EXPECT_EQ(items(), utf8("工资,利息"));
    income.Refresh();
    EXPECT_EQ(items(), utf8("工资,利息"));
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM kestrum_trash"), "0");
}

INSTANTIATE_TEST_SUITE_P(Engines, TrashWindowOnEnginesTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum
