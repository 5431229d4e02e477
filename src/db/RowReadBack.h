#pragma once
// The cells of a row a record set keeps by key only, read back from its table
// with one prepared statement. The last row read is kept, so the fields of
// one row cost one lookup.
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace kestrum {

class TDbConnection;
class TDbRowStore;
class TDbStatement;

class TDbRowReadBack {
public:
    TDbRowReadBack();
    ~TDbRowReadBack();
    TDbRowReadBack(const TDbRowReadBack &) = delete;
    TDbRowReadBack &operator=(const TDbRowReadBack &) = delete;

    //! Reads rows of table by the key column: each result column is the
    //! table column origins names, in that order.
    void Use(const QString &table, const std::vector<QString> &origins, int keyColumn);
    //! Drops the statement and the kept row (before the connection closes).
    void Clear();
    //! Forgets the kept row (the row was written or the rows changed).
    void Forget();
    //! Keeps a copy of a row just written and read back (a store of one
    //! slot) as the row of slot.
    void Keep(int slot, const TDbRowStore &row);

    //! The row with the key as the table holds it now, in a store of one
    //! slot, or nullptr when the table has no such row. slot names the row
    //! for the kept copy: asking for the same slot again reads nothing.
    //! Raises EDatabaseError when the database fails to answer.
    const TDbRowStore *Row(const TDbConnection &connection, int slot, std::int64_t key);
    //! The same, always read afresh (for the check before a write).
    const TDbRowStore *FreshRow(const TDbConnection &connection, int slot, std::int64_t key);

private:
    QString FTable;
    std::vector<QString> FOrigins;
    int FKeyColumn = -1;
    //! The statement that reads a row by key: on a file SQLite's own, on a
    //! server the driver's.
    QByteArray Sql() const;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> FStatement;
    std::unique_ptr<TDbStatement> FServerStatement;
    std::unique_ptr<TDbRowStore> FRow;
    int FSlot = -1;
    bool FFound = false;
};

} // namespace kestrum
