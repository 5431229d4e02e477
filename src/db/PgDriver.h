#pragma once
// The driver for a ledger on a PostgreSQL server, through libpq. Its
// statements must not outlive it. The
// password is never part of what the program keeps: libpq finds it in
// ~/.pgpass or the service file, and honours sslmode as given.
#include "db/DbDriver.h"

struct pg_conn;
struct pg_result;

namespace kestrum {

class TPgDriver : public TDbDriver {
public:
    //! Connects to `target`: a postgresql:// address or libpq keywords.
    explicit TPgDriver(const std::string &target);
    ~TPgDriver() override;

    const char *Name() const override { return "postgresql"; }
    std::unique_ptr<TDbStatement> Prepare(std::string_view sql) override;
    std::unique_ptr<TDbStatement> PrepareInsert(std::string_view sql, std::string_view key) override;
    std::int64_t LastInsertId() const override { return FLastInsertId; }
    void Exec(std::string_view sql) override;
    bool InTransaction() const override;
    void WatchChanges() override;
    std::vector<TDbChange> TakeChanges(int waitMilliseconds) override;

    //! The channel the ledger's triggers notify on; payload "table:id".
    static constexpr const char *ChangeChannel = "kestrum_change";

    pg_conn *Handle() const { return FConnection; }
    void NoteInsertId(std::int64_t id) { FLastInsertId = id; }

    //! Names of statements prepared on the server; a forgotten one is
    //! dropped before the next statement runs.
    std::string NewStatementName();
    void ForgetStatement(const std::string &name);
    void DropForgottenStatements();

    //! Throws the error of `result` (or of the connection when there is
    //! none), `context` first.
    [[noreturn]] void Fail(const pg_result *result, const std::string &context) const;

private:
    void Collect(std::vector<TDbChange> &changes);

    pg_conn *FConnection = nullptr;
    std::int64_t FLastInsertId = 0;
    int FStatements = 0;
    std::vector<std::string> FForgotten;
};

} // namespace kestrum
