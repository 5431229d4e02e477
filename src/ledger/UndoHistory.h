#pragma once
// Undo and redo of whole actions, read from a ledger file's journal, so
// that they survive a restart and see what other processes did. Each undo
// or redo is one transaction whose rows form an action of its own kind:
// they never become history to undo. Actions done by users are undone
// newest first and redone oldest first; doing something new drops the redo
// list. A row that another writer changed since refuses the whole undo or
// redo, and nothing is written.
#include "core/Errors.h"
#include "ledger/Journal.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrum {

class TDbDriver;

//! An undo or redo that was refused; nothing was written.
class EUndoRefused : public Exception {
public:
    explicit EUndoRefused(const std::string &message) : Exception(message) {}
};

//! An undo or redo that the user stopped through OnProgress; nothing was written.
class EUndoCancelled : public Exception {
public:
    EUndoCancelled() : Exception("撤销或重做已取消。") {}
};

struct TUndoAction {
    std::int64_t Id = 0;
    QString Label; //!< "删除 工资 8600"
};

//! Steps of an undo or redo, for tests that stop the process between them.
enum class TUndoStep { Began, RowWritten, Marked, Committed };

class TUndoHistory {
public:
    //! Not owned; the connection needs the journal (EnsureJournal).
    explicit TUndoHistory(TDbDriver &db) : FDb(db) {}

    //! The action an undo would take back; none when there is nothing.
    std::optional<TUndoAction> NextUndo() const;
    std::optional<TUndoAction> NextRedo() const;

    //! Undoes the newest action. When `expected` is given and another action
    //! came since (another process), it is refused: the user undoes what the
    //! menu named or nothing. Raises EUndoRefused with the reason, and
    //! Exception when the file fails. Returns what was undone.
    TUndoAction Undo(std::int64_t expected = 0);
    TUndoAction Redo(std::int64_t expected = 0);

    //! The number of entries the last undo or redo wrote back.
    std::int64_t LastEntryCount() const { return FLastEntries; }

    //! Joins actions that one user gesture made in several transactions
    //! (a delete of several selected entries) into the newest of them.
    //! Only actions that are still done and undoable are joined.
    void JoinActions(const std::vector<std::int64_t> &actions);

    //! The action of the newest journal row of `table` with that kind
    //! (0 when there is none).
    std::int64_t LastActionOf(const QString &table, TJournalKind kind) const;

    //! Test seam: called at each step.
    std::function<void(TUndoStep)> OnStep;
    //! Told how far an undo or redo got (0 to 1) while its statements run;
    //! answering false stops it, rolls it back and raises EUndoCancelled.
    std::function<bool(double)> OnProgress;

private:
    std::optional<TUndoAction> Describe(std::int64_t action) const;
    TUndoAction Apply(bool undo, std::int64_t expected);
    //! Apply's one transaction; `failed` leads its messages.
    TUndoAction Transact(bool undo, std::int64_t expected, const std::string &failed);
    void Step(TUndoStep step) const
    {
        if (OnStep)
            OnStep(step);
    }

    TDbDriver &FDb;
    std::int64_t FLastEntries = 0;
};

} // namespace kestrum
