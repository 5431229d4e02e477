#include "exchange/PaymentBill.h"

#include "exchange/ExchangeText.h"

namespace kestrum::exchange {

namespace {

bool Contains(std::string_view text, std::string_view word)
{
    return text.find(word) != std::string_view::npos;
}

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString Lines(const std::vector<int> &lines, int total)
{
    QStringList listed;
    for (const int line : lines)
        listed += QString::number(line);
    QString text = listed.join(QStringLiteral("、"));
    if (total > int(lines.size()))
        text += QStringLiteral("……");
    return text;
}

std::string TradeKey(std::string_view counterparty, std::int64_t cents)
{
    std::string key(Trimmed(counterparty));
    key += '\x1f';
    key += std::to_string(cents);
    return key;
}

} // namespace

TPaymentBillLayout PaymentBillLayoutOf(const QStringList &headers)
{
    auto column = [&](std::initializer_list<const char *> names) {
        for (qsizetype i = 0; i < headers.size(); ++i)
            for (const char *name : names)
                if (headers[i].trimmed() == QString::fromUtf8(name))
                    return int(i);
        return -1;
    };
    TPaymentBillLayout layout;
    layout.Time = column({"交易时间"});
    if (layout.Time < 0 || column({"收/支"}) < 0 || column({"金额", "金额(元)", "金额（元）"}) < 0) {
        // The older Alipay export: 交易号,商家订单号,交易创建时间,付款时间,…,类型,交易对方,商品名称,
        // 金额（元）,收/支,交易状态,…,资金状态. It has no categories.
        layout.Time = column({"交易创建时间"});
        if (layout.Time < 0 || column({"收/支"}) < 0 || column({"金额（元）", "金额(元)"}) < 0 ||
            column({"商品名称"}) < 0 || column({"交易状态"}) < 0 || column({"类型"}) < 0)
            return layout;
        layout.Kind = pbAlipay;
        layout.TradeType = column({"类型"});
        layout.Goods = column({"商品名称"});
        layout.State = column({"交易状态"});
        layout.Counterparty = layout.Item = column({"交易对方"});
        layout.Note = column({"备注"});
        layout.TradeNumber = column({"交易号"});
        if (layout.Counterparty < 0)
            layout.Kind = pbNone;
        return layout;
    }
    layout.Counterparty = column({"交易对方"});
    layout.Note = column({"备注"});
    layout.TradeNumber = column({"交易订单号", "交易单号"});
    if (column({"交易分类"}) >= 0 && column({"商品说明"}) >= 0 && column({"交易状态"}) >= 0) {
        layout.Kind = pbAlipay;
        layout.TradeType = layout.Item = column({"交易分类"});
        layout.Goods = column({"商品说明"});
        layout.State = column({"交易状态"});
    } else if (column({"交易类型"}) >= 0 && column({"商品"}) >= 0 && column({"当前状态"}) >= 0) {
        layout.Kind = pbWechat;
        layout.TradeType = column({"交易类型"});
        layout.Goods = column({"商品"});
        layout.State = column({"当前状态"});
        layout.Item = layout.Counterparty;
    }
    if (layout.Counterparty < 0)
        layout.Kind = pbNone;
    return layout;
}

QList<TCsvColumnRole> PaymentBillMapping(const TPaymentBillLayout &layout, const QStringList &headers)
{
    QList<TCsvColumnRole> mapping(headers.size(), crIgnore);
    mapping[layout.Time] = crDate;
    for (qsizetype i = 0; i < headers.size(); ++i) {
        const QString name = headers[i].trimmed();
        if (name == QStringLiteral("收/支"))
            mapping[i] = crType;
        else if (name == QStringLiteral("金额") || name == QStringLiteral("金额(元)") ||
                 name == QStringLiteral("金额（元）"))
            mapping[i] = crAmount;
    }
    // Alipay sorts each trade into a category; WeChat and the older Alipay
    // export only name who was paid.
    mapping[layout.Item] = crItem;
    mapping[layout.Goods] = crRemark;
    return mapping;
}

QString PaymentBillName(TPaymentBillKind kind)
{
    switch (kind) {
    case pbAlipay:
        return QStringLiteral("支付宝账单");
    case pbWechat:
        return QStringLiteral("微信支付账单");
    case pbNone:
        break;
    }
    return QStringLiteral("CSV");
}

bool IsBillEndLine(std::string_view firstCell)
{
    firstCell = Trimmed(firstCell);
    return firstCell.size() >= 10 && firstCell.find_first_not_of('-') == std::string_view::npos;
}

std::string AmountText(std::int64_t cents)
{
    const std::uint64_t magnitude = cents < 0 ? 0 - std::uint64_t(cents) : std::uint64_t(cents);
    std::string text = cents < 0 ? "-" : "";
    text += std::to_string(magnitude / 100);
    text += '.';
    text += char('0' + magnitude % 100 / 10);
    text += char('0' + magnitude % 10);
    return text;
}

void CutToCharacters(std::string &text, int characters)
{
    int seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == characters) {
            text.resize(i);
            return;
        }
}

TBillRowClass ClassifyBillRow(std::string_view direction, std::string_view state, std::string_view tradeType,
                              std::string_view goods)
{
    direction = Trimmed(direction);
    state = Trimmed(state);
    if (Contains(state, "关闭") || Contains(state, "失败") || Contains(state, "全额退款"))
        return brClosed;
    if (direction == "支出")
        return brExpense; // also a trade refunded in part: its refund is a row of its own
    if (Contains(state, "退款") || Contains(tradeType, "退款") || Trimmed(goods).starts_with("退款"))
        return brRefund;
    if (direction == "收入")
        return brIncome;
    return brNeutral;
}

void TPaymentBillTally::AddClosedTrade(std::string_view counterparty, std::int64_t cents, int line)
{
    FClosedTrades[TradeKey(counterparty, cents)].push_back(line);
}

int TPaymentBillTally::TakeClosedTrade(std::string_view counterparty, std::int64_t cents)
{
    if (FClosedTrades.empty())
        return 0;
    const auto found = FClosedTrades.find(TradeKey(counterparty, cents));
    if (found == FClosedTrades.end() || found->second.empty())
        return 0;
    const int line = found->second.front();
    found->second.erase(found->second.begin());
    return line;
}

void TPaymentBillTally::CountNeutral(int line)
{
    if (FNeutralLines.size() < MaxListed)
        FNeutralLines.push_back(line);
    ++FNeutral;
}

void TPaymentBillTally::ListClosed(int line, std::string_view counterparty, std::string_view amount,
                                   std::string_view state)
{
    if (FClosed++ < int(MaxListed))
        FClosedRows += QStringLiteral("第%1行（%2，%3，%4）")
                           .arg(line)
                           .arg(Text(Trimmed(counterparty)), Text(amount), Text(Trimmed(state)));
}

void TPaymentBillTally::ListRefundOfClosed(int line, std::string_view counterparty, std::string_view amount,
                                           std::string_view state, int tradeLine)
{
    if (FClosed++ < int(MaxListed))
        FClosedRows += QStringLiteral("第%1行（%2，%3，%4，退的是第%5行的交易）")
                           .arg(line)
                           .arg(Text(Trimmed(counterparty)), Text(amount), Text(Trimmed(state)))
                           .arg(tradeLine);
}

void TPaymentBillTally::CountRefund(int line)
{
    if (FRefundLines.size() < MaxListed)
        FRefundLines.push_back(line);
    ++FRefunds;
}

QStringList TPaymentBillTally::Notes() const
{
    QStringList notes;
    if (FNeutral > 0)
        notes += QStringLiteral("有%1条纪录不计收支（充值、提现、自己账户间的转账、理财、还款等），"
                                "不是收入或支出，没有导入（第%2行）")
                     .arg(FNeutral)
                     .arg(Lines(FNeutralLines, FNeutral));
    if (FClosed > 0)
        notes += QStringLiteral("跳过了%1笔已关闭或已全额退款的交易：%2%3")
                     .arg(FClosed)
                     .arg(FClosedRows.join(QStringLiteral("、")))
                     .arg(FClosed > int(MaxListed) ? QStringLiteral("……") : QString());
    if (FRefunds > 0)
        notes += QStringLiteral("有%1条退款按负数的支出导入（第%2行）")
                     .arg(FRefunds)
                     .arg(Lines(FRefundLines, FRefunds));
    return notes;
}

} // namespace kestrum::exchange
