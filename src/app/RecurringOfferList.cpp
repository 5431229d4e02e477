#include "app/RecurringOfferList.h"

namespace kestrum {

QString TRecurringOfferList::ColumnTitle(TColumn column)
{
    switch (column) {
    case TColumn::Post:
        return QString::fromUtf8("入账");
    case TColumn::Date:
        return QString::fromUtf8("日期");
    case TColumn::Page:
        return QString::fromUtf8("类型");
    case TColumn::Item:
        return QString::fromUtf8("项目");
    case TColumn::Amount:
        return QString::fromUtf8("金额");
    case TColumn::Remark:
        return QString::fromUtf8("备注");
    }
    return {};
}

QString TRecurringOfferList::ColumnSample(TColumn column)
{
    switch (column) {
    case TColumn::Date:
        return QStringLiteral("2026-12-31");
    case TColumn::Page:
        return QString::fromUtf8("支出");
    case TColumn::Item:
        return QString::fromUtf8("物业管理费");
    case TColumn::Amount:
        return QStringLiteral("12345.00");
    case TColumn::Post:
    case TColumn::Remark:
        break;
    }
    return {};
}

TRecurringOfferList::TRecurringOfferList(std::vector<TRecurringDue> due)
{
    FRows.reserve(due.size());
    for (TRecurringDue &entry : due)
        FRows.push_back({std::move(entry), true});
}

QString TRecurringOfferList::Title() const
{
    return QString::fromUtf8("有 %1 条定期收支到期").arg(FRows.size());
}

QString TRecurringOfferList::Text(int row, TColumn column) const
{
    const TRecurringDue &due = FRows.at(std::size_t(row)).Due;
    switch (column) {
    case TColumn::Post:
        return {};
    case TColumn::Date:
        return due.Date.toString(Qt::ISODate);
    case TColumn::Page:
        return QString::fromUtf8(due.Page == TRecurringPage::Income ? "收入" : "支出");
    case TColumn::Item:
        return due.Item;
    case TColumn::Amount:
        return RecurringAmountText(due.AmountCents);
    case TColumn::Remark:
        return due.Remark;
    }
    return {};
}

int TRecurringOfferList::TickedCount() const
{
    int count = 0;
    for (const TRow &row : FRows)
        count += row.Ticked ? 1 : 0;
    return count;
}

bool TRecurringOfferList::SetAmountText(int row, const QString &text)
{
    const std::optional<std::int64_t> cents = ParseRecurringAmount(text);
    if (!cents)
        return false;
    FRows.at(std::size_t(row)).Due.AmountCents = *cents;
    return true;
}

std::vector<TRecurringDue> TRecurringOfferList::Chosen() const
{
    std::vector<TRecurringDue> chosen;
    for (const TRow &row : FRows)
        if (row.Ticked)
            chosen.push_back(row.Due);
    return chosen;
}

} // namespace kestrum
