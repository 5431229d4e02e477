#include "ledger/JournalSql.h"

#include "core/Errors.h"
#include "db/SqliteDriver.h"

#include <sqlite3.h>

namespace kestrum::journal_sql {

Statement Prepare(TDbDriver &db, const std::string &sql)
{
    return db.Prepare(sql);
}

void Exec(TDbDriver &db, const std::string &sql)
{
    db.Exec(sql);
}

void Run(TDbStatement &statement)
{
    while (statement.Step()) {
    }
    statement.Reset();
}

void BindText(TDbStatement &statement, int parameter, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    statement.BindText(parameter, std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

QString Text(const TDbStatement &statement, int column)
{
    return QString::fromStdString(statement.ColumnText(column));
}

sqlite3 *FileHandle(TDbDriver &db)
{
    auto *file = dynamic_cast<TSqliteDriver *>(&db);
    return file ? file->Handle() : nullptr;
}

bool OnServer(TDbDriver &db)
{
    return FileHandle(db) == nullptr;
}

bool ReadOnlyFile(TDbDriver &db)
{
    sqlite3 *file = FileHandle(db);
    return file && sqlite3_db_readonly(file, "main") == 1;
}

bool TableExists(TDbDriver &db, const char *name)
{
    Statement find =
        Prepare(db, OnServer(db) ? "SELECT 1 WHERE to_regclass(?1) IS NOT NULL"
                                 : "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    find->BindText(1, name);
    return find->Step();
}

const char *SameSql(TDbDriver &db)
{
    return OnServer(db) ? " IS NOT DISTINCT FROM " : " IS ";
}

const char *OpenActionSql(TDbDriver &db)
{
    return OnServer(db) ? "nullif(current_setting('kestrum.action', true), '')::bigint"
                        : "(SELECT action_id FROM kestrum_journal_open)";
}

const char *RowIdSql(TDbDriver &db)
{
    return OnServer(db) ? "id" : "rowid";
}

const char *NowSql(TDbDriver &db)
{
    return OnServer(db) ? "kestrum_now_text()" : "datetime('now', 'localtime')";
}

std::string TypedSql(TDbDriver &db, const std::string &value, int column, bool budget)
{
    if (!OnServer(db))
        return value;
    if (column == 0)
        return value + "::numeric";
    if (column == 1 && !budget)
        return value + "::timestamp";
    return value;
}

TWriteTransaction::TWriteTransaction(TDbDriver &db, const std::string &failed)
    : FDb(db), FFailed(failed), FNested(db.InTransaction())
{
    Run(FNested        ? "SAVEPOINT kestrum_write"
        : OnServer(db) ? "BEGIN ISOLATION LEVEL SERIALIZABLE"
                       : "BEGIN IMMEDIATE");
}

TWriteTransaction::~TWriteTransaction()
{
    if (FDone)
        return;
    try {
        if (FNested) {
            FDb.Exec("ROLLBACK TO kestrum_write");
            FDb.Exec("RELEASE kestrum_write");
        } else {
            FDb.Rollback();
        }
    } catch (const Exception &) {
        // The transaction ended with the failure that brought us here.
    }
}

void TWriteTransaction::Commit()
{
    Run(FNested ? "RELEASE kestrum_write" : "COMMIT");
    FDone = true;
}

void TWriteTransaction::Run(const char *sql)
{
    try {
        FDb.Exec(sql);
    } catch (const EDbDriverError &e) {
        throw EDbDriverError(e.Kind(), FFailed + "：" + Reason(e));
    } catch (const Exception &e) {
        throw EDatabaseError(FFailed + "：" + Reason(e));
    }
}

std::string Reason(const std::exception &error)
{
    const std::string text = error.what();
    for (const std::string_view context :
         {"无法执行数据库语句：", "无法准备数据库语句：", "无法设置语句的参数："})
        if (text.starts_with(context))
            return text.substr(context.size());
    return text;
}

std::string Quoted(const std::string &name)
{
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

} // namespace kestrum::journal_sql
