#include "app/LedgerTotals.h"

#include "db/DbField.h"
#include "db/DbQuery.h"

#include <QSet>

#include <algorithm>

namespace kestrum {

namespace {

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

// One pass over each table for the whole year. The year is compared through
// year(), as the labels' statements compare it, so both select the same
// entries whatever form a date is stored in. The window sums add the groups'
// sums up again inside the database: the month's total and the item's year
// total come out of the same statement as the groups. Items are told apart
// without the spaces around them, and entries without one count as one item.
const char *const IncomeByMonth = "select month(进帐时间) as m, sum(本次进帐) as s from gain "
                                  "where year(进帐时间)= :a group by month(进帐时间)";
const char *const ExpenseByMonthAndItem =
    "select month(消费日期) as m, coalesce(trim(消费者), '') as item, sum(消费金额) as s, "
    "sum(sum(消费金额)) over (partition by month(消费日期)) as ms, "
    "sum(sum(消费金额)) over (partition by coalesce(trim(消费者), '')) as ys "
    "from expen where year(消费日期)= :c group by month(消费日期), coalesce(trim(消费者), '')";

//! The month of a result row as an index 0..11, or -1 when it is none.
int MonthIndex(TDbQuery &query)
{
    const Variant month = query.FieldByName(QStringLiteral("m"))->Value();
    if (month.isNull())
        return -1;
    const std::int64_t number = month.toInt64();
    return number >= 1 && number <= 12 ? int(number - 1) : -1;
}

TCents Cents(TDbQuery &query, const char *field)
{
    return SumToCents(query.FieldByName(QString::fromLatin1(field))->Value());
}

void SortLargestFirst(std::vector<TItemAmount> &items)
{
    std::sort(items.begin(), items.end(), [](const TItemAmount &a, const TItemAmount &b) {
        if (a.Amount != b.Amount)
            return a.Amount > b.Amount;
        return a.Item < b.Item;
    });
}

} // namespace

QString OtherItemsName()
{
    return utf8("其他");
}

QString NoItemName()
{
    return utf8("(未填)");
}

std::vector<TItemAmount> TopItems(const std::vector<TItemAmount> &items, int slices)
{
    slices = std::max(slices, 2);
    const QString other = OtherItemsName();
    std::vector<TItemAmount> named;
    bool hasOther = false;
    TCents otherAmount = 0;
    for (const TItemAmount &item : items) {
        if (item.Amount <= 0)
            continue;
        if (item.Item == other) {
            hasOther = true;
            otherAmount += item.Amount;
        } else {
            named.push_back(item);
        }
    }
    SortLargestFirst(named);
    const std::size_t keep =
        named.size() + (hasOther ? 1 : 0) <= std::size_t(slices) ? named.size() : std::size_t(slices - 1);
    for (std::size_t i = keep; i < named.size(); ++i) {
        hasOther = true;
        otherAmount += named[i].Amount;
    }
    named.resize(keep);
    if (hasOther)
        named.push_back({other, otherAmount});
    return named;
}

Variant TLedgerTotals::Sum(const QString &statement, const TLedgerData::TParameterTexts &parameters,
                           const QString &resultField)
{
    TLedgerData::ReplaceAndReopen(FQuery, statement, parameters);
    return FQuery.FieldByName(resultField)->Value();
}

TYearTotals TLedgerTotals::Year(const QString &yearText)
{
    TYearTotals totals;
    totals.Year = yearText;

    TLedgerData::ReplaceAndReopen(FQuery, utf8(IncomeByMonth), {{QStringLiteral("a"), yearText}});
    for (FQuery.First(); !FQuery.Eof(); FQuery.Next()) {
        const int month = MonthIndex(FQuery);
        if (month < 0)
            continue;
        totals.Months[std::size_t(month)].Income = Cents(FQuery, "s");
        totals.Empty = false;
    }

    TLedgerData::ReplaceAndReopen(FQuery, utf8(ExpenseByMonthAndItem), {{QStringLiteral("c"), yearText}});
    QSet<QString> itemsSeen;
    for (FQuery.First(); !FQuery.Eof(); FQuery.Next()) {
        const int month = MonthIndex(FQuery);
        if (month < 0)
            continue;
        totals.Empty = false;
        QString item = FQuery.FieldByName(QStringLiteral("item"))->Value().toString();
        if (item.isEmpty())
            item = NoItemName();
        totals.Months[std::size_t(month)].Expense = Cents(FQuery, "ms");
        totals.MonthExpenseByItem[std::size_t(month)].push_back({item, Cents(FQuery, "s")});
        if (!itemsSeen.contains(item)) {
            itemsSeen.insert(item);
            totals.ExpenseByItem.push_back({item, Cents(FQuery, "ys")});
        }
    }
    FQuery.Close();
    SortLargestFirst(totals.ExpenseByItem);
    for (auto &items : totals.MonthExpenseByItem)
        SortLargestFirst(items);
    return totals;
}

} // namespace kestrum
