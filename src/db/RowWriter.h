#pragma once
// Writing a record set's rows back to the one table its result comes from.
// Each write is one transaction that finds the row by the table's key and
// reads it back, so the record set holds exactly what the file holds. An
// update or delete only touches the row while every column still holds the
// value read from it: a row that another program changed or deleted since is
// left alone and the write raises EDbRowConflict (optimistic locking).
#include "core/Variant.h"
#include "db/DbTypes.h"

#include <QString>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace kestrum {

class TDbConnection;
class TDbDriver;
class TDbRowStore;
class TDbStatement;
struct TDbColumnInfo;

class TDbRowWriter {
public:
    //! Learns from a result's columns whether its rows can be written back:
    //! every column comes from one table, no table column twice, and the
    //! table's key (its one INTEGER PRIMARY KEY) is among them.
    void Describe(sqlite3 *db, const std::vector<TDbColumnInfo> &columns);
    //! The same on any engine, its tables' keys asked of the driver.
    void Describe(TDbDriver &driver, const std::vector<TDbColumnInfo> &columns);
    void Clear();

    bool Writable() const { return !FTable.isEmpty(); }
    const QString &Table() const { return FTable; } //!< "" when the rows cannot be written
    //! The result column holding the table's key (-1: none), even when the
    //! rows cannot be written (a join that holds it).
    int KeyField() const { return FKeyField; }
    //! The table column each result column comes from ("" for an expression).
    const std::vector<QString> &Origins() const { return FOrigins; }

    //! Inserts a row with the given fields' values (types: each result
    //! column's field type) and returns it read back, its new key included.
    TDbRowStore Insert(const TDbConnection &connection, const std::vector<int> &fields,
                       const std::vector<Variant> &values, const std::vector<TFieldType> &types) const;
    //! Writes the given fields' values over a stored row and returns it read back.
    TDbRowStore Update(const TDbConnection &connection, const TDbRowStore &store, int slot,
                       const std::vector<int> &fields, const std::vector<Variant> &values,
                       const std::vector<TFieldType> &types) const;
    //! Deletes a stored row.
    void Delete(const TDbConnection &connection, const TDbRowStore &store, int slot) const;
    //! Raises EDbRowConflict: the row was changed or deleted by another
    //! program since it was read, so the action ("保存", "删除") was not done.
    [[noreturn]] static void RaiseConflict(const char *action);

private:
    //! Describe with the table's key column as keyOf names it ("" for none).
    template <typename KeyOf> void DescribeWith(const std::vector<TDbColumnInfo> &columns, KeyOf &&keyOf);
    QString RowCheckCondition() const;
    void BindRowCheck(sqlite3_stmt *statement, int parameter, const TDbRowStore &store, int slot) const;

    // The writes on a server: the same transaction, the same check of every
    // column against the row as read (the server's UPDATE and DELETE test it
    // again on the row version they change, so a writer that committed in
    // between is seen), the row read back by its key.
    QString ServerRowCheckCondition(int firstParameter) const;
    void BindServerRowCheck(TDbStatement &statement, int parameter, const TDbRowStore &store, int slot) const;
    TDbRowStore ReadBackOnServer(const TDbConnection &connection, const TDbRowStore *store, int slot,
                                 std::int64_t key) const;
    //! "INSERT INTO table (fields...) VALUES (?,...)", or DEFAULT VALUES for none.
    QString InsertSql(const std::vector<int> &fields) const;
    TDbRowStore InsertOnServer(const TDbConnection &connection, const std::vector<int> &fields,
                               const std::vector<Variant> &values,
                               const std::vector<TFieldType> &types) const;
    TDbRowStore UpdateOnServer(const TDbConnection &connection, const TDbRowStore &store, int slot,
                               const std::vector<int> &fields, const std::vector<Variant> &values,
                               const std::vector<TFieldType> &types) const;
    void DeleteOnServer(const TDbConnection &connection, const TDbRowStore &store, int slot) const;

    QString FTable;
    std::vector<QString> FOrigins;
    int FKeyField = -1;
};

} // namespace kestrum
