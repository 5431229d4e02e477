// The Jet date functions over the two forms a date is stored in: ISO text
// and a number of days. Stored text is read from its digits; a date must come
// out with the same parts whichever form it was stored in.
#include "db/JetFunctions.h"
#include "db/DateText.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <string>

namespace kestrum {
namespace {

class JetFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sqlite3_open(":memory:", &FDb), SQLITE_OK);
        RegisterJetFunctions(FDb);
        ASSERT_EQ(sqlite3_prepare_v2(FDb,
                                     "select year(?1), month(?1), day(?1), hour(?1), minute(?1), second(?1)",
                                     -1, &FStatement, nullptr),
                  SQLITE_OK);
    }
    void TearDown() override
    {
        sqlite3_finalize(FStatement);
        sqlite3_close(FDb);
    }

    //! The six parts of the bound value, -1 standing for NULL.
    template <class Bind> std::array<long long, 6> Parts(Bind bind)
    {
        sqlite3_reset(FStatement);
        bind(FStatement);
        std::array<long long, 6> parts{};
        if (sqlite3_step(FStatement) != SQLITE_ROW) {
            ADD_FAILURE() << sqlite3_errmsg(FDb);
            return parts;
        }
        for (int i = 0; i < 6; ++i)
            parts[std::size_t(i)] =
                sqlite3_column_type(FStatement, i) == SQLITE_NULL ? -1 : sqlite3_column_int64(FStatement, i);
        return parts;
    }
    std::array<long long, 6> TextParts(const std::string &text)
    {
        return Parts([&](sqlite3_stmt *s) { sqlite3_bind_text(s, 1, text.c_str(), -1, SQLITE_TRANSIENT); });
    }
    std::array<long long, 6> DayParts(double days)
    {
        return Parts([&](sqlite3_stmt *s) { sqlite3_bind_double(s, 1, days); });
    }

    sqlite3 *FDb = nullptr;
    sqlite3_stmt *FStatement = nullptr;
};

using Six = std::array<long long, 6>;

TEST_F(JetFunctionsTest, StoredTextGivesTheSamePartsAsItsDayCount)
{
    const char *texts[] = {"2024-01-10 00:00:00",   "2024-02-29 23:59:59",      "2024-12-31",
                           "1899-12-30 12:00",      "1899-12-29 06:00:00",      "1850-03-01 18:30:15",
                           "0001-01-01 00:00:00",   "9999-12-31 23:59:59.999",  "2000-02-29T08:05:09",
                           "2016-01-01 00:05:15.5", "1900-02-28 00:00:00.0001", "2023-06-15 13:45:30.250"};
    for (const char *text : texts) {
        const auto days = IsoTextToDays(text);
        ASSERT_TRUE(days) << text;
        EXPECT_EQ(TextParts(text), DayParts(*days)) << text;
    }
    EXPECT_EQ(TextParts("2024-02-29 23:59:59"), (Six{2024, 2, 29, 23, 59, 59}));
    EXPECT_EQ(TextParts("1899-12-29 06:00:00"), (Six{1899, 12, 29, 6, 0, 0}));
}

TEST_F(JetFunctionsTest, EveryDayOfSomeYearsAgreesWithTheDayCount)
{
    // Leap years, a century that is none, and the years around the day count's zero.
    for (int year : {1600, 1700, 1899, 1900, 2000, 2023, 2024}) {
        for (double days = EncodeDays(year, 1, 1); days < EncodeDays(year + 1, 1, 1); days += 1) {
            const double at = days + (days >= 0 ? 0.75 : -0.75);
            const std::string text = DaysToIsoText(at);
            ASSERT_EQ(TextParts(text), DayParts(at)) << text;
        }
    }
}

TEST_F(JetFunctionsTest, TextThatIsNoDateGivesNull)
{
    const Six none{-1, -1, -1, -1, -1, -1};
    for (const char *text : {"", "2024", "2024-1-5", "2024-02-30", "2023-02-29", "2024-13-01", "0000-01-01",
                             "2024-01-10x", "2024-01-10 24:00", "2024-01-10 12:60", "2024-01-10 12:00:",
                             "2024-01-10 12:00:00.", "2024-01-10 12:00:00.5x", " 2024-01-10", "abcd-ef-gh"})
        EXPECT_EQ(TextParts(text), none) << '"' << text << '"';
    EXPECT_EQ(DayParts(-693594.0), none);
    EXPECT_EQ(DayParts(2958466.0), none);
    EXPECT_EQ(Parts([](sqlite3_stmt *s) { sqlite3_bind_null(s, 1); }), none);
}

TEST_F(JetFunctionsTest, NumbersAreDaysSince1899)
{
    EXPECT_EQ(DayParts(0), (Six{1899, 12, 30, 0, 0, 0}));
    EXPECT_EQ(DayParts(45301.5), (Six{2024, 1, 10, 12, 0, 0}));
    EXPECT_EQ(Parts([](sqlite3_stmt *s) { sqlite3_bind_int64(s, 1, 45301); }), (Six{2024, 1, 10, 0, 0, 0}));
}

} // namespace
} // namespace kestrum
