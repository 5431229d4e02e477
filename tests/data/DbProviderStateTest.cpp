// What a record-set provider is doing: the transitions of its one state, and
// the state the provider reports while it moves the record set.
#include "data/DbProviderState.h"
#include "IncomeControllerFixture.h"
#include "data/DbDataController.h"
#include "support/DbTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace kestrum {
namespace {

using State = TkvDbProviderState::State;
using Deferred = TkvDbProviderState::Deferred;

const char *Name(State state)
{
    switch (state) {
    case State::Idle:
        return "Idle";
    case State::Syncing:
        return "Syncing";
    case State::Loading:
        return "Loading";
    case State::LoadingWhileSyncing:
        return "LoadingWhileSyncing";
    case State::Detached:
        return "Detached";
    }
    return "?";
}

TEST(DbProviderState, StartingAnActivityFromEachState)
{
    const State all[] = {State::Idle, State::Syncing, State::Loading, State::LoadingWhileSyncing,
                         State::Detached};
    std::string loading, syncing;
    for (const State from : all) {
        loading +=
            std::string(loading.empty() ? "" : ",") + Name(TkvDbProviderState::Entered(from, State::Loading));
        syncing +=
            std::string(syncing.empty() ? "" : ",") + Name(TkvDbProviderState::Entered(from, State::Syncing));
    }
    EXPECT_EQ(loading, "Loading,LoadingWhileSyncing,Loading,LoadingWhileSyncing,Detached");
    EXPECT_EQ(syncing, "Syncing,Syncing,LoadingWhileSyncing,LoadingWhileSyncing,Detached");
    EXPECT_THROW(TkvDbProviderState::Entered(State::Idle, State::Idle), std::logic_error);
    EXPECT_THROW(TkvDbProviderState::Entered(State::Syncing, State::Detached), std::logic_error);
}

TEST(DbProviderState, NestedActivitiesReturnToTheStateTheyFound)
{
    TkvDbProviderState state;
    std::vector<std::string> seen;
    {
        TkvDbProviderState::TScope syncing(state, State::Syncing);
        seen.push_back(Name(state.Current()));
        {
            TkvDbProviderState::TScope again(state, State::Syncing);
            seen.push_back(Name(state.Current()));
        }
        seen.push_back(Name(state.Current()));
        {
            // A move that makes the record set reload.
            TkvDbProviderState::TScope loading(state, State::Loading);
            seen.push_back(Name(state.Current()));
            EXPECT_TRUE(state.IsLoading());
            EXPECT_TRUE(state.IsSyncing());
        }
        seen.push_back(Name(state.Current()));
    }
    seen.push_back(Name(state.Current()));
    EXPECT_EQ(seen, (std::vector<std::string>{"Syncing", "Syncing", "Syncing", "LoadingWhileSyncing",
                                              "Syncing", "Idle"}));
    EXPECT_FALSE(state.IsLoading());
    EXPECT_FALSE(state.IsSyncing());
}

TEST(DbProviderState, AnExceptionLeavingALoadEndsIt)
{
    TkvDbProviderState state;
    try {
        TkvDbProviderState::TScope loading(state, State::Loading);
        throw std::runtime_error("disk gone");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(state.Current(), State::Idle);
}

TEST(DbProviderState, ADetachedProviderStaysDetached)
{
    TkvDbProviderState state;
    {
        TkvDbProviderState::TScope syncing(state, State::Syncing);
        state.Detach();
    }
    EXPECT_TRUE(state.IsDetached());
    {
        TkvDbProviderState::TScope loading(state, State::Loading);
        EXPECT_FALSE(state.IsLoading());
    }
    EXPECT_EQ(state.Current(), State::Detached);
}

TEST(DbProviderState, ALayoutChangeOwedIsNotDowngradedToADataChange)
{
    TkvDbProviderState state;
    EXPECT_EQ(state.Pending(), Deferred::None);
    state.Defer(Deferred::DataChange);
    EXPECT_EQ(state.Pending(), Deferred::DataChange);
    state.Defer(Deferred::LayoutChange);
    state.Defer(Deferred::DataChange);
    EXPECT_EQ(state.Pending(), Deferred::LayoutChange);
    state.DropDataChange();
    EXPECT_EQ(state.Pending(), Deferred::LayoutChange);
    state.ClearDeferred();
    EXPECT_EQ(state.Pending(), Deferred::None);
    state.Defer(Deferred::DataChange);
    state.DropDataChange();
    EXPECT_EQ(state.Pending(), Deferred::None);
}

class DbProviderStateLedgerTest : public test::IncomeControllerOn<test::EngineFixture> {
protected:
    void SetUp() override
    {
        IncomeControllerOn::SetUp();
        if (NotSetUp())
            return;
        for (int i = 0; i < 5; ++i)
            AddGain(10.0 * (i + 1), ("2024-01-0" + std::to_string(i + 1)).c_str(), "工资");
        BindIncome("select * from gain order by 进帐时间");
    }
};

TEST_P(DbProviderStateLedgerTest, AFocusMoveSyncsAndAScrollOfTheRecordSetIsPassedOn)
{
    Query.Open();
    TkvDBDataProvider &provider = Controller.DBProvider();
    EXPECT_EQ(provider.State(), State::Idle);
    std::vector<std::string> seen;
    Query.AfterScroll = [&](TDbQuery *) { seen.push_back(Name(provider.State())); };
    Controller.ChangeFocusedRowIndex(2);
    EXPECT_EQ(provider.State(), State::Idle);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), "Syncing");
    // The record set scrolled by itself: the provider passes the move on.
    seen.clear();
    Query.Next();
    EXPECT_EQ(seen, std::vector<std::string>{"Idle"});
    EXPECT_EQ(Controller.FocusedRowIndex(), 3);
}

INSTANTIATE_TEST_SUITE_P(Engines, DbProviderStateLedgerTest, test::BothEngines(), test::EngineName);

} // namespace
} // namespace kestrum
