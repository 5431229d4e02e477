// kestrum-db: makes and checks ledger database files.
//   kestrum-db init [FILE]   an empty ledger (default Vantorel.mdb)
//   kestrum-db demo [FILE]   a ledger with a sample household's entries
//   kestrum-db check [FILE]  whether the ledger can use the file
//   kestrum-db backup [FILE]           a backup into the ledger's backups folder
//   kestrum-db restore BACKUP [FILE]   a backup in the ledger's place
//   kestrum-db history [FILE]          the journal of entry changes, newest first
#include "ledger/Backups.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"

#include "core/Errors.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace kestrum;

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: kestrum-db init|demo|check|history [FILE]\n"
                         "  init   create an empty ledger database (refuses to overwrite)\n"
                         "  demo   create a ledger database with a sample household's entries\n"
                         "  check  report whether a file is a usable ledger database\n"
                         "  history  list the journal of entry changes, newest first\n"
                         "usage: kestrum-db backup [FILE] | restore BACKUP [FILE]\n"
                         "  backup   copy the ledger into its backups folder and print the copy's path\n"
                         "  restore  put a backup in the ledger's place; the replaced file is kept\n"
                         "           beside it; refused while the ledger program has it open\n"
                         "FILE defaults to Vantorel.mdb in the working folder.\n");
    return 2;
}

//! restore BACKUP [FILE]: checks the backup, keeps the current file aside.
int Restore(int argc, char **argv)
{
    if (argc > 4)
        return Usage();
    const QString backup = QString::fromLocal8Bit(argv[2]);
    const QString file = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("Vantorel.mdb");
    try {
        const QString aside =
            RestoreBackup(backup, file, QDateTime::currentDateTime(), QStringLiteral("replaced"));
        std::printf("restored %s from %s\n", file.toLocal8Bit().constData(),
                    backup.toLocal8Bit().constData());
        if (!aside.isEmpty())
            std::printf("the file it replaced is kept as %s\n", aside.toLocal8Bit().constData());
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "kestrum-db: %s\n", e.what());
        return 1;
    }
}

//! One line per journal row: time, action, kind, table, id, item, amount.
int PrintHistory(const QString &file)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> closer(db, sqlite3_close);
    if (rc != SQLITE_OK)
        throw Exception("cannot open '" + file.toStdString() + "': " + sqlite3_errmsg(db));
    sqlite3_busy_timeout(db, 3000);
    int rows = 0;
    ForEachJournalRow(db, true, [&rows](const TJournalRow &row) {
        std::printf("%s\n", JournalHistoryLine(row).toUtf8().constData());
        ++rows;
        return true;
    });
    if (rows == 0)
        std::printf("%s: the journal is empty\n", file.toLocal8Bit().constData());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "restore") == 0)
        return Restore(argc, argv);
    if (argc < 2 || argc > 3)
        return Usage();
    const char *command = argv[1];
    const QString file = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("Vantorel.mdb");
    try {
        if (std::strcmp(command, "init") == 0) {
            CreateLedgerDatabase(file);
            std::printf("created empty ledger %s\n", file.toLocal8Bit().constData());
            return 0;
        }
        if (std::strcmp(command, "demo") == 0) {
            // The sample ends today: a ledger has no entries from the future.
            const QDate today = QDate::currentDate();
            const int year = today.year();
            CreateDemoDatabase(file, year - 2, year, 2024, today);
            const TLedgerCheck check = CheckLedgerDatabase(file);
            std::printf("created sample ledger %s: %d income and %d expense entries, %d to %d\n",
                        file.toLocal8Bit().constData(), check.GainRows, check.ExpenRows, year - 2, year);
            return 0;
        }
        if (std::strcmp(command, "backup") == 0) {
            std::printf("%s\n", MakeBackup(file, QDateTime::currentDateTime()).toLocal8Bit().constData());
            return 0;
        }
        if (std::strcmp(command, "history") == 0)
            return PrintHistory(file);
        if (std::strcmp(command, "check") == 0) {
            const TLedgerCheck check = CheckLedgerDatabase(file);
            for (const QString &problem : check.Problems)
                std::printf("%s: %s\n", file.toLocal8Bit().constData(), problem.toLocal8Bit().constData());
            if (!check.Usable) {
                std::printf("%s: not a usable ledger\n", file.toLocal8Bit().constData());
                return 1;
            }
            std::printf("%s: usable ledger, %d income and %d expense entries\n",
                        file.toLocal8Bit().constData(), check.GainRows, check.ExpenRows);
            return 0;
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "kestrum-db: %s\n", e.what());
        return 1;
    }
    return Usage();
}
