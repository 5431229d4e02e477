#pragma once
// The offer of recurring entries that fell due, with no widgets: one row per
// occurrence (missed periods each once), all ticked at first, amounts
// editable for bills that vary. What is ticked is what gets posted.
#include "ledger/RecurringStore.h"

#include <QString>

#include <vector>

namespace kestrum {

class TRecurringOfferList {
public:
    enum class TColumn { Post, Date, Page, Item, Amount, Remark };
    static constexpr int ColumnCount = 6;
    static QString ColumnTitle(TColumn column);
    //! A typical text of the column, to size it before the user types.
    static QString ColumnSample(TColumn column);

    explicit TRecurringOfferList(std::vector<TRecurringDue> due);

    //! "有 3 条定期收支到期"
    QString Title() const;
    int RowCount() const { return int(FRows.size()); }
    QString Text(int row, TColumn column) const;

    bool Ticked(int row) const { return FRows.at(std::size_t(row)).Ticked; }
    void SetTicked(int row, bool ticked) { FRows.at(std::size_t(row)).Ticked = ticked; }
    int TickedCount() const;

    //! Takes a new amount ("3010.5"); text that is no positive amount of at
    //! most two decimals is refused and the amount stays as it was.
    bool SetAmountText(int row, const QString &text);

    //! The ticked occurrences with their amounts, in the list's order.
    std::vector<TRecurringDue> Chosen() const;

private:
    struct TRow {
        TRecurringDue Due;
        bool Ticked = true;
    };
    std::vector<TRow> FRows;
};

} // namespace kestrum
