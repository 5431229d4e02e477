#include "ledger/RecurringSchedule.h"

#include <QRegularExpression>

#include <limits>

namespace kestrum {

namespace {

//! The schedule's anchor day in the month `months` after its first month,
//! pulled back to the month's last day when the month is shorter.
QDate MonthsAfter(const QDate &first, std::int64_t months)
{
    const std::int64_t index = std::int64_t(first.year()) * 12 + (first.month() - 1) + months;
    if (index < 0 || index / 12 > 9999)
        return {};
    const int year = int(index / 12);
    const int month = int(index % 12) + 1;
    return QDate(year, month, std::min(first.day(), RecurringDaysInMonth(year, month)));
}

} // namespace

int RecurringDaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : days[month - 1];
}

QDate TRecurringSchedule::Occurrence(std::int64_t k) const
{
    if (k < 0 || !FirstDate.isValid() || Every < 1 || (EndCount > 0 && k >= EndCount))
        return {};
    QDate date;
    switch (Unit) {
    case TRecurringUnit::Days:
        date = FirstDate.addDays(k * Every);
        break;
    case TRecurringUnit::Weeks:
        date = FirstDate.addDays(k * Every * 7);
        break;
    case TRecurringUnit::Months:
        date = MonthsAfter(FirstDate, k * Every);
        break;
    case TRecurringUnit::Years:
        date = MonthsAfter(FirstDate, k * Every * 12);
        break;
    }
    if (!date.isValid() || date.year() > 9999 || (EndDate.isValid() && date > EndDate))
        return {};
    return date;
}

QString TRecurringSchedule::Problem() const
{
    if (Item.trimmed().isEmpty())
        return QString::fromUtf8("请填写项目。");
    if (AmountCents <= 0)
        return QString::fromUtf8("金额须为大于 0 的数字，最多两位小数。");
    if (!FirstDate.isValid())
        return QString::fromUtf8("请填写首次日期。");
    if (Every < 1 || Every > 999)
        return QString::fromUtf8("间隔须在 1 到 999 之间。");
    if (EndDate.isValid() && EndDate < FirstDate)
        return QString::fromUtf8("结束日期不能早于首次日期。");
    if (EndCount < 0)
        return QString::fromUtf8("次数不能为负数。");
    return {};
}

std::vector<QDate> RecurringDueDates(const TRecurringSchedule &schedule, const std::set<QDate> &posted,
                                     const QDate &today)
{
    std::vector<QDate> due;
    if (schedule.Paused || !today.isValid())
        return due;
    const QDate newest = posted.empty() ? QDate() : *posted.rbegin();
    for (std::int64_t k = 0;; ++k) {
        const QDate date = schedule.Occurrence(k);
        if (!date.isValid() || date > today)
            break;
        if ((!newest.isValid() || date > newest) && !posted.contains(date))
            due.push_back(date);
    }
    return due;
}

QDate RecurringNextDate(const TRecurringSchedule &schedule, const std::set<QDate> &posted)
{
    const QDate newest = posted.empty() ? QDate() : *posted.rbegin();
    for (std::int64_t k = 0;; ++k) {
        const QDate date = schedule.Occurrence(k);
        if (!date.isValid())
            return {};
        if ((!newest.isValid() || date > newest) && !posted.contains(date))
            return date;
    }
}

const char *RecurringPageTable(TRecurringPage page)
{
    return page == TRecurringPage::Income ? "gain" : "expen";
}

QString RecurringRuleText(const TRecurringSchedule &schedule)
{
    const char *unit = "";
    switch (schedule.Unit) {
    case TRecurringUnit::Days:
        unit = "天";
        break;
    case TRecurringUnit::Weeks:
        unit = "周";
        break;
    case TRecurringUnit::Months:
        unit = "月";
        break;
    case TRecurringUnit::Years:
        unit = "年";
        break;
    }
    QString text = schedule.Every == 1
                       ? QString::fromUtf8("每") + QString::fromUtf8(unit)
                       : QString::fromUtf8("每 %1 %2")
                             .arg(schedule.Every)
                             .arg(QString::fromUtf8(schedule.Unit == TRecurringUnit::Months ? "个月" : unit));
    if (schedule.EndDate.isValid())
        text += QString::fromUtf8("，至 ") + schedule.EndDate.toString(Qt::ISODate);
    if (schedule.EndCount > 0)
        text += QString::fromUtf8("，共 %1 次").arg(schedule.EndCount);
    return text;
}

QString RecurringAmountText(std::int64_t cents)
{
    const QString sign = cents < 0 ? QStringLiteral("-") : QString();
    const std::uint64_t magnitude = cents < 0 ? std::uint64_t(-(cents + 1)) + 1 : std::uint64_t(cents);
    return sign + QString::number(magnitude / 100) + '.' +
           QStringLiteral("%1").arg(int(magnitude % 100), 2, 10, QLatin1Char('0'));
}

std::optional<std::int64_t> ParseRecurringAmount(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,12})(?:\\.(\\d{0,2}))?\\s*$"));
    QString plain = text;
    plain.remove(',');
    const QRegularExpressionMatch match = pattern.match(plain);
    if (!match.hasMatch())
        return std::nullopt;
    const std::int64_t whole = match.captured(1).toLongLong();
    QString fraction = match.captured(2);
    while (fraction.size() < 2)
        fraction += '0';
    const std::int64_t cents = whole * 100 + fraction.toLongLong();
    if (cents <= 0)
        return std::nullopt;
    return cents;
}

} // namespace kestrum
