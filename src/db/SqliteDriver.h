#pragma once
// The driver for a ledger file: SQLite opened as the record-set layer opens
// it (no file is created unless asked, a busy timeout, the Jet functions).
#include "db/DbDriver.h"

struct sqlite3;

namespace kestrum {

class TSqliteDriver : public TDbDriver {
public:
    //! Opens `path`; with `create` a missing file is made empty.
    explicit TSqliteDriver(const std::string &path, bool create = false, int busyTimeout = 3000);
    //! Works on a connection its owner opened and will close (a record
    //! set's, a tool's): nothing is set up on it here, and it stays open.
    explicit TSqliteDriver(sqlite3 *shared);
    ~TSqliteDriver() override;

    const char *Name() const override { return "sqlite"; }
    std::unique_ptr<TDbStatement> Prepare(std::string_view sql) override;
    std::unique_ptr<TDbStatement> PrepareInsert(std::string_view sql, std::string_view key) override;
    std::int64_t LastInsertId() const override;
    void Exec(std::string_view sql) override;
    bool InTransaction() const override;
    std::vector<TDbTableColumn> TableColumns(std::string_view table) override;
    std::vector<std::string> TableNames() override;
    void WatchChanges() override;
    std::vector<TDbChange> TakeChanges(int waitMilliseconds) override;

    //! The connection, for code that works on SQLite alone.
    sqlite3 *Handle() const { return FDb; }

    //! Throws the error `db` holds now, `context` first.
    [[noreturn]] static void Fail(sqlite3 *db, const std::string &context);
    //! What a write says that the connection's commit gate turned back.
    static const char *const RefusedWriteText;

private:
    std::int64_t DataVersion();

    sqlite3 *FDb = nullptr;
    bool FOwned = true;
    bool FWatching = false;
    std::int64_t FDataVersion = 0;
};

} // namespace kestrum
