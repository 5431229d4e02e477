#pragma once
// The ledger's services take a driver; tests that hold a raw SQLite handle
// reach them through this one, which shares the handle without owning it.
#include "db/SqliteDriver.h"

#include <map>
#include <memory>

namespace kestrum {

//! A driver on `db`, the same one for as long as the test program runs. It
//! keeps nothing but the handle, so a handle reused after a close is served alike.
inline TSqliteDriver &DriverOf(sqlite3 *db)
{
    static std::map<sqlite3 *, std::unique_ptr<TSqliteDriver>> drivers;
    std::unique_ptr<TSqliteDriver> &driver = drivers[db];
    if (!driver)
        driver = std::make_unique<TSqliteDriver>(db);
    return *driver;
}

} // namespace kestrum
