#pragma once
// The driver for a ledger on a PostgreSQL server, through libpq. Its
// statements must not outlive it. The
// password is never part of what the program keeps: libpq finds it in
// ~/.pgpass or the service file, and honours sslmode as given.
#include "db/DbDriver.h"

#include <map>
#include <utility>

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
    std::vector<TDbTableColumn> TableColumns(std::string_view table) override;
    std::vector<std::string> TableNames() override;
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

    //! The name of a table and of its column numbered `column`, as a result
    //! names them by number; asked of the server once per table.
    std::pair<std::string, std::string> ColumnOriginName(unsigned table, int column);
    //! A type as a ledger file declares it (see TDbColumnOrigin).
    static std::string DeclaredTypeOf(unsigned type, int modifier);

    //! Throws the error of `result` (or of the connection when there is
    //! none), `context` first.
    [[noreturn]] void Fail(const pg_result *result, const std::string &context) const;

private:
    void Collect(std::vector<TDbChange> &changes);

    pg_conn *FConnection = nullptr;
    std::int64_t FLastInsertId = 0;
    int FStatements = 0;
    std::vector<std::string> FForgotten;
    //! Table oid -> its name and its columns' names by number.
    std::map<unsigned, std::pair<std::string, std::map<int, std::string>>> FOriginNames;
    std::map<std::string, std::vector<TDbTableColumn>, std::less<>> FTableColumns;
};

} // namespace kestrum
