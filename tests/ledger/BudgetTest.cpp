// Monthly budgets on real ledger files: what a month has spent against its
// budgets to the fen, budgets carried to later months until changed, copying
// and clearing a month, undo and redo of budget changes, and older files.
#include "JournalTestSupport.h"
#include "LedgerEngines.h"
#include "support/HandleDriver.h"

#include "db/JetFunctions.h"
#include "ledger/Budget.h"
#include "ledger/Trash.h"
#include "ledger/UndoHistory.h"

#include <QTemporaryDir>

#include <sys/stat.h>

namespace kestrum {
namespace {

using namespace journaltest;
using test::EngineName;
using test::TEngine;

QString U(const char *text)
{
    return QString::fromUtf8(text);
}

//! The lines of an overview as "item budget/actual" (budget "-" when none).
std::string Lines(const TBudgetOverview &overview)
{
    std::string text;
    for (const TBudgetLine &line : overview.Lines) {
        if (!text.empty())
            text += ", ";
        text += (line.Item.isEmpty() ? std::string("?") : line.Item.toStdString()) + " " +
                (line.Budget ? BudgetAmountText(*line.Budget).toStdString() : std::string("-")) + "/" +
                BudgetAmountText(line.Actual).toStdString();
    }
    return text;
}

std::string Amount(std::optional<TBudgetCents> amount)
{
    return amount ? BudgetAmountText(*amount).toStdString() : std::string("-");
}

//! Files made by older versions, beside a ledger of their own.
class Budgets : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    QTemporaryDir FDir;
};

//! Budgets on either engine.
class BudgetsOnEngine : public test::LedgerOnEngine {
protected:
    void Expense(const std::string &amount, const char *item, const char *date)
    {
        Exec("INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (" + amount + ", '" + date + "', '" +
             item + "')");
    }
    std::string Label(const std::optional<TUndoAction> &action)
    {
        return action ? action->Label.toStdString() : std::string("<none>");
    }
};
KESTRUM_ON_BOTH_ENGINES(BudgetsOnEngine);

TEST_P(BudgetsOnEngine, AMonthsSpendingIsExactToTheFenAndOnlyItsOwnDays)
{
    // A thousand entries of 0.1 add up to exactly 100, not 99.9999999.
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
         "INSERT INTO expen (消费金额, 消费日期, 消费者) SELECT 0.1, '2026-03-15 12:00:00', '餐饮' FROM n");
    Expense("35.5", " 餐饮 ", "2026-03-31 23:59:59"); // spaces around an item do not make another one
    Expense("-20", "服装", "2026-03-02");             // a refund counts against its item
    Expense("200", "服装", "2026-03-01 00:00:00");
    Expense("15.25", "", "2026-03-10");
    Expense("999", "餐饮", "2026-02-28 23:59:59"); // the months around it are not counted
    Expense("999", "餐饮", "2026-04-01");
    TBudgetBook book(Db());
    book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 3}, 12000);
    book.SetBudget(TBudgetKind::Expense, U("交通"), {2026, 3}, 30000);

    const TBudgetOverview march = book.Overview({2026, 3});
    EXPECT_EQ(Lines(march), "? -/15.25, 交通 300/0, 服装 -/180, 餐饮 120/135.5");
    EXPECT_EQ(march.Actual, 33075);
    const TBudgetLine *food = march.Line(U("餐饮"));
    ASSERT_TRUE(food);
    EXPECT_TRUE(food->Over());
    EXPECT_EQ(food->Left(), -1550);
    EXPECT_FALSE(march.Line(U("交通"))->Over());
    // Without a total, the month's budget is its items' budgets together,
    // against what those items spent.
    EXPECT_EQ(Amount(march.Budget()), "420");
    EXPECT_EQ(march.Spent(), 13550);
    EXPECT_EQ(march.Left(), 42000 - 13550);

    book.SetBudget(TBudgetKind::Total, QString(), {2026, 3}, 30000);
    const TBudgetOverview withTotal = book.Overview({2026, 3});
    EXPECT_EQ(Amount(withTotal.TotalBudget), "300");
    EXPECT_EQ(withTotal.Spent(), 33075);
    EXPECT_EQ(withTotal.Left(), -3075);
    EXPECT_TRUE(withTotal.Over());
    // The total is no item of the page.
    EXPECT_EQ(withTotal.Line(QString())->Budget, std::nullopt);

    // A month without entries or budgets has nothing; items the ledger knows
    // are listed for choosing budgets.
    const TBudgetOverview empty = book.Overview({2025, 1});
    EXPECT_EQ(Lines(empty), "");
    EXPECT_EQ(empty.Budget(), std::nullopt);
    EXPECT_EQ(Lines(book.Overview({2025, 1}, TBudgetKind::Expense, book.ItemsOf(TBudgetKind::Expense))),
              "? -/0, 服装 -/0, 餐饮 -/0");
}

TEST_P(BudgetsOnEngine, IncomeTargetsAreKeptApartFromExpenseBudgets)
{
    Exec("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (8600, '2026-05-05', '工资')");
    Expense("50", "工资", "2026-05-06");
    TBudgetBook book(Db());
    book.SetBudget(TBudgetKind::Income, U("工资"), {2026, 5}, 900000);
    EXPECT_EQ(Lines(book.Overview({2026, 5}, TBudgetKind::Income)), "工资 9000/8600");
    EXPECT_EQ(Lines(book.Overview({2026, 5})), "工资 -/50");
}

TEST_P(BudgetsOnEngine, ABudgetCarriesOverToLaterMonthsUntilItIsChanged)
{
    TBudgetBook book(Db());
    const QString food = U("餐饮");
    book.SetBudget(TBudgetKind::Expense, food, {2026, 3}, 150000);
    book.SetBudget(TBudgetKind::Expense, food, {2026, 6}, 200000);
    book.SetBudget(TBudgetKind::Expense, food, {2026, 9}, std::nullopt);
    std::string months;
    for (TBudgetMonth month{2026, 1}; month <= TBudgetMonth{2027, 2}; month = month.Next())
        months += Amount(book.BudgetOf(TBudgetKind::Expense, food, month)) + " ";
    EXPECT_EQ(months, "- - 1500 1500 1500 2000 2000 2000 - - - - - - ");
    EXPECT_EQ(Amount(book.Overview({2026, 7}).Line(food)->Budget), "2000");

    // Setting a month to what it carries leaves no row of its own, so the
    // months after it follow the earlier budget again.
    book.SetBudget(TBudgetKind::Expense, food, {2026, 6}, 150000);
    EXPECT_EQ(Rows("SELECT month, amount FROM kestrum_budget ORDER BY month"), "2026-03|1500.0;2026-09|-");
    EXPECT_EQ(Amount(book.BudgetOf(TBudgetKind::Expense, food, {2026, 8})), "1500");
    // A year boundary is crossed like any other month.
    book.SetBudget(TBudgetKind::Expense, food, {2026, 12}, 99);
    EXPECT_EQ(Amount(book.BudgetOf(TBudgetKind::Expense, food, {2027, 1})), "0.99");

    // Duplicate rows another program wrote: the newest counts, and the next
    // change of that month leaves one.
    Exec("INSERT INTO kestrum_budget (amount, month, item, kind) VALUES (77, '2026-12', '餐饮', 'expen')");
    EXPECT_EQ(Amount(book.BudgetOf(TBudgetKind::Expense, food, {2027, 1})), "77");
    book.SetBudget(TBudgetKind::Expense, food, {2026, 12}, 8800);
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_budget WHERE month = '2026-12'"), "1");
    EXPECT_EQ(Amount(book.BudgetOf(TBudgetKind::Expense, food, {2027, 1})), "88");
}

TEST_P(BudgetsOnEngine, CopyingLastMonthAndClearingAMonthAreOneActionEach)
{
    TBudgetBook book(Db());
    book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 4}, 150000);
    book.SetBudget(TBudgetKind::Total, QString(), {2026, 4}, 500000);
    book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 5}, 180000);
    book.SetBudget(TBudgetKind::Expense, U("旅游"), {2026, 5}, 300000);

    book.CopyPreviousMonth({2026, 5});
    TBudgetOverview may = book.Overview({2026, 5});
    EXPECT_EQ(Lines(may), "餐饮 1500/0");
    EXPECT_EQ(Amount(may.TotalBudget), "5000");
    TUndoHistory history(Db());
    EXPECT_EQ(Label(history.NextUndo()), "复制上月预算到2026年5月");

    book.ClearMonth({2026, 6});
    EXPECT_EQ(Lines(book.Overview({2026, 6})), "");
    EXPECT_EQ(Amount(book.Overview({2026, 5}).TotalBudget), "5000"); // the month before keeps its budgets
    EXPECT_EQ(Label(history.NextUndo()), "清除2026年6月预算");
    history.Undo();
    EXPECT_EQ(Lines(book.Overview({2026, 6})), "餐饮 1500/0");
    history.Undo();
    EXPECT_EQ(Lines(book.Overview({2026, 5})), "旅游 3000/0, 餐饮 1800/0");

    // Nothing to copy or clear writes no action.
    const std::string actions = Scalar("SELECT count(*) FROM kestrum_journal_action");
    book.ClearMonth({2020, 1});
    book.CopyPreviousMonth({2020, 1});
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_journal_action"), actions);
}

TEST_P(BudgetsOnEngine, UndoAndRedoTakeBackABudgetChangeInTurnWithEntries)
{
    TBudgetBook book(Db());
    TUndoHistory history(Db());
    Expense("30", "餐饮", "2026-12-01");
    book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 12}, 150000);
    book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 12}, 120050);
    EXPECT_EQ(Label(history.NextUndo()), "预算 餐饮 1200.5");

    history.Undo();
    EXPECT_EQ(Amount(book.BudgetOf(TBudgetKind::Expense, U("餐饮"), {2026, 12})), "1500");
    history.Undo();
    EXPECT_EQ(Amount(book.BudgetOf(TBudgetKind::Expense, U("餐饮"), {2026, 12})), "-");
    EXPECT_EQ(Label(history.NextUndo()), "录入 餐饮 30"); // the entry is next, untouched so far
    EXPECT_EQ(Scalar("SELECT count(*) FROM expen"), "1");
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_trash"), "0");

    history.Redo();
    history.Redo();
    EXPECT_EQ(Amount(book.BudgetOf(TBudgetKind::Expense, U("餐饮"), {2026, 12})), "1200.5");
    EXPECT_EQ(history.NextRedo(), std::nullopt);

    // Clearing is undone like setting.
    book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 12}, std::nullopt);
    EXPECT_EQ(Label(history.NextUndo()), "清除预算 餐饮");
    history.Undo();
    EXPECT_EQ(Amount(book.BudgetOf(TBudgetKind::Expense, U("餐饮"), {2027, 3})), "1200.5");

    // A budget changed behind the journal's back refuses the undo, writing nothing.
    book.SetBudget(TBudgetKind::Expense, U("交通"), {2026, 12}, 100);
    BeginWrite(Db());
    DropJournalTriggers(Db());
    Exec("UPDATE kestrum_budget SET amount = 5 WHERE item = '交通'");
    EnsureJournal(Db());
    Exec("COMMIT");
    EXPECT_THROW(history.Undo(), EUndoRefused);
    EXPECT_EQ(Amount(book.BudgetOf(TBudgetKind::Expense, U("交通"), {2026, 12})), "5");
}

TEST_P(BudgetsOnEngine, BadChangesAreRefusedAndWriteNothing)
{
    TBudgetBook book(Db());
    EXPECT_THROW(book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 12}, -1), EBudgetRefused);
    EXPECT_THROW(book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 13}, 100), EBudgetRefused);
    EXPECT_THROW(book.CopyPreviousMonth({1, 1}), EBudgetRefused);
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_budget"), "0");
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_journal_action"), "0");
}

TEST_P(BudgetsOnEngine, ABudgetSetInsideACallersTransactionGoesWithIt)
{
    // Guards against a budget change failing outright ("cannot start a
    // transaction within a transaction") when a caller already holds one.
    TBudgetBook book(Db());
    Db().Begin();
    book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 3}, 12000);
    EXPECT_TRUE(Db().InTransaction()) << "the caller's transaction is still open";
    Db().Rollback();
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_budget"), "0") << "rolled back with the caller's";

    Db().Begin();
    book.SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 3}, 12000);
    Db().Commit();
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_budget"), "1");
}

TEST_F(Budgets, OlderFilesGetTheTableUnderTheJournalAndReadOnlyFilesAreOnlyRead)
{
    const QString old = FDir.filePath("old.mdb");
    sqlite3 *db = nullptr;
    sqlite3_open(old.toUtf8().constData(), &db);
    Exec(db, LedgerSchemaSql);
    EnsureJournal(DriverOf(db));
    EnsureTrash(DriverOf(db));
    RegisterJetFunctions(db);
    Exec(db, "INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (12, '2026-12-03', '餐饮')");
    // The journal of a file without budgets is whole.
    EXPECT_TRUE(HasJournal(DriverOf(db)));
    EXPECT_TRUE(JournalIsCurrent(DriverOf(db)));
    EXPECT_FALSE(HasBudgets(DriverOf(db)));
    EXPECT_EQ(Lines(TBudgetBook(DriverOf(db)).Overview({2026, 12})), "餐饮 -/12");

    EnsureBudgets(DriverOf(db));
    EXPECT_TRUE(HasBudgets(DriverOf(db)));
    EXPECT_FALSE(HasJournal(DriverOf(db))) << "the new table still lacks its triggers";
    EnsureJournal(DriverOf(db));
    EXPECT_TRUE(HasJournal(DriverOf(db)));
    TBudgetBook(DriverOf(db)).SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 12}, 1000);
    TUndoHistory(DriverOf(db)).Undo();
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM kestrum_budget"), "0");
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM expen"), "1");
    sqlite3_close(db);

    const QString readOnly = FDir.filePath("ro.mdb");
    sqlite3_open(readOnly.toUtf8().constData(), &db);
    Exec(db, LedgerSchemaSql);
    sqlite3_close(db);
    ::chmod(readOnly.toUtf8().constData(), 0444);
    sqlite3_open_v2(readOnly.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    EXPECT_NO_THROW(EnsureBudgets(DriverOf(db)));
    EXPECT_FALSE(HasBudgets(DriverOf(db)));
    EXPECT_THROW(TBudgetBook(DriverOf(db)).SetBudget(TBudgetKind::Expense, U("餐饮"), {2026, 12}, 1000),
                 EBudgetRefused);
    sqlite3_close(db);
}

TEST(BudgetText, AmountsAndMonthsReadAsTyped)
{
    EXPECT_EQ(BudgetAmountText(150000).toStdString(), "1500");
    EXPECT_EQ(BudgetAmountText(120050).toStdString(), "1200.5");
    EXPECT_EQ(BudgetAmountText(7).toStdString(), "0.07");
    EXPECT_EQ(BudgetAmountText(-1550).toStdString(), "-15.5");
    EXPECT_EQ(TBudgetMonth({2026, 1}).Previous().Key().toStdString(), "2025-12");
    EXPECT_EQ(TBudgetMonth({2026, 12}).Next().FirstDay().toStdString(), "2027-01-01");
    EXPECT_EQ(TBudgetMonth({2026, 7}).Caption().toStdString(), "2026年7月");
}

} // namespace
} // namespace kestrum
