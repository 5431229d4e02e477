#include "editors/EditStates.h"

namespace kestrum {

TkvEditFocusState NextFocusState(TkvEditFocusState state, TkvEditFocusEvent event)
{
    using S = TkvEditFocusState;
    switch (event) {
    case TkvEditFocusEvent::Enter:
        // A pull in progress swallows the focus-in it causes; the error path
        // marks the editor focused once its pull is done.
        return state == S::Unfocused ? S::Focused : state;
    case TkvEditFocusEvent::Exit:
        return state == S::Focused ? S::Unfocused : state;
    case TkvEditFocusEvent::Refocus:
        if (state == S::Unfocused)
            return S::RegainingFocus;
        return state == S::Focused ? S::HoldingFocus : state;
    case TkvEditFocusEvent::RefocusDone:
        if (state == S::RegainingFocus)
            return S::Unfocused;
        return state == S::HoldingFocus ? S::Focused : state;
    }
    return state;
}

TkvEditInputState EnterInputActivity(TkvEditInputState state, TkvEditInputActivity activity)
{
    using S = TkvEditInputState;
    const bool userChange = IsUserChange(state) || activity == TkvEditInputActivity::UserChange;
    const bool editingRequest = IsEditingRequest(state) || activity == TkvEditInputActivity::EditingRequest;
    if (userChange && editingRequest)
        return S::UserChangeInEditingRequest;
    return userChange ? S::UserChange : S::EditingRequest;
}

} // namespace kestrum
