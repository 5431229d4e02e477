// The statistics charts: their figures against SQL over real ledger files,
// the "其他" slice, what they draw offscreen, hover texts, the click on a
// month's bar, and when they are summed again.
#include "app/StatisticsCharts.h"
#include "LedgerFileFixture.h"
#include "app/LedgerData.h"
#include "app/LedgerTotals.h"
#include "app/MainWindow.h"
#include "app/StatisticsPage.h"
#include "app/StatisticsText.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "db/DbConnection.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "support/FakeShell.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QGraphicsRectItem>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPieSeries>
#include <QPieSlice>
#include <QSet>
#include <QTest>
#include <QToolTip>

#include <random>

namespace kestrum {
namespace {

//! "item=amount item=amount" of a list of item totals.
QString ItemsText(const std::vector<TItemAmount> &items)
{
    QStringList parts;
    for (const TItemAmount &item : items)
        parts << item.Item + '=' + CentsToText(item.Amount);
    return parts.join(' ');
}

//! A ledger (a file unless told) with a record set on it, as the page has one.
class ChartsFixture : public testing::Test {
protected:
    explicit ChartsFixture(test::TEngine engine = test::TEngine::File) : file(engine)
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        connection.SetConnectionString(file.ConnectionString());
        query.SetConnection(&connection);
        query.SetCursorType(ctKeyset);
        query.SetName("ADOQuery3");
    }

    //! The database's own sum, rounded to the cent, for a where clause.
    TCents SqlCents(const char *table, const char *amount, const std::string &where)
    {
        const std::string sum = file.Scalar(std::string("select round(sum(\"") + amount + "\") * 100) from " +
                                            table + (where.empty() ? "" : " where " + where));
        return sum.empty() ? 0 : TCents(std::stod(sum));
    }

    void SetUp() override { TLedgerFile::RequireLedger(file); }

    test::OffscreenSizeHintsFilter offscreenLimits{"raise()"};
    TLedgerFile file;
    TDbConnection connection;
    TDbQuery query;
    TMessageBoxRecorder boxes;
};

using LedgerTotalsTest = ChartsFixture;

TEST_F(LedgerTotalsTest, MonthsAndItemsOfAYearAreItsEntriesAndNoOthers)
{
    file.AddIncome(1500.5, "2006-07-01", "工资");
    file.AddIncome(200, "2006-07-31", "奖金");
    file.AddIncome(999.99, "2006-12-31", "工资");
    file.AddIncome(77, "2007-01-01", "工资"); // another year
    file.AddExpense(30.25, "2006-07-02", "伙食");
    file.AddExpense(12.5, "2006-07-03", "交通");
    file.AddExpense(7.5, "2006-07-09", "伙食");
    file.AddExpense(100, "2006-02-28", "房租");
    file.AddExpense(5, "2005-07-02", "伙食"); // another year
    TLedgerTotals totals(query);
    const TYearTotals year = totals.Year("2006");

    QStringList months;
    for (int month = 0; month < 12; ++month) {
        const TMonthAmounts &amounts = year.Months[std::size_t(month)];
        months << CentsToText(amounts.Income) + '/' + CentsToText(amounts.Expense) + '/' +
                      CentsToText(amounts.Surplus());
    }
    EXPECT_EQ(months.join(' '), "0/0/0 0/100/-100 0/0/0 0/0/0 0/0/0 0/0/0 1700.5/50.25/1650.25 0/0/0 0/0/0 "
                                "0/0/0 0/0/0 999.99/0/999.99")
        << "empty months are zero";
    EXPECT_EQ(ItemsText(year.ExpenseByItem), utf8("房租=100 伙食=37.75 交通=12.5"));
    EXPECT_EQ(ItemsText(year.MonthExpenseByItem[6]), utf8("伙食=37.75 交通=12.5"));
    EXPECT_EQ(ItemsText(year.MonthExpenseByItem[1]), utf8("房租=100"));
    EXPECT_TRUE(year.MonthExpenseByItem[0].empty());
    EXPECT_FALSE(year.Empty);
    EXPECT_FALSE(query.Active()) << "nothing is left open on the ledger";
}

TEST_F(LedgerTotalsTest, AYearsMonthsTakeEveryStoredDateFormAsMonthAndYearReadIt)
{
    // Text read in place, days since 1899 through month(), malformed text
    // nowhere; month 3 of 2018 unless noted.
    for (const char *date :
         {"'2018-03-01 00:00:00'", "'2018-03-15T12:00:00'", "'2018-03-05 10:00:00.250'", "'2018-03-31'",
          "43160", "43165.75", "'2018-3-7'", "'2018-13-01'", "'2018-03-32'", "'2018-03'", "'2018'",
          "'2019-03-01'", "'2018-12-31 23:59:59'", "''", "NULL"}) {
        file.Scalar(std::string("INSERT INTO gain (\"本次进帐\", \"进帐时间\") VALUES (1, ") + date + ")");
        file.Scalar(std::string("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") VALUES (2, ") +
                    date + ", 'a')");
    }
    TLedgerTotals totals(query);
    const TYearTotals year = totals.Year("2018");
    EXPECT_EQ(CentsToText(year.Months[2].Income), "6");
    EXPECT_EQ(CentsToText(year.Months[2].Expense), "12");
    EXPECT_EQ(CentsToText(year.Months[11].Income), "1");
    EXPECT_EQ(ItemsText(year.ExpenseByItem), "a=14");
}

TEST_F(LedgerTotalsTest, EmptyLedgerAndEmptyYearGiveZeroesNotErrors)
{
    TLedgerTotals totals(query);
    TYearTotals year = totals.Year("2016");
    EXPECT_TRUE(year.Empty);
    EXPECT_TRUE(year.ExpenseByItem.empty());
    for (const TMonthAmounts &month : year.Months)
        EXPECT_EQ(month.Income + month.Expense, 0);
    file.AddIncome(10, "2015-03-01");
    year = totals.Year("2016");
    EXPECT_TRUE(year.Empty) << "an entry of another year";
    EXPECT_FALSE(totals.Year("2015").Empty);
}

TEST_F(LedgerTotalsTest, ItemsWithoutANameOrWithSpacesAroundCountAsOne)
{
    file.AddExpense(1, "2010-05-01", "");
    file.Scalar(
        "INSERT INTO expen (\"消费金额\", \"消费日期\") VALUES (2, '2010-05-02 00:00:00')"); // NULL item
    file.AddExpense(4, "2010-05-03", " 伙食 ");
    file.AddExpense(8, "2010-05-04", "伙食");
    TLedgerTotals totals(query);
    const TYearTotals year = totals.Year("2010");
    EXPECT_EQ(ItemsText(year.ExpenseByItem), utf8("伙食=12 (未填)=3"));
    EXPECT_EQ(year.Months[4].Expense, 1500);
}

// The charts select a year's entries exactly as the labels' year() does:
// dates stored as day numbers count, text that is no date and entries
// without an amount add nothing, and the figures equal the labels'.
TEST_F(LedgerTotalsTest, DatesInEveryStoredFormCountAsTheLabelsCountThem)
{
    file.AddExpense(10.25, "2018-03-05", "伙食");
    file.Scalar("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") VALUES (20, '2018-03-31 "
                "23:59:59', '伙食')");
    file.Scalar(
        "INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") VALUES (5, 43165.75, '交通')"); // 2018-03-06
    file.Scalar("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") VALUES (7, '2018-3-7', '交通')");
    file.Scalar(
        "INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") VALUES (NULL, '2018-04-01', '水电')");
    file.Scalar("INSERT INTO gain (\"本次进帐\", \"进帐时间\") VALUES (100, 43101)"); // 2018-01-01
    file.AddIncome(0.1, "2018-01-02");
    file.AddIncome(0.2, "2018-01-03");
    file.AddIncome(50, "2019-01-01");

    TLedgerTotals totals(query);
    const TYearTotals year = totals.Year("2018");
    EXPECT_EQ(year.Months[0].Income, 10030);
    EXPECT_EQ(year.Months[2].Expense, 3525);
    EXPECT_EQ(year.Months[3].Expense, 0);
    EXPECT_EQ(ItemsText(year.MonthExpenseByItem[2]), utf8("伙食=30.25 交通=5"));
    EXPECT_EQ(ItemsText(year.MonthExpenseByItem[3]), utf8("水电=0")) << "an entry without an amount";
    EXPECT_EQ(ItemsText(year.ExpenseByItem), utf8("伙食=30.25 交通=5 水电=0"));

    TStatisticsPage page(&query);
    page.ComboBox1->setCurrentText("2018");
    for (int month : {1, 3}) {
        page.ComboBox2->setCurrentText(QString::number(month));
        page.Button1Click();
        const TMonthAmounts &amounts = year.Months[std::size_t(month - 1)];
        EXPECT_EQ(page.m1->text() + '|' + page.m2->text(),
                  CentsToText(amounts.Income) + '|' + CentsToText(amounts.Expense));
    }
    EXPECT_TRUE(boxes.Boxes().isEmpty());
}

// Random two-decimal amounts over several years: every month's figures and
// every item's total must equal the database's own sum to the cent, and the
// month figures must read exactly as the month box's labels do.
TEST_F(LedgerTotalsTest, FiguresEqualSqlSumsAndTheLabelsToTheCent)
{
    std::mt19937 random(424242);
    const char *items[] = {"伙食", "交通", "房租", "水电", "娱乐", "医药", "衣服", "礼金"};
    file.Scalar("BEGIN");
    for (int i = 0; i < 3000; ++i) {
        const double amount = double(random() % 5000000 + 1) / 100.0;
        const std::string date = QStringLiteral("%1-%2-%3")
                                     .arg(2011 + int(random() % 3))
                                     .arg(int(random() % 12) + 1, 2, 10, QChar('0'))
                                     .arg(int(random() % 28) + 1, 2, 10, QChar('0'))
                                     .toStdString();
        if (random() % 3 == 0)
            file.AddIncome(amount, date.c_str(), "工资");
        else
            file.AddExpense(amount, date.c_str(), items[random() % 8]);
    }
    file.Scalar("COMMIT");

    TLedgerTotals totals(query);
    const TYearTotals year = totals.Year("2012");
    for (int month = 1; month <= 12; ++month) {
        const std::string yearMonth = QStringLiteral("2012-%1").arg(month, 2, 10, QChar('0')).toStdString();
        const auto where = [&](const char *column) {
            return std::string("substr(") + column + ", 1, 7) = '" + yearMonth + "'";
        };
        const TMonthAmounts &amounts = year.Months[std::size_t(month - 1)];
        EXPECT_EQ(amounts.Income, SqlCents("gain", "本次进帐", where("\"进帐时间\""))) << month;
        EXPECT_EQ(amounts.Expense, SqlCents("expen", "消费金额", where("\"消费日期\""))) << month;
        for (const TItemAmount &item : year.MonthExpenseByItem[std::size_t(month - 1)])
            EXPECT_EQ(item.Amount,
                      SqlCents("expen", "消费金额",
                               where("\"消费日期\"") + " and \"消费者\" = '" + item.Item.toStdString() + "'"))
                << month << ' ' << item.Item.toStdString();
    }
    for (const TItemAmount &item : year.ExpenseByItem)
        EXPECT_EQ(item.Amount, SqlCents("expen", "消费金额",
                                        "substr(\"消费日期\", 1, 4) = '2012' and \"消费者\" = '" +
                                            item.Item.toStdString() + "'"));
    EXPECT_EQ(year.ExpenseByItem.size(), 8u);

    // The month box sums the same way, through the same totals.
    TStatisticsPage page(&query);
    page.ComboBox1->setCurrentText("2012");
    for (int month : {1, 6, 12}) {
        page.ComboBox2->setCurrentText(QString::number(month));
        page.Button1Click();
        const TMonthAmounts &amounts = year.Months[std::size_t(month - 1)];
        EXPECT_EQ(page.m1->text() + '|' + page.m2->text() + '|' + page.m3->text(),
                  CentsToText(amounts.Income) + '|' + CentsToText(amounts.Expense) + '|' +
                      CentsToText(amounts.Surplus()));
    }
    EXPECT_TRUE(boxes.Boxes().isEmpty());
}

TEST_F(LedgerTotalsTest, AYearTheEngineRejectsRaisesLikeTheLabels)
{
    TLedgerTotals totals(query);
    EXPECT_ANY_THROW(totals.Year("abc"));
}

TEST(TopItems, LargestKeptAndTheRestGatheredUnderOther)
{
    const auto items = [](std::initializer_list<std::pair<const char *, TCents>> list) {
        std::vector<TItemAmount> result;
        for (const auto &[name, amount] : list)
            result.push_back({utf8(name), amount});
        return result;
    };
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const struct {
        std::vector<TItemAmount> input;
        int slices;
        const char *expected;
    } cases[] = {
        {{}, 6, ""},
        {items({{"a", 100}, {"b", 300}}), 6, "b=3 a=1"},
        {items({{"a", 600}, {"b", 500}, {"c", 400}, {"d", 300}}), 3, "a=6 b=5 其他=7"},
        {items({{"a", 600}, {"b", 500}, {"c", 400}}), 3, "a=6 b=5 c=4"},
        // An item called 其他 always joins the gathered slice.
        {items({{"其他", 900}, {"b", 500}, {"c", 400}}), 3, "b=5 c=4 其他=9"},
        {items({{"其他", 900}, {"b", 500}, {"c", 400}, {"d", 1}}), 3, "b=5 c=4 其他=9.01"},
        // Refunds outweighing spending cannot be a share.
        {items({{"a", 600}, {"refund", -200}, {"zero", 0}}), 6, "a=6"},
        // Equal amounts: by name, whatever the order given.
        {items({{"y", 100}, {"x", 100}, {"z", 100}}), 2, "x=1 其他=2"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ItemsText(TopItems(c.input, c.slices)), utf8(c.expected)) << c.expected;
}

TEST(StatisticsMoney, CentsReadAsTheLabelsAndInTheCurrencyFormat)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    EXPECT_EQ(SumToCents(Variant(1247683.30000003)), 124768330);
    EXPECT_EQ(SumToCents(Variant(-0.005)), -1) << "half away from zero";
    EXPECT_EQ(SumToCents(Variant(std::int64_t(42))), 4200);
    EXPECT_EQ(SumToCents(Variant(Currency{125050})), 1251);
    EXPECT_EQ(SumToCents(Variant::null()), 0);
    EXPECT_THROW(SumToCents(Variant(1e300)), EConvertError);
    EXPECT_EQ(CentsToText(170050), "1700.5");
    EXPECT_EQ(CentsToText(-20025), "-200.25");
    EXPECT_EQ(CentsToCurrencyText(123456789), utf8("￥1,234,567.89"));
    EXPECT_EQ(CentsToCurrencyText(-300), utf8("￥-3.00"));
    EXPECT_EQ(CentsToCurrencyText(5), utf8("￥0.05"));
    EXPECT_EQ(CentsToCurrencyText(std::numeric_limits<TCents>::min()), utf8("￥-92,233,720,368,547,758.08"));
    RegionalSettings german = RegionalSettings::simplifiedChinese();
    german.currencySymbol = utf8("€");
    german.currencyFormat = 3;
    german.negativeCurrencyFormat = 8;
    german.decimalSeparator = ',';
    german.thousandSeparator = '.';
    setRegionalSettings(german);
    EXPECT_EQ(CentsToCurrencyText(123456), utf8("1.234,56 €"));
    EXPECT_EQ(CentsToCurrencyText(-123456), utf8("-1.234,56 €"));
    setRegionalSettings(RegionalSettings::simplifiedChinese());
}

//! The page on a known ledger, a file or a server's, shown offscreen at a
//! size where the charts fit.
class StatisticsChartsTest : public ChartsFixture, public testing::WithParamInterface<test::TEngine> {
protected:
    StatisticsChartsTest() : ChartsFixture(GetParam())
    {
        if (!file.Unavailable().empty())
            return;
        file.AddIncome(5000, "2024-01-10", "工资");
        file.AddIncome(5200, "2024-03-10", "工资");
        file.AddIncome(800.5, "2024-03-20", "兼职");
        file.AddExpense(2800, "2024-03-01", "房租");
        file.AddExpense(300.25, "2024-03-05", "伙食");
        file.AddExpense(120, "2024-03-06", "交通");
        file.AddExpense(99.99, "2024-01-06", "交通");
        file.AddExpense(6000, "2024-05-06", "医药"); // a deficit in May
        page.ComboBox1->setCurrentText("2024");
        page.ComboBox2->setCurrentText("3");
        page.ComboBox3->setCurrentText("2024");
        page.resize(1000, 700);
    }

    void Show()
    {
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
        ASSERT_FALSE(page.ChartRefreshPending()) << "shown means drawn";
    }

    //! The point of the viewport over the middle of a bar.
    QPoint BarPoint(int set, int monthIndex)
    {
        QChartView *view = page.Charts->MonthlyView;
        QBarSet *bars = set == 0 ? page.Charts->IncomeSet : page.Charts->ExpenseSet;
        // Two bars share a month's 0.75-wide slot: each is a quarter off centre.
        const QPointF value(monthIndex + (set == 0 ? -0.19 : 0.19), bars->at(monthIndex) / 2);
        const QPointF scene = view->chart()->mapToPosition(value, page.Charts->MonthlyBars);
        return view->mapFromScene(scene);
    }

    void MouseMove(QWidget *viewport, QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
    }

    TStatisticsPage page{&query};
};

//! What a pause of the given length does to the tool tip, without the pause:
//! its timers due by then fire now. A tip told to hide goes after a short
//! delay; the tip's own display time is far longer and stays untouched.
void FireToolTipTimersDueWithin(int milliseconds)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!widget->inherits("QTipLabel"))
            continue;
        for (const QAbstractEventDispatcher::TimerInfo &timer :
             QAbstractEventDispatcher::instance()->registeredTimers(widget)) {
            if (timer.interval > milliseconds)
                continue;
            QTimerEvent event(timer.timerId);
            QApplication::sendEvent(widget, &event);
        }
    }
}

//! The bars drawn in a chart view, as scene rectangles of the set's colour.
int DrawnBars(QChartView *view, const QColor &color)
{
    int count = 0;
    for (QGraphicsItem *item : view->scene()->items()) {
        auto *rect = qgraphicsitem_cast<QGraphicsRectItem *>(item);
        if (rect && rect->isVisible() && rect->brush().color() == color && rect->rect().height() > 0 &&
            !view->chart()->legend()->isAncestorOf(rect))
            ++count;
    }
    return count;
}

//! The distinct slice colours found in a rendering of a donut.
int DrawnSlices(QChartView *view, QPieSeries *donut)
{
    const QImage image = view->grab().toImage();
    int found = 0;
    for (QPieSlice *slice : donut->slices()) {
        const QRgb wanted = slice->color().rgb();
        int pixels = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                pixels += image.pixel(x, y) == wanted;
        // More than the legend's marker: the ring itself.
        found += pixels > 200;
    }
    return found;
}

TEST_P(StatisticsChartsTest, AKnownLedgerDrawsItsBarsAndSlices)
{
    Show();
    // Income in January and March, expense in January, March and May.
    EXPECT_EQ(DrawnBars(page.Charts->MonthlyView, page.Charts->IncomeSet->color()), 2);
    EXPECT_EQ(DrawnBars(page.Charts->MonthlyView, page.Charts->ExpenseSet->color()), 3);
    EXPECT_EQ(page.Charts->SurplusLine->count(), 12);
    EXPECT_EQ(page.Charts->SurplusLine->at(4).y(), -6000);
    // March: rent, food, transport; the year adds medicine.
    ASSERT_EQ(page.Charts->MonthDonut->count(), 3);
    EXPECT_EQ(DrawnSlices(page.Charts->MonthDonutView, page.Charts->MonthDonut), 3);
    ASSERT_EQ(page.Charts->YearDonut->count(), 4);
    EXPECT_EQ(DrawnSlices(page.Charts->YearDonutView, page.Charts->YearDonut), 4);
    EXPECT_EQ(page.Charts->MonthDonut->slices().first()->label(), utf8("房租 ￥2,800.00 86.9%"));
    EXPECT_EQ(page.Charts->MonthDonutView->chart()->title(), utf8("2024年3月支出构成"));
    EXPECT_TRUE(page.Charts->MonthlyView->Hint().isEmpty());
    EXPECT_TRUE(boxes.Boxes().isEmpty());
}

TEST_P(StatisticsChartsTest, HoverShowsTheExactAmountInTheCurrencyFormat)
{
    Show();
    QWidget *viewport = page.Charts->MonthlyView->viewport();
    const QPoint march = BarPoint(1, 2);
    MouseMove(viewport, march);
    EXPECT_EQ(page.Charts->MonthlyView->HoverText(), utf8("3月 支出：￥3,220.25"));
    // The tool tip request that follows a pause must keep the amount: the
    // chart's scene alone would answer it with no tip at all.
    QHelpEvent help(QEvent::ToolTip, march, viewport->mapToGlobal(march));
    QApplication::sendEvent(viewport, &help);
    FireToolTipTimersDueWithin(400);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), utf8("3月 支出：￥3,220.25"));
    MouseMove(viewport, QPoint(2, 2));
    EXPECT_EQ(page.Charts->MonthlyView->HoverText(), "");

    EXPECT_EQ(page.Charts->BarToolTip(0, 2), utf8("3月 收入：￥6,000.50"));
    EXPECT_EQ(page.Charts->SurplusToolTip(4), utf8("5月 盈余：￥-6,000.00"));
    EXPECT_EQ(TStatisticsCharts::SliceToolTip(page.Charts->YearDonut->slices().first()),
              utf8("医药：￥6,000.00（64.4%）"));
}

TEST_P(StatisticsChartsTest, ClickingAMonthBarPicksTheMonthAndSumsIt)
{
    Show();
    page.ComboBox1->setCurrentText("2023");
    const QPoint january = BarPoint(0, 0);
    QTest::mouseClick(page.Charts->MonthlyView->viewport(), Qt::LeftButton, Qt::NoModifier, january);
    EXPECT_EQ(page.ComboBox1->currentText(), "2024") << "the month box follows the bars' year";
    EXPECT_EQ(page.ComboBox2->currentText(), "1");
    EXPECT_EQ(page.m1->text() + '|' + page.m2->text() + '|' + page.m3->text(), "5000|99.99|4900.01");
    EXPECT_EQ(page.Charts->MonthDonut->count(), 1);
    EXPECT_FALSE(page.ChartRefreshPending());
}

TEST_P(StatisticsChartsTest, PickersRedrawTheChartsOnceTypingPauses)
{
    Show();
    page.ComboBox2->setCurrentText("5");
    EXPECT_TRUE(page.ChartRefreshPending());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page.ChartRefreshPending(); }, 3000));
    ASSERT_EQ(page.Charts->MonthDonut->count(), 1);
    EXPECT_EQ(page.Charts->MonthDonut->slices().first()->label(), utf8("医药 ￥6,000.00 100.0%"));

    page.ComboBox3->setCurrentText("2030");
    page.RefreshCharts();
    EXPECT_EQ(page.Charts->MonthlyView->Hint(), utf8("这一年没有记账"));
    EXPECT_EQ(page.Charts->YearDonutView->Hint(), utf8("这一年没有支出"));
    EXPECT_EQ(page.Charts->YearDonut->count(), 0);

    page.ComboBox3->setCurrentText("abc");
    page.ComboBox2->setCurrentText("13");
    page.RefreshCharts();
    EXPECT_EQ(page.Charts->MonthlyView->Hint(), utf8("请选择年份"));
    EXPECT_EQ(page.Charts->MonthDonutView->Hint(), utf8("请选择月份"));
    EXPECT_TRUE(boxes.Boxes().isEmpty()) << "a half-typed picker is no error";
}

TEST_P(StatisticsChartsTest, AnEmptyLedgerShowsEmptyChartsWithAHint)
{
    TLedgerFile empty;
    connection.Close();
    connection.SetConnectionString(empty.ConnectionString());
    Show();
    EXPECT_EQ(page.Charts->MonthlyView->Hint(), utf8("这一年没有记账"));
    EXPECT_EQ(page.Charts->MonthDonutView->Hint(), utf8("这个月没有支出"));
    EXPECT_EQ(DrawnBars(page.Charts->MonthlyView, page.Charts->IncomeSet->color()), 0);
    EXPECT_EQ(page.Charts->MonthDonut->count() + page.Charts->YearDonut->count(), 0);
    EXPECT_TRUE(boxes.Boxes().isEmpty());
}

TEST_P(StatisticsChartsTest, ALedgerThatCannotBeReadShowsAHintNotABox)
{
    connection.Close();
    connection.SetConnectionString(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/nonexistent/folder/Vantorel.mdb");
    Show();
    EXPECT_TRUE(page.Charts->MonthlyView->Hint().startsWith(utf8("无法统计：")));
    EXPECT_TRUE(boxes.Boxes().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Engines, StatisticsChartsTest, test::BothEngines(), test::EngineName);

using StatisticsChartsLedger = testing::TestWithParam<test::TEngine>;

// Saves and deletes on the entry record sets reach the charts through the
// ledger's one change notification.
TEST_P(StatisticsChartsLedger, PostAndDeleteRedrawTheCharts)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    test::OffscreenSizeHintsFilter offscreenLimits{"raise()"};
    TMessageBoxRecorder boxes;
    TLedgerFile file{GetParam()};
    TLedgerFile::RequireLedger(file);
    if (IsSkipped() || HasFatalFailure())
        return;
    file.AddExpense(10, "2024-03-01", "伙食");
    TLedgerData data;
    data.ADOConnection1.SetConnectionString(file.ConnectionString());
    TFakeShell shell;
    TForm1 window(data, shell);
    window.SetClock([] { return QDate(2024, 3, 15); });
    data.Loaded({});
    window.setWindowState(Qt::WindowNoState);
    window.resize(1000, 700);
    window.show();
    window.N5Click();
    TStatisticsPage *page = window.StatisticsPage;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_FALSE(page->ChartRefreshPending());
    EXPECT_EQ(page->Charts->ExpenseSet->at(2), 10);

    window.N2Click(); // the expense page: the charts are hidden and wait
    TDbQuery &expenses = data.ADOQuery2;
    expenses.Append();
    expenses.FieldByName(utf8("消费金额"))->SetValue(Variant(5.5));
    expenses.FieldByName(utf8("消费日期"))->SetAsString("2024-3-2");
    expenses.FieldByName(utf8("消费者"))->SetValue(Variant(utf8("交通")));
    expenses.Post();
    EXPECT_TRUE(page->ChartRefreshPending());
    window.N5Click();
    EXPECT_FALSE(page->ChartRefreshPending());
    EXPECT_EQ(page->Charts->ExpenseSet->at(2), 15.5);
    EXPECT_EQ(page->Charts->MonthDonut->count(), 2);

    // On screen, a change is drawn soon after.
    expenses.First();
    expenses.Delete();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page->ChartRefreshPending(); }, 3000));
    EXPECT_EQ(page->Charts->ExpenseSet->at(2), 5.5);
}

INSTANTIATE_TEST_SUITE_P(Engines, StatisticsChartsLedger, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum
