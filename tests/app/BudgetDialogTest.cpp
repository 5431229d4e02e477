// Budgets as the user meets them: amounts typed into the dialog's list with
// the calculator edit, the month's total, copying and clearing a month, each
// change undoable; the statistics page's budget chart and the expense page's
// line of this month's spending against its budget.
#include "app/BudgetDialog.h"
#include "LedgerFileFixture.h"
#include "app/BudgetChart.h"
#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "app/StatisticsPage.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "editors/CalcEdit.h"
#include "ledger/UndoHistory.h"
#include "support/HandleDriver.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/ImageList.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace kestrum {
namespace {

class BudgetDialogTest : public testing::TestWithParam<test::TEngine> {
protected:
    BudgetDialogTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (!file.Unavailable().empty())
            return;
        file.AddExpense(100, "2026-11-20", "餐饮");
        file.AddExpense(35.5, "2026-12-01", "餐饮");
        file.AddExpense(0.1, "2026-12-02", "餐饮");
        file.AddExpense(0.2, "2026-12-31", "餐饮");
        file.AddExpense(60, "2026-12-05", "交通");
        file.AddExpense(8, "2025-03-05", "书");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([this](const std::exception &error) { loadErrors.push_back(error.what()); });
    }
    void SetUp() override { TLedgerFile::RequireLedger(file); }
    TDbDriver &db() { return data.ADOConnection1.Driver(); }
    //! The dialog's rows as "item budget|actual|left", one line each.
    static QString rows(const TBudgetDialog &dialog)
    {
        QStringList lines;
        const QAbstractItemModel *model = dialog.ListView->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model->columnCount(); ++column)
                cells << model->index(row, column).data().toString();
            lines << cells.join('|');
        }
        return lines.join(QStringLiteral("; "));
    }
    //! Types an amount into a row's budget cell in place and presses Enter.
    static void typeBudget(TBudgetDialog &dialog, int row, const char *text)
    {
        const QModelIndex index = dialog.ListView->model()->index(row, TBudgetDialog::BudgetColumn);
        dialog.ListView->setCurrentIndex(index);
        dialog.ListView->edit(index);
        TkvCalcEdit *edit = nullptr;
        for (QWidget *child : dialog.ListView->findChildren<QWidget *>())
            if (auto *calc = dynamic_cast<TkvCalcEdit *>(child); calc && calc->isVisible())
                edit = calc;
        ASSERT_TRUE(edit) << "the budget cell is edited with the calculator edit";
        ASSERT_TRUE(edit->InnerWidget());
        QTest::keyClick(edit->InnerWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit->InnerWidget(), QString::fromUtf8(text));
        QTest::keyClick(edit->InnerWidget(), Qt::Key_Return);
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    test::OffscreenSizeHintsFilter sizeHints;
    TLedgerFile file{GetParam()};
    TLedgerData data;
    std::vector<std::string> loadErrors;
    TMessageBoxRecorder boxes;
};

TEST(BudgetAmountText, TypedAmountsReadToTheFenAndAnythingElseIsRefused)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const struct {
        const char *text;
        std::optional<TBudgetCents> fen;
    } accepted[] = {{"1500", 150000}, {"1,500.5", 150050}, {"￥12.34", 1234},
                    {" 0 ", 0},       {"", std::nullopt},  {"7.", 700}};
    for (const auto &[text, fen] : accepted)
        EXPECT_EQ(ParseBudgetAmount(utf8(text)), fen) << text;
    for (const char *text : {"-5", "1.234", "abc", "1e3", "12,5.5.5"})
        EXPECT_THROW(ParseBudgetAmount(utf8(text)), EBudgetRefused) << text;
    EXPECT_EQ(BudgetMoneyText(150050), utf8("￥1,500.50"));
}

TEST_P(BudgetDialogTest, ABudgetTypedInPlaceIsStoredAndUndoneAsOneAction)
{
    ASSERT_TRUE(loadErrors.empty());
    TBudgetDialog dialog(db(), {2026, 12});
    int changes = 0;
    dialog.Model().OnChanged = [&changes] { ++changes; };
    dialog.show();
    EXPECT_EQ(rows(dialog), utf8("书||￥0.00|; 交通||￥60.00|; 餐饮||￥35.80|"));
    EXPECT_EQ(dialog.SummaryLabel->text(), utf8("本月还没有预算"));

    typeBudget(dialog, 2, "30");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(rows(dialog), utf8("书||￥0.00|; 交通||￥60.00|; 餐饮|￥30.00|￥35.80|￥-5.80"));
    const QModelIndex over = dialog.ListView->model()->index(2, TBudgetDialog::LeftColumn);
    EXPECT_TRUE(over.data(Qt::ForegroundRole).isValid()) << "an item over its budget stands out";
    EXPECT_EQ(file.Row("SELECT month, item, amount FROM kestrum_budget"), "2026-12|餐饮|30.0");
    EXPECT_EQ(dialog.SummaryLabel->text(), utf8("本月预算 ￥30.00，已花 ￥35.80，超支 ￥5.80"));

    // A text that is no amount is refused and changes nothing.
    typeBudget(dialog, 1, "-");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM kestrum_budget"), "1");

    TUndoHistory history(db());
    ASSERT_TRUE(history.NextUndo());
    EXPECT_EQ(history.NextUndo()->Label, utf8("预算 餐饮 30"));
    history.Undo();
    dialog.Model().Reload();
    EXPECT_EQ(dialog.Model().Line(2).Budget, std::nullopt);
    history.Redo();
    dialog.Model().Reload();
    EXPECT_EQ(dialog.Model().Line(2).Budget, 3000);
}

TEST_P(BudgetDialogTest, TheTotalCopyAndClearWorkOnTheMonthChosen)
{
    TBudgetDialog dialog(db(), {2026, 11});
    dialog.show();
    dialog.TotalEdit->SetEditValue(Variant(5000.0));
    dialog.TotalClick();
    EXPECT_EQ(dialog.SummaryLabel->text(), utf8("本月预算 ￥5,000.00，已花 ￥100.00，还可花 ￥4,900.00"));

    dialog.MonthEdit->setDate(QDate(2026, 12, 1));
    EXPECT_EQ(dialog.Model().Month().Key(), "2026-12");
    EXPECT_EQ(dialog.SummaryLabel->text(), utf8("本月预算 ￥5,000.00，已花 ￥95.80，还可花 ￥4,904.20"))
        << "last month's budget carries over";
    dialog.ClearClick();
    EXPECT_EQ(dialog.SummaryLabel->text(), utf8("本月还没有预算"));
    dialog.CopyClick();
    EXPECT_EQ(dialog.TotalEdit->DisplayText(), QStringLiteral("5000"));

    // An item without entries yet gets a budget too.
    dialog.NewItemEdit->setText(utf8(" 旅游 "));
    dialog.NewItemAmountEdit->SetEditValue(Variant(300.0));
    dialog.NewItemClick();
    EXPECT_EQ(dialog.Model().Line(2).Item, utf8("旅游"));
    EXPECT_EQ(dialog.Model().Line(2).Budget, 30000);
    EXPECT_EQ(dialog.NewItemEdit->text(), "");

    // Income targets are a list of their own, without a total.
    dialog.KindCombo->setCurrentIndex(1);
    EXPECT_FALSE(dialog.TotalEdit->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.ListView->model()->headerData(1, Qt::Horizontal).toString(), utf8("本月目标"));
}

TEST_P(BudgetDialogTest, TheChartMarksItemsOverBudgetAndTellsWhatIsLeft)
{
    TBudgetBook book(db());
    book.SetBudget(TBudgetKind::Expense, utf8("餐饮"), {2026, 12}, 3000);
    book.SetBudget(TBudgetKind::Expense, utf8("交通"), {2026, 12}, 10000);

    TDbQuery query;
    query.SetConnection(&data.ADOConnection1);
    TStatisticsPage page(&query);
    page.ComboBox1->setCurrentText("2026");
    page.ComboBox2->setCurrentText("12");
    page.RefreshCharts();
    EXPECT_EQ(page.BudgetChart->BarsText(), utf8("餐饮 35.8/30!, 交通 60/100"));
    EXPECT_EQ(page.BudgetChart->FooterText(), utf8("本月还可花 ￥34.20"));
    EXPECT_FALSE(page.BudgetChart->FooterOver());

    book.SetBudget(TBudgetKind::Total, QString(), {2026, 12}, 9000);
    page.RefreshCharts();
    EXPECT_EQ(page.BudgetChart->FooterText(), utf8("本月超支 ￥5.80"));
    EXPECT_TRUE(page.BudgetChart->FooterOver());

    page.ComboBox2->setCurrentText("x");
    page.RefreshCharts();
    EXPECT_EQ(page.BudgetChart->BarsText(), "");
    page.ComboBox2->setCurrentText("1");
    page.RefreshCharts();
    EXPECT_EQ(page.BudgetChart->FooterText(), utf8("本月没有预算（录入 → 预算... 中设定）"));
}

TEST_P(BudgetDialogTest, TheExpensePageShowsThisMonthsSpendingAgainstItsBudget)
{
    TImageList images{16, 16};
    TEntryPage expense{ExpensePageDescription(), data.DataSource2, &images};
    expense.ShowBudgetLine(QDate(2026, 12, 10));
    EXPECT_TRUE(expense.BudgetLabel->isHidden()) << "no budget, no line";

    TBudgetBook(db()).SetBudget(TBudgetKind::Expense, utf8("餐饮"), {2026, 11}, 20000);
    expense.ShowBudgetLine(QDate(2026, 12, 10));
    EXPECT_FALSE(expense.BudgetLabel->isHidden());
    EXPECT_EQ(expense.BudgetLabel->text(), utf8("本月已花 ￥35.80 / 预算 ￥200.00，还可花 ￥164.20"));
    file.AddExpense(150, "2026-12-11", "交通"); // an item without a budget
    file.AddExpense(200, "2026-12-11", "餐饮");
    expense.ShowBudgetLine(QDate(2026, 12, 11));
    EXPECT_EQ(expense.BudgetLabel->text(), utf8("本月已花 ￥235.80 / 预算 ￥200.00，超支 ￥35.80"));
}

INSTANTIATE_TEST_SUITE_P(Engines, BudgetDialogTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum
