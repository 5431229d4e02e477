#pragma once
// The amounts of each ledger table added up per month and item, kept in the
// file by triggers, so that the statistics of a year or a month read a few
// dozen rows instead of every entry of the period. As with the all-time
// totals the triggers use SQLite's built-in functions only, so any program
// that writes the file keeps them.
//
// Only what is certain is kept per month: a date stored as the program
// writes it ("2024-07-05" or "2024-07-05 13:30:00", a real calendar day),
// whose month year() and month() read from its first seven characters, with
// an amount that is Null or the double nearest to a number of
// ten-thousandths, which adds up exactly in any order. Every other row (a
// date stored as a number of days, any other text, Null; an amount with
// binary noise, text, an integer) is kept aside whole; a reader puts it in
// its period with year() and month() themselves, and runs the statement
// instead whenever the row's amount would make the result depend on the
// order of adding.
#include "core/MoneySum.h"
#include "core/Variant.h"
#include "ledger/KeptTotals.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace kestrum {

//! What "select sum(amountColumn) from table where year(dateColumn)= :y"
//! (and "AND month(dateColumn)=:m" when month is given) gives on db with
//! year and month bound as numbers, from the kept month totals: nothing when
//! they cannot give exactly that (totals not made or triggers missing, a
//! table or column they do not keep, a period year() cannot give, an
//! integer result). An amount aside in the period that the sum adds to its
//! floating remainder is added in the order `statement` (the statement that
//! would run instead, reading the period through the date index) meets it;
//! when its plan does not show that order, such an amount gives nothing.
//! db must have the program's year() and month(). Raises nothing.
std::optional<Variant> KeptPeriodSum(sqlite3 *db, const QString &table, const QString &amountColumn,
                                     const QString &dateColumn, int year, std::optional<int> month,
                                     const QString &statement = QString());

//! The rows of one month and item of a year, as the year's charts count
//! them: the item trimmed ("" for none), every amount that is not Null added.
struct TKeptMonthItem {
    int Month = 0; //!< 1..12
    std::string Item;
    std::int64_t Rows = 0;
    TMoneySum Amount; //!< exact ten-thousandths only
};

//! A row kept aside that lies in the year.
struct TKeptAsideRow {
    int Month = 0;
    std::string Item;
    std::optional<double> Amount;
};

//! A year's rows: the months' totals, and the rows aside one by one in the
//! order the charts' statement meets them, to be added after the totals.
struct TKeptYear {
    std::vector<TKeptMonthItem> Months;
    std::vector<TKeptAsideRow> Aside;
};

//! A year's rows of table ("gain" or "expen") per month and item from the
//! kept totals; nothing when they are not kept, an amount aside in the year
//! is text, or one that a running total adds to its floating remainder
//! cannot be put in the order of `statement` (as KeptPeriodSum). db must
//! have the program's year() and month(). Raises nothing.
std::optional<TKeptYear> KeptYearItems(sqlite3 *db, const QString &table, int year,
                                       const QString &statement = QString());

//! Makes the month totals of a writable ledger that lacks them, as
//! MakeKeptTotalsAside makes the all-time totals: short reads on a
//! connection of its own, one short write only when no other connection
//! wrote the file meanwhile. True when every table's month totals are kept
//! afterwards. Raises nothing.
bool MakeKeptMonthTotalsAside(const QString &ledgerPath, const TKeptTotalsPass &pass = {});

//! Whether the month totals of every ledger table are kept and current.
bool HasKeptMonthTotals(sqlite3 *db);

} // namespace kestrum
