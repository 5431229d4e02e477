#include "ledger/UndoHistory.h"

#include "ledger/JournalSql.h"

#include <sqlite3.h>

#include <memory>
#include <string>

namespace kestrum {

namespace {

using namespace journal_sql;

std::int64_t Scalar(sqlite3 *db, const std::string &sql, std::int64_t bound = 0)
{
    Statement s = Prepare(db, sql);
    if (bound != 0)
        sqlite3_bind_int64(s.get(), 1, bound);
    const int step = sqlite3_step(s.get());
    if (step == SQLITE_ROW)
        return sqlite3_column_int64(s.get(), 0);
    if (step != SQLITE_DONE)
        throw Exception(std::string("journal: ") + sqlite3_errmsg(db));
    return 0;
}

const char *const NewestDoneSql =
    "SELECT id FROM kestrum_journal_action WHERE kind = 0 AND state = 0 ORDER BY id DESC LIMIT 1";
const char *const OldestUndoneSql =
    "SELECT id FROM kestrum_journal_action WHERE state = 1 ORDER BY id LIMIT 1";

//! Rolls back unless committed: a refusal or a failure writes nothing.
class TTransaction {
public:
    explicit TTransaction(sqlite3 *db, const std::string &failed) : FDb(db)
    {
        if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            throw Exception(failed + "：" + sqlite3_errmsg(db));
    }
    ~TTransaction()
    {
        if (!FDone)
            sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit()
    {
        Exec(FDb, "COMMIT");
        FDone = true;
    }

private:
    sqlite3 *FDb;
    bool FDone = false;
};

//! Writes one entry's row back to a state the journal recorded, after
//! checking that it is in the state the journal says it left it in.
class TRowWriter {
public:
    TRowWriter(sqlite3 *db, const std::string &failed) : FDb(db), FFailed(failed) {}

    void Write(const TJournalRow &row, TJournalKind kind, bool forward)
    {
        TJournalTable table;
        if (!JournalTableOf(FDb, row.Table, table))
            throw EUndoRefused(FFailed + "：表 " + row.Table.toStdString() + " 已不是账目表。");
        // What the row holds now, and what it gets.
        const bool existedBefore = kind != TJournalKind::Insert;
        const bool existsAfter = kind != TJournalKind::Delete;
        const bool mustExist = forward ? existedBefore : existsAfter;
        const bool willExist = forward ? existsAfter : existedBefore;
        const TJournalValue *expected = forward ? row.Before : row.After;
        const TJournalValue *wanted = forward ? row.After : row.Before;

        const std::string name = Quoted(row.Table.toStdString());
        const std::string key = Quoted(table.Key);
        std::string columns;
        for (const std::string &column : table.Columns)
            columns += (columns.empty() ? "" : ", ") + Quoted(column);
        Statement current = Prepare(FDb, "SELECT " + columns + " FROM " + name + " WHERE " + key + " = ?1");
        sqlite3_bind_int64(current.get(), 1, row.Row);
        const int step = sqlite3_step(current.get());
        if (step != SQLITE_ROW && step != SQLITE_DONE)
            throw Exception(FFailed + "：" + sqlite3_errmsg(FDb));
        const bool exists = step == SQLITE_ROW;
        bool same = exists == mustExist;
        for (int i = 0; same && exists && i < 4; ++i)
            same = JournalColumnValue(current.get(), i) == expected[i];
        current.reset();
        if (!same)
            throw EUndoRefused(FFailed + "：该纪录已被其他程序修改。");

        Statement write(nullptr, sqlite3_finalize);
        if (!willExist) {
            write = Prepare(FDb, "DELETE FROM " + name + " WHERE " + key + " = ?1");
            sqlite3_bind_int64(write.get(), 1, row.Row);
        } else if (!mustExist) {
            write = Prepare(FDb, "INSERT INTO " + name + " (" + key + ", " + columns +
                                     ") VALUES (?1, ?2, ?3, ?4, ?5)");
            sqlite3_bind_int64(write.get(), 1, row.Row);
            for (int i = 0; i < 4; ++i)
                BindJournalValue(write.get(), i + 2, wanted[i]);
        } else {
            std::string sets;
            for (int i = 0; i < 4; ++i)
                sets += (i ? ", " : "") + Quoted(table.Columns[i]) + " = ?" + std::to_string(i + 2);
            write = Prepare(FDb, "UPDATE " + name + " SET " + sets + " WHERE " + key + " = ?1");
            sqlite3_bind_int64(write.get(), 1, row.Row);
            for (int i = 0; i < 4; ++i)
                BindJournalValue(write.get(), i + 2, wanted[i]);
        }
        if (sqlite3_step(write.get()) != SQLITE_DONE)
            throw Exception(FFailed + "：" + sqlite3_errmsg(FDb));
    }

private:
    sqlite3 *FDb;
    std::string FFailed;
};

} // namespace

std::optional<TUndoAction> TUndoHistory::Describe(std::int64_t action) const
{
    if (action == 0)
        return std::nullopt;
    TUndoAction described{action, {}};
    Statement label = Prepare(FDb, "SELECT label FROM kestrum_journal_action WHERE id = ?1");
    sqlite3_bind_int64(label.get(), 1, action);
    if (sqlite3_step(label.get()) == SQLITE_ROW && sqlite3_column_type(label.get(), 0) == SQLITE_TEXT)
        described.Label =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(label.get(), 0)));
    if (!described.Label.isEmpty())
        return described;
    // An import may make one action of a million rows: count them, and read
    // a row only when there is one.
    Statement counts =
        Prepare(FDb, "SELECT count(*), min(kind), max(kind) FROM kestrum_journal WHERE action_id = ?1");
    sqlite3_bind_int64(counts.get(), 1, action);
    if (sqlite3_step(counts.get()) != SQLITE_ROW)
        return described;
    const std::int64_t rows = sqlite3_column_int64(counts.get(), 0);
    if (rows == 1) {
        described.Label = JournalActionLabel(ReadActionRows(FDb, action));
    } else if (rows > 1) {
        const unsigned char *first = sqlite3_column_text(counts.get(), 1);
        const unsigned char *last = sqlite3_column_text(counts.get(), 2);
        const bool oneKind = first && last && first[0] == last[0];
        described.Label =
            (oneKind ? JournalKindWord(TJournalKind(char(first[0]))) : QString::fromUtf8("更改")) + ' ' +
            QString::number(rows) + QString::fromUtf8(" 条纪录");
    }
    return described;
}

std::optional<TUndoAction> TUndoHistory::NextUndo() const
{
    return Describe(Scalar(FDb, NewestDoneSql));
}

std::optional<TUndoAction> TUndoHistory::NextRedo() const
{
    return Describe(Scalar(FDb, OldestUndoneSql));
}

TUndoAction TUndoHistory::Undo(std::int64_t expected)
{
    return Apply(true, expected);
}

TUndoAction TUndoHistory::Redo(std::int64_t expected)
{
    return Apply(false, expected);
}

TUndoAction TUndoHistory::Apply(bool undo, std::int64_t expected)
{
    const std::string failed = undo ? "撤销失败" : "重做失败";
    TTransaction transaction(FDb, failed);
    const std::int64_t action = Scalar(FDb, undo ? NewestDoneSql : OldestUndoneSql);
    if (action == 0)
        throw EUndoRefused(undo ? "没有可以撤销的操作。" : "没有可以重做的操作。");
    if (expected != 0 && action != expected)
        throw EUndoRefused(failed + "：账目已被其他程序修改，" + (undo ? "撤销" : "重做") +
                           "菜单所示的操作已不是下一步。请查看当前的账目后再试。");
    const TUndoAction described = *Describe(action);
    const std::vector<TJournalRow> rows = ReadActionRows(FDb, action);
    OpenJournalAction(FDb, {}, undo ? jaUndo : jaRedo, action);
    Step(TUndoStep::Began);
    TRowWriter writer(FDb, failed);
    if (undo) {
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            writer.Write(*row, row->Kind, false);
            Step(TUndoStep::RowWritten);
        }
    } else {
        for (const TJournalRow &row : rows) {
            writer.Write(row, row.Kind, true);
            Step(TUndoStep::RowWritten);
        }
    }
    CloseJournalAction(FDb);
    Statement mark = Prepare(FDb, "UPDATE kestrum_journal_action SET state = ?1 WHERE id = ?2");
    sqlite3_bind_int(mark.get(), 1, undo ? 1 : 0);
    sqlite3_bind_int64(mark.get(), 2, action);
    if (sqlite3_step(mark.get()) != SQLITE_DONE)
        throw Exception(failed + "：" + sqlite3_errmsg(FDb));
    Step(TUndoStep::Marked);
    transaction.Commit();
    Step(TUndoStep::Committed);
    return described;
}

void TUndoHistory::JoinActions(const std::vector<std::int64_t> &actions)
{
    if (actions.size() < 2)
        return;
    TTransaction transaction(FDb, "journal");
    std::int64_t into = 0;
    std::vector<std::int64_t> joinable;
    Statement check =
        Prepare(FDb, "SELECT 1 FROM kestrum_journal_action WHERE id = ?1 AND kind = 0 AND state = 0");
    for (std::int64_t action : actions) {
        sqlite3_reset(check.get());
        sqlite3_bind_int64(check.get(), 1, action);
        if (sqlite3_step(check.get()) == SQLITE_ROW) {
            joinable.push_back(action);
            into = std::max(into, action);
        }
    }
    check.reset();
    Statement move = Prepare(FDb, "UPDATE kestrum_journal SET action_id = ?1 WHERE action_id = ?2");
    Statement drop = Prepare(FDb, "DELETE FROM kestrum_journal_action WHERE id = ?1");
    for (std::int64_t action : joinable) {
        if (action == into)
            continue;
        for (sqlite3_stmt *s : {move.get(), drop.get()}) {
            sqlite3_reset(s);
            sqlite3_clear_bindings(s);
        }
        sqlite3_bind_int64(move.get(), 1, into);
        sqlite3_bind_int64(move.get(), 2, action);
        sqlite3_bind_int64(drop.get(), 1, action);
        if (sqlite3_step(move.get()) != SQLITE_DONE || sqlite3_step(drop.get()) != SQLITE_DONE)
            throw Exception(std::string("journal: ") + sqlite3_errmsg(FDb));
    }
    move.reset();
    drop.reset();
    transaction.Commit();
}

std::int64_t TUndoHistory::LastActionOf(const QString &table, TJournalKind kind) const
{
    Statement s = Prepare(FDb, "SELECT action_id FROM kestrum_journal WHERE tbl = ?1 AND kind = ?2 "
                               "ORDER BY id DESC LIMIT 1");
    const QByteArray name = table.toUtf8();
    const char k = char(kind);
    sqlite3_bind_text(s.get(), 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(s.get(), 2, &k, 1, SQLITE_TRANSIENT);
    return sqlite3_step(s.get()) == SQLITE_ROW ? sqlite3_column_int64(s.get(), 0) : 0;
}

} // namespace kestrum
