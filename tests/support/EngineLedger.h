#pragma once
// A ledger on either engine for the tests of record sets and what is built
// on them: a new ledger file, or a new database on the throwaway server with
// the server's ledger schema. Rows are added and checked through a
// connection of their own (another program, as far as the record sets know),
// and values read back as an SQLite file writes them, so that one set of
// expectations serves both engines.
#include "ledger/LedgerEngines.h"
#include "support/DbTestSupport.h"

#include <memory>
#include <string>

namespace kestrum::test {

//! A new database on the shared test server holding an empty ledger. It is a
//! copy of one made once per test program, which is much faster than making
//! the schema again.
std::string NewServerLedger();

//! A new connection to a ledger file or a server database.
std::unique_ptr<TDbDriver> ConnectLedger(const std::string &target);

//! The rows of a query on `db`, cells separated by "|", rows by `rowSeparator`
//! (Null as "NULL"); "<error>" when it fails.
std::string QueryCells(TDbDriver &db, const std::string &sql, bool server, const char *rowSeparator = ";");

//! The record-set connection string for a ledger file or a server database.
QString LedgerConnectionString(const std::string &target);

//! A ledger on the engine Engine() names and a record-set connection to it;
//! the same helpers as LedgerFixture, through the engine. A derived SetUp
//! returns at once when this one skipped or failed.
class EngineLedgerTest : public ::testing::Test {
protected:
    void SetUp() override;
    //! Whether SetUp skipped or failed, so that a derived SetUp stops.
    bool NotSetUp() const { return IsSkipped() || HasFatalFailure(); }

    virtual TEngine Engine() const = 0;
    bool OnServer() const { return Engine() == TEngine::Server; }

    //! Runs SQL on a connection of its own (what another program does).
    void Exec(const std::string &sql) const;
    //! The first value of a query on a connection of its own, as text
    //! ("NULL" for Null, "<none>" without a row, "<error>" when it fails).
    std::string Value(const std::string &sql) const;
    //! Every value of a query's first column, separated by ",".
    std::string Column(const std::string &sql) const;
    //! Every row of a query, cells separated by "|", rows by ";".
    std::string Cells(const std::string &sql) const;

    void AddGain(double amount, const char *date, const char *item, const char *remark = nullptr) const;
    void AddExpen(double amount, const char *date, const char *item) const;

    //! A query on the fixture's connection, opened on the statement.
    std::unique_ptr<TDbQuery> OpenQuery(const QString &sql);
    //! The query's rows as "a,b|c,d" (field texts), from the first row on.
    static std::string Rows(TDbQuery &query, const QStringList &fields);

    QTemporaryDir FDir;
    //! The ledger file's path, or the server database's libpq parameters.
    std::string FTarget;
    //! The ledger file (empty on the server), for what only a file has.
    QString FPath;
    TDbConnection FConnection;
};

//! Always a ledger file: for a fixture shared by tests on the file alone
//! and tests on both engines.
class FileLedgerTest : public EngineLedgerTest {
protected:
    TEngine Engine() const override { return TEngine::File; }
};

//! The engine is the test's parameter (see KESTRUM_ON_BOTH_ENGINES).
class EngineFixture : public EngineLedgerTest, public ::testing::WithParamInterface<TEngine> {
protected:
    TEngine Engine() const override { return GetParam(); }
};

//! The parameters of a suite on both engines, for suites outside this namespace:
//! INSTANTIATE_TEST_SUITE_P(Engines, Suite, test::BothEngines(), test::EngineName).
inline auto BothEngines()
{
    return ::testing::Values(TEngine::File, TEngine::Server);
}

} // namespace kestrum::test
