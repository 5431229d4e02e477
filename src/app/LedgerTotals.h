#pragma once
// The sums behind the statistics page, all in one place: the page's value
// labels and its charts read their amounts through here, so a label and a
// chart never disagree on a cent. Every total comes from the database's rows,
// selected with the year and month bound as parameters; the entry pages'
// rows in memory are never read.
#include "app/LedgerData.h"
#include "app/StatisticsText.h"
#include "core/Variant.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace kestrum {

class TDbDriver;
class TDbQuery;

//! The total of one item (the entry's third field) over some period.
struct TItemAmount {
    QString Item;
    TCents Amount = 0;
    friend bool operator==(const TItemAmount &, const TItemAmount &) = default;
};

struct TMonthAmounts {
    TCents Income = 0;
    TCents Expense = 0;
    TCents Surplus() const { return Income - Expense; }
};

//! The figures of one year, month by month, as the charts show them.
struct TYearTotals {
    QString Year; //!< the picker text they were summed for
    std::array<TMonthAmounts, 12> Months{};
    //! Expense by item, largest first (ties by item), for the year and for
    //! each month (index 0 is January). Items with no entry are absent.
    std::vector<TItemAmount> ExpenseByItem;
    std::array<std::vector<TItemAmount>, 12> MonthExpenseByItem;
    //! No income and no expense entry falls in the year.
    bool Empty = true;
};

//! The name of the slice that gathers every item past the largest ones.
QString OtherItemsName();
//! The name an entry without an item is shown under.
QString NoItemName();

//! The largest `slices - 1` items, and the rest added up under "其他" (an item
//! that is itself called so always goes into that slice); `items` as they are
//! when they fit in `slices`. Items whose total is not above zero (refunds
//! outweighing spending) cannot be a share of a whole and are left out.
std::vector<TItemAmount> TopItems(const std::vector<TItemAmount> &items, int slices);

class TLedgerTotals {
public:
    //! query: the record set the statements run on; its connection is the
    //! ledger's. It is closed and reopened on every call.
    explicit TLedgerTotals(TDbQuery &query) : FQuery(query) {}

    //! Runs one sum statement and returns the value of resultField: Null when
    //! no row matched. Raises what the record set raises.
    //! A sum over a whole ledger table is read from the totals the file keeps
    //! (KeptAmountSum) when they give its value exactly; then the record set
    //! is left closed. Any other statement runs as SumStatement gives it; on
    //! a server as ServerSumStatement gives it, the record set left open on it.
    Variant Sum(const QString &statement, const TLedgerData::TParameterTexts &parameters,
                const QString &resultField);

    //! What Sum runs for a statement: a sum over the rows whose date has the
    //! year (and month) bound to a parameter ("... where year(d)= :a AND
    //! month(d)=:b") with the date ranges added that an index on the date
    //! serves, which select the same rows; any other statement as it is.
    static QString SumStatement(const QString &statement, const TLedgerData::TParameterTexts &parameters);
    //! What Sum runs for a statement on a ledger on a server: a sum over a
    //! whole table, a year or a month read as the server's exact decimal
    //! text, the period's rows selected by the date index's range of
    //! timestamps (bound to ServerSpanFrom and ServerSpanTo) when the texts
    //! name one as plain numbers, else by the statement's own conditions;
    //! any other statement as it is.
    static QString ServerSumStatement(const QString &statement,
                                      const TLedgerData::TParameterTexts &parameters);
    //! The parameters ServerSumStatement binds a period's range to.
    static const char *const ServerSpanFrom;
    static const char *const ServerSpanTo;

    //! Income and expense per month, and expense per item, of the year that
    //! yearText names (bound as the labels bind it: any text the engine takes
    //! as a year). One pass over each table. Raises what they raise.
    TYearTotals Year(const QString &yearText);

    //! A ledger on a server adds up on the server: Sum's value for the
    //! statements it knows (over a whole table, a year or a month), nothing
    //! for any other, which then runs as written. Through a driver, without
    //! a record set.
    static std::optional<Variant> ServerSum(TDbDriver &server, const QString &statement,
                                            const TLedgerData::TParameterTexts &parameters);
    //! Year's figures from a server's sums per month and item.
    static TYearTotals ServerYear(TDbDriver &server, const QString &yearText);

private:
    //! Sum on a server: the record set runs ServerSumStatement and stays
    //! open on it.
    Variant serverSum(const QString &statement, const TLedgerData::TParameterTexts &parameters,
                      const QString &resultField);
    //! A sum over a year or a month from the month totals the file keeps,
    //! when they give the statement's value exactly.
    std::optional<Variant> KeptSum(const QString &statement, const TLedgerData::TParameterTexts &parameters);
    //! The year's figures from the month totals the file keeps; false when
    //! they cannot give them exactly, and totals is left as it was.
    bool KeptYear(TYearTotals &totals, const QString &yearText, std::optional<int> year);

    TDbQuery &FQuery;
};

} // namespace kestrum
