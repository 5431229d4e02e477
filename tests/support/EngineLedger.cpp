#include "support/EngineLedger.h"

#include "db/DbConnection.h"
#include "ledger/LedgerFile.h"

namespace kestrum::test {

std::string NewServerLedger()
{
    TPgServer &server = TPgServer::Shared();
    static const std::string prepared = [&server] {
        const std::string name = server.CreateDatabase("kestrum_ledger_template");
        TPgDriver ledger(server.ConnectionString(name));
        CreateServerLedger(ledger);
        return name; // the connection closes here: a template takes none
    }();
    return server.ConnectionString(server.CopyDatabase(prepared, "kestrum_ledger"));
}

std::unique_ptr<TDbDriver> ConnectLedger(const std::string &target)
{
    if (IsServerTarget(target))
        return std::make_unique<TPgDriver>(target);
    return std::make_unique<TSqliteDriver>(target, false, 2000);
}

std::string QueryCells(TDbDriver &db, const std::string &sql, bool server, const char *rowSeparator)
{
    std::string out;
    try {
        auto s = db.Prepare(sql);
        bool first = true;
        while (s->Step()) {
            if (!first)
                out += rowSeparator;
            first = false;
            for (int i = 0; i < s->ColumnCount(); ++i) {
                out += (i ? "|" : "") + (s->ColumnIsNull(i) ? std::string("NULL") : CellText(*s, i, server));
            }
        }
        if (first)
            return "<none>";
    } catch (const std::exception &) {
        return "<error>";
    }
    return out;
}

QString LedgerConnectionString(const std::string &target)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
           TDbConnection::QuotedConnectionStringValue(QString::fromStdString(target)) +
           ";Persist Security Info=True";
}

void EngineLedgerTest::SetUp()
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    if (OnServer()) {
        if (TPgServer::Skipped())
            GTEST_SKIP() << "KESTRUM_PG_SKIP=1";
        try {
            FTarget = NewServerLedger();
        } catch (const std::exception &e) {
            FAIL() << e.what();
        }
    } else {
        ASSERT_TRUE(FDir.isValid());
        FPath = FDir.filePath(QStringLiteral("Vantorel.mdb"));
        FTarget = FPath.toStdString();
        CreateLedgerFile(FPath);
    }
    FConnection.SetConnectionString(LedgerConnectionString(FTarget));
}

void EngineLedgerTest::Exec(const std::string &sql) const
{
    try {
        ConnectLedger(FTarget)->Exec(sql);
    } catch (const std::exception &e) {
        ADD_FAILURE() << sql << ": " << e.what();
    }
}

std::string EngineLedgerTest::Value(const std::string &sql) const
{
    try {
        auto db = ConnectLedger(FTarget);
        auto s = db->Prepare(sql);
        if (!s->Step())
            return "<none>";
        return s->ColumnIsNull(0) ? "NULL" : CellText(*s, 0, OnServer());
    } catch (const std::exception &) {
        return "<error>";
    }
}

std::string EngineLedgerTest::Column(const std::string &sql) const
{
    std::string out;
    try {
        auto db = ConnectLedger(FTarget);
        auto s = db->Prepare(sql);
        while (s->Step())
            out += (out.empty() ? "" : ",") + (s->ColumnIsNull(0) ? "NULL" : CellText(*s, 0, OnServer()));
    } catch (const std::exception &) {
        return "<error>";
    }
    return out;
}

std::string EngineLedgerTest::Cells(const std::string &sql) const
{
    try {
        return QueryCells(*ConnectLedger(FTarget), sql, OnServer());
    } catch (const std::exception &) {
        return "<error>";
    }
}

void EngineLedgerTest::AddGain(double amount, const char *date, const char *item, const char *remark) const
{
    Exec(std::string("INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (") +
         std::to_string(amount) + ", '" + date + "', '" + item + "', " +
         (remark ? "'" + std::string(remark) + "'" : std::string("NULL")) + ")");
}

void EngineLedgerTest::AddExpen(double amount, const char *date, const char *item) const
{
    Exec(std::string("INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (") + std::to_string(amount) +
         ", '" + date + "', '" + item + "')");
}

std::unique_ptr<TDbQuery> EngineLedgerTest::OpenQuery(const QString &sql)
{
    auto query = std::make_unique<TDbQuery>();
    query->SetConnection(&FConnection);
    query->SetSQL({sql});
    query->Open();
    return query;
}

std::string EngineLedgerTest::Rows(TDbQuery &query, const QStringList &fields)
{
    return RowsText(query, fields);
}

} // namespace kestrum::test
