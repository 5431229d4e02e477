#include "db/RowReadBack.h"

#include "db/DbConnection.h"
#include "db/DbDriver.h"
#include "db/DbErrors.h"
#include "db/DbRowReader.h"
#include "db/RowStore.h"

#include <sqlite3.h>

#include <QStringList>

namespace kestrum {

namespace {

QString Quoted(const QString &identifier)
{
    QString result = identifier;
    result.replace('"', QStringLiteral("\"\""));
    return '"' + result + '"';
}

} // namespace

TDbRowReadBack::TDbRowReadBack() : FStatement(nullptr, sqlite3_finalize)
{
}

TDbRowReadBack::~TDbRowReadBack() = default;

void TDbRowReadBack::Use(const QString &table, const std::vector<QString> &origins, int keyColumn)
{
    Clear();
    FTable = table;
    FOrigins = origins;
    FKeyColumn = keyColumn;
}

void TDbRowReadBack::Clear()
{
    FStatement.reset();
    FServerStatement.reset();
    FRow.reset();
    FSlot = -1;
    FFound = false;
}

void TDbRowReadBack::Forget()
{
    FSlot = -1;
}

void TDbRowReadBack::Keep(int slot, const TDbRowStore &row)
{
    FRow = std::make_unique<TDbRowStore>(row.ColumnCount());
    FRow->AddCopy(row, 0);
    FFound = true;
    FSlot = slot;
}

const TDbRowStore *TDbRowReadBack::Row(const TDbConnection &connection, int slot, std::int64_t key)
{
    if (slot >= 0 && slot == FSlot)
        return FFound ? FRow.get() : nullptr;
    return FreshRow(connection, slot, key);
}

QByteArray TDbRowReadBack::Sql() const
{
    QStringList columns;
    for (const QString &origin : FOrigins)
        columns.append(Quoted(origin));
    return ("SELECT " + columns.join(',') + " FROM " + Quoted(FTable) + " WHERE " +
            Quoted(FOrigins[std::size_t(FKeyColumn)]) + " = ?1")
        .toUtf8();
}

const TDbRowStore *TDbRowReadBack::FreshRow(const TDbConnection &connection, int slot, std::int64_t key)
{
    const char *context = "无法读取记录";
    FSlot = -1;
    if (!connection.Connected() || FKeyColumn < 0)
        throw EDatabaseError(std::string(context) + "：没有打开的数据库。");
    if (connection.IsServer()) {
        if (!FServerStatement) {
            const QByteArray sql = Sql();
            FServerStatement =
                connection.Driver().Prepare(std::string_view(sql.constData(), std::size_t(sql.size())));
        }
        TDbStatement &statement = *FServerStatement;
        statement.BindInt64(1, key);
        FFound = statement.Step();
        if (FFound) {
            FRow = std::make_unique<TDbRowStore>(int(FOrigins.size()));
            FRow->AddFromRow(TDbRowReader(statement));
        }
        statement.Reset();
        FSlot = slot;
        return FFound ? FRow.get() : nullptr;
    }
    if (!FStatement) {
        const QByteArray sql = Sql();
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(connection.Handle(), sql.constData(), int(sql.size()), &statement, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(statement);
            connection.RaiseLastError(context);
        }
        FStatement.reset(statement);
    }
    sqlite3_stmt *statement = FStatement.get();
    sqlite3_reset(statement);
    sqlite3_bind_int64(statement, 1, key);
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        sqlite3_reset(statement);
        connection.RaiseLastError(context);
    }
    FFound = rc == SQLITE_ROW;
    if (FFound) {
        FRow = std::make_unique<TDbRowStore>(int(FOrigins.size()));
        FRow->AddFromStatement(statement);
    }
    sqlite3_reset(statement); // no read lock held between reads
    FSlot = slot;
    return FFound ? FRow.get() : nullptr;
}

} // namespace kestrum
