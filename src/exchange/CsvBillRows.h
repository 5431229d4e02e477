#pragma once
// A payment app's bill read by its own rules, row by row: which rows are
// entries (neither the neutral nor the closed ones, nor a refund of a closed
// trade), and what the entry of a row is.
#include "exchange/CsvRow.h"
#include "exchange/ForeignEntry.h"
#include "exchange/PaymentBill.h"

#include <QStringList>

namespace kestrum::exchange {

class TCsvBillRows {
public:
    //! Kind pbNone: the file is no bill.
    TPaymentBillLayout Layout;

    //! Before the first entry: the trades the bill shows as closed, so that
    //! a refund of one, which may stand above it, is left out with it.
    //! `rows` reads the file from its start; `recordsToPass`: the non-blank
    //! records before the first row of the bill.
    void FindClosedTrades(TCsvRow rows, int recordsToPass);
    //! Sorts the row; false, with the row counted or listed, for one that is no entry.
    bool IsEntry(const TCsvRow &row, int line);
    //! The entry of a row that IsEntry just took.
    TEntrySource::TStep Parse(const TCsvRow &row, TForeignEntry &entry, TBadRecord &bad, int line);
    //! The rows that were left out, and the refunds.
    QStringList Notes() const { return FTally.Notes(); }

private:
    TPaymentBillTally FTally;
    TBillRowClass FRowClass = brExpense; //!< of the row IsEntry sorted last
};

} // namespace kestrum::exchange
