#include "app/ExportRange.h"
#include "app/ExportDialog.h"

#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

namespace kestrum {
namespace {

QString span(const TExportRange &range)
{
    const auto text = [](const QDate &date) { return date.isValid() ? date.toString(Qt::ISODate) : "open"; };
    return text(range.From()) + ".." + text(range.To());
}

const QDate Today(2024, 3, 14);

TEST(ExportRange, PickersStartOnTheMonthThePagesShowOrOnTodayWhenThatIsNoMonth)
{
    struct Case {
        const char *year, *month, *expected;
    } cases[] = {
        {"2006", "7", "2006-07-01..2006-07-31"},  {" 2023 ", "2", "2023-02-01..2023-02-28"},
        {"2024", "2", "2024-02-01..2024-02-29"}, // leap year
        {"2006", "13", "2024-03-01..2024-03-31"}, {"abc", "7", "2024-03-01..2024-03-31"},
        {"2006", "", "2024-03-01..2024-03-31"},   {"99999", "1", "2024-03-01..2024-03-31"},
    };
    for (const Case &c : cases) {
        TExportRange range(Today, c.year, c.month);
        EXPECT_EQ(span(range), c.expected) << c.year << '/' << c.month;
        range.SetChoice(TExportChoice::Range); // the range starts on the same month
        EXPECT_EQ(span(range), c.expected) << c.year << '/' << c.month;
    }
}

TEST(ExportRange, EachChoiceStandsForItsDatesAndEnablesItsOwnPickers)
{
    TExportRange range(Today, "2006", "12");
    range.SetChoice(TExportChoice::All);
    EXPECT_EQ(span(range), "open..open");
    EXPECT_FALSE(range.MonthPickersEnabled() || range.RangePickersEnabled());
    range.SetChoice(TExportChoice::ThisMonth);
    EXPECT_EQ(span(range), "2024-03-01..2024-03-31");
    EXPECT_FALSE(range.MonthPickersEnabled() || range.RangePickersEnabled());
    range.SetChoice(TExportChoice::Month);
    EXPECT_EQ(span(range), "2006-12-01..2006-12-31");
    EXPECT_TRUE(range.MonthPickersEnabled() && !range.RangePickersEnabled());
    range.SetChoice(TExportChoice::Range);
    range.SetRangeFrom(QDate(2005, 1, 1));
    EXPECT_EQ(span(range), "2005-01-01..2006-12-31");
    EXPECT_TRUE(!range.MonthPickersEnabled() && range.RangePickersEnabled());
}

TEST(ExportRange, ImpossibleChoicesAreRefusedWithAReason)
{
    TExportRange range(Today, "2006", "7");
    EXPECT_TRUE(range.CanExport());
    range.SetMonth(13);
    EXPECT_EQ(range.Problem(), QString::fromUtf8("月份应在1到12之间。"));
    range.SetMonth(7);
    range.SetYear(1899);
    EXPECT_FALSE(range.CanExport());
    range.SetChoice(TExportChoice::All); // the month pickers no longer matter
    EXPECT_TRUE(range.CanExport());

    range.SetChoice(TExportChoice::Range);
    range.SetRangeFrom(QDate(2006, 8, 1));
    range.SetRangeTo(QDate(2006, 7, 31));
    EXPECT_EQ(range.Problem(), QString::fromUtf8("起始日期晚于结束日期。"));
    range.SetRangeTo(QDate(2006, 8, 1)); // one day is a range
    EXPECT_TRUE(range.CanExport());
    range.SetRangeTo(QDate());
    EXPECT_FALSE(range.CanExport());
}

TEST(ExportRange, FileNameAndDescriptionFollowTheChoice)
{
    TExportRange range(Today, "2006", "7");
    EXPECT_EQ(range.SuggestedFileName(), "Kestrum-2006-07.csv");
    EXPECT_EQ(range.Description(), QString::fromUtf8("2006年7月"));
    range.SetChoice(TExportChoice::All);
    EXPECT_EQ(range.SuggestedFileName(), "Kestrum.csv");
    range.SetChoice(TExportChoice::Range);
    EXPECT_EQ(range.SuggestedFileName(), "Kestrum-20060701-20060731.csv");
    EXPECT_EQ(range.Description(), QString::fromUtf8("2006-07-01至2006-07-31"));
}

TEST(ExportDialog, WidgetsPassThePicksOnAndTheExportButtonFollowsTheProblem)
{
    TExportDialog dialog(TExportRange(Today, "2006", "7"));
    EXPECT_TRUE(dialog.MonthButton->isChecked());
    EXPECT_EQ(dialog.YearSpin->value(), 2006);
    EXPECT_EQ(dialog.MonthCombo->currentText(), "7");
    EXPECT_TRUE(dialog.YearSpin->isEnabled());
    EXPECT_FALSE(dialog.FromEdit->isEnabled());

    dialog.MonthCombo->setCurrentIndex(1);
    dialog.YearSpin->setValue(2008);
    EXPECT_EQ(span(dialog.Range()), "2008-02-01..2008-02-29");

    dialog.RangeButton->click();
    EXPECT_FALSE(dialog.YearSpin->isEnabled());
    EXPECT_TRUE(dialog.ToEdit->isEnabled());
    dialog.FromEdit->setDate(QDate(2006, 9, 1));
    EXPECT_FALSE(dialog.ExportButton->isEnabled());
    dialog.ToEdit->setDate(QDate(2006, 9, 30));
    EXPECT_TRUE(dialog.ExportButton->isEnabled());
    EXPECT_EQ(span(dialog.Range()), "2006-09-01..2006-09-30");

    dialog.AllButton->click();
    EXPECT_EQ(dialog.Range().Choice(), TExportChoice::All);
    EXPECT_FALSE(dialog.FromEdit->isEnabled());
}

// Regression: the export wrote only the Chinese CSV, which no other finance program reads.
TEST(ExportDialog, TheLayoutIsPickedInTheDialogAndNamesTheFile)
{
    TExportDialog dialog(TExportRange(Today, "2006", "7"));
    EXPECT_EQ(dialog.Range().Format(), xfCsv);
    dialog.FormatCombo->setCurrentIndex(dialog.FormatCombo->findData(int(xfQif)));
    EXPECT_EQ(dialog.Range().Format(), xfQif);
    EXPECT_EQ(dialog.Range().SuggestedFileName(), "Kestrum-2006-07.qif");
    dialog.FormatCombo->setCurrentIndex(dialog.FormatCombo->findData(int(xfCsvEnglish)));
    EXPECT_EQ(dialog.Range().SuggestedFileName(), "Kestrum-2006-07.csv");
}

// Guards against date fields that only the arrows and the calendar could change.
TEST(ExportDialog, DatesAreTyped)
{
    TExportRange range(Today, "2006", "7");
    range.SetChoice(TExportChoice::Range);
    TExportDialog dialog(range);
    QDateEdit &from = *dialog.FromEdit;
    from.setFocus();
    // The cursor at the start of the year, as a click leaves it: the typed year replaces it.
    QTest::keyClick(&from, Qt::Key_Home);
    QTest::keyClicks(&from, "2023");
    EXPECT_EQ(from.date(), QDate(2023, 7, 1));
    from.setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(&from, "15");
    EXPECT_EQ(from.date(), QDate(2023, 7, 15));
    EXPECT_EQ(span(dialog.Range()), "2023-07-15..2006-07-31");
    // A whole date, with or without its separators, over what the field held.
    QDateEdit &to = *dialog.ToEdit;
    for (const char *typed : {"2024-02-29", "20240229"}) {
        to.setDate(QDate(2006, 7, 31));
        to.setFocus();
        QTest::keyClick(&to, Qt::Key_Home);
        QTest::keyClicks(&to, typed);
        EXPECT_EQ(to.date(), QDate(2024, 2, 29)) << typed;
    }
    EXPECT_EQ(span(dialog.Range()), "2023-07-15..2024-02-29");
}

// Guards against a calendar pop-up in English ("November 2007", Mon…Sun) in a Chinese program.
TEST(ExportDialog, TheCalendarSpeaksChinese)
{
    TExportRange range(Today, "2007", "11");
    TExportDialog dialog(range);
    for (QDateEdit *edit : {dialog.FromEdit, dialog.ToEdit}) {
        QCalendarWidget *calendar = edit->calendarWidget();
        ASSERT_TRUE(calendar);
        calendar->setSelectedDate(QDate(2007, 11, 5));
        const auto *month = calendar->findChild<QToolButton *>(QStringLiteral("qt_calendar_monthbutton"));
        ASSERT_TRUE(month);
        EXPECT_EQ(month->text(), QString::fromUtf8("十一月"));
        EXPECT_EQ(calendar->firstDayOfWeek(), Qt::Monday);
        EXPECT_EQ(calendar->horizontalHeaderFormat(), QCalendarWidget::SingleLetterDayNames);
        EXPECT_EQ(calendar->locale().dayName(1, QLocale::NarrowFormat), QString::fromUtf8("一"));
        EXPECT_EQ(calendar->locale().dayName(7, QLocale::NarrowFormat), QString::fromUtf8("日"));
    }
}

// Guards against the dialog opening on the page's month (an empty one, often) instead of the entries.
TEST(ExportRange, StartsOnTheDaysThatHoldEntriesOrOnThisYear)
{
    TExportRange range(Today, "2006", "12");
    range.StartOnEntries(QDate(2005, 3, 9), QDate(2006, 9, 1));
    EXPECT_EQ(range.Choice(), TExportChoice::Range);
    EXPECT_EQ(span(range), "2005-03-09..2006-09-01");
    range.SetChoice(TExportChoice::Month);
    EXPECT_EQ(span(range), "2006-12-01..2006-12-31") << "the month pickers still start on the page's month";
    TExportRange empty(Today, "2006", "12");
    empty.StartOnEntries(QDate(), QDate());
    EXPECT_EQ(span(empty), "2024-01-01..2024-12-31");
}

} // namespace
} // namespace kestrum
