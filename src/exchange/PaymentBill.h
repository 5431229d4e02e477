#pragma once
// The bill exports of the payment apps (Alipay, WeChat Pay): which columns
// beyond the usual ones they carry, and what a row is by its direction
// (收/支) and its state. Many rows of such a bill move no money of the
// household (top-ups, transfers between one's own accounts, wealth
// products) or were never completed (closed, fully refunded); those are no
// entries, and the user hears how many and which.
#include "exchange/CsvReader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrum::exchange {

enum TPaymentBillKind : std::uint8_t { pbNone, pbAlipay, pbWechat };

//! Where a bill keeps what the usual roles do not cover; -1 for a column it lacks.
struct TPaymentBillLayout {
    TPaymentBillKind Kind = pbNone;
    int Counterparty = -1; //!< 交易对方
    int Goods = -1;        //!< 商品说明 / 商品
    int TradeType = -1;    //!< 交易分类 / 交易类型
    int State = -1;        //!< 交易状态 / 当前状态
    int Note = -1;         //!< 备注
    int Time = -1;         //!< 交易时间 / 交易创建时间 (the older Alipay export)
    int Item = -1;         //!< what gives the item: the category, else the counterparty
    int TradeNumber = -1;  //!< 交易订单号 / 交易单号 / 交易号: the app's own id of the trade
};

//! The layout when the header row is one of a payment app's bill, else Kind pbNone.
TPaymentBillLayout PaymentBillLayoutOf(const QStringList &headers);
//! The roles such a bill is read with: the time, the amount, 收/支 as the
//! type, the category (Alipay) or the counterparty (WeChat) as the item and
//! the goods as the remark.
QList<TCsvColumnRole> PaymentBillMapping(const TPaymentBillLayout &layout, const QStringList &headers);
QString PaymentBillName(TPaymentBillKind kind); //!< "支付宝账单", "微信支付账单"
//! A line of dashes after a bill's rows (the older Alipay export): what
//! follows it is a summary of the rows, not more of them.
bool IsBillEndLine(std::string_view firstCell);

//! "199.00", "-3.50": an amount for a note.
std::string AmountText(std::int64_t cents);
//! Cuts UTF-8 `text` after `characters` characters.
void CutToCharacters(std::string &text, int characters);

//! What a row of a bill is.
enum TBillRowClass : std::uint8_t {
    brIncome,
    brExpense,
    brRefund,  //!< money given back for an expense: a negative expense
    brNeutral, //!< neither income nor expense (不计收支, "/")
    brClosed,  //!< closed, failed or fully refunded: no money moved in the end
};
TBillRowClass ClassifyBillRow(std::string_view direction, std::string_view state, std::string_view tradeType,
                              std::string_view goods);

//! The rows of one bill that are no entries, and the refunds, for the
//! reader's notes. A refund of a trade the bill shows as closed belongs to
//! that trade and is left out with it, so that it does not count twice.
class TPaymentBillTally {
public:
    //! Before reading: a closed trade of the file, by counterparty and amount.
    void AddClosedTrade(std::string_view counterparty, std::int64_t cents, int line);
    //! The line of the closed trade a refund settles (and that trade is
    //! taken), or 0 when it settles none.
    int TakeClosedTrade(std::string_view counterparty, std::int64_t cents);

    void CountNeutral(int line);
    void ListClosed(int line, std::string_view counterparty, std::string_view amount, std::string_view state);
    void ListRefundOfClosed(int line, std::string_view counterparty, std::string_view amount,
                            std::string_view state, int tradeLine);
    void CountRefund(int line);
    QStringList Notes() const;

private:
    static constexpr std::size_t MaxListed = 20;
    //! Counterparty and amount -> the lines of the closed trades not yet settled.
    std::unordered_map<std::string, std::vector<int>> FClosedTrades;
    int FNeutral = 0, FClosed = 0, FRefunds = 0;
    std::vector<int> FNeutralLines, FRefundLines;
    QStringList FClosedRows;
};

} // namespace kestrum::exchange
