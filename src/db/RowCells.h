#pragma once
// Where the cells of a record set's stored rows come from. A record set that
// keeps every value reads a row from its own copy; one that keeps only each
// row's key and hash (its rows are held by a data link) reads a row back from
// the table by its key when it needs one, and checks before a write that the
// row in the table still hashes as it was read.
#include "core/Variant.h"
#include "db/RowReadBack.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace kestrum {

class TDbConnection;
class TDbKeyMatch;
class TDbQueryStatement;
class TDbRowOrder;
class TDbRowReader;
class TDbRowStore;

class TDbRowCells {
public:
    //! A stored row's cells: a slot of the kept copy, or slot 0 of a row read back.
    struct TCells {
        const TDbRowStore *store;
        int slot;
    };

    //! The cells of the rows held in rows (which outlives this).
    explicit TDbRowCells(const TDbRowOrder &rows) : FRows(rows) {}

    //! Rows kept by key are read back from table: each result column is the
    //! table column origins names, keyColumn the key.
    void Use(const QString &table, const std::vector<QString> &origins, int keyColumn)
    {
        FReadBack.Use(table, origins, keyColumn);
    }
    //! Drops the read-back statement and the row it kept.
    void Clear() { FReadBack.Clear(); }
    //! Forgets the row last read back (the rows changed).
    void Forget() { FReadBack.Forget(); }
    //! Keeps a row just written and read back as the cells of slot.
    void Keep(int slot, const TDbRowStore &row) { FReadBack.Keep(slot, row); }

    //! The cells of a stored row. A row the table no longer has shows its key alone.
    TCells Of(const TDbConnection *connection, int slot) const;
    //! The cells a write checks the row against: the kept copy, or the row
    //! read back now, refused (as a row another program changed) when it no
    //! longer hashes as it was read.
    TCells ToWrite(const TDbConnection &connection, int slot, const char *action) const;
    //! Hands every visible row with all its values to onRow with its visible
    //! position. Rows kept by key are read again in one run of statement;
    //! a row it no longer selects is read by its key.
    void ReadVisibleRows(TDbConnection *connection, const TDbQueryStatement &statement,
                         const QString &context,
                         const std::function<void(int position, const TDbRowReader &row)> &onRow) const;
    //! The visible position of the first row that match takes (-1: none).
    //! wantedKey is the number looked for when the match is by the key
    //! field alone: rows kept by key then find it through the key index
    //! instead of reading every row back. On a server, where each row read
    //! back is a round trip, other matches run statement once instead.
    int FindPosition(TDbConnection *connection, const TDbQueryStatement &statement, const QString &context,
                     const TDbKeyMatch &match, std::optional<double> wantedKey) const;

private:
    int FindPositionInOneRun(TDbConnection *connection, const TDbQueryStatement &statement,
                             const QString &context, const TDbKeyMatch &match) const;

    const TDbRowOrder &FRows;
    mutable TDbRowReadBack FReadBack;
};

} // namespace kestrum
