#pragma once
// Ledger database files for tests: an empty ledger in a temporary folder,
// filled row by row with raw SQL so that the code under test is the only
// reader going through the record-set layer.
#include <QString>
#include <QTemporaryDir>

#include <string>

struct sqlite3;

namespace kestrum {

class TLedgerFile {
public:
    TLedgerFile();
    ~TLedgerFile();

    QString Path() const { return FDir.filePath(QStringLiteral("Vantorel.mdb")); }
    QString Folder() const { return FDir.path(); }
    QString ConnectionString() const;

    //! date: "2006-07-15"
    void AddIncome(double amount, const char *date, const char *item = "工资");
    void AddExpense(double amount, const char *date, const char *item = "午饭");
    //! Runs a statement directly on the file and returns the first column of
    //! the first row as text ("" for NULL).
    std::string Scalar(const std::string &sql) const;

private:
    void exec(const std::string &sql) const;

    QTemporaryDir FDir;
    sqlite3 *FDb = nullptr;
};

} // namespace kestrum
