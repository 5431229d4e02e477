#include "data/DataController.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace kestrum {
namespace {

using State = TkvDataControllerNotifier::State;

const char *StateName(State state)
{
    switch (state) {
    case State::Idle:
        return "idle";
    case State::Delivering:
        return "delivering";
    case State::NotifyingSorting:
        return "sorting";
    }
    return "?";
}

struct LoadingOwner : IkvDataControllerOwner {
    bool Loading = false;
    bool IsLoading() const override { return Loading; }
};

//! A controller without a source with one text item; Log collects what the
//! update handler, the events and the listeners hear, in order.
class DataControllerNotifyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Controller.AttachItem(&Column)->SetValueTypeClass(TkvStringValueType::Instance());
        Controller.BeginBatch();
        for (const char *text : {"a", "b", "c"})
            Controller.SetValue(Controller.AppendRecord(), 0, Variant::fromUtf8(text));
        Controller.EndBatch();
        Controller.SetUpdateControlHandler([this](const TkvUpdateControlInfo &info) {
            Note(info.Describe() + "@" + StateName(Controller.Notifier().CurrentState()));
        });
    }

    void Note(const std::string &text) { Log += (Log.empty() ? "" : " ") + text; }

    int Column = 0;
    LoadingOwner Owner;
    TkvCustomDataController Controller{&Owner};
    std::string Log;
};

TEST_F(DataControllerNotifyTest, DeliveryStateFollowsTheHandlersAndEndsIdle)
{
    Controller.OnSortingChanged = [this](TkvCustomDataController *) {
        Note(std::string("sorting@") + StateName(Controller.Notifier().CurrentState()));
        Controller.Change(chgBookmark); // not delivered from inside: a further round
        Note("after@" + std::string(StateName(Controller.Notifier().CurrentState())));
    };
    EXPECT_EQ(Controller.Notifier().CurrentState(), State::Idle);
    Controller.Change(chgSearch | chgSorting);
    EXPECT_EQ(Log, "Search@delivering sorting@sorting after@sorting Bookmark@delivering");
    EXPECT_EQ(Controller.Notifier().CurrentState(), State::Idle);
}

TEST_F(DataControllerNotifyTest, AHandlerThatThrowsLeavesDeliveryIdle)
{
    // Were delivery left marked as running, no later change would be told.
    Controller.OnSortingChanged = [](TkvCustomDataController *) { throw std::runtime_error("handler"); };
    EXPECT_THROW(Controller.Change(chgSorting), std::runtime_error);
    EXPECT_EQ(Controller.Notifier().CurrentState(), State::Idle);
    Controller.OnSortingChanged = nullptr;
    Log.clear();
    Controller.Change(chgBookmark);
    EXPECT_EQ(Log, "Bookmark@delivering");
}

TEST_F(DataControllerNotifyTest, EventsMissedWhileTheOwnerLoadsFireOnceWhenItIsLoaded)
{
    Controller.OnDataChanged = [this](TkvCustomDataController *) { Note("OnDataChanged"); };
    Controller.AddDataChangedListener([this] { Note("listener"); });
    Owner.Loading = true;
    Controller.SetValue(0, 0, Variant::fromUtf8("x"));
    Controller.SetValue(1, 0, Variant::fromUtf8("y"));
    EXPECT_EQ(Log, "Data(dckValue,0,0)@delivering Data(dckValue,0,1)@delivering"); // the view still hears
    Log.clear();
    Owner.Loading = false;
    Controller.OwnerLoaded();
    EXPECT_EQ(Log, "OnDataChanged listener");
    Log.clear();
    Controller.OwnerLoaded();
    EXPECT_EQ(Log, "");
}

TEST_F(DataControllerNotifyTest, ListenersMayRemoveThemselvesWhileBeingTold)
{
    int first = 0;
    first = Controller.AddDataChangedListener([&] {
        Note("first");
        Controller.RemoveDataChangedListener(first);
    });
    Controller.AddDataChangedListener([this] { Note("second"); });
    Controller.SetValue(0, 0, Variant::fromUtf8("x"));
    Controller.SetValue(0, 0, Variant::fromUtf8("y"));
    EXPECT_EQ(Log, "Data(dckValue,0,0)@delivering first second Data(dckValue,0,0)@delivering second");
}

TEST_F(DataControllerNotifyTest, ARunningSearchEndsWhenTheFocusMovesAndIsToldOnce)
{
    ASSERT_TRUE(Controller.Locate(0, "b"));
    EXPECT_EQ(Log, "FocusedRow(-1->1)@delivering FocusedRecord(-1->1)@delivering "
                   "Selection(-1->1)@delivering Search@delivering");
    Log.clear();
    Controller.ChangeFocusedRowIndex(2);
    EXPECT_FALSE(Controller.IsIncrementalSearching());
    EXPECT_EQ(Log, "FocusedRow(1->2)@delivering FocusedRecord(1->2)@delivering "
                   "Selection(1->2)@delivering Search@delivering");
}

} // namespace
} // namespace kestrum
