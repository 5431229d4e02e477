#pragma once
// The few things the record-set layer asks of a database engine, so that a
// ledger can live in an SQLite file or on a PostgreSQL server: statements
// with bound parameters, their rows, transactions, the key of a new row and
// notices of changes made by others.
//
// Statements write their parameters as ?1, ?2, ... (a bare ? takes the next
// number); a driver whose engine spells them otherwise rewrites them. Values
// always travel as bound parameters, never inside the SQL text.
#include "db/DbErrors.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

//! What went wrong, as far as a caller can act on it.
enum class TDbErrorKind {
    Other,
    ConnectionLost, //!< the server cannot be reached, or the link broke
    AuthFailed,     //!< wrong user name or password
    NoRights,       //!< the user may not read or write this
    SchemaMissing,  //!< the database, or the ledger's tables in it, are not there
    Constraint,     //!< a key, NOT NULL or CHECK refused the row
    Busy,           //!< another writer holds the data, or a serialization failure: try again
    SchemaTooNew,   //!< the ledger was made by a newer program than this one
    TlsRefused,     //!< the settings ask for an encrypted link that cannot be made
};

//! A failure of a driver; the message is in Chinese, for the user.
class EDbDriverError : public EDatabaseError {
public:
    EDbDriverError(TDbErrorKind kind, const std::string &message) : EDatabaseError(message), FKind(kind) {}
    TDbErrorKind Kind() const { return FKind; }

private:
    TDbErrorKind FKind;
};

//! The kind of one value in a row. Dates come as DateTime only from an
//! engine that has a type for them; SQLite keeps them as text.
enum class TDbValueType { Null, Integer, Real, Text, Blob, DateTime };

//! One changed row (RowId 0 when the engine could not say which) or, with an
//! empty Table, "something changed; read again".
struct TDbChange {
    std::string Table;
    std::int64_t RowId = 0;
    bool operator==(const TDbChange &) const = default;
};

//! Where a result column comes from: a table's column (both names empty for
//! an expression) and that column's declared type in the words a ledger
//! file uses (INTEGER, REAL, DATETIME, VARCHAR(n), TEXT ...; "" when the
//! type has none), so that a field has one type whichever engine holds it.
struct TDbColumnOrigin {
    std::string Table;
    std::string Column;
    std::string DeclaredType;
};

//! A column of a table, its type in the same words.
struct TDbTableColumn {
    std::string Name;
    std::string DeclaredType;
    bool PrimaryKey = false; //!< one of the columns of the table's primary key
};

//! A prepared statement. Parameters are numbered from 1; columns from 0.
class TDbStatement {
public:
    virtual ~TDbStatement() = default;

    virtual void BindNull(int index) = 0;
    virtual void BindInt64(int index, std::int64_t value) = 0;
    //! A number to be written (or compared) as the decimal it shows.
    virtual void BindDouble(int index, double value) = 0;
    //! A number as a row's cell was read, to find that row again: an engine
    //! whose exact decimals read as doubles compares it the way it read it.
    virtual void BindDoubleAsRead(int index, double value) { BindDouble(index, value); }
    //! An integer as a row's cell was read, to find that row again: the
    //! column it came from decides its type (a yes/no read as 1 or 0).
    virtual void BindInt64AsRead(int index, std::int64_t value) { BindInt64(index, value); }
    //! A yes/no value; an engine without such a type takes 1 or 0.
    virtual void BindBool(int index, bool value) { BindInt64(index, value ? 1 : 0); }
    virtual void BindText(int index, std::string_view value) = 0;
    virtual void BindBlob(int index, std::string_view bytes) = 0;
    //! A date as days since 30 December 1899, the time as the fraction.
    virtual void BindDateTime(int index, double days) = 0;

    //! Runs the statement on its first call; true while a row is there.
    virtual bool Step() = 0;
    //! Ready to run again; the bound values stay.
    virtual void Reset() = 0;

    virtual int ColumnCount() const = 0;
    virtual std::string ColumnName(int column) const = 0;
    virtual TDbValueType ColumnType(int column) const = 0;
    bool ColumnIsNull(int column) const { return ColumnType(column) == TDbValueType::Null; }
    virtual std::int64_t ColumnInt64(int column) const = 0;
    virtual double ColumnDouble(int column) const = 0;
    //! The value as text; a server's exact decimal keeps every digit.
    virtual std::string ColumnText(int column) const = 0;
    virtual std::string ColumnBlob(int column) const = 0;
    //! Days as BindDateTime takes them; throws for a value that is no date.
    virtual double ColumnDateTime(int column) const = 0;
    //! The bytes of a text, blob or date value (text and dates as UTF-8
    //! text), valid until the next Step or Reset; empty for another kind.
    //! Unlike ColumnText nothing is copied.
    virtual std::string_view ColumnBytes(int column) const = 0;
    //! What the column is (see TDbColumnOrigin); valid before the first Step.
    virtual TDbColumnOrigin ColumnOrigin(int column) const = 0;
};

class TDbDriver {
public:
    virtual ~TDbDriver() = default;

    //! "sqlite" or "postgresql".
    virtual const char *Name() const = 0;

    virtual std::unique_ptr<TDbStatement> Prepare(std::string_view sql) = 0;
    //! An INSERT after whose Step LastInsertId gives the new row's `key`.
    virtual std::unique_ptr<TDbStatement> PrepareInsert(std::string_view sql, std::string_view key) = 0;
    //! The key of the row the last such INSERT added on this connection.
    virtual std::int64_t LastInsertId() const = 0;
    //! Runs statements without parameters, separated by semicolons.
    virtual void Exec(std::string_view sql) = 0;

    void Begin() { Exec("BEGIN"); }
    void Commit() { Exec("COMMIT"); }
    void Rollback() { Exec("ROLLBACK"); }
    //! Savepoints nest inside a transaction; `name` is a plain identifier.
    void Savepoint(std::string_view name);
    void ReleaseSavepoint(std::string_view name);
    void RollbackToSavepoint(std::string_view name);
    virtual bool InTransaction() const = 0;

    //! The columns of a table (or view) in their order; empty when there is none.
    virtual std::vector<TDbTableColumn> TableColumns(std::string_view table) = 0;
    //! The names of the tables and views a statement may name.
    virtual std::vector<std::string> TableNames() = 0;

    //! From now on TakeChanges reports what other connections commit (its
    //! own writes the caller knows already).
    virtual void WatchChanges() = 0;
    //! The changes heard since the last call, waiting up to
    //! `waitMilliseconds` for the first one when none is there yet.
    virtual std::vector<TDbChange> TakeChanges(int waitMilliseconds) = 0;
};

//! Whether `target` names a server (a postgresql:// or postgres:// address,
//! or libpq keywords such as host= or service=) rather than a file.
bool IsServerTarget(std::string_view target);

//! A driver for a ledger file or a server address. A file must exist.
std::unique_ptr<TDbDriver> OpenDbDriver(const std::string &target);

//! `sql` with ?N and ? written as $N, outside quotes and comments.
std::string NumberedParameters(std::string_view sql);

} // namespace kestrum
