#pragma once
// The total of each ledger table's amounts, kept in the file by triggers, so
// that the sum over all entries costs a lookup instead of a pass over every
// row. The triggers use SQLite's built-in functions only: any program that
// writes the file keeps the totals (the sqlite3 shell included), and none of
// them fails for want of a function of ours.
//
// A sum of doubles is not exact, so the triggers keep no floating sum. An
// amount that is the double nearest to a number of ten-thousandths (every
// amount typed in) is counted as that integer, which adds and takes away
// exactly; any other value (an amount with binary noise, text, an integer
// from a differently typed column) is kept aside, row by row, with its place
// in the date index. The total is then made as sum() makes it: the integers
// added up, and the values aside added in the order sum() meets them, which
// the total asks SQLite for; anything it cannot be sure of sends the caller
// to the statement itself.
#include "core/Variant.h"

#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <string>

struct sqlite3;

namespace kestrum {

//! What "select sum(amountColumn) from table" gives on db, from the kept
//! totals: nothing when they cannot give exactly that (a table or column the
//! totals do not keep, a read-only file that has none yet, triggers missing,
//! an order of reading they cannot follow). A writable file that lacks them
//! gets them first, made from one pass over the table in one savepoint.
//! Raises nothing: every failure is a reason to run the statement.
std::optional<Variant> KeptAmountSum(sqlite3 *db, const QString &table, const QString &amountColumn);

//! How MakeKeptTotalsAside reads.
struct TKeptTotalsPass {
    int RowsPerRead = 20000; //!< rows read under one read lock
    //! Set by another thread: the pass ends soon, writing nothing.
    const std::atomic<bool> *Stop = nullptr;
    //! Called between reads (a test writes there as another program would).
    std::function<void()> BetweenReads;
};

//! Makes the kept totals of a writable ledger that lacks them, on a
//! connection of its own (for a thread beside the program's), so that the
//! first sum over all entries need not: the rows are read in short read
//! transactions, so that no writer waits for more than one of them, and the
//! totals are written in one short write transaction only when no other
//! connection wrote the file since the pass began (else the pass runs
//! again, up to three times). True when every table's totals are kept
//! afterwards. Raises nothing.
bool MakeKeptTotalsAside(const QString &ledgerPath, const TKeptTotalsPass &pass = {});

//! Whether the totals of every ledger table are kept and current.
bool HasKeptTotals(sqlite3 *db);

//! An expression of built-in SQL that is the value v's ten-thousandths when
//! v is a floating value that is the double nearest to them, else Null: what
//! the triggers count exactly.
std::string KeptUnitsSql(const std::string &v);

} // namespace kestrum
