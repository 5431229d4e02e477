#include "exchange/Importer.h"

#include "db/SqliteDriver.h"
#include "exchange/DuplicateMatcher.h"
#include "exchange/ExchangeText.h"
#include "exchange/LedgerAmount.h"
#include "exchange/LedgerStatements.h"
#include "ledger/Journal.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace kestrum {

using namespace exchange;

namespace {

void BindText(sqlite3_stmt *statement, int index, const std::string &text, bool emptyIsText)
{
    if (text.empty() && !emptyIsText)
        sqlite3_bind_null(statement, index);
    else
        sqlite3_bind_text(statement, index, text.data(), int(text.size()), SQLITE_STATIC);
}

//! Rolls back unless committed, whatever leaves the import.
class TTransaction {
public:
    explicit TTransaction(sqlite3 *db) : FDb(db)
    {
        if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            FailOnLedger(db, "无法开始写入账本");
    }
    ~TTransaction()
    {
        if (!FDone)
            sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit()
    {
        if (sqlite3_exec(FDb, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            FailOnLedger(FDb, "无法完成写入账本，没有导入任何纪录");
        FDone = true;
    }

private:
    sqlite3 *FDb;
    bool FDone = false;
};

} // namespace

TImportResult ImportEntries(sqlite3 *db, TEntrySource &source, const TImportOptions &options,
                            const TProgressCallback &progress)
{
    if (!sqlite3_get_autocommit(db))
        throw Exception("账本正在进行另一项修改，现在不能导入");
    TImportResult result;
    result.Source = source.Description();
    TStatement inserts[2] = {TStatement(nullptr, sqlite3_finalize), TStatement(nullptr, sqlite3_finalize)};
    for (const TEntryKind kind : {ekIncome, ekExpense}) {
        const exchange::TLedgerTable &t = LedgerTables[kind];
        inserts[kind] =
            PrepareOnLedger(db,
                            std::string("INSERT INTO ") + t.Name + " (\"" + t.Amount + "\", \"" + t.Date +
                                "\", \"" + t.Item + "\", \"备注\") VALUES (?1, ?2, ?3, ?4)",
                            "这个文件不是账本");
    }
    TTransaction transaction(db);
    TSqliteDriver ledger(db);
    // The whole import is one action of the ledger's history: one undo takes
    // it all back, as it came in all at once.
    // Its journal is written in one statement per table at the end rather
    // than by a trigger per row; the dropped triggers come back before the
    // commit, and a rollback brings them back too.
    const bool journaled = HasJournal(ledger);
    std::int64_t lastKeys[2] = {0, 0};
    if (journaled) {
        OpenJournalAction(ledger, QStringLiteral("导入"));
        for (const TEntryKind kind : {ekIncome, ekExpense}) {
            TJournalTable table;
            JournalTableOf(ledger, QString::fromUtf8(LedgerTables[kind].Name), table);
            TStatement last = PrepareOnLedger(
                db, "SELECT ifnull(max(\"" + table.Key + "\"), 0) FROM " + LedgerTables[kind].Name,
                "无法读取账本");
            if (sqlite3_step(last.get()) != SQLITE_ROW)
                FailOnLedger(db, "无法读取账本");
            lastKeys[kind] = sqlite3_column_int64(last.get(), 0);
        }
        DropJournalTriggers(ledger);
    }
    std::unique_ptr<TDuplicateMatcher> matcher = std::make_unique<TDuplicateMatcher>(db);
    // Entries wait in a batch so that the ledger is read once for the days
    // the batch spans rather than once per entry.
    constexpr std::size_t BatchSize = 1 << 17;
    std::vector<TForeignEntry> batch;
    std::vector<std::int64_t> matched;
    std::int64_t firstOrdinal = 0; //!< of the batch's first entry
    std::string dateText;
    const auto flush = [&] {
        if (options.Duplicates == dpSkip)
            matcher->Match(batch, matched);
        else
            matched.assign(batch.size(), 0);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const TForeignEntry &e = batch[i];
            const std::int64_t ordinal = firstOrdinal + std::int64_t(i);
            if (matched[i] != 0 && result.Duplicates.size() < std::size_t(TImportResult::MaxListed))
                result.Duplicates.push_back({ordinal, e});
            if (matched[i] != 0 &&
                std::binary_search(options.KeptDuplicates.begin(), options.KeptDuplicates.end(), ordinal)) {
                ++result.DuplicatesKept;
                matched[i] = 0;
            }
            if (matched[i] != 0) {
                ++result.DuplicatesSkipped;
                if (result.DuplicateLines.size() < std::size_t(TImportResult::MaxListed))
                    result.DuplicateLines.push_back(e.Line);
                // The ledger's entry now answers for the file's id as well.
                if (!e.TransactionId.empty())
                    matcher->RememberId(e.Kind, matched[i], e.TransactionId);
                continue;
            }
            sqlite3_stmt *insert = inserts[e.Kind].get();
            if (e.HasAmount)
                sqlite3_bind_double(insert, 1, e.Exact ? *e.Exact : double(e.Cents) / 100.0);
            else
                sqlite3_bind_null(insert, 1);
            if (e.HasDate) {
                dateText = LedgerDateText(e.Date, e.Seconds);
                sqlite3_bind_text(insert, 2, dateText.data(), int(dateText.size()), SQLITE_STATIC);
            } else {
                sqlite3_bind_null(insert, 2);
            }
            BindText(insert, 3, e.Item, e.EmptyItemIsText);
            BindText(insert, 4, e.Remark, e.EmptyRemarkIsText);
            if (sqlite3_step(insert) != SQLITE_DONE)
                FailOnLedger(db, LineMessage(e.Line, QStringLiteral("无法添加这条纪录")));
            sqlite3_reset(insert);
            if (!e.TransactionId.empty())
                matcher->RememberId(e.Kind, sqlite3_last_insert_rowid(db), e.TransactionId);
            ++(e.Kind == ekIncome ? result.IncomeAdded : result.ExpenseAdded);
        }
        firstOrdinal += std::int64_t(batch.size());
        batch.clear();
    };

    TForeignEntry entry;
    TBadRecord bad;
    bool rejecting = false;
    unsigned sinceProgress = 1024; // the first record asks at once
    for (;;) {
        if (progress && ++sinceProgress >= 1024) {
            sinceProgress = 0;
            if (!progress(source.Progress())) {
                result.Outcome = ioCancelled;
                result.IncomeAdded = result.ExpenseAdded = 0;
                result.DuplicatesSkipped = result.DuplicatesKept = 0;
                result.DuplicateLines.clear();
                result.Duplicates.clear();
                return result; // the transaction rolls back
            }
        }
        const TEntrySource::TStep step = source.Next(entry, bad);
        if (step == TEntrySource::esEnd)
            break;
        if (step == TEntrySource::esBad) {
            ++result.BadCount;
            if (result.BadRecords.size() < std::size_t(TImportResult::MaxListed))
                result.BadRecords.push_back(bad);
            // Go on reading, so that the user hears of every bad record at once.
            rejecting = rejecting || options.BadRecords == bpReject;
            continue;
        }
        // Readers outside this module are held to the same promises.
        if ((entry.HasAmount && entry.Exact && !std::isfinite(*entry.Exact)) ||
            (entry.HasDate && !entry.Date.isValid()) || entry.Seconds < 0 || entry.Seconds >= 86400) {
            bad.Line = entry.Line;
            bad.Reason = entry.HasDate && !entry.Date.isValid() ? QStringLiteral("日期无效")
                                                                : QStringLiteral("金额或时间无效");
            ++result.BadCount;
            if (result.BadRecords.size() < std::size_t(TImportResult::MaxListed))
                result.BadRecords.push_back(bad);
            rejecting = rejecting || options.BadRecords == bpReject;
            continue;
        }
        if (rejecting) {
            batch.clear();
            continue;
        }
        batch.push_back(entry);
        if (batch.size() >= BatchSize)
            flush();
    }
    if (!rejecting)
        flush();
    result.Notes = source.Notes();
    if (rejecting) {
        result.Outcome = ioRejected;
        result.IncomeAdded = result.ExpenseAdded = 0;
        result.DuplicatesSkipped = result.DuplicatesKept = 0;
        result.DuplicateLines.clear();
        result.Duplicates.clear();
        return result;
    }
    if (journaled) {
        for (const TEntryKind kind : {ekIncome, ekExpense})
            JournalInsertedRows(ledger, QString::fromUtf8(LedgerTables[kind].Name), lastKeys[kind]);
        EnsureJournal(ledger);
        SetJournalActionLabel(ledger, QStringLiteral("导入 %1 条纪录").arg(result.Added()));
        CloseJournalAction(ledger);
    }
    transaction.Commit();
    if (progress)
        progress(1.0);
    return result;
}

TImportResult ImportEntries(const QString &ledgerPath, TEntrySource &source, const TImportOptions &options,
                            const TProgressCallback &progress)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(ledgerPath.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK)
        throw Exception(CannotOpenLedger(ledgerPath, raw));
    sqlite3_busy_timeout(raw, 5000);
    // A big import touches many pages in its one transaction; a page cache
    // that holds them saves spilling them to the file and reading them back.
    sqlite3_exec(raw, "PRAGMA cache_size = -131072", nullptr, nullptr, nullptr);
    return ImportEntries(raw, source, options, progress);
}

} // namespace kestrum
