// kestrum-db: makes and checks ledger database files.
//   kestrum-db init [FILE]   an empty ledger (default Vantorel.mdb)
//   kestrum-db demo [FILE]   a ledger with a sample household's entries
//   kestrum-db check [FILE]  whether the ledger can use the file
//   kestrum-db backup [FILE]           a backup into the ledger's backups folder
//   kestrum-db restore BACKUP [FILE]   a backup in the ledger's place
#include "ledger/Backups.h"
#include "ledger/LedgerFile.h"

#include "core/Errors.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdio>
#include <cstring>

using namespace kestrum;

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: kestrum-db init|demo|check [FILE]\n"
                         "  init   create an empty ledger database (refuses to overwrite)\n"
                         "  demo   create a ledger database with a sample household's entries\n"
                         "  check  report whether a file is a usable ledger database\n"
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
