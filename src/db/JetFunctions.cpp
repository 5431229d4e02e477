#include "db/JetFunctions.h"

#include "db/DateText.h"
#include "db/DbErrors.h"

#include <sqlite3.h>

#include <cmath>

namespace kestrum {

namespace {

enum Part { kYear, kMonth, kDay, kHour, kMinute, kSecond };

// A date argument is ISO text as stored, or a number of days since
// 1899-12-30. Anything else (and NULL) gives NULL, so a malformed value in
// the file drops out of a selection instead of failing every statement.
bool ArgumentDays(sqlite3_value *value, double &days)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        days = sqlite3_value_double(value);
        return std::isfinite(days);
    case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        const auto parsed = IsoTextToDays(std::string_view(text, std::size_t(sqlite3_value_bytes(value))));
        if (!parsed)
            return false;
        days = *parsed;
        return true;
    }
    default:
        return false;
    }
}

void DatePart(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    double days;
    if (argc != 1 || !ArgumentDays(argv[0], days) || days < -693593.0 || days >= 2958466.0) {
        sqlite3_result_null(context);
        return;
    }
    const auto part = Part(reinterpret_cast<std::intptr_t>(sqlite3_user_data(context)));
    int year, month, day;
    DecodeDays(days, year, month, day);
    const long long ms = std::llround(std::fabs(days - std::trunc(days)) * 86400000.0) % 86400000LL;
    long long result = 0;
    switch (part) {
    case kYear:
        result = year;
        break;
    case kMonth:
        result = month;
        break;
    case kDay:
        result = day;
        break;
    case kHour:
        result = ms / 3600000;
        break;
    case kMinute:
        result = ms / 60000 % 60;
        break;
    case kSecond:
        result = ms / 1000 % 60;
        break;
    }
    sqlite3_result_int64(context, result);
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
}

} // namespace kestrum
