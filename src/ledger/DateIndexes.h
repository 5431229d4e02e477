#pragma once
// Indexes on the date of each ledger table, holding the amount and the item
// beside it, so that a sum over a month or a year reads one slice of an index
// instead of every row of the table. They are plain column indexes, which any
// program that writes the file keeps up to date without knowing them.
struct sqlite3;

namespace kestrum {

//! Whether both ledger tables have their date index.
bool HasDateIndexes(sqlite3 *db);

//! Adds the date indexes a ledger lacks (a file made by an older version),
//! all in one savepoint: adding an index changes no row, and a failure leaves
//! the file as it was. A table missing one of the columns gets none; a
//! read-only connection gets nothing. Raises EDatabaseError when SQLite
//! refuses (a full disk).
void EnsureDateIndexes(sqlite3 *db);

} // namespace kestrum
