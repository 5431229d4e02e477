#pragma once
// The focused state of an editor and the steps that change it: entering
// (reloading the field, remembering the entry value), leaving (validating and
// storing what is pending; a refused text keeps the focus), the Qt focus
// events of the inner control, and an in-place host's activation. The editor
// keeps this state itself so its rules do not depend on window activation.
#include "editors/EditStates.h"

#include <Qt>

class QEvent;
class QPoint;
class QChar;

namespace kestrum {

class TkvCustomEdit;

class TkvEditFocus {
public:
    explicit TkvEditFocus(TkvCustomEdit &edit) : FEdit(edit) {}

    TkvEditFocusState State() const { return FState; }
    //! The one place the focus state changes; tells of a change of Focused().
    void Change(TkvEditFocusEvent event);
    //! Moves the keyboard focus to the inner control without it counting as
    //! an entry or an exit.
    void Pull();
    void Enter();
    //! Raises a validation error (focus stays).
    void Exit();
    //! A FocusIn or FocusOut of the inner control; exceptions go to the
    //! error handler.
    void HandleEvent(QEvent *event);

    void ActivateInPlace();
    void ActivateInPlaceByKey(QChar ch);
    void ActivateInPlaceByMouse(Qt::KeyboardModifiers shift, const QPoint &point, bool leftButtonDown);
    bool DeactivateInPlace();

private:
    TkvCustomEdit &FEdit;
    TkvEditFocusState FState = TkvEditFocusState::Unfocused;
};

} // namespace kestrum
