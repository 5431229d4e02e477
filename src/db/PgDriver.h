#pragma once
// The driver for a ledger on a PostgreSQL server, through libpq. Its
// statements must not outlive it. The
// password is never part of what the program keeps: libpq finds it in
// ~/.pgpass or the service file, and honours sslmode as given.
#include "db/DbDriver.h"

#include <functional>
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

    //! Takes up a new session after libpq made the link again: the
    //! session's settings and listening are made anew, and statements the
    //! ended session had prepared are prepared again when next run. A new
    //! session is also noticed without this call, before the next statement.
    void RenewSession();
    //! Counts the sessions so far; a statement prepared in an earlier one
    //! is prepared again.
    int Session();

    //! Why making (or remaking) the link failed: the kind, and a Chinese
    //! message chosen by the SQLSTATE the server sent or libpq's untranslated
    //! words (see TPgConnectWords).
    static EDbDriverError ConnectFailure(pg_conn *connection);

    pg_conn *Handle() const { return FConnection; }
    void NoteInsertId(std::int64_t id) { FLastInsertId = id; }

    //! Queries read through cursors: a write, a transaction's end or a
    //! savepoint first has them take in the rest of their rows (all of
    //! them, or only those whose cursor made a transaction of its own).
    void BeginStream(const void *statement, bool ownsTransaction, std::function<void()> takeRest);
    void EndStream(const void *statement);
    void FinishStreams(bool onlyOwnTransactions);
    std::string NewCursorName();

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
    //! The session's own settings, and its listening when watched.
    void StartSession();

    pg_conn *FConnection = nullptr;
    int FSessionPid = 0; //!< the server process of the session the driver knows
    int FSession = 0;
    bool FSessionUnset = false; //!< a new session's settings are still to be made
    bool FWatching = false;
    struct TStream {
        const void *Statement;
        bool OwnsTransaction;
        std::function<void()> TakeRest;
    };
    std::vector<TStream> FStreams;
    std::int64_t FLastInsertId = 0;
    int FStatements = 0;
    std::vector<std::string> FForgotten;
    //! Table oid -> its name and its columns' names by number.
    std::map<unsigned, std::pair<std::string, std::map<int, std::string>>> FOriginNames;
    std::map<std::string, std::vector<TDbTableColumn>, std::less<>> FTableColumns;
};

//! While it lives, libpq and the C library write this thread's messages
//! untranslated, and the errors a server sends while a link is made carry
//! their SQLSTATE: a failure to connect is told apart whatever the user's
//! language or the server's. For the time a connection is made or remade.
class TPgConnectWords {
public:
    explicit TPgConnectWords(pg_conn *connection);
    ~TPgConnectWords();
    TPgConnectWords(const TPgConnectWords &) = delete;
    TPgConnectWords &operator=(const TPgConnectWords &) = delete;
    //! The connection, once there is one (nullptr before it was started).
    void Attach(pg_conn *connection);

private:
    pg_conn *FConnection = nullptr;
    struct __locale_struct *FUntranslated = nullptr;
    struct __locale_struct *FBefore = nullptr;
};

} // namespace kestrum
