#pragma once
// The trash of deleted entries. Triggers in the ledger file copy every row
// deleted from gain or expen into kestrum_trash, in the deleting statement's
// own transaction, whichever program or connection deletes it. Inserting the
// same entry again under its old id (an undo of the delete) takes it out of
// the trash by itself. The functions here list, restore and empty it.
#include "core/Variant.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace kestrum {

class TDbDriver;

enum class TTrashSource : std::uint8_t { Gain, Expen };

//! The table a source names ("gain", "expen").
const char *TrashSourceTable(TTrashSource source);

//! Adds the trash table, its index and its triggers to a ledger that lacks
//! them; a ledger that has them is only read. A file opened read-only cannot
//! get them: the answer is then false, and nothing is raised, since nothing
//! can be deleted from it either. Raises EDatabaseError when the file refuses
//! a change it should take (locked, full, damaged). A server's ledger has
//! them from kestrum-db init: there it only brings back, inside a
//! transaction, the copying that DropTrashDeleteTriggers set aside.
bool EnsureTrash(TDbDriver &db);

//! Drops the triggers that copy deleted rows into the trash, for a writer
//! whose deletes are not deletions by anyone (an undo of an insert) inside
//! its own transaction; EnsureTrash brings them back before it commits. On a
//! server the triggers stay and pass over the rest of that transaction.
void DropTrashDeleteTriggers(TDbDriver &db);

//! Whether the ledger has the trash table.
bool HasTrash(TDbDriver &db);

//! One deleted entry. Its values are kept as the table held them.
struct TTrashEntry {
    std::int64_t TrashId = 0;
    TTrashSource Source = TTrashSource::Gain;
    std::int64_t OriginalId = 0;
    Variant Amount, Date, Item, Remark; //!< Null, a number or a text
    QString DeletedAt;                  //!< local time, "YYYY-MM-DD HH:MM:SS"
};

//! Number of entries in the trash (0 for a ledger without one).
std::int64_t TrashCount(TDbDriver &db);
//! Trash ids, newest deletion first: a list can show a large trash page by
//! page and still select and restore any of it.
std::vector<std::int64_t> TrashIds(TDbDriver &db);
//! The entries whose trash ids lie between oldestId and newestId, newest first.
std::vector<TTrashEntry> TrashEntries(TDbDriver &db, std::int64_t newestId, std::int64_t oldestId);
//! The whole trash, newest deletion first.
std::vector<TTrashEntry> ListTrash(TDbDriver &db);

//! What became of one trash entry that was asked back.
enum class TTrashRestoreKind : std::uint8_t {
    OriginalId,  //!< back in its table under its old id
    NewId,       //!< its old id had been given to another entry; back under a new id
    AlreadyBack, //!< the same entry was in its table already; only the trash copy went
    NotInTrash,  //!< no such trash entry (restored or emptied meanwhile); nothing changed
};

struct TTrashRestoreOutcome {
    std::int64_t TrashId = 0;
    TTrashRestoreKind Kind = TTrashRestoreKind::NotInTrash;
    TTrashSource Source = TTrashSource::Gain;
    std::int64_t OriginalId = 0;
    std::int64_t RestoredId = 0; //!< the id the entry has now (0 when not in its table)
};

struct TTrashRestoreResult {
    std::vector<TTrashRestoreOutcome> Outcomes; //!< in the order they were restored
    int Count(TTrashRestoreKind kind) const;
    //! Entries inserted into their tables again.
    int Inserted() const { return Count(TTrashRestoreKind::OriginalId) + Count(TTrashRestoreKind::NewId); }
    bool Touched(TTrashSource source) const;
};

//! Brackets one restore inside its transaction, for a journal that records
//! the restore as one user action. Begin runs before the first insert, End
//! after the last; either may raise, and the restore then rolls back.
struct TTrashRestoreHook {
    std::function<void(TDbDriver &)> Begin;
    std::function<void(TDbDriver &, const TTrashRestoreResult &)> End;
};

//! Restores the entries with these trash ids (oldest deletion first, each id
//! once) in one transaction: an entry goes back under its old id when that
//! is free, otherwise under a new one. An entry is back already, and not
//! inserted twice, when its old id holds the same values, or when another
//! row with them was written after the journal saw the entry deleted
//! (entered or imported again meanwhile); each such row stands for one
//! entry, so of two equal entries with one row back, one is inserted. An
//! equal row that was there before the deletion (the second of two equal
//! lunches) does not count.
//! On any failure everything is rolled back and EDatabaseError raised.
TTrashRestoreResult RestoreFromTrash(TDbDriver &db, const std::vector<std::int64_t> &trashIds,
                                     const TTrashRestoreHook &hook = {});
//! Restores the whole trash in one transaction, as RestoreFromTrash does.
TTrashRestoreResult RestoreAllFromTrash(TDbDriver &db, const TTrashRestoreHook &hook = {});

//! Removes every entry from the trash for good; returns how many.
std::int64_t EmptyTrash(TDbDriver &db);

} // namespace kestrum
