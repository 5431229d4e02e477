#pragma once
// Backups of a ledger file and restoring from them. A ledger
// "<folder>/Vantorel.mdb" keeps its backups in "<folder>/Vantorel.backups",
// one file per backup named by the moment it was taken
// ("Vantorel-2026-12-09-231500.mdb"), so that the names sort by time.
//
// Each backup holds a marker (BackupMarker.h): backups are ordered by the
// sequence in it, not by their names, and "changed since the newest backup"
// compares the ledger with the state the marker recorded.
//
// A backup is copied with SQLite's online backup API in short steps (other
// connections may read and write the ledger between them), written under a
// temporary name, checked, and only then renamed into place; only after that
// are older backups dropped. A crash halfway leaves at most a ".part" file,
// which never counts as a backup and is cleared away later.
#include "core/Errors.h"
#include "ledger/BackupMarker.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

namespace kestrum {

class TLedgerLock;

//! The folder of a ledger's backups: its name without extension plus ".backups".
QString BackupFolder(const QString &ledgerPath);
//! A backup's file name for the moment `time` (seconds kept, local time).
QString BackupFileName(const QString &ledgerPath, const QDateTime &time);

struct TBackup {
    QString Path;
    QDateTime Time;       //!< read from the name
    TBackupMarker Marker; //!< read from the file; none for a backup from before markers
};

//! The ledger's backups, newest first: by the sequence they hold, those
//! without one after all that have one, by their names. Files whose names
//! are not backup names of this ledger (temporary files, other ledgers'
//! backups) are left out.
std::vector<TBackup> ListBackups(const QString &ledgerPath);

//! Rotation: of backups taken at `times`, the ones to keep at `now` are the
//! ten newest and the newest of each of the twelve months up to now's month.
//! Answers one flag per time, in the order given.
std::vector<bool> BackupsToKeep(const std::vector<QDateTime> &times, const QDateTime &now);
//! The same for backups already listed newest first (ListBackups): the ten
//! first are kept whatever their names say.
std::vector<bool> BackupsToKeepInOrder(const std::vector<QDateTime> &timesNewestFirst, const QDateTime &now);

//! Runs SQLite's integrity check (or the quicker check that skips index
//! contents) on a file without changing it; "" when it answers "ok",
//! otherwise what is wrong (a file that does not open included).
QString DatabaseProblem(const QString &path, bool quick);

struct TBackupOptions {
    int PagesPerStep = 2048;                    //!< pages copied while the ledger is read-locked
    std::chrono::milliseconds Pause{2};         //!< between steps, so that writers get their turn
    std::chrono::milliseconds BusyLimit{60000}; //!< give up when the ledger stays locked this long
    //! The full integrity check before the copy counts as a backup. Without
    //! it (a close, where the full check of a large ledger would keep the
    //! process alive for minutes) only the quick check runs, the copy is
    //! marked unconfirmed and rotation waits: ConfirmBackups checks it in
    //! full later, before any good backup can be dropped for it.
    bool FullCheck = true;
    //! Set by another thread: the backup ends as soon as it can, without a
    //! copy and without a report (EBackupStopped).
    const std::atomic<bool> *Stop = nullptr;
    //! Called after each step with the pages still to copy and the total.
    std::function<void(int remaining, int total)> OnStep;
};

//! A new backup that failed its integrity check: the ledger itself may be
//! damaged, which the user has to hear of in other words than of a full disk.
class EBackupCheckFailed : public Exception {
public:
    explicit EBackupCheckFailed(const std::string &message) : Exception(message) {}
};

//! A backup or a check given up because the program is closing.
class EBackupStopped : public Exception {
public:
    EBackupStopped() : Exception("备份已中止") {}
};

//! Makes a backup of the ledger as it is at `now` and returns its path, then
//! drops the backups that rotation no longer keeps. Raises Exception when the
//! ledger cannot be read, the copy fails or fails its integrity check: the new
//! file is then gone and every older backup stays.
QString MakeBackup(const QString &ledgerPath, const QDateTime &now, const TBackupOptions &options = {});

//! Whether a backup waits for its full integrity check.
bool HasUnconfirmedBackups(const QString &ledgerPath);
//! Checks every unconfirmed backup in full: one that passes is marked so,
//! one that fails is deleted (older backups stay) and EBackupCheckFailed is
//! raised once all were checked. A full MakeBackup runs this first. `stop`
//! ends it between and within checks (EBackupStopped); a backup whose check
//! was cut short stays unconfirmed.
void ConfirmBackups(const QString &ledgerPath, const std::atomic<bool> *stop = nullptr);

//! Deletes the backups that rotation does not keep at `now`, never `keep`.
void RotateBackups(const QString &ledgerPath, const QDateTime &now, const QString &keep = QString());

//! Whether a backup taken on `day` exists.
bool HasBackupOn(const QString &ledgerPath, const QDate &day);
//! Whether the ledger was written after the newest backup was taken (true
//! when there is none): a ledger left as it was needs no second copy. A
//! newest backup without a marker goes by the file's time against its name,
//! and a name in the future counts as changed.
bool ChangedSinceNewestBackup(const QString &ledgerPath);

//! The newest backup that passes the integrity check (Path empty when none).
TBackup NewestGoodBackup(const QString &ledgerPath);

//! Puts a backup in the ledger's place. The backup is checked first; the
//! ledger must not be open in any program: `heldLock` is the caller's own
//! lock, held exclusively, or without one the lock is taken here and the
//! restore is refused while another program holds it, and while any
//! connection writes the ledger. The current file (with a journal SQLite left
//! beside it) is kept aside as "<ledger>.<asideWord>-<time>", never
//! overwritten or deleted; the steps are in BackupRestore.h. Returns the
//! name it was put aside under ("" when there was no ledger). Raises
//! Exception, with the ledger as it was, when anything before the swap
//! fails; a folder that cannot be synced afterwards is reported with the
//! restored file in place.
QString RestoreBackup(const QString &backupPath, const QString &ledgerPath, const QDateTime &now,
                      const QString &asideWord, TLedgerLock *heldLock = nullptr);

} // namespace kestrum
