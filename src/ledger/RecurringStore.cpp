#include "ledger/RecurringStore.h"

#include "core/Errors.h"
#include "ledger/Journal.h"
#include "ledger/JournalSql.h"

#include <sqlite3.h>

#include <map>

namespace kestrum {

namespace {

using namespace journal_sql;

// AUTOINCREMENT: a deleted schedule's id is never given to a new one, which
// would otherwise inherit marks written for another schedule.
const char *const RecurringTablesSql =
    "CREATE TABLE IF NOT EXISTS kestrum_recurring ("
    "id INTEGER PRIMARY KEY AUTOINCREMENT, "
    "page TEXT NOT NULL CHECK (page IN ('gain', 'expen')), "
    "amount_cents INTEGER NOT NULL CHECK (amount_cents > 0), "
    "item TEXT NOT NULL, remark TEXT, first_date TEXT NOT NULL, "
    "unit INTEGER NOT NULL CHECK (unit BETWEEN 0 AND 3), every INTEGER NOT NULL CHECK (every >= 1), "
    "end_date TEXT, end_count INTEGER, paused INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS kestrum_recurring_posted ("
    "schedule_id INTEGER NOT NULL, occurs_on TEXT NOT NULL, action_id INTEGER, tbl TEXT, row_id INTEGER, "
    "posted_at TEXT, PRIMARY KEY (schedule_id, occurs_on));";

const char *const ScheduleColumns =
    "SELECT id, page, amount_cents, item, remark, first_date, unit, every, end_date, end_count, paused "
    "FROM kestrum_recurring ";

bool TableExists(sqlite3 *db, const char *name)
{
    Statement find = Prepare(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    sqlite3_bind_text(find.get(), 1, name, -1, SQLITE_STATIC);
    return sqlite3_step(find.get()) == SQLITE_ROW;
}

QString Text(sqlite3_stmt *s, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, column)));
}

void BindText(sqlite3_stmt *s, int parameter, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    sqlite3_bind_text(s, parameter, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

void BindDate(sqlite3_stmt *s, int parameter, const QDate &date)
{
    if (date.isValid())
        BindText(s, parameter, date.toString(Qt::ISODate));
    else
        sqlite3_bind_null(s, parameter);
}

TRecurringSchedule ReadSchedule(sqlite3_stmt *s)
{
    TRecurringSchedule schedule;
    schedule.Id = sqlite3_column_int64(s, 0);
    schedule.Page = Text(s, 1) == QStringLiteral("gain") ? TRecurringPage::Income : TRecurringPage::Expense;
    schedule.AmountCents = sqlite3_column_int64(s, 2);
    schedule.Item = Text(s, 3);
    schedule.Remark = Text(s, 4);
    schedule.FirstDate = QDate::fromString(Text(s, 5), Qt::ISODate);
    schedule.Unit = static_cast<TRecurringUnit>(std::clamp(sqlite3_column_int(s, 6), 0, 3));
    schedule.Every = std::max(1, sqlite3_column_int(s, 7));
    schedule.EndDate = QDate::fromString(Text(s, 8), Qt::ISODate);
    schedule.EndCount = std::max(0, sqlite3_column_int(s, 9));
    schedule.Paused = sqlite3_column_int(s, 10) != 0;
    return schedule;
}

void Step(sqlite3 *db, sqlite3_stmt *s)
{
    if (sqlite3_step(s) != SQLITE_DONE)
        Fail(db, "recurring entries");
}

void RequireTables(sqlite3 *db)
{
    if (!HasRecurring(db))
        throw Exception("这个账本还没有定期收支。");
}

QString PostingLabel(const std::vector<TRecurringDue> &posted)
{
    if (posted.size() == 1)
        return QString::fromUtf8("定期收支 ") + posted.front().Item + ' ' +
               RecurringAmountText(posted.front().AmountCents);
    return QString::fromUtf8("定期收支入账 %1 条纪录").arg(posted.size());
}

} // namespace

bool HasRecurring(sqlite3 *db)
{
    return TableExists(db, "kestrum_recurring") && TableExists(db, "kestrum_recurring_posted");
}

void EnsureRecurring(sqlite3 *db)
{
    if (sqlite3_db_readonly(db, "main") == 1 || HasRecurring(db))
        return;
    Exec(db, "SAVEPOINT kestrum_recurring_setup");
    try {
        Exec(db, RecurringTablesSql);
        Exec(db, "RELEASE kestrum_recurring_setup");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO kestrum_recurring_setup; RELEASE kestrum_recurring_setup", nullptr,
                     nullptr, nullptr);
        throw;
    }
}

std::vector<TRecurringSchedule> LoadRecurringSchedules(sqlite3 *db)
{
    std::vector<TRecurringSchedule> schedules;
    if (!HasRecurring(db))
        return schedules;
    Statement select = Prepare(db, std::string(ScheduleColumns) + "ORDER BY id");
    int step;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW)
        schedules.push_back(ReadSchedule(select.get()));
    if (step != SQLITE_DONE)
        Fail(db, "recurring entries");
    return schedules;
}

std::int64_t SaveRecurringSchedule(sqlite3 *db, const TRecurringSchedule &schedule)
{
    if (const QString problem = schedule.Problem(); !problem.isEmpty())
        throw Exception(problem.toStdString());
    EnsureRecurring(db);
    RequireTables(db);
    Statement save = Prepare(
        db, schedule.Id == 0
                ? "INSERT INTO kestrum_recurring (page, amount_cents, item, remark, first_date, unit, every, "
                  "end_date, end_count, paused) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
                : "UPDATE kestrum_recurring SET page = ?1, amount_cents = ?2, item = ?3, remark = ?4, "
                  "first_date = ?5, unit = ?6, every = ?7, end_date = ?8, end_count = ?9, paused = ?10 "
                  "WHERE id = ?11");
    sqlite3_stmt *s = save.get();
    sqlite3_bind_text(s, 1, RecurringPageTable(schedule.Page), -1, SQLITE_STATIC);
    sqlite3_bind_int64(s, 2, schedule.AmountCents);
    BindText(s, 3, schedule.Item.trimmed());
    if (schedule.Remark.isEmpty())
        sqlite3_bind_null(s, 4);
    else
        BindText(s, 4, schedule.Remark);
    BindDate(s, 5, schedule.FirstDate);
    sqlite3_bind_int(s, 6, static_cast<int>(schedule.Unit));
    sqlite3_bind_int(s, 7, schedule.Every);
    BindDate(s, 8, schedule.EndDate);
    if (schedule.EndCount > 0)
        sqlite3_bind_int(s, 9, schedule.EndCount);
    else
        sqlite3_bind_null(s, 9);
    sqlite3_bind_int(s, 10, schedule.Paused ? 1 : 0);
    if (schedule.Id != 0)
        sqlite3_bind_int64(s, 11, schedule.Id);
    Step(db, s);
    if (schedule.Id == 0)
        return sqlite3_last_insert_rowid(db);
    if (sqlite3_changes(db) == 0)
        throw Exception("这条定期收支已被删除。");
    return schedule.Id;
}

void DeleteRecurringSchedule(sqlite3 *db, std::int64_t id)
{
    RequireTables(db);
    TWriteTransaction transaction(db, "定期收支未能保存");
    for (const char *sql : {"DELETE FROM kestrum_recurring_posted WHERE schedule_id = ?1",
                            "DELETE FROM kestrum_recurring WHERE id = ?1"}) {
        Statement statement = Prepare(db, sql);
        sqlite3_bind_int64(statement.get(), 1, id);
        Step(db, statement.get());
    }
    transaction.Commit();
}

void SetRecurringPaused(sqlite3 *db, std::int64_t id, bool paused)
{
    RequireTables(db);
    Statement update = Prepare(db, "UPDATE kestrum_recurring SET paused = ?1 WHERE id = ?2");
    sqlite3_bind_int(update.get(), 1, paused ? 1 : 0);
    sqlite3_bind_int64(update.get(), 2, id);
    Step(db, update.get());
}

std::set<QDate> PostedRecurringDates(sqlite3 *db, std::int64_t scheduleId)
{
    std::set<QDate> dates;
    if (!HasRecurring(db))
        return dates;
    // A mark stands unless the action that wrote it was undone (state 1, or 2
    // once a later action dropped its redo). A mark with no action (a file
    // without a journal) or whose action is gone stands: never post twice.
    const bool journal = TableExists(db, "kestrum_journal_action");
    Statement select = Prepare(
        db, journal ? "SELECT p.occurs_on FROM kestrum_recurring_posted p "
                      "LEFT JOIN kestrum_journal_action a ON a.id = p.action_id "
                      "WHERE p.schedule_id = ?1 AND (p.action_id IS NULL OR a.id IS NULL OR a.state = 0)"
                    : "SELECT occurs_on FROM kestrum_recurring_posted WHERE schedule_id = ?1");
    sqlite3_bind_int64(select.get(), 1, scheduleId);
    int step;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW)
        dates.insert(QDate::fromString(Text(select.get(), 0), Qt::ISODate));
    if (step != SQLITE_DONE)
        Fail(db, "recurring entries");
    return dates;
}

std::vector<TRecurringDue> DueRecurringEntries(sqlite3 *db, const QDate &today)
{
    std::vector<TRecurringDue> due;
    for (const TRecurringSchedule &schedule : LoadRecurringSchedules(db)) {
        if (schedule.Paused)
            continue;
        for (const QDate &date : RecurringDueDates(schedule, PostedRecurringDates(db, schedule.Id), today))
            due.push_back(
                {schedule.Id, date, schedule.Page, schedule.AmountCents, schedule.Item, schedule.Remark});
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const TRecurringDue &a, const TRecurringDue &b) { return a.Date < b.Date; });
    return due;
}

TRecurringPostResult PostRecurringEntries(sqlite3 *db, const std::vector<TRecurringDue> &entries,
                                          const QDate &today,
                                          const std::function<void(TRecurringPostStep)> &onStep)
{
    const auto step = [&onStep](TRecurringPostStep s) {
        if (onStep)
            onStep(s);
    };
    TRecurringPostResult result;
    if (entries.empty())
        return result;
    RequireTables(db);
    TWriteTransaction transaction(db, "定期收支未能保存");
    // Looked at again under the write lock: what another program posted
    // meanwhile, or a schedule changed since the offer, is not posted.
    std::map<std::int64_t, TRecurringSchedule> schedules;
    {
        Statement select = Prepare(db, std::string(ScheduleColumns) + "WHERE id = ?1");
        for (const TRecurringDue &entry : entries) {
            if (schedules.contains(entry.ScheduleId))
                continue;
            sqlite3_reset(select.get());
            sqlite3_bind_int64(select.get(), 1, entry.ScheduleId);
            if (sqlite3_step(select.get()) == SQLITE_ROW)
                schedules.emplace(entry.ScheduleId, ReadSchedule(select.get()));
        }
    }
    std::map<std::int64_t, std::set<QDate>> stillDue;
    for (const auto &[id, schedule] : schedules) {
        const std::vector<QDate> dates = RecurringDueDates(schedule, PostedRecurringDates(db, id), today);
        stillDue[id] = std::set<QDate>(dates.begin(), dates.end());
    }
    std::vector<TRecurringDue> posting;
    for (const TRecurringDue &entry : entries) {
        auto due = stillDue.find(entry.ScheduleId);
        if (due == stillDue.end() || !due->second.erase(entry.Date) || entry.AmountCents <= 0 ||
            entry.Item.trimmed().isEmpty())
            ++result.Skipped;
        else
            posting.push_back(entry);
    }
    if (posting.empty())
        return result;

    const bool journal = HasJournal(db);
    std::int64_t action = 0;
    if (journal)
        action = OpenJournalAction(db, PostingLabel(posting));
    step(TRecurringPostStep::Began);
    Statement insertGain = Prepare(db, "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") "
                                       "VALUES (?1, ?2, ?3, ?4)");
    Statement insertExpen =
        Prepare(db, "INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\", \"备注\") "
                    "VALUES (?1, ?2, ?3, ?4)");
    // An undone posting left a mark that no longer stands: it makes way.
    Statement dropDead =
        Prepare(db, "DELETE FROM kestrum_recurring_posted WHERE schedule_id = ?1 AND occurs_on = ?2");
    Statement mark = Prepare(db, "INSERT INTO kestrum_recurring_posted "
                                 "(schedule_id, occurs_on, action_id, tbl, row_id, posted_at) "
                                 "VALUES (?1, ?2, ?3, ?4, ?5, datetime('now', 'localtime'))");
    for (const TRecurringDue &entry : posting) {
        sqlite3_stmt *insert = entry.Page == TRecurringPage::Income ? insertGain.get() : insertExpen.get();
        sqlite3_reset(insert);
        sqlite3_clear_bindings(insert);
        sqlite3_bind_double(insert, 1, double(entry.AmountCents) / 100.0);
        BindText(insert, 2, entry.Date.toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
        BindText(insert, 3, entry.Item.trimmed());
        if (!entry.Remark.isEmpty())
            BindText(insert, 4, entry.Remark);
        Step(db, insert);
        const std::int64_t row = sqlite3_last_insert_rowid(db);
        step(TRecurringPostStep::EntryWritten);

        sqlite3_reset(dropDead.get());
        sqlite3_bind_int64(dropDead.get(), 1, entry.ScheduleId);
        BindDate(dropDead.get(), 2, entry.Date);
        Step(db, dropDead.get());
        sqlite3_reset(mark.get());
        sqlite3_clear_bindings(mark.get());
        sqlite3_bind_int64(mark.get(), 1, entry.ScheduleId);
        BindDate(mark.get(), 2, entry.Date);
        if (journal)
            sqlite3_bind_int64(mark.get(), 3, action);
        sqlite3_bind_text(mark.get(), 4, RecurringPageTable(entry.Page), -1, SQLITE_STATIC);
        sqlite3_bind_int64(mark.get(), 5, row);
        Step(db, mark.get());
        step(TRecurringPostStep::Marked);
        ++result.Posted;
    }
    if (journal)
        CloseJournalAction(db);
    transaction.Commit();
    step(TRecurringPostStep::Committed);
    return result;
}

} // namespace kestrum
