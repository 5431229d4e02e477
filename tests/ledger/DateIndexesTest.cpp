// The date indexes: added to a ledger from an older version without touching
// a row, once, never to a file that is read only or lacks the columns.
#include "ledger/DateIndexes.h"

#include "ledger/LedgerFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

namespace kestrum {
namespace {

using TDatabase = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

class DateIndexes : public ::testing::Test {
protected:
    TDatabase Open(int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
        sqlite3 *raw = nullptr;
        sqlite3_open_v2(FDir.filePath("Vantorel.mdb").toUtf8().constData(), &raw, flags, nullptr);
        return TDatabase(raw, sqlite3_close);
    }
    static std::string Text(sqlite3 *db, const std::string &sql)
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
            return std::string("error: ") + sqlite3_errmsg(db);
        std::string rows;
        while (sqlite3_step(s) == SQLITE_ROW) {
            if (!rows.empty())
                rows += ' ';
            const unsigned char *text = sqlite3_column_text(s, 0);
            rows += text ? reinterpret_cast<const char *>(text) : "NULL";
        }
        sqlite3_finalize(s);
        return rows;
    }
    static std::string Indexes(sqlite3 *db)
    {
        return Text(db, "SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE 'kestrum_%date' "
                        "ORDER BY name");
    }
    QTemporaryDir FDir;
};

TEST_F(DateIndexes, AnOlderLedgerGetsThemWithEveryRowAsItWas)
{
    TDatabase db = Open();
    ASSERT_EQ(sqlite3_exec(db.get(), LedgerSchemaSql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_exec(
        db.get(),
        "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (1.5, '2020-06-01 00:00:00', "
        "'工资'), (2, 43101, NULL), (NULL, 'no date', 'x');"
        "INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") VALUES (3, '2021-01-01', '伙食')",
        nullptr, nullptr, nullptr);
    const std::string rows = Text(db.get(), "SELECT quote(\"本次进帐\") || quote(\"进帐时间\") || "
                                            "quote(\"进帐人\") FROM gain ORDER BY id");
    EXPECT_FALSE(HasDateIndexes(db.get()));

    EnsureDateIndexes(db.get());
    EXPECT_TRUE(HasDateIndexes(db.get()));
    EXPECT_EQ(Indexes(db.get()), "kestrum_expen_date kestrum_gain_date");
    EXPECT_EQ(Text(db.get(),
                   "SELECT quote(\"本次进帐\") || quote(\"进帐时间\") || quote(\"进帐人\") FROM gain "
                   "ORDER BY id"),
              rows);
    EXPECT_EQ(Text(db.get(), "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(sqlite3_get_autocommit(db.get()), 1) << "nothing is left open";

    EnsureDateIndexes(db.get()); // a second open finds them
    EXPECT_EQ(Indexes(db.get()), "kestrum_expen_date kestrum_gain_date");
}

TEST_F(DateIndexes, InsideACallersTransactionTheyGoWithIt)
{
    TDatabase db = Open();
    ASSERT_EQ(sqlite3_exec(db.get(), LedgerSchemaSql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr);
    EnsureDateIndexes(db.get());
    EXPECT_EQ(sqlite3_get_autocommit(db.get()), 0) << "the caller's transaction stays open";
    sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    EXPECT_EQ(Indexes(db.get()), "");
}

TEST_F(DateIndexes, AReadOnlyFileOrATableWithoutTheColumnsGetsNone)
{
    {
        TDatabase db = Open();
        sqlite3_exec(db.get(),
                     "CREATE TABLE gain (id INTEGER PRIMARY KEY, \"本次进帐\" REAL, \"进帐时间\" DATETIME, "
                     "\"进帐人\" TEXT); CREATE TABLE expen (id INTEGER PRIMARY KEY, amount REAL)",
                     nullptr, nullptr, nullptr);
    }
    {
        TDatabase readOnly = Open(SQLITE_OPEN_READONLY);
        EXPECT_NO_THROW(EnsureDateIndexes(readOnly.get()));
        EXPECT_EQ(Indexes(readOnly.get()), "");
    }
    TDatabase db = Open();
    EnsureDateIndexes(db.get());
    EXPECT_EQ(Indexes(db.get()), "kestrum_gain_date") << "expen has none of its columns";
    EXPECT_FALSE(HasDateIndexes(db.get()));
}

TEST_F(DateIndexes, ANewLedgerHasThem)
{
    CreateLedgerDatabase(FDir.filePath("Vantorel.mdb"));
    TDatabase db = Open(SQLITE_OPEN_READONLY);
    EXPECT_TRUE(HasDateIndexes(db.get()));
}

} // namespace
} // namespace kestrum
