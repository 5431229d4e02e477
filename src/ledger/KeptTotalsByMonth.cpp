#include "ledger/KeptTotalsByMonth.h"

#include "db/SqliteDriver.h"
#include "ledger/KeptMonthSchema.h"

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

using namespace kept_months;

namespace {

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
