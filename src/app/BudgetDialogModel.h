#pragma once
// What the budget dialog shows and does, without widgets: one month's items
// with their budget, what was spent and what is left, the month's total
// budget, and the changes the user makes (each one undoable action in the
// ledger's journal). The dialog only lays this out and passes edits on.
#include "ledger/Budget.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kestrum {

//! An amount the user typed, in fen: digits with at most two decimals,
//! thousands separators and the currency symbol allowed; an empty text is
//! no budget. Raises EBudgetRefused for anything else.
std::optional<TBudgetCents> ParseBudgetAmount(const QString &text);

//! Money in the regional currency format ("￥1,500.00").
QString BudgetMoneyText(TBudgetCents amount);

class TBudgetDialogModel {
public:
    //! db: the ledger's connection (not owned).
    TBudgetDialogModel(TDbDriver &db, const TBudgetMonth &month);

    const TBudgetMonth &Month() const { return FMonth; }
    void SetMonth(const TBudgetMonth &month);
    TBudgetKind Kind() const { return FKind; }
    //! Expense budgets or income targets.
    void SetKind(TBudgetKind kind);

    //! Reads the month again (after an undo, or another program's change);
    //! the items of the ledger are read when the dialog opens and when the
    //! page changes, since that takes a pass over the whole table.
    void Reload();
    const TBudgetOverview &Overview() const { return FOverview; }
    int RowCount() const { return int(FOverview.Lines.size()); }
    const TBudgetLine &Line(int row) const { return FOverview.Lines[std::size_t(row)]; }

    //! The texts of a row: item (entries without one show as "(未填)"), its
    //! budget ("" for none), spent or received, and what is left ("" without
    //! a budget).
    QString ItemText(int row) const;
    QString BudgetText(int row) const;
    QString ActualText(int row) const;
    QString LeftText(int row) const;

    //! A row's budget from this month on (none clears it). Raise what the
    //! ledger raises; nothing is changed then.
    void SetBudget(int row, std::optional<TBudgetCents> amount);
    //! A budget for an item that has no row yet (typed in by the user).
    void SetItemBudget(const QString &item, std::optional<TBudgetCents> amount);
    void SetTotalBudget(std::optional<TBudgetCents> amount);
    void CopyPreviousMonth();
    void ClearMonth();

    //! "本月预算 ￥5,000.00，已花 ￥3,075.00，还可花 ￥1,925.00" (or "超支 ...");
    //! "本月还没有预算" without any.
    QString SummaryText() const;

    //! Called after every change the model wrote.
    std::function<void()> OnChanged;

private:
    void changed();

    TBudgetBook FBook;
    TBudgetMonth FMonth;
    TBudgetKind FKind = TBudgetKind::Expense;
    std::vector<QString> FItems; //!< every item of the page's entries
    TBudgetOverview FOverview;
};

} // namespace kestrum
