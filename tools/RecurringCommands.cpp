#include "RecurringCommands.h"

#include "core/Errors.h"
#include "db/SqliteDriver.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "ledger/LedgerLock.h"
#include "ledger/RecurringStore.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>
#include <memory>

namespace kestrum::tools {

namespace {

using Database = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

int Failure(const char *command, const QString &message)
{
    std::fprintf(stderr, "kestrum-db %s: %s\n", command, message.toLocal8Bit().constData());
    return 1;
}

//! The ledger opened for writing; null after saying why not.
Database OpenLedger(const char *command, const QString &ledger)
{
    Database none(nullptr, sqlite3_close);
    if (!QFileInfo::exists(ledger)) {
        Failure(command, QStringLiteral("'%1' does not exist").arg(ledger));
        return none;
    }
    sqlite3 *raw = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(ledger).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Database db(raw, sqlite3_close);
    if (rc != SQLITE_OK) {
        Failure(command, QStringLiteral("cannot open '%1': %2")
                             .arg(ledger, QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc))));
        return none;
    }
    sqlite3_busy_timeout(raw, 10000);
    if (!HoldsLedgerTables(raw)) {
        Failure(command, QStringLiteral("'%1' is not a ledger").arg(ledger));
        return none;
    }
    return db;
}

QString DueLine(const TRecurringDue &due)
{
    QString line = due.Date.toString(Qt::ISODate) + "  " +
                   QString::fromUtf8(due.Page == TRecurringPage::Income ? "收入" : "支出") + "  " +
                   RecurringAmountText(due.AmountCents) + "  " + due.Item;
    if (!due.Remark.isEmpty())
        line += "  " + due.Remark;
    return line;
}

} // namespace

int RunDue(const QString &ledger)
{
    Database db = OpenLedger("due", ledger);
    if (!db)
        return 1;
    try {
        TSqliteDriver driver(db.get());
        const std::vector<TRecurringDue> due = DueRecurringEntries(driver, QDate::currentDate());
        for (const TRecurringDue &entry : due)
            std::printf("%s\n", DueLine(entry).toUtf8().constData());
        if (due.empty())
            std::printf("%s: nothing is due\n", ledger.toLocal8Bit().constData());
        return 0;
    } catch (const std::exception &e) {
        return Failure("due", QString::fromUtf8(e.what()));
    }
}

int RunPostDue(const QString &ledger)
{
    // Like the program, it announces that it has the ledger open, so that a
    // restore cannot swap the file while entries go in.
    TLedgerLock lock(ledger);
    if (!lock.LockShared() && lock.Busy())
        return Failure("post-due",
                       QStringLiteral("'%1' is being restored from a backup; nothing posted").arg(ledger));
    Database db = OpenLedger("post-due", ledger);
    if (!db)
        return 1;
    try {
        TSqliteDriver driver(db.get());
        EnsureJournal(driver);
        const QDate today = QDate::currentDate();
        const std::vector<TRecurringDue> due = DueRecurringEntries(driver, today);
        const TRecurringPostResult result = PostRecurringEntries(driver, due, today);
        for (const TRecurringDue &entry : due)
            std::printf("%s\n", DueLine(entry).toUtf8().constData());
        std::printf("%s: posted %d entries", ledger.toLocal8Bit().constData(), result.Posted);
        if (result.Skipped > 0)
            std::printf(", %d left out that another program posted meanwhile", result.Skipped);
        std::printf("\n");
        return 0;
    } catch (const std::exception &e) {
        return Failure("post-due", QString::fromUtf8(e.what()));
    }
}

} // namespace kestrum::tools
