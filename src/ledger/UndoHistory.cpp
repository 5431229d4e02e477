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

//! The net change of an action per entry: its first journal row tells what
//! the entry was before the action, its last what it became. An action that
//! touched an entry twice (a row replaced and written again, a key changed
//! back) is undone in one step, and one statement per table and kind of
//! change does what a statement per row did.
const char *const NetTableSql =
    "CREATE TEMP TABLE IF NOT EXISTS kestrum_undo_net (tbl TEXT, row_id INTEGER, first_id INTEGER, "
    "existed INTEGER, old_amount, old_date, old_item, old_remark, "
    "exists_after INTEGER, new_amount, new_date, new_item, new_remark)";

const char *const NetFillSql =
    "INSERT INTO temp.kestrum_undo_net SELECT f.tbl, f.row_id, f.id, f.kind <> 'I', f.old_amount, "
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
    TNetWriter(sqlite3 *db, const std::string &failed, const TSides &sides,
               const std::function<bool(double)> &progress)
        : FDb(db), FFailed(failed), FSides(sides), FProgressReport(progress)
    {
        if (FProgressReport) {
            FProgress.Report = &FProgressReport;
            sqlite3_progress_handler(db, ProgressInstructions, ProgressTick, &FProgress);
        }
    }
    ~TNetWriter()
    {
        if (FProgressReport)
            sqlite3_progress_handler(FDb, 0, nullptr, nullptr);
        sqlite3_exec(FDb, "DROP TABLE IF EXISTS temp.kestrum_undo_net", nullptr, nullptr, nullptr);
    }

    //! Reads the action's net change; answers how many entries it touched.
    std::int64_t Read(std::int64_t action)
    {
        Run(NetTableSql);
        Run("DELETE FROM temp.kestrum_undo_net");
        // Counting by the action's index is cheap and sizes the progress.
        Statement count = Prepare(FDb, "SELECT count(*) FROM kestrum_journal WHERE action_id = ?1");
        sqlite3_bind_int64(count.get(), 1, action);
        const std::int64_t rows =
            sqlite3_step(count.get()) == SQLITE_ROW ? sqlite3_column_int64(count.get(), 0) : 0;
        count.reset();
        FRows = std::max<std::int64_t>(rows, 1);
        Phase(0.0, 0.35, 40);
        Statement fill = Prepare(FDb, NetFillSql);
        sqlite3_bind_int64(fill.get(), 1, action);
        Step(fill.get());
        return rows;
    }

    //! The ledger tables the action touched; refuses one that is no ledger table any more.
    std::vector<TJournalTable> Tables()
    {
        std::vector<TJournalTable> tables;
        Statement names = Prepare(FDb, "SELECT DISTINCT tbl FROM temp.kestrum_undo_net");
        int step;
        while ((step = sqlite3_step(names.get())) == SQLITE_ROW) {
            const QString name =
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(names.get(), 0)));
            TJournalTable table;
            if (!JournalTableOf(FDb, name, table))
                throw EUndoRefused(FFailed + "：表 " + name.toStdString() + " 已不是账目表。");
            FNames.push_back(name.toStdString());
            tables.push_back(table);
        }
        if (step != SQLITE_DONE)
            Fail();
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
                same += std::string(c ? " AND " : "") + "t." + Quoted(t.Columns[c]) + " IS n." + FSides.Now +
                        "_" + ValueNames[c];
            Statement check = Prepare(
                FDb, "SELECT 1 FROM temp.kestrum_undo_net n LEFT JOIN " + Quoted(FNames[i]) + " t ON t." +
                         Quoted(t.Key) + " = n.row_id WHERE n.tbl = ?1 AND CASE WHEN n." + FSides.NowHas +
                         " THEN t." + Quoted(t.Key) + " IS NULL OR NOT (" + same + ") ELSE t." +
                         Quoted(t.Key) + " IS NOT NULL END LIMIT 1");
            sqlite3_bind_text(check.get(), 1, FNames[i].c_str(), int(FNames[i].size()), SQLITE_TRANSIENT);
            const int step = sqlite3_step(check.get());
            if (step == SQLITE_ROW)
                throw EUndoRefused(FFailed + "：该纪录已被其他程序修改。");
            if (step != SQLITE_DONE)
                Fail();
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
                const std::string wanted = std::string("n.") + FSides.Wanted + "_" + ValueNames[c];
                sets += std::string(c ? ", " : "") + Quoted(t.Columns[c]) + " = " + wanted;
                columns += ", " + Quoted(t.Columns[c]);
                values += ", " + wanted;
            }
            const std::string statements[] = {
                "DELETE FROM " + name + " WHERE " + key +
                    " IN (SELECT n.row_id FROM temp.kestrum_undo_net n " + "WHERE n.tbl = ?1 AND " + now +
                    " AND NOT " + want + ")",
                "UPDATE " + name + " SET " + sets +
                    " FROM temp.kestrum_undo_net n WHERE n.tbl = ?1 AND n.row_id = " + name + "." + key +
                    " AND " + now + " AND " + want,
                "INSERT INTO " + name + " (" + key + columns + ") SELECT n.row_id" + values +
                    " FROM temp.kestrum_undo_net n WHERE n.tbl = ?1 AND NOT " + now + " AND " + want +
                    " ORDER BY n.row_id",
            };
            for (const std::string &sql : statements) {
                Statement write = Prepare(FDb, sql);
                sqlite3_bind_text(write.get(), 1, FNames[i].c_str(), int(FNames[i].size()), SQLITE_TRANSIENT);
                Step(write.get());
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
                "old_remark, new_amount, new_date, new_item, new_remark) "
                "SELECT (SELECT action_id FROM kestrum_journal_open), n.tbl, n.row_id, "
                "CASE WHEN n.") +
            FSides.NowHas + " AND n." + FSides.WantHas + " THEN 'U' WHEN n." + FSides.NowHas +
            " THEN 'D' ELSE 'I' END" + olds + news + " FROM temp.kestrum_undo_net n WHERE n." +
            FSides.NowHas + " OR n." + FSides.WantHas + " ORDER BY n.first_id " + (undo ? "DESC" : "ASC"));
    }

    //! Trash copies of entries that are back as they were under their old
    //! ids (an update brought them back, or a replace with the same values).
    void ForgetTrashCopiesOfEntriesBack(const std::vector<TJournalTable> &tables)
    {
        Phase(0.95, 1.0, 5);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const TJournalTable &t = tables[i];
            std::string same;
            for (int c = 0; c < 4; ++c)
                same += std::string(" AND k.") + (c == 1 ? "entry_date" : ValueNames[c]) + " IS e." +
                        Quoted(t.Columns[c]);
            Statement forget = Prepare(
                FDb, "DELETE FROM kestrum_trash WHERE id IN (SELECT k.id FROM temp.kestrum_undo_net n JOIN " +
                         Quoted(FNames[i]) + " e ON e." + Quoted(t.Key) +
                         " = n.row_id JOIN kestrum_trash k ON k.source = n.tbl AND k.original_id = n.row_id" +
                         same + " WHERE n.tbl = ?1 AND n." + FSides.WantHas + ")");
            sqlite3_bind_text(forget.get(), 1, FNames[i].c_str(), int(FNames[i].size()), SQLITE_TRANSIENT);
            Step(forget.get());
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
        Statement statement = Prepare(FDb, sql);
        Step(statement.get());
    }
    void Step(sqlite3_stmt *statement)
    {
        if (sqlite3_step(statement) == SQLITE_DONE)
            return;
        Fail();
    }
    [[noreturn]] void Fail()
    {
        if (FProgress.Cancelled)
            throw EUndoCancelled();
        throw Exception(FFailed + "：" + sqlite3_errmsg(FDb));
    }

    sqlite3 *FDb;
    std::string FFailed;
    TSides FSides;
    std::function<bool(double)> FProgressReport;
    TProgressState FProgress;
    std::int64_t FRows = 1;
    std::vector<std::string> FNames;
};

bool TrashTableExists(sqlite3 *db)
{
    return Scalar(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'kestrum_trash'") >
           0;
}

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
    TWriteTransaction transaction(FDb, "journal");
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
