#include "ledger/KeptMonthSchema.h"

#include "ledger/KeptTotals.h"
#include "ledger/ReplacedRows.h"

#include <string>

namespace kestrum::kept_months {

const TMonthTable MonthTables[] = {
    {"gain", "本次进帐", "进帐时间", "进帐人", "备注", "kestrum_gain_date"},
    {"expen", "消费金额", "消费日期", "消费者", "备注", "kestrum_expen_date"},
};

// One row per table, month ("2024-07") and trimmed item: the rows, the
// amounts that are not Null, the integer sum of the amounts in
// ten-thousandths and the sum of their sizes. An integer SQLite cannot hold
// turns into a floating value, which the reader then refuses.
const char *const MonthTableSql = "CREATE TABLE IF NOT EXISTS kestrum_month_totals ("
                                  "tbl TEXT NOT NULL, month TEXT NOT NULL, item TEXT NOT NULL, "
                                  "row_count INTEGER NOT NULL, entries INTEGER NOT NULL, "
                                  "units INTEGER NOT NULL, magnitude INTEGER NOT NULL, "
                                  "PRIMARY KEY (tbl, month, item))";
// The rows kept aside whole; no column has a type, so each value stays as
// the table holds it.
const char *const AsideTableSql = "CREATE TABLE IF NOT EXISTS kestrum_month_aside ("
                                  "tbl TEXT NOT NULL, row_id INTEGER NOT NULL, entry_date, amount, item, "
                                  "PRIMARY KEY (tbl, row_id))";
// A table is listed here once its month totals were made from its rows.
const char *const MadeTableSql = "CREATE TABLE IF NOT EXISTS kestrum_month_made (tbl TEXT PRIMARY KEY)";

namespace {

std::string Quote(const char *name)
{
    return std::string("\"") + name + "\"";
}

} // namespace

//! The month of a date as the text "YYYY-MM" when the date is text in one
//! of the two forms the program writes and names a real day (years 1..9999,
//! leap years as the calendar has them, a time of day within 24 hours):
//! year() and month() read such a text from its first seven characters.
//! Null for every other value.
std::string MonthSql(const std::string &d)
{
    const std::string year = "CAST(substr(" + d + ", 1, 4) AS INTEGER)";
    const std::string month = "substr(" + d + ", 6, 2)";
    const std::string day = "substr(" + d + ", 9, 2)";
    const std::string digits4 = "[0-9][0-9][0-9][0-9]", digits2 = "[0-9][0-9]";
    const std::string dateGlob = digits4 + "-" + digits2 + "-" + digits2;
    const std::string lastDay = "CASE WHEN " + month + " IN ('04', '06', '09', '11') THEN '30' WHEN " +
                                month + " <> '02' THEN '31' WHEN (" + year + " % 4 = 0 AND " + year +
                                " % 100 <> 0) OR " + year + " % 400 = 0 THEN '29' ELSE '28' END";
    return "CASE WHEN typeof(" + d + ") = 'text' AND (" + d + " GLOB '" + dateGlob + "' OR (" + d +
           " GLOB '" + dateGlob + " " + digits2 + ":" + digits2 + ":" + digits2 + "' AND substr(" + d +
           ", 12, 2) <= '23' AND substr(" + d + ", 15, 2) <= '59' AND substr(" + d +
           ", 18, 2) <= '59')) AND substr(" + d + ", 1, 4) <> '0000' AND " + month +
           " BETWEEN '01' AND '12' AND " + day + " >= '01' AND " + day + " <= " + lastDay + " THEN substr(" +
           d + ", 1, 7) END";
}

std::string ItemSql(const TRowSql &r)
{
    return "coalesce(trim(" + r.Item + "), '')";
}

std::string UnitsSql(const TRowSql &r)
{
    return "coalesce(" + KeptUnitsSql(r.Amount) + ", 0)";
}

//! True when the row is counted in its month's totals, else kept aside.
std::string InMonthSql(const TRowSql &r)
{
    return "(" + MonthSql(r.Date) + " IS NOT NULL AND (" + r.Amount + " IS NULL OR " +
           KeptUnitsSql(r.Amount) + " IS NOT NULL))";
}

namespace {

// No conflict clause: a statement in a trigger takes the conflict policy of
// the write that fired it (INSERT OR REPLACE would replace a month's row),
// and an older SQLite knows no UPSERT. The month's row is added to where it
// exists, else made.
std::string AddSql(const TMonthTable &t, const TRowSql &r)
{
    const std::string key =
        std::string("tbl = '") + t.Table + "' AND month = " + MonthSql(r.Date) + " AND item = " + ItemSql(r);
    return "UPDATE kestrum_month_totals SET row_count = row_count + 1, entries = entries + (" + r.Amount +
           " IS NOT NULL), units = units + " + UnitsSql(r) + ", magnitude = magnitude + abs(" + UnitsSql(r) +
           ") WHERE " + key + " AND " + InMonthSql(r) +
           "; INSERT INTO kestrum_month_totals (tbl, month, item, row_count, entries, units, magnitude) "
           "SELECT '" +
           t.Table + "', " + MonthSql(r.Date) + ", " + ItemSql(r) + ", 1, " + r.Amount + " IS NOT NULL, " +
           UnitsSql(r) + ", abs(" + UnitsSql(r) + ") WHERE " + InMonthSql(r) +
           " AND NOT EXISTS (SELECT 1 FROM kestrum_month_totals WHERE " + key + ");";
}

std::string TakeSql(const TMonthTable &t, const TRowSql &r)
{
    return "UPDATE kestrum_month_totals SET row_count = row_count - 1, entries = entries - (" + r.Amount +
           " IS NOT NULL), units = units - " + UnitsSql(r) + ", magnitude = magnitude - abs(" + UnitsSql(r) +
           ") WHERE tbl = '" + t.Table + "' AND month = " + MonthSql(r.Date) + " AND item = " + ItemSql(r) +
           " AND " + InMonthSql(r) + ";";
}

//! The row a REPLACE conflict took out of NEW's way, noted by the BEFORE
//! triggers of the replaced rows, taken away from its month.
std::string TakeReplacedSql(const TMonthTable &t)
{
    const TRowSql r{"r.entry_date", "r.amount", "r.item"};
    // Inside the subqueries tbl and row_id are the note's own columns.
    const std::string note = std::string(" FROM ") + ReplacedRowsTable + " r WHERE " +
                             ReplacedRowCondition(t.Table, "NEW.rowid") + " AND " + InMonthSql(r);
    return "UPDATE kestrum_month_totals SET row_count = row_count - 1, entries = entries - (SELECT " +
           r.Amount + " IS NOT NULL" + note + "), units = units - (SELECT " + UnitsSql(r) + note +
           "), magnitude = magnitude - (SELECT abs(" + UnitsSql(r) + ")" + note + ") WHERE tbl = '" +
           t.Table + "' AND month = (SELECT " + MonthSql(r.Date) + note + ") AND item = (SELECT " +
           ItemSql(r) + note + ");";
}

std::string AddAsideSql(const TMonthTable &t, const TRowSql &r)
{
    return std::string("INSERT OR REPLACE INTO kestrum_month_aside (tbl, row_id, entry_date, amount, item) "
                       "SELECT '") +
           t.Table + "', NEW.rowid, " + r.Date + ", " + r.Amount + ", " + r.Item + " WHERE NOT " +
           InMonthSql(r) + ";";
}

std::string DropAsideSql(const TMonthTable &t, const std::string &rows)
{
    return std::string("DELETE FROM kestrum_month_aside WHERE tbl = '") + t.Table + "' AND row_id IN (" +
           rows + ");";
}

} // namespace

std::string TriggerName(const TMonthTable &t, TEvent event)
{
    const char *suffix = event == TEvent::Insert   ? "_insert"
                         : event == TEvent::Update ? "_update"
                                                   : "_delete";
    return std::string("kestrum_month_totals_") + t.Table + suffix;
}

TRowSql RowOf(const TMonthTable &t, const std::string &prefix)
{
    return {prefix + Quote(t.Date), prefix + Quote(t.Amount), prefix + Quote(t.Item)};
}

std::string TriggerSql(const TMonthTable &t, TEvent event)
{
    const TRowSql oldRow = RowOf(t, "OLD."), newRow = RowOf(t, "NEW.");
    std::string body;
    switch (event) {
    case TEvent::Insert:
        // The row in the way of a REPLACE left without a DELETE trigger.
        body = DropAsideSql(t, "NEW.rowid") + TakeReplacedSql(t) + AddSql(t, newRow) + AddAsideSql(t, newRow);
        break;
    case TEvent::Update:
        body = DropAsideSql(t, "OLD.rowid, NEW.rowid") + TakeReplacedSql(t) + TakeSql(t, oldRow) +
               AddSql(t, newRow) + AddAsideSql(t, newRow);
        break;
    case TEvent::Delete:
        // With recursive triggers this fires for the row a REPLACE takes
        // away as well: the note of it is used up here, so that the
        // INSERT's trigger does not take it away a second time.
        body = DropAsideSql(t, "OLD.rowid") + TakeSql(t, oldRow) + "DELETE FROM " + ReplacedRowsTable +
               " WHERE tbl = '" + t.Table + "' AND row_id = OLD.rowid;";
        break;
    }
    const char *when = event == TEvent::Insert   ? " AFTER INSERT ON "
                       : event == TEvent::Update ? " AFTER UPDATE ON "
                                                 : " AFTER DELETE ON ";
    return "CREATE TRIGGER " + TriggerName(t, event) + when + t.Table + " BEGIN " + body + " END";
}

bool TableHasColumns(sqlite3 *db, const TMonthTable &t)
{
    const TStatement s =
        Prepare(db, "SELECT count(*) FROM pragma_table_info(?1) WHERE name IN (?2, ?3, ?4, ?5)");
    const char *const names[] = {t.Table, t.Amount, t.Date, t.Item, t.Remark};
    for (int i = 0; i < 5; ++i)
        sqlite3_bind_text(s.get(), i + 1, names[i], -1, SQLITE_STATIC);
    return sqlite3_step(s.get()) == SQLITE_ROW && sqlite3_column_int(s.get(), 0) == 4;
}

//! The triggers are these, the notes of replaced rows are taken, and the
//! totals were made.
bool IsKept(sqlite3 *db, const TMonthTable &t)
{
    for (const TEvent event : {TEvent::Insert, TEvent::Update, TEvent::Delete})
        if (StoredTrigger(db, TriggerName(t, event)) != TriggerSql(t, event))
            return false;
    for (const char *suffix : {"_insert", "_update"})
        if (!Exists(db, "trigger", std::string("kestrum_replaced_") + t.Table + suffix))
            return false;
    if (!Exists(db, "table", "kestrum_month_made") || !Exists(db, "table", "kestrum_month_totals") ||
        !Exists(db, "table", "kestrum_month_aside"))
        return false;
    const TStatement made = Prepare(db, "SELECT 1 FROM kestrum_month_made WHERE tbl = ?1");
    sqlite3_bind_text(made.get(), 1, t.Table, -1, SQLITE_STATIC);
    return sqlite3_step(made.get()) == SQLITE_ROW;
}

} // namespace kestrum::kept_months
