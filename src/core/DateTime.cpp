#include "core/DateTime.h"

#include "core/Errors.h"
#include "core/RegionalSettings.h"

#include <QDateTime>

#include <cmath>
#include <cstdint>

namespace kestrum {

namespace {

constexpr std::int64_t MsecsPerDay = 86400000;
// Day number of 1 January 1970 counted from 30 December 1899.
constexpr std::int64_t UnixEpochDay = 25569;

std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + UnixEpochDay;
}

void civilFromDays(std::int64_t day, int &year, int &month, int &dayOfMonth)
{
    std::int64_t z = day - UnixEpochDay + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    dayOfMonth = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

QString pad(int value, int width)
{
    return QString::number(value).rightJustified(width, '0');
}

} // namespace

bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, double &date)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    date = static_cast<double>(daysFromCivil(year, month, day));
    return true;
}

double EncodeDate(int year, int month, int day)
{
    double date = 0;
    if (!TryEncodeDate(year, month, day, date))
        throw EVariantConversionError("Invalid argument to date encode");
    return date;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, double &time)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
        msec > 999)
        return false;
    time = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) / MsecsPerDay;
    return true;
}

double EncodeTime(int hour, int minute, int second, int msec)
{
    double time = 0;
    if (!TryEncodeTime(hour, minute, second, msec, time))
        throw EVariantConversionError("Invalid argument to time encode");
    return time;
}

double ComposeDateTime(double date, double time)
{
    return date < 0 ? date - time : date + time;
}

bool TryDecodeDateTime(double dateTime, DateTimeParts &parts)
{
    if (!(dateTime >= MinDateTime - 0.5 && dateTime < MaxDateTime + 0.5))
        return false;
    double whole = std::trunc(dateTime);
    auto day = static_cast<std::int64_t>(whole);
    auto msec = static_cast<std::int64_t>(std::llround(std::fabs(dateTime - whole) * MsecsPerDay));
    if (msec >= MsecsPerDay) {
        // Rounded up to the next midnight, which is always the later day.
        msec -= MsecsPerDay;
        ++day;
    }
    if (day < static_cast<std::int64_t>(MinDateTime) || day > static_cast<std::int64_t>(MaxDateTime))
        return false;
    civilFromDays(day, parts.year, parts.month, parts.day);
    parts.hour = static_cast<int>(msec / 3600000);
    parts.minute = static_cast<int>(msec / 60000 % 60);
    parts.second = static_cast<int>(msec / 1000 % 60);
    parts.msec = static_cast<int>(msec % 1000);
    return true;
}

DateTimeParts DecodeDateTime(double dateTime)
{
    DateTimeParts parts;
    if (!TryDecodeDateTime(dateTime, parts))
        throw EVariantConversionError("Invalid date value");
    return parts;
}

int DayOfWeek(double dateTime)
{
    DateTimeParts parts = DecodeDateTime(dateTime);
    std::int64_t day = daysFromCivil(parts.year, parts.month, parts.day);
    // Day 0 (30 December 1899) was a Saturday.
    return static_cast<int>(((day % 7) + 7 + 6) % 7) + 1;
}

double DateOf(double dateTime)
{
    DateTimeParts parts = DecodeDateTime(dateTime);
    return static_cast<double>(daysFromCivil(parts.year, parts.month, parts.day));
}

double TimeOf(double dateTime)
{
    DateTimeParts parts = DecodeDateTime(dateTime);
    return EncodeTime(parts.hour, parts.minute, parts.second, parts.msec);
}

double Today()
{
    QDate today = QDate::currentDate();
    return EncodeDate(today.year(), today.month(), today.day());
}

double Now()
{
    QDateTime now = QDateTime::currentDateTime();
    QTime time = now.time();
    return Today() + EncodeTime(time.hour(), time.minute(), time.second(), time.msec());
}

QString FormatDateTime(const QString &format, double dateTime, const RegionalSettings &settings)
{
    DateTimeParts p = DecodeDateTime(dateTime);
    bool twelveHour = format.contains("ampm", Qt::CaseInsensitive) ||
                      format.contains("am/pm", Qt::CaseInsensitive) ||
                      format.contains("a/p", Qt::CaseInsensitive);
    QString out;
    QChar lastToken;
    qsizetype i = 0;
    const qsizetype n = format.size();
    auto countOf = [&](QChar letter) {
        qsizetype start = i;
        while (i < n && format[i].toLower() == letter)
            ++i;
        return static_cast<int>(i - start);
    };
    while (i < n) {
        QChar c = format[i];
        QChar token = c.toUpper();
        if (token.isLetter() && token.unicode() < 0x80) {
            if (token == 'M' && lastToken == 'H')
                token = 'N';
            lastToken = token;
        }
        if (c == '\'' || c == '"') {
            qsizetype end = format.indexOf(c, i + 1);
            if (end < 0)
                end = n;
            out += format.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == '/') {
            out += settings.dateSeparator;
            ++i;
            continue;
        }
        if (c == ':') {
            out += settings.timeSeparator;
            ++i;
            continue;
        }
        if (token == 'A') {
            if (format.mid(i, 4).compare("ampm", Qt::CaseInsensitive) == 0) {
                out += p.hour < 12 ? settings.timeAMString : settings.timePMString;
                i += 4;
            } else if (format.mid(i, 5).compare("am/pm", Qt::CaseInsensitive) == 0) {
                QString marker = format.mid(i, 5);
                out += p.hour < 12 ? marker.left(2) : marker.right(2);
                i += 5;
            } else if (format.mid(i, 3).compare("a/p", Qt::CaseInsensitive) == 0) {
                QString marker = format.mid(i, 3);
                out += p.hour < 12 ? marker.left(1) : marker.right(1);
                i += 3;
            } else {
                out += c;
                ++i;
            }
            continue;
        }
        switch (token.unicode()) {
        case 'Y': {
            int count = countOf('y');
            out += count <= 2 ? pad(p.year % 100, 2) : pad(p.year, 4);
            break;
        }
        case 'M': {
            int count = countOf('m');
            if (count == 1)
                out += QString::number(p.month);
            else if (count == 2)
                out += pad(p.month, 2);
            else if (count == 3)
                out += settings.shortMonthNames.value(p.month - 1);
            else
                out += settings.longMonthNames.value(p.month - 1);
            break;
        }
        case 'D': {
            int count = countOf('d');
            int weekDay = DayOfWeek(dateTime) - 1;
            if (count == 1)
                out += QString::number(p.day);
            else if (count == 2)
                out += pad(p.day, 2);
            else if (count == 3)
                out += settings.shortDayNames.value(weekDay);
            else if (count == 4)
                out += settings.longDayNames.value(weekDay);
            else
                out += FormatDateTime(settings.shortDateFormat, dateTime, settings);
            break;
        }
        case 'H': {
            int count = countOf('h');
            int hour = p.hour;
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += count == 1 ? QString::number(hour) : pad(hour, 2);
            break;
        }
        case 'N': {
            int count = c.toLower() == 'n' ? countOf('n') : countOf('m');
            out += count == 1 ? QString::number(p.minute) : pad(p.minute, 2);
            break;
        }
        case 'S': {
            int count = countOf('s');
            out += count == 1 ? QString::number(p.second) : pad(p.second, 2);
            break;
        }
        case 'Z': {
            int count = countOf('z');
            out += count == 1 ? QString::number(p.msec) : pad(p.msec, 3);
            break;
        }
        case 'T': {
            int count = countOf('t');
            QString timeFormat = settings.longTimeFormat;
            if (count == 1) {
                // The short time drops the seconds of the long time format.
                timeFormat.remove(QString(settings.timeSeparator) + "ss").remove(QString(":ss"));
            }
            out += FormatDateTime(timeFormat, dateTime, settings);
            break;
        }
        case 'C': {
            ++i;
            out += FormatDateTime(settings.shortDateFormat, dateTime, settings);
            if (p.hour != 0 || p.minute != 0 || p.second != 0 || p.msec != 0)
                out += ' ' + FormatDateTime(settings.longTimeFormat, dateTime, settings);
            break;
        }
        default:
            out += c;
            ++i;
            break;
        }
    }
    return out;
}

QString FormatDateTime(const QString &format, double dateTime)
{
    return FormatDateTime(format, dateTime, regionalSettings());
}

QString DateTimeToText(double dateTime)
{
    return FormatDateTime("c", dateTime);
}
QString DateToText(double dateTime)
{
    return FormatDateTime(regionalSettings().shortDateFormat, dateTime);
}
QString TimeToText(double dateTime)
{
    return FormatDateTime(regionalSettings().longTimeFormat, dateTime);
}

namespace {

// A small scanner over the text; numbers are ASCII digit runs.
struct Scanner {
    const QString &text;
    qsizetype pos = 0;

    void skipSpaces()
    {
        while (pos < text.size() && text[pos].isSpace())
            ++pos;
    }
    bool atEnd() const { return pos >= text.size(); }
    bool number(int &value, int &digits)
    {
        qsizetype start = pos;
        value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 9) {
            value = value * 10 + (text[pos].unicode() - '0');
            ++pos;
        }
        digits = static_cast<int>(pos - start);
        return digits > 0;
    }
    bool accept(QChar c)
    {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool acceptWord(const QString &word)
    {
        if (!word.isEmpty() && text.mid(pos, word.size()).compare(word, Qt::CaseInsensitive) == 0) {
            pos += word.size();
            return true;
        }
        return false;
    }
};

bool isDateSeparator(QChar c, const RegionalSettings &settings)
{
    return c == settings.dateSeparator || c == '/' || c == '-' || c == '.';
}

// Order of year, month and day in the short date format, e.g. "YMD".
QString dateOrder(const QString &format)
{
    QString order;
    for (QChar c : format) {
        QChar u = c.toUpper();
        if ((u == 'Y' || u == 'M' || u == 'D') && !order.contains(u))
            order += u;
    }
    return order.size() == 3 ? order : QString("YMD");
}

int expandYear(int year, int digits)
{
    if (digits > 2)
        return year;
    // Two-digit years fall in the window of fifty years around this year.
    int thisYear = QDate::currentDate().year();
    int candidate = thisYear / 100 * 100 + year;
    if (candidate > thisYear + 50)
        candidate -= 100;
    else if (candidate <= thisYear - 50)
        candidate += 100;
    return candidate;
}

bool scanTime(Scanner &s, const RegionalSettings &settings, double &time)
{
    auto isTimeSeparator = [&](QChar) { return s.accept(settings.timeSeparator) || s.accept(':'); };
    int hour = 0, minute = 0, second = 0, msec = 0, digits = 0;
    s.skipSpaces();
    // The AM/PM marker may come first, as Chinese desktops write it.
    int marker = 0; // 1 AM, 2 PM
    auto scanMarker = [&] {
        s.skipSpaces();
        if (s.acceptWord(settings.timeAMString) || s.acceptWord("AM") || s.acceptWord("A"))
            marker = 1;
        else if (s.acceptWord(settings.timePMString) || s.acceptWord("PM") || s.acceptWord("P"))
            marker = 2;
        s.skipSpaces();
    };
    scanMarker();
    if (!s.number(hour, digits))
        return false;
    if (!isTimeSeparator(QChar()) || !s.number(minute, digits))
        return false;
    if (isTimeSeparator(QChar())) {
        if (!s.number(second, digits))
            return false;
        if (s.accept('.')) {
            if (!s.number(msec, digits) || digits > 3)
                return false;
            while (digits++ < 3)
                msec *= 10;
        }
    }
    if (marker == 0)
        scanMarker();
    if (marker != 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (marker == 2 ? 12 : 0);
    }
    return TryEncodeTime(hour, minute, second, msec, time);
}

bool scanDate(Scanner &s, const RegionalSettings &settings, double &date)
{
    int values[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int count = 0;
    s.skipSpaces();
    if (!s.number(values[0], digits[0]))
        return false;
    count = 1;
    while (count < 3 && s.pos < s.text.size() && isDateSeparator(s.text[s.pos], settings)) {
        ++s.pos;
        if (!s.number(values[count], digits[count]))
            return false;
        ++count;
    }
    // A trailing separator after the day ("2024/7/5/") is tolerated, as it is
    // on the desktop.
    if (count == 3 && s.pos < s.text.size() && isDateSeparator(s.text[s.pos], settings))
        ++s.pos;
    if (count < 2)
        return false;
    QString order = dateOrder(settings.shortDateFormat);
    int year = 0, month = 0, day = 0;
    if (count == 3) {
        for (int k = 0; k < 3; ++k) {
            if (order[k] == 'Y')
                year = expandYear(values[k], digits[k]);
            else if (order[k] == 'M')
                month = values[k];
            else
                day = values[k];
        }
    } else {
        order.remove('Y');
        year = QDate::currentDate().year();
        month = order[0] == 'M' ? values[0] : values[1];
        day = order[0] == 'M' ? values[1] : values[0];
    }
    return TryEncodeDate(year, month, day, date);
}

} // namespace

bool TryTextToDateTime(const QString &text, double &dateTime, const RegionalSettings &settings)
{
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    // A time alone shows itself by a time separator before any date separator.
    bool timeOnly = false;
    for (QChar c : trimmed) {
        if (c == settings.timeSeparator || c == ':') {
            timeOnly = true;
            break;
        }
        if (isDateSeparator(c, settings))
            break;
    }
    Scanner s{trimmed};
    double date = 0, time = 0;
    if (!timeOnly) {
        if (!scanDate(s, settings, date))
            return false;
        s.skipSpaces();
        if (!s.atEnd() && !scanTime(s, settings, time))
            return false;
    } else if (!scanTime(s, settings, time)) {
        return false;
    }
    s.skipSpaces();
    if (!s.atEnd())
        return false;
    dateTime = ComposeDateTime(date, time);
    return true;
}

bool TryTextToDateTime(const QString &text, double &dateTime)
{
    return TryTextToDateTime(text, dateTime, regionalSettings());
}

} // namespace kestrum
