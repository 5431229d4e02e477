#pragma once
// The few SQLite calls the journal, the undo history and the ledger's own
// tables (budgets, recurring entries) make alike: their failures name what
// broke, so that a user's report says where.
#include <sqlite3.h>

#include <memory>
#include <string>

namespace kestrum::journal_sql {

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

//! Raises Exception with `what` and the database's last error.
[[noreturn]] void Fail(sqlite3 *db, const std::string &what);

Statement Prepare(sqlite3 *db, const std::string &sql);
void Exec(sqlite3 *db, const std::string &sql);

//! A write transaction that takes the write lock at once and rolls back
//! unless committed, so that a refusal or a failure writes nothing. A lock it
//! cannot take raises Exception "`failed`：<the database's error>".
class TWriteTransaction {
public:
    TWriteTransaction(sqlite3 *db, const std::string &failed);
    ~TWriteTransaction();
    TWriteTransaction(const TWriteTransaction &) = delete;
    TWriteTransaction &operator=(const TWriteTransaction &) = delete;

    void Commit();

private:
    sqlite3 *FDb;
    bool FDone = false;
};

//! An SQL identifier in double quotes, a quote inside it doubled.
std::string Quoted(const std::string &name);

} // namespace kestrum::journal_sql
