#pragma once
// sum() and total() of SQL that add money exactly, as the Jet engine adds its
// currency columns: the amount columns are REAL, and SQLite's own sum() adds
// their doubles one by one, so a million rows come out cents away from the
// decimal total (and from the grid's footer, which adds them exactly).
struct sqlite3;

namespace kestrum {

//! Replaces the built-in sum() and total() of one connection (also as window
//! functions). Integers still add up to an integer, with an "integer
//! overflow" error past the 64-bit range; anything else gives the double
//! nearest to the exact total. Raises EDatabaseError when SQLite refuses.
void RegisterMoneySumFunctions(sqlite3 *db);

} // namespace kestrum
