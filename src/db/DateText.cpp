#include "db/DateText.h"

#include "db/DbErrors.h"

#include <cmath>
#include <cstdio>

namespace kestrum {

namespace {

// Howard Hinnant's civil-date algorithms, counted from 1970-01-01.
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (long long)doe - 719468;
}

void CivilFromDays(long long z, int &year, int &month, int &day)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = (long long)yoe + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(y + (month <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr long long kEpochOffset = -25569;

bool DigitsAt(std::string_view text, std::size_t pos, std::size_t count, int &value)
{
    if (pos + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)))
        return 29;
    return days[month - 1];
}

} // namespace

double EncodeDays(int year, int month, int day)
{
    return double(DaysFromCivil(year, unsigned(month), unsigned(day)) - kEpochOffset);
}

void DecodeDays(double days, int &year, int &month, int &day)
{
    CivilFromDays((long long)std::trunc(days) + kEpochOffset, year, month, day);
}

std::string DaysToIsoText(double days)
{
    if (!std::isfinite(days) || days < -693593.0 || days >= 2958466.0) {
        char shown[32];
        std::snprintf(shown, sizeof shown, "%.15g", days);
        throw EDatabaseError(std::string("日期值 ") + shown + " 超出了公元 1 年到 9999 年的范围。");
    }
    // The whole day counts toward the date and the fraction's magnitude is the
    // time, also before 1899 (-1.25 is 29 December 1899, 06:00).
    double whole = std::trunc(days);
    long long ms = std::llround(std::fabs(days - whole) * 86400000.0);
    if (ms >= 86400000LL) { // rounding reached midnight
        ms = 0;
        whole += days < 0 ? -1 : 1;
    }
    int year, month, day;
    CivilFromDays((long long)whole + kEpochOffset, year, month, day);
    const int hour = int(ms / 3600000), minute = int(ms / 60000 % 60), second = int(ms / 1000 % 60);
    const int milli = int(ms % 1000);
    char buffer[40];
    if (milli != 0)
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", year, month, day, hour,
                      minute, second, milli);
    else
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                      second);
    return buffer;
}

std::optional<TIsoDateTime> ParseIsoText(std::string_view text)
{
    TIsoDateTime parts;
    if (text.size() < 10 || !DigitsAt(text, 0, 4, parts.Year) || text[4] != '-' ||
        !DigitsAt(text, 5, 2, parts.Month) || text[7] != '-' || !DigitsAt(text, 8, 2, parts.Day))
        return std::nullopt;
    if (parts.Year < 1 || parts.Month < 1 || parts.Month > 12 || parts.Day < 1 ||
        parts.Day > DaysInMonth(parts.Year, parts.Month))
        return std::nullopt;
    std::size_t pos = 10;
    if (pos < text.size()) {
        if ((text[pos] != ' ' && text[pos] != 'T') || !DigitsAt(text, pos + 1, 2, parts.Hour) ||
            text.size() < pos + 6 || text[pos + 3] != ':' || !DigitsAt(text, pos + 4, 2, parts.Minute))
            return std::nullopt;
        pos += 6;
        if (pos < text.size()) {
            if (text[pos] != ':' || !DigitsAt(text, pos + 1, 2, parts.Second))
                return std::nullopt;
            pos += 3;
            if (pos < text.size()) {
                if (text[pos] != '.' || text.size() == pos + 1)
                    return std::nullopt;
                // Up to three digits count; more are accepted and dropped.
                int scale = 100;
                for (std::size_t i = pos + 1; i < text.size(); ++i) {
                    if (text[i] < '0' || text[i] > '9')
                        return std::nullopt;
                    parts.Milli += (text[i] - '0') * scale;
                    scale /= 10;
                }
            }
        }
        if (parts.Hour > 23 || parts.Minute > 59 || parts.Second > 59)
            return std::nullopt;
    }
    return parts;
}

std::optional<double> IsoTextToDays(std::string_view text)
{
    const auto parts = ParseIsoText(text);
    if (!parts)
        return std::nullopt;
    const double date = EncodeDays(parts->Year, parts->Month, parts->Day);
    const double time =
        (parts->Hour * 3600000.0 + parts->Minute * 60000.0 + parts->Second * 1000.0 + parts->Milli) /
        86400000.0;
    return date >= 0 ? date + time : date - time;
}

} // namespace kestrum
