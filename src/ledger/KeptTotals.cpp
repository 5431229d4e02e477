#include "ledger/KeptTotals.h"

#include "core/MoneySum.h"
#include "db/SqliteDriver.h"
#include "ledger/KeptSql.h"
#include "ledger/ReplacedRows.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrum {

using namespace kept_sql;

namespace {

struct TKeptTable {
    const char *Table, *Amount, *Date, *Item, *Remark, *Index;
};

const TKeptTable KeptTables[] = {
    {"gain", "本次进帐", "进帐时间", "进帐人", "备注", "kestrum_gain_date"},
    {"expen", "消费金额", "消费日期", "消费者", "备注", "kestrum_expen_date"},
};

// One row per table: the amounts that are not Null, the integer sum of the
// exact ones in ten-thousandths, and the sum of their sizes, which bounds
// every partial sum. An integer SQLite cannot hold turns into a floating
// value, which the reader then refuses.
const char *const TotalsTableSql = "CREATE TABLE IF NOT EXISTS kestrum_totals ("
                                   "tbl TEXT PRIMARY KEY, entries INTEGER NOT NULL, "
                                   "units INTEGER NOT NULL, magnitude INTEGER NOT NULL)";
// The values kept aside, with what orders them in the date index. No column
// has a type, so each value stays as the table holds it.
const char *const OddTableSql = "CREATE TABLE IF NOT EXISTS kestrum_totals_odd ("
                                "tbl TEXT NOT NULL, row_id INTEGER NOT NULL, entry_date, amount, item, "
                                "PRIMARY KEY (tbl, row_id))";

//! 2^50: below it, a value times 10000 lies within a quarter of the
//! integer it stands for.
constexpr double ExactUnitsLimit = 1125899906842624.0;

enum class TEvent { Insert, Update, Delete };

std::string Quote(const char *name)
{
    return std::string("\"") + name + "\"";
}

std::string TriggerName(const TKeptTable &t, TEvent event)
{
    const char *suffix = event == TEvent::Insert   ? "_insert"
                         : event == TEvent::Update ? "_update"
                                                   : "_delete";
    return std::string("kestrum_totals_") + t.Table + suffix;
}

std::string Units(const std::string &v)
{
    return KeptUnitsSql(v);
}

} // namespace

// Below 2^50 units the product is within a quarter of the integer, so any
// rounding finds it, and only that one integer divides back to the value.
std::string KeptUnitsSql(const std::string &v)
{
    const std::string scaled = "CAST(round(" + v + " * 10000) AS INTEGER)";
    return "CASE WHEN typeof(" + v + ") = 'real' AND abs(" + v + " * 10000) < 1125899906842624.0 AND " +
           scaled + " / 10000.0 = " + v + " THEN " + scaled + " END";
}

namespace {

//! The totals' row of the table with the value v added (sign "+") or
//! taken away ("-").
std::string ApplySql(const TKeptTable &t, const std::string &v, char sign, const std::string &condition = {})
{
    const std::string units = "coalesce(" + Units(v) + ", 0)";
    return std::string("UPDATE kestrum_totals SET entries = entries ") + sign + " (" + v +
           " IS NOT NULL), units = units " + sign + " " + units + ", magnitude = magnitude " + sign +
           " abs(" + units + ") WHERE tbl = '" + t.Table + "'" + condition + ";";
}

//! The row a REPLACE conflict took out of NEW's way, noted by the BEFORE
//! triggers of the replaced rows, taken away.
std::string TakeReplacedSql(const TKeptTable &t)
{
    const std::string note =
        std::string(" FROM ") + ReplacedRowsTable + " WHERE " + ReplacedRowCondition(t.Table, "NEW.rowid");
    const std::string units = "coalesce(" + Units("amount") + ", 0)";
    return std::string("UPDATE kestrum_totals SET entries = entries - (SELECT amount IS NOT NULL") + note +
           "), units = units - (SELECT " + units + note + "), magnitude = magnitude - (SELECT abs(" + units +
           ")" + note + ") WHERE tbl = '" + t.Table + "' AND EXISTS (SELECT 1" + note + ");";
}

std::string AddOddSql(const TKeptTable &t)
{
    return std::string("INSERT OR REPLACE INTO kestrum_totals_odd (tbl, row_id, entry_date, amount, item) "
                       "SELECT '") +
           t.Table + "', NEW.rowid, NEW." + Quote(t.Date) + ", NEW." + Quote(t.Amount) + ", NEW." +
           Quote(t.Item) + " WHERE NEW." + Quote(t.Amount) + " IS NOT NULL AND " +
           Units("NEW." + Quote(t.Amount)) + " IS NULL;";
}

std::string DropOddSql(const TKeptTable &t, const std::string &rows)
{
    return std::string("DELETE FROM kestrum_totals_odd WHERE tbl = '") + t.Table + "' AND row_id IN (" +
           rows + ");";
}

// rowid rather than the key's name, as the trash does: it is the key of
// every table the ledger can use.
std::string TriggerSql(const TKeptTable &t, TEvent event)
{
    const std::string amount = Quote(t.Amount);
    std::string body;
    switch (event) {
    case TEvent::Insert:
        // The row in the way of a REPLACE left without a DELETE trigger.
        body = DropOddSql(t, "NEW.rowid") + TakeReplacedSql(t) + ApplySql(t, "NEW." + amount, '+') +
               AddOddSql(t);
        break;
    case TEvent::Update:
        body = DropOddSql(t, "OLD.rowid, NEW.rowid") + TakeReplacedSql(t) +
               ApplySql(t, "OLD." + amount, '-') + ApplySql(t, "NEW." + amount, '+') + AddOddSql(t);
        break;
    case TEvent::Delete:
        // A connection with recursive triggers fires this for the row a
        // REPLACE takes away as well: the note of it is used up here, so
        // that the INSERT's trigger does not take it away a second time.
        body = DropOddSql(t, "OLD.rowid") + ApplySql(t, "OLD." + amount, '-') + "DELETE FROM " +
               ReplacedRowsTable + " WHERE tbl = '" + t.Table + "' AND row_id = OLD.rowid;";
        break;
    }
    const char *when = event == TEvent::Insert   ? " AFTER INSERT ON "
                       : event == TEvent::Update ? " AFTER UPDATE ON "
                                                 : " AFTER DELETE ON ";
    return "CREATE TRIGGER " + TriggerName(t, event) + when + t.Table + " BEGIN " + body + " END";
}

bool TriggersAreCurrent(sqlite3 *db, const TKeptTable &t)
{
    for (const TEvent event : {TEvent::Insert, TEvent::Update, TEvent::Delete})
        if (StoredTrigger(db, TriggerName(t, event)) != TriggerSql(t, event))
            return false;
    // The notes of replaced rows come from these.
    for (const char *suffix : {"_insert", "_update"})
        if (StoredTrigger(db, std::string("kestrum_replaced_") + t.Table + suffix).empty())
            return false;
    return true;
}

bool TableHasColumns(sqlite3 *db, const TKeptTable &t)
{
    const TStatement s =
        Prepare(db, "SELECT count(*) FROM pragma_table_info(?1) WHERE name IN (?2, ?3, ?4, ?5)");
    const char *const names[] = {t.Table, t.Amount, t.Date, t.Item, t.Remark};
    for (int i = 0; i < 5; ++i)
        sqlite3_bind_text(s.get(), i + 1, names[i], -1, SQLITE_STATIC);
    return sqlite3_step(s.get()) == SQLITE_ROW && sqlite3_column_int(s.get(), 0) == 4;
}

bool HasTotalsRow(sqlite3 *db, const TKeptTable &t)
{
    const TStatement exists =
        Prepare(db, "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = 'kestrum_totals'");
    if (sqlite3_step(exists.get()) != SQLITE_ROW)
        return false;
    const TStatement s = Prepare(db, "SELECT 1 FROM kestrum_totals WHERE tbl = ?1");
    sqlite3_bind_text(s.get(), 1, t.Table, -1, SQLITE_STATIC);
    return sqlite3_step(s.get()) == SQLITE_ROW;
}

//! The totals of a table's amounts as the triggers keep them.
struct TTableTotals {
    std::int64_t Entries = 0, Units = 0, Magnitude = 0;
    bool Fits = true;
};

//! Counts the amount in column 2 of a row into the totals; false when it
//! goes aside. Each amount is taken as the triggers' Units() takes it: a
//! floating value below 2^50 units that is the double nearest to them. Any
//! way of rounding finds that one integer, so this and SQLite agree on
//! every value.
bool CountAmount(sqlite3_stmt *rows, TTableTotals &totals)
{
    const int type = sqlite3_column_type(rows, 2);
    if (type == SQLITE_NULL)
        return true;
    ++totals.Entries;
    if (type == SQLITE_FLOAT) {
        const double value = sqlite3_column_double(rows, 2);
        const double scaled = value * 10000;
        if (std::fabs(scaled) < ExactUnitsLimit) {
            const auto whole = std::int64_t(std::round(scaled));
            if (double(whole) / 10000.0 == value) {
                // Each is below 2^50: only past 8192 amounts of a hundred
                // billion can the sums leave 64 bits.
                totals.Fits =
                    totals.Fits && !__builtin_add_overflow(totals.Units, whole, &totals.Units) &&
                    !__builtin_add_overflow(totals.Magnitude, whole < 0 ? -whole : whole, &totals.Magnitude);
                return true;
            }
        }
    }
    return false;
}

//! The statement that keeps a row's values aside (rowid, date, amount, item).
TStatement PrepareAside(sqlite3 *db, const TKeptTable &t)
{
    return Prepare(db, std::string("INSERT INTO kestrum_totals_odd (tbl, row_id, entry_date, amount, item) "
                                   "VALUES ('") +
                           t.Table + "', ?1, ?2, ?3, ?4)");
}

//! Keeps aside the row a statement of (rowid, date, amount, item) stands on.
void PutAside(sqlite3 *db, sqlite3_stmt *aside, sqlite3_stmt *row)
{
    sqlite3_reset(aside);
    for (int column = 0; column <= 3; ++column)
        sqlite3_bind_value(aside, column + 1, sqlite3_column_value(row, column));
    if (sqlite3_step(aside) != SQLITE_DONE)
        throw TFailure(sqlite3_errmsg(db));
}

//! The triggers where they are missing or not these, and the table's
//! totals and values aside emptied.
void SetUpTotals(sqlite3 *db, const TKeptTable &t)
{
    Exec(db, TotalsTableSql);
    Exec(db, OddTableSql);
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
    Exec(db, "DELETE FROM kestrum_totals WHERE tbl = '" + table + "'");
    Exec(db, "DELETE FROM kestrum_totals_odd WHERE tbl = '" + table + "'");
}

void WriteTotalsRow(sqlite3 *db, const TKeptTable &t, const TTableTotals &made)
{
    // A sum past 64 bits is stored as the floating value the triggers would
    // have made of it, which no reader takes.
    const TStatement totals = Prepare(db, std::string("INSERT INTO kestrum_totals (tbl, entries, units, "
                                                      "magnitude) VALUES ('") +
                                              t.Table + "', ?1, ?2, ?3)");
    sqlite3_bind_int64(totals.get(), 1, made.Entries);
    sqlite3_bind_int64(totals.get(), 2, made.Units);
    if (made.Fits)
        sqlite3_bind_int64(totals.get(), 3, made.Magnitude);
    else
        sqlite3_bind_double(totals.get(), 3, 1e19);
    if (sqlite3_step(totals.get()) != SQLITE_DONE)
        throw TFailure(sqlite3_errmsg(db));
}

//! The triggers where they are missing or not these, and the table's totals
//! made afresh from its rows.
void MakeTotals(sqlite3 *db, const TKeptTable &t)
{
    SetUpTotals(db, t);
    // One pass over the rows (the date index holds every column read).
    const TStatement rows = Prepare(db, "SELECT rowid, " + Quote(t.Date) + ", " + Quote(t.Amount) + ", " +
                                            Quote(t.Item) + " FROM " + t.Table);
    const TStatement aside = PrepareAside(db, t);
    TTableTotals made;
    int rc;
    while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW)
        if (!CountAmount(rows.get(), made))
            PutAside(db, aside.get(), rows.get());
    if (rc != SQLITE_DONE)
        throw TFailure(sqlite3_errmsg(db));
    WriteTotalsRow(db, t, made);
}

//! The order in which "select sum(amount) from table" meets the rows.
enum class TReadOrder { DateIndex, RowId };

std::optional<TReadOrder> SumReadOrder(sqlite3 *db, const TKeptTable &t)
{
    {
        const TStatement reverse = Prepare(db, "PRAGMA reverse_unordered_selects");
        if (sqlite3_step(reverse.get()) == SQLITE_ROW && sqlite3_column_int(reverse.get(), 0) != 0)
            return std::nullopt;
    }
    const TStatement plan =
        Prepare(db, "EXPLAIN QUERY PLAN SELECT sum(" + Quote(t.Amount) + ") FROM " + t.Table);
    std::vector<std::string> steps;
    while (sqlite3_step(plan.get()) == SQLITE_ROW)
        steps.push_back(Text(plan.get(), 3));
    if (steps.size() != 1)
        return std::nullopt;
    // "SCAN TABLE x" is how SQLite before 3.36 says "SCAN x".
    std::string step = steps[0];
    if (step.starts_with("SCAN TABLE "))
        step.erase(5, 6);
    const std::string scan = std::string("SCAN ") + t.Table;
    if (step == scan)
        return TReadOrder::RowId;
    if (step != scan + " USING COVERING INDEX " + t.Index)
        return std::nullopt;
    // The index orders by date, amount and item, each ascending under the
    // plain byte collation, then by row id: the order the values aside are
    // read in.
    const TStatement columns = Prepare(db, std::string("SELECT name, desc, coll FROM pragma_index_xinfo('") +
                                               t.Index + "') WHERE key ORDER BY seqno");
    const char *const expected[] = {t.Date, t.Amount, t.Item};
    int count = 0;
    while (sqlite3_step(columns.get()) == SQLITE_ROW) {
        if (count >= 3 || Text(columns.get(), 0) != expected[count] ||
            sqlite3_column_int(columns.get(), 1) != 0 || Text(columns.get(), 2) != "BINARY")
            return std::nullopt;
        ++count;
    }
    if (count == 3)
        return TReadOrder::DateIndex;
    return std::nullopt;
}

//! sum() of the kept totals, made as sum() makes it; nothing when they are
//! not fit to give it.
std::optional<Variant> ReadSum(sqlite3 *db, const TKeptTable &t)
{
    if (!TriggersAreCurrent(db, t) || !HasTotalsRow(db, t))
        return std::nullopt;
    const std::optional<TReadOrder> order = SumReadOrder(db, t);
    if (!order)
        return std::nullopt;
    std::int64_t entries = 0, units = 0, magnitude = 0;
    {
        const TStatement totals =
            Prepare(db, "SELECT entries, units, magnitude FROM kestrum_totals WHERE tbl = ?1");
        sqlite3_bind_text(totals.get(), 1, t.Table, -1, SQLITE_STATIC);
        if (sqlite3_step(totals.get()) != SQLITE_ROW)
            return std::nullopt;
        for (int column = 0; column < 3; ++column)
            if (sqlite3_column_type(totals.get(), column) != SQLITE_INTEGER)
                return std::nullopt;
        entries = sqlite3_column_int64(totals.get(), 0);
        units = sqlite3_column_int64(totals.get(), 1);
        magnitude = sqlite3_column_int64(totals.get(), 2);
    }

    // The values aside, in the order sum() meets them, taken as sum() takes
    // each value.
    TMoneySum money;
    std::int64_t integerSum = 0, asideCount = 0;
    bool anyFloating = false, overflowed = false;
    double asideSize = 0; // bounds the units the values aside add
    const TStatement aside =
        Prepare(db, std::string("SELECT amount FROM kestrum_totals_odd WHERE tbl = ?1 ORDER BY ") +
                        (*order == TReadOrder::DateIndex ? "entry_date, amount, item, row_id" : "row_id"));
    sqlite3_bind_text(aside.get(), 1, t.Table, -1, SQLITE_STATIC);
    int rc;
    while ((rc = sqlite3_step(aside.get())) == SQLITE_ROW) {
        std::unique_ptr<sqlite3_value, void (*)(sqlite3_value *)> value(
            sqlite3_value_dup(sqlite3_column_value(aside.get(), 0)), sqlite3_value_free);
        if (!value)
            return std::nullopt;
        const int type = sqlite3_value_numeric_type(value.get());
        if (type == SQLITE_NULL)
            continue;
        ++asideCount;
        if (type == SQLITE_INTEGER) {
            overflowed = __builtin_add_overflow(integerSum, sqlite3_value_int64(value.get()), &integerSum) ||
                         overflowed;
            continue;
        }
        anyFloating = true;
        const double amount = sqlite3_value_double(value.get());
        // Past 2^51 units a value goes into the floating remainder, never
        // into the units.
        if (const double size = std::fabs(amount) * TMoneySum::UnitsPerOne; size < 2251799813685248.0)
            asideSize += size + 1;
        money.Add(amount);
    }
    if (rc != SQLITE_DONE || asideCount > entries)
        return std::nullopt;
    const std::int64_t exactCount = entries - asideCount;
    // sum() adds the units in the order it meets them; no partial sum can
    // leave 64 bits when all of them together stay well inside.
    if (!(double(magnitude) + asideSize < 4.0e18))
        return std::nullopt;
    if (entries == 0)
        return Variant::null();
    if (exactCount > 0)
        anyFloating = true;
    if (!anyFloating || overflowed)
        return std::nullopt; // an integer result, or its error: the statement gives it
    // The exact amounts' units, added in pieces that each stay exact.
    constexpr std::int64_t Piece = std::int64_t(1) << 49;
    while (units != 0) {
        const std::int64_t piece = units > Piece ? Piece : units < -Piece ? -Piece : units;
        money.Add(double(piece) / TMoneySum::UnitsPerOne);
        units -= piece;
    }
    money.Add(double(integerSum));
    return Variant(money.Value());
}

const TKeptTable *FindTable(const QString &table, const QString &amountColumn)
{
    QString column = amountColumn.trimmed();
    if (column.size() >= 2 && ((column.startsWith('"') && column.endsWith('"')) ||
                               (column.startsWith('[') && column.endsWith(']')) ||
                               (column.startsWith('`') && column.endsWith('`'))))
        column = column.mid(1, column.size() - 2);
    for (const TKeptTable &t : KeptTables)
        if (table.compare(QString::fromUtf8(t.Table), Qt::CaseInsensitive) == 0 &&
            column.compare(QString::fromUtf8(t.Amount), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

} // namespace

std::optional<Variant> KeptAmountSum(sqlite3 *db, const QString &table, const QString &amountColumn)
{
    const TKeptTable *t = FindTable(table, amountColumn);
    if (!db || !t)
        return std::nullopt;
    try {
        if (!TableHasColumns(db, *t))
            return std::nullopt;
        // What is read and what is made, each in one transaction, so that no
        // write of another program falls between the parts.
        if (sqlite3_db_readonly(db, "main") != 1 && !InSavepoint(db, "kestrum_totals_check", [&] {
                return TriggersAreCurrent(db, *t) && HasTotalsRow(db, *t);
            }))
            InSavepoint(db, "kestrum_totals_make", [&] {
                MakeTotals(db, *t);
                return true;
            });
        return InSavepoint(db, "kestrum_totals_read", [&] { return ReadSum(db, *t); });
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

namespace {

//! A value kept aside, held until the totals are written.
using TValue = std::unique_ptr<sqlite3_value, void (*)(sqlite3_value *)>;
struct TAsideRow {
    std::vector<TValue> Values; // rowid, date, amount, item
};

//! A table's totals as its rows are now, made in short reads; nothing when
//! another connection wrote the file meanwhile (from `version` on), or the
//! values aside are too many to hold (the first sum then makes the totals).
std::optional<TTableTotals> ReadTotals(sqlite3 *db, const TKeptTable &t, const TKeptTotalsPass &pass,
                                       std::int64_t version, std::vector<TAsideRow> &aside)
{
    constexpr std::size_t MaxAside = 100000;
    const TStatement rows =
        Prepare(db, "SELECT rowid, " + Quote(t.Date) + ", " + Quote(t.Amount) + ", " + Quote(t.Item) +
                        " FROM " + t.Table + " WHERE rowid > ?1 ORDER BY rowid LIMIT ?2");
    TTableTotals made;
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    for (;;) {
        sqlite3_reset(rows.get());
        sqlite3_bind_int64(rows.get(), 1, last);
        sqlite3_bind_int(rows.get(), 2, std::max(1, pass.RowsPerRead));
        int count = 0, rc;
        while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
            ++count;
            last = sqlite3_column_int64(rows.get(), 0);
            if (CountAmount(rows.get(), made))
                continue;
            if (aside.size() >= MaxAside)
                return std::nullopt;
            TAsideRow row;
            for (int column = 0; column <= 3; ++column) {
                row.Values.emplace_back(sqlite3_value_dup(sqlite3_column_value(rows.get(), column)),
                                        sqlite3_value_free);
                if (!row.Values.back())
                    return std::nullopt;
            }
            aside.push_back(std::move(row));
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

//! The values a pass put aside, and the totals of the rest.
struct TMadeTotals {
    TTableTotals Totals;
    std::vector<TAsideRow> Aside;
};

//! One pass for one table: true when its totals are kept afterwards.
bool MakeTableTotalsAside(sqlite3 *db, const TKeptTable &t, const TKeptTotalsPass &pass)
{
    return MakeWhenNobodyWrote(
        db, pass, "kestrum_totals_check", [&] { return TriggersAreCurrent(db, t) && HasTotalsRow(db, t); },
        [&](std::int64_t version) -> std::optional<TMadeTotals> {
            TMadeTotals made;
            std::optional<TTableTotals> totals = ReadTotals(db, t, pass, version, made.Aside);
            if (!totals)
                return std::nullopt;
            made.Totals = *totals;
            return made;
        },
        [&](const TMadeTotals &made) {
            SetUpTotals(db, t);
            const TStatement insert = PrepareAside(db, t);
            for (const TAsideRow &row : made.Aside) {
                sqlite3_reset(insert.get());
                for (int column = 0; column <= 3; ++column)
                    sqlite3_bind_value(insert.get(), column + 1, row.Values[std::size_t(column)].get());
                if (sqlite3_step(insert.get()) != SQLITE_DONE)
                    throw TFailure(sqlite3_errmsg(db));
            }
            WriteTotalsRow(db, t, made.Totals);
        });
}

} // namespace

bool MakeKeptTotalsAside(const QString &ledgerPath, const TKeptTotalsPass &pass)
{
    return MakeEachTable(ledgerPath, pass, KeptTables, [&pass](sqlite3 *db, const TKeptTable &t) {
        return TableHasColumns(db, t) && MakeTableTotalsAside(db, t, pass);
    });
}

bool HasKeptTotals(sqlite3 *db)
{
    try {
        for (const TKeptTable &t : KeptTables)
            if (!TriggersAreCurrent(db, t) || !HasTotalsRow(db, t))
                return false;
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace kestrum
