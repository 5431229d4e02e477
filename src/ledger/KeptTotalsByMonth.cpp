#include "ledger/KeptTotalsByMonth.h"

#include "db/SqliteDriver.h"
#include "ledger/ReplacedRows.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace kestrum {

namespace {

struct TMonthTable {
    const char *Table, *Amount, *Date, *Item, *Remark, *Index;
};

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

std::string Quote(const char *name)
{
    return std::string("\"") + name + "\"";
}

//! The three values of one row a trigger or a pass reads, as SQL.
struct TRowSql {
    std::string Date, Amount, Item;
};

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

enum class TEvent { Insert, Update, Delete };

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

class TFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

TStatement Prepare(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &raw, nullptr) != SQLITE_OK || !raw) {
        sqlite3_finalize(raw);
        throw TFailure(sqlite3_errmsg(db));
    }
    return TStatement(raw, sqlite3_finalize);
}

void Exec(sqlite3 *db, const std::string &sql)
{
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw TFailure(sqlite3_errmsg(db));
}

std::string Text(sqlite3_stmt *s, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
    return text ? std::string(text, std::size_t(sqlite3_column_bytes(s, column))) : std::string();
}

bool Exists(sqlite3 *db, const char *type, const std::string &name)
{
    const TStatement s = Prepare(db, "SELECT 1 FROM main.sqlite_master WHERE type = ?1 AND name = ?2");
    sqlite3_bind_text(s.get(), 1, type, -1, SQLITE_STATIC);
    sqlite3_bind_text(s.get(), 2, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
    return sqlite3_step(s.get()) == SQLITE_ROW;
}

std::string StoredTrigger(sqlite3 *db, const std::string &name)
{
    const TStatement s =
        Prepare(db, "SELECT sql FROM main.sqlite_master WHERE type = 'trigger' AND name = ?1");
    sqlite3_bind_text(s.get(), 1, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
    return sqlite3_step(s.get()) == SQLITE_ROW ? Text(s.get(), 0) : std::string();
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

template <typename Work> auto InSavepoint(sqlite3 *db, const char *name, Work work)
{
    Exec(db, std::string("SAVEPOINT ") + name);
    try {
        auto result = work();
        Exec(db, std::string("RELEASE ") + name);
        return result;
    } catch (...) {
        const std::string undo = std::string("ROLLBACK TO ") + name + "; RELEASE " + name;
        sqlite3_exec(db, undo.c_str(), nullptr, nullptr, nullptr);
        throw;
    }
}

QString Unquoted(const QString &name)
{
    QString column = name.trimmed();
    if (column.size() >= 2 && ((column.startsWith('"') && column.endsWith('"')) ||
                               (column.startsWith('[') && column.endsWith(']')) ||
                               (column.startsWith('`') && column.endsWith('`'))))
        column = column.mid(1, column.size() - 2);
    return column;
}

const TMonthTable *FindTable(const QString &table)
{
    for (const TMonthTable &t : MonthTables)
        if (table.trimmed().compare(QString::fromUtf8(t.Table), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

//! The months "YYYY-MM" from `from` to `to` (inclusive) as the condition
//! on the totals' month column.
std::pair<std::string, std::string> MonthRange(int year, std::optional<int> month)
{
    char from[16], to[16];
    std::snprintf(from, sizeof from, "%04d-%02d", year, month ? *month : 1);
    std::snprintf(to, sizeof to, "%04d-%02d", year, month ? *month : 12);
    return {from, to};
}

//! Adds a floating value to money and false when it went into the
//! floating remainder, which depends on the order of adding.
bool AddsExactly(TMoneySum &money, double value)
{
    TMoneySum alone;
    alone.Add(value);
    if (alone.HasRemainder())
        return false;
    money.Add(value);
    return true;
}

//! The rows aside in a period as (amount, month, item), read with the
//! program's own year() and month(), in the order in which a statement that
//! reads the period through the date index meets them: the dates stored as
//! text, which that statement reads first, then those stored as days, each
//! in the index's order.
TStatement AsideRows(sqlite3 *db, const TMonthTable &t, int year, std::optional<int> month)
{
    TStatement rows = Prepare(
        db, std::string("SELECT amount, month(entry_date), coalesce(trim(item), '') "
                        "FROM kestrum_month_aside WHERE tbl = '") +
                t.Table + "' AND year(entry_date) = ?1" + (month ? " AND month(entry_date) = ?2" : "") +
                " ORDER BY typeof(entry_date) <> 'text', entry_date, amount, item, row_id");
    sqlite3_bind_int(rows.get(), 1, year);
    if (month)
        sqlite3_bind_int(rows.get(), 2, *month);
    return rows;
}

//! Whether `statement` meets the period's rows in the order AsideRows
//! gives them: two ascending searches of the table's date index (dates as
//! text, then as days), which orders by date, amount and item, each under
//! the plain byte collation, then by row id; nothing else read.
bool ReadsThroughDateIndex(sqlite3 *db, const TMonthTable &t, const std::string &statement)
{
    if (statement.empty())
        return false;
    {
        const TStatement reverse = Prepare(db, "PRAGMA reverse_unordered_selects");
        if (sqlite3_step(reverse.get()) == SQLITE_ROW && sqlite3_column_int(reverse.get(), 0) != 0)
            return false;
    }
    const TStatement plan = Prepare(db, "EXPLAIN QUERY PLAN " + statement);
    const std::string search = std::string("SEARCH ") + t.Table + " USING COVERING INDEX " + t.Index + " (";
    int searches = 0;
    while (sqlite3_step(plan.get()) == SQLITE_ROW) {
        const std::string step = Text(plan.get(), 3);
        if (step.starts_with(search))
            ++searches;
        else if (!(step.starts_with("CO-ROUTINE ") || step == "COMPOUND QUERY" ||
                   step == "LEFT-MOST SUBQUERY" || step == "UNION ALL" ||
                   step.starts_with("SCAN (subquery-")))
            return false;
    }
    if (searches != 2)
        return false;
    const TStatement columns = Prepare(db, std::string("SELECT name, desc, coll FROM pragma_index_xinfo('") +
                                               t.Index + "') WHERE key ORDER BY seqno");
    const char *const expected[] = {t.Date, t.Amount, t.Item};
    int count = 0;
    while (sqlite3_step(columns.get()) == SQLITE_ROW) {
        if (count >= 3 || Text(columns.get(), 0) != expected[count] ||
            sqlite3_column_int(columns.get(), 1) != 0 || Text(columns.get(), 2) != "BINARY")
            return false;
        ++count;
    }
    return count == 3;
}

//! Reads the month totals of a period: calls add(month, item, rows,
//! entries, units, magnitude) per row; false when a value is not an integer.
template <typename Add>
bool ReadMonths(sqlite3 *db, const TMonthTable &t, int year, std::optional<int> month, Add add)
{
    const auto [from, to] = MonthRange(year, month);
    const TStatement totals =
        Prepare(db, "SELECT month, item, row_count, entries, units, magnitude FROM kestrum_month_totals "
                    "WHERE tbl = ?1 AND month BETWEEN ?2 AND ?3 AND row_count <> 0");
    sqlite3_bind_text(totals.get(), 1, t.Table, -1, SQLITE_STATIC);
    sqlite3_bind_text(totals.get(), 2, from.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(totals.get(), 3, to.c_str(), -1, SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(totals.get())) == SQLITE_ROW) {
        for (int column = 2; column < 6; ++column)
            if (sqlite3_column_type(totals.get(), column) != SQLITE_INTEGER)
                return false;
        const std::string monthText = Text(totals.get(), 0);
        add(std::atoi(monthText.c_str() + 5), Text(totals.get(), 1), sqlite3_column_int64(totals.get(), 2),
            sqlite3_column_int64(totals.get(), 3), sqlite3_column_int64(totals.get(), 4),
            sqlite3_column_int64(totals.get(), 5));
    }
    return rc == SQLITE_DONE;
}

//! Units past this many in all could leave 64 bits in some partial sum.
constexpr double SafeMagnitude = 4.0e18;

//! A money total holding `units` ten-thousandths, added in pieces that
//! each stay exact.
void AddUnits(TMoneySum &money, std::int64_t units)
{
    constexpr std::int64_t Piece = std::int64_t(1) << 49;
    while (units != 0) {
        const std::int64_t piece = units > Piece ? Piece : units < -Piece ? -Piece : units;
        money.Add(double(piece) / TMoneySum::UnitsPerOne);
        units -= piece;
    }
}

std::optional<Variant> ReadPeriodSum(sqlite3 *db, const TMonthTable &t, int year, std::optional<int> month,
                                     const std::string &statement)
{
    if (!IsKept(db, t))
        return std::nullopt;
    const bool inOrder = ReadsThroughDateIndex(db, t, statement);
    std::int64_t entries = 0, units = 0;
    double magnitude = 0;
    bool overflowed = false;
    if (!ReadMonths(db, t, year, month,
                    [&](int, const std::string &, std::int64_t, std::int64_t monthEntries,
                        std::int64_t monthUnits, std::int64_t monthMagnitude) {
                        overflowed = __builtin_add_overflow(entries, monthEntries, &entries) ||
                                     __builtin_add_overflow(units, monthUnits, &units) || overflowed;
                        magnitude += double(monthMagnitude);
                    }))
        return std::nullopt;
    // The values aside, taken as sum() takes each value; one that sum()
    // adds to its floating remainder makes the order count, which is known
    // only when the statement reads through the date index.
    TMoneySum money;
    std::int64_t integerSum = 0;
    bool anyFloating = entries > 0;
    const TStatement aside = AsideRows(db, t, year, month);
    int rc;
    while ((rc = sqlite3_step(aside.get())) == SQLITE_ROW) {
        std::unique_ptr<sqlite3_value, void (*)(sqlite3_value *)> value(
            sqlite3_value_dup(sqlite3_column_value(aside.get(), 0)), sqlite3_value_free);
        if (!value)
            return std::nullopt;
        const int type = sqlite3_value_numeric_type(value.get());
        if (type == SQLITE_NULL)
            continue;
        ++entries;
        if (type == SQLITE_INTEGER) {
            const std::int64_t amount = sqlite3_value_int64(value.get());
            overflowed = __builtin_add_overflow(integerSum, amount, &integerSum) || overflowed;
            magnitude += std::fabs(double(amount)) * TMoneySum::UnitsPerOne;
            continue;
        }
        anyFloating = true;
        const double amount = sqlite3_value_double(value.get());
        if (inOrder)
            money.Add(amount);
        else if (!AddsExactly(money, amount))
            return std::nullopt;
        magnitude += std::fabs(amount) * TMoneySum::UnitsPerOne + 1;
    }
    if (rc != SQLITE_DONE || overflowed || !(magnitude < SafeMagnitude))
        return std::nullopt;
    if (entries == 0)
        return Variant::null();
    if (!anyFloating)
        return std::nullopt; // an integer result: the statement gives it
    AddUnits(money, units);
    money.Add(double(integerSum));
    return Variant(money.Value());
}

std::optional<TKeptYear> ReadYearItems(sqlite3 *db, const TMonthTable &t, int year,
                                       const std::string &statement)
{
    if (!IsKept(db, t))
        return std::nullopt;
    const bool inOrder = ReadsThroughDateIndex(db, t, statement);
    std::map<std::pair<int, std::string>, TKeptMonthItem> items;
    double magnitude = 0;
    if (!ReadMonths(db, t, year, std::nullopt,
                    [&](int month, const std::string &item, std::int64_t rows, std::int64_t,
                        std::int64_t units, std::int64_t monthMagnitude) {
                        TKeptMonthItem &sums = items[{month, item}];
                        sums.Month = month;
                        sums.Item = item;
                        sums.Rows += rows;
                        AddUnits(sums.Amount, units);
                        magnitude += double(monthMagnitude);
                    }))
        return std::nullopt;
    TKeptYear kept;
    const TStatement aside = AsideRows(db, t, year, std::nullopt);
    int rc;
    while ((rc = sqlite3_step(aside.get())) == SQLITE_ROW) {
        const int month = sqlite3_column_int(aside.get(), 1);
        if (month < 1 || month > 12)
            continue;
        TKeptAsideRow row{month, Text(aside.get(), 2), std::nullopt};
        const int type = sqlite3_column_type(aside.get(), 0);
        if (type != SQLITE_NULL) {
            // The charts read an amount as a double; text they read as the
            // record set reads it, which is left to them.
            if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
                return std::nullopt;
            row.Amount = sqlite3_column_double(aside.get(), 0);
            TMoneySum alone;
            if (!AddsExactly(alone, *row.Amount) && !inOrder)
                return std::nullopt;
            magnitude += std::fabs(*row.Amount) * TMoneySum::UnitsPerOne + 1;
        }
        kept.Aside.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE || !(magnitude < SafeMagnitude))
        return std::nullopt;
    kept.Months.reserve(items.size());
    for (auto &[key, sums] : items)
        kept.Months.push_back(std::move(sums));
    return kept;
}

} // namespace

std::optional<Variant> KeptPeriodSum(sqlite3 *db, const QString &table, const QString &amountColumn,
                                     const QString &dateColumn, int year, std::optional<int> month,
                                     const QString &statement)
{
    const TMonthTable *t = FindTable(table);
    if (!db || !t || year < 1 || year > 9999 || (month && (*month < 1 || *month > 12)) ||
        Unquoted(amountColumn).compare(QString::fromUtf8(t->Amount), Qt::CaseInsensitive) != 0 ||
        Unquoted(dateColumn).compare(QString::fromUtf8(t->Date), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    try {
        return InSavepoint(db, "kestrum_month_totals_read",
                           [&] { return ReadPeriodSum(db, *t, year, month, statement.toStdString()); });
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

std::optional<TKeptYear> KeptYearItems(sqlite3 *db, const QString &table, int year, const QString &statement)
{
    const TMonthTable *t = FindTable(table);
    if (!db || !t || year < 1 || year > 9999)
        return std::nullopt;
    try {
        return InSavepoint(db, "kestrum_month_totals_read",
                           [&] { return ReadYearItems(db, *t, year, statement.toStdString()); });
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

namespace {

std::int64_t DataVersion(sqlite3 *db)
{
    const TStatement s = Prepare(db, "PRAGMA data_version");
    if (sqlite3_step(s.get()) != SQLITE_ROW)
        throw TFailure(sqlite3_errmsg(db));
    return sqlite3_column_int64(s.get(), 0);
}

bool Stopped(const TKeptTotalsPass &pass)
{
    return pass.Stop && pass.Stop->load(std::memory_order_relaxed);
}

int StopRequested(void *pass)
{
    return Stopped(*static_cast<const TKeptTotalsPass *>(pass)) ? 1 : 0;
}

using TValue = std::unique_ptr<sqlite3_value, void (*)(sqlite3_value *)>;

//! One month and item's totals as a pass adds them up; a sum past 64 bits
//! is written as the floating value the triggers would have made of it.
struct TMonthSums {
    std::int64_t Rows = 0, Entries = 0, Units = 0, Magnitude = 0;
    bool Fits = true;
};

struct TMadeMonths {
    //! By the month's seven characters followed by the item.
    std::unordered_map<std::string, TMonthSums> Months;
    std::vector<std::vector<TValue>> Aside; // rowid, date, amount, item
};

bool Digits(std::string_view text, std::size_t from, std::size_t count)
{
    for (std::size_t i = from; i < from + count; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

int Number(std::string_view text, std::size_t from, std::size_t count)
{
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

//! What MonthSql gives for a text, worked out here for the two forms it
//! takes: true and the month when it takes the text. False says only that
//! this quick look is not sure; SQLite then works it out.
bool QuickMonth(std::string_view d)
{
    if (d.size() != 10 && d.size() != 19)
        return false;
    if (!Digits(d, 0, 4) || d[4] != '-' || !Digits(d, 5, 2) || d[7] != '-' || !Digits(d, 8, 2))
        return false;
    const int year = Number(d, 0, 4), month = Number(d, 5, 2), day = Number(d, 8, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int lastDay = month == 4 || month == 6 || month == 9 || month == 11 ? 30
                        : month != 2                                          ? 31
                        : leap                                                ? 29
                                                                              : 28;
    if (day > lastDay)
        return false;
    if (d.size() == 10)
        return true;
    return d[10] == ' ' && Digits(d, 11, 2) && d[13] == ':' && Digits(d, 14, 2) && d[16] == ':' &&
           Digits(d, 17, 2) && Number(d, 11, 2) <= 23 && Number(d, 14, 2) <= 59 && Number(d, 17, 2) <= 59;
}

//! What KeptUnitsSql gives for a floating value, worked out here: false
//! when it gives Null.
bool QuickUnits(double value, std::int64_t &units)
{
    const double scaled = value * 10000;
    if (!(std::fabs(scaled) < 1125899906842624.0))
        return false;
    units = std::int64_t(std::round(scaled));
    return double(units) / 10000.0 == value;
}

//! How one row counts, as the triggers count it.
struct TRowPlace {
    bool InMonth = false;
    std::string_view Month, Item;
    std::int64_t Units = 0;
};

//! Works out where rows go: most rows by a quick look at their values,
//! any other by the triggers' own expressions, so that both always agree.
class TRowPlacer {
public:
    explicit TRowPlacer(sqlite3 *db)
        : FDb(db), FAsk(Prepare(db, [] {
              const TRowSql r{"d", "a", "i"};
              return "SELECT " + InMonthSql(r) + ", " + MonthSql(r.Date) + ", " + ItemSql(r) + ", " +
                     UnitsSql(r) + " FROM (SELECT ?1 AS d, ?2 AS a, ?3 AS i)";
          }()))
    {
    }

    //! The place of the row a statement of (rowid, date, amount, item) stands
    //! on; its texts stay valid until the next call.
    TRowPlace Place(sqlite3_stmt *row)
    {
        TRowPlace place;
        if (QuickPlace(row, place))
            return place;
        sqlite3_reset(FAsk.get());
        for (int column = 1; column <= 3; ++column)
            sqlite3_bind_value(FAsk.get(), column, sqlite3_column_value(row, column));
        if (sqlite3_step(FAsk.get()) != SQLITE_ROW)
            throw TFailure(sqlite3_errmsg(FDb));
        place.InMonth = sqlite3_column_int(FAsk.get(), 0) != 0;
        if (!place.InMonth)
            return place;
        FMonth = Text(FAsk.get(), 1);
        FItem = Text(FAsk.get(), 2);
        place.Month = FMonth;
        place.Item = FItem;
        place.Units = sqlite3_column_int64(FAsk.get(), 3);
        return place;
    }

private:
    static bool QuickPlace(sqlite3_stmt *row, TRowPlace &place)
    {
        if (sqlite3_column_type(row, 1) != SQLITE_TEXT)
            return false;
        const std::string_view date(reinterpret_cast<const char *>(sqlite3_column_text(row, 1)),
                                    std::size_t(sqlite3_column_bytes(row, 1)));
        if (!QuickMonth(date))
            return false;
        const int amountType = sqlite3_column_type(row, 2);
        if (amountType == SQLITE_FLOAT) {
            if (!QuickUnits(sqlite3_column_double(row, 2), place.Units))
                return false;
        } else if (amountType != SQLITE_NULL) {
            return false;
        }
        // trim() takes spaces from both ends of a text, and makes text of
        // any other value, which SQLite is asked about.
        const int itemType = sqlite3_column_type(row, 3);
        std::string_view item;
        if (itemType == SQLITE_TEXT)
            item = std::string_view(reinterpret_cast<const char *>(sqlite3_column_text(row, 3)),
                                    std::size_t(sqlite3_column_bytes(row, 3)));
        else if (itemType != SQLITE_NULL)
            return false;
        if (item.find('\0') != std::string_view::npos)
            return false;
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        place.InMonth = true;
        place.Month = date.substr(0, 7);
        place.Item = item;
        return true;
    }

    sqlite3 *FDb;
    TStatement FAsk;
    std::string FMonth, FItem;
};

//! A table's month totals as its rows are now, made in short reads; where a
//! row counts is worked out as the triggers work it out (TRowPlacer).
//! Nothing when another connection wrote the file meanwhile, or the rows
//! aside are too many to hold.
std::optional<TMadeMonths> ReadMonthTotals(sqlite3 *db, const TMonthTable &t, const TKeptTotalsPass &pass,
                                           std::int64_t version)
{
    constexpr std::size_t MaxAside = 100000;
    const TRowSql r = RowOf(t, "");
    const TStatement rows = Prepare(db, "SELECT rowid, " + r.Date + ", " + r.Amount + ", " + r.Item +
                                            " FROM " + t.Table + " WHERE rowid > ?1 ORDER BY rowid LIMIT ?2");
    TRowPlacer placer(db);
    TMadeMonths made;
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    std::string key;
    for (;;) {
        sqlite3_reset(rows.get());
        sqlite3_bind_int64(rows.get(), 1, last);
        sqlite3_bind_int(rows.get(), 2, std::max(1, pass.RowsPerRead));
        int count = 0, rc;
        while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
            ++count;
            last = sqlite3_column_int64(rows.get(), 0);
            const TRowPlace place = placer.Place(rows.get());
            if (!place.InMonth) {
                if (made.Aside.size() >= MaxAside)
                    return std::nullopt;
                std::vector<TValue> row;
                for (int column = 0; column <= 3; ++column) {
                    row.emplace_back(sqlite3_value_dup(sqlite3_column_value(rows.get(), column)),
                                     sqlite3_value_free);
                    if (!row.back())
                        return std::nullopt;
                }
                made.Aside.push_back(std::move(row));
                continue;
            }
            key.assign(place.Month);
            key.append(place.Item);
            TMonthSums &sums = made.Months[key];
            ++sums.Rows;
            sums.Entries += sqlite3_column_type(rows.get(), 2) != SQLITE_NULL;
            sums.Fits = sums.Fits && !__builtin_add_overflow(sums.Units, place.Units, &sums.Units) &&
                        !__builtin_add_overflow(sums.Magnitude, place.Units < 0 ? -place.Units : place.Units,
                                                &sums.Magnitude);
        }
        if (rc != SQLITE_DONE)
            throw TFailure(sqlite3_errmsg(db));
        sqlite3_reset(rows.get()); // the read lock goes
        if (count == 0 || Stopped(pass))
            break;
        if (pass.BetweenReads)
            pass.BetweenReads();
        if (DataVersion(db) != version)
            return std::nullopt;
    }
    if (Stopped(pass) || DataVersion(db) != version)
        return std::nullopt;
    return made;
}

//! The tables and triggers where they are missing or not these, and the
//! table's totals and rows aside emptied.
void SetUpMonthTotals(sqlite3 *db, const TMonthTable &t)
{
    Exec(db, MonthTableSql);
    Exec(db, AsideTableSql);
    Exec(db, MadeTableSql);
    const char *const columns[4] = {t.Amount, t.Date, t.Item, t.Remark};
    TSqliteDriver driver(db);
    for (const std::string &sql : ReplacedRowsSetupSql(driver, t.Table, columns))
        Exec(db, sql);
    for (const TEvent event : {TEvent::Insert, TEvent::Update, TEvent::Delete}) {
        const std::string sql = TriggerSql(t, event);
        if (StoredTrigger(db, TriggerName(t, event)) != sql) {
            Exec(db, "DROP TRIGGER IF EXISTS " + TriggerName(t, event));
            Exec(db, sql);
        }
    }
    const std::string table = t.Table;
    for (const char *kept : {"kestrum_month_totals", "kestrum_month_aside", "kestrum_month_made"})
        Exec(db, std::string("DELETE FROM ") + kept + " WHERE tbl = '" + table + "'");
}

void WriteMonthTotals(sqlite3 *db, const TMonthTable &t, const TMadeMonths &made)
{
    const TStatement month = Prepare(db, std::string("INSERT INTO kestrum_month_totals (tbl, month, item, "
                                                     "row_count, entries, units, magnitude) VALUES ('") +
                                             t.Table + "', ?1, ?2, ?3, ?4, ?5, ?6)");
    for (const auto &[key, sums] : made.Months) {
        sqlite3_reset(month.get());
        sqlite3_bind_text(month.get(), 1, key.data(), 7, SQLITE_TRANSIENT);
        sqlite3_bind_text(month.get(), 2, key.data() + 7, int(key.size() - 7), SQLITE_TRANSIENT);
        sqlite3_bind_int64(month.get(), 3, sums.Rows);
        sqlite3_bind_int64(month.get(), 4, sums.Entries);
        if (sums.Fits) {
            sqlite3_bind_int64(month.get(), 5, sums.Units);
            sqlite3_bind_int64(month.get(), 6, sums.Magnitude);
        } else {
            sqlite3_bind_double(month.get(), 5, 1e19);
            sqlite3_bind_double(month.get(), 6, 1e19);
        }
        if (sqlite3_step(month.get()) != SQLITE_DONE)
            throw TFailure(sqlite3_errmsg(db));
    }
    const TStatement aside =
        Prepare(db, std::string("INSERT INTO kestrum_month_aside (tbl, row_id, entry_date, "
                                "amount, item) VALUES ('") +
                        t.Table + "', ?1, ?2, ?3, ?4)");
    for (const auto &row : made.Aside) {
        sqlite3_reset(aside.get());
        for (int column = 0; column <= 3; ++column)
            sqlite3_bind_value(aside.get(), column + 1, row[std::size_t(column)].get());
        if (sqlite3_step(aside.get()) != SQLITE_DONE)
            throw TFailure(sqlite3_errmsg(db));
    }
    Exec(db, std::string("INSERT INTO kestrum_month_made (tbl) VALUES ('") + t.Table + "')");
}

bool MakeTableMonthTotals(sqlite3 *db, const TMonthTable &t, const TKeptTotalsPass &pass)
{
    const auto current = [&] {
        return InSavepoint(db, "kestrum_month_totals_check", [&] { return IsKept(db, t); });
    };
    for (int attempt = 0; attempt < 3 && !Stopped(pass); ++attempt) {
        if (current())
            return true;
        const std::int64_t version = DataVersion(db);
        const std::optional<TMadeMonths> made = ReadMonthTotals(db, t, pass, version);
        if (Stopped(pass))
            return false;
        if (!made) {
            if (DataVersion(db) == version)
                return false; // too many rows aside: not a race a second pass wins
            continue;
        }
        Exec(db, "BEGIN IMMEDIATE");
        try {
            if (DataVersion(db) != version || IsKept(db, t)) {
                Exec(db, "ROLLBACK");
                continue;
            }
            SetUpMonthTotals(db, t);
            WriteMonthTotals(db, t, *made);
            Exec(db, "COMMIT");
            return true;
        } catch (...) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    return current();
}

} // namespace

bool MakeKeptMonthTotalsAside(const QString &ledgerPath, const TKeptTotalsPass &pass)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(ledgerPath.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK || sqlite3_db_readonly(raw, "main") != 0)
        return false;
    sqlite3_busy_timeout(raw, 2000);
    sqlite3_progress_handler(raw, 10000, StopRequested, const_cast<TKeptTotalsPass *>(&pass));
    try {
        bool kept = true;
        for (const TMonthTable &t : MonthTables) {
            if (Stopped(pass))
                return false;
            if (TableHasColumns(raw, t))
                kept = MakeTableMonthTotals(raw, t, pass) && kept;
            else
                kept = false;
        }
        return kept;
    } catch (const std::exception &) {
        return false;
    }
}

bool HasKeptMonthTotals(sqlite3 *db)
{
    try {
        for (const TMonthTable &t : MonthTables)
            if (!IsKept(db, t))
                return false;
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace kestrum
