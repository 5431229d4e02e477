#include "app/ImportDryRun.h"

#include "core/Errors.h"
#include "exchange/ExchangeMessages.h"

#include <QUrl>

#include <sqlite3.h>

#include <memory>

namespace kestrum {

TImportResult DryRunImport(const QString &ledgerPath, TEntrySource &source, const TProgressCallback &progress)
{
    // The importer works on a database in memory that holds copies of the
    // two tables; the ledger is attached read-only for the copy and detached
    // before the import begins, so nothing here can write the file (nor its
    // journal, whose triggers stay behind).
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    const auto fail = [&](const char *what) {
        throw Exception(std::string(what) + "：" + exchange::LedgerProblem(raw));
    };
    if (rc != SQLITE_OK)
        fail("无法检查导入");
    sqlite3_busy_timeout(raw, 5000);
    sqlite3_stmt *attach = nullptr;
    if (sqlite3_prepare_v2(raw, "ATTACH DATABASE ?1 AS ledger", -1, &attach, nullptr) != SQLITE_OK)
        fail("无法读取账本");
    const QByteArray uri = "file:" + QUrl::toPercentEncoding(ledgerPath, "/") + "?mode=ro";
    sqlite3_bind_text(attach, 1, uri.constData(), int(uri.size()), SQLITE_TRANSIENT);
    const int attached = sqlite3_step(attach);
    sqlite3_finalize(attach);
    if (attached != SQLITE_DONE)
        fail("无法读取账本");
    if (sqlite3_exec(raw,
                     "CREATE TABLE main.gain AS SELECT * FROM ledger.gain;"
                     "CREATE TABLE main.expen AS SELECT * FROM ledger.expen;"
                     "DETACH DATABASE ledger;",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("无法读取账本");
    TImportOptions options;
    options.BadRecords = bpSkip;
    options.Duplicates = dpSkip;
    return ImportEntries(raw, source, options, progress);
}

} // namespace kestrum
