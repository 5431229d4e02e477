#pragma once
// What the journal, the trash, the undo history and the ledger's own tables
// (budgets, recurring entries) share on either engine: statements through
// the driver, a write transaction with one promise on both, and the few
// words of SQL that an SQLite file and a PostgreSQL server spell apart.
#include "db/DbDriver.h"

#include <QString>

#include <memory>
#include <string>

struct sqlite3;

namespace kestrum::journal_sql {

using Statement = std::unique_ptr<TDbStatement>;

Statement Prepare(TDbDriver &db, const std::string &sql);
void Exec(TDbDriver &db, const std::string &sql);
//! Runs a statement that returns no rows, ready to run again afterwards.
void Run(TDbStatement &statement);

void BindText(TDbStatement &statement, int parameter, const QString &text);
//! A text column ("" for null).
QString Text(const TDbStatement &statement, int column);

//! The ledger file's connection; null on a server, whose schema is made by
//! kestrum-db init and never changed on open.
sqlite3 *FileHandle(TDbDriver &db);
bool OnServer(TDbDriver &db);
//! A file that could be opened for reading only.
bool ReadOnlyFile(TDbDriver &db);
//! Whether the ledger holds a table of that name.
bool TableExists(TDbDriver &db, const char *name);

//! Equality with nulls alike, between two values: SQLite's IS.
const char *SameSql(TDbDriver &db);
//! The journal action the transaction's writes belong to: a file keeps it
//! in a table, a server in a setting of the transaction.
const char *OpenActionSql(TDbDriver &db);
//! The key every entry table of the ledger has: a file's rowid, whatever an
//! older file called its key column, and a server's id.
const char *RowIdSql(TDbDriver &db);

//! The local time as the journal and the trash write it, "YYYY-MM-DD HH:MM:SS".
const char *NowSql(TDbDriver &db);
//! `value` (a text read from the journal) as the type of a ledger column:
//! a server keeps the journal as text and the tables typed. `column` counts
//! amount, date, item, remark from 0; a budget's "date" is its month.
std::string TypedSql(TDbDriver &db, const std::string &value, int column, bool budget);

//! A write transaction that takes the write lock at once and rolls back
//! unless committed, so that a refusal or a failure writes nothing. On a
//! file it is BEGIN IMMEDIATE; on a server it is SERIALIZABLE: it acts as if
//! no one else wrote meanwhile, and a write that would overwrite what someone
//! else changed since fails instead, as the file's lock promises. Inside a
//! caller's transaction it is a savepoint, undone alone. A lock it cannot
//! take, or a commit that fails, raises EDatabaseError "`failed`：<the
//! database's reason>" (a driver's failure keeps its kind).
class TWriteTransaction {
public:
    TWriteTransaction(TDbDriver &db, const std::string &failed);
    ~TWriteTransaction();
    TWriteTransaction(const TWriteTransaction &) = delete;
    TWriteTransaction &operator=(const TWriteTransaction &) = delete;

    void Commit();

private:
    void Run(const char *sql);

    TDbDriver &FDb;
    std::string FFailed;
    bool FNested;
    bool FDone = false;
};

//! What a driver's error says went wrong, without the driver's own
//! "无法执行数据库语句：" before it.
std::string Reason(const std::exception &error);

//! An SQL identifier in double quotes, a quote inside it doubled.
std::string Quoted(const std::string &name);

} // namespace kestrum::journal_sql
