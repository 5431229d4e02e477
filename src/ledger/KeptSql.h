#pragma once
// What the totals kept in a ledger file share: a few SQLite calls that raise
// on failure, and the background pass that makes a table's totals from its
// rows in short reads and writes them once, only when nobody wrote the file
// meanwhile.
#include "ledger/KeptTotals.h"

#include <QString>

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace kestrum::kept_sql {

class TFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

TStatement Prepare(sqlite3 *db, const std::string &sql);
void Exec(sqlite3 *db, const std::string &sql);
std::string Text(sqlite3_stmt *s, int column);
//! Whether main's schema holds an object of this type and name.
bool Exists(sqlite3 *db, const char *type, const std::string &name);
//! SQLite's stored text of a trigger, empty when there is none.
std::string StoredTrigger(sqlite3 *db, const std::string &name);

//! Runs work in a savepoint: released when it returns, rolled back when it
//! raises.
template <typename Work> auto InSavepoint(sqlite3 *db, const char *name, Work work)
{
    Exec(db, std::string("SAVEPOINT ") + name);
    try {
        auto result = work();
        Exec(db, std::string("RELEASE ") + name);
        return result;
    } catch (...) {
        const std::string undo = std::string("ROLLBACK TO ") + name + "; RELEASE " + name;
        sqlite3_exec(db, undo.c_str(), nullptr, nullptr, nullptr);
        throw;
    }
}

//! What other connections committed, as a number that changes with each.
std::int64_t DataVersion(sqlite3 *db);

//! Whether another thread asked the pass to end.
bool Stopped(const TKeptTotalsPass &pass);

using TPassConnection = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;

//! The ledger opened for a pass of its own (a short busy wait, stopped by
//! the pass's flag); empty when it cannot be written.
TPassConnection OpenForPass(const QString &ledgerPath, const TKeptTotalsPass &pass);

//! Runs make(db, table) for every table on a connection of the pass's own;
//! true when each gave true. Raises nothing.
template <typename Tables, typename Make>
bool MakeEachTable(const QString &ledgerPath, const TKeptTotalsPass &pass, const Tables &tables, Make make)
{
    const TPassConnection db = OpenForPass(ledgerPath, pass);
    if (!db)
        return false;
    try {
        bool kept = true;
        for (const auto &table : tables) {
            if (Stopped(pass))
                return false;
            kept = make(db.get(), table) && kept;
        }
        return kept;
    } catch (const std::exception &) {
        return false;
    }
}

//! One table's pass: up to three times, read(version) makes the totals in
//! short reads (nothing when another connection wrote since `version`, or
//! when they cannot be made at all), then write(made) puts them in the file
//! in one write transaction, unless another connection wrote or made them
//! meanwhile. kept() tells whether they are in the file and current. True
//! when they are kept afterwards.
template <typename Kept, typename Read, typename Write>
bool MakeWhenNobodyWrote(sqlite3 *db, const TKeptTotalsPass &pass, const char *savepoint, Kept kept,
                         Read read, Write write)
{
    const auto current = [&] { return InSavepoint(db, savepoint, kept); };
    for (int attempt = 0; attempt < 3 && !Stopped(pass); ++attempt) {
        if (current())
            return true;
        const std::int64_t version = DataVersion(db);
        const auto made = read(version);
        if (Stopped(pass))
            return false;
        if (!made) {
            if (DataVersion(db) == version)
                return false; // too many rows aside: not a race a second pass wins
            continue;
        }
        Exec(db, "BEGIN IMMEDIATE");
        try {
            // Another connection may have made them, or written rows, since.
            if (DataVersion(db) != version || kept()) {
                Exec(db, "ROLLBACK");
                continue;
            }
            write(*made);
            Exec(db, "COMMIT");
            return true;
        } catch (...) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    return current();
}

} // namespace kestrum::kept_sql
