#pragma once
// The few SQLite calls the journal and the undo history make alike: their
// failures name the journal, so that a user's report says where it broke.
#include <sqlite3.h>

#include <memory>
#include <string>

namespace kestrum::journal_sql {

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

//! Raises Exception with `what` and the database's last error.
[[noreturn]] void Fail(sqlite3 *db, const std::string &what);

Statement Prepare(sqlite3 *db, const std::string &sql);
void Exec(sqlite3 *db, const std::string &sql);

//! An SQL identifier in double quotes, a quote inside it doubled.
std::string Quoted(const std::string &name);

} // namespace kestrum::journal_sql
