#pragma once
// A folder of its own in which a test runs kestrum-db (or another program) as
// the user does, and looks at the files and ledgers it leaves there.
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace kestrum::test {

struct TRun {
    int Code = -1;
    std::string Out;
    std::string Err;
};

class ToolFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString Path(const char *name) const { return FDir.filePath(name); }

    //! Runs a program in the folder and waits for it to end.
    TRun RunProgram(const QString &program, const QStringList &arguments, int timeoutMs = 120000)
    {
        QProcess process;
        process.setWorkingDirectory(FDir.path());
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(timeoutMs));
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }
    TRun Db(const QStringList &arguments) { return RunProgram(QStringLiteral(KESTRUM_DB_TOOL), arguments); }

    void Write(const char *name, const QByteArray &text)
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    std::string Read(const char *name)
    {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return file.readAll().toStdString();
    }
    void Sql(const char *ledger, const char *sql)
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(Path(ledger).toUtf8().constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    //! The entries of one ledger that the other lacks, compared value for value
    //! in SQL: "I 12.5 '2024-01-05 00:00:00' item|remark; " each.
    std::string Missing(const char *ledger, const char *other)
    {
        sqlite3 *d = nullptr;
        sqlite3_open(Path(ledger).toUtf8().constData(), &d);
        const std::string attach = "ATTACH '" + Path(other).toStdString() + "' AS other";
        sqlite3_exec(d, attach.c_str(), nullptr, nullptr, nullptr);
        std::string out;
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(
            d,
            "SELECT t || ' ' || quote(a) || ' ' || quote(b) || ' ' || c FROM (SELECT * FROM ("
            "SELECT 'I' AS t, 本次进帐 AS a, 进帐时间 AS b, ifnull(进帐人, '') || '|' || ifnull(备注, '') AS "
            "c "
            "FROM main.gain UNION ALL SELECT 'E', 消费金额, 消费日期, ifnull(消费者, '') || '|' || "
            "ifnull(备注, '') FROM main.expen) EXCEPT SELECT * FROM (SELECT 'I', 本次进帐, 进帐时间, "
            "ifnull(进帐人, '') || '|' || ifnull(备注, '') FROM other.gain UNION ALL SELECT 'E', 消费金额, "
            "消费日期, ifnull(消费者, '') || '|' || ifnull(备注, '') FROM other.expen))",
            -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            out += reinterpret_cast<const char *>(sqlite3_column_text(s, 0)) + std::string("; ");
        sqlite3_finalize(s);
        sqlite3_close(d);
        return out;
    }

    QTemporaryDir FDir;
};

} // namespace kestrum::test
