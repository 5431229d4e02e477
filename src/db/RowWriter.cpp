#include "db/RowWriter.h"

#include "db/ColumnInfo.h"
#include "db/DbConnection.h"
#include "db/DbDriver.h"
#include "db/DbErrors.h"
#include "db/DbRowReader.h"
#include "db/FieldValues.h"
#include "db/RowStore.h"

#include <sqlite3.h>

#include <QStringList>

#include <algorithm>
#include <memory>

namespace kestrum {

namespace {

QString Quoted(const QString &identifier)
{
    QString result = identifier;
    result.replace('"', QStringLiteral("\"\""));
    return '"' + result + '"';
}

QString Utf8Column(const unsigned char *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

StatementPtr Prepare(const TDbConnection &connection, const QString &sql, const char *context)
{
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(connection.Handle(), utf8.constData(), int(utf8.size()), &statement, nullptr) !=
        SQLITE_OK)
        connection.RaiseLastError(context);
    return StatementPtr(statement, sqlite3_finalize);
}

// The table's key: its one INTEGER PRIMARY KEY column (the row id), or "".
QString TableKeyColumn(sqlite3 *db, const QString &table)
{
    sqlite3_stmt *info = nullptr;
    QString key;
    int keys = 0;
    if (sqlite3_prepare_v2(db, "SELECT name, type FROM pragma_table_info(?1) WHERE pk > 0", -1, &info,
                           nullptr) == SQLITE_OK) {
        const QByteArray utf8 = table.toUtf8();
        sqlite3_bind_text(info, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(info) == SQLITE_ROW) {
            ++keys;
            const QString type = Utf8Column(sqlite3_column_text(info, 1));
            if (type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                key = Utf8Column(sqlite3_column_text(info, 0));
        }
    }
    sqlite3_finalize(info);
    return keys == 1 ? key : QString();
}

// One write transaction: rolled back unless committed, so that a failure at
// any step leaves the file as it was.
class TWriteTransaction {
public:
    TWriteTransaction(const TDbConnection &connection, const char *context)
        : FConnection(connection), FContext(context)
    {
        // IMMEDIATE takes the write lock now (waiting out the busy timeout),
        // so no other writer slips in between our check and our write.
        if (sqlite3_exec(connection.Handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            connection.RaiseLastError(context);
        FOpen = true;
        connection.NotifyWriteStep(TDbWriteStep::Began);
    }
    ~TWriteTransaction()
    {
        if (FOpen)
            sqlite3_exec(FConnection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    TWriteTransaction(const TWriteTransaction &) = delete;
    TWriteTransaction &operator=(const TWriteTransaction &) = delete;
    void Commit()
    {
        if (sqlite3_exec(FConnection.Handle(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            FConnection.RaiseLastError(FContext);
        FOpen = false;
        FConnection.NotifyWriteStep(TDbWriteStep::Committed);
    }
    void Rollback()
    {
        sqlite3_exec(FConnection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        FOpen = false;
    }

private:
    const TDbConnection &FConnection;
    const char *FContext;
    bool FOpen = false;
};

//! Reads one row of the base table back by its key, so that the record set
//! holds exactly what the file holds (a new key, values as the columns
//! stored them). bindKey binds the key to parameter 1.
template <typename BindKey>
TDbRowStore ReadBackRow(const TDbConnection &connection, const QString &table,
                        const std::vector<QString> &origins, int keyField, const char *context,
                        BindKey bindKey)
{
    QStringList columns;
    for (const QString &origin : origins)
        columns.append(Quoted(origin));
    StatementPtr readBack = Prepare(connection,
                                    "SELECT " + columns.join(',') + " FROM " + Quoted(table) + " WHERE " +
                                        Quoted(origins[std::size_t(keyField)]) + " IS ?1",
                                    context);
    bindKey(readBack.get());
    if (sqlite3_step(readBack.get()) != SQLITE_ROW)
        connection.RaiseLastError(context);
    TDbRowStore row(int(origins.size()));
    row.AddFromStatement(readBack.get());
    return row;
}

//! Steps an UPDATE or DELETE of one checked row; false when it found no row
//! to change (another program changed or deleted it since it was read).
bool StepCheckedWrite(const TDbConnection &connection, sqlite3_stmt *statement, const char *context)
{
    if (sqlite3_step(statement) != SQLITE_DONE)
        connection.RaiseLastError(context);
    return sqlite3_changes(connection.Handle()) == 1;
}

//! One write transaction on a server: rolled back unless committed.
class TServerTransaction {
public:
    explicit TServerTransaction(const TDbConnection &connection) : FConnection(connection)
    {
        connection.Driver().Begin();
        FOpen = true;
        connection.NotifyWriteStep(TDbWriteStep::Began);
    }
    ~TServerTransaction()
    {
        if (!FOpen)
            return;
        try {
            FConnection.Driver().Rollback();
        } catch (...) { // a broken link ends the transaction on the server anyway
        }
    }
    TServerTransaction(const TServerTransaction &) = delete;
    TServerTransaction &operator=(const TServerTransaction &) = delete;
    void Commit()
    {
        FConnection.Driver().Commit();
        FOpen = false;
        FConnection.NotifyWriteStep(TDbWriteStep::Committed);
    }

private:
    const TDbConnection &FConnection;
    bool FOpen = false;
};

std::unique_ptr<TDbStatement> PrepareOnServer(const TDbConnection &connection, const QString &sql)
{
    const QByteArray utf8 = sql.toUtf8();
    return connection.Driver().Prepare(std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

} // namespace

QString TDbRowWriter::ServerRowCheckCondition(int firstParameter) const
{
    int parameter = firstParameter;
    QStringList checks{Quoted(FOrigins[std::size_t(FKeyField)]) + " = ?" + QString::number(parameter++)};
    for (int i = 0; i < int(FOrigins.size()); ++i)
        if (i != FKeyField)
            checks.append(Quoted(FOrigins[std::size_t(i)]) + " IS NOT DISTINCT FROM ?" +
                          QString::number(parameter++));
    return checks.join(" AND ");
}

void TDbRowWriter::BindServerRowCheck(TDbStatement &statement, int parameter, const TDbRowStore &store,
                                      int slot) const
{
    store.Bind(statement, parameter++, slot, FKeyField);
    for (int i = 0; i < int(FOrigins.size()); ++i)
        if (i != FKeyField)
            store.Bind(statement, parameter++, slot, i);
}

TDbRowStore TDbRowWriter::ReadBackOnServer(const TDbConnection &connection, const TDbRowStore *store,
                                           int slot, std::int64_t key) const
{
    QStringList columns;
    for (const QString &origin : FOrigins)
        columns.append(Quoted(origin));
    const std::unique_ptr<TDbStatement> readBack =
        PrepareOnServer(connection, "SELECT " + columns.join(',') + " FROM " + Quoted(FTable) + " WHERE " +
                                        Quoted(FOrigins[std::size_t(FKeyField)]) + " = ?1");
    if (store)
        store->Bind(*readBack, 1, slot, FKeyField);
    else
        readBack->BindInt64(1, key);
    if (!readBack->Step())
        RaiseConflict("保存"); // gone although this transaction just wrote it
    TDbRowStore row(int(FOrigins.size()));
    row.AddFromRow(TDbRowReader(*readBack));
    return row;
}

QString TDbRowWriter::InsertSql(const std::vector<int> &fields) const
{
    QString sql = "INSERT INTO " + Quoted(FTable);
    if (fields.empty())
        return sql + QStringLiteral(" DEFAULT VALUES");
    QStringList names, marks;
    for (int i : fields) {
        names.append(Quoted(FOrigins[std::size_t(i)]));
        marks.append(QStringLiteral("?"));
    }
    return sql + " (" + names.join(',') + ") VALUES (" + marks.join(',') + ")";
}

TDbRowStore TDbRowWriter::InsertOnServer(const TDbConnection &connection, const std::vector<int> &fields,
                                         const std::vector<Variant> &values,
                                         const std::vector<TFieldType> &types) const
{
    const QString sql = InsertSql(fields);
    TServerTransaction transaction(connection);
    TDbDriver &driver = connection.Driver();
    {
        const QByteArray utf8 = sql.toUtf8();
        const QByteArray key = FOrigins[std::size_t(FKeyField)].toUtf8();
        const std::unique_ptr<TDbStatement> insert =
            driver.PrepareInsert(std::string_view(utf8.constData(), std::size_t(utf8.size())),
                                 std::string_view(key.constData(), std::size_t(key.size())));
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const std::size_t field = std::size_t(fields[k]);
            BindFieldValue(*insert, int(k) + 1, values[field], types[field]);
        }
        insert->Step();
    }
    connection.NotifyWriteStep(TDbWriteStep::Written);
    TDbRowStore row = ReadBackOnServer(connection, nullptr, 0, driver.LastInsertId());
    connection.NotifyWriteStep(TDbWriteStep::ReadBack);
    transaction.Commit();
    return row;
}

TDbRowStore TDbRowWriter::UpdateOnServer(const TDbConnection &connection, const TDbRowStore &store, int slot,
                                         const std::vector<int> &fields, const std::vector<Variant> &values,
                                         const std::vector<TFieldType> &types) const
{
    QStringList sets;
    int parameter = 1;
    for (int i : fields)
        sets.append(Quoted(FOrigins[std::size_t(i)]) + " = ?" + QString::number(parameter++));
    // RETURNING tells whether the checked row was there to change.
    const QString sql = "UPDATE " + Quoted(FTable) + " SET " + sets.join(',') + " WHERE " +
                        ServerRowCheckCondition(parameter) + " RETURNING " +
                        Quoted(FOrigins[std::size_t(FKeyField)]);
    TServerTransaction transaction(connection);
    bool stored = false;
    {
        const std::unique_ptr<TDbStatement> update = PrepareOnServer(connection, sql);
        parameter = 1;
        for (int i : fields)
            BindFieldValue(*update, parameter++, values[std::size_t(i)], types[std::size_t(i)]);
        BindServerRowCheck(*update, parameter, store, slot);
        stored = update->Step();
    }
    if (!stored)
        RaiseConflict("保存");
    connection.NotifyWriteStep(TDbWriteStep::Written);
    TDbRowStore row = ReadBackOnServer(connection, &store, slot, 0);
    connection.NotifyWriteStep(TDbWriteStep::ReadBack);
    transaction.Commit();
    return row;
}

void TDbRowWriter::DeleteOnServer(const TDbConnection &connection, const TDbRowStore &store, int slot) const
{
    const QString sql = "DELETE FROM " + Quoted(FTable) + " WHERE " + ServerRowCheckCondition(1) +
                        " RETURNING " + Quoted(FOrigins[std::size_t(FKeyField)]);
    TServerTransaction transaction(connection);
    bool deleted = false;
    {
        const std::unique_ptr<TDbStatement> remove = PrepareOnServer(connection, sql);
        BindServerRowCheck(*remove, 1, store, slot);
        deleted = remove->Step();
    }
    if (!deleted)
        RaiseConflict("删除");
    connection.NotifyWriteStep(TDbWriteStep::Written);
    transaction.Commit();
}

void TDbRowWriter::RaiseConflict(const char *action)
{
    throw EDbRowConflict(std::string("这条记录在读出之后已被其他程序修改或删除，因此未能") + action +
                         "，也没有覆盖任何内容。请取消，再重新显示列表以查看当前的数据。");
}

template <typename KeyOf>
void TDbRowWriter::DescribeWith(const std::vector<TDbColumnInfo> &columns, KeyOf &&keyOf)
{
    Clear();
    QString table;
    bool oneTable = !columns.empty();
    for (const TDbColumnInfo &column : columns) {
        if (column.table.isEmpty() || (!table.isEmpty() && column.table != table))
            oneTable = false;
        table = column.table;
        FOrigins.push_back(column.origin);
    }
    if (!oneTable)
        return;
    const QString key = keyOf(table);
    for (int i = 0; i < int(columns.size()) && !key.isEmpty(); ++i)
        if (columns[std::size_t(i)].origin.compare(key, Qt::CaseInsensitive) == 0)
            FKeyField = i;
    std::vector<QString> sorted = FOrigins;
    std::sort(sorted.begin(), sorted.end());
    const bool distinct = std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
    if (FKeyField >= 0 && distinct)
        FTable = table;
}

void TDbRowWriter::Describe(sqlite3 *db, const std::vector<TDbColumnInfo> &columns)
{
    DescribeWith(columns, [db](const QString &table) { return TableKeyColumn(db, table); });
}

void TDbRowWriter::Describe(TDbDriver &driver, const std::vector<TDbColumnInfo> &columns)
{
    // The key is the table's one primary key column holding whole numbers.
    DescribeWith(columns, [&driver](const QString &table) {
        QString key;
        int keys = 0;
        for (const TDbTableColumn &column : driver.TableColumns(table.toStdString())) {
            if (!column.PrimaryKey)
                continue;
            ++keys;
            if (QString::fromStdString(column.DeclaredType)
                    .compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                key = QString::fromStdString(column.Name);
        }
        return keys == 1 ? key : QString();
    });
}

void TDbRowWriter::Clear()
{
    FTable.clear();
    FOrigins.clear();
    FKeyField = -1;
}

QString TDbRowWriter::RowCheckCondition() const
{
    QStringList checks{Quoted(FOrigins[std::size_t(FKeyField)]) + " IS ?"};
    for (int i = 0; i < int(FOrigins.size()); ++i)
        if (i != FKeyField)
            checks.append(Quoted(FOrigins[std::size_t(i)]) + " IS ?");
    return checks.join(" AND ");
}

void TDbRowWriter::BindRowCheck(sqlite3_stmt *statement, int parameter, const TDbRowStore &store,
                                int slot) const
{
    store.Bind(statement, parameter++, slot, FKeyField);
    for (int i = 0; i < int(FOrigins.size()); ++i)
        if (i != FKeyField)
            store.Bind(statement, parameter++, slot, i);
}

TDbRowStore TDbRowWriter::Insert(const TDbConnection &connection, const std::vector<int> &fields,
                                 const std::vector<Variant> &values,
                                 const std::vector<TFieldType> &types) const
{
    if (connection.IsServer())
        return InsertOnServer(connection, fields, values, types);
    const QString sql = InsertSql(fields);
    const char *context = "新记录未能保存";
    TWriteTransaction transaction(connection, context);
    {
        StatementPtr insert = Prepare(connection, sql, context);
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const std::size_t field = std::size_t(fields[k]);
            BindFieldValue(insert.get(), int(k) + 1, values[field], types[field]);
        }
        if (sqlite3_step(insert.get()) != SQLITE_DONE)
            connection.RaiseLastError(context);
    }
    connection.NotifyWriteStep(TDbWriteStep::Written);
    const sqlite3_int64 key = sqlite3_last_insert_rowid(connection.Handle());
    TDbRowStore row = ReadBackRow(connection, FTable, FOrigins, FKeyField, context,
                                  [key](sqlite3_stmt *readBack) { sqlite3_bind_int64(readBack, 1, key); });
    connection.NotifyWriteStep(TDbWriteStep::ReadBack);
    transaction.Commit();
    return row;
}

TDbRowStore TDbRowWriter::Update(const TDbConnection &connection, const TDbRowStore &store, int slot,
                                 const std::vector<int> &fields, const std::vector<Variant> &values,
                                 const std::vector<TFieldType> &types) const
{
    if (connection.IsServer())
        return UpdateOnServer(connection, store, slot, fields, values, types);
    QStringList sets;
    for (int i : fields)
        sets.append(Quoted(FOrigins[std::size_t(i)]) + " = ?");
    const QString sql =
        "UPDATE " + Quoted(FTable) + " SET " + sets.join(',') + " WHERE " + RowCheckCondition();

    const char *context = "修改的记录未能保存";
    TWriteTransaction transaction(connection, context);
    bool stored = false;
    {
        StatementPtr update = Prepare(connection, sql, context);
        int parameter = 1;
        for (int i : fields)
            BindFieldValue(update.get(), parameter++, values[std::size_t(i)], types[std::size_t(i)]);
        BindRowCheck(update.get(), parameter, store, slot);
        stored = StepCheckedWrite(connection, update.get(), context);
    }
    if (!stored) {
        transaction.Rollback();
        RaiseConflict("保存");
    }
    connection.NotifyWriteStep(TDbWriteStep::Written);
    TDbRowStore row = ReadBackRow(connection, FTable, FOrigins, FKeyField, context,
                                  [&](sqlite3_stmt *readBack) { store.Bind(readBack, 1, slot, FKeyField); });
    connection.NotifyWriteStep(TDbWriteStep::ReadBack);
    transaction.Commit();
    return row;
}

void TDbRowWriter::Delete(const TDbConnection &connection, const TDbRowStore &store, int slot) const
{
    if (connection.IsServer())
        return DeleteOnServer(connection, store, slot);
    const QString sql = "DELETE FROM " + Quoted(FTable) + " WHERE " + RowCheckCondition();
    const char *context = "记录未能删除";
    TWriteTransaction transaction(connection, context);
    bool deleted = false;
    {
        StatementPtr remove = Prepare(connection, sql, context);
        BindRowCheck(remove.get(), 1, store, slot);
        deleted = StepCheckedWrite(connection, remove.get(), context);
    }
    if (!deleted) {
        transaction.Rollback();
        RaiseConflict("删除");
    }
    connection.NotifyWriteStep(TDbWriteStep::Written);
    transaction.Commit();
}

} // namespace kestrum
