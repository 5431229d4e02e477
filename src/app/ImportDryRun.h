#pragma once
// Running an import without keeping anything, to tell the user beforehand
// what it would do: how many entries would come in, how many the ledger
// holds already, which records cannot be read. The importer itself runs, so
// the answer follows its rules exactly, but into copies of the two tables
// held in memory.
#include "exchange/Importer.h"

#include <QString>

namespace kestrum {

//! Imports from source into copies of the ledger's tables in memory (the
//! file is only read), or, for a server's address, into the server's ledger
//! in a transaction that is rolled back. Bad records are passed over and counted, entries the
//! ledger holds already are counted as duplicates. Raises what the importer
//! raises; a cancel through progress gives ioCancelled.
TImportResult DryRunImport(const QString &ledgerPath, TEntrySource &source,
                           const TProgressCallback &progress);

} // namespace kestrum
