#include "app/StatisticsPage.h"
#include "LedgerFileFixture.h"
#include "app/StatisticsText.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "db/DbConnection.h"
#include "db/DbQuery.h"
#include "pages/PqGroupBox.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <random>

namespace kestrum {
namespace {

class StatisticsPageBase : public testing::Test {
protected:
    explicit StatisticsPageBase(test::TEngine engine) : file(engine)
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        connection.SetConnectionString(file.ConnectionString());
        query.SetConnection(&connection);
        query.SetCursorType(ctKeyset);
        query.SetName("ADOQuery3");
    }

    //! The three value labels of a box as "income|expense|surplus".
    static QString labels(QLabel *income, QLabel *expense, QLabel *surplus)
    {
        return income->text() + '|' + expense->text() + '|' + surplus->text();
    }
    QString allTime() const { return labels(page.l1, page.l2, page.l3); }
    QString month() const { return labels(page.m1, page.m2, page.m3); }
    QString year() const { return labels(page.y1, page.y2, page.y3); }

    void pickMonth(const char *yearText, const char *monthText)
    {
        page.ComboBox1->setCurrentText(yearText);
        page.ComboBox2->setCurrentText(monthText);
    }

    void SetUp() override { TLedgerFile::RequireLedger(file); }

    TLedgerFile file;
    TDbConnection connection;
    TDbQuery query;
    TStatisticsPage page{&query};
    TMessageBoxRecorder boxes;
};

//! On a ledger file and on a ledger on a server.
class StatisticsPageTest : public StatisticsPageBase, public testing::WithParamInterface<test::TEngine> {
protected:
    StatisticsPageTest() : StatisticsPageBase(GetParam()) {}
};

//! On a ledger file alone: a server journals every one of a million rows
//! added at once, which takes over a minute, and adds its exact decimals
//! itself (see the other sums here).
class StatisticsPageFileTest : public StatisticsPageBase {
protected:
    StatisticsPageFileTest() : StatisticsPageBase(test::TEngine::File) {}
};

TEST_P(StatisticsPageTest, ControlsCarryTheirCaptionsAndPickersTheirLists)
{
    EXPECT_EQ(page.PqGroupBox6->Caption(), QString::fromUtf8("总账统计"));
    EXPECT_EQ(page.PqGroupBox7->Caption(), QString::fromUtf8("月统计"));
    EXPECT_EQ(page.PqGroupBox5->Caption(), QString::fromUtf8("年统计"));
    EXPECT_EQ(page.PqGroupBox6->height(), 150);
    EXPECT_EQ(page.Button3->text(), QString::fromUtf8("开始计算"));
    EXPECT_EQ(page.Button1->text(), QString::fromUtf8("确定"));
    EXPECT_EQ(page.Label9->text(), QString::fromUtf8("您自使用本软件以来,总共入账(收入):"));
    EXPECT_TRUE(page.Label11->font().bold());
    EXPECT_TRUE(page.l3->font().bold());
    EXPECT_FALSE(page.l1->font().bold());
    QStringList years;
    for (int i = 0; i < page.ComboBox3->count(); ++i)
        years << page.ComboBox3->itemText(i);
    EXPECT_EQ(years.join(','), "2005,2006,2007,2008,2009,2010,2011,2015,2016");
    EXPECT_EQ(page.ComboBox1->currentText(), "2005");
    EXPECT_EQ(page.ComboBox2->currentText(), "7");
    EXPECT_EQ(page.ComboBox2->count(), 12);
    EXPECT_EQ(allTime() + month() + year(), "||||||") << "values stay empty until a button is pressed";
}

TEST_P(StatisticsPageTest, EmptyTablesGiveZeroes)
{
    page.Button3Click();
    page.Button1Click();
    page.Button2Click();
    EXPECT_EQ(allTime(), "0|0|0");
    EXPECT_EQ(month(), "0|0|0");
    EXPECT_EQ(year(), "0|0|0");
    EXPECT_TRUE(boxes.Boxes().isEmpty());
}

TEST_P(StatisticsPageTest, MonthWithIncomeButNoExpense)
{
    file.AddIncome(1500.5, "2006-07-01");
    file.AddIncome(200, "2006-07-31");
    file.AddIncome(999, "2006-08-01");
    file.AddExpense(30, "2006-08-02");
    pickMonth("2006", "7");
    page.Button1Click();
    EXPECT_EQ(month(), "1700.5|0|1700.5");
    EXPECT_TRUE(query.Active()) << "the record set stays open on the second statement";
    // The second statement, in the form that reads the date index.
    const QString second =
        utf8("select sum(消费金额) as l2 from expen where year(消费日期)= :c AND month(消费日期)=:d ");
    const TLedgerData::TParameterTexts pickers = {{"c", "2006"}, {"d", "7"}};
    EXPECT_EQ(query.SQLText(), file.OnServer() ? TLedgerTotals::ServerSumStatement(second, pickers)
                                               : TLedgerTotals::SumStatement(second, pickers));
}

// The month's totals are the database's own sum() of the month's rows on
// either engine, exact to the amounts' four decimals, and the record set is
// left open on the month's expense statement. A picker text that the record
// set reads as the same number ("5.0", " 05") selects the same month.
TEST_P(StatisticsPageTest, MonthTotalsAreTheDatabasesSumWhateverFormTheNumbersTake)
{
    file.AddIncome(1234.5678, "2009-05-01");
    file.AddIncome(0.0001, "2009-05-31");
    file.AddIncome(5, "2009-06-01");
    file.AddIncome(7, "2009-04-30");
    file.AddExpense(99999999.99, "2009-05-15");
    file.AddExpense(0.01, "2009-04-30");
    file.Exec(file.OnServer()
                  ? "UPDATE gain SET 进帐时间 = 进帐时间 + interval '23:59:59.999' WHERE 本次进帐 = 0.0001"
                  : "UPDATE gain SET 进帐时间 = '2009-05-31 23:59:59.999' WHERE 本次进帐 = 0.0001");
    const auto sum = [this](const char *column, const char *table, const char *date) {
        return FormatGeneral(
            std::stod(file.Scalar(std::string("select sum(") + column + ") from " + table + " where " + date +
                                  " >= '2009-05-01 00:00:00' and " + date + " < '2009-06-01 00:00:00'")));
    };
    const QString income = sum("本次进帐", "gain", "进帐时间"),
                  expense = sum("消费金额", "expen", "消费日期");
    ASSERT_EQ(income + "|" + expense, "1234.5679|99999999.99");
    for (const auto &[yearText, monthText] : std::vector<std::pair<const char *, const char *>>{
             {"2009", "5"}, {"2009", "5.0"}, {" 2009", " 05"}, {"2009", "+5"}}) {
        page.m1->clear();
        pickMonth(yearText, monthText);
        page.Button1Click();
        EXPECT_EQ(month(), income + "|" + expense + "|" + FormatGeneral(1234.5679 - 99999999.99))
            << yearText << "-" << monthText;
        EXPECT_TRUE(query.Active()) << yearText << "-" << monthText;
    }
    EXPECT_TRUE(boxes.Boxes().isEmpty()) << boxes.Boxes().join('\n').toStdString();
}

TEST_P(StatisticsPageTest, DeficitHasALeadingMinus)
{
    file.AddIncome(100.25, "2007-03-05");
    file.AddExpense(300, "2007-03-06");
    file.AddExpense(0.5, "2007-04-06");
    page.Button3Click();
    EXPECT_EQ(allTime(), "100.25|300.5|-200.25");
    page.ComboBox3->setCurrentText("2007");
    page.Button2Click();
    EXPECT_EQ(year(), "100.25|300.5|-200.25");
}

TEST_P(StatisticsPageTest, YearWithoutEntriesShowsZeroes)
{
    file.AddIncome(10, "2006-01-01");
    page.ComboBox3->setCurrentText("2013"); // not in the list, typed
    page.Button2Click();
    EXPECT_EQ(year(), "0|0|0");
}

TEST_P(StatisticsPageTest, DecimalSumsReadAsTheUserWroteThem)
{
    // Floating sums carry binary noise (0.1 + 0.2); fifteen digits hide it.
    file.AddIncome(0.1, "2008-01-01");
    file.AddIncome(0.2, "2008-01-02");
    file.AddExpense(0.3, "2008-01-03");
    page.Button3Click();
    EXPECT_EQ(allTime(), "0.3|0.3|0");
}

TEST_P(StatisticsPageTest, NonNumericYearShowsTheErrorAndKeepsLabelsNotReached)
{
    file.AddIncome(50, "2006-07-01");
    pickMonth("2006", "7");
    page.Button1Click();
    ASSERT_EQ(month(), "50|0|50");
    pickMonth("abc", "7");
    page.Button1Click();
    ASSERT_EQ(boxes.Boxes().size(), 1);
    EXPECT_TRUE(boxes.Boxes().first().startsWith(ApplicationTitle() + '|'));
    EXPECT_EQ(month(), "50|0|50") << "the failed first statement reached no label";
    EXPECT_FALSE(query.Active());
}

TEST_P(StatisticsPageTest, TotalsEqualAnIndependentSum)
{
    const double incomes[] = {1234.56, 0.01, 88, 1e6, 42.42};
    const double expenses[] = {12.5, 7.25, 3000.75};
    int day = 1;
    for (double amount : incomes)
        file.AddIncome(amount,
                       QStringLiteral("2009-05-%1").arg(day++, 2, 10, QChar('0')).toUtf8().constData());
    for (double amount : expenses)
        file.AddExpense(amount,
                        QStringLiteral("2009-06-%1").arg(day++, 2, 10, QChar('0')).toUtf8().constData());
    page.Button3Click();
    const double income = std::stod(file.Scalar("select sum(\"本次进帐\") from gain"));
    const double expense = std::stod(file.Scalar("select sum(\"消费金额\") from expen"));
    EXPECT_EQ(page.l1->text(), FormatGeneral(income));
    EXPECT_EQ(page.l2->text(), FormatGeneral(expense));
    EXPECT_EQ(page.l3->text(), FormatGeneral(income - expense));
    EXPECT_EQ(page.l1->text() + "|" + page.l3->text(), "1001364.99|998344.49");
}

// Amounts are money: a few thousand random two-decimal amounts must total
// exactly what a decimal sum of the cents gives, and so must the surplus.
TEST_P(StatisticsPageTest, TotalsOfManyAmountsAreExactToTheCent)
{
    std::mt19937 random(20261209);
    std::int64_t incomeCents = 0, expenseCents = 0;
    file.Scalar("BEGIN");
    for (int i = 0; i < 4000; ++i) {
        const std::int64_t cents = std::int64_t(random() % 99999999) + 1; // up to 999999.99
        const std::string month =
            QStringLiteral("2010-%1-15").arg(i % 12 + 1, 2, 10, QChar('0')).toStdString();
        if (i % 3 == 0) {
            file.AddExpense(double(cents) / 100.0, month.c_str());
            expenseCents += cents;
        } else {
            file.AddIncome(double(cents) / 100.0, month.c_str());
            incomeCents += cents;
        }
    }
    file.Scalar("COMMIT");
    // The exact decimal text of a number of cents, as the general format
    // writes it (no trailing zeros).
    auto centsText = [](std::int64_t cents) {
        const bool negative = cents < 0;
        const std::int64_t magnitude = negative ? -cents : cents;
        std::string text = std::to_string(magnitude / 100);
        const int fraction = int(magnitude % 100);
        if (fraction % 10)
            text += "." + std::string(fraction < 10 ? "0" : "") + std::to_string(fraction);
        else if (fraction)
            text += "." + std::to_string(fraction / 10);
        return QString::fromStdString((negative ? "-" : "") + text);
    };
    page.Button3Click();
    EXPECT_EQ(page.l1->text(), centsText(incomeCents));
    EXPECT_EQ(page.l2->text(), centsText(expenseCents));
    EXPECT_EQ(page.l3->text(), centsText(incomeCents - expenseCents));
    page.ComboBox3->setCurrentText("2010");
    page.Button2Click();
    EXPECT_EQ(year(), allTime());
}

// Guards against statistics that add doubles (cents away on a million rows) and round each
// total to cents before the surplus (a sub-cent amount read differently from the footer).
TEST_F(StatisticsPageFileTest, MillionRowsAndSubCentAmountsGiveTheExactTotals)
{
    file.AddExpense(1000000000.00, "2011-01-01");
    file.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 999999) "
              "INSERT INTO expen (消费金额, 消费日期, 消费者) SELECT 0.03, '2011-02-01', '茶' FROM n");
    file.AddIncome(10.125, "2011-03-01");
    file.AddIncome(0.0001, "2011-03-02");
    page.Button3Click();
    EXPECT_EQ(allTime(), "10.1251|1000029999.97|-1000029989.8449");
    page.ComboBox3->setCurrentText("2011");
    page.Button2Click();
    EXPECT_EQ(year(), allTime());
    EXPECT_EQ(SumToCents(Variant(10.125)), 1013) << "the charts round as a footer's 0.00 does";
    EXPECT_EQ(SumToCents(Variant(1.005)), 101);
}

INSTANTIATE_TEST_SUITE_P(Engines, StatisticsPageTest, test::BothEngines(), test::EngineName);

TEST(StatisticsText, SumsAndSurplusCarryNoRoundingNoise)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    EXPECT_EQ(SumToText(Variant(1247683.30000003)), "1247683.3");
    EXPECT_EQ(SumToText(Variant(5004650532.43000031)), "5004650532.43");
    EXPECT_EQ(SumToText(Variant(0.1 + 0.2)), "0.3");
    EXPECT_EQ(SumToText(Variant(-0.00001)), "0") << "no negative zero";
    EXPECT_EQ(SumToText(Variant(10.125)), "10.125") << "an amount's four decimals stay";
    EXPECT_EQ(SurplusText("100.3", "100.1"), "0.2");
    EXPECT_EQ(SurplusText("100.1", "100.3"), "-0.2");
    EXPECT_EQ(SurplusText("1247683.3", "1246742.35"), "940.95");
    EXPECT_EQ(SurplusText("0", "0"), "0");
    EXPECT_EQ(SurplusText("0.125", "0.1"), "0.025") << "the texts' own decimals are kept";
    EXPECT_EQ(SurplusText("1E20", "1"), FormatGeneral(1e20 - 1));
    EXPECT_THROW(SurplusText("12", "x"), EConvertError);
    EXPECT_EQ(RoundToDecimals(-2.5, 0), -3.0);
    EXPECT_EQ(RoundToDecimals(1e300, 2), 1e300);
}

TEST(StatisticsText, GeneralFormatKeepsFifteenDigits)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const std::pair<double, const char *> cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1700.5, "1700.5"},
        {-200.25, "-200.25"},
        {0.1 + 0.2, "0.3"},
        {1e15, "1E15"},
        {123456789012345.0, "123456789012345"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {1.0 / 3, "0.333333333333333"},
    };
    for (const auto &[value, text] : cases)
        EXPECT_EQ(FormatGeneral(value), text) << value;
    EXPECT_EQ(SumToText(Variant(42)), "42");
    EXPECT_EQ(SumToText(Variant(Currency{125000})), "12.5");
    EXPECT_EQ(LabelTextToFloat("-200.25"), -200.25);
    EXPECT_THROW(LabelTextToFloat("abc"), EConvertError);
}

} // namespace
} // namespace kestrum
