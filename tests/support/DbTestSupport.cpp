#include "support/DbTestSupport.h"

#include "ledger/LedgerFile.h"

namespace kestrum::test {

void RawExec(const QString &path, const std::string &sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

std::string RawValue(const QString &path, const std::string &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt *statement = nullptr;
    std::string result = "<error>";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW)
            result = sqlite3_column_type(statement, 0) == SQLITE_NULL
                         ? "NULL"
                         : reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
        else if (rc == SQLITE_DONE)
            result = "<none>";
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

void CreateLedgerFile(const QString &path)
{
    CreateLedgerDatabase(path);
}

} // namespace kestrum::test
