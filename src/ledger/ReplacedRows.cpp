#include "ledger/ReplacedRows.h"

#include "ledger/JournalSql.h"

namespace kestrum {

namespace {

const char *const TableSql = "CREATE TABLE IF NOT EXISTS kestrum_replaced ("
                             "tbl TEXT PRIMARY KEY, row_id INTEGER NOT NULL, "
                             "amount, entry_date, item, remark)";

bool TriggerExists(TDbDriver &db, const std::string &name)
{
    journal_sql::Statement find =
        journal_sql::Prepare(db, "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = ?1");
    find->BindText(1, name);
    return find->Step();
}

std::string Quote(const char *name)
{
    return std::string("\"") + name + "\"";
}

// rowid rather than the key's name, as the trash does: it is the key of
// every table the ledger can use. An INSERT that lets SQLite choose the id
// shows -1 as NEW.rowid here; no row is in the way then, and a row an
// older program stored under -1 is noted but never matched afterwards.
std::string TriggerSql(const char *table, const char *const columns[4], bool update)
{
    const std::string name = std::string("kestrum_replaced_") + table + (update ? "_update" : "_insert");
    const std::string t = std::string("'") + table + "'";
    const std::string inTheWay = std::string("EXISTS (SELECT 1 FROM ") + table + " WHERE rowid = NEW.rowid)";
    return "CREATE TRIGGER IF NOT EXISTS " + name + (update ? " BEFORE UPDATE ON " : " BEFORE INSERT ON ") +
           table + " WHEN EXISTS (SELECT 1 FROM kestrum_replaced WHERE tbl = " + t + ") OR " +
           (update ? "(NEW.rowid <> OLD.rowid AND " + inTheWay + ")" : inTheWay) +
           " BEGIN DELETE FROM kestrum_replaced WHERE tbl = " + t +
           "; INSERT INTO kestrum_replaced (tbl, row_id, amount, entry_date, item, remark) SELECT " + t +
           ", rowid, " + Quote(columns[0]) + ", " + Quote(columns[1]) + ", " + Quote(columns[2]) + ", " +
           Quote(columns[3]) + " FROM " + table + " WHERE rowid = NEW.rowid" +
           (update ? " AND NEW.rowid <> OLD.rowid" : "") + "; END";
}

} // namespace

std::vector<std::string> ReplacedRowsSetupSql(TDbDriver &db, const char *table, const char *const columns[4])
{
    std::vector<std::string> sql;
    if (!journal_sql::TableExists(db, ReplacedRowsTable))
        sql.push_back(TableSql);
    for (const bool update : {false, true})
        if (!TriggerExists(db, std::string("kestrum_replaced_") + table + (update ? "_update" : "_insert")))
            sql.push_back(TriggerSql(table, columns, update));
    return sql;
}

std::string ReplacedRowCondition(const char *table, const std::string &newKey)
{
    return std::string("tbl = '") + table + "' AND row_id = " + newKey;
}

} // namespace kestrum
