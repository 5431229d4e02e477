#include "db/DbConnection.h"

#include "db/DbErrors.h"
#include "db/DbQuery.h"
#include "db/JetFunctions.h"
#include "db/PgDriver.h"
#include "db/SqliteDriver.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>

namespace kestrum {

namespace {

std::string Utf8(const QString &text)
{
    return text.toStdString();
}

//! A name in Chinese quotation marks, as the messages show it.
std::string Quoted(const QString &name)
{
    return "“" + Utf8(name) + "”";
}

} // namespace

TDbConnection::TDbConnection() = default;

TDbConnection::~TDbConnection()
{
    Close();
    // Record sets that outlive the connection must not reach back into it.
    for (TDbQuery *dataSet : std::vector<TDbQuery *>(FDataSets))
        dataSet->SetConnection(nullptr);
}

void TDbConnection::SetConnectionString(const QString &text)
{
    if (FConnectionString == text)
        return;
    Close();
    FConnectionString = text;
    const QString provider = ConnectionStringValue(text, QStringLiteral("Provider"));
    if (!provider.isEmpty())
        FProvider = provider;
}

QString TDbConnection::ConnectionStringValue(const QString &connectionString, const QString &key)
{
    const qsizetype length = connectionString.size();
    qsizetype at = 0;
    while (at < length) {
        const qsizetype equals = connectionString.indexOf('=', at);
        const qsizetype semicolon = connectionString.indexOf(';', at);
        if (equals < 0)
            break;
        if (semicolon >= 0 && semicolon < equals) {
            at = semicolon + 1; // a part without a value
            continue;
        }
        const QString name = connectionString.mid(at, equals - at).trimmed();
        at = equals + 1;
        while (at < length && connectionString[at].isSpace())
            ++at;
        QString value;
        if (at < length && (connectionString[at] == '"' || connectionString[at] == '\'')) {
            const QChar quote = connectionString[at++];
            for (; at < length; ++at) {
                if (connectionString[at] != quote) {
                    value += connectionString[at];
                } else if (at + 1 < length && connectionString[at + 1] == quote) {
                    value += quote;
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
            const qsizetype end = connectionString.indexOf(';', at);
            at = end < 0 ? length : end + 1;
        } else {
            const qsizetype end = connectionString.indexOf(';', at);
            value = connectionString.mid(at, (end < 0 ? length : end) - at).trimmed();
            at = end < 0 ? length : end + 1;
        }
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString TDbConnection::QuotedConnectionStringValue(const QString &value)
{
    const bool plain =
        !value.contains(';') && !value.startsWith('"') && !value.startsWith('\'') && value.trimmed() == value;
    if (plain)
        return value;
    QString quoted = value;
    quoted.replace('"', QStringLiteral("\"\""));
    return '"' + quoted + '"';
}

QString TDbConnection::DataSourceName() const
{
    return ConnectionStringValue(FConnectionString, QStringLiteral("Data Source"));
}

void TDbConnection::Open()
{
    if (FDriver)
        return;
    const QString name = DataSourceName();
    if (name.isEmpty())
        throw EDatabaseError("连接字符串没有指明数据库文件（缺少 Data Source）。");
    if (IsServerTarget(name.toStdString())) {
        // The driver's failures name their kind and carry the user's message.
        auto driver = std::make_unique<TPgDriver>(name.toStdString());
        // A row another computer holds is waited for as long as a file's
        // lock would be, then the write fails as busy rather than hanging.
        driver->Exec("SET lock_timeout = " + std::to_string(std::max(FBusyTimeout, 1)));
        // A connection for reading only never writes, on a server as on a file.
        if (FMode == cmRead)
            driver->Exec("SET default_transaction_read_only = on");
        FDriver = std::move(driver);
        return;
    }
    // A bare name is looked up in the working folder, as the ledger expects.
    const QFileInfo info(QDir::current(), name);
    const std::string path = Utf8(QDir::toNativeSeparators(info.absoluteFilePath()));
    // Messages name the file as the user knows it; only a missing file names
    // its folder too, since a program started elsewhere looks in another one.
    const std::string shown = Quoted(info.fileName());
    if (!info.exists())
        throw EDatabaseError("找不到数据库文件" + shown + "，它应在文件夹" +
                             Quoted(QDir::toNativeSeparators(info.absolutePath())) + "中。");
    if (info.isDir())
        throw EDatabaseError(shown + "是一个文件夹，不是数据库文件。");

    sqlite3 *db = nullptr;
    // Never SQLITE_OPEN_CREATE: the program must not make a database by itself.
    // A connection serves one thread, so SQLite need not lock around each call.
    // A connection for reading only (a backup shown to look at) never writes.
    const int access = FMode == cmRead ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    int rc = sqlite3_open_v2(path.c_str(), &db, access | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw EDatabaseError("无法打开数据库" + shown + "：" + message + "。");
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, FBusyTimeout);

    // SQLite reads the file lazily; read its schema now so that a file that
    // is no database, is damaged or is locked fails here and not later.
    sqlite3_stmt *probe = nullptr;
    rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    if (rc != SQLITE_ROW) {
        const int primary = rc & 0xff;
        std::string message;
        if (primary == SQLITE_NOTADB)
            message = shown + "不是可识别的数据库文件。";
        else if (primary == SQLITE_CORRUPT)
            message = "数据库" + shown + "已损坏，无法打开：" + sqlite3_errmsg(db) + "。";
        else if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
            message = "数据库" + shown + "正被其他程序独占使用，请稍后再试。";
        else
            message = "无法打开数据库" + shown + "：" + sqlite3_errmsg(db) + "。";
        sqlite3_close(db);
        throw EDatabaseError(message);
    }
    try {
        RegisterJetFunctions(db);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    if (FMode == cmShareExclusive)
        sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
    FDb = db;
    FDriver = std::make_unique<TSqliteDriver>(db);
    InstallCommitGate();
}

void TDbConnection::SetCommitGate(TCommitGate gate)
{
    FCommitGate = gate ? std::make_unique<TCommitGate>(std::move(gate)) : nullptr;
    InstallCommitGate();
}

void TDbConnection::InstallCommitGate()
{
    if (!FDb)
        return;
    if (!FCommitGate) {
        sqlite3_commit_hook(FDb, nullptr, nullptr);
        return;
    }
    // A non-zero answer makes SQLite roll the transaction back.
    sqlite3_commit_hook(
        FDb, [](void *gate) { return (*static_cast<TCommitGate *>(gate))() ? 0 : 1; }, FCommitGate.get());
}

bool TDbConnection::ReadOnly() const
{
    return FDb && sqlite3_db_readonly(FDb, "main") == 1;
}

void TDbConnection::Close()
{
    if (!FDriver)
        return;
    for (TDbQuery *dataSet : std::vector<TDbQuery *>(FDataSets))
        dataSet->ConnectionClosing();
    FDriver.reset();
    if (FDb)
        sqlite3_close_v2(FDb);
    FDb = nullptr;
}

void TDbConnection::SetConnected(bool connected)
{
    if (connected)
        Open();
    else
        Close();
}

void TDbConnection::AttachDataSet(TDbQuery *dataSet)
{
    if (std::find(FDataSets.begin(), FDataSets.end(), dataSet) == FDataSets.end())
        FDataSets.push_back(dataSet);
}

void TDbConnection::DetachDataSet(TDbQuery *dataSet)
{
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), dataSet), FDataSets.end());
}

void TDbConnection::RaiseLastError(const std::string &context) const
{
    const std::string detail = FDb ? sqlite3_errmsg(FDb) : "连接已关闭";
    const int code = FDb ? sqlite3_extended_errcode(FDb) & 0xff : SQLITE_MISUSE;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        throw EDatabaseError(context + "：数据库正被其他程序使用，请稍后再试。");
    if (code == SQLITE_READONLY)
        throw EDatabaseError(context + "：数据库文件是只读的。");
    if (FDb && sqlite3_extended_errcode(FDb) == SQLITE_CONSTRAINT_COMMITHOOK)
        throw EDatabaseError(context + "：" + TSqliteDriver::RefusedWriteText);
    throw EDatabaseError(context + "：" + detail + "。");
}

void TDbConnection::NotifyWriteStep(TDbWriteStep step) const
{
    if (OnWriteStep)
        OnWriteStep(step);
}

} // namespace kestrum
