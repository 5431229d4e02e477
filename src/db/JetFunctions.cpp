#include "db/JetFunctions.h"

#include "db/DateText.h"
#include "db/DbErrors.h"
#include "db/MoneySumFunctions.h"

#include <sqlite3.h>

#include <cmath>

namespace kestrum {

namespace {

enum Part { kYear, kMonth, kDay, kHour, kMinute, kSecond };

long long PartOf(const TIsoDateTime &date, Part part)
{
    switch (part) {
    case kYear:
        return date.Year;
    case kMonth:
        return date.Month;
    case kDay:
        return date.Day;
    case kHour:
        return date.Hour;
    case kMinute:
        return date.Minute;
    case kSecond:
        return date.Second;
    }
    return 0;
}

// A number of days since 1899-12-30 broken into its parts; false when it is
// no date of years 1 to 9999.
bool DaysToParts(double days, TIsoDateTime &date)
{
    if (!std::isfinite(days) || days < -693593.0 || days >= 2958466.0)
        return false;
    DecodeDays(days, date.Year, date.Month, date.Day);
    const long long ms = std::llround(std::fabs(days - std::trunc(days)) * 86400000.0) % 86400000LL;
    date.Hour = int(ms / 3600000);
    date.Minute = int(ms / 60000 % 60);
    date.Second = int(ms / 1000 % 60);
    return true;
}

// A date argument is ISO text as stored, or a number of days since
// 1899-12-30. Anything else (and NULL) gives NULL, so a malformed value in
// the file drops out of a selection instead of failing every statement.
// Stored text is read straight from its digits: these run once per row of a
// table, and going through the day count would only give the same parts back.
void DatePart(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    TIsoDateTime date;
    bool valid = false;
    if (argc == 1) {
        switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            valid = DaysToParts(sqlite3_value_double(argv[0]), date);
            break;
        case SQLITE_TEXT: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
            const auto parsed =
                ParseIsoText(std::string_view(text, std::size_t(sqlite3_value_bytes(argv[0]))));
            if (parsed) {
                date = *parsed;
                valid = true;
            }
            break;
        }
        default:
            break;
        }
    }
    if (!valid) {
        sqlite3_result_null(context);
        return;
    }
    const auto part = Part(reinterpret_cast<std::intptr_t>(sqlite3_user_data(context)));
    sqlite3_result_int64(context, PartOf(date, part));
}

} // namespace

void RegisterJetFunctions(sqlite3 *db)
{
    static const struct {
        const char *name;
        Part part;
    } functions[] = {{"year", kYear}, {"month", kMonth},   {"day", kDay},
                     {"hour", kHour}, {"minute", kMinute}, {"second", kSecond}};
    for (const auto &f : functions) {
        const int rc = sqlite3_create_function_v2(db, f.name, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                                  reinterpret_cast<void *>(std::intptr_t(f.part)), DatePart,
                                                  nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw EDatabaseError(std::string("无法注册 SQL 函数 ") + f.name + "：" + sqlite3_errmsg(db) +
                                 "。");
    }
    RegisterMoneySumFunctions(db);
}

} // namespace kestrum
