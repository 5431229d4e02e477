// kestrum-db: makes and checks ledger database files.
//   kestrum-db init [FILE]   an empty ledger (default Vantorel.mdb)
//   kestrum-db demo [FILE]   a ledger with a sample household's entries
//   kestrum-db check [FILE]  whether the ledger can use the file
#include "ledger/LedgerFile.h"

#include "core/Errors.h"

#include <QDate>
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
                         "FILE defaults to Vantorel.mdb in the working folder.\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
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
