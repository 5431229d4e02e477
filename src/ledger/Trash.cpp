#include "ledger/Trash.h"

#include "ledger/ReplacedRows.h"
#include "ledger/TrashSql.h"

#include <string>
#include <vector>

namespace kestrum {

using namespace trash_sql;

namespace {

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

using journal_sql::TWriteTransaction;

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
