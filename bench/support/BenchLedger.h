#pragma once
// The ledger file the whole-program benchmarks run on. Each run makes its own
// (a million income and a million expense rows by default), so a benchmark
// runs on any machine; KESTRUM_LEDGER_1M may name an existing ledger to copy
// instead, which is never written.
#include <QString>

namespace kestrum::bench {

//! Puts a ledger at `path` (a file that does not exist yet): a copy of the
//! file KESTRUM_LEDGER_1M names, or a generated one with `incomeRows` and
//! `expenseRows` entries in the ledger's own schema. The journal and trash
//! tables are left to the program, as in a ledger written by an older version.
//! Raises std::runtime_error when the file cannot be made.
void MakeBenchLedger(const QString &path, int incomeRows = 1000000, int expenseRows = 1000000);

} // namespace kestrum::bench
