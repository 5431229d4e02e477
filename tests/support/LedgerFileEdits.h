#pragma once
// Tests that look into a ledger file from outside the program: one SQL
// statement on the file, one value read from it, and pages overwritten as a
// failing disk would.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace kestrum::test {

//! Runs `sql` on the file; a failure fails the test with SQLite's reason.
inline void ExecOnFile(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

//! The first column of the first row as text; "<error>" when the file or
//! the query fails or gives no row, "<null>" for NULL. Never makes a file.
inline std::string ScalarOfFile(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt *s = nullptr;
    std::string result = "<error>";
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
        const unsigned char *text = sqlite3_column_text(s, 0);
        result = text ? reinterpret_cast<const char *>(text) : "<null>";
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return result;
}

//! Overwrites three pages in the middle of the file, as a failing disk would.
inline void DamageFile(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 pages = file.size() / 4096;
    ASSERT_GT(pages, 8);
    ASSERT_TRUE(file.seek(pages / 2 * 4096));
    file.write(QByteArray(3 * 4096, 'x'));
}

} // namespace kestrum::test
