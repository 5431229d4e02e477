// The calendar and calculator controls under the mouse, and the calendar's
// layout from font metrics.
#include "editors/CalendarWidget.h"
#include "core/DateTime.h"
#include "editors/CalculatorWidget.h"
#include "editors/DateParsing.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

void Mouse(QWidget &widget, QEvent::Type type, QPoint point)
{
    Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(point), widget.mapToGlobal(QPointF(point)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

void Click(QWidget &widget, QPoint press, QPoint release)
{
    Mouse(widget, QEvent::MouseButtonPress, press);
    Mouse(widget, QEvent::MouseMove, release);
    Mouse(widget, QEvent::MouseButtonRelease, release);
}

std::string Day(double date)
{
    return date == NullDate ? "null" : FormatDateTime("yyyy-mm-dd", date).toStdString();
}

class CalendarWidgetTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetDateClock([] { return EncodeDate(2024, 1, 31); });
    }
    void TearDown() override { SetDateClock(nullptr); }
};

TEST_F(CalendarWidgetTest, LayoutFollowsTheFontMetrics)
{
    TkvCalendarLayout layout = TkvCalendarLayout::Compute(7, 13, 12, 9, 26, true, true);
    EXPECT_EQ(layout.CellWidth, 21);
    EXPECT_EQ(layout.SideMargin, 14);
    EXPECT_EQ(layout.RowHeight, 15);
    EXPECT_EQ(layout.CaptionHeight, 18);
    EXPECT_EQ(layout.WeekdayRowHeight, 16);
    EXPECT_EQ(layout.ButtonStripHeight, 30);
    EXPECT_EQ(layout.ButtonWidth, 47);
    EXPECT_EQ(layout.Size, QSize(175, 156));
    EXPECT_EQ(TkvCalendarLayout::Compute(7, 13, 12, 9, 26, false, false).Size, QSize(175, 125));
}

TEST_F(CalendarWidgetTest, ReleasingOnADayChoosesItAndArrowsTurnTheMonth)
{
    TkvCustomCalendar calendar;
    std::vector<std::string> chosen;
    calendar.OnDateChosen = [&](double date) { chosen.push_back(Day(date)); };
    QPoint day = calendar.DayRect(2, 3).center();
    const std::string expected = Day(calendar.Model().DayAt(2, 3));
    Click(calendar, day, day);
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0], expected);
    // Dragging moves the selection; the day under the release is chosen.
    Click(calendar, calendar.DayRect(0, 0).center(), calendar.DayRect(1, 1).center());
    EXPECT_EQ(chosen.back(), Day(calendar.Model().DayAt(1, 1)));
    Click(calendar, calendar.NextArrowRect().center(), calendar.NextArrowRect().center());
    EXPECT_EQ(calendar.Model().DisplayedMonth(), 2);
    Click(calendar, calendar.PreviousArrowRect().center(), calendar.PreviousArrowRect().center());
    Click(calendar, calendar.PreviousArrowRect().center(), calendar.PreviousArrowRect().center());
    EXPECT_EQ(calendar.Model().DisplayedMonth(), 12);
    EXPECT_EQ(chosen.size(), 2u);
    Click(calendar, calendar.TodayButtonRect().center(), calendar.TodayButtonRect().center());
    EXPECT_EQ(chosen.back(), "2024-01-31");
    Click(calendar, calendar.ClearButtonRect().center(), calendar.ClearButtonRect().center());
    EXPECT_EQ(chosen.back(), "null");
}

TEST_F(CalendarWidgetTest, CaptionOpensTheMonthListOverIt)
{
    TkvCustomCalendar calendar;
    Mouse(calendar, QEvent::MouseButtonPress, calendar.CaptionRect().center());
    ASSERT_TRUE(calendar.MonthListOpen());
    TMonthListBox &list = *calendar.MonthListBox();
    int year = 0, month = 0;
    list.Model().MonthAt(0, year, month);
    EXPECT_EQ(year * 100 + month, 202310);
    // A window of its own, seven rows of the caption's height less 2 and six
    // cells wide, centred on the caption: the months before the displayed
    // one lie above the calendar.
    const int rowHeight = calendar.Layout().CaptionHeight - 2;
    EXPECT_EQ(list.size(), QSize(6 * calendar.Layout().CellWidth, 7 * rowHeight));
    EXPECT_EQ(list.geometry().center().y(), calendar.CaptionRect().center().y());
    EXPECT_LT(list.geometry().top(), 0);
    // The pointer over the first row highlights October; releasing shows it.
    Mouse(list, QEvent::MouseMove, list.RowRect(0).center());
    EXPECT_EQ(list.Model().HighlightedRow(), 0);
    Mouse(list, QEvent::MouseButtonRelease, list.RowRect(0).center());
    EXPECT_FALSE(calendar.MonthListOpen());
    EXPECT_FALSE(list.isVisible());
    EXPECT_EQ(calendar.Model().DisplayedYear() * 100 + calendar.Model().DisplayedMonth(), 202310);
}

TEST_F(CalendarWidgetTest, MonthListScrollsWhileThePointerIsAboveOrBelow)
{
    TkvCustomCalendar calendar;
    Mouse(calendar, QEvent::MouseButtonPress, calendar.CaptionRect().center());
    TMonthListBox &list = *calendar.MonthListBox();
    const int rowHeight = list.RowHeight();
    // While the button is still held over the calendar, the calendar hands
    // the pointer on to the list.
    Mouse(calendar, QEvent::MouseMove, list.mapTo(&calendar, list.RowRect(6).center()));
    EXPECT_EQ(list.Model().HighlightedRow(), 6);
    Mouse(list, QEvent::MouseMove, QPoint(5, -1));
    EXPECT_EQ(list.ScrollInterval(), 500);
    EXPECT_EQ(list.Model().HighlightedRow(), -1);
    Mouse(list, QEvent::MouseMove, QPoint(5, -2 * rowHeight - 1));
    EXPECT_EQ(list.ScrollInterval(), 100);
    list.ScrollTick();
    int year = 0, month = 0;
    list.Model().MonthAt(0, year, month);
    EXPECT_EQ(year * 100 + month, 202309);
    Mouse(list, QEvent::MouseMove, QPoint(5, list.height() + 3 * rowHeight));
    EXPECT_EQ(list.ScrollInterval(), 50);
    list.ScrollTick();
    list.ScrollTick();
    // Released outside the months: the list closes and the month stays.
    Mouse(list, QEvent::MouseButtonRelease, QPoint(5, list.height() + 3 * rowHeight));
    EXPECT_FALSE(calendar.MonthListOpen());
    EXPECT_EQ(list.ScrollInterval(), 0);
    EXPECT_EQ(calendar.Model().DisplayedYear() * 100 + calendar.Model().DisplayedMonth(), 202401);
    // Opened again, it starts three months before the displayed one.
    Mouse(calendar, QEvent::MouseButtonPress, calendar.CaptionRect().center());
    list.Model().MonthAt(3, year, month);
    EXPECT_EQ(year * 100 + month, 202401);
    Mouse(calendar, QEvent::MouseButtonRelease, list.mapTo(&calendar, list.RowRect(4).center()));
    EXPECT_EQ(calendar.Model().DisplayedYear() * 100 + calendar.Model().DisplayedMonth(), 202402);
}

TEST_F(CalendarWidgetTest, CalculatorKeysPerformOnReleaseOverTheSameKey)
{
    TkvCustomCalculator calculator;
    const TkvCalculatorLayout &layout = calculator.Layout();
    QPoint seven = layout.Button(cbNum7).Rect.center();
    Click(calculator, seven, seven);
    EXPECT_EQ(calculator.Engine().Display().toStdString(), "7");
    Click(calculator, seven, layout.Button(cbNum8).Rect.center());
    EXPECT_EQ(calculator.Engine().Display().toStdString(), "7");
    // MR is disabled while the memory is empty: the mouse cannot press it.
    QPoint recall = layout.Button(cbMR).Rect.center();
    Click(calculator, recall, recall);
    EXPECT_EQ(calculator.Engine().Display().toStdString(), "7");
    // Holding a key down performs it once; Back repeats.
    calculator.HandleKeyPress(Qt::Key_unknown, Qt::NoModifier, "1");
    calculator.HandleKeyPress(Qt::Key_unknown, Qt::NoModifier, "1");
    EXPECT_EQ(calculator.Engine().Display().toStdString(), "71");
    calculator.HandleKeyRelease(Qt::Key_unknown);
    calculator.HandleKeyPress(Qt::Key_Backspace, Qt::NoModifier, "\b");
    calculator.HandleKeyPress(Qt::Key_Backspace, Qt::NoModifier, "\b");
    EXPECT_EQ(calculator.Engine().Display().toStdString(), "0");
}

TEST_F(CalendarWidgetTest, StandaloneCalculatorFitsItsKeysToItsSize)
{
    TkvCustomCalculator calculator;
    // A hidden widget gets its resize event only when shown: send it now.
    auto resize = [&](QSize size) {
        QSize old = calculator.size();
        calculator.resize(size);
        QResizeEvent event(size, old);
        QCoreApplication::sendEvent(&calculator, &event);
    };
    resize(QSize(1000, 256));
    EXPECT_EQ(calculator.Layout().Metrics().KeyHeight, 44);
    resize(QSize(100, 50));
    EXPECT_EQ(calculator.Layout().Metrics().KeyHeight, 22);
}

} // namespace
} // namespace kestrum
