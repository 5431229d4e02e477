#pragma once
// Which entries other programs wrote into a ledger file. A file can only
// say that something changed (its data version moved); its journal says
// which rows, since every writer's insert, update and delete of an entry is
// journaled by the file's own triggers. Reading the rows again one by one
// then costs as little as the change, where reading a whole page again
// costs as much as opening it.
#include "db/DbDriver.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrum {

class TJournalChanges {
public:
    //! Rows past this many are read as "read everything again".
    static constexpr int MostRows = 1000;

    //! Starts where the journal ends now.
    explicit TJournalChanges(TDbDriver &db);

    //! The entries journaled since the last look, one change per row (the
    //! table lower-cased), and nothing for a write that touched no entry
    //! (kept totals, budgets). "Something changed" (an empty table) when
    //! the journal cannot say: no journal, an action undone or redone
    //! (its writes are not journaled again), or more than MostRows rows.
    std::vector<TDbChange> Since();
    //! What was written until now is known already (the program's own
    //! writes through another connection, whose pages it read again).
    void Skip();

private:
    struct TMark {
        std::int64_t LastRow = 0;
        std::int64_t Undone = 0; //!< actions undone, that could be redone
        double UndoneIds = 0;
        bool operator==(const TMark &) const = default;
    };
    bool ReadMark(TMark &mark) const;

    TDbDriver &FDb;
    bool FKnown = false; //!< FMark was read from a journal
    TMark FMark;
};

//! The entries that the journal's action `action` wrote (its undo and redo
//! write the same), one change per row, sorted by table (lower-cased) and
//! key; nothing when the journal cannot say or when they may be more than
//! `most` rows. Costs at most a look at `most` times a few journal rows.
std::optional<std::vector<TDbChange>> RowsOfAction(TDbDriver &db, std::int64_t action, std::size_t most);

} // namespace kestrum
