#include "ledger/UndoHistory.h"

#include "ledger/JournalSql.h"
#include "ledger/Trash.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string>

namespace kestrum {

namespace {

using namespace journal_sql;

std::int64_t Scalar(TDbDriver &db, const std::string &sql, std::int64_t bound = 0)
{
    Statement s = Prepare(db, sql);
    if (bound != 0)
        s->BindInt64(1, bound);
    return s->Step() ? s->ColumnInt64(0) : 0;
}

const char *const NewestDoneSql =
    "SELECT id FROM kestrum_journal_action WHERE kind = 0 AND state = 0 ORDER BY id DESC LIMIT 1";
const char *const OldestUndoneSql =
    "SELECT id FROM kestrum_journal_action WHERE state = 1 ORDER BY id LIMIT 1";

//! The net change of an action per entry: its first journal row tells what
//! the entry was before the action, its last what it became. An action that
//! touched an entry twice (a row replaced and written again, a key changed
//! back) is undone in one step, and one statement per table and kind of
//! change does what a statement per row did.
const char *const NetTableSql =
    "CREATE TEMP TABLE IF NOT EXISTS kestrum_undo_net (tbl TEXT, row_id INTEGER, first_id INTEGER, "
    "existed INTEGER, old_amount, old_date, old_item, old_remark, "
    "exists_after INTEGER, new_amount, new_date, new_item, new_remark)";
// A server's journal holds its values as text, and its conditions are truths.
const char *const ServerNetTableSql =
    "CREATE TEMP TABLE IF NOT EXISTS kestrum_undo_net (tbl text, row_id bigint, first_id bigint, "
    "existed boolean, old_amount text, old_date text, old_item text, old_remark text, "
    "exists_after boolean, new_amount text, new_date text, new_item text, new_remark text)";

const char *const NetFillSql =
    " SELECT f.tbl, f.row_id, f.id, f.kind <> 'I', f.old_amount, "
    "f.old_date, f.old_item, f.old_remark, l.kind <> 'D', l.new_amount, l.new_date, l.new_item, l.new_remark "
    "FROM (SELECT min(id) AS first_id, max(id) AS last_id FROM kestrum_journal WHERE action_id = ?1 "
    "GROUP BY tbl, row_id) g JOIN kestrum_journal f ON f.id = g.first_id JOIN kestrum_journal l ON l.id = "
    "g.last_id";

//! Which side of the net change an undo or redo starts from and goes to.
struct TSides {
    const char *Now;     //!< "new" for an undo: the entry must still be as the action left it
    const char *Wanted;  //!< "old" for an undo: the entry goes back to what it was
    const char *NowHas;  //!< the column telling whether the entry exists now
    const char *WantHas; //!< and whether it exists afterwards
};

const TSides UndoSides{"new", "old", "exists_after", "existed"};
const TSides RedoSides{"old", "new", "existed", "exists_after"};

const char *const ValueNames[] = {"amount", "date", "item", "remark"};

//! Answers SQLite's progress callback: how far an undo got, and whether to go on.
struct TProgressState {
    const std::function<bool(double)> *Report = nullptr;
    double From = 0, To = 0;
    double Ticks = 0, ExpectedTicks = 1;
    bool Cancelled = false;
};

int ProgressTick(void *context)
{
    auto *state = static_cast<TProgressState *>(context);
    state->Ticks += 1;
    const double within = std::min(1.0, state->Ticks / state->ExpectedTicks);
    if (!(*state->Report)(state->From + (state->To - state->From) * within))
        state->Cancelled = true;
    return state->Cancelled ? 1 : 0;
}

//! One undo or redo done with set-based statements inside its transaction.
class TNetWriter {
public:
    TNetWriter(TDbDriver &db, const std::string &failed, const TSides &sides,
               const std::function<bool(double)> &progress)
        : FDb(db), FFile(FileHandle(db)), FFailed(failed), FSides(sides), FProgressReport(progress),
          FNet(FFile ? "temp.kestrum_undo_net" : "pg_temp.kestrum_undo_net"), FIs(SameSql(db))
    {
        // A server reports only between the steps: it has no callback
        // inside a statement.
        if (FProgressReport && FFile) {
            FProgress.Report = &FProgressReport;
            sqlite3_progress_handler(FFile, ProgressInstructions, ProgressTick, &FProgress);
        }
    }
    ~TNetWriter()
    {
        if (FFile) {
            if (FProgressReport)
                sqlite3_progress_handler(FFile, 0, nullptr, nullptr);
            sqlite3_exec(FFile, "DROP TABLE IF EXISTS temp.kestrum_undo_net", nullptr, nullptr, nullptr);
        }
        // On a server the table goes with the transaction's end (ON COMMIT
        // would not reach a rolled-back one): it is emptied before each use.
    }

    //! Reads the action's net change; answers how many entries it touched.
    std::int64_t Read(std::int64_t action)
    {
        // A server would notice a table that is there already aloud: it is
        // looked for first (it lasts the session once a transaction made it).
        if (FFile || Guarded([&] {
                return Prepare(FDb, "SELECT 1 WHERE to_regclass('pg_temp.kestrum_undo_net') IS NULL")->Step();
            }))
            Run(FFile ? NetTableSql : ServerNetTableSql);
        Run("DELETE FROM " + FNet);
        // Counting by the action's index is cheap and sizes the progress.
        Statement count = Prepare(FDb, "SELECT count(*) FROM kestrum_journal WHERE action_id = ?1");
        count->BindInt64(1, action);
        const std::int64_t rows = Guarded([&] { return count->Step() ? count->ColumnInt64(0) : 0; });
        count.reset();
        FRows = std::max<std::int64_t>(rows, 1);
        Phase(0.0, 0.35, 40);
        Statement fill = Prepare(FDb, "INSERT INTO " + FNet + NetFillSql);
        fill->BindInt64(1, action);
        Step(*fill);
        return rows;
    }

    //! The ledger tables the action touched; refuses one that is no ledger table any more.
    std::vector<TJournalTable> Tables()
    {
        std::vector<TJournalTable> tables;
        std::vector<QString> names;
        {
            Statement select = Prepare(FDb, "SELECT DISTINCT tbl FROM " + FNet);
            Guarded([&] {
                while (select->Step())
                    names.push_back(Text(*select, 0));
                return 0;
            });
        }
        for (const QString &name : names) {
            TJournalTable table;
            if (!JournalTableOf(FDb, name, table))
                throw EUndoRefused(FFailed + "：表 " + name.toStdString() + " 已不是账目表。");
            FNames.push_back(name.toStdString());
            tables.push_back(table);
        }
        return tables;
    }

    //! Refuses when an entry is not as the action left it (undo) or found it (redo).
    void Check(const std::vector<TJournalTable> &tables)
    {
        Phase(0.35, 0.5, 15);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const TJournalTable &t = tables[i];
            std::string same;
            for (int c = 0; c < 4; ++c)
                same += std::string(c ? " AND " : "") + "t." + Quoted(t.Columns[c]) + FIs +
                        Typed(std::string("n.") + FSides.Now + "_" + ValueNames[c], c, i);
            Statement check =
                Prepare(FDb, "SELECT 1 FROM " + FNet + " n LEFT JOIN " + Quoted(FNames[i]) + " t ON t." +
                                 Quoted(t.Key) + " = n.row_id WHERE n.tbl = ?1 AND CASE WHEN n." +
                                 FSides.NowHas + " THEN t." + Quoted(t.Key) + " IS NULL OR NOT (" + same +
                                 ") ELSE t." + Quoted(t.Key) + " IS NOT NULL END LIMIT 1");
            check->BindText(1, FNames[i]);
            if (Guarded([&] { return check->Step(); }))
                throw EUndoRefused(FFailed + "：该纪录已被其他程序修改。");
        }
    }

    //! Deletes, updates and inserts, one statement each per table.
    void Write(const std::vector<TJournalTable> &tables, const std::function<void()> &written)
    {
        Phase(0.5, 0.85, 60);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const TJournalTable &t = tables[i];
            const std::string name = Quoted(FNames[i]);
            const std::string key = Quoted(t.Key);
            const std::string now = std::string("n.") + FSides.NowHas;
            const std::string want = std::string("n.") + FSides.WantHas;
            std::string sets, columns, values;
            for (int c = 0; c < 4; ++c) {
                const std::string wanted =
                    Typed(std::string("n.") + FSides.Wanted + "_" + ValueNames[c], c, i);
                sets += std::string(c ? ", " : "") + Quoted(t.Columns[c]) + " = " + wanted;
                columns += ", " + Quoted(t.Columns[c]);
                values += ", " + wanted;
            }
            const std::string statements[] = {
                "DELETE FROM " + name + " WHERE " + key + " IN (SELECT n.row_id FROM " + FNet + " n " +
                    "WHERE n.tbl = ?1 AND " + now + " AND NOT " + want + ")",
                "UPDATE " + name + " SET " + sets + " FROM " + FNet +
                    " n WHERE n.tbl = ?1 AND n.row_id = " + name + "." + key + " AND " + now + " AND " + want,
                "INSERT INTO " + name + " (" + key + columns + ") SELECT n.row_id" + values + " FROM " +
                    FNet + " n WHERE n.tbl = ?1 AND NOT " + now + " AND " + want + " ORDER BY n.row_id",
            };
            for (const std::string &sql : statements) {
                Statement write = Prepare(FDb, sql);
                write->BindText(1, FNames[i]);
                Step(*write);
                written();
            }
        }
    }

    //! The undo's or redo's own journal rows, written in one statement while
    //! the triggers are set aside: an update, or the delete or insert of an
    //! entry that exists on one side only. An undo lists them newest first.
    void Journal(bool undo)
    {
        Phase(0.85, 0.95, 25);
        const std::string now = FSides.Now, wanted = FSides.Wanted;
        std::string olds, news;
        for (const char *value : ValueNames) {
            olds += std::string(", CASE WHEN n.") + FSides.NowHas + " THEN n." + now + "_" + value + " END";
            news +=
                std::string(", CASE WHEN n.") + FSides.WantHas + " THEN n." + wanted + "_" + value + " END";
        }
        Run(std::string(
                "INSERT INTO kestrum_journal (action_id, tbl, row_id, kind, old_amount, old_date, old_item, "
                "old_remark, new_amount, new_date, new_item, new_remark) SELECT ") +
            OpenActionSql(FDb) + ", n.tbl, n.row_id, CASE WHEN n." + FSides.NowHas + " AND n." +
            FSides.WantHas + " THEN 'U' WHEN n." + FSides.NowHas + " THEN 'D' ELSE 'I' END" + olds + news +
            " FROM " + FNet + " n WHERE n." + FSides.NowHas + " OR n." + FSides.WantHas +
            " ORDER BY n.first_id " + (undo ? "DESC" : "ASC"));
    }

    //! Trash copies of entries that are back as they were under their old
    //! ids (an update brought them back, or a replace with the same values).
    void ForgetTrashCopiesOfEntriesBack(const std::vector<TJournalTable> &tables)
    {
        Phase(0.95, 1.0, 5);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            if (FNames[i] == "kestrum_budget")
                continue; // the trash holds entries only
            const TJournalTable &t = tables[i];
            std::string same;
            for (int c = 0; c < 4; ++c)
                same += std::string(" AND k.") + (c == 1 ? "entry_date" : ValueNames[c]) + FIs + "e." +
                        Quoted(t.Columns[c]);
            Statement forget = Prepare(
                FDb, "DELETE FROM kestrum_trash WHERE id IN (SELECT k.id FROM " + FNet + " n JOIN " +
                         Quoted(FNames[i]) + " e ON e." + Quoted(t.Key) +
                         " = n.row_id JOIN kestrum_trash k ON k.source = n.tbl AND k.original_id = n.row_id" +
                         same + " WHERE n.tbl = ?1 AND n." + FSides.WantHas + ")");
            forget->BindText(1, FNames[i]);
            Step(*forget);
        }
    }

    //! Whether the user stopped it (a statement failed for that reason).
    bool Cancelled() const { return FProgress.Cancelled; }

private:
    //! SQLite virtual-machine instructions between two progress calls.
    static constexpr int ProgressInstructions = 20000;

    void Phase(double from, double to, double instructionsPerRow)
    {
        FProgress.From = from;
        FProgress.To = to;
        FProgress.Ticks = 0;
        FProgress.ExpectedTicks = std::max(1.0, double(FRows) * instructionsPerRow / ProgressInstructions);
        if (FProgressReport && !FProgressReport(from))
            throw EUndoCancelled();
    }
    void Run(const std::string &sql)
    {
        Statement statement = Guarded([&] { return Prepare(FDb, sql); });
        Step(*statement);
    }
    void Step(TDbStatement &statement)
    {
        Guarded([&] {
            journal_sql::Run(statement);
            return 0;
        });
    }
    //! Runs `work`; a failure is the user's stop or says what failed.
    template <class TWork> auto Guarded(TWork &&work) -> decltype(work())
    {
        try {
            return work();
        } catch (const EDbDriverError &e) {
            if (FProgress.Cancelled)
                throw EUndoCancelled();
            if (!FFile && e.Kind() == TDbErrorKind::Busy)
                throw; // Apply says what it means
            throw Exception(FFailed + "：" + e.what());
        } catch (const Exception &e) {
            if (FProgress.Cancelled)
                throw EUndoCancelled();
            throw Exception(FFailed + "：" + e.what());
        }
    }
    //! A journal value in the ledger column `column` of the `table`th table.
    std::string Typed(const std::string &value, int column, std::size_t table) const
    {
        return TypedSql(FDb, value, column, FNames[table] == "kestrum_budget");
    }

    TDbDriver &FDb;
    sqlite3 *FFile; //!< null on a server
    std::string FFailed;
    TSides FSides;
    std::function<bool(double)> FProgressReport;
    TProgressState FProgress;
    std::int64_t FRows = 1;
    std::string FNet; //!< the net change's table
    const char *FIs;  //!< equal, nulls alike
    std::vector<std::string> FNames;
};

bool TrashTableExists(TDbDriver &db)
{
    return TableExists(db, "kestrum_trash");
}

} // namespace

std::optional<TUndoAction> TUndoHistory::Describe(std::int64_t action) const
{
    if (action == 0)
        return std::nullopt;
    TUndoAction described{action, {}};
    Statement label = Prepare(FDb, "SELECT label FROM kestrum_journal_action WHERE id = ?1");
    label->BindInt64(1, action);
    if (label->Step() && label->ColumnType(0) == TDbValueType::Text)
        described.Label = Text(*label, 0);
    if (!described.Label.isEmpty())
        return described;
    // An import may make one action of a million rows: count them, and read
    // a row only when there is one.
    Statement counts =
        Prepare(FDb, "SELECT count(*), min(kind), max(kind) FROM kestrum_journal WHERE action_id = ?1");
    counts->BindInt64(1, action);
    if (!counts->Step())
        return described;
    const std::int64_t rows = counts->ColumnInt64(0);
    if (rows == 1) {
        counts.reset();
        described.Label = JournalActionLabel(ReadActionRows(FDb, action));
    } else if (rows > 1) {
        const std::string first = counts->ColumnText(1);
        const std::string last = counts->ColumnText(2);
        const bool oneKind = !first.empty() && !last.empty() && first[0] == last[0];
        described.Label = (oneKind ? JournalKindWord(TJournalKind(first[0])) : QString::fromUtf8("更改")) +
                          ' ' + QString::number(rows) + QString::fromUtf8(" 条纪录");
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
    try {
        return Transact(undo, expected, failed);
    } catch (const EDbDriverError &e) {
        // A server's undo is serializable: a row that someone else changed
        // while it ran fails its write or its commit, and nothing is written.
        if (OnServer(FDb) && e.Kind() == TDbErrorKind::Busy)
            throw EUndoRefused(failed + "：该纪录已被其他程序修改。");
        throw;
    }
}

TUndoAction TUndoHistory::Transact(bool undo, std::int64_t expected, const std::string &failed)
{
    TWriteTransaction transaction(FDb, failed);
    const std::int64_t action = Scalar(FDb, undo ? NewestDoneSql : OldestUndoneSql);
    if (action == 0)
        throw EUndoRefused(undo ? "没有可以撤销的操作。" : "没有可以重做的操作。");
    if (expected != 0 && action != expected)
        throw EUndoRefused(failed + "：账目已被其他程序修改，" + (undo ? "撤销" : "重做") +
                           "菜单所示的操作已不是下一步。请查看当前的账目后再试。");
    const TUndoAction described = *Describe(action);
    TNetWriter writer(FDb, failed, undo ? UndoSides : RedoSides, OnProgress);
    try {
        FLastEntries = writer.Read(action);
        const std::vector<TJournalTable> tables = writer.Tables();
        writer.Check(tables);
        OpenJournalAction(FDb, {}, undo ? TJournalActionKind::Undo : TJournalActionKind::Redo, action);
        Step(TUndoStep::Began);
        // The journal's triggers would write a row per entry; the undo writes
        // its rows in one statement instead, and the triggers are back before
        // the commit (a rollback brings them back too). Entries that an undo
        // takes out were never deleted by anyone: they do not go to the trash,
        // where a later "restore all" would bring them back beside a new copy.
        const bool trash = TrashTableExists(FDb);
        DropJournalTriggers(FDb);
        if (undo && trash)
            DropTrashDeleteTriggers(FDb);
        writer.Write(tables, [this] { Step(TUndoStep::RowWritten); });
        writer.Journal(undo);
        if (trash)
            writer.ForgetTrashCopiesOfEntriesBack(tables);
        EnsureJournal(FDb);
        if (undo && trash)
            EnsureTrash(FDb);
    } catch (const Exception &) {
        // A statement the progress callback stopped fails like any other.
        if (writer.Cancelled())
            throw EUndoCancelled();
        throw;
    }
    CloseJournalAction(FDb);
    Statement mark = Prepare(FDb, "UPDATE kestrum_journal_action SET state = ?1 WHERE id = ?2");
    mark->BindInt64(1, undo ? 1 : 0);
    mark->BindInt64(2, action);
    try {
        Run(*mark);
    } catch (const EDbDriverError &e) {
        if (e.Kind() == TDbErrorKind::Busy)
            throw;
        throw Exception(failed + "：" + e.what());
    } catch (const Exception &e) {
        throw Exception(failed + "：" + e.what());
    }
    Step(TUndoStep::Marked);
    transaction.Commit();
    Step(TUndoStep::Committed);
    return described;
}

void TUndoHistory::JoinActions(const std::vector<std::int64_t> &actions)
{
    if (actions.size() < 2)
        return;
    TWriteTransaction transaction(FDb, "撤销纪录未能保存");
    std::int64_t into = 0;
    std::vector<std::int64_t> joinable;
    Statement check =
        Prepare(FDb, "SELECT 1 FROM kestrum_journal_action WHERE id = ?1 AND kind = 0 AND state = 0");
    for (std::int64_t action : actions) {
        check->BindInt64(1, action);
        if (check->Step()) {
            joinable.push_back(action);
            into = std::max(into, action);
        }
        check->Reset();
    }
    check.reset();
    Statement move = Prepare(FDb, "UPDATE kestrum_journal SET action_id = ?1 WHERE action_id = ?2");
    Statement drop = Prepare(FDb, "DELETE FROM kestrum_journal_action WHERE id = ?1");
    for (std::int64_t action : joinable) {
        if (action == into)
            continue;
        move->BindInt64(1, into);
        move->BindInt64(2, action);
        drop->BindInt64(1, action);
        Run(*move);
        Run(*drop);
    }
    move.reset();
    drop.reset();
    transaction.Commit();
}

std::int64_t TUndoHistory::LastActionOf(const QString &table, TJournalKind kind) const
{
    Statement s = Prepare(FDb, "SELECT action_id FROM kestrum_journal WHERE tbl = ?1 AND kind = ?2 "
                               "ORDER BY id DESC LIMIT 1");
    const char k = char(kind);
    BindText(*s, 1, table);
    s->BindText(2, std::string_view(&k, 1));
    return s->Step() ? s->ColumnInt64(0) : 0;
}

} // namespace kestrum
