// The server driver's session: statements that outlive a broken link, and
// connection failures told apart whatever language libpq speaks.
#include "db/PgDriver.h"
#include "server/DriverFailure.h"
#include "server/PgTest.h"

#include <QTemporaryDir>

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <functional>
#include <optional>

namespace kestrum::test {

namespace {

//! Makes the driver's link again the way the program's reconnect does: libpq's
//! reset in steps, then the driver told of its new session.
void Reconnect(TPgDriver &driver)
{
    pg_conn *connection = driver.Handle();
    ASSERT_EQ(PQresetStart(connection), 1) << PQerrorMessage(connection);
    bool wantWrite = true;
    for (;;) {
        pollfd socket{PQsocket(connection), short(wantWrite ? POLLOUT : POLLIN), 0};
        ASSERT_GE(::poll(&socket, 1, 5000), 1);
        const PostgresPollingStatusType status = PQresetPoll(connection);
        if (status == PGRES_POLLING_OK)
            break;
        ASSERT_NE(status, PGRES_POLLING_FAILED) << PQerrorMessage(connection);
        wantWrite = status == PGRES_POLLING_WRITING;
    }
    driver.RenewSession();
}

class PgSession : public PgTest {
protected:
    void SetUp() override
    {
        PgTest::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        Driver.emplace(Server->ConnectionString(Database));
        Driver->Exec("CREATE TABLE t (id bigint PRIMARY KEY, n bigint)");
        Driver->Exec("INSERT INTO t SELECT g, g * 10 FROM generate_series(1, 5) g");
    }

    //! Ends the driver's session from the server's side, as a restart does.
    void EndSession()
    {
        Server->Exec(Database,
                     "SELECT pg_terminate_backend(" + std::to_string(PQbackendPID(Driver->Handle())) + ")");
        try {
            Driver->Exec("SELECT 1");
        } catch (const EDbDriverError &) {
        }
        ASSERT_EQ(PQstatus(Driver->Handle()), CONNECTION_BAD);
    }

    std::optional<TPgDriver> Driver;
};

std::int64_t Sum(TDbStatement &s)
{
    std::int64_t sum = 0;
    while (s.Step())
        sum += s.ColumnInt64(0);
    s.Reset();
    return sum;
}

} // namespace

// Guards against a statement that the server had prepared failing with
// "prepared statement does not exist" once the link was made again.
TEST_F(PgSession, StatementsPreparedBeforeTheLinkBrokeRunOnTheNewSession)
{
    auto select = Driver->Prepare("SELECT n FROM t WHERE id <= ?1");
    select->BindInt64(1, 5);
    EXPECT_EQ(Sum(*select), 150);
    EXPECT_EQ(Sum(*select), 150); // run twice: prepared on the server by now
    {
        auto gone = Driver->Prepare("SELECT count(*) FROM t WHERE n > ?1");
        gone->BindInt64(1, 0);
        EXPECT_EQ(Sum(*gone), 5);
        EXPECT_EQ(Sum(*gone), 5);
    } // dropped on the server before the next statement: the old session's name
    EndSession();
    Reconnect(*Driver);

    select->BindInt64(1, 2);
    EXPECT_EQ(Sum(*select), 30);
    // Inside a transaction, a leftover of the old session must not fail it either.
    Driver->Begin();
    auto insert = Driver->Prepare("INSERT INTO t VALUES (?1, ?2)");
    insert->BindInt64(1, 6);
    insert->BindInt64(2, 60);
    EXPECT_NO_THROW(insert->Step());
    Driver->Commit();
    select->BindInt64(1, 6);
    EXPECT_EQ(Sum(*select), 210);
}

// Guards against a reset made behind the driver's back (libpq's own reset,
// without RenewSession) running a name of the ended session.
TEST_F(PgSession, ANewSessionIsNoticedEvenWhenNobodySaysSo)
{
    auto select = Driver->Prepare("SELECT n FROM t WHERE id = ?1");
    select->BindInt64(1, 3);
    EXPECT_EQ(Sum(*select), 30);
    EXPECT_EQ(Sum(*select), 30);
    EndSession();
    PQreset(Driver->Handle());
    ASSERT_EQ(PQstatus(Driver->Handle()), CONNECTION_OK);
    EXPECT_EQ(Sum(*select), 30);
}

namespace {

//! libpq and the C library speak the user's language, as in a program whose
//! locale is the user's.
class TLanguage {
public:
    explicit TLanguage(const char *language)
    {
        if (const char *old = std::getenv("LANGUAGE"))
            FOld = old;
        ::setenv("LANGUAGE", language, 1);
        FLocale = std::setlocale(LC_MESSAGES, nullptr);
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    }
    ~TLanguage()
    {
        if (FOld)
            ::setenv("LANGUAGE", FOld->c_str(), 1);
        else
            ::unsetenv("LANGUAGE");
        std::setlocale(LC_MESSAGES, FLocale.c_str());
    }

private:
    std::optional<std::string> FOld;
    std::string FLocale;
};

class PgFailureLanguage : public PgTest, public ::testing::WithParamInterface<const char *> {};

} // namespace

// Guards against every connection failure becoming the bare "无法连接数据库服务器"
// when libpq's messages are translated.
TEST_P(PgFailureLanguage, EachConnectionFailureIsToldApartInAnyLanguage)
{
    const TLanguage language(GetParam());
    TListener listener;
    const int closed = listener.Port();
    listener.Close();
    const TFailure refused = FailureOf([&] {
        TPgDriver("host=127.0.0.1 port=" + std::to_string(closed) +
                  " dbname=x connect_timeout=5 gssencmode=disable");
    });
    EXPECT_EQ(refused.Kind, TDbErrorKind::ConnectionLost) << refused.Message;
    EXPECT_TRUE(Says(refused, "拒绝")) << refused.Message;

    QTemporaryDir empty;
    const TFailure noSocket = FailureOf(
        [&] { TPgDriver("host=" + empty.path().toStdString() + " port=5 dbname=x connect_timeout=2"); });
    EXPECT_EQ(noSocket.Kind, TDbErrorKind::ConnectionLost) << noSocket.Message;
    EXPECT_TRUE(Says(noSocket, "没有运行")) << noSocket.Message;

    const TFailure noDatabase = FailureOf([&] { TPgDriver(Server->ConnectionString("no_such_ledger")); });
    EXPECT_EQ(noDatabase.Kind, TDbErrorKind::SchemaMissing) << noDatabase.Message;
    EXPECT_TRUE(Says(noDatabase, "没有这个数据库")) << noDatabase.Message;

    const TFailure noUser =
        FailureOf([&] { TPgDriver(Server->ConnectionStringAs(Database, "nobody_here")); });
    EXPECT_EQ(noUser.Kind, TDbErrorKind::AuthFailed) << noUser.Message;
    EXPECT_TRUE(Says(noUser, "没有这个用户")) << noUser.Message;

    const std::string asPasswordRole = Server->ConnectionStringAs(Database, TPgServer::PasswordRole);
    const TFailure noPassword = FailureOf([&] { TPgDriver(asPasswordRole + " passfile=/nonexistent"); });
    EXPECT_EQ(noPassword.Kind, TDbErrorKind::AuthFailed) << noPassword.Message;
    EXPECT_TRUE(Says(noPassword, "密码")) << noPassword.Message;
    const TFailure wrongPassword =
        FailureOf([&] { TPgDriver(asPasswordRole + " passfile=/nonexistent password=wrong"); });
    EXPECT_EQ(wrongPassword.Kind, TDbErrorKind::AuthFailed) << wrongPassword.Message;
    EXPECT_TRUE(Says(wrongPassword, "用户名或密码不对")) << wrongPassword.Message;

    Server->Exec(Database, "DO $$BEGIN CREATE ROLE kestrum_locked_out LOGIN; EXCEPTION WHEN duplicate_object "
                           "THEN NULL; END$$");
    Server->Exec(Database, "REVOKE CONNECT ON DATABASE " + Database + " FROM PUBLIC");
    const TFailure noConnect =
        FailureOf([&] { TPgDriver(Server->ConnectionStringAs(Database, "kestrum_locked_out")); });
    EXPECT_EQ(noConnect.Kind, TDbErrorKind::NoRights) << noConnect.Message;
    EXPECT_TRUE(Says(noConnect, "没有连接这个数据库的权限")) << noConnect.Message;
}

INSTANTIATE_TEST_SUITE_P(Languages, PgFailureLanguage, ::testing::Values("de", "zh_CN"));

} // namespace kestrum::test
