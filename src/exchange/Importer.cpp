#include "exchange/Importer.h"

#include "db/SqliteDriver.h"
#include "exchange/DuplicateMatcher.h"
#include "exchange/ExchangeText.h"
#include "exchange/LedgerAmount.h"
#include "exchange/LedgerStatements.h"
#include "ledger/Journal.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace kestrum {

using namespace exchange;

namespace {

//! The server's advisory lock that imports into one ledger take in turn.
constexpr std::int64_t ImportLockKey = 0x4B65'7374'7275'6D49; // "KestrumI"

//! How many characters a column of `table` keeps (a server's varchar
//! length); 0 when it keeps any text, as every column of a file does.
std::size_t CharacterLimit(TDbDriver &db, const char *table, const char *column)
{
    for (const TDbTableColumn &info : db.TableColumns(table)) {
        if (info.Name != column)
            continue;
        const QString type = QString::fromStdString(info.DeclaredType).toUpper();
        if (!type.startsWith(QLatin1String("VARCHAR(")) || !type.endsWith(QLatin1Char(')')))
            return 0;
        bool ok = false;
        const int limit = type.mid(8, type.size() - 9).toInt(&ok);
        return ok && limit > 0 ? std::size_t(limit) : 0;
    }
    return 0;
}

//! The characters of a UTF-8 text, as a server counts them.
std::size_t CharacterCount(std::string_view utf8)
{
    return std::size_t(std::count_if(utf8.begin(), utf8.end(),
                                     [](char byte) { return (std::uint8_t(byte) & 0xC0) != 0x80; }));
}

void BindText(TDbStatement &statement, int index, const std::string &text, bool emptyIsText)
{
    if (text.empty() && !emptyIsText)
        statement.BindNull(index);
    else
        statement.BindText(index, text);
}

//! Rolls back unless committed, whatever leaves the import.
class TTransaction {
public:
    explicit TTransaction(TDbDriver &db) : FDb(db)
    {
        // A file is taken for writing at once, so that no other writer
        // slips in between the reads the duplicates are found by and the
        // rows that follow from them.
        OnLedger(db, "无法开始写入账本", [&] { db.Exec(LedgerOnServer(db) ? "BEGIN" : "BEGIN IMMEDIATE"); });
    }
    ~TTransaction()
    {
        if (FDone)
            return;
        try {
            FDb.Rollback();
        } catch (const std::exception &) {
            // A server's link that broke has rolled back by itself.
        }
    }
    void Commit()
    {
        OnLedger(FDb, "无法完成写入账本，没有导入任何纪录", [&] { FDb.Commit(); });
        FDone = true;
    }

private:
    TDbDriver &FDb;
    bool FDone = false;
};

} // namespace

TImportResult ImportEntries(TDbDriver &db, TEntrySource &source, const TImportOptions &options,
                            const TProgressCallback &progress)
{
    if (db.InTransaction())
        throw Exception("账本正在进行另一项修改，现在不能导入");
    const bool server = LedgerOnServer(db);
    TImportResult result;
    result.Source = source.Description();
    std::unique_ptr<TDbStatement> inserts[2];
    for (const TEntryKind kind : {ekIncome, ekExpense}) {
        const exchange::TLedgerTable &t = LedgerTables[kind];
        const std::string sql = std::string("INSERT INTO ") + t.Name + " (\"" + t.Amount + "\", \"" + t.Date +
                                "\", \"" + t.Item + "\", \"备注\") VALUES (?1, ?2, ?3, ?4)";
        inserts[kind] = OnLedger(db, "这个文件不是账本", [&] { return db.PrepareInsert(sql, "id"); });
    }
    std::size_t itemLimits[2] = {0, 0};
    if (server)
        for (const TEntryKind kind : {ekIncome, ekExpense})
            itemLimits[kind] = OnLedger(db, "无法读取账本", [&] {
                return CharacterLimit(db, LedgerTables[kind].Name, LedgerTables[kind].Item);
            });
    TTransaction transaction(db);
    if (server && !options.RollBack)
        OnLedger(db, "无法开始写入账本", [&] {
            // Other windows on the ledger hear of the import once per table
            // rather than once per row.
            db.Exec("SELECT set_config('kestrum.bulk', 'on', true)");
            // One import at a time, as a file's write lock has it: two
            // people importing one bank's file at once each see the other's
            // entries, and so add them once.
            db.Exec("SELECT pg_advisory_xact_lock(" + std::to_string(ImportLockKey) + ")");
        });
    // The whole import is one action of the ledger's history: one undo takes
    // it all back, as it came in all at once.
    // Its journal is written in one statement per table at the end rather
    // than by a trigger per row; the dropped triggers come back before the
    // commit, and a rollback brings them back too.
    const bool journaled = !options.RollBack && OnLedger(db, "无法读取账本", [&] { return HasJournal(db); });
    if (options.RollBack && server)
        // Nothing is kept, so nothing is journaled either.
        OnLedger(db, "无法读取账本", [&] { DropJournalTriggers(db); });
    std::int64_t lastKeys[2] = {0, 0};
    if (journaled) {
        OnLedger(db, "无法读取账本", [&] {
            OpenJournalAction(db, QStringLiteral("导入"));
            for (const TEntryKind kind : {ekIncome, ekExpense}) {
                TJournalTable table;
                JournalTableOf(db, QString::fromUtf8(LedgerTables[kind].Name), table);
                auto last = db.Prepare("SELECT coalesce(max(\"" + table.Key + "\"), 0) FROM " +
                                       LedgerTables[kind].Name);
                if (!last->Step())
                    throw Exception("无法读取账本");
                lastKeys[kind] = last->ColumnInt64(0);
            }
            DropJournalTriggers(db);
        });
    }
    std::unique_ptr<TDuplicateMatcher> matcher = std::make_unique<TDuplicateMatcher>(db);
    // Entries wait in a batch so that the ledger is read once for the days
    // the batch spans rather than once per entry.
    constexpr std::size_t BatchSize = 1 << 17;
    std::vector<TForeignEntry> batch;
    std::vector<std::int64_t> matched;
    std::int64_t firstOrdinal = 0; //!< of the batch's first entry
    std::string dateText, amountText;
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
            TDbStatement &insert = *inserts[e.Kind];
            if (!e.HasAmount) {
                insert.BindNull(1);
            } else if (server && !e.Exact) {
                // A server keeps the decimal itself: cents as the file gave
                // them, however many digits, not the double nearest to them.
                amountText.clear();
                AppendCents(amountText, e.Cents);
                insert.BindText(1, amountText);
            } else {
                insert.BindDouble(1, e.Exact ? *e.Exact : double(e.Cents) / 100.0);
            }
            if (e.HasDate) {
                dateText = LedgerDateText(e.Date, e.Seconds);
                insert.BindText(2, dateText);
            } else {
                insert.BindNull(2);
            }
            BindText(insert, 3, e.Item, e.EmptyItemIsText);
            BindText(insert, 4, e.Remark, e.EmptyRemarkIsText);
            try {
                insert.Step();
                insert.Reset();
            } catch (const EDbDriverError &error) {
                FailOnLedger(db, LineMessage(e.Line, QStringLiteral("无法添加这条纪录")), error);
            }
            if (!e.TransactionId.empty())
                matcher->RememberId(e.Kind, db.LastInsertId(), e.TransactionId);
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
        // Go on reading after a bad record, so that the user hears of every
        // one at once.
        const auto passOver = [&] {
            ++result.BadCount;
            if (result.BadRecords.size() < std::size_t(TImportResult::MaxListed))
                result.BadRecords.push_back(bad);
            rejecting = rejecting || options.BadRecords == bpReject;
        };
        if (step == TEntrySource::esBad) {
            passOver();
            continue;
        }
        // Readers outside this module are held to the same promises.
        if ((entry.HasAmount && entry.Exact && !std::isfinite(*entry.Exact)) ||
            (entry.HasDate && !entry.Date.isValid()) || entry.Seconds < 0 || entry.Seconds >= 86400) {
            bad.Line = entry.Line;
            bad.Reason = entry.HasDate && !entry.Date.isValid() ? QStringLiteral("日期无效")
                                                                : QStringLiteral("金额或时间无效");
            passOver();
            continue;
        }
        // A server refuses a text longer than its column: the entry is named
        // here rather than failing the whole import at its insert.
        if (const std::size_t limit = itemLimits[entry.Kind];
            limit > 0 && CharacterCount(entry.Item) > limit) {
            bad.Line = entry.Line;
            bad.Reason = QStringLiteral("项目超过%1个字，服务器上的账本存不下").arg(limit);
            passOver();
            continue;
        }
        if (rejecting) {
            batch.clear();
            continue;
        }
        batch.push_back(entry);
        // What a server keeps of an amount between two of its decimals is
        // what is written, and what the ledger's rows are compared with.
        if (server && batch.back().Exact)
            batch.back().Exact = ServerAmount(*batch.back().Exact);
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
        OnLedger(db, "无法写入账本的历史", [&] {
            for (const TEntryKind kind : {ekIncome, ekExpense})
                JournalInsertedRows(db, QString::fromUtf8(LedgerTables[kind].Name), lastKeys[kind]);
            EnsureJournal(db);
            SetJournalActionLabel(db, QStringLiteral("导入 %1 条纪录").arg(result.Added()));
            CloseJournalAction(db);
        });
    }
    if (!options.RollBack)
        transaction.Commit();
    if (progress)
        progress(1.0);
    return result;
}

TImportResult ImportEntries(sqlite3 *db, TEntrySource &source, const TImportOptions &options,
                            const TProgressCallback &progress)
{
    TSqliteDriver ledger(db);
    return ImportEntries(ledger, source, options, progress);
}

TImportResult ImportEntries(const QString &ledger, TEntrySource &source, const TImportOptions &options,
                            const TProgressCallback &progress)
{
    const std::unique_ptr<TDbDriver> db = OpenLedgerTarget(ledger, true);
    return ImportEntries(*db, source, options, progress);
}

} // namespace kestrum
