#pragma once
// The rows a write is about to replace. A REPLACE conflict (INSERT OR
// REPLACE, REPLACE INTO, UPDATE OR REPLACE) deletes the row in the way
// without firing any DELETE trigger unless the writing connection turned
// recursive triggers on, which other programs do not. A BEFORE trigger
// cannot know whether the write will replace, be ignored or fail, so it
// only notes the row in the way in kestrum_replaced (one row per table at
// most, cleared by the next BEFORE trigger of that table); the AFTER
// triggers of the journal and the trash, which fire only when the write
// went through, take the note as a row that left.
#include <string>
#include <vector>

namespace kestrum {

class TDbDriver;

//! The table of notes; its columns are tbl, row_id, amount, entry_date, item, remark.
inline constexpr const char *ReplacedRowsTable = "kestrum_replaced";

//! The statements that add the notes' table and the BEFORE triggers of
//! `table` (whose four ledger columns are amount, date, item, remark, in that
//! order) where they are missing; empty when the file has them. For a
//! ledger file only: a server's triggers see such rows as deleted anyway.
std::vector<std::string> ReplacedRowsSetupSql(TDbDriver &db, const char *table, const char *const columns[4]);

//! A condition true when the AFTER trigger's write replaced a row: the note
//! for `table` names the row that now holds `newKey` (as "NEW.id").
std::string ReplacedRowCondition(const char *table, const std::string &newKey);

} // namespace kestrum
