#include "app/ImportDryRun.h"

#include "core/Errors.h"
#include "db/DbDriver.h"
#include "exchange/DuplicateMatcher.h"
#include "exchange/ExchangeMessages.h"

#include <QUrl>

#include <sqlite3.h>

#include <memory>

namespace kestrum {

TImportResult DryRunImport(const QString &ledgerPath, TEntrySource &source, const TProgressCallback &progress)
{
    TImportOptions options;
    options.BadRecords = bpSkip;
    options.Duplicates = dpSkip;
    if (IsServerTarget(ledgerPath.toStdString())) {
        // A server's ledger is shared and may be large: the import runs on
        // it in a transaction of its own that is rolled back, so that its
        // own checks (an amount too large for it, a text too long) answer.
        options.RollBack = true;
        return ImportEntries(ledgerPath, source, options, progress);
    }

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
    // The copies are made as the ledger's own tables are, so that their rows
    // keep their keys (the remembered transaction ids name them).
    for (const char *table : {"gain", "expen"}) {
        sqlite3_stmt *schema = nullptr;
        if (sqlite3_prepare_v2(raw, "SELECT sql FROM ledger.sqlite_master WHERE type = 'table' AND name = ?1",
                               -1, &schema, nullptr) != SQLITE_OK)
            fail("无法读取账本");
        sqlite3_bind_text(schema, 1, table, -1, SQLITE_STATIC);
        const std::string create = sqlite3_step(schema) == SQLITE_ROW && sqlite3_column_text(schema, 0)
                                       ? reinterpret_cast<const char *>(sqlite3_column_text(schema, 0))
                                       : std::string();
        sqlite3_finalize(schema);
        const std::string copy = std::string("INSERT INTO main.") + table + " SELECT * FROM ledger." + table;
        if (create.empty() || sqlite3_exec(raw, create.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK ||
            sqlite3_exec(raw, copy.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail("无法读取账本");
    }
    // The transaction ids that earlier imports remembered decide duplicates too.
    const std::string copyIds = std::string("CREATE TABLE main.") + TransactionIdTable +
                                " AS SELECT * FROM ledger." + TransactionIdTable;
    sqlite3_stmt *hasIds = nullptr;
    if (sqlite3_prepare_v2(raw, "SELECT 1 FROM ledger.sqlite_master WHERE type = 'table' AND name = ?1", -1,
                           &hasIds, nullptr) != SQLITE_OK)
        fail("无法读取账本");
    sqlite3_bind_text(hasIds, 1, TransactionIdTable, -1, SQLITE_STATIC);
    const bool idsKept = sqlite3_step(hasIds) == SQLITE_ROW;
    sqlite3_finalize(hasIds);
    if ((idsKept && sqlite3_exec(raw, copyIds.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) ||
        sqlite3_exec(raw, "DETACH DATABASE ledger", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("无法读取账本");
    return ImportEntries(raw, source, options, progress);
}

} // namespace kestrum
