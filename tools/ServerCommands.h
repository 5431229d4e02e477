#pragma once
// kestrum-db's commands for a ledger on a PostgreSQL server: init makes one,
// copy moves a ledger between a file and a server in either direction (all
// or nothing, checked by counts and exact sums before it is committed), and
// backup writes a server ledger to a local file that opens without the
// server. The Run functions return the exit code: 0 done, 1 failed (said on
// stderr), 2 wrong usage.
#include <QStringList>

#include <cstdint>
#include <string>

namespace kestrum {

//! What a copy moved; sums are in ten-thousandths of the currency unit.
struct TLedgerCopy {
    std::int64_t GainRows = 0, ExpenRows = 0, BudgetRows = 0, ScheduleRows = 0, TrashRows = 0;
    std::int64_t GainSum = 0, ExpenSum = 0;
};

//! Copies the ledger at `source` (a file or a server address) to `target`,
//! which must not hold a ledger yet: a file that does not exist, or a
//! server database without one. Throws, leaving the target as it was, on
//! any failure or when the copy's counts or sums differ from the source's.
TLedgerCopy CopyLedger(const std::string &source, const std::string &target);

namespace tools {

//! Whether kestrum-db's `command` with `arguments` is one of these.
bool IsServerCommand(const char *command, const QStringList &arguments);
int RunServerCommand(const char *command, const QStringList &arguments);

} // namespace tools

} // namespace kestrum
