#include "db/QueryStatement.h"

#include "db/ColumnInfo.h"
#include "db/DbConnection.h"
#include "db/DbDriver.h"
#include "db/DbErrors.h"
#include "db/DbRowReader.h"
#include "db/ParameterBinding.h"
#include "db/RowStore.h"
#include "db/SqlStatement.h"

#include <sqlite3.h>

#include <cctype>

namespace kestrum {

namespace {

QString Utf8Column(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString Quoted(const QString &identifier)
{
    QString result = identifier;
    result.replace('"', QStringLiteral("\"\""));
    return '"' + result + '"';
}

} // namespace

TDbQueryStatement::TDbQueryStatement() : FPlan(std::make_unique<TDbStatementPlan>())
{
}

TDbQueryStatement::~TDbQueryStatement() = default;

void TDbQueryStatement::SetLines(const QStringList &lines)
{
    FLines = lines;
    *FPlan = ParseStatement(Text());
    FParameters.Rebuild(FPlan->names);
}

void TDbQueryStatement::OpenFor(TDbConnection *connection, const QString &context) const
{
    if (!connection)
        throw EDatabaseError(context.toStdString() + "没有连接到数据库。");
    if (Text().trimmed().isEmpty())
        throw EDatabaseError(context.toStdString() + "没有 SQL 语句。");
    connection->Open();
}

std::unique_ptr<TDbStatement> TDbQueryStatement::PrepareOnServer(TDbConnection &connection) const
{
    // A record set only reads: the statement must be one SELECT (a server
    // refuses several statements in one by itself).
    std::size_t start = FPlan->sql.find_first_not_of(" \t\r\n(");
    const std::string first = start == std::string::npos ? std::string() : FPlan->sql.substr(start, 6);
    if (QString::fromStdString(first).compare(QLatin1String("SELECT"), Qt::CaseInsensitive) != 0)
        throw EDatabaseError("该语句不返回行；记录集只能执行 SELECT 语句。");
    TDbDriver &driver = connection.Driver();
    std::unique_ptr<TDbStatement> statement = driver.Prepare(FPlan->sql);
    BindParameters(driver, *statement, *FPlan, FParameters);
    return statement;
}

TDbQueryStatement::THandle TDbQueryStatement::Prepare(TDbConnection *connection, const QString &context) const
{
    OpenFor(connection, context);
    sqlite3 *db = connection->Handle();

    sqlite3_stmt *statement = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, FPlan->sql.c_str(), int(FPlan->sql.size()), &statement, &tail) != SQLITE_OK)
        connection->RaiseLastError("语句无法执行");
    THandle guard(statement, sqlite3_finalize);
    if (!statement)
        throw EDatabaseError("语句是空的。");
    for (const char *p = tail; p && *p; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';')
            throw EDatabaseError("一次只能执行一条语句。");
    if (!sqlite3_stmt_readonly(statement) || sqlite3_column_count(statement) == 0)
        throw EDatabaseError("该语句不返回行；记录集只能执行 SELECT 语句。");
    BindParameters(db, statement, *FPlan, FParameters);
    return guard;
}

std::unique_ptr<TDbRowStore> TDbQueryStatement::Run(TDbConnection *connection, const QString &context,
                                                    std::vector<TDbColumnInfo> &columns) const
{
    return Run(
        connection, context, columns,
        [](const std::vector<TDbColumnInfo> &result) {
            return std::make_unique<TDbRowStore>(int(result.size()));
        },
        nullptr);
}

std::unique_ptr<TDbRowStore>
TDbQueryStatement::Run(TDbConnection *connection, const QString &context, std::vector<TDbColumnInfo> &columns,
                       const TMakeStore &makeStore,
                       const std::function<void(int slot, const TDbRowReader &row)> &onRow) const
{
    OpenFor(connection, context);
    if (connection->IsServer()) {
        const std::unique_ptr<TDbStatement> statement = PrepareOnServer(*connection);
        // The server describes its result once it ran.
        bool more = statement->Step();
        const int count = statement->ColumnCount();
        columns.clear();
        for (int i = 0; i < count; ++i) {
            const TDbColumnOrigin origin = statement->ColumnOrigin(i);
            TDbColumnInfo column;
            column.name = QString::fromStdString(statement->ColumnName(i));
            column.table = QString::fromStdString(origin.Table);
            column.origin = QString::fromStdString(origin.Column);
            column.declared = origin.DeclaredType;
            columns.push_back(std::move(column));
        }
        std::unique_ptr<TDbRowStore> store = makeStore(columns);
        for (; more; more = statement->Step()) {
            const TDbRowReader row(*statement);
            const int slot = store->KeysOnly() ? store->AddKeyAndHash(row) : store->AddFromRow(row);
            if (onRow)
                onRow(slot, row);
        }
        return store;
    }
    const THandle guard = Prepare(connection, context);
    sqlite3_stmt *statement = guard.get();
    const int count = sqlite3_column_count(statement);
    columns.clear();
    for (int i = 0; i < count; ++i) {
        TDbColumnInfo column;
        column.name = Utf8Column(sqlite3_column_name(statement, i));
        column.table = Utf8Column(sqlite3_column_table_name(statement, i));
        column.origin = Utf8Column(sqlite3_column_origin_name(statement, i));
        const char *declared = sqlite3_column_decltype(statement, i);
        column.declared = declared ? declared : "";
        columns.push_back(std::move(column));
    }
    std::unique_ptr<TDbRowStore> store = makeStore(columns);
    for (;;) {
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            connection->RaiseLastError("语句执行失败");
        const TDbRowReader row(statement);
        const int slot = store->KeysOnly() ? store->AddKeyAndHash(row) : store->AddFromStatement(statement);
        if (onRow)
            onRow(slot, row);
    }
    return store;
}

void TDbQueryStatement::Scan(TDbConnection *connection, const QString &context,
                             const std::function<void(const TDbRowReader &row)> &onRow) const
{
    OpenFor(connection, context);
    if (connection->IsServer()) {
        const std::unique_ptr<TDbStatement> statement = PrepareOnServer(*connection);
        while (statement->Step())
            onRow(TDbRowReader(*statement));
        return;
    }
    const THandle guard = Prepare(connection, context);
    for (;;) {
        const int rc = sqlite3_step(guard.get());
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            connection->RaiseLastError("语句执行失败");
        onRow(TDbRowReader(guard.get()));
    }
}

bool TDbQueryStatement::SelectsRow(const TDbConnection &connection, const QString &keyName,
                                   const TDbRowStore &store, int slot, int keyColumn) const
{
    // The statement as a subquery narrowed to the row's key: SQLite flattens
    // it into a key lookup, so every condition of the statement is tested on
    // that one row.
    std::string inner = FPlan->sql;
    while (!inner.empty() && (std::isspace(static_cast<unsigned char>(inner.back())) || inner.back() == ';'))
        inner.pop_back();
    const int keyParameter = int(FPlan->names.size()) + 1;
    const QString sql = "SELECT 1 FROM (" + QString::fromStdString(inner) + ") AS kestrum_row WHERE " +
                        Quoted(keyName) + " = ?" + QString::number(keyParameter);
    if (connection.IsServer()) {
        // A server plans the subquery as a lookup by key too.
        TDbDriver &driver = connection.Driver();
        const QByteArray utf8 = sql.toUtf8();
        const std::unique_ptr<TDbStatement> lookup =
            driver.Prepare(std::string_view(utf8.constData(), std::size_t(utf8.size())));
        BindParameters(driver, *lookup, *FPlan, FParameters);
        store.Bind(*lookup, keyParameter, slot, keyColumn);
        return lookup->Step();
    }
    sqlite3_stmt *raw = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(connection.Handle(), utf8.constData(), int(utf8.size()), &raw, nullptr) !=
            SQLITE_OK ||
        !raw) {
        sqlite3_finalize(raw);
        return false;
    }
    const THandle lookup(raw, sqlite3_finalize);
    BindParameters(connection.Handle(), lookup.get(), *FPlan, FParameters);
    store.Bind(lookup.get(), keyParameter, slot, keyColumn);
    const int rc = sqlite3_step(lookup.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        connection.RaiseLastError("无法核对记录是否仍符合列表的查询条件");
    return false;
}

} // namespace kestrum
