#include "ledger/KeptSql.h"

namespace kestrum::kept_sql {

TStatement Prepare(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &raw, nullptr) != SQLITE_OK || !raw) {
        sqlite3_finalize(raw);
        throw TFailure(sqlite3_errmsg(db));
    }
    return TStatement(raw, sqlite3_finalize);
}

void Exec(sqlite3 *db, const std::string &sql)
{
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw TFailure(sqlite3_errmsg(db));
}

std::string Text(sqlite3_stmt *s, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
    return text ? std::string(text, std::size_t(sqlite3_column_bytes(s, column))) : std::string();
}

bool Exists(sqlite3 *db, const char *type, const std::string &name)
{
    const TStatement s = Prepare(db, "SELECT 1 FROM main.sqlite_master WHERE type = ?1 AND name = ?2");
    sqlite3_bind_text(s.get(), 1, type, -1, SQLITE_STATIC);
    sqlite3_bind_text(s.get(), 2, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
    return sqlite3_step(s.get()) == SQLITE_ROW;
}

std::string StoredTrigger(sqlite3 *db, const std::string &name)
{
    const TStatement s =
        Prepare(db, "SELECT sql FROM main.sqlite_master WHERE type = 'trigger' AND name = ?1");
    sqlite3_bind_text(s.get(), 1, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
    return sqlite3_step(s.get()) == SQLITE_ROW ? Text(s.get(), 0) : std::string();
}

std::int64_t DataVersion(sqlite3 *db)
{
    const TStatement s = Prepare(db, "PRAGMA data_version");
    if (sqlite3_step(s.get()) != SQLITE_ROW)
        throw TFailure(sqlite3_errmsg(db));
    return sqlite3_column_int64(s.get(), 0);
}

bool Stopped(const TKeptTotalsPass &pass)
{
    return pass.Stop && pass.Stop->load(std::memory_order_relaxed);
}

namespace {

int StopRequested(void *pass)
{
    return Stopped(*static_cast<const TKeptTotalsPass *>(pass)) ? 1 : 0;
}

} // namespace

TPassConnection OpenForPass(const QString &ledgerPath, const TKeptTotalsPass &pass)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(ledgerPath.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    TPassConnection db(raw, sqlite3_close);
    if (rc != SQLITE_OK || sqlite3_db_readonly(raw, "main") != 0)
        return TPassConnection(nullptr, sqlite3_close);
    sqlite3_busy_timeout(raw, 2000);
    sqlite3_progress_handler(raw, 10000, StopRequested, const_cast<TKeptTotalsPass *>(&pass));
    return db;
}

} // namespace kestrum::kept_sql
