// Making the month totals of a ledger that lacks them, on a connection of
// its own, while the program is already in use.
#include "ledger/KeptTotalsByMonth.h"

#include "db/SqliteDriver.h"
#include "ledger/KeptMonthSchema.h"
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

using namespace kept_months;
using kept_sql::DataVersion;
using kept_sql::MakeEachTable;
using kept_sql::MakeWhenNobodyWrote;
using kept_sql::Stopped;

namespace {

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
    return MakeWhenNobodyWrote(
        db, pass, "kestrum_month_totals_check", [&] { return IsKept(db, t); },
        [&](std::int64_t version) { return ReadMonthTotals(db, t, pass, version); },
        [&](const TMadeMonths &made) {
            SetUpMonthTotals(db, t);
            WriteMonthTotals(db, t, made);
        });
}

} // namespace

bool MakeKeptMonthTotalsAside(const QString &ledgerPath, const TKeptTotalsPass &pass)
{
    return MakeEachTable(ledgerPath, pass, MonthTables, [&pass](sqlite3 *db, const TMonthTable &t) {
        return TableHasColumns(db, t) && MakeTableMonthTotals(db, t, pass);
    });
}

} // namespace kestrum
