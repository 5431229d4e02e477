#include "app/ImportDryRun.h"

#include "core/Errors.h"

#include <sqlite3.h>

#include <memory>

namespace kestrum {

TImportResult DryRunImport(const QString &ledgerPath, TEntrySource &source, const TProgressCallback &progress)
{
    sqlite3 *raw = nullptr;
    // Opened for writing only because the importer begins an immediate
    // transaction; every statement below names or finds the temp copies.
    const int rc = sqlite3_open_v2(ledgerPath.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    const auto fail = [&](const char *what) {
        throw Exception(std::string(what) + ": " + (raw ? sqlite3_errmsg(raw) : "out of memory"));
    };
    if (rc != SQLITE_OK)
        fail("Cannot open the ledger");
    sqlite3_busy_timeout(raw, 5000);
    // Unqualified names find the temp schema first: the importer reads the
    // ledger's entries from the copies and writes its new ones there.
    if (sqlite3_exec(raw,
                     "PRAGMA temp_store = MEMORY;"
                     "CREATE TEMP TABLE gain AS SELECT * FROM main.gain;"
                     "CREATE TEMP TABLE expen AS SELECT * FROM main.expen;",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("Cannot read the ledger");
    TImportOptions options;
    options.BadRecords = bpSkip;
    options.Duplicates = dpSkip;
    return ImportEntries(raw, source, options, progress);
}

} // namespace kestrum
