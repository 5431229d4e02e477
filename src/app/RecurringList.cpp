#include "app/RecurringList.h"

#include "core/Errors.h"
#include "ledger/RecurringStore.h"

namespace kestrum {

QString TRecurringList::ColumnTitle(TColumn column)
{
    switch (column) {
    case TColumn::Page:
        return QString::fromUtf8("类型");
    case TColumn::Item:
        return QString::fromUtf8("项目");
    case TColumn::Amount:
        return QString::fromUtf8("金额");
    case TColumn::Rule:
        return QString::fromUtf8("周期");
    case TColumn::FirstDate:
        return QString::fromUtf8("首次日期");
    case TColumn::NextDate:
        return QString::fromUtf8("下次到期");
    case TColumn::Remark:
        return QString::fromUtf8("备注");
    }
    return {};
}

QString TRecurringList::ColumnSample(TColumn column)
{
    switch (column) {
    case TColumn::Page:
        return QString::fromUtf8("支出");
    case TColumn::Item:
        return QString::fromUtf8("物业管理费");
    case TColumn::Amount:
        return QStringLiteral("12345.00");
    case TColumn::Rule:
        return QString::fromUtf8("每 2 个月，共 12 次");
    case TColumn::FirstDate:
        return QStringLiteral("2026-12-31");
    case TColumn::NextDate:
        return QString::fromUtf8("2026-12-31（已到期）");
    case TColumn::Remark:
        break;
    }
    return {};
}

TRecurringList::TRecurringList(TDbDriver &db, std::function<QDate()> today)
    : FDb(db), FToday(std::move(today))
{
    Reload();
}

void TRecurringList::Reload()
{
    FRows.clear();
    for (TRecurringSchedule &schedule : LoadRecurringSchedules(FDb)) {
        const QDate next = RecurringNextDate(schedule, PostedRecurringDates(FDb, schedule.Id));
        FRows.push_back({std::move(schedule), next});
    }
}

bool TRecurringList::IsDue(int row) const
{
    const TRow &r = FRows.at(std::size_t(row));
    return !r.Schedule.Paused && r.Next.isValid() && r.Next <= FToday();
}

int TRecurringList::RowOf(std::int64_t id) const
{
    for (std::size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].Schedule.Id == id)
            return int(i);
    return -1;
}

QString TRecurringList::Text(int row, TColumn column) const
{
    const TRow &r = FRows.at(std::size_t(row));
    const TRecurringSchedule &s = r.Schedule;
    switch (column) {
    case TColumn::Page:
        return QString::fromUtf8(s.Page == TRecurringPage::Income ? "收入" : "支出");
    case TColumn::Item:
        return s.Item;
    case TColumn::Amount:
        return RecurringAmountText(s.AmountCents);
    case TColumn::Rule:
        return RecurringRuleText(s);
    case TColumn::FirstDate:
        return s.FirstDate.toString(Qt::ISODate);
    case TColumn::NextDate:
        if (s.Paused)
            return QString::fromUtf8("已暂停");
        if (!r.Next.isValid())
            return QString::fromUtf8("已结束");
        return r.Next.toString(Qt::ISODate) + (IsDue(row) ? QString::fromUtf8("（已到期）") : QString());
    case TColumn::Remark:
        return s.Remark;
    }
    return {};
}

int TRecurringList::Add(const TRecurringSchedule &schedule)
{
    TRecurringSchedule added = schedule;
    added.Id = 0;
    const std::int64_t id = SaveRecurringSchedule(FDb, added);
    Reload();
    return RowOf(id);
}

int TRecurringList::Change(int row, const TRecurringSchedule &schedule)
{
    TRecurringSchedule changed = schedule;
    changed.Id = Schedule(row).Id;
    const std::int64_t id = SaveRecurringSchedule(FDb, changed);
    Reload();
    return RowOf(id);
}

void TRecurringList::SetPaused(int row, bool paused)
{
    SetRecurringPaused(FDb, Schedule(row).Id, paused);
    Reload();
}

void TRecurringList::Remove(int row)
{
    DeleteRecurringSchedule(FDb, Schedule(row).Id);
    Reload();
}

} // namespace kestrum
