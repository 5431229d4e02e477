#pragma once
// A recurring entry (the rent, a salary) and the dates it falls due on. All
// arithmetic is on calendar dates, never on times of day, so a change to or
// from summer time cannot move an occurrence to another day.
//
// Monthly and yearly schedules keep the day of their first date as an
// anchor: a rent first due on 31 January falls on 28 (or 29) February and on
// 31 March again, never drifting to the 28th for good.
#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace kestrum {

//! The page an entry goes to.
enum class TRecurringPage {
    Income,  //!< gain
    Expense, //!< expen
};

//! The unit of a schedule's step.
enum class TRecurringUnit {
    Days = 0,
    Weeks = 1,
    Months = 2,
    Years = 3,
};

struct TRecurringSchedule {
    std::int64_t Id = 0; //!< 0 for one not stored yet
    TRecurringPage Page = TRecurringPage::Expense;
    std::int64_t AmountCents = 0;
    QString Item;
    QString Remark;
    QDate FirstDate;
    TRecurringUnit Unit = TRecurringUnit::Months;
    int Every = 1;    //!< the step: every N units, at least 1
    QDate EndDate;    //!< the last day an occurrence may fall on; invalid for none
    int EndCount = 0; //!< how many occurrences in all; 0 for no limit
    bool Paused = false;

    //! The k-th occurrence (0 is the first date); invalid past the end date
    //! or count, or when the schedule itself is not valid.
    QDate Occurrence(std::int64_t k) const;

    //! Why the schedule cannot be stored, in the user's words; empty when it can.
    QString Problem() const;
};

//! The occurrences up to `today` still to be posted: neither posted nor
//! older than the newest posted one (an occurrence left out when a later one
//! was posted counts as passed over). Nothing for a paused schedule; with a
//! clock set back, nothing after the day it shows.
std::vector<QDate> RecurringDueDates(const TRecurringSchedule &schedule, const std::set<QDate> &posted,
                                     const QDate &today);
//! The next occurrence to post, however far ahead; invalid once the schedule
//! has ended.
QDate RecurringNextDate(const TRecurringSchedule &schedule, const std::set<QDate> &posted);

//! The table a page's entries live in ("gain", "expen").
const char *RecurringPageTable(TRecurringPage page);

//! Days in a month of a year, leap years included.
int RecurringDaysInMonth(int year, int month);

//! "每月", "每 2 周", "每年" ...
QString RecurringRuleText(const TRecurringSchedule &schedule);

//! An amount in cents as the ledger shows it: "2800.00".
QString RecurringAmountText(std::int64_t cents);
//! "2800", "35.5", "1,234.56" as cents; nothing for text that is no positive
//! amount of at most two decimals.
std::optional<std::int64_t> ParseRecurringAmount(const QString &text);

} // namespace kestrum
