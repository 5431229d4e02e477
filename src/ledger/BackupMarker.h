#pragma once
// What a backup knows about itself. Each backup holds one row in its own
// table kestrum_backup: a sequence that grows with every backup of the
// ledger and the state the ledger was in when it was copied. Backups are
// ordered by the sequence and a ledger is judged changed by its state, never
// by a time a clock wrote into a name: a clock set wrong once, or the hour
// a change to winter time repeats, must not make an old copy "the newest".
// Backups from before the marker have none; they count as older than every
// backup that has one, and among themselves go by their names.
#include <QDateTime>
#include <QString>

#include <cstdint>

struct sqlite3;

namespace kestrum {

struct TBackupMarker {
    std::int64_t Sequence = 0; //!< 1, 2, ...; 0 for a backup without a marker
    QDateTime TakenAt;         //!< the wall clock when it was taken: shown, never ordered by
    //! The ledger file's change counter (in its header, raised by every
    //! write transaction) when the copy began; -1 when unknown.
    std::int64_t LedgerChanges = -1;
    //! The id of the ledger's newest journal row then (0 for none, -1 when the file has no journal).
    std::int64_t LedgerJournal = -1;
    //! The copy passed the full integrity check. A backup made at close has
    //! had the quick check only until ConfirmBackups checked it in full;
    //! backups from before this flag were all checked in full.
    bool Confirmed = true;

    bool HasMarker() const { return Sequence > 0; }
};

//! The marker of a backup file; Sequence 0 when it has none or cannot be read.
//! Opens the file read-only and never changes it.
TBackupMarker ReadBackupMarker(const QString &path);

//! Writes the marker into a copy (replacing one a restored ledger brought
//! with it). Raises Exception when the copy refuses it.
void WriteBackupMarker(sqlite3 *copy, const TBackupMarker &marker);

//! Notes in a backup that it passed the full integrity check. Raises
//! Exception when the file refuses it.
void ConfirmBackupMarker(const QString &path);

//! The ledger's state now (change counter and newest journal row), read
//! through an open connection to it and from its file's header.
TBackupMarker LedgerState(sqlite3 *ledger, const QString &ledgerPath);

//! Whether the ledger is in the state the marker recorded.
bool SameLedgerState(const TBackupMarker &marker, const TBackupMarker &now);

} // namespace kestrum
