#include "LedgerFileFixture.h"

#include "ledger/LedgerFile.h"

#include <sqlite3.h>

#include <stdexcept>

namespace kestrum {

TLedgerFile::TLedgerFile(test::TEngine engine)
{
    if (engine == test::TEngine::Server) {
        if (test::TPgServer::Skipped()) {
            FUnavailable = "KESTRUM_PG_SKIP=1";
            return;
        }
        try {
            FTarget = test::NewServerLedger();
            FServer = test::ConnectLedger(FTarget);
        } catch (const std::exception &e) {
            FUnavailable = e.what();
            if (FUnavailable.empty())
                FUnavailable = "no server ledger";
        }
        return;
    }
    if (sqlite3_open(Path().toUtf8().constData(), &FDb) != SQLITE_OK)
        throw std::runtime_error("cannot create the test ledger");
    exec(
        "CREATE TABLE gain (id INTEGER PRIMARY KEY AUTOINCREMENT, \"本次进帐\" REAL, \"进帐时间\" DATETIME, "
        "\"进帐人\" VARCHAR(50), \"备注\" TEXT);"
        "CREATE TABLE expen (id INTEGER PRIMARY KEY AUTOINCREMENT, \"消费金额\" REAL, \"消费日期\" DATETIME, "
        "\"消费者\" VARCHAR(50), \"备注\" TEXT);");
}

TLedgerFile::~TLedgerFile()
{
    sqlite3_close(FDb);
}

void TLedgerFile::RequireLedger(const TLedgerFile &file)
{
    if (file.Unavailable() == "KESTRUM_PG_SKIP=1")
        GTEST_SKIP() << file.Unavailable();
    ASSERT_EQ(file.Unavailable(), "");
}

QString TLedgerFile::ConnectionString() const
{
    if (OnServer())
        return test::LedgerConnectionString(FTarget);
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Persist Security Info=True")
        .arg(Path());
}

void TLedgerFile::Exec(const std::string &sql) const
{
    exec(sql);
}

void TLedgerFile::exec(const std::string &sql) const
{
    if (OnServer()) {
        FServer->Exec(sql);
        return;
    }
    char *error = nullptr;
    if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

void TLedgerFile::AddIncome(double amount, const char *date, const char *item)
{
    exec("INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (" + std::to_string(amount) +
         ", '" + date + " 00:00:00', '" + item + "')");
}

void TLedgerFile::AddExpense(double amount, const char *date, const char *item)
{
    exec("INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") VALUES (" + std::to_string(amount) +
         ", '" + date + " 00:00:00', '" + item + "')");
}

std::string TLedgerFile::Scalar(const std::string &sql) const
{
    if (OnServer()) {
        auto statement = FServer->Prepare(sql);
        if (!statement->Step() || statement->ColumnIsNull(0))
            return "";
        return test::CellText(*statement, 0, true);
    }
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(FDb, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(FDb));
    std::string text;
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
        text = reinterpret_cast<const char *>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    return text;
}

std::string TLedgerFile::Row(const std::string &sql) const
{
    auto own = OnServer() ? nullptr : std::make_unique<TSqliteDriver>(FDb);
    TDbDriver &db = OnServer() ? *FServer : static_cast<TDbDriver &>(*own);
    auto statement = db.Prepare(sql);
    if (!statement->Step())
        return "";
    std::string row;
    for (int i = 0; i < statement->ColumnCount(); ++i)
        row += (i ? "|" : "") +
               (statement->ColumnIsNull(i) ? std::string("NULL") : test::CellText(*statement, i, OnServer()));
    return row;
}

std::string TLedgerFile::Rows(const std::string &sql) const
{
    auto own = OnServer() ? nullptr : std::make_unique<TSqliteDriver>(FDb);
    TDbDriver &db = OnServer() ? *FServer : static_cast<TDbDriver &>(*own);
    const std::string rows = test::QueryCells(db, sql, OnServer(), ", ");
    return rows == "<none>" ? std::string() : rows;
}

} // namespace kestrum
