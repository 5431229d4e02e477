// kestrum-db: makes and checks ledger database files, and moves entries in
// and out of them (kestrum-db --help lists the commands).
#include "ExchangeCommands.h"
#include "RecurringCommands.h"
#include "ServerCommands.h"
#include "ledger/Backups.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "ledger/LedgerLocation.h"

#include "core/AllocatorTunables.h"
#include "core/Errors.h"
#include "db/SqliteDriver.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace kestrum;

namespace {

struct TUsageLine {
    const char *Synopsis;
    const char *Summary;
};

// One line per command, in the order --help lists them.
const TUsageLine UsageLines[] = {
    {"init [FILE]", "create an empty ledger database (refuses to overwrite)"},
    {"demo [FILE]", "create a ledger database with a sample household's entries"},
    {"check [FILE]", "report whether a file is a usable ledger database, and the age of its newest good "
                     "backup"},
    {"backup [FILE]", "copy the ledger into its backups folder and print the copy's path"},
    {"restore BACKUP [FILE]", "put a backup in the ledger's place; the replaced file is kept beside it; "
                              "refused while the ledger program has it open or another program writes it"},
    {"history [FILE]", "list the journal of entry changes, newest first"},
    {"due [FILE]", "list the recurring entries that fell due by today and are not posted yet"},
    {"post-due [FILE]", "post the recurring entries that fell due by today, each occurrence once, as one "
                        "action that the program can undo"},
    {"copy SOURCE TARGET",
     "copy a ledger between a file and a PostgreSQL server (postgresql://user@host/database), in either "
     "direction, all or nothing; TARGET must not hold a ledger yet; the copy's counts and sums are checked "
     "against the source before it is kept. init, check and backup also take a server address: backup "
     "SERVER [FILE] writes the server's ledger to a local file. Passwords come from ~/.pgpass, never from "
     "the command line"},
    {"where", "print which ledger file and backups folder a plain kestrum (and this command) would use"},
    {"import [--skip-bad] [--keep-duplicates] [--all-income|--all-expense] [--day-first|--month-first] "
     "[--include-transfers] [--item=category|payee|memo] FILE [LEDGER]",
     "add the entries of a CSV file (a bank's, or an Alipay or WeChat Pay bill), an .xlsx sheet, a "
     "QIF, OFX/QFX or HomeBank (.xhb) file or an old Access ledger, all or none; "
     "entries the ledger holds already are skipped unless --keep-duplicates; a bad record stops the import "
     "unless --skip-bad; "
     "--all-income or "
     "--all-expense for a CSV file whose amounts carry no sign and no type column; --day-first or "
     "--month-first for QIF dates like 3/4/2024; --include-transfers imports the opening "
     "balances and transfers between its accounts that a QIF file or a CSV file with an account column "
     "holds, which are left out otherwise; --item says which field of a QIF, HomeBank or categorised CSV "
     "file gives the item (the category by default; the others go to the remark); LEDGER may be a "
     "server's postgresql:// address"},
    {"export [--from DATE] [--to DATE] [--income-only|--expense-only] [--format csv|csv-en|qif|xlsx] "
     "[--force] "
     "FILE [LEDGER]",
     "write the entries (dated from DATE to DATE, yyyy-mm-dd, both included) to a CSV file in UTF-8 "
     "with a type column; --format csv-en writes date,amount,category,memo with signed amounts and qif "
     "a QIF bank account, both for other finance programs, xlsx a spreadsheet workbook; --force replaces a "
     "file that exists, but never "
     "the ledger, a database or a file "
     "another program has open; LEDGER may be a server's postgresql:// address"},
};

int Usage(std::FILE *stream, int code)
{
    std::fprintf(stream, "usage:\n");
    for (const TUsageLine &line : UsageLines) {
        std::fprintf(stream, "  kestrum-db %s\n", line.Synopsis);
        // The summary wrapped at word ends, indented under the command.
        const char *text = line.Summary;
        while (*text) {
            std::size_t length = std::strlen(text);
            if (length > 72) {
                length = 72;
                while (length > 0 && text[length] != ' ')
                    --length;
                if (length == 0)
                    length = std::strlen(text);
            }
            std::fprintf(stream, "      %.*s\n", int(length), text);
            text += length;
            while (*text == ' ')
                ++text;
        }
    }
    std::fprintf(stream,
                 "  kestrum-db --help\n      show this text\n"
                 "init and demo make FILE in the working folder (Vantorel.mdb by default). Elsewhere\n"
                 "FILE and LEDGER default to Vantorel.mdb in the working folder when there is one,\n"
                 "else to Vantorel.mdb in the user's data folder (see: kestrum-db where).\n"
                 "Exit status: 0 done, 1 failed (the reason on stderr), 2 wrong usage.\n");
    return code;
}

int Usage()
{
    return Usage(stderr, 2);
}

//! restore BACKUP [FILE]: checks the backup, keeps the current file aside.
int Restore(int argc, char **argv)
{
    if (argc > 4)
        return Usage();
    const QString backup = QString::fromLocal8Bit(argv[2]);
    const QString file = argc == 4 ? QString::fromLocal8Bit(argv[3]) : DefaultLedgerPath();
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

//! How long ago a backup was taken, in words: its marker's time, or for an
//! older backup the time in its name.
std::string BackupAge(const TBackup &backup, const QDateTime &now)
{
    const QDateTime taken = backup.Marker.TakenAt.isValid() ? backup.Marker.TakenAt : backup.Time;
    const qint64 seconds = taken.secsTo(now);
    const std::string when = taken.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
    if (seconds < -60)
        return "taken " + when + ", a time in the future: check the computer's clock";
    if (seconds < 2 * 3600)
        return "taken " + when + ", " + std::to_string(std::max<qint64>(0, seconds / 60)) + " minutes ago";
    if (seconds < 2 * 86400)
        return "taken " + when + ", " + std::to_string(seconds / 3600) + " hours ago";
    return "taken " + when + ", " + std::to_string(seconds / 86400) + " days ago";
}

//! The newest backup that passes the integrity check, and how old it is.
void PrintNewestBackup(const QString &file)
{
    const QByteArray name = file.toLocal8Bit();
    const TBackup newest = NewestGoodBackup(file);
    if (newest.Path.isEmpty()) {
        std::printf("%s: no good backup in %s\n", name.constData(),
                    QDir::toNativeSeparators(QDir::cleanPath(BackupFolder(file))).toLocal8Bit().constData());
        return;
    }
    std::printf("%s: newest good backup %s, %s\n", name.constData(),
                QDir::toNativeSeparators(newest.Path).toLocal8Bit().constData(),
                BackupAge(newest, QDateTime::currentDateTime()).c_str());
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
    TSqliteDriver driver(db);
    ForEachJournalRow(driver, true, [&rows](const TJournalRow &row) {
        std::printf("%s\n", JournalHistoryLine(row).toUtf8().constData());
        ++rows;
        return true;
    });
    if (rows == 0)
        std::printf("%s: the journal is empty\n", file.toLocal8Bit().constData());
    return 0;
}

//! where: the ledger and backups folder a plain kestrum would use, and why.
int Where()
{
    const TLedgerChoice choice = ChooseLedger();
    const char *why = choice.Source == TLedgerSource::WorkingFolder ? "found in the working folder"
                                                                    : "the user's data folder";
    const char *state = QFileInfo::exists(choice.LedgerPath) ? "" : ", not made yet";
    std::printf("ledger: %s (%s%s)\nbackups: %s\n",
                QDir::toNativeSeparators(choice.LedgerPath).toLocal8Bit().constData(), why, state,
                QDir::toNativeSeparators(choice.BackupFolder).toLocal8Bit().constData());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    RestartWithAllocatorTunables(argv);
    if (argc < 2)
        return Usage();
    const char *command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 ||
        std::strcmp(command, "help") == 0)
        return Usage(stdout, 0);
    QStringList arguments;
    for (int i = 2; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);
    if (argc >= 3 && std::strcmp(command, "restore") == 0)
        return Restore(argc, argv);
    if (std::strcmp(command, "import") == 0)
        return tools::RunImport(arguments);
    if (std::strcmp(command, "export") == 0)
        return tools::RunExport(arguments);
    if (std::strcmp(command, "where") == 0)
        return argc == 2 ? Where() : Usage();
    if (tools::IsServerCommand(command, arguments)) {
        const int code = tools::RunServerCommand(command, arguments);
        return code == 2 ? Usage() : code;
    }
    if (argc > 3)
        return Usage();
    // A new ledger is made in the working folder, where a plain kestrum
    // started there then finds it; the other commands work on the ledger a
    // plain kestrum would open.
    const bool makes = std::strcmp(command, "init") == 0 || std::strcmp(command, "demo") == 0;
    const QString file = argc == 3 ? QString::fromLocal8Bit(argv[2])
                         : makes   ? DefaultLedgerFileName()
                                   : DefaultLedgerPath();
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
        if (std::strcmp(command, "due") == 0)
            return tools::RunDue(file);
        if (std::strcmp(command, "post-due") == 0)
            return tools::RunPostDue(file);
        if (std::strcmp(command, "check") == 0) {
            const TLedgerCheck check = CheckLedgerDatabase(file);
            for (const QString &problem : check.Problems)
                std::printf("%s: %s\n", file.toLocal8Bit().constData(), problem.toLocal8Bit().constData());
            PrintNewestBackup(file);
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
