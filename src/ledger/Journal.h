#pragma once
// The journal of a ledger file: every insert, update and delete of an entry
// in gain or expen leaves one row in kestrum_journal, written by triggers in
// the same transaction as the change itself, whoever the writer is (this
// program, kestrum-db, another process, the sqlite3 shell). Rows belong to
// actions (kestrum_journal_action): what the user did at once, or an undo or
// redo of such an action. A writer that wants several rows to form one
// action opens it inside its own transaction (OpenJournalAction); rows
// written with no action open get an action each.
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace kestrum {

class TDbDriver;
class TDbStatement;

//! Adds the journal's tables, index and triggers to a ledger file that lacks
//! them; a file that has them is only looked at (no table is scanned). A
//! table without the ledger's columns gets no triggers. A file that can only
//! be read is left alone. Works inside or outside a transaction. Raises
//! Exception when the file cannot be changed. A server's ledger has them
//! from kestrum-db init: there it only brings back, inside a transaction,
//! the journaling that DropJournalTriggers set aside.
void EnsureJournal(TDbDriver &db);

//! Whether the file has the journal's triggers on both tables.
bool HasJournal(TDbDriver &db);
//! Whether it has them as this version writes them (rows replaced by a
//! REPLACE conflict included); EnsureJournal brings older ones up to date.
bool JournalIsCurrent(TDbDriver &db);

//! Drops the journal's triggers (the tables stay): for measuring writes
//! without them and for a copy of a file that should not record history.
//! On a server the triggers stay and pass over the rest of the caller's
//! transaction instead.
void DropJournalTriggers(TDbDriver &db);

//! One stored value as SQLite holds it.
struct TJournalValue {
    int Type = 5; // SQLITE_NULL
    std::int64_t Integer = 0;
    double Real = 0;
    std::string Bytes; //!< text (UTF-8) or blob
    bool operator==(const TJournalValue &other) const = default;
};

//! A column's value of the current row of a statement, and back.
TJournalValue JournalColumnValue(sqlite3_stmt *statement, int column);
TJournalValue JournalColumnValue(const TDbStatement &statement, int column);
void BindJournalValue(sqlite3_stmt *statement, int parameter, const TJournalValue &value);

//! The key and the four ledger columns (amount, date, item, remark) of a
//! journaled table; false for a table the journal does not cover.
struct TJournalTable {
    std::string Key;
    std::string Columns[4];
};
bool JournalTableOf(TDbDriver &db, const QString &table, TJournalTable &info);

enum class TJournalKind : char { Insert = 'I', Update = 'U', Delete = 'D' };

//! What an action was; the values are stored in the journal.
enum class TJournalActionKind {
    Do = 0,   //!< done by a user or another writer
    Undo = 1, //!< the undo of an earlier action
    Redo = 2, //!< the redo of an undone action
};

//! One journal row. Values are amount, date, item and remark, in that order.
struct TJournalRow {
    std::int64_t Id = 0;
    std::int64_t Action = 0;
    TJournalActionKind ActionKind = TJournalActionKind::Do;
    std::int64_t ActionTarget = 0; //!< for an undo or redo: the action it undid or redid
    QString Table;
    std::int64_t Row = 0;
    TJournalKind Kind = TJournalKind::Insert;
    QString Time;
    TJournalValue Before[4];
    TJournalValue After[4];
};

//! The journal rows of one action, oldest first.
std::vector<TJournalRow> ReadActionRows(TDbDriver &db, std::int64_t action);

//! Every journal row, newest first when asked, one at a time (a journal may
//! hold millions). The callback returns false to stop.
void ForEachJournalRow(TDbDriver &db, bool newestFirst, const std::function<bool(const TJournalRow &)> &row);

//! Opens an action with a label for the rows that follow, until
//! CloseJournalAction; both must run inside one write transaction, so that
//! a process that dies leaves no action open. Returns the action's id. An
//! action by a user (TJournalActionKind::Do) drops what could be redone.
std::int64_t OpenJournalAction(TDbDriver &db, const QString &label,
                               TJournalActionKind kind = TJournalActionKind::Do, std::int64_t target = 0);
void CloseJournalAction(TDbDriver &db);
//! Names the open action once its writes show what it was.
void SetJournalActionLabel(TDbDriver &db, const QString &label);

//! Journals, as rows of the open action, the rows that `table` got with keys
//! above `afterKey` while the triggers were dropped (DropJournalTriggers
//! inside the same transaction): a bulk import writes its journal in one
//! statement instead of a trigger per row, then restores the triggers with
//! EnsureJournal before it commits.
void JournalInsertedRows(TDbDriver &db, const QString &table, std::int64_t afterKey);

//! "录入", "修改" or "删除".
QString JournalKindWord(TJournalKind kind);
//! An amount as the user typed it: "8600", "35.5"; empty for no number.
QString JournalAmountText(const TJournalValue &value);
//! What an action did, for a menu: "删除 工资 8600" for one row, "删除 3 条纪录"
//! for several of one kind, "更改 3 条纪录" for a mix.
QString JournalActionLabel(const std::vector<TJournalRow> &rows);
//! One line of the history: time, action, kind, table, id, item, amount.
QString JournalHistoryLine(const TJournalRow &row);

} // namespace kestrum
