#pragma once
// The ledger's tables on a PostgreSQL server: the same entries, budgets,
// recurring schedules, journal and trash as in a ledger file, with triggers
// that keep the same promises (every write journaled, every deleted entry in
// the trash) and notify the other open windows of each change.
#include "db/DbDriver.h"

namespace kestrum {

//! The schema version this program writes and the newest it can open.
inline constexpr int ServerSchemaVersion = 1;

//! Makes the whole ledger in an empty database, in one transaction; refused
//! when the database holds a ledger already.
void CreateServerLedger(TDbDriver &server);

//! The tables, indexes and functions, without the triggers, inside the
//! caller's transaction: rows added before CreateServerTriggers are where
//! the ledger starts, not something its user did and could undo.
void CreateServerTables(TDbDriver &server);
void CreateServerTriggers(TDbDriver &server);

//! The version of the ledger in the database; 0 when it holds none.
int ServerLedgerVersion(TDbDriver &server);

//! Throws EDbDriverError with a message for the user unless the database
//! holds a ledger this program can open and its user may read.
void CheckServerLedger(TDbDriver &server);

//! Whether the user may also add, change and delete entries; a ledger that
//! can only be read is still opened, for looking and statistics.
bool ServerLedgerWritable(TDbDriver &server);

} // namespace kestrum
