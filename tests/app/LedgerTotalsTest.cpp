// The statistics' sums of a month and a year: they read a range of the date
// index, and whatever the stored dates and the pickers' texts, they give what
// the statement as written gives.
#include "app/LedgerTotals.h"
#include "LedgerFileFixture.h"
#include "app/LedgerData.h"
#include "app/StatisticsText.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "db/DbConnection.h"
#include "db/DbQuery.h"
#include "db/JetFunctions.h"
#include "ledger/DateIndexes.h"
#include "ledger/KeptTotals.h"
#include "ledger/KeptTotalsByMonth.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QRegularExpression>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <random>

namespace kestrum {
namespace {

// The page's sum statements of a month and of a year.
const char *const MonthIncome =
    "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a AND month(进帐时间)=:b ";
const char *const MonthExpense =
    "select sum(消费金额) as l2 from expen where year(消费日期)= :c AND month(消费日期)=:d ";
const char *const YearIncome = "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a  ";
const char *const YearExpense = "select sum(消费金额) as l2 from expen where year(消费日期)= :c  ";

class PeriodSums : public testing::Test {
protected:
    PeriodSums()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        connection.SetConnectionString(file.ConnectionString());
        query.SetConnection(&connection);
        query.SetCursorType(ctKeyset);
    }

    //! The value a statement gives, as the label shows it, or "error".
    static std::string Outcome(const std::function<Variant()> &sum)
    {
        try {
            const Variant value = sum();
            return value.isNull() ? "null" : SumToText(value).toStdString();
        } catch (const std::exception &) {
            return "error";
        }
    }
    std::string AsWritten(const char *statement, const TLedgerData::TParameterTexts &parameters,
                          const char *result)
    {
        return Outcome([&] {
            TLedgerData::ReplaceAndReopen(query, utf8(statement), parameters);
            return query.FieldByName(QString::fromLatin1(result))->Value();
        });
    }
    std::string Totals(const char *statement, const TLedgerData::TParameterTexts &parameters,
                       const char *result)
    {
        TLedgerTotals totals(query);
        return Outcome([&] { return totals.Sum(utf8(statement), parameters, QString::fromLatin1(result)); });
    }

    //! The query plan of what Sum runs, one line per step.
    QStringList Plan(const char *statement, const TLedgerData::TParameterTexts &parameters)
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(file.Path().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        RegisterJetFunctions(db);
        const QByteArray sql =
            ("EXPLAIN QUERY PLAN " + TLedgerTotals::SumStatement(utf8(statement), parameters)).toUtf8();
        sqlite3_stmt *s = nullptr;
        QStringList steps;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr) != SQLITE_OK)
            steps << QString::fromUtf8(sqlite3_errmsg(db));
        while (s && sqlite3_step(s) == SQLITE_ROW)
            steps << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 3)));
        sqlite3_finalize(s);
        sqlite3_close(db);
        return steps;
    }

    TLedgerFile file;
    TDbConnection connection;
    TDbQuery query;
};

// Each step that reads a table reads a range of its date index alone.
TEST_F(PeriodSums, AMonthAndAYearReadARangeOfTheDateIndex)
{
    {
        sqlite3 *db = nullptr;
        sqlite3_open(file.Path().toUtf8().constData(), &db);
        EnsureDateIndexes(db);
        sqlite3_close(db);
    }
    const TLedgerData::TParameterTexts month = {{"a", "2018"}, {"b", "3"}, {"c", "2018"}, {"d", "3"}};
    for (const char *statement : {MonthIncome, MonthExpense, YearIncome, YearExpense}) {
        const QStringList plan = Plan(statement, month);
        int reads = 0;
        for (const QString &step : plan) {
            if (!step.contains(QLatin1String(" gain")) && !step.contains(QLatin1String(" expen")))
                continue;
            ++reads;
            EXPECT_TRUE(
                step.startsWith(QLatin1String("SEARCH")) &&
                step.contains(QRegularExpression("USING COVERING INDEX kestrum_(gain|expen)_date \\(")))
                << statement << '\n'
                << plan.join('\n').toStdString();
        }
        EXPECT_EQ(reads, 2) << statement << '\n' << plan.join('\n').toStdString();
    }
}

TEST_F(PeriodSums, EveryStoredDateAndPickerTextGivesWhatTheStatementAsWrittenGives)
{
    file.Scalar("BEGIN");
    for (const char *date : {"'2018-03-01 00:00:00'",
                             "'2018-03-31 23:59:59'",
                             "'2018-03-15T12:00:00'",
                             "'2018-03-05 10:00:00.250'",
                             "'2018-02-28 23:59:59'",
                             "'2018-04-01 00:00:00'",
                             "'2018-12-31 23:59:59'",
                             "'2019-01-01 00:00:00'",
                             "'2017-12-31 23:59:59'",
                             "'2018-3-7'",
                             "'2018-13-01'",
                             "'2018-03-32'",
                             "'2018-03'",
                             "'2018'",
                             "'2018.5'",
                             "43160",
                             "43190.999",
                             "43165.75",
                             "43100.5",
                             "43466",
                             "43465.99",
                             "-36522.25",
                             "'0001-01-01'",
                             "'9999-12-31 23:59:59'",
                             "2958465.5",
                             "NULL",
                             "''",
                             "'abc'"}) {
        file.Scalar(std::string("INSERT INTO gain (\"本次进帐\", \"进帐时间\") VALUES (1.25, ") + date + ")");
        file.Scalar(std::string("INSERT INTO expen (\"消费金额\", \"消费日期\") VALUES (0.5, ") + date + ")");
    }
    file.Scalar("INSERT INTO gain (\"本次进帐\", \"进帐时间\") VALUES (100, '2018-03-02')");
    file.Scalar("INSERT INTO gain (\"本次进帐\", \"进帐时间\") VALUES (NULL, '2018-03-03')");
    file.Scalar("COMMIT");

    const QStringList years = {"2018", " 2018 ", "02018", "2018.0", "18",    "1899", "1",
                               "9999", "0",      "10000", "2018.5", "-2018", "abc",  ""};
    const QStringList months = {"3", "03", " 3", "12", "1", "2", "13", "0", "3.0", "x"};
    // Read by year() over every row, through the date index, and from the
    // month totals the file keeps.
    for (const int stage : {0, 1, 2}) {
        if (stage == 1) {
            sqlite3 *db = nullptr;
            sqlite3_open(file.Path().toUtf8().constData(), &db);
            EnsureDateIndexes(db);
            sqlite3_close(db);
        }
        if (stage == 2) {
            ASSERT_TRUE(MakeKeptMonthTotalsAside(file.Path()));
        }
        // Each statement gets the parameters it names, as the page binds them.
        for (const QString &year : years) {
            const TLedgerData::TParameterTexts incomeYear = {{"a", year}}, expenseYear = {{"c", year}};
            EXPECT_EQ(Totals(YearIncome, incomeYear, "l1"), AsWritten(YearIncome, incomeYear, "l1"))
                << year.toStdString() << " stage " << stage;
            EXPECT_EQ(Totals(YearExpense, expenseYear, "l2"), AsWritten(YearExpense, expenseYear, "l2"))
                << year.toStdString() << " stage " << stage;
            for (const QString &month : months) {
                const TLedgerData::TParameterTexts income = {{"a", year}, {"b", month}},
                                                   expense = {{"c", year}, {"d", month}};
                EXPECT_EQ(Totals(MonthIncome, income, "l1"), AsWritten(MonthIncome, income, "l1"))
                    << year.toStdString() << '/' << month.toStdString() << " stage " << stage;
                EXPECT_EQ(Totals(MonthExpense, expense, "l2"), AsWritten(MonthExpense, expense, "l2"))
                    << year.toStdString() << '/' << month.toStdString() << " stage " << stage;
            }
        }
    }
    // The figures themselves, so the comparison above compares something.
    EXPECT_EQ(Totals(MonthIncome, {{"a", "2018"}, {"b", "3"}}, "l1"), "108.75")
        << "seven dates of March, one amount of 100, one without";
    EXPECT_EQ(Totals(YearIncome, {{"a", "2018"}}, "l1"), "113.75");
    EXPECT_EQ(Totals(YearIncome, {{"a", "9999"}}, "l1"), "2.5");
}

// Amounts with binary noise among exact ones, dates as text and as days:
// what the kept month totals give is what the statement that would run
// instead gives, to the last bit, and the year's charts are the scan's.
TEST_F(PeriodSums, KeptMonthTotalsGiveTheStatementsSumsAndTheYearsFiguresToTheLastBit)
{
    {
        sqlite3 *db = nullptr;
        sqlite3_open(file.Path().toUtf8().constData(), &db);
        EnsureDateIndexes(db);
        sqlite3_close(db);
    }
    std::mt19937 random(5);
    std::uniform_int_distribution<int> cents(-20000, 900000), pick(0, 9), day(0, 700);
    file.Scalar("BEGIN");
    for (int row = 0; row < 600; ++row) {
        // Noise as a computed amount has it ("82 / 100 + 1"), now and then.
        const std::string amount =
            std::to_string(cents(random)) + (pick(random) < 2 ? " / 100.0 + 1" : " / 100.0");
        const int days = 43100 + day(random);
        const std::string date =
            pick(random) < 2 ? std::to_string(days) + ".5"
                             : "strftime('%Y-%m-%d %H:%M:%S', " + std::to_string(days) + " + 2415018.5)";
        const std::string item = "' item" + std::to_string(pick(random) % 4) + "'";
        for (const char *table : {"gain (\"本次进帐\", \"进帐时间\", \"进帐人\")",
                                  "expen (\"消费金额\", \"消费日期\", \"消费者\")"})
            file.Scalar(std::string("INSERT INTO ") + table + " VALUES (" + amount + ", " + date + ", " +
                        item + ")");
    }
    file.Scalar("COMMIT");
    const auto bits = [](const Variant &value) {
        if (value.isNull())
            return std::string("null");
        char text[64];
        std::snprintf(text, sizeof text, "%a", value.toDouble());
        return std::string(text);
    };
    const auto sums = [&] {
        std::string all;
        TLedgerTotals totals(query);
        for (const char *year : {"2018", "2019"}) {
            all += bits(totals.Sum(utf8(YearIncome), {{"a", year}}, "l1")) + " ";
            all += bits(totals.Sum(utf8(YearExpense), {{"c", year}}, "l2")) + " ";
            for (int month = 1; month <= 12; ++month) {
                const QString m = QString::number(month);
                all += bits(totals.Sum(utf8(MonthIncome), {{"a", year}, {"b", m}}, "l1")) + " ";
                all += bits(totals.Sum(utf8(MonthExpense), {{"c", year}, {"d", m}}, "l2")) + "\n";
            }
        }
        return all;
    };
    const auto figures = [&](const char *year) {
        const TYearTotals totals = TLedgerTotals(query).Year(year);
        std::string text = totals.Empty ? "empty\n" : "";
        for (const TMonthAmounts &month : totals.Months)
            text += std::to_string(month.Income) + " " + std::to_string(month.Expense) + "\n";
        for (const TItemAmount &item : totals.ExpenseByItem)
            text += item.Item.toStdString() + " " + std::to_string(item.Amount) + "\n";
        for (const auto &monthItems : totals.MonthExpenseByItem)
            for (const TItemAmount &item : monthItems)
                text += item.Item.toStdString() + " " + std::to_string(item.Amount) + ";";
        return text;
    };
    const std::string statements = sums(), year2018 = figures("2018"), year2019 = figures("2019");
    ASSERT_TRUE(MakeKeptMonthTotalsAside(file.Path()));
    EXPECT_EQ(file.Scalar("SELECT count(*) > 100 FROM kestrum_month_aside"), "1") << "noise and day numbers";
    EXPECT_EQ(sums(), statements);
    EXPECT_EQ(figures("2018"), year2018);
    EXPECT_EQ(figures("2019"), year2019);
    EXPECT_NE(year2018.find("item1"), std::string::npos) << year2018;
    // They were read from the kept totals: with a copy of them changed the
    // figures change.
    file.Scalar(
        "UPDATE kestrum_month_totals SET units = units + 10000 WHERE month = '2018-03' AND item = 'item1'");
    EXPECT_NE(figures("2018"), year2018);
    EXPECT_NE(sums(), statements);
}

TEST_F(PeriodSums, AllTimeSumsComeFromTheKeptTotalsAndFollowEveryWrite)
{
    const char *const allIncome = "select sum(本次进帐) as l1 from gain";
    const char *const allExpense = "select sum(消费金额) as l2 from expen";
    EXPECT_EQ(Totals(allIncome, {}, "l1"), "null");
    file.AddIncome(1500.5, "2006-07-01");
    file.AddIncome(-0.0001, "2006-07-02");
    file.AddExpense(30, "2006-08-02");
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Totals(allIncome, {}, "l1"), AsWritten(allIncome, {}, "l1")) << round;
        EXPECT_EQ(Totals(allExpense, {}, "l2"), AsWritten(allExpense, {}, "l2")) << round;
        // Writes of another program: amounts with binary noise, text, a change.
        file.Scalar(
            "INSERT INTO gain (\"本次进帐\", \"进帐时间\") VALUES (0.1 + 0.2, '2006-07-03'), ('x', 1)");
        file.Scalar("UPDATE expen SET \"消费金额\" = \"消费金额\" * 1.1");
    }
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.Path().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    EXPECT_TRUE(HasKeptTotals(db));
    sqlite3_close(db);
    EXPECT_EQ(Totals(allIncome, {}, "l1"), "1501.3999") << "three times 0.3 added";
}

TEST_F(PeriodSums, OtherStatementsRunAsTheyAre)
{
    const TLedgerData::TParameterTexts none;
    for (const char *statement :
         {"select sum(本次进帐) as l1 from gain",
          "select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c ",
          "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a OR 1=1",
          "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a AND month(备注)=:b"})
        EXPECT_EQ(TLedgerTotals::SumStatement(utf8(statement), {{"a", "2018"}, {"b", "3"}}), utf8(statement));
}

TEST(DateIndexesOnOpen, ALedgerFromAnOlderVersionGetsThemWhenOpened)
{
    TLedgerFile file;
    file.AddIncome(12.5, "2018-03-01");
    const std::string indexes = "select count(*) from sqlite_master where type = 'index' and name in "
                                "('kestrum_gain_date', 'kestrum_expen_date')";
    ASSERT_EQ(file.Scalar(indexes), "0");
    {
        TLedgerData data;
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        std::string errors;
        data.Loaded([&](const std::exception &error) { errors += error.what(); });
        EXPECT_EQ(errors, "");
    }
    EXPECT_EQ(file.Scalar(indexes), "2");
    EXPECT_EQ(file.Scalar("select sum(\"本次进帐\") from gain"), "12.5");
}

} // namespace
} // namespace kestrum
