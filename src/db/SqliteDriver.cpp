#include "db/SqliteDriver.h"

#include "db/DateText.h"
#include "db/JetFunctions.h"

#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace kestrum {

namespace {

TDbErrorKind KindOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return TDbErrorKind::Busy;
    case SQLITE_CONSTRAINT:
        return TDbErrorKind::Constraint;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return TDbErrorKind::NoRights;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_NOTADB:
        return TDbErrorKind::ConnectionLost;
    default:
        return TDbErrorKind::Other;
    }
}

class TSqliteStatement : public TDbStatement {
public:
    TSqliteStatement(sqlite3 *db, sqlite3_stmt *statement) : FDb(db), FStatement(statement) {}
    ~TSqliteStatement() override { sqlite3_finalize(FStatement); }

    void BindNull(int index) override { Check(sqlite3_bind_null(FStatement, index)); }
    void BindInt64(int index, std::int64_t value) override
    {
        Check(sqlite3_bind_int64(FStatement, index, value));
    }
    void BindDouble(int index, double value) override
    {
        Check(sqlite3_bind_double(FStatement, index, value));
    }
    void BindText(int index, std::string_view value) override
    {
        Check(sqlite3_bind_text64(FStatement, index, value.data(), value.size(), SQLITE_TRANSIENT,
                                  SQLITE_UTF8));
    }
    void BindBlob(int index, std::string_view bytes) override
    {
        Check(sqlite3_bind_blob64(FStatement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
    }
    void BindDateTime(int index, double days) override { BindText(index, DaysToIsoText(days)); }

    bool Step() override
    {
        const int rc = sqlite3_step(FStatement);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        sqlite3_reset(FStatement);
        TSqliteDriver::Fail(FDb, "无法执行数据库语句");
    }
    void Reset() override { sqlite3_reset(FStatement); }

    int ColumnCount() const override { return sqlite3_column_count(FStatement); }
    std::string ColumnName(int column) const override
    {
        const char *name = sqlite3_column_name(FStatement, column);
        return name ? name : "";
    }
    TDbValueType ColumnType(int column) const override
    {
        switch (sqlite3_column_type(FStatement, column)) {
        case SQLITE_INTEGER:
            return TDbValueType::Integer;
        case SQLITE_FLOAT:
            return TDbValueType::Real;
        case SQLITE_TEXT:
            return TDbValueType::Text;
        case SQLITE_BLOB:
            return TDbValueType::Blob;
        default:
            return TDbValueType::Null;
        }
    }
    std::int64_t ColumnInt64(int column) const override { return sqlite3_column_int64(FStatement, column); }
    double ColumnDouble(int column) const override { return sqlite3_column_double(FStatement, column); }
    std::string ColumnText(int column) const override
    {
        const unsigned char *text = sqlite3_column_text(FStatement, column);
        return text ? std::string(reinterpret_cast<const char *>(text),
                                  std::size_t(sqlite3_column_bytes(FStatement, column)))
                    : std::string();
    }
    std::string ColumnBlob(int column) const override
    {
        const void *bytes = sqlite3_column_blob(FStatement, column);
        return bytes ? std::string(static_cast<const char *>(bytes),
                                   std::size_t(sqlite3_column_bytes(FStatement, column)))
                     : std::string();
    }
    double ColumnDateTime(int column) const override
    {
        const TDbValueType type = ColumnType(column);
        if (type == TDbValueType::Real || type == TDbValueType::Integer)
            return ColumnDouble(column);
        const std::string text = ColumnText(column);
        if (const std::optional<double> days = IsoTextToDays(text))
            return *days;
        throw EDbDriverError(TDbErrorKind::Other, "“" + text + "”不是日期。");
    }
    std::string_view ColumnBytes(int column) const override
    {
        const void *bytes = nullptr;
        switch (sqlite3_column_type(FStatement, column)) {
        case SQLITE_TEXT:
            bytes = sqlite3_column_text(FStatement, column);
            break;
        case SQLITE_BLOB:
            bytes = sqlite3_column_blob(FStatement, column);
            break;
        default:
            return {};
        }
        return bytes ? std::string_view(static_cast<const char *>(bytes),
                                        std::size_t(sqlite3_column_bytes(FStatement, column)))
                     : std::string_view();
    }
    TDbColumnOrigin ColumnOrigin(int column) const override
    {
        const auto text = [](const char *value) { return value ? std::string(value) : std::string(); };
        return {text(sqlite3_column_table_name(FStatement, column)),
                text(sqlite3_column_origin_name(FStatement, column)),
                text(sqlite3_column_decltype(FStatement, column))};
    }

private:
    void Check(int rc)
    {
        if (rc != SQLITE_OK)
            TSqliteDriver::Fail(FDb, "无法设置语句的参数");
    }

    sqlite3 *FDb;
    sqlite3_stmt *FStatement;
};

} // namespace

TSqliteDriver::TSqliteDriver(const std::string &path, bool create, int busyTimeout)
{
    // A connection serves one thread, so SQLite need not lock around each call.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &FDb, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = FDb ? sqlite3_errmsg(FDb) : sqlite3_errstr(rc);
        sqlite3_close(FDb);
        FDb = nullptr;
        throw EDbDriverError(TDbErrorKind::ConnectionLost, "无法打开数据库“" + path + "”：" + message + "。");
    }
    sqlite3_extended_result_codes(FDb, 1);
    sqlite3_busy_timeout(FDb, busyTimeout);
    try {
        // SQLite reads the file lazily: a file that is no database fails here.
        Prepare("SELECT count(*) FROM sqlite_master")->Step();
        RegisterJetFunctions(FDb);
    } catch (...) {
        sqlite3_close(FDb);
        FDb = nullptr;
        throw;
    }
}

TSqliteDriver::TSqliteDriver(sqlite3 *shared) : FDb(shared), FOwned(false)
{
}

TSqliteDriver::~TSqliteDriver()
{
    if (FOwned)
        sqlite3_close_v2(FDb);
}

const char *const TSqliteDriver::RefusedWriteText =
    "账本文件已损坏（启动时的检查发现），为保护其中的数据，改动没有写入。"
    "请重新启动程序从备份恢复账本，或用“kestrum-db check”检查它。";

void TSqliteDriver::Fail(sqlite3 *db, const std::string &context)
{
    const int code = sqlite3_extended_errcode(db);
    std::string message = sqlite3_errmsg(db);
    TDbErrorKind kind = KindOf(code);
    if (kind == TDbErrorKind::Other && message.starts_with("no such table"))
        kind = TDbErrorKind::SchemaMissing;
    if (code == SQLITE_CONSTRAINT_COMMITHOOK)
        throw EDbDriverError(TDbErrorKind::Other, context + "：" + RefusedWriteText);
    if (kind == TDbErrorKind::Busy)
        message = "数据库正被其他程序使用，请稍后再试";
    else if (kind == TDbErrorKind::NoRights)
        message = "数据库文件是只读的（" + message + "）";
    throw EDbDriverError(kind, context + "：" + message + "。");
}

std::unique_ptr<TDbStatement> TSqliteDriver::Prepare(std::string_view sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(FDb, sql.data(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
        Fail(FDb, "无法准备数据库语句");
    return std::make_unique<TSqliteStatement>(FDb, statement);
}

std::unique_ptr<TDbStatement> TSqliteDriver::PrepareInsert(std::string_view sql, std::string_view)
{
    // SQLite knows the new row's id without being asked.
    return Prepare(sql);
}

std::int64_t TSqliteDriver::LastInsertId() const
{
    return sqlite3_last_insert_rowid(FDb);
}

void TSqliteDriver::Exec(std::string_view sql)
{
    const std::string text(sql);
    if (sqlite3_exec(FDb, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(FDb, "无法执行数据库语句");
}

bool TSqliteDriver::InTransaction() const
{
    return sqlite3_get_autocommit(FDb) == 0;
}

std::vector<TDbTableColumn> TSqliteDriver::TableColumns(std::string_view table)
{
    std::vector<TDbTableColumn> columns;
    std::unique_ptr<TDbStatement> info = Prepare("SELECT name, type, pk FROM pragma_table_info(?1)");
    info->BindText(1, table);
    while (info->Step())
        columns.push_back({info->ColumnText(0), info->ColumnText(1), info->ColumnInt64(2) > 0});
    return columns;
}

std::vector<std::string> TSqliteDriver::TableNames()
{
    std::vector<std::string> names;
    std::unique_ptr<TDbStatement> list =
        Prepare("SELECT name FROM sqlite_master WHERE type IN ('table','view')");
    while (list->Step())
        names.push_back(list->ColumnText(0));
    return names;
}

std::int64_t TSqliteDriver::DataVersion()
{
    std::unique_ptr<TDbStatement> version = Prepare("PRAGMA data_version");
    return version->Step() ? version->ColumnInt64(0) : 0;
}

void TSqliteDriver::WatchChanges()
{
    FWatching = true;
    FDataVersion = DataVersion();
}

std::vector<TDbChange> TSqliteDriver::TakeChanges(int waitMilliseconds)
{
    // A connection not watched yet starts here: what others commit from now
    // on is news. A record set reads its rows just before its first look.
    if (!FWatching) {
        WatchChanges();
        return {};
    }
    // data_version moves only for commits of other connections; a file has
    // no way to wake a reader, so it is looked at every few milliseconds.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        const std::int64_t version = DataVersion();
        if (version != FDataVersion) {
            FDataVersion = version;
            return {TDbChange{}};
        }
        if (std::chrono::steady_clock::now() >= until)
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace kestrum
