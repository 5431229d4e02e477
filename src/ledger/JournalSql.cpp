#include "ledger/JournalSql.h"

#include "core/Errors.h"

namespace kestrum::journal_sql {

void Fail(sqlite3 *db, const std::string &what)
{
    throw Exception(what + ": " + sqlite3_errmsg(db));
}

Statement Prepare(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
        Fail(db, "journal");
    return Statement(statement, sqlite3_finalize);
}

void Exec(sqlite3 *db, const std::string &sql)
{
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(db, "journal");
}

TWriteTransaction::TWriteTransaction(sqlite3 *db, const std::string &failed) : FDb(db)
{
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw Exception(failed + "：" + sqlite3_errmsg(db));
}

TWriteTransaction::~TWriteTransaction()
{
    if (!FDone)
        sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
}

void TWriteTransaction::Commit()
{
    Exec(FDb, "COMMIT");
    FDone = true;
}

std::string Quoted(const std::string &name)
{
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

} // namespace kestrum::journal_sql
