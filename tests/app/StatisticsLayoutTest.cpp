// The statistics page in the main window at the sizes it first opens at: every
// chart whole inside the visible part of the page, the month axis and the
// donuts' legends drawn in full, and the charts rearranged when the window
// grows or shrinks.
#include "LedgerFileFixture.h"
#include "app/LedgerData.h"
#include "app/LedgerTotals.h"
#include "app/MainWindow.h"
#include "app/StatisticsCharts.h"
#include "app/StatisticsPage.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "support/FakeShell.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QBarCategoryAxis>
#include <QChart>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QPieSeries>
#include <QPieSlice>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QValueAxis>

#include <cmath>

namespace kestrum {
namespace {

//! A ledger with a full year and a month of six items and large amounts, so
//! the legends carry their longest texts.
class StatisticsLayoutTest : public testing::Test {
protected:
    StatisticsLayoutTest()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        for (int month = 1; month <= 12; ++month) {
            const std::string date =
                "2024-" + std::string(month < 10 ? "0" : "") + std::to_string(month) + "-10";
            file.AddIncome(123456.78, date.c_str(), "工资");
            file.AddExpense(1000 + month, date.c_str(), "房租");
        }
        const char *items[] = {"伙食", "交通", "医药", "水电煤气", "通讯", "服装", "娱乐"};
        double amount = 98765.43;
        for (const char *item : items) {
            file.AddExpense(amount, "2024-03-05", item);
            amount /= 2;
        }
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        window.SetClock([] { return QDate(2024, 3, 15); });
        data.Loaded({});
    }

    //! Shows the window un-maximized at size, on the statistics page.
    void ShowAt(QSize size)
    {
        window.setWindowState(Qt::WindowNoState);
        window.resize(size);
        window.show();
        window.N5Click();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // The charts lay out their legends and axes on posted requests, one after the other.
        for (int pass = 0; pass < 3; ++pass)
            QApplication::processEvents();
        ASSERT_FALSE(window.StatisticsPage->ChartRefreshPending());
    }

    //! Every chart lies whole inside the scroll area's visible part, and
    //! every text the chart means to show is drawn in full inside the chart.
    void ExpectEveryChartWholeAndReadable()
    {
        TStatisticsPage *page = window.StatisticsPage;
        QWidget *viewport = page->ScrollArea->viewport();
        for (THintedChartView *view : page->Charts->Views()) {
            const QString title = view->chart()->title();
            const QRect rect(view->mapTo(viewport, QPoint(0, 0)), view->size());
            EXPECT_TRUE(viewport->rect().contains(rect))
                << title.toStdString() << " at " << rect.x() << ',' << rect.y() << ' ' << rect.width() << 'x'
                << rect.height() << " outside the visible " << viewport->width() << 'x' << viewport->height();
            EXPECT_GE(view->height(), 140) << title.toStdString();
            EXPECT_GE(view->width(), 300) << title.toStdString();

            // The legend wants no more room than it has: none of its texts is cut short.
            QLegend *legend = view->chart()->legend();
            const QSizeF wanted = legend->effectiveSizeHint(Qt::PreferredSize);
            EXPECT_LE(wanted.width(), legend->geometry().width() + 0.5) << title.toStdString();
            EXPECT_LE(wanted.height(), legend->geometry().height() + 0.5) << title.toStdString();
            EXPECT_TRUE(view->sceneRect().contains(legend->geometry())) << title.toStdString();
        }
        // The texts the charts draw, with the month axis: no month is cut or left out.
        QStringList shown;
        for (THintedChartView *view : page->Charts->Views())
            for (QGraphicsItem *item : view->scene()->items()) {
                auto *text = dynamic_cast<QGraphicsTextItem *>(item);
                if (text && text->isVisible() && view->sceneRect().contains(text->sceneBoundingRect()))
                    shown << text->toPlainText();
            }
        const QStringList months = page->Charts->MonthAxis()->categories();
        ASSERT_EQ(months.size(), 12);
        for (int month = 1; month <= 12; ++month) {
            EXPECT_TRUE(months[month - 1].startsWith(QString::number(month)))
                << months[month - 1].toStdString();
            EXPECT_TRUE(shown.contains(months[month - 1])) << months[month - 1].toStdString();
        }
        for (const QString &text : shown)
            EXPECT_FALSE(text.endsWith(QStringLiteral("...")) || text.endsWith(QChar(0x2026)))
                << text.toStdString();
        for (QPieSeries *donut : {page->Charts->MonthDonut, page->Charts->YearDonut}) {
            ASSERT_EQ(donut->count(), TStatisticsCharts::DonutSlices);
            for (QPieSlice *slice : donut->slices())
                EXPECT_TRUE(shown.contains(slice->label())) << slice->label().toStdString();
        }
    }

    test::OffscreenSizeHintsFilter offscreenLimits{"raise()"};
    TMessageBoxRecorder boxes;
    TLedgerFile file;
    TLedgerData data;
    TFakeShell shell;
    TForm1 window{data, shell};
};

// Guards against charts that needed scrolling at the window's restored size.
TEST_F(StatisticsLayoutTest, AtTheRestoredSizeEveryChartIsWholeWithoutScrolling)
{
    ShowAt(window.normalGeometry().size());
    ExpectEveryChartWholeAndReadable();
    EXPECT_EQ(window.StatisticsPage->ScrollArea->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(window.StatisticsPage->ScrollArea->horizontalScrollBar()->maximum(), 0);
}

TEST_F(StatisticsLayoutTest, MaximizedOnCommonScreensEveryChartIsWhole)
{
    for (QSize size : {QSize(1024, 700), QSize(1366, 740), QSize(1920, 1040)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        ShowAt(size);
        ExpectEveryChartWholeAndReadable();
    }
}

TEST_F(StatisticsLayoutTest, ChartsMoveBesideEachOtherWhenTheWindowGrowsAndBackWhenItShrinks)
{
    ShowAt(QSize(865, 583));
    const auto columns = [this] {
        QList<int> lefts;
        for (THintedChartView *view : window.StatisticsPage->Charts->Views())
            if (!lefts.contains(view->x()))
                lefts << view->x();
        return lefts.size();
    };
    EXPECT_EQ(columns(), 1);
    ShowAt(QSize(1600, 900));
    EXPECT_EQ(columns(), 2);
    ShowAt(QSize(865, 583));
    EXPECT_EQ(columns(), 1);
    ExpectEveryChartWholeAndReadable();
}

TEST_F(StatisticsLayoutTest, ASmallerWindowScrollsInsteadOfSqueezingTheCharts)
{
    ShowAt(QSize(600, 400));
    for (THintedChartView *view : window.StatisticsPage->Charts->Views()) {
        EXPECT_GE(view->height(), 140);
        EXPECT_GE(view->width(), 300);
    }
    EXPECT_GT(window.StatisticsPage->ScrollArea->verticalScrollBar()->maximum(), 0);
}

// A pixel check at the restored size: the donuts' rings are drawn in the
// visible page, not only laid out there.
TEST_F(StatisticsLayoutTest, AtTheRestoredSizeTheRingsAreOnScreen)
{
    ShowAt(window.normalGeometry().size());
    TStatisticsCharts *charts = window.StatisticsPage->Charts;
    QWidget *viewport = window.StatisticsPage->ScrollArea->viewport();
    const QImage image = viewport->grab().toImage();
    for (auto [view, donut] : {std::pair(charts->MonthDonutView, charts->MonthDonut),
                               std::pair(charts->YearDonutView, charts->YearDonut)}) {
        const QRgb wanted = donut->slices().first()->color().rgb();
        const QRect rect = QRect(view->mapTo(viewport, QPoint(0, 0)), view->size()).intersected(image.rect());
        int pixels = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                pixels += image.pixel(x, y) == wanted;
        EXPECT_GT(pixels, 400) << "the largest slice of " << donut->chart()->title().toStdString();
    }
}

// Guards against amount labels written as "..." where the bars of an empty
// year had more ticks than their labels had room for.
TEST(StatisticsEmptyLedger, AtTheRestoredSizeNoLabelIsCut)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    test::OffscreenSizeHintsFilter offscreenLimits{"raise()"};
    TMessageBoxRecorder boxes;
    TLedgerFile file;
    TLedgerData data;
    data.ADOConnection1.SetConnectionString(file.ConnectionString());
    TFakeShell shell;
    TForm1 window(data, shell);
    window.SetClock([] { return QDate(2024, 3, 15); });
    data.Loaded({});
    window.setWindowState(Qt::WindowNoState);
    window.resize(window.normalGeometry().size());
    window.show();
    window.N5Click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int pass = 0; pass < 3; ++pass)
        QApplication::processEvents();
    int labels = 0;
    for (THintedChartView *view : window.StatisticsPage->Charts->Views())
        for (QGraphicsItem *item : view->scene()->items())
            if (auto *text = dynamic_cast<QGraphicsTextItem *>(item); text && text->isVisible()) {
                ++labels;
                EXPECT_FALSE(text->toPlainText().endsWith(QStringLiteral("...")))
                    << text->toPlainText().toStdString();
            }
    EXPECT_GT(labels, 12);
}

// Guards against the totals of the previous ledger staying on the page after
// another ledger was opened, as if they were the new one's.
TEST(StatisticsLedgerSwitch, TotalsOfTheLedgerLeftBehindAreCleared)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    test::OffscreenSizeHintsFilter offscreenLimits{"raise()"};
    TMessageBoxRecorder boxes;
    TLedgerFile first, second;
    first.AddIncome(500, "2024-03-01");
    first.AddExpense(20, "2024-03-02");
    TLedgerData data;
    data.ADOConnection1.SetConnectionString(first.ConnectionString());
    TFakeShell shell;
    TForm1 window(data, shell);
    window.SetClock([] { return QDate(2024, 3, 15); });
    data.Loaded({});
    TStatisticsPage *page = window.StatisticsPage;
    page->ComboBox1->setCurrentText("2024");
    page->ComboBox2->setCurrentText("3");
    page->Button3Click();
    page->Button1Click();
    ASSERT_EQ(page->l1->text(), "500");
    ASSERT_EQ(page->m3->text(), "480");

    // Entries written to the same ledger leave the labels as they are until pressed.
    data.LedgerChanged();
    EXPECT_EQ(page->l1->text(), "500");

    // As the ledger switch does it.
    data.SwitchTo(second.Path(), false);
    data.Loaded({});
    data.LedgerChanged();
    for (QLabel *label :
         {page->l1, page->l2, page->l3, page->m1, page->m2, page->m3, page->y1, page->y2, page->y3})
        EXPECT_EQ(label->text(), QString()) << label->objectName().toStdString();
    page->Button3Click();
    EXPECT_EQ(page->l1->text(), "0");
    EXPECT_TRUE(boxes.Boxes().empty());
}

// Guards against the year chart's amount axis reading 0, 133333333,
// 266666667, 400000000: its range was cut into as many parts as there was
// room for, round or not.
TEST(StatisticsYearChart, AmountTicksAreRoundNumbers)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    test::OffscreenSizeHintsFilter offscreenLimits{"raise()"};
    TMessageBoxRecorder boxes;
    TLedgerFile file;
    TLedgerData data;
    data.ADOConnection1.SetConnectionString(file.ConnectionString());
    TFakeShell shell;
    TForm1 window(data, shell);
    window.SetClock([] { return QDate(2024, 3, 15); });
    data.Loaded({});
    window.setWindowState(Qt::WindowNoState);
    window.resize(window.normalGeometry().size());
    window.show();
    window.N5Click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    TStatisticsCharts &charts = *window.StatisticsPage->Charts;
    for (const TCents high : {TCents(40000000000), TCents(225615916803), TCents(1250), TCents(98765432)}) {
        TYearTotals year;
        year.Year = QStringLiteral("2024");
        year.Months[7].Income = high;
        year.Months[2].Expense = high / 3;
        year.Empty = false;
        charts.ShowYear(year);
        for (int pass = 0; pass < 3; ++pass)
            QApplication::processEvents();
        const auto axes = charts.MonthlyView->chart()->axes(Qt::Vertical);
        ASSERT_EQ(axes.size(), 1);
        const auto *axis = static_cast<const QValueAxis *>(axes.first());
        SCOPED_TRACE(testing::Message() << "highest month " << high << " cents, axis " << axis->min()
                                        << " .. " << axis->max() << " in " << axis->tickCount());
        ASSERT_GE(axis->tickCount(), 2);
        EXPECT_GE(axis->max() * 100, double(high));
        const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
        const double decade = std::pow(10.0, std::floor(std::log10(step)));
        const double mantissa = step / decade;
        EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 2.5 || mantissa == 5) << step;
    }
}

} // namespace
} // namespace kestrum
