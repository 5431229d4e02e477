#include "editors/EditFocus.h"

#include "editors/CustomEdit.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QMouseEvent>

namespace kestrum {

void TkvEditFocus::Change(TkvEditFocusEvent event)
{
    const bool wasFocused = FEdit.Focused();
    FState = NextFocusState(FState, event);
    if (FEdit.Focused() == wasFocused)
        return;
    FEdit.PropertiesChanged(); // alignment may depend on the focused state
    if (FEdit.OnFocusChanged)
        FEdit.OnFocusChanged(&FEdit);
}

void TkvEditFocus::Pull()
{
    Change(TkvEditFocusEvent::Refocus);
    if (FEdit.InnerWidget())
        FEdit.InnerWidget()->setFocus();
    Change(TkvEditFocusEvent::RefocusDone);
}

void TkvEditFocus::Enter()
{
    if (FState != TkvEditFocusState::Unfocused)
        return;
    TkvEditChangeFlags &changes = FEdit.FChanges;
    changes.Save();
    Change(TkvEditFocusEvent::Enter);
    FEdit.DataBinding().FocusReload();
    if (FEdit.Properties().CanRevertToEntryValue())
        FEdit.FEntryValue = FEdit.EditValue();
    FEdit.RefreshDisplay();
    changes.Restore();
    changes.SetChangedSinceEntry(false);
    if (FEdit.Properties().AutoSelect() && !FEdit.IsInplace())
        FEdit.SelectAll();
}

void TkvEditFocus::Exit()
{
    if (FState != TkvEditFocusState::Focused)
        return;
    TkvEditChangeFlags &changes = FEdit.FChanges;
    changes.Save();
    try {
        if (changes.HasPendingChange()) {
            FEdit.BeginChangeEvents();
            bool valid = false;
            try {
                valid = FEdit.ValidateEditText(true);
                if (valid && !FEdit.IsInplace() && FEdit.CanStore())
                    FEdit.StoreEditValue();
            } catch (...) {
                FEdit.EndChangeEvents();
                throw;
            }
            FEdit.EndChangeEvents();
            if (!valid) {
                // Rejected without a message: the editor keeps the focus.
                changes.Restore();
                return;
            }
        }
    } catch (...) {
        changes.Restore();
        throw;
    }
    Change(TkvEditFocusEvent::Exit);
    FEdit.DataBinding().FocusReload();
    FEdit.RefreshDisplay();
    changes.Restore();
    changes.SetHasPendingChange(false);
    if (FEdit.OnExit)
        FEdit.OnExit(&FEdit);
}

void TkvEditFocus::HandleEvent(QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        try {
            Enter();
        } catch (const std::exception &error) {
            TkvCustomEdit::HandleException(error);
        }
        return;
    }
    if (event->type() != QEvent::FocusOut)
        return;
    auto reason = static_cast<QFocusEvent *>(event)->reason();
    // Another window or a popup taking the focus is no exit from the editor.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    try {
        Exit();
    } catch (const std::exception &error) {
        Pull();
        TkvCustomEdit::HandleException(error);
        return;
    }
    // A text rejected without a message keeps the editor focused too.
    if (FEdit.Focused())
        Pull();
}

void TkvEditFocus::ActivateInPlace()
{
    FEdit.show();
    if (FEdit.InnerWidget())
        FEdit.InnerWidget()->setFocus();
    FEdit.DoEnter();
    FEdit.RefreshDisplay();
    if (FEdit.Properties().AutoSelect())
        FEdit.SelectAll();
    FEdit.ClearChangeFlags();
}

void TkvEditFocus::ActivateInPlaceByKey(QChar ch)
{
    FEdit.ActivateInPlace();
    FEdit.FKeyboard.ReplayActivationChar(ch);
}

void TkvEditFocus::ActivateInPlaceByMouse(Qt::KeyboardModifiers shift, const QPoint &point,
                                          bool leftButtonDown)
{
    FEdit.ActivateInPlace();
    QWidget *inner = FEdit.InnerWidget();
    if (!inner)
        return;
    QPointF local = inner->mapFrom(&FEdit, FEdit.mapFromParent(point));
    QMouseEvent event(leftButtonDown ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, local,
                      inner->mapToGlobal(local), Qt::LeftButton,
                      leftButtonDown ? Qt::LeftButton : Qt::NoButton, shift);
    QCoreApplication::sendEvent(inner, &event);
}

bool TkvEditFocus::DeactivateInPlace()
{
    bool valid = FEdit.ValidateEditText(true);
    if (valid)
        FEdit.RefreshDisplay();
    return valid;
}

} // namespace kestrum
