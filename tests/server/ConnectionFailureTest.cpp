// Every way a connection to a server ledger can fail is told in words the
// user can act on, with a kind the program can act on (retry or not).
#include "ServerSchema.h"
#include "db/PgDriver.h"
#include "server/DriverFailure.h"
#include "server/ServerLedgerFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace kestrum::test {

namespace {

std::string OnLoopback(int port, const std::string &more = "")
{
    return "host=127.0.0.1 port=" + std::to_string(port) + " dbname=ledger user=family connect_timeout=5 " +
           "gssencmode=disable " + more;
}

using ConnectionFailureTest = ServerLedgerTest;

TEST(ConnectionFailure, AServerThatIsDownOrRefusesIsToldAsAConnectionToRetry)
{
    TListener gone;
    gone.Close();
    const TFailure refused = FailureOf([&] { TPgDriver(OnLoopback(gone.Port())); });
    EXPECT_EQ(refused.Kind, TDbErrorKind::ConnectionLost) << refused.Message;
    EXPECT_TRUE(Says(refused, "无法连接数据库服务器")) << refused.Message;
    EXPECT_TRUE(Says(refused, "拒绝")) << refused.Message;

    QTemporaryDir empty;
    const TFailure noSocket = FailureOf(
        [&] { TPgDriver("host=" + empty.path().toStdString() + " port=5 dbname=x connect_timeout=2"); });
    EXPECT_EQ(noSocket.Kind, TDbErrorKind::ConnectionLost) << noSocket.Message;
    EXPECT_TRUE(Says(noSocket, "没有运行")) << noSocket.Message;
}

// A server without TLS when the settings ask for it: the connection is
// refused and the user learns why, instead of silently going unencrypted.
TEST(ConnectionFailure, TlsThatTheServerRefusesIsToldAndNotRetried)
{
    TListener plain;
    // Answers the client's TLS request with "no", as a server without TLS does.
    std::thread server([&] {
        const int client = ::accept(plain.Socket(), nullptr, nullptr);
        if (client < 0)
            return;
        char request[8];
        if (::recv(client, request, sizeof request, MSG_WAITALL) == sizeof request)
            (void)!::send(client, "N", 1, 0);
        char rest[64];
        while (::recv(client, rest, sizeof rest, 0) > 0) {
        }
        ::close(client);
    });
    const TFailure refused = FailureOf([&] { TPgDriver(OnLoopback(plain.Port(), "sslmode=require")); });
    server.join();
    EXPECT_EQ(refused.Kind, TDbErrorKind::TlsRefused) << refused.Message;
    EXPECT_TRUE(Says(refused, "加密")) << refused.Message;
    EXPECT_TRUE(Says(refused, "sslmode")) << refused.Message;
}

TEST_F(ConnectionFailureTest, SigningInWithoutAUserOrWithoutRightsIsToldApart)
{
    Ledger->Exec("CREATE ROLE kestrum_no_connect LOGIN");
    Ledger->Exec("REVOKE CONNECT ON DATABASE " + Database + " FROM PUBLIC");
    const TFailure noConnect =
        FailureOf([&] { TPgDriver(Server->ConnectionStringAs(Database, "kestrum_no_connect")); });
    EXPECT_EQ(noConnect.Kind, TDbErrorKind::NoRights) << noConnect.Message;
    EXPECT_TRUE(Says(noConnect, "没有连接这个数据库的权限")) << noConnect.Message;

    const TFailure noUser =
        FailureOf([&] { TPgDriver(Server->ConnectionStringAs(Database, "nobody_here")); });
    EXPECT_EQ(noUser.Kind, TDbErrorKind::AuthFailed) << noUser.Message;
    EXPECT_TRUE(Says(noUser, "用户")) << noUser.Message;

    const TFailure noDatabase = FailureOf([&] { TPgDriver(Server->ConnectionString("no_such_ledger")); });
    EXPECT_EQ(noDatabase.Kind, TDbErrorKind::SchemaMissing) << noDatabase.Message;
    EXPECT_TRUE(Says(noDatabase, "没有这个数据库")) << noDatabase.Message;
}

TEST_F(ConnectionFailureTest, TheOpenCheckTellsAMissingNewerOrForbiddenLedger)
{
    const TFailure missing = FailureOf([&] { CheckServerLedger(*Ledger); });
    EXPECT_EQ(missing.Kind, TDbErrorKind::SchemaMissing) << missing.Message;
    EXPECT_TRUE(Says(missing, "kestrum-db init")) << missing.Message;

    CreateServerLedger(*Ledger);
    Ledger->Exec("CREATE ROLE kestrum_reader LOGIN");
    TPgDriver stranger(Server->ConnectionStringAs(Database, "kestrum_reader"));
    const TFailure forbidden = FailureOf([&] { CheckServerLedger(stranger); });
    EXPECT_EQ(forbidden.Kind, TDbErrorKind::NoRights) << forbidden.Message;
    EXPECT_TRUE(Says(forbidden, "kestrum_reader")) << forbidden.Message;
    EXPECT_TRUE(Says(forbidden, "gain")) << forbidden.Message;

    Ledger->Exec("UPDATE kestrum_schema SET version = " + std::to_string(ServerSchemaVersion + 1));
    const TFailure newer = FailureOf([&] { CheckServerLedger(*Ledger); });
    EXPECT_EQ(newer.Kind, TDbErrorKind::SchemaTooNew) << newer.Message;
    EXPECT_TRUE(Says(newer, "升级")) << newer.Message;
}

} // namespace

} // namespace kestrum::test
