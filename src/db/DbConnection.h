#pragma once
// The connection to one ledger database: an SQLite file or a PostgreSQL
// server. It is named by a connection string whose "Data Source" gives the
// file, relative to the working folder, or the server's address (a
// postgresql:// address or libpq keywords). Opening never creates a file.
// Other processes may use the same file at once: SQLite's locking
// arbitrates, with a busy timeout; a server arbitrates by itself.
#include "db/DbTypes.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;

namespace kestrum {

class TDbDriver;
class TDbQuery;

//! Steps of a write (post or delete). A test can stop the process between
//! them to show that an interrupted write leaves the file consistent.
enum class TDbWriteStep : std::uint8_t {
    Began,     //!< the write transaction holds the lock
    Written,   //!< the row statement ran, not yet committed
    ReadBack,  //!< the written row was read back, not yet committed
    Committed, //!< the transaction is durable
};

class TDbConnection {
public:
    TDbConnection();
    ~TDbConnection(); // closes its record sets, then the file
    TDbConnection(const TDbConnection &) = delete;
    TDbConnection &operator=(const TDbConnection &) = delete;

    // Settings (take effect at the next open).
    const QString &ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const QString &text);
    const QString &Provider() const { return FProvider; }
    void SetProvider(const QString &provider) { FProvider = provider; }
    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool prompt) { FLoginPrompt = prompt; }
    TConnectMode Mode() const { return FMode; }
    void SetMode(TConnectMode mode) { FMode = mode; }
    TCursorLocation CursorLocation() const { return FCursorLocation; }
    void SetCursorLocation(TCursorLocation location) { FCursorLocation = location; }
    bool KeepConnection() const { return FKeepConnection; }
    void SetKeepConnection(bool keep) { FKeepConnection = keep; }
    //! Milliseconds to wait for another process's lock (on a server: a row
    //! another connection is writing) before failing.
    int BusyTimeout() const { return FBusyTimeout; }
    void SetBusyTimeout(int milliseconds) { FBusyTimeout = milliseconds; }

    //! The "Data Source" of the connection string ("" when it names none).
    QString DataSourceName() const;
    //! Splits "Key=Value;Key=Value" and returns the value of key (case ignored).
    //! A value may be quoted with " or ' (a doubled quote inside stands for
    //! one), so that it can hold a semicolon: a folder named "a;b".
    static QString ConnectionStringValue(const QString &connectionString, const QString &key);
    //! The value as it must be written into a connection string so that
    //! ConnectionStringValue gives it back unchanged.
    static QString QuotedConnectionStringValue(const QString &value);

    // Connecting. Open raises EDatabaseError when the file is missing, not a
    // database, damaged or locked, and EDbDriverError (its kind saying why)
    // when a server cannot be reached or refuses; the connection then stays
    // closed.
    void Open();
    void Close(); //!< closes every record set on this connection first
    bool Connected() const { return FDriver != nullptr; }
    //! Whether the open connection is to a server rather than a file.
    bool IsServer() const { return FDriver && !FDb; }
    //! True when the file could only be opened for reading (no write
    //! permission, an immutable file, a read-only medium): SQLite then falls
    //! back to reading without a word, and every write would fail later.
    bool ReadOnly() const;
    void SetConnected(bool connected);

    //! The record sets that use this connection.
    const std::vector<TDbQuery *> &DataSets() const { return FDataSets; }

    //! Test seam: called at each step of every write.
    std::function<void(TDbWriteStep)> OnWriteStep;

    //! Asked before each commit that changes the file (on this thread; it
    //! may wait): false rolls the change back and the write fails. The
    //! start uses it to hold writes until the file's pages are known sound,
    //! and to refuse every write into a file found damaged. Kept across
    //! opens; an empty gate lets every write through.
    using TCommitGate = std::function<bool()>;
    void SetCommitGate(TCommitGate gate);

    // Used by the record sets.
    //! The SQLite connection of an open file; nullptr on a server.
    sqlite3 *Handle() const { return FDb; }
    //! The open connection as the ledger's services take it (file or server).
    TDbDriver &Driver() const { return *FDriver; }
    void AttachDataSet(TDbQuery *dataSet);
    void DetachDataSet(TDbQuery *dataSet);
    //! Raises EDatabaseError with the message of the last SQLite failure,
    //! prefixed by what was being done.
    [[noreturn]] void RaiseLastError(const std::string &context) const;
    void NotifyWriteStep(TDbWriteStep step) const;

private:
    QString FConnectionString;
    QString FProvider;
    bool FLoginPrompt = false;
    TConnectMode FMode = cmShareDenyNone;
    TCursorLocation FCursorLocation = clUseClient;
    bool FKeepConnection = true;
    int FBusyTimeout = 3000;
    sqlite3 *FDb = nullptr;
    std::unique_ptr<TDbDriver> FDriver;
    std::vector<TDbQuery *> FDataSets;
    std::unique_ptr<TCommitGate> FCommitGate; // a stable address for SQLite's hook
    void InstallCommitGate();
};

} // namespace kestrum
