#include "exchange/CsvColumns.h"

#include "exchange/ExchangeText.h"

namespace kestrum {

namespace {

struct TRoleNames {
    TCsvColumnRole Role;
    bool Weak; //!< taken only when no other column has the role
    QStringList Names;
};

const std::vector<TRoleNames> &RoleNameTable()
{
    static const std::vector<TRoleNames> table = {
        {crAmount,
         false,
         {"金额", "交易金额", "发生额", "交易额", "收支金额", "本次进帐", "消费金额", "amount", "sum",
          "value"}},
        {crDate,
         false,
         {"日期", "交易日期", "记账日期", "发生日期", "交易日", "进帐时间", "消费日期", "date",
          "transactiondate", "posteddate", "postingdate", "bookingdate"}},
        {crDate, true, {"时间", "交易时间", "记账时间", "交易创建时间", "付款时间", "time", "datetime"}},
        {crItem,
         false,
         {"项目", "进帐人", "消费者", "进帐项", "消费项", "摘要", "名称", "商品", "商品名称", "交易对方",
          "对方", "用途", "item", "payee", "description", "name", "merchant", "counterparty"}},
        {crCategory, false, {"分类", "类别", "交易分类", "category", "categories"}},
        {crRemark,
         false,
         {"备注", "说明", "附言", "留言", "remark", "remarks", "memo", "note", "notes", "comment"}},
        {crType, false, {"收支", "收/支", "收支类型", "收支方向", "方向", "借贷标志", "direction"}},
        // Some exports call the kind of transaction its type ("即时到账交易").
        {crType, true, {"类型", "type", "kind"}},
        {crIncomeAmount,
         false,
         {"收入", "收入金额", "进帐", "存入", "存入金额", "贷方金额", "credit", "credits", "deposit",
          "deposits", "income", "moneyin", "paidin"}},
        {crExpenseAmount,
         false,
         {"支出", "支出金额", "消费", "取出", "取出金额", "借方金额", "debit", "debits", "withdrawal",
          "withdrawals", "expense", "moneyout", "paidout"}},
    };
    return table;
}

//! Lower case, no blanks, no unit in parentheses: "Amount (CNY)" -> "amount".
QString NormalizedHeader(const QString &header)
{
    QString name = header.trimmed().toLower();
    for (const QChar open : {QChar('('), QChar(0xFF08)}) {
        const qsizetype at = name.indexOf(open);
        if (at > 0)
            name.truncate(at);
    }
    name.remove(QLatin1Char(' '));
    name.remove(QChar(0x3000));
    name.remove(QLatin1Char('_'));
    return name;
}

//! The role a header names, and whether weakly; crIgnore when none.
TCsvColumnRole RoleOfName(const QString &header, bool &weak)
{
    const QString name = NormalizedHeader(header);
    for (const TRoleNames &entry : RoleNameTable())
        if (entry.Names.contains(name)) {
            weak = entry.Weak;
            return entry.Role;
        }
    weak = false;
    return crIgnore;
}

//! Names of a column that says who was paid or paid.
bool IsPayeeHeader(const QString &header)
{
    static const QStringList names = {"payee",        "收付款人", "收款人", "付款人",   "交易对方",
                                      "对方",         "对方户名", "商户",   "商户名称", "merchant",
                                      "counterparty", "name",     "名称"};
    return names.contains(NormalizedHeader(header));
}

} // namespace

QStringList CsvRoleNames(TCsvColumnRole role)
{
    QStringList names;
    for (const TRoleNames &entry : RoleNameTable())
        if (entry.Role == role)
            names += entry.Names;
    return names;
}

TCsvColumnRole CsvRoleOfHeader(const QString &header)
{
    bool weak = false;
    return RoleOfName(header, weak);
}

QString CsvRoleCaption(TCsvColumnRole role)
{
    switch (role) {
    case crIgnore:
        return QStringLiteral("忽略");
    case crAmount:
        return QStringLiteral("金额");
    case crDate:
        return QStringLiteral("日期");
    case crItem:
        return QStringLiteral("项目");
    case crRemark:
        return QStringLiteral("备注");
    case crType:
        return QStringLiteral("类型");
    case crIncomeAmount:
        return QStringLiteral("收入金额");
    case crExpenseAmount:
        return QStringLiteral("支出金额");
    case crCategory:
        return QStringLiteral("类别");
    case crPayee:
        return QStringLiteral("收付款人");
    }
    return QString();
}

namespace exchange {

QList<TCsvColumnRole> MapHeaders(const QStringList &headers)
{
    QList<TCsvColumnRole> mapping(headers.size(), crIgnore);
    QList<bool> weak(headers.size(), false);
    QList<TCsvColumnRole> named(headers.size(), crIgnore);
    for (qsizetype i = 0; i < headers.size(); ++i) {
        bool isWeak = false;
        named[i] = RoleOfName(headers[i], isWeak);
        weak[i] = isWeak;
    }
    auto taken = [&](TCsvColumnRole role) { return mapping.contains(role); };
    for (const bool weakPass : {false, true})
        for (qsizetype i = 0; i < headers.size(); ++i)
            if (named[i] != crIgnore && weak[i] == weakPass && !taken(named[i]))
                mapping[i] = named[i];
    // Beside a category the column that would have been the item is what a
    // QIF file calls the payee (or, named as a description, its memo), so
    // that both files of one account give the same items.
    const qsizetype item = mapping.indexOf(crItem);
    if (taken(crCategory) && item >= 0)
        mapping[item] = IsPayeeHeader(headers[item]) || taken(crRemark) ? crPayee : crRemark;
    return mapping;
}

QList<TCsvColumnRole> GuessRolesFromData(const QList<QStringList> &rows)
{
    qsizetype columns = 0;
    for (const QStringList &row : rows)
        columns = std::max(columns, row.size());
    enum TCellKinds { kDate = 1, kAmount = 2, kType = 4, kText = 8 };
    QList<int> kinds(columns, kDate | kAmount | kType);
    QList<int> filled(columns, 0);
    for (const QStringList &row : rows)
        for (qsizetype c = 0; c < row.size(); ++c) {
            const std::string cell = row[c].trimmed().toStdString();
            if (cell.empty())
                continue;
            ++filled[c];
            QDate date;
            int seconds = 0;
            QString reason;
            exchange::TAmount amount;
            TEntryKind kind = ekIncome;
            if (!ParseDate(cell, date, seconds, reason))
                kinds[c] &= ~kDate;
            // "1.500" reads either way; the reader settles which from the file.
            if (!ParseAmount(cell, amount, reason, DecimalMarkOf(cell)) &&
                !ParseAmount(cell, amount, reason, dmComma))
                kinds[c] &= ~kAmount;
            if (!ParseKindWord(cell, kind))
                kinds[c] &= ~kType;
            if (!(kinds[c] & (kDate | kAmount | kType)))
                kinds[c] |= kText;
        }
    QList<TCsvColumnRole> mapping(columns, crIgnore);
    auto place = [&](TCsvColumnRole role, int kind) {
        for (qsizetype c = 0; c < columns; ++c)
            if (mapping[c] == crIgnore && filled[c] > 0 && (kinds[c] & kind)) {
                mapping[c] = role;
                return true;
            }
        return false;
    };
    if (!place(crDate, kDate) || !place(crAmount, kAmount))
        return {};
    place(crType, kType);
    place(crItem, kText);
    place(crRemark, kText);
    return mapping;
}

int AccountColumnOf(const QStringList &headers)
{
    static const QStringList names = {"account", "accountname", "账户", "帐户", "账户名称", "账户名"};
    for (qsizetype i = 0; i < headers.size(); ++i)
        if (names.contains(NormalizedHeader(headers[i])))
            return int(i);
    return -1;
}

QStringList MappingProblems(const QList<TCsvColumnRole> &mapping, const QStringList &headers)
{
    QStringList problems;
    const QString columns = headers.isEmpty()
                                ? QString()
                                : QStringLiteral("（文件的列：%1）").arg(headers.join(QStringLiteral("、")));
    if (!mapping.contains(crDate))
        problems += QStringLiteral("没有哪一列被当作日期%1").arg(columns);
    const bool split = mapping.contains(crIncomeAmount) || mapping.contains(crExpenseAmount);
    if (!mapping.contains(crAmount) && !split)
        problems += QStringLiteral("没有哪一列被当作金额%1").arg(columns);
    if (mapping.contains(crAmount) && split)
        problems += QStringLiteral("既选了金额列，又选了收入金额或支出金额列；只能选其中一种");
    for (TCsvColumnRole role :
         {crAmount, crDate, crItem, crRemark, crType, crIncomeAmount, crExpenseAmount, crCategory, crPayee})
        if (mapping.count(role) > 1)
            problems += QStringLiteral("有%1列被当作%2；只需要一列")
                            .arg(mapping.count(role))
                            .arg(CsvRoleCaption(role));
    return problems;
}

} // namespace exchange
} // namespace kestrum
