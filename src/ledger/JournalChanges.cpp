#include "ledger/JournalChanges.h"

#include "ledger/Journal.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace kestrum {

namespace {

//! One row written several times is read again once.
void SortUnique(std::vector<TDbChange> &changes)
{
    std::sort(changes.begin(), changes.end(), [](const TDbChange &a, const TDbChange &b) {
        return a.Table != b.Table ? a.Table < b.Table : a.RowId < b.RowId;
    });
    changes.erase(std::unique(changes.begin(), changes.end()), changes.end());
}

} // namespace

TJournalChanges::TJournalChanges(TDbDriver &db) : FDb(db)
{
    Skip();
}

bool TJournalChanges::ReadMark(TMark &mark) const
{
    if (!HasJournal(FDb))
        return false;
    auto rows = FDb.Prepare("SELECT max(id) FROM kestrum_journal");
    mark.LastRow = rows->Step() && !rows->ColumnIsNull(0) ? rows->ColumnInt64(0) : 0;
    // An undo or redo changes an action's state and writes its rows with
    // the journal set aside; a new action (every plain writer's statement
    // opens one) starts done, so only the undone ones tell it.
    auto undone = FDb.Prepare("SELECT count(*), total(id) FROM kestrum_journal_action WHERE state = 1");
    if (undone->Step()) {
        mark.Undone = undone->ColumnInt64(0);
        mark.UndoneIds = undone->ColumnDouble(1);
    }
    return true;
}

void TJournalChanges::Skip()
{
    try {
        FKnown = ReadMark(FMark);
    } catch (const EDatabaseError &) {
        FKnown = false;
    }
}

std::vector<TDbChange> TJournalChanges::Since()
{
    const std::vector<TDbChange> everything{TDbChange{}};
    TMark now;
    try {
        if (!ReadMark(now)) {
            FKnown = false;
            return everything;
        }
        // A journal made since the last look (the program adds one to an
        // older file right after reading its rows) holds every write since.
        const TMark before = FKnown ? FMark : TMark{};
        FMark = now;
        FKnown = true;
        if (now.Undone != before.Undone || now.UndoneIds != before.UndoneIds || now.LastRow < before.LastRow)
            return everything;
        std::vector<TDbChange> changes;
        if (now.LastRow == before.LastRow)
            return changes;
        auto rows = FDb.Prepare(
            "SELECT lower(tbl), row_id FROM kestrum_journal WHERE id > ?1 AND id <= ?2 ORDER BY id");
        rows->BindInt64(1, before.LastRow);
        rows->BindInt64(2, now.LastRow);
        while (rows->Step()) {
            if (int(changes.size()) == MostRows)
                return everything;
            changes.push_back({rows->ColumnText(0), rows->ColumnInt64(1)});
        }
        SortUnique(changes);
        return changes;
    } catch (const EDatabaseError &) {
        FKnown = false;
        return everything;
    }
}

std::optional<std::vector<TDbChange>> RowsOfAction(TDbDriver &db, std::int64_t action, std::size_t most)
{
    // An action writes a row a few times at most (added, then changed):
    // past that many journal rows it is taken as too large to list.
    const std::int64_t journalRows = std::int64_t(most) * 4 + 1;
    try {
        if (action == 0 || !HasJournal(db))
            return std::nullopt;
        auto rows =
            db.Prepare("SELECT lower(tbl), row_id FROM kestrum_journal WHERE action_id = ?1 LIMIT ?2");
        rows->BindInt64(1, action);
        rows->BindInt64(2, journalRows);
        std::vector<TDbChange> changes;
        while (rows->Step()) {
            if (rows->ColumnIsNull(1))
                return std::nullopt;
            changes.push_back({rows->ColumnText(0), rows->ColumnInt64(1)});
        }
        if (std::int64_t(changes.size()) == journalRows)
            return std::nullopt;
        SortUnique(changes);
        if (changes.size() > most)
            return std::nullopt;
        return changes;
    } catch (const EDatabaseError &) {
        return std::nullopt;
    }
}

} // namespace kestrum
