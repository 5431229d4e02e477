#pragma once
// The tables and triggers that keep each ledger table's amounts per month
// and item, written as SQL, and the checks that they are in place: what the
// readers of the month totals and the pass that makes them share.
#include "ledger/KeptSql.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace kestrum::kept_months {

// The SQLite calls every part of the kept totals uses.
using kept_sql::Exec;
using kept_sql::Exists;
using kept_sql::InSavepoint;
using kept_sql::Prepare;
using kept_sql::StoredTrigger;
using kept_sql::Text;
using kept_sql::TFailure;
using kept_sql::TStatement;

struct TMonthTable {
    const char *Table, *Amount, *Date, *Item, *Remark, *Index;
};

extern const TMonthTable MonthTables[2];

extern const char *const MonthTableSql;
extern const char *const AsideTableSql;
extern const char *const MadeTableSql;

//! The three values of one row a trigger or a pass reads, as SQL.
struct TRowSql {
    std::string Date, Amount, Item;
};

//! The month "YYYY-MM" of a date the program wrote, else Null (see the
//! definition for which texts count).
std::string MonthSql(const std::string &d);
std::string ItemSql(const TRowSql &r);
std::string UnitsSql(const TRowSql &r);
//! True when the row is counted in its month's totals, else kept aside.
std::string InMonthSql(const TRowSql &r);

enum class TEvent { Insert, Update, Delete };

std::string TriggerName(const TMonthTable &t, TEvent event);
TRowSql RowOf(const TMonthTable &t, const std::string &prefix);
std::string TriggerSql(const TMonthTable &t, TEvent event);

bool TableHasColumns(sqlite3 *db, const TMonthTable &t);
//! The triggers are these, the notes of replaced rows are taken, and the
//! totals were made.
bool IsKept(sqlite3 *db, const TMonthTable &t);

} // namespace kestrum::kept_months
