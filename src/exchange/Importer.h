#pragma once
// Putting foreign entries into a ledger: all of a file or none of it, in one
// transaction. An entry the ledger holds already (the same table, day and
// amount in cents, and the same transaction id or texts in common; see
// DuplicateMatcher.h), whichever format brought it in, is taken for the same
// entry read again and skipped unless the user keeps it; each entry of the ledger answers for one
// entry of the file, so a file that repeats an entry twice where the ledger
// has it once adds it once. Repeats within a file alone are real entries
// (two equal coffees on one day) and all come in.
#include "exchange/ForeignEntry.h"
#include "exchange/ImportReport.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct sqlite3;

namespace kestrum {

class TDbDriver;

enum TBadRecordPolicy : std::uint8_t {
    bpReject, //!< a bad record stops the file: nothing of it comes in
    bpSkip,   //!< bad records are passed over, the others come in
};

enum TDuplicatePolicy : std::uint8_t {
    dpSkip, //!< entries the ledger holds already are left out
    dpKeep, //!< every entry comes in
};

struct TImportOptions {
    TBadRecordPolicy BadRecords = bpReject;
    TDuplicatePolicy Duplicates = dpSkip;
    //! With dpSkip: the entries (by TFoundDuplicate::Ordinal, ascending) that
    //! come in although the ledger seems to hold them, as the user picked
    //! them from a dry run's list; the same file and ledger number them alike.
    std::vector<std::int64_t> KeptDuplicates;
    //! Runs the whole import, then rolls it back and keeps nothing, not even
    //! a history action: a dry run on a server's ledger, where the answer
    //! comes from the server's own checks without a copy of its tables. The
    //! result says what a real import would have done.
    bool RollBack = false;
};

//! Imports into the ledger at `ledger`: a file (which must exist and hold
//! the gain and expen tables) or a server's address. Raises EImportError
//! when the reader fails for the whole file, and Exception when the ledger
//! cannot be opened or written; either way the ledger is left as it was.
TImportResult ImportEntries(const QString &ledger, TEntrySource &source, const TImportOptions &options = {},
                            const TProgressCallback &progress = {});
//! The same over an open connection, which must not be inside a
//! transaction. On a server amounts keep the decimal the file gave (an
//! amount between two of the server's decimals is rounded as the server
//! rounds it, and compared so with the ledger's entries).
TImportResult ImportEntries(TDbDriver &db, TEntrySource &source, const TImportOptions &options = {},
                            const TProgressCallback &progress = {});
TImportResult ImportEntries(sqlite3 *db, TEntrySource &source, const TImportOptions &options = {},
                            const TProgressCallback &progress = {});

} // namespace kestrum
