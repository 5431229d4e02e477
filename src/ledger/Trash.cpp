#include "ledger/Trash.h"

#include "db/DbDriver.h"
#include "db/DbErrors.h"
#include "ledger/JournalSql.h"
#include "ledger/ReplacedRows.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>

namespace kestrum {

namespace {

struct TTableColumns {
    const char *Table, *Amount, *Date, *Item, *Remark;
};

const TTableColumns Tables[] = {{"gain", "本次进帐", "进帐时间", "进帐人", "备注"},
                                {"expen", "消费金额", "消费日期", "消费者", "备注"}};

const TTableColumns &ColumnsOf(TTrashSource source)
{
    return Tables[source == TTrashSource::Gain ? 0 : 1];
}

// The trash's own columns carry no declared type, so a value keeps the kind
// it had in its table and goes back unchanged. The entry index serves the
// insert trigger, which runs for every row any import adds.
const char *const TrashTableSql = "CREATE TABLE IF NOT EXISTS kestrum_trash ("
                                  "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                  "source TEXT NOT NULL, "
                                  "original_id INTEGER NOT NULL, "
                                  "amount, entry_date, item, remark, "
                                  "deleted_at TEXT NOT NULL);"
                                  "CREATE INDEX IF NOT EXISTS kestrum_trash_entry "
                                  "ON kestrum_trash (source, original_id);";

std::string DeletedTriggerName(const TTableColumns &t)
{
    return std::string("kestrum_trash_") + t.Table + "_deleted";
}

std::string InsertedTriggerName(const TTableColumns &t)
{
    return std::string("kestrum_trash_") + t.Table + "_inserted";
}

std::string Quote(const char *column)
{
    return std::string("\"") + column + "\"";
}

// rowid rather than the key's name: it is the key of every table the ledger
// can use, whatever an older file called it.
std::string DeletedTriggerSql(const TTableColumns &t)
{
    return "CREATE TRIGGER IF NOT EXISTS " + DeletedTriggerName(t) + " AFTER DELETE ON " + t.Table +
           " BEGIN INSERT INTO kestrum_trash "
           "(source, original_id, amount, entry_date, item, remark, deleted_at) VALUES ('" +
           t.Table + "', OLD.rowid, OLD." + Quote(t.Amount) + ", OLD." + Quote(t.Date) + ", OLD." +
           Quote(t.Item) + ", OLD." + Quote(t.Remark) +
           ", strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')); END;";
}

std::string ReplacedTriggerName(const TTableColumns &t, bool update)
{
    return std::string("kestrum_trash_") + t.Table + (update ? "_rekey_replaced" : "_replaced");
}

// A row that a REPLACE conflict deleted (no DELETE trigger fires for it) is
// a deleted entry like any other, unless the row that took its place holds
// the same values: then nothing was lost.
std::string ReplacedTriggerSql(const TTableColumns &t, bool update)
{
    return "CREATE TRIGGER IF NOT EXISTS " + ReplacedTriggerName(t, update) +
           (update ? " AFTER UPDATE ON " : " AFTER INSERT ON ") + t.Table +
           (update ? " WHEN OLD.rowid <> NEW.rowid" : "") +
           " BEGIN INSERT INTO kestrum_trash "
           "(source, original_id, amount, entry_date, item, remark, deleted_at) SELECT '" +
           t.Table +
           "', row_id, amount, entry_date, item, remark, "
           "strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime') FROM kestrum_replaced WHERE " +
           ReplacedRowCondition(t.Table, "NEW.rowid") + " AND NOT (amount IS NEW." + Quote(t.Amount) +
           " AND entry_date IS NEW." + Quote(t.Date) + " AND item IS NEW." + Quote(t.Item) +
           " AND remark IS NEW." + Quote(t.Remark) + "); END;";
}

// Only the same entry coming back under its old id leaves the trash: a new
// entry that happens to get a deleted entry's id (a table whose ids are
// reused) must not take that entry with it.
std::string InsertedTriggerSql(const TTableColumns &t)
{
    return "CREATE TRIGGER IF NOT EXISTS " + InsertedTriggerName(t) + " AFTER INSERT ON " + t.Table +
           " BEGIN DELETE FROM kestrum_trash WHERE id = (SELECT id FROM kestrum_trash WHERE source = '" +
           t.Table + "' AND original_id = NEW.rowid AND amount IS NEW." + Quote(t.Amount) +
           " AND entry_date IS NEW." + Quote(t.Date) + " AND item IS NEW." + Quote(t.Item) +
           " AND remark IS NEW." + Quote(t.Remark) + " ORDER BY id DESC LIMIT 1); END;";
}

//! A statement whose failures name what was being done.
class TStatement {
public:
    TStatement(TDbDriver &db, const std::string &sql, const char *context) : FContext(context)
    {
        Guard([&] { FStatement = db.Prepare(sql); });
    }

    TDbStatement &Get() const { return *FStatement; }
    void Bind(int index, std::int64_t value) { FStatement->BindInt64(index, value); }
    void Bind(int index, const char *text) { FStatement->BindText(index, text); }
    //! True while there is a row.
    bool Step()
    {
        bool row = false;
        Guard([&] { row = FStatement->Step(); });
        return row;
    }
    void Run()
    {
        Step();
        Reset();
    }
    void Reset() { FStatement->Reset(); }
    std::int64_t Int(int column) const { return FStatement->ColumnInt64(column); }
    std::string Text(int column) const { return FStatement->ColumnText(column); }

private:
    template <class TWork> void Guard(TWork &&work)
    {
        try {
            work();
        } catch (const EDatabaseError &e) {
            throw EDatabaseError(FContext + std::string("：") + journal_sql::Reason(e));
        }
    }

    const char *FContext;
    std::unique_ptr<TDbStatement> FStatement;
};

void Exec(TDbDriver &db, const std::string &sql, const char *context)
{
    try {
        db.Exec(sql);
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(context + std::string("：") + journal_sql::Reason(e));
    }
}

//! A write transaction that rolls back unless committed. It takes the write
//! lock at once (waiting through the busy timeout), so it never fails half
//! way for want of it; inside a caller's transaction it is a savepoint. On a
//! server it is serializable, which promises the same.
class TWriteTransaction {
public:
    TWriteTransaction(TDbDriver &db, const char *context) : FDb(db), FContext(context)
    {
        FOwn = !db.InTransaction();
        Exec(db,
             !FOwn                       ? "SAVEPOINT kestrum_trash"
             : journal_sql::OnServer(db) ? "BEGIN ISOLATION LEVEL SERIALIZABLE"
                                         : "BEGIN IMMEDIATE",
             context);
    }
    ~TWriteTransaction()
    {
        if (FDone)
            return;
        try {
            if (FOwn) {
                FDb.Exec("ROLLBACK");
            } else {
                FDb.Exec("ROLLBACK TO kestrum_trash");
                FDb.Exec("RELEASE kestrum_trash");
            }
        } catch (const Exception &) {
            // The failure that brought us here ended the transaction already.
        }
    }
    TWriteTransaction(const TWriteTransaction &) = delete;
    TWriteTransaction &operator=(const TWriteTransaction &) = delete;

    void Commit()
    {
        Exec(FDb, FOwn ? "COMMIT" : "RELEASE kestrum_trash", FContext);
        FDone = true;
    }

private:
    TDbDriver &FDb;
    const char *FContext;
    bool FOwn = true;
    bool FDone = false;
};

bool SchemaHas(TDbDriver &db, const char *type, const std::string &name)
{
    TStatement s(db, "SELECT 1 FROM sqlite_master WHERE type = ?1 AND name = ?2", "无法读取数据库结构");
    s.Bind(1, type);
    s.Get().BindText(2, name);
    return s.Step();
}

Variant ColumnVariant(const TDbStatement &s, int column)
{
    switch (s.ColumnType(column)) {
    case TDbValueType::Null:
        return Variant::null();
    case TDbValueType::Integer:
        return Variant(std::int64_t(s.ColumnInt64(column)));
    case TDbValueType::Real:
        return Variant(s.ColumnDouble(column));
    default:
        return Variant(QString::fromStdString(s.ColumnText(column)));
    }
}

bool SourceOf(const std::string &name, TTrashSource &source)
{
    if (name == "gain")
        source = TTrashSource::Gain;
    else if (name == "expen")
        source = TTrashSource::Expen;
    else
        return false;
    return true;
}

//! One value of a trash entry, kept while its trash row goes. A server's
//! exact decimal keeps its digits, to go back unrounded.
struct TValue {
    TDbValueType Type = TDbValueType::Null;
    std::int64_t Integer = 0;
    double Real = 0;
    std::string Bytes;

    static TValue Of(const TDbStatement &s, int column, bool server)
    {
        TValue value;
        value.Type = s.ColumnType(column);
        switch (value.Type) {
        case TDbValueType::Integer:
            value.Integer = s.ColumnInt64(column);
            break;
        case TDbValueType::Real:
            value.Real = s.ColumnDouble(column);
            if (server)
                value.Bytes = s.ColumnText(column);
            break;
        case TDbValueType::Blob:
            value.Bytes = s.ColumnBlob(column);
            break;
        case TDbValueType::Text:
        case TDbValueType::DateTime:
            value.Bytes = s.ColumnText(column);
            break;
        case TDbValueType::Null:
            break;
        }
        return value;
    }

    void Bind(TDbStatement &s, int parameter) const
    {
        switch (Type) {
        case TDbValueType::Null:
            s.BindNull(parameter);
            break;
        case TDbValueType::Integer:
            s.BindInt64(parameter, Integer);
            break;
        case TDbValueType::Real:
            if (Bytes.empty())
                s.BindDouble(parameter, Real);
            else
                s.BindText(parameter, Bytes);
            break;
        case TDbValueType::Blob:
            s.BindBlob(parameter, Bytes);
            break;
        case TDbValueType::Text:
        case TDbValueType::DateTime:
            s.BindText(parameter, Bytes);
            break;
        }
    }
};

//! Adds one value to an entry's key: equal for values the table holds
//! alike, a number being a number whichever way it is stored.
void AddToKey(std::string &key, TDbValueType type, double number, const std::string &bytes)
{
    switch (type) {
    case TDbValueType::Null:
        key += "z";
        break;
    case TDbValueType::Integer:
    case TDbValueType::Real:
        key += "n";
        key.append(reinterpret_cast<const char *>(&number), sizeof number);
        break;
    default:
        key += type == TDbValueType::Blob ? "b" : "t";
        key += std::to_string(bytes.size()) + ":";
        key += bytes;
        break;
    }
}

//! The four values of an entry as one string.
std::string EntryKey(const TValue values[4])
{
    std::string key;
    for (int i = 0; i < 4; ++i) {
        const TValue &v = values[i];
        AddToKey(key, v.Type, v.Type == TDbValueType::Integer ? double(v.Integer) : v.Real, v.Bytes);
    }
    return key;
}

//! The same key of the four columns from `first` on of a statement's row.
std::string EntryKey(const TDbStatement &s, int first)
{
    std::string key;
    for (int i = first; i < first + 4; ++i) {
        const TDbValueType type = s.ColumnType(i);
        const bool number = type == TDbValueType::Integer || type == TDbValueType::Real;
        const bool none = type == TDbValueType::Null;
        AddToKey(key, type, number ? s.ColumnDouble(i) : 0,
                 number || none               ? std::string()
                 : type == TDbValueType::Blob ? s.ColumnBlob(i)
                                              : s.ColumnText(i));
    }
    return key;
}

//! The statements of one restore, prepared once for all its entries.
class TRestorer {
public:
    explicit TRestorer(TDbDriver &db)
        : FDb(db), FServer(journal_sql::OnServer(db)),
          FRead(
              db,
              "SELECT source, original_id, amount, entry_date, item, remark FROM kestrum_trash WHERE id = ?1",
              Context),
          FForget(db, "DELETE FROM kestrum_trash WHERE id = ?1", Context)
    {
        // A file's entries are keyed by rowid, whatever an older file called
        // the key; a server's by id. "IS" is SQLite's equality with nulls alike.
        const std::string rowId = RowId();
        const char *is = journal_sql::SameSql(db);
        for (const TTableColumns &t : Tables) {
            const std::string columns =
                Quote(t.Amount) + ", " + Quote(t.Date) + ", " + Quote(t.Item) + ", " + Quote(t.Remark);
            auto &table = FTables[&t == &Tables[0] ? 0 : 1];
            table.Same = std::make_unique<TStatement>(
                db,
                std::string("SELECT ") + Quote(t.Amount) + is + "?1 AND " + Quote(t.Date) + is + "?2 AND " +
                    Quote(t.Item) + is + "?3 AND " + Quote(t.Remark) + is + "?4 FROM " + t.Table + " WHERE " +
                    rowId + " = ?5",
                Context);
            table.InsertWithId =
                std::make_unique<TStatement>(db,
                                             std::string("INSERT INTO ") + t.Table + " (" + rowId + ", " +
                                                 columns + ") VALUES (?5, ?1, ?2, ?3, ?4)",
                                             Context);
            table.InsertNew = std::make_unique<TStatement>(
                db, std::string("INSERT INTO ") + t.Table + " (" + columns + ") VALUES (?1, ?2, ?3, ?4)",
                Context);
        }
        // Only the journal tells a row written after the entry was deleted
        // (the entry back under another id) from an equal entry that was
        // there all along, such as the second of two equal lunches. Both
        // reads walk the journal from its newest end or from the deletion on.
        if (journal_sql::TableExists(db, "kestrum_journal")) {
            FDeletedAt = std::make_unique<TStatement>(db,
                                                      "SELECT id FROM kestrum_journal WHERE tbl = ?1 AND "
                                                      "row_id = ?2 AND kind = 'D' ORDER BY id DESC LIMIT 1",
                                                      Context);
            FWrittenSince = std::make_unique<TStatement>(db,
                                                         "SELECT 1 FROM kestrum_journal WHERE id > ?3 AND "
                                                         "tbl = ?1 AND row_id = ?2 AND kind IN ('I', 'U') "
                                                         "LIMIT 1",
                                                         Context);
        }
    }

    //! Notes the rows of both tables that hold the same values as an entry
    //! of the trash, so that an entry already back under another id (entered
    //! or imported again) is not inserted a second time. One pass over each
    //! table, narrowed to the dates the trash holds.
    void NoteEntriesBack(const std::vector<std::int64_t> &trashIds)
    {
        std::unordered_map<std::string, std::vector<std::int64_t>> wanted[2];
        for (const std::int64_t id : trashIds) {
            FRead.Bind(1, id);
            TTrashSource source = TTrashSource::Gain;
            if (FRead.Step() && SourceOf(FRead.Text(0), source))
                wanted[source == TTrashSource::Gain ? 0 : 1].emplace(EntryKey(FRead.Get(), 2),
                                                                     std::vector<std::int64_t>());
            FRead.Reset();
        }
        for (const TTableColumns &t : Tables) {
            const int index = &t == &Tables[0] ? 0 : 1;
            auto &table = FTables[index];
            if (wanted[index].empty())
                continue;
            TStatement rows(FDb,
                            std::string("SELECT ") + Quote(t.Amount) + ", " + Quote(t.Date) + ", " +
                                Quote(t.Item) + ", " + Quote(t.Remark) + ", " + RowId() + " FROM " + t.Table +
                                " WHERE " + Quote(t.Date) + " IS NULL OR " + Quote(t.Date) +
                                " IN (SELECT entry_date FROM kestrum_trash WHERE source = '" + t.Table +
                                "') ORDER BY " + RowId(),
                            Context);
            while (rows.Step()) {
                const auto found = wanted[index].find(EntryKey(rows.Get(), 0));
                if (found != wanted[index].end())
                    found->second.push_back(rows.Int(4));
            }
            for (auto &[key, ids] : wanted[index])
                if (!ids.empty())
                    table.Back.emplace(key, std::move(ids));
        }
    }

    TTrashRestoreOutcome Restore(std::int64_t trashId)
    {
        TTrashRestoreOutcome outcome;
        outcome.TrashId = trashId;
        FRead.Bind(1, trashId);
        if (!FRead.Step()) {
            FRead.Reset();
            outcome.Kind = TTrashRestoreKind::NotInTrash;
            return outcome;
        }
        if (!SourceOf(FRead.Text(0), outcome.Source)) {
            FRead.Reset();
            throw EDatabaseError(std::string(Context) + "：回收站中有一条纪录不属于进帐或消费表。");
        }
        outcome.OriginalId = FRead.Int(1);
        // Copies, so that the trash row can go while they are still needed.
        TValue values[4];
        for (int i = 0; i < 4; ++i)
            values[i] = TValue::Of(FRead.Get(), i + 2, FServer);
        FRead.Reset();
        auto &table = FTables[outcome.Source == TTrashSource::Gain ? 0 : 1];
        auto bindValues = [&](TStatement &statement) {
            for (int i = 0; i < 4; ++i)
                values[i].Bind(statement.Get(), i + 1);
        };

        bindValues(*table.Same);
        table.Same->Bind(5, outcome.OriginalId);
        const bool idTaken = table.Same->Step();
        const bool same = idTaken && table.Same->Int(0) != 0;
        table.Same->Reset();

        // Each row found with the entry's values stands for one entry back.
        std::int64_t backAs = 0;
        const auto back = table.Back.find(EntryKey(values));
        if (back != table.Back.end()) {
            std::vector<std::int64_t> &ids = back->second;
            const auto atOldId = std::find(ids.begin(), ids.end(), outcome.OriginalId);
            if (same) {
                if (atOldId != ids.end())
                    ids.erase(atOldId);
            } else {
                const auto written = std::find_if(ids.begin(), ids.end(), [&](std::int64_t id) {
                    return WrittenSinceDeleted(outcome.Source, outcome.OriginalId, id);
                });
                if (written != ids.end()) {
                    backAs = *written;
                    ids.erase(written);
                }
            }
        }

        // The trash copy goes first, so that the insert trigger finds
        // nothing of this entry left to take.
        FForget.Bind(1, trashId);
        FForget.Run();
        if (same) {
            outcome.Kind = TTrashRestoreKind::AlreadyBack;
            outcome.RestoredId = outcome.OriginalId;
        } else if (backAs != 0) {
            outcome.Kind = TTrashRestoreKind::AlreadyBack;
            outcome.RestoredId = backAs;
        } else if (!idTaken) {
            bindValues(*table.InsertWithId);
            table.InsertWithId->Bind(5, outcome.OriginalId);
            table.InsertWithId->Run();
            outcome.Kind = TTrashRestoreKind::OriginalId;
            outcome.RestoredId = outcome.OriginalId;
        } else {
            outcome.Kind = TTrashRestoreKind::NewId;
            outcome.RestoredId = InsertNew(table, bindValues);
        }
        return outcome;
    }

    static constexpr const char *Context = "无法从回收站还原";

private:
    struct TTableStatements {
        std::unique_ptr<TStatement> Same, InsertWithId, InsertNew, ReturningNew;
        //! Rows holding the values of a trash entry, by EntryKey, lowest id
        //! first; each is taken by the first entry it stands for.
        std::unordered_map<std::string, std::vector<std::int64_t>> Back;
    };

    std::string RowId() const { return journal_sql::RowIdSql(FDb); }

    //! Inserts under a new key and answers it: a file names the last row it
    //! added, a server returns it from the insert.
    template <class TBind> std::int64_t InsertNew(TTableStatements &table, TBind &&bindValues)
    {
        if (!FServer) {
            bindValues(*table.InsertNew);
            table.InsertNew->Run();
            return FDb.LastInsertId();
        }
        if (!table.ReturningNew) {
            const bool gain = &table == &FTables[0];
            const TTableColumns &t = Tables[gain ? 0 : 1];
            const std::string columns =
                Quote(t.Amount) + ", " + Quote(t.Date) + ", " + Quote(t.Item) + ", " + Quote(t.Remark);
            table.ReturningNew =
                std::make_unique<TStatement>(FDb,
                                             std::string("INSERT INTO ") + t.Table + " (" + columns +
                                                 ") VALUES (?1, ?2, ?3, ?4) RETURNING id",
                                             Context);
        }
        bindValues(*table.ReturningNew);
        const std::int64_t id = table.ReturningNew->Step() ? table.ReturningNew->Int(0) : 0;
        table.ReturningNew->Reset();
        return id;
    }

    //! Whether row `rowId` was inserted or changed after the journal saw
    //! entry `originalId` deleted; false without a journal to tell.
    bool WrittenSinceDeleted(TTrashSource source, std::int64_t originalId, std::int64_t rowId)
    {
        if (!FDeletedAt)
            return false;
        const char *table = source == TTrashSource::Gain ? Tables[0].Table : Tables[1].Table;
        FDeletedAt->Bind(1, table);
        FDeletedAt->Bind(2, originalId);
        const bool deleted = FDeletedAt->Step();
        const std::int64_t deletedAt = deleted ? FDeletedAt->Int(0) : 0;
        FDeletedAt->Reset();
        if (!deleted)
            return false;
        FWrittenSince->Bind(1, table);
        FWrittenSince->Bind(2, rowId);
        FWrittenSince->Bind(3, deletedAt);
        const bool written = FWrittenSince->Step();
        FWrittenSince->Reset();
        return written;
    }

    TDbDriver &FDb;
    bool FServer;
    TStatement FRead, FForget;
    std::unique_ptr<TStatement> FDeletedAt, FWrittenSince; // null without a journal
    TTableStatements FTables[2];
};

TTrashRestoreResult Restore(TDbDriver &db, const std::vector<std::int64_t> *trashIds,
                            const TTrashRestoreHook &hook)
{
    TTrashRestoreResult result;
    if (!HasTrash(db)) {
        // Nothing was ever put in a trash the file does not have.
        if (trashIds)
            for (const std::int64_t id : *trashIds)
                result.Outcomes.push_back({id, TTrashRestoreKind::NotInTrash, TTrashSource::Gain, 0, 0});
        return result;
    }
    TWriteTransaction transaction(db, TRestorer::Context);
    std::vector<std::int64_t> ids;
    if (trashIds) {
        ids = *trashIds;
    } else {
        TStatement all(db, "SELECT id FROM kestrum_trash", TRestorer::Context);
        while (all.Step())
            ids.push_back(all.Int(0));
    }
    // Oldest deletion first: of two entries that were deleted under the same
    // id, the earlier one gets it back.
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    if (hook.Begin)
        hook.Begin(db);
    TRestorer restorer(db);
    restorer.NoteEntriesBack(ids);
    result.Outcomes.reserve(ids.size());
    for (const std::int64_t id : ids)
        result.Outcomes.push_back(restorer.Restore(id));
    if (hook.End)
        hook.End(db, result);
    transaction.Commit();
    return result;
}

} // namespace

const char *TrashSourceTable(TTrashSource source)
{
    return ColumnsOf(source).Table;
}

bool HasTrash(TDbDriver &db)
{
    return journal_sql::TableExists(db, "kestrum_trash");
}

bool EnsureTrash(TDbDriver &db)
{
    const char *context = "无法在数据库中建立回收站";
    if (journal_sql::OnServer(db)) {
        // The schema is kestrum-db init's; only the copying that
        // DropTrashDeleteTriggers set aside in this transaction comes back.
        if (db.InTransaction())
            Exec(db, "SELECT set_config('kestrum.trash_paused', '', true)", context);
        return HasTrash(db);
    }
    std::vector<std::string> missing;
    bool tableMissing = !HasTrash(db) || !SchemaHas(db, "index", "kestrum_trash_entry");
    for (const TTableColumns &t : Tables) {
        // A file without the table has no entries to delete from it.
        if (!SchemaHas(db, "table", t.Table))
            continue;
        if (!SchemaHas(db, "trigger", DeletedTriggerName(t)))
            missing.push_back(DeletedTriggerSql(t));
        if (!SchemaHas(db, "trigger", InsertedTriggerName(t)))
            missing.push_back(InsertedTriggerSql(t));
        const char *const columns[4] = {t.Amount, t.Date, t.Item, t.Remark};
        for (std::string &sql : ReplacedRowsSetupSql(db, t.Table, columns))
            missing.push_back(std::move(sql));
        for (const bool update : {false, true})
            if (!SchemaHas(db, "trigger", ReplacedTriggerName(t, update)))
                missing.push_back(ReplacedTriggerSql(t, update));
    }
    if (!tableMissing && missing.empty())
        return true;
    if (journal_sql::ReadOnlyFile(db))
        return false;
    TWriteTransaction transaction(db, context);
    Exec(db, TrashTableSql, context);
    for (const std::string &sql : missing)
        Exec(db, sql, context);
    transaction.Commit();
    return true;
}

void DropTrashDeleteTriggers(TDbDriver &db)
{
    if (journal_sql::OnServer(db)) {
        Exec(db, "SELECT set_config('kestrum.trash_paused', 'on', true)", "无法修改回收站");
        return;
    }
    for (const TTableColumns &t : Tables)
        Exec(db, "DROP TRIGGER IF EXISTS " + DeletedTriggerName(t), "无法修改回收站");
}

std::int64_t TrashCount(TDbDriver &db)
{
    if (!HasTrash(db))
        return 0;
    TStatement s(db, "SELECT count(*) FROM kestrum_trash", "无法读取回收站");
    return s.Step() ? s.Int(0) : 0;
}

std::vector<std::int64_t> TrashIds(TDbDriver &db)
{
    std::vector<std::int64_t> ids;
    if (!HasTrash(db))
        return ids;
    // The trash id grows with each deletion, so its order is the order of
    // deletion even when the clock was set back in between.
    TStatement s(db, "SELECT id FROM kestrum_trash ORDER BY id DESC", "无法读取回收站");
    while (s.Step())
        ids.push_back(s.Int(0));
    return ids;
}

std::vector<TTrashEntry> TrashEntries(TDbDriver &db, std::int64_t newestId, std::int64_t oldestId)
{
    std::vector<TTrashEntry> entries;
    if (!HasTrash(db))
        return entries;
    TStatement s(db,
                 "SELECT id, source, original_id, amount, entry_date, item, remark, deleted_at "
                 "FROM kestrum_trash WHERE id <= ?1 AND id >= ?2 ORDER BY id DESC",
                 "无法读取回收站");
    s.Bind(1, newestId);
    s.Bind(2, oldestId);
    while (s.Step()) {
        TTrashEntry entry;
        if (!SourceOf(s.Text(1), entry.Source))
            continue; // not an entry of the ledger's tables: nothing to show or restore
        entry.TrashId = s.Int(0);
        entry.OriginalId = s.Int(2);
        entry.Amount = ColumnVariant(s.Get(), 3);
        entry.Date = ColumnVariant(s.Get(), 4);
        entry.Item = ColumnVariant(s.Get(), 5);
        entry.Remark = ColumnVariant(s.Get(), 6);
        entry.DeletedAt = QString::fromStdString(s.Text(7));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<TTrashEntry> ListTrash(TDbDriver &db)
{
    return TrashEntries(db, INT64_MAX, INT64_MIN);
}

int TTrashRestoreResult::Count(TTrashRestoreKind kind) const
{
    return int(std::count_if(Outcomes.begin(), Outcomes.end(),
                             [kind](const TTrashRestoreOutcome &o) { return o.Kind == kind; }));
}

bool TTrashRestoreResult::Touched(TTrashSource source) const
{
    return std::any_of(Outcomes.begin(), Outcomes.end(), [source](const TTrashRestoreOutcome &o) {
        return o.Source == source &&
               (o.Kind == TTrashRestoreKind::OriginalId || o.Kind == TTrashRestoreKind::NewId);
    });
}

TTrashRestoreResult RestoreFromTrash(TDbDriver &db, const std::vector<std::int64_t> &trashIds,
                                     const TTrashRestoreHook &hook)
{
    return Restore(db, &trashIds, hook);
}

TTrashRestoreResult RestoreAllFromTrash(TDbDriver &db, const TTrashRestoreHook &hook)
{
    return Restore(db, nullptr, hook);
}

std::int64_t EmptyTrash(TDbDriver &db)
{
    if (!HasTrash(db))
        return 0;
    const char *context = "无法清空回收站";
    TWriteTransaction transaction(db, context);
    std::int64_t removed = 0;
    {
        TStatement count(db, "SELECT count(*) FROM kestrum_trash", context);
        removed = count.Step() ? count.Int(0) : 0;
    }
    Exec(db, "DELETE FROM kestrum_trash", context);
    transaction.Commit();
    return removed;
}

} // namespace kestrum
