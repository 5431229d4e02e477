// Staying usable while a server ledger's link is down: when a reconnect is
// tried, what the status bar says, and a real link broken and made again.
#include "app/ServerLink.h"
#include "db/PgDriver.h"
#include "support/PgServer.h"

#include <gtest/gtest.h>

#include <deque>
#include <thread>

namespace kestrum {
namespace {

using namespace std::chrono_literals;
using TStep = TLinkReconnect::TStep;

//! A link whose breaking and reconnect steps the test decides.
struct TScriptedLink : TLinkReconnect {
    bool IsBroken = false;
    bool Starts = true;
    std::deque<TStep> Steps; //!< Pending when empty
    int Started = 0, Abandoned = 0;

    bool Broken() const override { return IsBroken; }
    bool Start() override
    {
        ++Started;
        return Starts;
    }
    TStep Step() override
    {
        if (Steps.empty())
            return TStep::Pending;
        const TStep step = Steps.front();
        Steps.pop_front();
        if (step == TStep::Done)
            IsBroken = false;
        return step;
    }
    void Abandon() override { ++Abandoned; }
    QString Failure() const override { return QStringLiteral("Connection refused"); }
};

class ServerLinkTest : public ::testing::Test {
protected:
    ServerLinkTest()
    {
        auto link = std::make_unique<TScriptedLink>();
        Script = link.get();
        Link = std::make_unique<TServerLink>(std::move(link), 5s, 15s, [this] { return Now; });
        Link->OnChange = [this](TServerLinkState state) { Changes.push_back(state); };
    }

    std::chrono::steady_clock::time_point Now{};
    TScriptedLink *Script;
    std::unique_ptr<TServerLink> Link;
    std::vector<TServerLinkState> Changes;
};

TEST_F(ServerLinkTest, ABrokenLinkIsTriedAtOnceThenEveryFewSecondsUntilItIsBack)
{
    EXPECT_EQ(Link->Tick(), TServerLinkState::Connected);
    EXPECT_EQ(Script->Started, 0); // a working link is left alone
    EXPECT_TRUE(Link->StatusText().isEmpty());

    Script->IsBroken = true;
    Script->Steps = {TStep::Failed};
    EXPECT_EQ(Link->Tick(), TServerLinkState::Lost);
    EXPECT_EQ(Script->Started, 1);
    EXPECT_EQ(Link->FailedTries(), 1);
    EXPECT_TRUE(Link->StatusText().contains(QStringLiteral("5 秒后重试")))
        << Link->StatusText().toStdString();
    EXPECT_TRUE(Link->StatusText().contains(QStringLiteral("不会丢失")));

    Now += 4s;
    EXPECT_EQ(Link->Tick(), TServerLinkState::Lost);
    EXPECT_EQ(Script->Started, 1); // not due yet
    Link->TryNow();                // the user saves again
    Script->Steps = {TStep::Pending};
    EXPECT_EQ(Link->Tick(), TServerLinkState::Retrying);
    EXPECT_EQ(Script->Started, 2);
    EXPECT_TRUE(Link->TickInterval() < 1s); // a reconnect under way goes on quickly
    Script->Steps = {TStep::Done};
    EXPECT_EQ(Link->Tick(), TServerLinkState::Connected);
    EXPECT_EQ(Link->FailedTries(), 0);
    EXPECT_TRUE(Link->StatusText().isEmpty());
    EXPECT_EQ(Changes,
              (std::vector{TServerLinkState::Lost, TServerLinkState::Retrying, TServerLinkState::Lost,
                           TServerLinkState::Retrying, TServerLinkState::Connected}));
}

TEST_F(ServerLinkTest, AServerThatNeverAnswersIsGivenUpOnAndTriedAgainLater)
{
    Script->IsBroken = true;
    EXPECT_EQ(Link->Tick(), TServerLinkState::Retrying);
    Now += 14s;
    EXPECT_EQ(Link->Tick(), TServerLinkState::Retrying);
    Now += 2s;
    EXPECT_EQ(Link->Tick(), TServerLinkState::Lost);
    EXPECT_EQ(Script->Abandoned, 1);
    Script->Starts = false; // not even the start works: counted, tried again later
    Now += 5s;
    EXPECT_EQ(Link->Tick(), TServerLinkState::Lost);
    EXPECT_EQ(Link->FailedTries(), 2);
}

// The real thing: the server ends the program's session (as a restart of
// the server does); the next statement fails as a lost connection, and the
// link is made again with the session's listening for changes.
TEST(ServerLinkOnServer, ASessionTheServerEndedIsMadeAgain)
{
    if (test::TPgServer::Skipped())
        GTEST_SKIP() << "KESTRUM_PG_SKIP=1";
    test::TPgServer &server = test::TPgServer::Shared();
    const std::string database = server.CreateDatabase("kestrum_link");
    TPgDriver driver(server.ConnectionString(database));
    driver.WatchChanges();
    driver.Exec("CREATE TABLE t (n int)");
    auto pid = driver.Prepare("SELECT pg_backend_pid()");
    ASSERT_TRUE(pid->Step());
    const std::string backend = pid->ColumnText(0);
    pid.reset();
    TServerLink link(std::make_unique<TPgLinkReconnect>(driver));
    EXPECT_EQ(link.Tick(), TServerLinkState::Connected);

    server.Exec(database, "SELECT pg_terminate_backend(" + backend + ")");
    try {
        driver.Exec("INSERT INTO t VALUES (1)");
        ADD_FAILURE() << "wrote through an ended session";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::ConnectionLost) << e.what();
        EXPECT_NE(std::string(e.what()).find("没有丢失"), std::string::npos) << e.what();
    }
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (link.Tick() != TServerLinkState::Connected && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(link.State(), TServerLinkState::Connected) << link.StatusText().toStdString();
    driver.Exec("INSERT INTO t VALUES (1)");
    auto check =
        driver.Prepare("SELECT (SELECT count(*) FROM t), (SELECT count(*) FROM pg_listening_channels()), "
                       "to_char(date '2024-07-05', 'YYYY') = '2024' AND now()::text LIKE '____-__-__ %'");
    ASSERT_TRUE(check->Step());
    EXPECT_EQ(check->ColumnInt64(0), 1);
    EXPECT_EQ(check->ColumnInt64(1), 1);
    EXPECT_EQ(check->ColumnInt64(2), 1); // dates as ISO text again
}

} // namespace
} // namespace kestrum
