#include "ledger/RecurringStore.h"

#include "core/Errors.h"
#include "ledger/Journal.h"
#include "ledger/JournalSql.h"

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

void BindDate(TDbStatement &s, int parameter, const QDate &date)
{
    if (date.isValid())
        BindText(s, parameter, date.toString(Qt::ISODate));
    else
        s.BindNull(parameter);
}

TRecurringSchedule ReadSchedule(const TDbStatement &s)
{
    TRecurringSchedule schedule;
    schedule.Id = s.ColumnInt64(0);
    schedule.Page = Text(s, 1) == QStringLiteral("gain") ? TRecurringPage::Income : TRecurringPage::Expense;
    schedule.AmountCents = s.ColumnInt64(2);
    schedule.Item = Text(s, 3);
    schedule.Remark = Text(s, 4);
    schedule.FirstDate = QDate::fromString(Text(s, 5), Qt::ISODate);
    schedule.Unit = static_cast<TRecurringUnit>(std::clamp(int(s.ColumnInt64(6)), 0, 3));
    schedule.Every = std::max(1, int(s.ColumnInt64(7)));
    schedule.EndDate = QDate::fromString(Text(s, 8), Qt::ISODate);
    schedule.EndCount = std::max(0, int(s.ColumnInt64(9)));
    schedule.Paused = s.ColumnInt64(10) != 0;
    return schedule;
}

void RequireTables(TDbDriver &db)
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

bool HasRecurring(TDbDriver &db)
{
    return TableExists(db, "kestrum_recurring") && TableExists(db, "kestrum_recurring_posted");
}

void EnsureRecurring(TDbDriver &db)
{
    // A server's ledger has the tables from kestrum-db init.
    if (OnServer(db) || ReadOnlyFile(db) || HasRecurring(db))
        return;
    db.Savepoint("kestrum_recurring_setup");
    try {
        Exec(db, RecurringTablesSql);
        db.ReleaseSavepoint("kestrum_recurring_setup");
    } catch (...) {
        try {
            db.RollbackToSavepoint("kestrum_recurring_setup");
            db.ReleaseSavepoint("kestrum_recurring_setup");
        } catch (const Exception &) {
            // The failure being raised says more.
        }
        throw;
    }
}

std::vector<TRecurringSchedule> LoadRecurringSchedules(TDbDriver &db)
{
    std::vector<TRecurringSchedule> schedules;
    if (!HasRecurring(db))
        return schedules;
    Statement select = Prepare(db, std::string(ScheduleColumns) + "ORDER BY id");
    while (select->Step())
        schedules.push_back(ReadSchedule(*select));
    return schedules;
}

std::int64_t SaveRecurringSchedule(TDbDriver &db, const TRecurringSchedule &schedule)
{
    if (const QString problem = schedule.Problem(); !problem.isEmpty())
        throw Exception(problem.toStdString());
    EnsureRecurring(db);
    RequireTables(db);
    const std::string columns = "page = ?1, amount_cents = ?2, item = ?3, remark = ?4, first_date = ?5, "
                                "unit = ?6, every = ?7, end_date = ?8, end_count = ?9, paused = ?10";
    // An update answers the id of the row it changed, so that a schedule
    // deleted meanwhile is told apart on either engine.
    Statement save =
        schedule.Id == 0
            ? db.PrepareInsert("INSERT INTO kestrum_recurring (page, amount_cents, item, remark, first_date, "
                               "unit, every, end_date, end_count, paused) "
                               "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
                               "id")
            : Prepare(db, "UPDATE kestrum_recurring SET " + columns + " WHERE id = ?11 RETURNING id");
    TDbStatement &s = *save;
    s.BindText(1, RecurringPageTable(schedule.Page));
    s.BindInt64(2, schedule.AmountCents);
    BindText(s, 3, schedule.Item.trimmed());
    if (schedule.Remark.isEmpty())
        s.BindNull(4);
    else
        BindText(s, 4, schedule.Remark);
    BindDate(s, 5, schedule.FirstDate);
    s.BindInt64(6, static_cast<int>(schedule.Unit));
    s.BindInt64(7, schedule.Every);
    BindDate(s, 8, schedule.EndDate);
    if (schedule.EndCount > 0)
        s.BindInt64(9, schedule.EndCount);
    else
        s.BindNull(9);
    s.BindInt64(10, schedule.Paused ? 1 : 0);
    if (schedule.Id == 0) {
        Run(s);
        return db.LastInsertId();
    }
    s.BindInt64(11, schedule.Id);
    const bool changed = s.Step();
    s.Reset();
    if (!changed)
        throw Exception("这条定期收支已被删除。");
    return schedule.Id;
}

void DeleteRecurringSchedule(TDbDriver &db, std::int64_t id)
{
    RequireTables(db);
    TWriteTransaction transaction(db, "定期收支未能保存");
    for (const char *sql : {"DELETE FROM kestrum_recurring_posted WHERE schedule_id = ?1",
                            "DELETE FROM kestrum_recurring WHERE id = ?1"}) {
        Statement statement = Prepare(db, sql);
        statement->BindInt64(1, id);
        Run(*statement);
    }
    transaction.Commit();
}

void SetRecurringPaused(TDbDriver &db, std::int64_t id, bool paused)
{
    RequireTables(db);
    Statement update = Prepare(db, "UPDATE kestrum_recurring SET paused = ?1 WHERE id = ?2");
    update->BindInt64(1, paused ? 1 : 0);
    update->BindInt64(2, id);
    Run(*update);
}

std::set<QDate> PostedRecurringDates(TDbDriver &db, std::int64_t scheduleId)
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
    select->BindInt64(1, scheduleId);
    while (select->Step())
        dates.insert(QDate::fromString(Text(*select, 0), Qt::ISODate));
    return dates;
}

std::vector<TRecurringDue> DueRecurringEntries(TDbDriver &db, const QDate &today)
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

TRecurringPostResult PostRecurringEntries(TDbDriver &db, const std::vector<TRecurringDue> &entries,
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
            select->BindInt64(1, entry.ScheduleId);
            if (select->Step())
                schedules.emplace(entry.ScheduleId, ReadSchedule(*select));
            select->Reset();
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
    Statement insertGain =
        db.PrepareInsert("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") "
                         "VALUES (?1, ?2, ?3, ?4)",
                         "id");
    Statement insertExpen =
        db.PrepareInsert("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\", \"备注\") "
                         "VALUES (?1, ?2, ?3, ?4)",
                         "id");
    // An undone posting left a mark that no longer stands: it makes way.
    Statement dropDead =
        Prepare(db, "DELETE FROM kestrum_recurring_posted WHERE schedule_id = ?1 AND occurs_on = ?2");
    Statement mark = Prepare(db, std::string("INSERT INTO kestrum_recurring_posted "
                                             "(schedule_id, occurs_on, action_id, tbl, row_id, posted_at) "
                                             "VALUES (?1, ?2, ?3, ?4, ?5, ") +
                                     NowSql(db) + ")");
    for (const TRecurringDue &entry : posting) {
        TDbStatement &insert = entry.Page == TRecurringPage::Income ? *insertGain : *insertExpen;
        // Amounts go as the exact decimal of the fen, which a file keeps as
        // the nearest double and a server to the last digit.
        insert.BindDouble(1, double(entry.AmountCents) / 100.0);
        BindText(insert, 2, entry.Date.toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
        BindText(insert, 3, entry.Item.trimmed());
        if (entry.Remark.isEmpty())
            insert.BindNull(4);
        else
            BindText(insert, 4, entry.Remark);
        Run(insert);
        const std::int64_t row = db.LastInsertId();
        step(TRecurringPostStep::EntryWritten);

        dropDead->BindInt64(1, entry.ScheduleId);
        BindDate(*dropDead, 2, entry.Date);
        Run(*dropDead);
        mark->BindInt64(1, entry.ScheduleId);
        BindDate(*mark, 2, entry.Date);
        if (journal)
            mark->BindInt64(3, action);
        else
            mark->BindNull(3);
        mark->BindText(4, RecurringPageTable(entry.Page));
        mark->BindInt64(5, row);
        Run(*mark);
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
