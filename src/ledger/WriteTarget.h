#pragma once
// Whether a file may be written over: every command that writes a file the
// user named (an export, a restore's target) asks here first, so that a
// slip of the keyboard never turns a ledger, a backup or a file that another
// program has open into a CSV file.
//
// Files are compared by identity (device and inode), never by name: a
// symbolic link, a "./" or another spelling of a name on a case-insensitive
// disk all lead to the same file.
//
// The probes open the file they look at. Closing a descriptor drops every
// POSIX record lock this process holds on that file, SQLite's included, so
// they must not be pointed at a database this process has open (the ledger
// being read is recognised by identity before anything is opened).
#include <QString>

namespace kestrum {

enum class TWriteRefusal {
    None,            //!< the file may be written (or made)
    ReadLedger,      //!< it is the ledger the command reads
    LedgerCompanion, //!< it is a file SQLite or the program keeps beside that ledger
    Database,        //!< it holds an SQLite database, rollback journal or write-ahead log
    InUse,           //!< another program holds it open as a ledger or locks it
    NotAFile,        //!< a folder or a device
};

struct TWriteTargetCheck {
    TWriteRefusal Refusal = TWriteRefusal::None;
    QString Message; //!< why not, in the user's words; empty when allowed
    bool Allowed() const { return Refusal == TWriteRefusal::None; }
};

//! Whether `target` may be written over by a command that reads the ledger
//! `readLedger` (empty when it reads none). A file that does not exist yet
//! may be made unless its name is one of the ledger's companions.
TWriteTargetCheck CheckWriteTarget(const QString &target, const QString &readLedger = QString());

//! CheckWriteTarget, raising Exception with its message when refused.
void RequireWriteTarget(const QString &target, const QString &readLedger = QString());

//! Whether both paths name one existing file (device and inode).
bool SameFile(const QString &a, const QString &b);

//! Whether the file starts like an SQLite database, rollback journal or
//! write-ahead log. An empty or missing file does not.
bool HasDatabaseHeader(const QString &path);

//! Whether another program holds the ledger lock "<path>.lock" (the sign a
//! running Kestrum or kestrum-db leaves) or a lock on the file itself.
bool HeldByAnotherProgram(const QString &path);

//! Whether a connection (in any process) is writing the database at `path`
//! or about to: SQLite's reserved, pending or exclusive lock on the file, or
//! the write lock of its write-ahead log. A reader does not count.
bool DatabaseWriteLockHeld(const QString &path);

} // namespace kestrum
