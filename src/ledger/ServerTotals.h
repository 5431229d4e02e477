#pragma once
// Totals of a ledger on a PostgreSQL server. Money there is an exact
// decimal and dates are timestamps, so the server adds the amounts itself
// with sum(), and a month or a year is a plain range of timestamps that an
// index on the date column serves; nothing is kept aside as in a file.
#include "core/Variant.h"
#include "ledger/DatePeriods.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrum {

class TDbDriver;

//! The sum of amountColumn over table's rows (whose dateColumn lies in span
//! when one is given), as sum() gives it: Null when no amount counts, else
//! the exact value (a Currency when it fits four decimals and 64 bits).
//! Raises what the server raises.
Variant ServerAmountSum(TDbDriver &server, const QString &table, const QString &amountColumn,
                        const QString &dateColumn, const std::optional<TDateSpan> &span);

//! The sum and the number of rows of one month and item of a period.
struct TServerMonthSum {
    int Month = 0;  //!< 1..12
    QString Item;   //!< empty unless asked for by item
    Variant Amount; //!< Null when no amount of the rows counts
    std::int64_t Rows = 0;
};

//! The sums of amountColumn per month of span (and per item, trimmed, when
//! itemColumn is not empty; no item counts as ""), added up by the server.
std::vector<TServerMonthSum> ServerMonthSums(TDbDriver &server, const QString &table,
                                             const QString &amountColumn, const QString &dateColumn,
                                             const QString &itemColumn, const TDateSpan &span);

//! An exact decimal as the server writes it ("-12.3400") as a Currency, or
//! as a double when it does not fit one.
Variant DecimalTextValue(const std::string &text);

//! Makes the indexes on the entries' dates that the periods' sums read, on
//! a ledger made before they were part of it. False when one is missing and
//! could not be made (no rights): the sums stay right, only slower.
bool EnsureServerDateIndexes(TDbDriver &server);

} // namespace kestrum
