#pragma once
// SQL functions that the ledger's statements call as the Jet engine knows
// them: year(), month(), day(), hour(), minute(), second() of a date, and
// sum() and total() that add money exactly (MoneySumFunctions.h).
struct sqlite3;

namespace kestrum {

//! Raises EDatabaseError when SQLite refuses a registration.
void RegisterJetFunctions(sqlite3 *db);

} // namespace kestrum
