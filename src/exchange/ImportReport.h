#pragma once
// What an import did, and the words that tell the user.
#include "exchange/ForeignEntry.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace kestrum {

enum TImportOutcome : std::uint8_t {
    ioImported,  //!< committed (perhaps nothing, when every entry was a duplicate)
    ioRejected,  //!< bad records and bpReject: nothing was kept
    ioCancelled, //!< the progress callback said stop: nothing was kept
};

//! An entry of the file that the ledger seems to hold already.
struct TFoundDuplicate {
    std::int64_t Ordinal = 0; //!< the entry's place among the entries the file gave, from 0
    TForeignEntry Entry;
};

struct TImportResult {
    TImportOutcome Outcome = ioImported;
    QString Source; //!< the reader's description
    int IncomeAdded = 0;
    int ExpenseAdded = 0;
    int DuplicatesSkipped = 0;
    //! The lines of the skipped duplicates, the first MaxListed of them.
    std::vector<int> DuplicateLines;
    //! The duplicates found, skipped or kept, the first MaxListed of them.
    std::vector<TFoundDuplicate> Duplicates;
    //! Duplicates that came in all the same, as the user chose them one by one.
    int DuplicatesKept = 0;
    //! Every bad record counted, the first MaxListed of them listed.
    int BadCount = 0;
    std::vector<TBadRecord> BadRecords;
    QStringList Notes; //!< the reader's notes
    static constexpr int MaxListed = 1000;

    int Added() const { return IncomeAdded + ExpenseAdded; }
    //! Lines for a message or the command's output: what came in, what was
    //! skipped and why, bad records with their lines.
    QStringList Report() const;
};

} // namespace kestrum
