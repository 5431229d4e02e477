// The editor core's interaction states, its change notices and its change
// flags, driven without a widget.
#include "editors/EditStates.h"
#include "editors/EditChangeFlags.h"
#include "editors/EditChangeNotices.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrum {
namespace {

const char *Name(TkvEditFocusState state)
{
    switch (state) {
    case TkvEditFocusState::Unfocused:
        return "unfocused";
    case TkvEditFocusState::Focused:
        return "focused";
    case TkvEditFocusState::RegainingFocus:
        return "regaining";
    case TkvEditFocusState::HoldingFocus:
        return "holding";
    }
    return "?";
}

//! The state after each event of a sequence, joined by spaces.
std::string Walk(TkvEditFocusState state, std::initializer_list<TkvEditFocusEvent> events)
{
    std::string trace;
    for (TkvEditFocusEvent event : events) {
        state = NextFocusState(state, event);
        trace += std::string(trace.empty() ? "" : " ") + Name(state);
    }
    return trace;
}

using E = TkvEditFocusEvent;
using S = TkvEditFocusState;

TEST(EditFocusState, EntryAndExitAlternateAndRepeatsAreIgnored)
{
    EXPECT_EQ(Walk(S::Unfocused, {E::Enter, E::Enter, E::Exit, E::Exit, E::RefocusDone}),
              "focused focused unfocused unfocused unfocused");
}

TEST(EditFocusState, APullFromAFocusedEditorSwallowsItsFocusEventsAndStaysFocused)
{
    // A refused exit pulls the focus back: neither the exit nor the entry the
    // pull causes counts, and the editor never stops counting as focused.
    EXPECT_EQ(Walk(S::Focused, {E::Refocus, E::Exit, E::Enter, E::RefocusDone}),
              "holding holding holding focused");
    EXPECT_TRUE(IsFocusedState(S::HoldingFocus));
    EXPECT_TRUE(IsRefocusing(S::HoldingFocus));
}

TEST(EditFocusState, AnErrorShownByAnUnfocusedEditorFocusesItAfterThePull)
{
    EXPECT_EQ(Walk(S::Unfocused, {E::Refocus, E::Enter, E::RefocusDone, E::Enter}),
              "regaining regaining unfocused focused");
    EXPECT_FALSE(IsFocusedState(S::RegainingFocus));
    EXPECT_TRUE(IsRefocusing(S::RegainingFocus));
    EXPECT_FALSE(IsRefocusing(S::Focused));
}

TEST(EditInputState, UserChangesAndEditingRequestsNestInEitherOrder)
{
    using A = TkvEditInputActivity;
    using I = TkvEditInputState;
    EXPECT_EQ(EnterInputActivity(I::Idle, A::UserChange), I::UserChange);
    EXPECT_EQ(EnterInputActivity(I::Idle, A::EditingRequest), I::EditingRequest);
    EXPECT_EQ(EnterInputActivity(I::UserChange, A::UserChange), I::UserChange);
    EXPECT_EQ(EnterInputActivity(I::UserChange, A::EditingRequest), I::UserChangeInEditingRequest);
    EXPECT_EQ(EnterInputActivity(I::EditingRequest, A::UserChange), I::UserChangeInEditingRequest);
    EXPECT_EQ(EnterInputActivity(I::UserChangeInEditingRequest, A::UserChange),
              I::UserChangeInEditingRequest);
    const std::pair<I, const char *> queries[] = {
        {I::Idle, "--"},
        {I::UserChange, "U-"},
        {I::EditingRequest, "-R"},
        {I::UserChangeInEditingRequest, "UR"},
    };
    for (const auto &[state, expected] : queries)
        EXPECT_EQ(std::string(IsUserChange(state) ? "U" : "-") + (IsEditingRequest(state) ? "R" : "-"),
                  expected);
}

TEST(EditChangeNotices, HeldNoticesFireOnceWhenTheOutermostLevelEnds)
{
    TkvEditChangeNotices notices;
    EXPECT_FALSE(notices.Hold(TkvEditNotice::Change)) << "no level: fires at once";
    EXPECT_EQ(notices.End(true), 0u) << "an end without a begin does nothing";
    notices.Begin();
    notices.Begin();
    EXPECT_TRUE(notices.Hold(TkvEditNotice::EditValueChanged));
    EXPECT_TRUE(notices.Hold(TkvEditNotice::EditValueChanged));
    EXPECT_EQ(notices.End(true), 0u) << "an inner level fires nothing";
    EXPECT_TRUE(notices.Holding());
    EXPECT_TRUE(notices.Hold(TkvEditNotice::Change));
    const unsigned due = notices.End(true);
    EXPECT_TRUE(TkvEditChangeNotices::Contains(due, TkvEditNotice::Change));
    EXPECT_TRUE(TkvEditChangeNotices::Contains(due, TkvEditNotice::EditValueChanged));
    EXPECT_FALSE(notices.Holding());

    notices.Begin();
    notices.Hold(TkvEditNotice::Change);
    EXPECT_EQ(notices.End(false), 0u) << "not firing drops what was held";
    notices.Begin();
    EXPECT_EQ(notices.End(true), 0u) << "a new outermost level starts empty";
}

std::string FlagsText(const TkvEditChangeFlags &flags)
{
    return std::string(flags.HasPendingChange() ? "P" : "-") + (flags.ChangedSinceEntry() ? "E" : "-") +
           (flags.IsValidated() ? "V" : "-");
}

TEST(EditChangeFlags, SaveAndRestoreKeepPendingAndSinceEntryButNotTheValidatedMark)
{
    TkvEditChangeFlags flags;
    flags.MarkUserChange();
    EXPECT_EQ(FlagsText(flags), "PE-");
    flags.Save();
    flags.SetValidated(true);
    flags.Clear();
    EXPECT_EQ(FlagsText(flags), "--V") << "clearing keeps the validated mark";
    flags.Restore();
    EXPECT_EQ(FlagsText(flags), "PEV");
    flags.Restore();
    EXPECT_EQ(FlagsText(flags), "PEV") << "nothing saved: nothing restored";
    flags.MarkUserChange();
    EXPECT_EQ(FlagsText(flags), "PE-") << "a new change needs validating again";
    flags.SetChangedSinceEntry(false);
    EXPECT_EQ(FlagsText(flags), "P--");
}

} // namespace
} // namespace kestrum
