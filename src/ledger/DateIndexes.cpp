#include "ledger/DateIndexes.h"

#include "db/DbErrors.h"

#include <sqlite3.h>

#include <memory>
#include <string>

namespace kestrum {

namespace {

struct TDateIndex {
    const char *Name, *Table, *Date, *Amount, *Item;
};

// The date first, so a period is one range of the index; the amount and the
// item after it, so the sums and the charts never visit the table's rows.
const TDateIndex DateIndexes[] = {
    {"kestrum_gain_date", "gain", "进帐时间", "本次进帐", "进帐人"},
    {"kestrum_expen_date", "expen", "消费日期", "消费金额", "消费者"},
};

const char *const Context = "无法为账目建立日期索引";

[[noreturn]] void Fail(sqlite3 *db)
{
    throw EDatabaseError(std::string(Context) + "：" + sqlite3_errmsg(db) + "。");
}

using TStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

TStatement Prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        Fail(db);
    return TStatement(raw, sqlite3_finalize);
}

void Exec(sqlite3 *db, const std::string &sql)
{
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(db);
}

bool IndexExists(sqlite3 *db, const TDateIndex &index)
{
    TStatement s = Prepare(db, "SELECT 1 FROM main.sqlite_master WHERE type = 'index' AND name = ?1");
    sqlite3_bind_text(s.get(), 1, index.Name, -1, SQLITE_STATIC);
    return sqlite3_step(s.get()) == SQLITE_ROW;
}

//! The table holds the three columns the index names (table and column names
//! are matched without regard to case, as SQLite matches them).
bool TableHasColumns(sqlite3 *db, const TDateIndex &index)
{
    TStatement s = Prepare(db, "SELECT count(*) FROM pragma_table_info(?1) WHERE name IN (?2, ?3, ?4)");
    sqlite3_bind_text(s.get(), 1, index.Table, -1, SQLITE_STATIC);
    sqlite3_bind_text(s.get(), 2, index.Date, -1, SQLITE_STATIC);
    sqlite3_bind_text(s.get(), 3, index.Amount, -1, SQLITE_STATIC);
    sqlite3_bind_text(s.get(), 4, index.Item, -1, SQLITE_STATIC);
    return sqlite3_step(s.get()) == SQLITE_ROW && sqlite3_column_int(s.get(), 0) == 3;
}

std::string CreateSql(const TDateIndex &index)
{
    return std::string("CREATE INDEX IF NOT EXISTS ") + index.Name + " ON " + index.Table + " (\"" +
           index.Date + "\", \"" + index.Amount + "\", \"" + index.Item + "\")";
}

} // namespace

bool HasDateIndexes(sqlite3 *db)
{
    for (const TDateIndex &index : DateIndexes)
        if (!IndexExists(db, index))
            return false;
    return true;
}

void EnsureDateIndexes(sqlite3 *db)
{
    if (sqlite3_db_readonly(db, "main") == 1)
        return;
    std::string missing;
    for (const TDateIndex &index : DateIndexes)
        if (!IndexExists(db, index) && TableHasColumns(db, index))
            missing += CreateSql(index) + ";";
    if (missing.empty())
        return;
    // A savepoint works alone and inside a caller's transaction alike.
    Exec(db, "SAVEPOINT kestrum_date_indexes");
    try {
        Exec(db, missing);
        Exec(db, "RELEASE kestrum_date_indexes");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO kestrum_date_indexes; RELEASE kestrum_date_indexes", nullptr, nullptr,
                     nullptr);
        throw;
    }
}

} // namespace kestrum
