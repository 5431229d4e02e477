// A record sets' connection opens a server ledger as it opens a file: the
// same connection string with the server's address as its Data Source.
#include "db/DbConnection.h"
#include "db/DbDriver.h"
#include "db/SqliteDriver.h"
#include "server/PgTest.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum::test {

namespace {

QString ConnectionStringFor(const std::string &target)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
           TDbConnection::QuotedConnectionStringValue(QString::fromStdString(target)) +
           ";Persist Security Info=False";
}

} // namespace

class ServerConnectionTest : public PgTest {};

TEST_F(ServerConnectionTest, OpensAServerAddressThroughTheDriverAndClosesIt)
{
    for (const std::string &target : {Server->ConnectionString(Database), Server->Uri(Database)}) {
        TDbConnection connection;
        connection.SetConnectionString(ConnectionStringFor(target));
        connection.Open();
        ASSERT_TRUE(connection.Connected()) << target;
        EXPECT_TRUE(connection.IsServer());
        EXPECT_EQ(connection.Handle(), nullptr);
        EXPECT_FALSE(connection.ReadOnly());
        EXPECT_STREQ(connection.Driver().Name(), "postgresql");
        auto select = connection.Driver().Prepare("SELECT current_database()");
        ASSERT_TRUE(select->Step());
        EXPECT_EQ(select->ColumnText(0), Database);
        select.reset();
        connection.Close();
        EXPECT_FALSE(connection.Connected());
        EXPECT_FALSE(connection.IsServer());
    }
}

TEST_F(ServerConnectionTest, AServerThatRefusesLeavesTheConnectionClosedWithTheDriversKindOfError)
{
    TDbConnection connection;
    connection.SetConnectionString(ConnectionStringFor(Server->ConnectionString("no_such_ledger")));
    try {
        connection.Open();
        ADD_FAILURE() << "opened a database that does not exist";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::SchemaMissing) << e.what();
    }
    EXPECT_FALSE(connection.Connected());
    EXPECT_FALSE(connection.IsServer());
}

TEST_F(ServerConnectionTest, AFileStaysAFile)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("ledger.mdb"));
    {
        TSqliteDriver create(path.toStdString(), true); // an empty ledger file
    }
    TDbConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path.toStdString()));
    connection.Open();
    EXPECT_TRUE(connection.Connected());
    EXPECT_FALSE(connection.IsServer());
    EXPECT_NE(connection.Handle(), nullptr);
    EXPECT_STREQ(connection.Driver().Name(), "sqlite");
}

} // namespace kestrum::test

namespace kestrum::test {

TEST_F(ServerConnectionTest, AConnectionForReadingOnlyNeverWritesToTheServer)
{
    TDbConnection connection;
    connection.SetConnectionString(ConnectionStringFor(Server->ConnectionString(Database)));
    connection.SetMode(cmRead);
    connection.Open();
    EXPECT_THROW(connection.Driver().Exec("CREATE TABLE t (id bigint PRIMARY KEY)"), EDbDriverError);
}

} // namespace kestrum::test
