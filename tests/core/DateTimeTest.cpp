#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/RegionalSettings.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

std::string parts(double value)
{
    DateTimeParts p;
    if (!TryDecodeDateTime(value, p))
        return "invalid";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second, p.msec);
    return buffer;
}

std::string parsed(const char *utf8)
{
    double value = 0;
    if (!TryTextToDateTime(QString::fromUtf8(utf8), value))
        return "no date";
    return parts(value);
}

} // namespace

TEST(DateTime, DayNumbersAndTheirParts)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(2024, 7, 5), 45478);
    EXPECT_EQ(EncodeDate(1, 1, 1), MinDateTime);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
    EXPECT_EQ(EncodeDate(2000, 2, 29), 36585);
    EXPECT_THROW(EncodeDate(1900, 2, 29), EVariantConversionError);
    EXPECT_EQ(parts(45478.75), "2024-07-05 18:00:00.000");
    EXPECT_EQ(parts(-1.25), "1899-12-29 06:00:00.000"); // the fraction counts forward from midnight
    EXPECT_EQ(parts(ComposeDateTime(-1, 0.25)), "1899-12-29 06:00:00.000");
    EXPECT_EQ(parts(45478.9999999999), "2024-07-06 00:00:00.000"); // rounds into the next day
    EXPECT_EQ(parts(MaxDateTime), "9999-12-31 23:59:59.999");
    EXPECT_EQ(parts(MaxDateTime + 1), "invalid");
    EXPECT_EQ(parts(std::nan("")), "invalid");
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 7, 5)), 6); // a Friday
    EXPECT_EQ(DayOfWeek(0), 7);                      // 30 December 1899 was a Saturday
    EXPECT_EQ(DayOfWeek(-1), 6);
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
    EXPECT_EQ(TimeOf(45478.5), 0.5);
    EXPECT_EQ(DateOf(45478.5), 45478);
}

TEST(DateTime, FormatsByPatternLetters)
{
    const double value = EncodeDate(2024, 7, 5) + EncodeTime(8, 5, 9, 7);
    EXPECT_EQ(DateTimeToText(value), "2024-7-5 8:05:09");
    EXPECT_EQ(DateTimeToText(EncodeDate(2024, 7, 5)), "2024-7-5");
    EXPECT_EQ(DateToText(value), "2024-7-5");
    EXPECT_EQ(TimeToText(value), "8:05:09");
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", value), "2024-07-05 08:05:09.007");
    EXPECT_EQ(FormatDateTime("yy mmmm dddd", value), QString::fromUtf8("24 七月 星期五"));
    EXPECT_EQ(FormatDateTime("mmm ddd", value), QString::fromUtf8("七月 五"));
    EXPECT_EQ(FormatDateTime("h:mm ampm", value + 0.5), QString::fromUtf8("8:05 下午"));
    EXPECT_EQ(FormatDateTime("h:mm am/pm", value), "8:05 am");
    EXPECT_EQ(FormatDateTime("'yyyy' yyyy", value), "yyyy 2024");
    EXPECT_EQ(FormatDateTime("t", value), "8:05");
    EXPECT_EQ(FormatDateTime("ddddd", value), "2024-7-5");
    EXPECT_THROW(DateTimeToText(1e9), EVariantConversionError);
}

TEST(DateTime, ParsesTheShortDateAndTimes)
{
    const int thisYear = QDate::currentDate().year();
    struct Row {
        const char *text;
        std::string expected;
    } rows[] = {
        {"2024-7-5", "2024-07-05 00:00:00.000"},
        {" 2024-07-05 ", "2024-07-05 00:00:00.000"},
        {"2024/7/5", "2024-07-05 00:00:00.000"},
        {"2024-7-5 8:30", "2024-07-05 08:30:00.000"},
        {"2024-7-5 8:30:15", "2024-07-05 08:30:15.000"},
        {"2024-7-5 8:30:15.25", "2024-07-05 08:30:15.250"},
        {"8:30", "1899-12-30 08:30:00.000"},
        {"下午3:00", "1899-12-30 15:00:00.000"},
        {"3:00 PM", "1899-12-30 15:00:00.000"},
        {"12:00 AM", "1899-12-30 00:00:00.000"},
        {"24-7-5", "2024-07-05 00:00:00.000"},
        {"0001-1-1", "0001-01-01 00:00:00.000"},
        {"2024-2-30", "no date"},
        {"2024-13-1", "no date"},
        {"2024-7-5x", "no date"},
        {"2024-7", "no date"},
        {"", "no date"},
        {"12:60", "no date"},
        {"25:00", "no date"},
        {"13:00 PM", "no date"},
        {"2024-7-5 8", "no date"},
        {"abc", "no date"},
        {"2024", "no date"},
        {"10000-1-1", "no date"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(parsed(row.text), row.expected) << row.text;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%04d-07-05 00:00:00.000", thisYear);
    EXPECT_EQ(parsed("7-5"), expected); // without a year: this year
}

TEST(DateTime, ParsingFollowsTheDateOrderOfTheSettings)
{
    RegionalSettings settings = RegionalSettings::simplifiedChinese();
    settings.shortDateFormat = "dd.MM.yyyy";
    settings.dateSeparator = '.';
    double value = 0;
    ASSERT_TRUE(TryTextToDateTime("5.7.2024", value, settings));
    EXPECT_EQ(value, EncodeDate(2024, 7, 5));
    EXPECT_EQ(FormatDateTime("ddddd", value, settings), "05.07.2024");
}
