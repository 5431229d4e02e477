// Date words on fixed days, date texts, formatting and the masks the format
// controller builds from the regional settings.
#include "editors/DateParsing.h"
#include "core/DateTime.h"
#include "core/RegionalSettings.h"
#include "editors/DateEditFormatController.h"
#include "editors/RegExpr.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

class DateParsingTest : public testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        // Wednesday 14 February 2024 (a leap year), 09:30.
        SetNow(EncodeDate(2024, 2, 14) + EncodeTime(9, 30, 0));
    }
    void TearDown() override { SetDateClock(nullptr); }

    void SetNow(double now)
    {
        SetDateClock([now] { return now; });
    }

    static std::string Parsed(const QString &text)
    {
        double date = ParseDateText(text);
        if (date == NullDate)
            return "null";
        return FormatDateTime("yyyy-mm-dd hh:nn", date).toStdString();
    }
};

TEST_F(DateParsingTest, WordsOnAWednesday)
{
    EXPECT_EQ(Parsed("今天"), "2024-02-14 00:00");
    EXPECT_EQ(Parsed("昨天"), "2024-02-13 00:00");
    EXPECT_EQ(Parsed("明天"), "2024-02-15 00:00");
    EXPECT_EQ(Parsed("星期三"), "2024-02-14 00:00");
    EXPECT_EQ(Parsed("星期二"), "2024-02-20 00:00");
    EXPECT_EQ(Parsed("星期日"), "2024-02-18 00:00");
    EXPECT_EQ(Parsed("第一"), "2024-02-11 00:00");
    EXPECT_EQ(Parsed("第七"), "2024-02-17 00:00");
    EXPECT_EQ(Parsed("bom"), "2024-02-01 00:00");
    EXPECT_EQ(Parsed("EOM"), "2024-02-29 00:00");
    EXPECT_EQ(Parsed("now"), "2024-02-14 09:30");
}

TEST_F(DateParsingTest, WordsTakeDaysAfterASign)
{
    EXPECT_EQ(Parsed("今天+3"), "2024-02-17 00:00");
    EXPECT_EQ(Parsed(" 昨天 - 1 "), "2024-02-12 00:00");
    EXPECT_EQ(Parsed("eom+1"), "2024-03-01 00:00");
    EXPECT_EQ(Parsed("今天+x"), "2024-02-14 00:00");
    EXPECT_EQ(Parsed("今天+"), "2024-02-14 00:00");
    EXPECT_EQ(Parsed("今天+99999999"), "2024-02-14 00:00");
}

TEST_F(DateParsingTest, EndOfMonthOutsideALeapYear)
{
    SetNow(EncodeDate(2023, 2, 10));
    EXPECT_EQ(Parsed("eom"), "2023-02-28 00:00");
    SetNow(EncodeDate(2023, 12, 31));
    EXPECT_EQ(Parsed("明天"), "2024-01-01 00:00");
}

TEST_F(DateParsingTest, DateTextsInTheShortFormat)
{
    EXPECT_EQ(Parsed("2024-3-5"), "2024-03-05 00:00");
    EXPECT_EQ(Parsed("2024-03-05 8:15:00"), "2024-03-05 08:15");
    EXPECT_EQ(Parsed("2024-三月-5"), "2024-03-05 00:00");
    EXPECT_EQ(Parsed("2024-2-30"), "null");
    EXPECT_EQ(Parsed("abc"), "null");
    EXPECT_EQ(Parsed("   "), "null");
}

TEST_F(DateParsingTest, FormattingShowsTheTimeOnlyWhenThereIsOne)
{
    EXPECT_EQ(FormatDateText(EncodeDate(2024, 3, 5), ikRegExpr).toStdString(), "2024-3-5");
    EXPECT_EQ(FormatDateText(EncodeDate(2024, 3, 5) + EncodeTime(8, 15, 0), ikRegExpr).toStdString(),
              "2024-3-5 8:15:00");
    EXPECT_EQ(FormatDateText(EncodeDate(2024, 3, 5), ikMask).toStdString(), "2024-03-05");
    EXPECT_EQ(FormatDateText(NullDate, ikRegExpr).toStdString(), "");
}

TEST_F(DateParsingTest, FormatControllerBuildsTheDateMasks)
{
    TkvFormatController &controller = TkvFormatController::Instance();
    EXPECT_EQ(controller.DateFormat().toStdString(), "yyyy-MM-dd");
    EXPECT_EQ(controller.MaskEditDateFormat().toStdString(), "yyyy-MM-dd");
    EXPECT_EQ(controller.StandardDateEditMask().toStdString(), "!9999-99-99;1; ");
    EXPECT_EQ(controller.FirstWeekDay(), 1);
    EXPECT_EQ(controller.CurrencyDisplayFormat().toStdString(), "￥,0.00;-￥,0.00");
    const std::string mask = controller.RegExprDateEditMask().toStdString();
    EXPECT_EQ(mask.find("(\\d\\d\\d\\d'-'((0?[1-9]|1[012])|('一月'|'二月'|'三月'|"), 0u);
    EXPECT_NE(mask.find(")|(('今天'|'昨天'|"), std::string::npos);
    EXPECT_NE(mask.find("'now')((\\+|-)\\d(\\d(\\d(\\d?)?)?)?))"), std::string::npos);
    TkvRegExpr expr;
    EXPECT_NO_THROW(expr.Compile(controller.RegExprDateEditMask()));
}

TEST_F(DateParsingTest, FormatControllerFollowsTheSettingsAndTellsListeners)
{
    TkvFormatController &controller = TkvFormatController::Instance();
    int calls = 0;
    int id = controller.AddListener([&] { ++calls; });
    RegionalSettings settings = RegionalSettings::simplifiedChinese();
    settings.shortDateFormat = "d/MMMM/yy";
    settings.dateSeparator = '/';
    settings.firstDayOfWeek = 0;
    setRegionalSettings(settings);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(controller.DateFormat().toStdString(), "dd/MMMM/yy");
    EXPECT_EQ(controller.MaskEditDateFormat().toStdString(), "dd/MMM/yy");
    EXPECT_EQ(controller.StandardDateEditMask().toStdString(), "!99/lll/99;1; ");
    EXPECT_EQ(controller.FirstWeekDay(), 0);
    EXPECT_EQ(controller.RegExprDateEditMask().left(30).toStdString(), "(([012]?[1-9]|[123]0|31)'/'((0");
    settings.shortDateFormat = "gg yyyy-M-d";
    setRegionalSettings(settings);
    EXPECT_TRUE(controller.RegExprDateEditMask().isEmpty());
    EXPECT_TRUE(controller.StandardDateEditMask().isEmpty());
    controller.RemoveListener(id);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    EXPECT_EQ(calls, 2);
}

} // namespace
