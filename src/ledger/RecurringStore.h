#pragma once
// Recurring entries kept in the ledger file: the schedules
// (kestrum_recurring) and, per schedule, the occurrences already posted
// (kestrum_recurring_posted, one row per schedule and date under a unique
// key). A posting writes its entries and its marks in one transaction, so a
// process that dies in between leaves neither, and two programs posting at
// once serialise on the write lock: the second finds the marks of the first.
//
// A mark counts while the journal action that posted it stands: undoing the
// posting takes the entries back and makes the occurrence due again, a redo
// makes it posted again.
#include "ledger/RecurringSchedule.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

namespace kestrum {

class TDbDriver;

//! Adds the schedule tables to a ledger that lacks them; a file that has
//! them is only looked at, and one that can only be read is left alone.
//! Raises Exception when the file refuses the change. A server's ledger has
//! them from kestrum-db init and is left as it is.
void EnsureRecurring(TDbDriver &db);
//! Whether the file holds the schedule tables.
bool HasRecurring(TDbDriver &db);

//! Every schedule, in the order they were added; none without the tables.
std::vector<TRecurringSchedule> LoadRecurringSchedules(TDbDriver &db);
//! Stores a new schedule (Id 0) or changes a stored one; returns its id.
//! Raises Exception with the schedule's Problem() when it is not valid.
std::int64_t SaveRecurringSchedule(TDbDriver &db, const TRecurringSchedule &schedule);
//! Deletes a schedule with its marks; the entries it posted stay.
void DeleteRecurringSchedule(TDbDriver &db, std::int64_t id);
void SetRecurringPaused(TDbDriver &db, std::int64_t id, bool paused);

//! The dates of a schedule's occurrences whose posting stands.
std::set<QDate> PostedRecurringDates(TDbDriver &db, std::int64_t scheduleId);

//! One occurrence to post; the amount may differ from the schedule's (a
//! variable bill).
struct TRecurringDue {
    std::int64_t ScheduleId = 0;
    QDate Date;
    TRecurringPage Page = TRecurringPage::Expense;
    std::int64_t AmountCents = 0;
    QString Item;
    QString Remark;
};

//! Every occurrence up to `today` still to be posted, oldest first; missed
//! periods each once.
std::vector<TRecurringDue> DueRecurringEntries(TDbDriver &db, const QDate &today);

//! Steps of a posting, for tests that stop the process between them.
enum class TRecurringPostStep { Began, EntryWritten, Marked, Committed };

struct TRecurringPostResult {
    int Posted = 0;
    //! Occurrences no longer due when the posting ran (another program posted
    //! them, the schedule was paused, changed or deleted): left out.
    int Skipped = 0;
};

//! Posts the occurrences as entries of their pages and marks them, all in
//! one write transaction and, when the file has a journal, one journal
//! action (one undo takes them all back). Each occurrence is checked again
//! against the file under the write lock; what is no longer due by
//! `today` is skipped. Raises Exception and writes nothing when the file fails.
TRecurringPostResult PostRecurringEntries(TDbDriver &db, const std::vector<TRecurringDue> &entries,
                                          const QDate &today,
                                          const std::function<void(TRecurringPostStep)> &onStep = {});

} // namespace kestrum
