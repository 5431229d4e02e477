#include "app/BudgetDialogModel.h"

#include "app/LedgerTotals.h"
#include "core/MoneyFormat.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"

#include <QRegularExpression>

namespace kestrum {

std::optional<TBudgetCents> ParseBudgetAmount(const QString &text)
{
    QString digits = text.trimmed();
    const RegionalSettings &settings = regionalSettings();
    if (!settings.currencySymbol.isEmpty())
        digits.remove(settings.currencySymbol);
    digits.remove(utf8("￥")).remove(utf8("¥")).remove(' ');
    if (!settings.thousandSeparator.isNull() && settings.thousandSeparator != settings.decimalSeparator)
        digits.remove(settings.thousandSeparator);
    digits.replace(settings.decimalSeparator, QLatin1Char('.'));
    if (digits.isEmpty())
        return std::nullopt;
    static const QRegularExpression amount(QStringLiteral("^(\\d{1,13})(?:\\.(\\d{0,2}))?$"));
    const QRegularExpressionMatch match = amount.match(digits);
    if (!match.hasMatch())
        throw EBudgetRefused(utf8("“%1”不是有效的预算金额：请输入不小于零、最多两位小数的金额。")
                                 .arg(text.trimmed())
                                 .toStdString());
    const QString fen = (match.captured(2) + QStringLiteral("00")).left(2);
    return match.captured(1).toLongLong() * 100 + fen.toLongLong();
}

QString BudgetMoneyText(TBudgetCents amount)
{
    return formatMoneyUnits(amount, 2, regionalSettings());
}

TBudgetDialogModel::TBudgetDialogModel(TDbDriver &db, const TBudgetMonth &month) : FBook(db), FMonth(month)
{
    FItems = FBook.ItemsOf(FKind);
    Reload();
}

void TBudgetDialogModel::SetMonth(const TBudgetMonth &month)
{
    if (!month.Valid())
        return;
    FMonth = month;
    Reload();
}

void TBudgetDialogModel::SetKind(TBudgetKind kind)
{
    FKind = kind == TBudgetKind::Income ? TBudgetKind::Income : TBudgetKind::Expense;
    FItems = FBook.ItemsOf(FKind);
    Reload();
}

void TBudgetDialogModel::Reload()
{
    FOverview = FBook.Overview(FMonth, FKind, FItems);
}

QString TBudgetDialogModel::ItemText(int row) const
{
    const QString &item = Line(row).Item;
    return item.isEmpty() ? NoItemName() : item;
}

QString TBudgetDialogModel::BudgetText(int row) const
{
    const TBudgetLine &line = Line(row);
    return line.Budget ? BudgetMoneyText(*line.Budget) : QString();
}

QString TBudgetDialogModel::ActualText(int row) const
{
    return BudgetMoneyText(Line(row).Actual);
}

QString TBudgetDialogModel::LeftText(int row) const
{
    const TBudgetLine &line = Line(row);
    return line.Budget ? BudgetMoneyText(line.Left()) : QString();
}

void TBudgetDialogModel::SetBudget(int row, std::optional<TBudgetCents> amount)
{
    if (row < 0 || row >= RowCount())
        return;
    if (Line(row).Budget == amount)
        return;
    FBook.SetBudget(FKind, Line(row).Item, FMonth, amount);
    changed();
}

void TBudgetDialogModel::SetItemBudget(const QString &item, std::optional<TBudgetCents> amount)
{
    FBook.SetBudget(FKind, item, FMonth, amount);
    changed();
}

void TBudgetDialogModel::SetTotalBudget(std::optional<TBudgetCents> amount)
{
    if (FOverview.TotalBudget == amount)
        return;
    FBook.SetBudget(TBudgetKind::Total, QString(), FMonth, amount);
    changed();
}

void TBudgetDialogModel::CopyPreviousMonth()
{
    FBook.CopyPreviousMonth(FMonth);
    changed();
}

void TBudgetDialogModel::ClearMonth()
{
    FBook.ClearMonth(FMonth);
    changed();
}

QString TBudgetDialogModel::SummaryText() const
{
    const std::optional<TBudgetCents> budget = FOverview.Budget();
    const bool income = FKind == TBudgetKind::Income;
    if (!budget)
        return income ? utf8("本月还没有收入目标") : utf8("本月还没有预算");
    const TBudgetCents left = FOverview.Left();
    if (income)
        return utf8("本月目标 %1，已收 %2，%3 %4")
            .arg(BudgetMoneyText(*budget), BudgetMoneyText(FOverview.Spent()),
                 left > 0 ? utf8("还差") : utf8("超出"), BudgetMoneyText(left > 0 ? left : -left));
    return utf8("本月预算 %1，已花 %2，%3 %4")
        .arg(BudgetMoneyText(*budget), BudgetMoneyText(FOverview.Spent()),
             left >= 0 ? utf8("还可花") : utf8("超支"), BudgetMoneyText(left >= 0 ? left : -left));
}

void TBudgetDialogModel::changed()
{
    Reload();
    if (OnChanged)
        OnChanged();
}

} // namespace kestrum
