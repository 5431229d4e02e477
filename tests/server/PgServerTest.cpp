#include "server/PgTest.h"

#include <libpq-fe.h>

namespace kestrum::test {

namespace {

std::string One(const std::string &conninfo, const std::string &sql)
{
    PGconn *c = PQconnectdb(conninfo.c_str());
    std::string value = PQstatus(c) == CONNECTION_OK ? "" : "<no connection>";
    if (value.empty()) {
        PGresult *r = PQexec(c, sql.c_str());
        value = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1 ? PQgetvalue(r, 0, 0) : "<error>";
        PQclear(r);
    }
    PQfinish(c);
    return value;
}

using PgServerTest = PgTest;

// Each test gets a database of its own, reachable by keywords and by address
// alike, and nothing of one test's is seen by the next.
TEST_F(PgServerTest, GivesEachTestAnEmptyDatabaseOnItsPrivateSocket)
{
    EXPECT_EQ(One(Server->ConnectionString(Database), "SELECT current_database()"), Database);
    EXPECT_EQ(One(Server->Uri(Database), "SELECT current_database()"), Database);
    Server->Exec(Database, "CREATE TABLE left_behind (x int)");
    const std::string next = Server->CreateDatabase();
    EXPECT_NE(next, Database);
    EXPECT_EQ(
        One(Server->ConnectionString(next), "SELECT count(*) FROM pg_tables WHERE tablename = 'left_behind'"),
        "0");
    EXPECT_EQ(One(Server->ConnectionString(Database), "SHOW listen_addresses"), "");
}

} // namespace

} // namespace kestrum::test
