#include "exchange/ExchangeDates.h"

#include "exchange/ExchangeText.h"

#include <QDateTime>

namespace kestrum::exchange {

namespace {

class TScanner {
public:
    explicit TScanner(std::string_view text) : FText(text) {}

    bool AtEnd() const { return FAt >= FText.size(); }
    char Peek() const { return AtEnd() ? '\0' : FText[FAt]; }
    bool Take(char c)
    {
        if (Peek() != c)
            return false;
        ++FAt;
        return true;
    }
    bool Take(std::string_view word)
    {
        if (FText.substr(FAt, word.size()) != word)
            return false;
        FAt += word.size();
        return true;
    }
    void SkipSpaces()
    {
        while (Peek() == ' ')
            ++FAt;
    }
    //! Between minDigits and maxDigits digits; the number of digits read (0 on failure).
    int Number(int minDigits, int maxDigits, int &value)
    {
        std::size_t at = FAt;
        value = 0;
        while (at < FText.size() && at - FAt < std::size_t(maxDigits) && FText[at] >= '0' && FText[at] <= '9')
            value = value * 10 + (FText[at++] - '0');
        const int count = int(at - FAt);
        if (count < minDigits)
            return 0;
        // A longer run of digits than allowed is no number of this kind.
        if (at < FText.size() && FText[at] >= '0' && FText[at] <= '9')
            return 0;
        FAt = at;
        return count;
    }
    void Skip(std::size_t count) { FAt += count; }

private:
    std::string_view FText;
    std::size_t FAt = 0;
};

//! " HH:mm[:ss[.fff]][Z|+hh[:]mm]" after a date; true when the rest is such
//! a time or nothing. `zoned` tells whether a zone was given, `offset` its
//! seconds ahead of UTC.
bool ParseTimeTail(TScanner &scan, int &seconds, bool &timeValid, bool &zoned, int &offset)
{
    timeValid = true;
    zoned = false;
    offset = 0;
    seconds = 0;
    if (scan.AtEnd())
        return true;
    if (!scan.Take('T') && !scan.Take(' '))
        return false;
    scan.SkipSpaces();
    int hour = 0, minute = 0, second = 0;
    if (!scan.Number(1, 2, hour) || !scan.Take(':') || !scan.Number(2, 2, minute))
        return false;
    if (scan.Take(':')) {
        if (!scan.Number(2, 2, second))
            return false;
        if (scan.Take('.') || scan.Take(',')) {
            int fraction = 0;
            if (!scan.Number(1, 9, fraction))
                return false;
        }
    }
    if (scan.Take('Z')) {
        zoned = true;
    } else if (scan.Peek() == '+' || scan.Peek() == '-') {
        const bool behind = scan.Peek() == '-';
        scan.Take(scan.Peek());
        int zoneHour = 0, zoneMinute = 0;
        if (scan.Number(4, 4, zoneHour)) { // "+0800"
            zoneMinute = zoneHour % 100;
            zoneHour /= 100;
        } else if (!scan.Number(2, 2, zoneHour)) {
            return false;
        } else if (scan.Take(':') && !scan.Number(2, 2, zoneMinute)) {
            return false;
        }
        if (zoneHour > 23 || zoneMinute > 59)
            return false;
        zoned = true;
        offset = (behind ? -1 : 1) * (zoneHour * 3600 + zoneMinute * 60);
    }
    scan.SkipSpaces();
    if (!scan.AtEnd())
        return false;
    timeValid = hour < 24 && minute < 60 && second < 60;
    seconds = hour * 3600 + minute * 60 + second;
    return true;
}

} // namespace

bool ParseDate(std::string_view text, QDate &date, int &seconds, QString &reason, const QTimeZone *zone)
{
    const std::string_view s = Trimmed(text);
    auto bad = [&] {
        reason =
            s.empty() ? QStringLiteral("没有日期") : QStringLiteral("日期无法识别：%1").arg(QuotedValue(s));
        return false;
    };
    TScanner scan(s);
    int year = 0, month = 0, day = 0;
    std::size_t run = 0;
    while (run < s.size() && s[run] >= '0' && s[run] <= '9')
        ++run;
    if (run == 8) {
        auto number = [&](std::size_t at, std::size_t count) {
            int value = 0;
            for (std::size_t i = at; i < at + count; ++i)
                value = value * 10 + (s[i] - '0');
            return value;
        };
        year = number(0, 4);
        month = number(4, 2);
        day = number(6, 2);
        scan.Skip(8);
    } else if (run != 4 || !scan.Number(4, 4, year)) {
        return bad();
    } else {
        const bool chinese = scan.Take("年");
        char separator = 0;
        if (!chinese) {
            separator = scan.Peek();
            if (separator != '-' && separator != '/' && separator != '.')
                return bad();
            scan.Take(separator);
        }
        if (!scan.Number(1, 2, month))
            return bad();
        if (chinese ? !scan.Take("月") : !scan.Take(separator))
            return bad();
        if (!scan.Number(1, 2, day))
            return bad();
        if (chinese)
            scan.Take("日");
    }
    bool timeValid = true;
    bool zoned = false;
    int offset = 0;
    if (!ParseTimeTail(scan, seconds, timeValid, zoned, offset))
        return bad();
    if (!QDate::isValid(year, month, day) || year < 1) {
        reason = QStringLiteral("日期不存在：%1").arg(QuotedValue(s));
        return false;
    }
    if (!timeValid) {
        reason = QStringLiteral("时间不存在：%1").arg(QuotedValue(s));
        return false;
    }
    date = QDate(year, month, day);
    if (zoned) {
        // A moment in another zone belongs to the day it was here: 23:30 UTC
        // on the last of a month is the next month in Beijing.
        const QDateTime moment = QDateTime(date, QTime(0, 0).addSecs(seconds), Qt::UTC).addSecs(-offset);
        const QDateTime here = zone ? moment.toTimeZone(*zone) : moment.toLocalTime();
        date = here.date();
        seconds = here.time().msecsSinceStartOfDay() / 1000;
        if (!date.isValid() || date.year() < 1) {
            reason = QStringLiteral("日期不存在：%1").arg(QuotedValue(s));
            return false;
        }
    }
    return true;
}

namespace {

//! The three numbers of a day-month-year or month-day-year date.
bool SplitNumericDate(std::string_view s, int &first, int &second, int &year)
{
    TScanner scan(s);
    scan.SkipSpaces();
    if (!scan.Number(1, 2, first))
        return false;
    scan.SkipSpaces();
    const char separator = scan.Peek();
    if (separator != '/' && separator != '-' && separator != '.')
        return false;
    scan.Take(separator);
    scan.SkipSpaces();
    if (!scan.Number(1, 2, second))
        return false;
    scan.SkipSpaces();
    const bool apostrophe = scan.Take('\'');
    if (!apostrophe && !scan.Take(separator))
        return false;
    scan.SkipSpaces();
    const int digits = scan.Number(1, 4, year);
    if (digits == 0 || digits == 3)
        return false;
    scan.SkipSpaces();
    if (!scan.AtEnd())
        return false;
    // Quicken marks years from 2000 on with an apostrophe; other two-digit
    // years pivot at 70.
    if (digits <= 2)
        year += apostrophe || year < 70 ? 2000 : 1900;
    return true;
}

bool YearFirst(std::string_view s)
{
    std::size_t digits = 0;
    while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9')
        ++digits;
    return digits == 4 || digits == 8;
}

} // namespace

bool ParseNumericDate(std::string_view text, TDayMonthOrder order, QDate &date, int &seconds, QString &reason)
{
    const std::string_view s = Trimmed(text);
    if (YearFirst(s))
        return ParseDate(s, date, seconds, reason);
    int first = 0, second = 0, year = 0;
    if (!SplitNumericDate(s, first, second, year)) {
        reason =
            s.empty() ? QStringLiteral("没有日期") : QStringLiteral("日期无法识别：%1").arg(QuotedValue(s));
        return false;
    }
    const int month = order == dmMonthFirst ? first : second;
    const int day = order == dmMonthFirst ? second : first;
    if (!QDate::isValid(year, month, day)) {
        reason = QStringLiteral("日期不存在：%1").arg(QuotedValue(s));
        return false;
    }
    date = QDate(year, month, day);
    seconds = 0;
    return true;
}

int NumericDateOrders(std::string_view text)
{
    const std::string_view s = Trimmed(text);
    if (YearFirst(s))
        return 3;
    int first = 0, second = 0, year = 0;
    if (!SplitNumericDate(s, first, second, year))
        return 0;
    return (QDate::isValid(year, first, second) ? 1 : 0) | (QDate::isValid(year, second, first) ? 2 : 0);
}

} // namespace kestrum::exchange
