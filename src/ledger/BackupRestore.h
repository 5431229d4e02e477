#pragma once
// The steps of putting a backup in the ledger's place (RestoreBackup in
// Backups.h). Between any two of them the ledger's path names a whole file,
// the old one or the restored one, so a restore killed halfway never leaves
// the folder without a ledger; the old file is kept aside from the second
// step on.
#include <functional>

namespace kestrum {

enum class TRestoreStep {
    Copied,       //!< the backup is copied beside the ledger under a temporary name and on disk
    OldKeptAside, //!< the old file also has its aside name (a hard link or a copy); the path still names it
    CompanionsAside, //!< a journal or log SQLite kept beside the old file went aside with it
    Replaced,        //!< one rename put the copy at the ledger's path
    Synced,          //!< the folder is on disk and the path names the restored file
};

//! Called after each step; tests stop or kill a restore there. Returns the
//! hook it replaces; an empty hook for none.
using TRestoreStepHook = std::function<void(TRestoreStep step)>;
TRestoreStepHook SetRestoreStepHook(TRestoreStepHook hook);

} // namespace kestrum
