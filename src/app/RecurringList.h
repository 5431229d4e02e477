#pragma once
// What the "定期收支" dialog lists and does, with no widgets: one row per
// schedule with its next due date, and adding, changing, pausing and
// deleting schedules in the ledger file. Every change is written at once
// and the rows are read again.
#include "ledger/RecurringSchedule.h"

#include <QDate>
#include <QString>

#include <functional>
#include <vector>

namespace kestrum {

class TDbDriver;

class TRecurringList {
public:
    enum class TColumn { Page, Item, Amount, Rule, FirstDate, NextDate, Remark };
    static constexpr int ColumnCount = 7;
    static QString ColumnTitle(TColumn column);
    //! A text as wide as the column commonly holds, so that a view can size
    //! its columns before there are rows (the remark has none: it takes the
    //! room that is left).
    static QString ColumnSample(TColumn column);

    //! db: the ledger's open connection; not owned. today: the local date.
    TRecurringList(TDbDriver &db, std::function<QDate()> today);

    //! Reads the schedules again.
    void Reload();
    int RowCount() const { return int(FRows.size()); }
    QString Text(int row, TColumn column) const;
    const TRecurringSchedule &Schedule(int row) const { return FRows.at(std::size_t(row)).Schedule; }
    //! The next occurrence to post; invalid once the schedule has ended.
    QDate NextDate(int row) const { return FRows.at(std::size_t(row)).Next; }
    //! Whether the row's next occurrence is today or earlier and it is not paused.
    bool IsDue(int row) const;
    //! The row of a schedule; -1 when it is not listed.
    int RowOf(std::int64_t id) const;

    //! Each raises Exception (the schedule's problem, a file that refuses)
    //! and then changes nothing. Add and Change return the schedule's row.
    int Add(const TRecurringSchedule &schedule);
    int Change(int row, const TRecurringSchedule &schedule);
    void SetPaused(int row, bool paused);
    void Remove(int row);

private:
    struct TRow {
        TRecurringSchedule Schedule;
        QDate Next;
    };
    TDbDriver &FDb;
    std::function<QDate()> FToday;
    std::vector<TRow> FRows;
};

} // namespace kestrum
