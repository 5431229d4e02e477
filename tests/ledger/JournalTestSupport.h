#pragma once
// Helpers for the journal tests: raw SQL on a ledger file, the tables'
// contents, and the tables rebuilt by replaying the journal from empty.
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "support/HandleDriver.h"

#include <QString>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kestrum::journaltest {

inline void Exec(sqlite3 *db, const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << (error ? error : "?");
        sqlite3_free(error);
    }
}

inline std::string Scalar(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *s = nullptr;
    std::string result = "<none>";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
        return std::string("<error ") + sqlite3_errmsg(db) + ">";
    if (sqlite3_step(s) == SQLITE_ROW)
        result = sqlite3_column_type(s, 0) == SQLITE_NULL
                     ? "<null>"
                     : reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
    sqlite3_finalize(s);
    return result;
}

inline sqlite3 *Open(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 2000);
    return db;
}

//! A table's rows by key: amount, date, item, remark.
using TRows = std::map<std::int64_t, std::vector<TJournalValue>>;
struct TTables {
    TRows Gain, Expen;
    bool operator==(const TTables &other) const = default;
};

inline TRows Dump(TDbDriver &db, const char *table, const char *const columns[4])
{
    std::string sql = "SELECT id";
    for (int i = 0; i < 4; ++i)
        sql += std::string(", \"") + columns[i] + "\"";
    sql += std::string(" FROM ") + table;
    TRows rows;
    auto s = db.Prepare(sql);
    while (s->Step()) {
        std::vector<TJournalValue> values;
        for (int i = 1; i <= 4; ++i)
            values.push_back(JournalColumnValue(*s, i));
        rows[s->ColumnInt64(0)] = values;
    }
    return rows;
}

inline const char *const GainColumns[4] = {"本次进帐", "进帐时间", "进帐人", "备注"};
inline const char *const ExpenColumns[4] = {"消费金额", "消费日期", "消费者", "备注"};

inline TTables DumpTables(TDbDriver &db)
{
    return {Dump(db, "gain", GainColumns), Dump(db, "expen", ExpenColumns)};
}

inline TTables DumpTables(sqlite3 *db)
{
    return DumpTables(DriverOf(db));
}

//! The tables as the journal tells them, from empty tables on.
inline TTables Replay(TDbDriver &db)
{
    TTables tables;
    ForEachJournalRow(db, false, [&](const TJournalRow &row) {
        TRows &rows = row.Table == QStringLiteral("gain") ? tables.Gain : tables.Expen;
        if (row.Kind == TJournalKind::Delete) {
            EXPECT_EQ(rows.erase(row.Row), 1u) << "journal deletes a row it never had: " << row.Id;
        } else {
            if (row.Kind == TJournalKind::Insert)
                EXPECT_EQ(rows.count(row.Row), 0u) << "journal inserts a row twice: " << row.Id;
            else
                EXPECT_EQ(rows.count(row.Row), 1u) << "journal updates a row it never had: " << row.Id;
            rows[row.Row] = {row.After, row.After + 4};
        }
        return true;
    });
    return tables;
}

inline TTables Replay(sqlite3 *db)
{
    return Replay(DriverOf(db));
}

inline void InsertGain(sqlite3 *db, double amount, const char *item, const char *date = "2026-01-10 00:00:00")
{
    Exec(db, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (" + std::to_string(amount) + ", '" +
                 date + "', '" + item + "')");
}

} // namespace kestrum::journaltest
