#include "exchange/LedgerStatements.h"

#include "db/PgDriver.h"
#include "db/SqliteDriver.h"
#include "exchange/ExchangeMessages.h"

#include <sqlite3.h>

namespace kestrum::exchange {

namespace {

//! A ledger file opened here, with the driver that works on it: the driver
//! goes first, then the file closes.
class TLedgerFile : public TSqliteDriver {
public:
    explicit TLedgerFile(sqlite3 *db) : TSqliteDriver(db), FDb(db) {}
    ~TLedgerFile() override { sqlite3_close(FDb); }

private:
    sqlite3 *FDb;
};

} // namespace

void FailOnLedger(TDbDriver &db, const std::string &what, const std::exception &error)
{
    if (!LedgerOnServer(db))
        throw Exception(what + "：" + LedgerProblem(static_cast<TSqliteDriver &>(db).Handle()));
    // The server's driver has put what went wrong into the user's words.
    const auto *driver = dynamic_cast<const EDbDriverError *>(&error);
    throw EDbDriverError(driver ? driver->Kind() : TDbErrorKind::Other, what + "：" + error.what());
}

std::unique_ptr<TDbStatement> PrepareOnLedger(TDbDriver &db, const std::string &sql, const char *what)
{
    return OnLedger(db, what, [&] { return db.Prepare(sql); });
}

std::unique_ptr<TDbDriver> OpenLedgerTarget(const QString &target, bool write)
{
    const QByteArray utf8 = target.toUtf8();
    // A server's driver names no address in its failures, so no password
    // can show in them either.
    if (IsServerTarget(std::string_view(utf8.constData(), std::size_t(utf8.size())))) {
        auto server = std::make_unique<TPgDriver>(utf8.toStdString());
        // Another writer's rows are waited for as long as a file's lock
        // would be; then the import or export fails as busy, not hanging.
        server->Exec("SET lock_timeout = 5000");
        return server;
    }
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(utf8.constData(), &raw,
                                   write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = CannotOpenLedger(target, raw);
        sqlite3_close(raw);
        throw Exception(message);
    }
    sqlite3_busy_timeout(raw, 5000);
    // A big import touches many pages in its one transaction; a page cache
    // that holds them saves spilling them to the file and reading them back.
    if (write)
        sqlite3_exec(raw, "PRAGMA cache_size = -131072", nullptr, nullptr, nullptr);
    return std::make_unique<TLedgerFile>(raw);
}

std::string_view CellText(const TDbStatement &statement, int column, std::string &buffer)
{
    switch (statement.ColumnType(column)) {
    case TDbValueType::Null:
        return {};
    case TDbValueType::Integer:
    case TDbValueType::Real:
        buffer = statement.ColumnText(column);
        return buffer;
    default:
        return statement.ColumnBytes(column);
    }
}

} // namespace kestrum::exchange
