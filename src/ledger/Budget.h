#pragma once
// Monthly budgets kept in the ledger file, in kestrum_budget. A row sets the
// budget of one item (or the month's total) from its month on, until a row
// of a later month changes it; a row without an amount ends a budget. So a
// budget set once carries over to every later month, and the table stays as
// small as the user's changes. The journal's triggers cover the table like
// the entries, so undo and redo take back budget changes as whole actions.
//
// Money is held in fen (hundredths), as the statistics show it: the spent
// sums come from the connection's exact sum() (RegisterJetFunctions), and
// budgets are stored as REAL amounts like the entries, so that any SQLite
// tool reads them.
#include "core/Errors.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrum {

class TDbDriver;

//! An amount in fen.
using TBudgetCents = std::int64_t;

//! What a budget row is about; the stored words are "expen", "gain", "total".
enum class TBudgetKind {
    Expense, //!< spending on one item of the expense page
    Income,  //!< a target for one item of the income page
    Total,   //!< the month's whole spending (the item is empty)
};

//! A calendar month.
struct TBudgetMonth {
    int Year = 0;
    int Month = 0; //!< 1..12

    bool Valid() const { return Year >= 1 && Year <= 9999 && Month >= 1 && Month <= 12; }
    TBudgetMonth Previous() const
    {
        return Month == 1 ? TBudgetMonth{Year - 1, 12} : TBudgetMonth{Year, Month - 1};
    }
    TBudgetMonth Next() const
    {
        return Month == 12 ? TBudgetMonth{Year + 1, 1} : TBudgetMonth{Year, Month + 1};
    }
    //! "2026-12", as the table stores it; its text order is the months' order.
    QString Key() const;
    //! "2026年12月"
    QString Caption() const;
    //! The first day of the month as "2026-12-01", the lower end of its dates.
    QString FirstDay() const;
    auto operator<=>(const TBudgetMonth &) const = default;
};

//! One item of a month: its budget (if any) and what was spent (or, for an
//! income target, received) in the month.
struct TBudgetLine {
    QString Item; //!< as the entries write it, without surrounding spaces; "" for entries without one
    std::optional<TBudgetCents> Budget;
    TBudgetCents Actual = 0;
    bool Seen = false; //!< entries of the item exist in the month

    //! What is left of the budget (negative when it is exceeded); 0 without one.
    TBudgetCents Left() const { return Budget ? *Budget - Actual : 0; }
    bool Over() const { return Budget && Actual > *Budget; }
    friend bool operator==(const TBudgetLine &, const TBudgetLine &) = default;
};

//! A month's budgets against its entries.
struct TBudgetOverview {
    TBudgetMonth Month;
    TBudgetKind Kind = TBudgetKind::Expense; //!< Expense or Income
    //! Items with a budget or with entries in the month (and those asked
    //! for besides), ordered by item.
    std::vector<TBudgetLine> Lines;
    std::optional<TBudgetCents> TotalBudget; //!< the month's total budget (expense only)
    TBudgetCents Actual = 0;                 //!< every entry of the month

    //! The month's budget: its total budget when one is set, else the sum of
    //! the items' budgets; none when neither exists.
    std::optional<TBudgetCents> Budget() const;
    //! What counts against Budget(): every entry of the month under a total
    //! budget, else the entries of the items that have a budget.
    TBudgetCents Spent() const;
    //! What is left to spend of Budget(): negative once it is exceeded.
    TBudgetCents Left() const;
    bool Over() const { return Budget() && Left() < 0; }
    //! The line of an item, or null.
    const TBudgetLine *Line(const QString &item) const;
};

//! Adds the budget table to a ledger that lacks it; a read-only file is left
//! alone. The journal covers it once EnsureJournal runs after this. Raises
//! Exception when the file refuses. A server's ledger has it from
//! kestrum-db init and is left as it is.
void EnsureBudgets(TDbDriver &db);
//! Whether the file has the budget table.
bool HasBudgets(TDbDriver &db);

//! Reads and writes the budgets of one connection (not owned), which needs
//! the ledger's SQL functions for exact sums.
class TBudgetBook {
public:
    explicit TBudgetBook(TDbDriver &db) : FDb(db) {}

    //! The month's budgets and entries of one page (kind Expense or Income):
    //! one grouped statement over the month's dates, one over the budgets.
    //! `moreItems` are listed as well (ItemsOf, for choosing budgets).
    TBudgetOverview Overview(const TBudgetMonth &month, TBudgetKind kind = TBudgetKind::Expense,
                             const std::vector<QString> &moreItems = {}) const;
    //! Every item the page's entries hold, without surrounding spaces: a
    //! pass over the whole table, so a caller reads it once and keeps it.
    std::vector<QString> ItemsOf(TBudgetKind kind) const;

    //! The budget of an item (or the total, item "") in a month: the row of
    //! that month or the latest before it.
    std::optional<TBudgetCents> BudgetOf(TBudgetKind kind, const QString &item,
                                         const TBudgetMonth &month) const;

    //! Whether the month has a budget of that kind (for Expense: of an item
    //! or its total): a look at the budgets alone, no entry is read.
    bool HasBudgetIn(const TBudgetMonth &month, TBudgetKind kind = TBudgetKind::Expense) const;

    //! Sets the budget of an item from `month` on (none: no budget from that
    //! month on), until a later month's change; one undoable action. A
    //! negative amount is refused with EBudgetRefused.
    void SetBudget(TBudgetKind kind, const QString &item, const TBudgetMonth &month,
                   std::optional<TBudgetCents> amount);
    //! Gives the month every budget the month before had (of every kind):
    //! one action, none when nothing changes.
    void CopyPreviousMonth(const TBudgetMonth &month);
    //! No budget of any kind from this month on: one action.
    void ClearMonth(const TBudgetMonth &month);

private:
    struct TChange {
        TBudgetKind Kind;
        QString Item;
        std::optional<TBudgetCents> Amount;
    };
    //! Writes the changes at `month` in one transaction and journal action.
    void Write(const TBudgetMonth &month, const std::vector<TChange> &changes, const QString &label);
    //! The writes of Write, inside its transaction.
    void WriteChanges(const TBudgetMonth &month, const std::vector<TChange> &changes, const QString &label);
    //! Every key's budget in force in `month`.
    std::vector<TChange> InForce(const TBudgetMonth &month) const;

    TDbDriver &FDb;
};

//! A budget change that was refused; nothing was written.
class EBudgetRefused : public Exception {
public:
    explicit EBudgetRefused(const std::string &message) : Exception(message) {}
};

//! An amount of fen as the dialog and the labels type it: "1500", "35.5".
QString BudgetAmountText(TBudgetCents amount);

} // namespace kestrum
