// The income and expense pages end to end on a real ledger file: entries
// typed into the editors and saved, cancelled, edited from the grid and
// deleted; one month shown; failures reported; the question about an entry
// with changes before it would be lost.
#include "app/EntryPage.h"
#include "EntryGridProbe.h"
#include "LedgerFileFixture.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "db/DbQuery.h"
#include "editors/CalcEdit.h"
#include "editors/DateEdit.h"
#include "editors/DbTextEdit.h"
#include "grid/GridColumn.h"
#include "grid/GridStyles.h"
#include "grid/GridTableView.h"
#include "ledger/DatePeriods.h"
#include "navigator/Navigator.h"
#include "pages/PqGroupBox.h"
#include "support/FakeShell.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/ImageList.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <deque>

namespace kestrum {
namespace {

//! Answers every box with the next queued button (the default one when none
//! is queued) and records it as "caption|text".
class AnsweringBoxes {
public:
    AnsweringBoxes()
    {
        FPrevious = SetMessageBoxHook([this](const TMessageBoxRequest &request) {
            Boxes << request.Caption + '|' + request.Text;
            if (Answers.empty())
                return 0;
            const int answer = Answers.front();
            Answers.pop_front();
            return answer;
        });
    }
    ~AnsweringBoxes() { SetMessageBoxHook(FPrevious); }

    QStringList Boxes;
    std::deque<int> Answers;

private:
    TMessageBoxHook FPrevious;
};

using test::OffscreenSizeHintsFilter;

//! Types into an editor the way the keyboard does (characters beyond ASCII
//! arrive as an input method delivers them: text without a key).
void Type(TkvCustomEdit &edit, const char *text)
{
    for (QChar ch : utf8(text)) {
        if (ch.unicode() < 128) {
            QTest::keyClick(edit.InnerWidget(), ch.toLatin1());
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(edit.InnerWidget(), &press);
        }
    }
}

//! Enters the editor, types and leaves it, as Tab would.
void Fill(TkvCustomEdit &edit, const char *text)
{
    edit.DoEnter();
    Type(edit, text);
    edit.DoExit();
}

class EntryPageTest : public testing::TestWithParam<test::TEngine> {
protected:
    EntryPageTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (!file.Unavailable().empty())
            return;
        file.AddIncome(1000, "2006-07-01", "工资");
        file.AddIncome(30.25, "2006-07-15", "利息");
        file.AddIncome(500, "2006-08-03", "奖金");
        file.AddIncome(80, "2007-07-09", "稿费");
        file.AddExpense(12.5, "2006-07-02", "午饭");
        file.AddExpense(300, "2006-07-20", "电费");
        file.AddExpense(45, "2006-09-01", "书");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        // As at start-up: the pages are bound before the record sets open.
        data.Loaded([this](const std::exception &error) { loadErrors.push_back(error.what()); });
        for (TEntryPage *page : {&income, &expense}) {
            page->resize(900, 500);
            page->show();
        }
    }

    static TDbQuery &query(TEntryPage &page) { return *page.DataSet(); }
    static int rows(TEntryPage &page) { return probe::GridRowCount(page); }
    static QString footer(TEntryPage &page) { return probe::GridFooter(page); }
    static void press(TEntryPage &page, TkvNavigatorButtonKind button)
    {
        page.Navigator->ClickButton(button);
    }
    static void showMonth(TEntryPage &page, const char *year, const char *month)
    {
        page.YearEdit->setText(year);
        page.MonthCombo->setCurrentText(month);
        QTest::mouseClick(page.ShowButton, Qt::LeftButton);
    }
    //! Clicks the item cell of a grid row.
    static void clickRow(TEntryPage &page, int rowIndex) { ASSERT_TRUE(probe::ClickGridRow(page, rowIndex)); }
    void SetUp() override { TLedgerFile::RequireLedger(file); }

    std::string stored(const std::string &sql) const { return file.Scalar(sql); }
    //! A trigger that refuses every `event` (INSERT, UPDATE) on `table` with `message`.
    void refuse(const char *event, const char *table, const char *message) const
    {
        if (file.OnServer())
            file.Exec(std::string("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                  "RAISE EXCEPTION '") +
                      message + "'; END $$; CREATE TRIGGER refuse BEFORE " + event + " ON " + table +
                      " FOR EACH ROW EXECUTE FUNCTION refuse()");
        else
            file.Exec(std::string("CREATE TRIGGER refuse BEFORE ") + event + " ON " + table +
                      " BEGIN SELECT RAISE(ABORT, '" + message + "'); END");
    }

    OffscreenSizeHintsFilter sizeHints;
    TLedgerFile file{GetParam()};
    TLedgerData data;
    TImageList images{16, 16};
    TEntryPage income{IncomePageDescription(), data.DataSource1, &images};
    TEntryPage expense{ExpensePageDescription(), data.DataSource2, &images};
    std::vector<std::string> loadErrors;
    AnsweringBoxes boxes;
};

TEST_P(EntryPageTest, PagesAreLaidOutAndConfiguredAsTheWindowStoresThem)
{
    ASSERT_TRUE(loadErrors.empty());
    EXPECT_EQ(income.EntryBox->Caption(), utf8("录入进帐项目"));
    EXPECT_EQ(expense.ListBox->Caption(), utf8("消费明细表"));
    EXPECT_EQ(income.EntryBox->height(), 193);
    EXPECT_EQ(income.ListBox->y(), 193 + 3);
    EXPECT_EQ(income.AmountEdit->geometry(), QRect(88, 20, 121, 21));
    EXPECT_EQ(income.RemarkMemo->geometry(), QRect(88, 96, 705, 49));
    // The bar trims its width to whole buttons.
    EXPECT_EQ(expense.Navigator->geometry().topLeft(), QPoint(608, 152));
    EXPECT_EQ(expense.Navigator->height(), 25);
    EXPECT_GT(expense.Navigator->width(), income.Navigator->width());
    EXPECT_LE(income.Navigator->width(), 178);
    EXPECT_EQ(expense.ItemLabel->text(), utf8("消费项："));
    EXPECT_EQ(expense.NoteLabel->pos(), QPoint(360, 160));
    EXPECT_EQ(income.YearEdit->text(), "2006");
    EXPECT_EQ(income.MonthCombo->count(), 12);
    EXPECT_EQ(income.MonthCombo->itemText(11), "12");
    // Screen readers name the month picker though its labels stand to its right.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(income.YearEdit)->text(QAccessible::Name),
              utf8("显示的年份"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(expense.MonthCombo->lineEdit())->text(QAccessible::Name),
              utf8("显示的月份"));
    EXPECT_EQ(income.findChild<QWidget *>("kvDBDateEdit1"), income.DateEdit);

    // Four visible buttons with the page's hints; cancel takes the window's image 4.
    QStringList visible;
    TkvDBNavigatorButtons &buttons = income.Navigator->Buttons();
    for (int index = 0; index < buttons.ButtonCount(); ++index)
        if (buttons.Button(index).Visible())
            visible << buttons.Button(index).EffectiveHint();
    EXPECT_EQ(visible.join('|'), utf8("添加|Delete record|保存|取消"));
    EXPECT_EQ(buttons.Cancel().ImageIndex(), 4);
    EXPECT_TRUE(buttons.ConfirmDelete());

    // Columns: amount and date keep their field's caption, the item column is renamed.
    const QStringList columns = probe::GridColumns(expense).split('|');
    ASSERT_EQ(columns.size(), 4);
    EXPECT_TRUE(columns[1] == utf8("消费项:129")) << columns.join(' ').toStdString();
    EXPECT_TRUE(columns[0].startsWith(utf8("消费金额:"))) << columns.join(' ').toStdString();
    EXPECT_TRUE(columns[3] == utf8("备注:500")) << columns.join(' ').toStdString();
    EXPECT_TRUE(probe::GridFooterShown(expense));
    EXPECT_EQ(rows(income), 4);
    EXPECT_EQ(footer(income), "1610.25");
}

TEST_P(EntryPageTest, IncomeEntryTypedAndSavedReachesTheTableAndTheFooter)
{
    press(income, nbInsert);
    ASSERT_EQ(query(income).State(), dsInsert);
    EXPECT_EQ(rows(income), 5); // the new row is in the grid already
    EXPECT_TRUE(income.AmountEdit->DisplayText().isEmpty());
    Fill(*income.DateEdit, "2006-7-20");
    Fill(*income.AmountEdit, "250.5");
    Fill(*income.ItemEdit, "兼职");
    income.RemarkMemo->DoEnter();
    Type(*income.RemarkMemo, "周末"); // left pending: the save collects it
    press(income, nbPost);

    EXPECT_EQ(query(income).State(), dsBrowse);
    EXPECT_EQ(file.Row("SELECT 本次进帐, date(进帐时间), 进帐人, 备注 FROM gain WHERE 进帐人 = '兼职'"),
              "250.5|2006-07-20|兼职|周末");
    EXPECT_EQ(rows(income), 5);
    EXPECT_EQ(footer(income), "1860.75");
    EXPECT_EQ(query(income).FieldByName(utf8("进帐人"))->AsString(),
              utf8("兼职")); // the new entry stays current
    EXPECT_TRUE(boxes.Boxes.isEmpty()) << boxes.Boxes.join('\n').toStdString();
}

TEST_P(EntryPageTest, ExpenseEntryTypedAndSavedReachesTheTable)
{
    press(expense, nbInsert);
    Fill(*expense.AmountEdit, "8");
    Fill(*expense.DateEdit, "2006-9-3");
    Fill(*expense.ItemEdit, "车费");
    Fill(*expense.RemarkMemo, "公交");
    press(expense, nbPost);
    EXPECT_EQ(file.Row("SELECT 消费金额, date(消费日期), 消费者, 备注 FROM expen WHERE 消费者 = '车费'"),
              "8.0|2006-09-03|车费|公交");
    EXPECT_EQ(stored("SELECT count(*) FROM expen"), "4");
    EXPECT_EQ(footer(expense), "365.50");
}

TEST_P(EntryPageTest, CancelDropsTheNewEntry)
{
    press(income, nbInsert);
    Fill(*income.AmountEdit, "99");
    Fill(*income.ItemEdit, "x");
    press(income, nbCancel);
    EXPECT_EQ(query(income).State(), dsBrowse);
    EXPECT_EQ(rows(income), 4);
    EXPECT_EQ(stored("SELECT count(*) FROM gain"), "4");
    EXPECT_EQ(footer(income), "1610.25");
}

TEST_P(EntryPageTest, ClickingARowShowsItAndTypingEditsIt)
{
    const int wanted = 1;
    clickRow(income, wanted);
    EXPECT_EQ(probe::GridFocusedRow(income), wanted);
    const QString item = query(income).FieldByName(utf8("进帐人"))->AsString();
    EXPECT_EQ(income.ItemEdit->DisplayText(), item);
    income.AmountEdit->DoEnter();
    income.AmountEdit->SelectAll();
    Type(*income.AmountEdit, "42");
    EXPECT_EQ(query(income).State(), dsEdit); // typing edits the shown entry, not a new one
    income.AmountEdit->DoExit();
    press(income, nbPost);
    EXPECT_EQ(stored("SELECT 本次进帐 FROM gain WHERE 进帐人 = '" + item.toStdString() + "'"), "42.0");
    EXPECT_EQ(stored("SELECT count(*) FROM gain"), "4");
    EXPECT_EQ(rows(income), 4);
}

TEST_P(EntryPageTest, DeleteAsksAndDeletesOnlyOnOk)
{
    clickRow(expense, 0);
    const std::string item = query(expense).FieldByName(utf8("消费者"))->AsString().toStdString();
    boxes.Answers = {1}; // Cancel
    press(expense, nbDelete);
    EXPECT_EQ(boxes.Boxes.join('\n'), "Confirm|Delete record?");
    EXPECT_EQ(stored("SELECT count(*) FROM expen WHERE 消费者 = '" + item + "'"), "1");
    EXPECT_EQ(rows(expense), 3);

    boxes.Answers = {0}; // OK
    press(expense, nbDelete);
    EXPECT_EQ(stored("SELECT count(*) FROM expen WHERE 消费者 = '" + item + "'"), "0");
    EXPECT_EQ(rows(expense), 2);
    EXPECT_EQ(stored("SELECT count(*) FROM expen"), "2");
}

TEST_P(EntryPageTest, DeleteKeyInTheGridAsksTheGridsQuestionOnce)
{
    // The grid's own navigator buttons do not ask as well: the layout stores ConfirmDelete false.
    EXPECT_FALSE(probe::GridNavigatorConfirmsDelete(income));
    clickRow(income, 1);
    const std::string item = query(income).FieldByName(utf8("进帐人"))->AsString().toStdString();
    boxes.Answers = {1}; // Cancel
    probe::PressGridKey(income, Qt::Key_Delete);
    EXPECT_EQ(boxes.Boxes.join('\n'), utf8("确定|删除纪录?"));
    EXPECT_EQ(rows(income), 4);

    boxes.Boxes.clear();
    boxes.Answers = {0}; // OK
    probe::PressGridKey(income, Qt::Key_Delete);
    EXPECT_EQ(boxes.Boxes.join('\n'), utf8("确定|删除纪录?"));
    EXPECT_EQ(stored("SELECT count(*) FROM gain WHERE 进帐人 = '" + item + "'"), "0");
    EXPECT_EQ(rows(income), 3);
    EXPECT_EQ(stored("SELECT count(*) FROM gain"), "3");
}

// With a filter on, the editors and − acted on the entry the filter hides.
TEST_P(EntryPageTest, AnEntryTheFilterHidesIsNeitherShownNorEditedNorDeleted)
{
    clickRow(income, 0);
    ASSERT_EQ(query(income).FieldByName(utf8("进帐人"))->AsString(), utf8("工资"));
    probe::FilterGridItem(income, utf8("利息"));
    ASSERT_EQ(rows(income), 1);
    ASSERT_EQ(probe::GridFocusedRow(income), -1); // the record set still stands on 工资
    EXPECT_EQ(income.ItemEdit->DisplayText(), QString());
    EXPECT_EQ(income.AmountEdit->DisplayText(), QString());
    EXPECT_FALSE(income.Navigator->ButtonShownEnabled(nbDelete));
    EXPECT_TRUE(income.Navigator->ButtonShownEnabled(nbInsert));

    boxes.Answers = {0}; // OK, were it asked
    press(income, nbDelete);
    EXPECT_EQ(stored("SELECT count(*) FROM gain"), "4");
    Fill(*income.ItemEdit, "x");
    Fill(*income.AmountEdit, "1");
    EXPECT_EQ(query(income).State(), dsBrowse);
    press(income, nbPost);
    EXPECT_EQ(file.Row("SELECT 本次进帐, 进帐人 FROM gain WHERE id = 1"), "1000.0|工资");

    // The row the user can see is the one they act on.
    clickRow(income, 0);
    EXPECT_EQ(income.ItemEdit->DisplayText(), utf8("利息"));
    EXPECT_TRUE(income.Navigator->ButtonShownEnabled(nbDelete));
    boxes.Answers = {0};
    press(income, nbDelete);
    EXPECT_EQ(stored("SELECT count(*) FROM gain WHERE 进帐人 = '利息'"), "0");
    EXPECT_EQ(stored("SELECT count(*) FROM gain WHERE 进帐人 = '工资'"), "1");

    // A new entry is shown and saved as ever; the filter off shows the hidden entry again.
    press(income, nbInsert);
    Fill(*income.AmountEdit, "5");
    Fill(*income.ItemEdit, "利息");
    press(income, nbPost);
    EXPECT_EQ(stored("SELECT count(*) FROM gain WHERE 进帐人 = '利息'"), "1");
}

TEST_P(EntryPageTest, ShowButtonListsOneMonthWithItsTotal)
{
    showMonth(income, "2006", "7");
    const std::string july = " >= '2006-07-01' AND %1 < '2006-08-01'";
    auto inJuly = [&july](const char *column) {
        return column + QString::fromStdString(july).arg(column).toStdString();
    };
    auto total = [this](const std::string &sum) {
        return QString::number(std::stod(stored(sum)), 'f', 2).toStdString();
    };
    EXPECT_EQ(std::to_string(rows(income)), stored("SELECT count(*) FROM gain WHERE " + inJuly("进帐时间")));
    EXPECT_EQ(footer(income).toStdString(),
              total("SELECT sum(本次进帐) FROM gain WHERE " + inJuly("进帐时间")));
    // The month statement, in the form that reads the date index (a file's
    // slice of it; a server's reads it as written).
    const QString month = utf8(IncomePageDescription().MonthStatement);
    EXPECT_EQ(query(income).SQLText(), file.OnServer()
                                           ? month.trimmed() + " order by id"
                                           : MonthListStatement(month, {{"b", "2006"}, {"c", "7"}}));

    showMonth(expense, "2006", "7");
    EXPECT_EQ(rows(expense), 2);
    EXPECT_EQ(footer(expense).toStdString(),
              total("SELECT sum(消费金额) FROM expen WHERE " + inJuly("消费日期")));
    EXPECT_TRUE(boxes.Boxes.isEmpty()) << boxes.Boxes.join('\n').toStdString();
}

// Guards the footer total of a large ledger: a ten-digit sum was drawn cut
// short ("5004650…") in the amount column's stored width.
TEST_P(EntryPageTest, ATotalWiderThanTheAmountColumnWidensItAndShowsWhole)
{
    const int storedWidth = income.Columns[0]->Width();
    file.Scalar("UPDATE gain SET 本次进帐 = 5004649502.18 WHERE 进帐人 = '工资'");
    showMonth(income, "2006", "7");
    ASSERT_EQ(footer(income), "5004649532.43");
    const auto &cell = income.View->ViewInfo().FooterCells().at(0);
    const QFont font =
        income.View->Styles().Resolve(income.Columns[0]->Styles().Footer, TkvGridStyleSlot::Footer).Font;
    EXPECT_GT(income.Columns[0]->Width(), storedWidth);
    EXPECT_GE(cell.Bounds.width(), QFontMetrics(font).horizontalAdvance(cell.Text) + 4);
    // A small total again keeps the wider column: nothing jumps back and forth.
    const int widened = income.Columns[0]->Width();
    showMonth(income, "2006", "8");
    EXPECT_EQ(footer(income), "500.00");
    EXPECT_EQ(income.Columns[0]->Width(), widened);
}

TEST_P(EntryPageTest, MonthWithoutEntriesShowsAnEmptyGridAndFooter)
{
    showMonth(income, "2006", "12");
    EXPECT_TRUE(query(income).Active());
    EXPECT_EQ(rows(income), 0);
    EXPECT_EQ(footer(income), "");
    EXPECT_FALSE(income.Navigator->Buttons().IsButtonEnabled(nbDelete));
    EXPECT_TRUE(income.Navigator->Buttons().IsButtonEnabled(nbInsert));
}

TEST_P(EntryPageTest, EntrySavedOutsideTheShownMonthLeavesTheListButIsStored)
{
    showMonth(income, "2006", "7");
    ASSERT_EQ(rows(income), 2);
    press(income, nbInsert);
    Fill(*income.AmountEdit, "7");
    Fill(*income.DateEdit, "2006-8-9");
    Fill(*income.ItemEdit, "退款");
    press(income, nbPost);
    EXPECT_EQ(rows(income), 2);
    EXPECT_EQ(footer(income), "1030.25");
    EXPECT_EQ(stored("SELECT date(进帐时间) FROM gain WHERE 进帐人 = '退款'"), "2006-08-09");
}

TEST_P(EntryPageTest, FailingMonthStatementLeavesThePageClosedWithTheErrorBox)
{
    file.Scalar("ALTER TABLE gain RENAME TO old_gain");
    showMonth(income, "2006", "7");
    ASSERT_EQ(boxes.Boxes.size(), 1);
    EXPECT_TRUE(boxes.Boxes[0].startsWith(ApplicationTitle() + "|")) << boxes.Boxes[0].toStdString();
    EXPECT_FALSE(query(income).Active());
    EXPECT_EQ(rows(income), 0);
    EXPECT_TRUE(income.ItemEdit->DisplayText().isEmpty());
    EXPECT_FALSE(income.Navigator->Buttons().IsButtonEnabled(nbInsert));
}

TEST_P(EntryPageTest, RefusedSaveIsReportedAndKeepsTheEntry)
{
    refuse("INSERT", "expen", "disk full");
    press(expense, nbInsert);
    Fill(*expense.AmountEdit, "5");
    Fill(*expense.ItemEdit, "茶");
    press(expense, nbPost);
    ASSERT_EQ(boxes.Boxes.size(), 1);
    EXPECT_TRUE(boxes.Boxes[0].contains("disk full")) << boxes.Boxes[0].toStdString();
    EXPECT_EQ(query(expense).State(), dsInsert);
    EXPECT_EQ(expense.ItemEdit->DisplayText(), utf8("茶"));
    EXPECT_EQ(stored("SELECT count(*) FROM expen"), "3");
}

//! The first widget that Tab reaches inside a page, following the focus chain.
QWidget *firstTabStop(QWidget *page)
{
    for (QWidget *widget = page->nextInFocusChain(); widget != page; widget = widget->nextInFocusChain())
        if (page->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() &&
            widget->isVisibleTo(page))
            return widget;
    return nullptr;
}

TEST_P(EntryPageTest, FirstTabStopIsTheDateOnIncomeAndTheAmountOnExpense)
{
    QWidget *incomeFirst = firstTabStop(&income);
    QWidget *expenseFirst = firstTabStop(&expense);
    ASSERT_NE(incomeFirst, nullptr);
    ASSERT_NE(expenseFirst, nullptr);
    EXPECT_TRUE(incomeFirst == income.DateEdit || income.DateEdit->isAncestorOf(incomeFirst))
        << incomeFirst->metaObject()->className();
    EXPECT_TRUE(expenseFirst == expense.AmountEdit || expense.AmountEdit->isAncestorOf(expenseFirst))
        << expenseFirst->metaObject()->className();
}

// Pressing the show button used to drop an entry with changes without a word.
TEST_P(EntryPageTest, ShowButtonAsksAboutAnEntryWithChanges)
{
    auto begin = [this](const char *item) {
        press(income, nbInsert);
        Fill(*income.AmountEdit, "1");
        Fill(*income.DateEdit, "2006-7-3");
        income.ItemEdit->DoEnter();
        Type(*income.ItemEdit, item); // still in the editor
    };
    begin("甲");
    boxes.Answers = {2}; // Cancel: nothing changes
    showMonth(income, "2006", "7");
    ASSERT_EQ(boxes.Boxes.size(), 1);
    EXPECT_TRUE(boxes.Boxes[0].startsWith(ApplicationTitle() + "|"));
    EXPECT_EQ(query(income).State(), dsInsert);
    EXPECT_EQ(query(income).SQLText(),
              file.OnServer() ? "select * from gain order by id" : "select * from gain");
    EXPECT_EQ(income.ItemEdit->DisplayText(), utf8("甲"));

    boxes.Answers = {1}; // No: discard, then show
    showMonth(income, "2006", "7");
    EXPECT_EQ(rows(income), 2);
    EXPECT_EQ(stored("SELECT count(*) FROM gain"), "4");

    begin("乙");
    boxes.Answers = {0}; // Yes: save, then show
    showMonth(income, "2006", "7");
    EXPECT_EQ(boxes.Boxes.size(), 3);
    EXPECT_EQ(stored("SELECT count(*) FROM gain WHERE 进帐人 = '乙'"), "1");
    EXPECT_EQ(rows(income), 3);

    // An added entry without changes is dropped without a question.
    press(income, nbInsert);
    showMonth(income, "2006", "8");
    EXPECT_EQ(boxes.Boxes.size(), 3);
    EXPECT_EQ(rows(income), 1);
}

TEST_P(EntryPageTest, RefusedSaveFromTheQuestionStays)
{
    refuse("UPDATE", "gain", "locked");
    clickRow(income, 0);
    Fill(*income.ItemEdit, "改");
    boxes.Answers = {0};
    showMonth(income, "2006", "7");
    ASSERT_EQ(boxes.Boxes.size(), 2);
    EXPECT_TRUE(boxes.Boxes[1].contains("locked"));
    EXPECT_EQ(query(income).State(), dsEdit);
    EXPECT_EQ(query(income).SQLText(),
              file.OnServer() ? "select * from gain order by id" : "select * from gain");
}

// Clicking another row saves the entry being edited first. When that entry
// left the month shown, the row clicked must be the one focused and shown in
// the editors, not the row that moved up into its place.
TEST_P(EntryPageTest, ClickedRowIsFocusedAfterTheEditedEntryLeavesTheMonth)
{
    file.AddIncome(61, "2006-07-21", "甲");
    file.AddIncome(62, "2006-07-22", "乙");
    showMonth(income, "2006", "7");
    ASSERT_EQ(rows(income), 4); // 工资, 利息, 甲, 乙
    clickRow(income, 0);
    Fill(*income.DateEdit, "2006-8-1"); // 工资 leaves July
    ASSERT_EQ(query(income).State(), dsEdit);
    clickRow(income, 2); // 甲
    EXPECT_EQ(query(income).State(), dsBrowse);
    EXPECT_EQ(stored("SELECT date(进帐时间) FROM gain WHERE 进帐人 = '工资'"), "2006-08-01");
    EXPECT_EQ(rows(income), 3);
    EXPECT_EQ(query(income).FieldByName(utf8("进帐人"))->AsString(), utf8("甲"));
    EXPECT_EQ(income.ItemEdit->DisplayText(), utf8("甲"));
    EXPECT_EQ(probe::GridFocusedRow(income), 1);
    EXPECT_TRUE(boxes.Boxes.isEmpty()) << boxes.Boxes.join('\n').toStdString();
}

// The list could not be read again after a save that went through: the user
// must hear that the entry is saved, or they enter it a second time.
TEST_P(EntryPageTest, ListNotRefreshedAfterASaveSaysTheEntryIsSaved)
{
    showMonth(income, "2006", "7");
    clickRow(income, 1);
    Fill(*income.DateEdit, "2006-9-9"); // leaves July: the month's statement runs again
    data.ADOConnection1.OnWriteStep = [this](TDbWriteStep step) {
        if (step == TDbWriteStep::Committed) // another program takes the table away
            file.Scalar("ALTER TABLE gain RENAME TO gain_moved");
    };
    press(income, nbPost);
    data.ADOConnection1.OnWriteStep = nullptr;
    ASSERT_EQ(boxes.Boxes.size(), 1);
    EXPECT_TRUE(boxes.Boxes[0].startsWith(ApplicationTitle() + utf8("|记录已保存，但列表未能刷新：")))
        << boxes.Boxes[0].toStdString();
    EXPECT_EQ(query(income).State(), dsBrowse);
    EXPECT_EQ(stored("SELECT count(*) FROM gain_moved WHERE date(进帐时间) = '2006-09-09'"), "1");
    EXPECT_EQ(stored("SELECT count(*) FROM gain_moved"), "4");
}

// A save that keeps the entry in the rows shown updates that row alone: the
// statement does not run again (a row another program added meanwhile stays
// unseen until the list is shown again).
TEST_P(EntryPageTest, SavingAnEntryDoesNotRunTheStatementAgain)
{
    file.AddIncome(5, "2006-07-30", "外来");
    clickRow(income, 1);
    income.AmountEdit->DoEnter();
    income.AmountEdit->SelectAll();
    Type(*income.AmountEdit, "31");
    income.AmountEdit->DoExit();
    press(income, nbPost);
    EXPECT_EQ(stored("SELECT 本次进帐 FROM gain WHERE 进帐人 = '利息'"), "31.0");
    EXPECT_EQ(rows(income), 4);
    EXPECT_EQ(footer(income), "1611.00");
    EXPECT_EQ(probe::GridFocusedRow(income), 1);

    // Deleting and cancelling do not either.
    press(income, nbInsert);
    Fill(*income.AmountEdit, "8");
    press(income, nbCancel);
    EXPECT_EQ(rows(income), 4);
    boxes.Answers = {0};
    press(income, nbDelete);
    EXPECT_EQ(rows(income), 3);
    EXPECT_EQ(footer(income), "1580.00");
    EXPECT_EQ(stored("SELECT count(*) FROM gain"), "4");
}

// The list shows the entries in the order they were entered, also when it
// reads them again after another program changed one: a server returns a
// changed row after the others unless the statement says the order.
TEST_P(EntryPageTest, EntriesStayInTheOrderEnteredAfterAnotherProgramChangesOne)
{
    const auto items = [this] {
        QStringList texts;
        TDbQuery &q = query(income);
        for (q.First(); !q.Eof(); q.Next())
            texts << q.FieldByName(utf8("进帐人"))->AsString();
        return texts.join(',');
    };
    const QString entered = utf8("工资,利息,奖金,稿费");
    ASSERT_EQ(items(), entered);
    file.Exec("UPDATE gain SET 备注 = '改过' WHERE 进帐人 = '工资'");
    file.Exec("UPDATE gain SET 本次进帐 = 31 WHERE 进帐人 = '利息'");
    query(income).Refresh();
    EXPECT_EQ(items(), entered);
    EXPECT_EQ(footer(income), "1611.00");

    showMonth(income, "2006", "7");
    file.Exec("UPDATE gain SET 备注 = '又改过' WHERE 进帐人 = '工资'");
    query(income).Refresh();
    EXPECT_EQ(items(), utf8("工资,利息"));
    EXPECT_TRUE(boxes.Boxes.isEmpty()) << boxes.Boxes.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, EntryPageTest, test::BothEngines(), test::EngineName);

class ClosingWindowTest : public testing::TestWithParam<test::TEngine> {
protected:
    ClosingWindowTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (!file.Unavailable().empty())
            return;
        file.AddExpense(12.5, "2006-07-02", "午饭");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([](const std::exception &) {});
        expense = static_cast<TEntryPage *>(window.ExpensePage);
    }

    void beginExpense()
    {
        expense->Navigator->ClickButton(nbInsert);
        Fill(*expense->AmountEdit, "3");
        Fill(*expense->ItemEdit, "面包");
    }

    void SetUp() override { TLedgerFile::RequireLedger(file); }

    TLedgerFile file{GetParam()};
    TLedgerData data;
    TFakeShell shell;
    TForm1 window{data, shell};
    TEntryPage *expense = nullptr;
    AnsweringBoxes boxes;
};

// Closing the window used to drop an entry with changes without a word.
TEST_P(ClosingWindowTest, CloseAsksAboutAnEntryWithChanges)
{
    ASSERT_NE(expense, nullptr);
    EXPECT_EQ(window.ComboBox4, expense->MonthCombo);
    beginExpense();
    boxes.Answers = {2};
    EXPECT_FALSE(window.close());
    EXPECT_EQ(boxes.Boxes.size(), 1);
    EXPECT_EQ(data.ADOQuery2.State(), dsInsert);
    EXPECT_TRUE(shell.Requests().isEmpty()); // the close did not happen, so no page was opened

    boxes.Answers = {0, 0};
    EXPECT_TRUE(window.close());
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM expen WHERE 消费者 = '面包'"), "1");
}

TEST_P(ClosingWindowTest, NoDiscardsAndCloses)
{
    beginExpense();
    boxes.Answers = {1};
    EXPECT_TRUE(window.close());
    EXPECT_EQ(data.ADOQuery2.State(), dsBrowse);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM expen"), "1");
}

INSTANTIATE_TEST_SUITE_P(Engines, ClosingWindowTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum
