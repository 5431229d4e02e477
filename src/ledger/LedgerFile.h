#pragma once
// Making and checking ledger database files: the work of the kestrum-db
// command (the ledger program itself never creates or repairs its file).
#include <QDate>
#include <QString>
#include <QStringList>

namespace kestrum {

//! The two tables with a row-id key, amounts as REAL and dates as ISO text.
extern const char *const LedgerSchemaSql;

//! Creates an empty ledger; raises Exception when the file exists already
//! (nothing is overwritten) or cannot be made, and then leaves no file behind.
void CreateLedgerDatabase(const QString &path);

//! Creates a ledger filled with a sample household: monthly incomes and the
//! everyday expenses of the years from firstYear to lastYear, none dated after
//! `lastDay` when it is valid. The same seed gives the same rows. Like
//! CreateLedgerDatabase, it leaves no file behind when it fails.
void CreateDemoDatabase(const QString &path, int firstYear, int lastYear, unsigned seed = 2024,
                        const QDate &lastDay = QDate());

struct TLedgerCheck {
    bool Usable = false;
    QStringList Problems; //!< why it is not usable, or values worth a look
    int GainRows = 0;
    int ExpenRows = 0;
};

//! Reads a file without changing it and says whether the ledger can use it.
TLedgerCheck CheckLedgerDatabase(const QString &path);

} // namespace kestrum
