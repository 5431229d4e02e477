#include "exchange/CsvBillRows.h"

#include "exchange/ExchangeDates.h"
#include "exchange/ExchangeText.h"

namespace kestrum::exchange {

namespace {

//! The most characters an item of a bill keeps (a counterparty may be a long shop name).
constexpr int BillItemLength = 50;

} // namespace

void TCsvBillRows::FindClosedTrades(TCsvRow rows, int recordsToPass)
{
    int line = 0;
    while (rows.Next(line)) {
        if (rows.IsBlank() || recordsToPass-- > 0)
            continue;
        TAmount amount;
        QString reason;
        if (ClassifyBillRow(rows.Cell(crType), rows.At(Layout.State), rows.At(Layout.TradeType),
                            rows.At(Layout.Goods)) == brClosed &&
            ParseAmount(rows.Cell(crAmount), amount, reason, dmPoint))
            FTally.AddClosedTrade(rows.At(Layout.Counterparty), amount.Cents, line);
    }
}

bool TCsvBillRows::IsEntry(const TCsvRow &row, int line)
{
    FRowClass = ClassifyBillRow(row.Cell(crType), row.At(Layout.State), row.At(Layout.TradeType),
                                row.At(Layout.Goods));
    const std::string_view amountText = row.Cell(crAmount);
    TAmount amount;
    QString reason;
    const bool amountRead = ParseAmount(amountText, amount, reason, dmPoint);
    const std::string shown = amountRead ? std::string(AmountText(amount.Cents)) : std::string(amountText);
    switch (FRowClass) {
    case brNeutral:
        FTally.CountNeutral(line);
        return false;
    case brClosed:
        FTally.ListClosed(line, row.At(Layout.Counterparty), shown, row.At(Layout.State));
        return false;
    case brRefund:
        if (amountRead)
            if (const int tradeLine = FTally.TakeClosedTrade(row.At(Layout.Counterparty), amount.Cents)) {
                FTally.ListRefundOfClosed(line, row.At(Layout.Counterparty), shown, row.At(Layout.State),
                                          tradeLine);
                return false;
            }
        return true;
    case brIncome:
    case brExpense:
        break;
    }
    return true;
}

TEntrySource::TStep TCsvBillRows::Parse(const TCsvRow &row, TForeignEntry &entry, TBadRecord &bad, int line)
{
    entry.Exact.reset();
    entry.HasAmount = entry.HasDate = true;
    entry.EmptyItemIsText = entry.EmptyRemarkIsText = false;
    TAmount amount;
    QString reason;
    // The direction column says the kind; a minus in the amount only repeats it.
    if (!ParseAmount(row.Cell(crAmount), amount, reason, dmPoint) ||
        !ParseDate(row.Cell(crDate), entry.Date, entry.Seconds, reason)) {
        bad.Reason = reason;
        return TEntrySource::esBad;
    }
    entry.Kind = FRowClass == brIncome ? ekIncome : ekExpense;
    entry.Cents = FRowClass == brRefund ? -amount.Cents : amount.Cents;
    // The app's number of the trade tells a bill read again from another
    // export of it, whatever the export calls its category now.
    entry.TransactionId.assign(row.At(Layout.TradeNumber));
    if (FRowClass == brRefund)
        FTally.CountRefund(line);
    auto given = [](std::string_view text) { return !text.empty() && text != "/"; };
    const std::string_view counterparty = row.At(Layout.Counterparty);
    std::string_view goods = row.Cell(crRemark);
    if (!given(goods) && Layout.Kind == pbWechat)
        goods = row.At(Layout.TradeType); // "微信红包", "转账": what the row was, where no goods are named
    std::string_view item = row.Cell(crItem);
    if (!given(item))
        item = given(counterparty) ? counterparty : goods;
    entry.Item.assign(given(item) ? item : std::string_view());
    CutToCharacters(entry.Item, BillItemLength);
    entry.Remark.clear();
    for (const std::string_view part : {goods, counterparty, row.At(Layout.Note)})
        if (given(part)) {
            if (!entry.Remark.empty())
                entry.Remark += "；";
            entry.Remark += part;
        }
    return TEntrySource::esEntry;
}

} // namespace kestrum::exchange
