#pragma once
// Ledger database files for tests: an empty ledger in a temporary folder,
// filled row by row with raw SQL so that the code under test is the only
// reader going through the record-set layer. Given the server engine, the
// ledger is a new database on the tests' throwaway server instead, and
// values read back as a file shows them.
#include "support/EngineLedger.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>

struct sqlite3;

namespace kestrum {

class TLedgerFile {
public:
    explicit TLedgerFile(test::TEngine engine = test::TEngine::File);
    ~TLedgerFile();

    bool OnServer() const { return FServer != nullptr; }
    //! Why the server ledger is not there ("" when it is): the developer
    //! skipped the server tests, or the server could not start.
    const std::string &Unavailable() const { return FUnavailable; }
    //! In a test's SetUp: skips or fails the test when the ledger is not there.
    static void RequireLedger(const TLedgerFile &file);

    //! The file (empty for a server ledger).
    QString Path() const { return OnServer() ? QString() : FDir.filePath(QStringLiteral("Vantorel.mdb")); }
    QString Folder() const { return FDir.path(); }
    //! What import and export are given: the file, or the server's address.
    QString Target() const { return OnServer() ? QString::fromStdString(FTarget) : Path(); }
    QString ConnectionString() const;

    //! date: "2006-07-15"
    void AddIncome(double amount, const char *date, const char *item = "工资");
    void AddExpense(double amount, const char *date, const char *item = "午饭");
    //! Runs a statement directly on the file and returns the first column of
    //! the first row as text ("" for NULL).
    std::string Scalar(const std::string &sql) const;
    //! The first row's cells separated by "|" ("NULL" for Null), "" without a row.
    std::string Row(const std::string &sql) const;
    //! Every row as Row gives it, separated by ", ".
    std::string Rows(const std::string &sql) const;
    //! Runs statements separated by semicolons.
    void Exec(const std::string &sql) const;

private:
    void exec(const std::string &sql) const;

    QTemporaryDir FDir;
    sqlite3 *FDb = nullptr;
    std::unique_ptr<TDbDriver> FServer;
    std::string FTarget;
    std::string FUnavailable;
};

} // namespace kestrum
