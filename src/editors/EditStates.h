#pragma once
// The interaction states of the editor core. Each interaction is one enum,
// and every change of it goes through the transition functions here, so a
// rule such as "focus events are ignored while the editor pulls the focus
// back" lives in one place and a test walks the transitions without a widget.
namespace kestrum {

//! Where the editor stands with the keyboard focus. The editor keeps this
//! state itself (set by DoEnter, cleared by DoExit), so its rules never
//! depend on window activation.
enum class TkvEditFocusState {
    Unfocused,
    Focused,
    //! An unfocused editor takes the focus to show a validation error; the
    //! focus events this causes are no entry.
    RegainingFocus,
    //! A focused editor whose exit failed pulls the focus back; the focus
    //! events this causes are no exit and no entry.
    HoldingFocus,
};

enum class TkvEditFocusEvent {
    Enter,      //!< the focus arrives, or an error is shown (ignored unless unfocused)
    Exit,       //!< the focus leaves (ignored unless focused)
    Refocus,    //!< the editor starts pulling the focus to itself
    RefocusDone //!< the pull is over: back to where it started
};

//! The focus state after an event; an event that does not apply leaves the
//! state as it is.
TkvEditFocusState NextFocusState(TkvEditFocusState state, TkvEditFocusEvent event);

//! The editor's rules treat it as focused (a pull from a focused state stays
//! focused; a pull from an unfocused one is not yet).
inline bool IsFocusedState(TkvEditFocusState state)
{
    return state == TkvEditFocusState::Focused || state == TkvEditFocusState::HoldingFocus;
}

//! DoEnter and DoExit do their work only when the state lets them.
inline bool IsRefocusing(TkvEditFocusState state)
{
    return state == TkvEditFocusState::RegainingFocus || state == TkvEditFocusState::HoldingFocus;
}

//! What the editor does with its value right now. A user change (typing, a
//! paste, the clear key) may ask for editing permission, and the request may
//! run handlers that change text again, so the two nest.
enum class TkvEditInputState {
    Idle,
    //! The user changes the text or value: the change is pending and counts
    //! as made since entry.
    UserChange,
    //! Editing permission is being asked for: values pushed into the editor
    //! meanwhile (a record set entering edit mode reloads its fields) are
    //! ignored.
    EditingRequest,
    //! Both at once, in either order of nesting.
    UserChangeInEditingRequest,
};

enum class TkvEditInputActivity { UserChange, EditingRequest };

//! The state while an activity runs on top of `state`; the state before is
//! restored when the activity ends.
TkvEditInputState EnterInputActivity(TkvEditInputState state, TkvEditInputActivity activity);

inline bool IsUserChange(TkvEditInputState state)
{
    return state == TkvEditInputState::UserChange || state == TkvEditInputState::UserChangeInEditingRequest;
}

inline bool IsEditingRequest(TkvEditInputState state)
{
    return state == TkvEditInputState::EditingRequest ||
           state == TkvEditInputState::UserChangeInEditingRequest;
}

} // namespace kestrum
