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
};

//! Imports into the ledger file at `ledgerPath` (which must exist and hold
//! the gain and expen tables). Raises EImportError when the reader fails for
//! the whole file, and Exception when the ledger cannot be opened or written;
//! either way the ledger is left as it was.
TImportResult ImportEntries(const QString &ledgerPath, TEntrySource &source,
                            const TImportOptions &options = {}, const TProgressCallback &progress = {});
//! The same over an open connection (the program's own), which must not be
//! inside a transaction.
TImportResult ImportEntries(sqlite3 *db, TEntrySource &source, const TImportOptions &options = {},
                            const TProgressCallback &progress = {});

} // namespace kestrum
