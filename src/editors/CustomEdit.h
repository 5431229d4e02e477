#pragma once
// The editor core shared by every editor kind: the edit value, the change
// flags and notices, the display text, and the entry points of an in-place
// host. It delegates by concept: the keyboard contract (clear key, Tab, Enter,
// Esc) to TkvEditKeyboard, keyless input to TkvEditSideInput, the clipboard to
// TkvEditClipboard, validation and storing to TkvEditValidation, the focused
// state and in-place activation to TkvEditFocus, the permission to edit to
// TkvEditPermission; its public methods stay the one door for callers.
//
// The logic is plain methods (KeyDown, KeyPress, DoEnter, DoExit, ...) that
// tests call directly; the Qt event filter on the inner control only turns
// key and focus events into those calls and hands exceptions that reach it
// to the error handler.
#include "core/Errors.h"
#include "core/Variant.h"
#include "editors/EditAlerts.h"
#include "editors/EditChangeFlags.h"
#include "editors/EditChangeNotices.h"
#include "editors/EditClipboard.h"
#include "editors/EditDataBinding.h"
#include "editors/EditFocus.h"
#include "editors/EditInnerControl.h"
#include "editors/EditKeyboard.h"
#include "editors/EditPermission.h"
#include "editors/EditProperties.h"
#include "editors/EditSideInput.h"
#include "editors/EditStates.h"
#include "editors/EditValidation.h"

#include <QWidget>

class QMenu;

#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TkvCustomEdit;

//! Asked before the first change; the handler may clear canEdit.
using TkvEditEditingEvent = std::function<void(TkvCustomEdit *sender, bool &canEdit)>;
//! Keys offered to a host; the host sets key to 0 to consume it.
using TkvEditKeyEvent = std::function<void(TkvCustomEdit *sender, int &key, Qt::KeyboardModifiers shift)>;

//! Thrown by ReportValidationError; the message is the validation text. An
//! empty text (a failed write) only refocuses and beeps, and throws nothing.
class EkvEditValidationError : public Exception {
public:
    explicit EkvEditValidationError(const std::string &message) : Exception(message) {}
};

class EkvEditRepositoryError : public Exception {
public:
    EkvEditRepositoryError() : Exception("The repository item is not acceptable") {}
};

class TkvCustomEdit : public QWidget {
public:
    //! properties: the editor's own properties object (never null).
    TkvCustomEdit(std::unique_ptr<TkvCustomEditProperties> properties, bool isInplace = false,
                  QWidget *parent = nullptr);
    ~TkvCustomEdit() override;

    // ---- value model ----
    const Variant &EditValue() const { return FEditValue; }
    //! Ignored while RequestEditing runs; under the clearing guard asks
    //! RequestEditing first; then AssignEditValue.
    void SetEditValue(const Variant &value);
    const Variant &EntryValue() const { return FEntryValue; }
    bool HasPendingChange() const { return FChanges.HasPendingChange(); }
    bool ChangedSinceEntry() const { return FChanges.ChangedSinceEntry(); }
    bool IsValidated() const { return FChanges.IsValidated(); }
    void SetHasPendingChange(bool value) { FChanges.SetHasPendingChange(value); }
    void SetChangedSinceEntry(bool value) { FChanges.SetChangedSinceEntry(value); }
    void ClearChangeFlags();
    bool IsInplace() const { return FIsInplace; }
    //! The editor's own focused state (between DoEnter and DoExit).
    bool Focused() const { return IsFocusedState(FFocus.State()); }
    TkvEditFocusState FocusState() const { return FFocus.State(); }
    TkvEditInputState InputState() const { return FInputState; }
    //! The text in the inner control.
    QString DisplayText() const;

    // ---- parts ----
    //! The properties in use: lent ones when set, else the editor's own.
    TkvCustomEditProperties &Properties() const { return *FActiveProperties; }
    //! Lends a properties object (in-place editors, repository items); null
    //! returns to the editor's own. Raises EkvEditRepositoryError when this
    //! editor kind does not accept the object.
    void SetLentProperties(TkvCustomEditProperties *properties);
    TkvEditDataBinding &DataBinding() const { return *FDataBinding; }
    TkvEditInnerControl *InnerControl() const { return FInnerControl; }
    QWidget *InnerWidget() const;

    bool BeepOnEnter() const { return FBeepOnEnter; }
    void SetBeepOnEnter(bool value) { FBeepOnEnter = value; }

    // ---- events ----
    TkvEditEditingEvent OnEditing;
    TkvEditNotifyEvent OnFocusChanged;
    //! Keys the editor does not handle itself (in-place hosts).
    TkvEditKeyEvent OnHostKeyDown;
    //! An in-place editor asks its host to take the edit value.
    TkvEditNotifyEvent OnHostPostValue;
    //! Runs before the editor's own key handling (a grid hooks it).
    TkvEditKeyEvent OnKeyDown;
    TkvEditNotifyEvent OnExit;

    // ---- operations ----
    bool RequestEditing();
    bool CanChangeValue() const;
    //! The read-only state in force: the assigned ReadOnly, else the bound
    //! field's (true while no field of an active record set is bound).
    bool IsReadOnly() const;
    void AssignEditValue(const Variant &value);
    bool ValidateEditText(bool raiseOnError);
    void StoreEditValue();
    void RevertToEntryValue();
    //! Focuses the editor, beeps when BeepOnError is on, and raises
    //! EkvEditValidationError when errorText is not empty.
    void ReportValidationError(const QString &errorText);
    void BeginChangeEvents();
    void EndChangeEvents(bool fireEvents = true);
    //! Builds the display text from the edit value and shows it.
    void RefreshDisplay();
    //! Recomputes the edit value from the display text.
    void TakeValueFromDisplay();
    //! Puts a display text into the inner control (through the binding).
    void SetDisplayValue(const QString &displayValue);
    //! Places a value without display refresh, change flags or events (a
    //! binding that shows the field's own display text beside it).
    void InternalSetEditValue(const Variant &value);
    //! Sets the inner control's text without counting it as a user change.
    void SetInternalDisplayValue(const QString &displayValue);
    void SelectAll();

    // ---- clipboard ----
    //! Pastes the clipboard's text as the editor kind pastes (PasteText).
    void PasteFromClipboard();
    //! Copies the selection to the clipboard and deletes it; nothing when the
    //! editor may not change or shows a password.
    void CutToClipboard();
    void CopyToClipboard();
    //! Deletes the selection after RequestEditing agrees.
    void ClearSelection();
    //! The editor's context menu (cut, copy, paste, delete, select all), every
    //! entry going through the editor; the caller owns it.
    QMenu *CreateContextMenu();

    //! The key-down chain; key becomes 0 when consumed.
    void KeyDown(int &key, Qt::KeyboardModifiers shift);
    //! The key-press filter; ch becomes null when dropped.
    void KeyPress(QChar &ch);
    //! A whole keystroke as the inner control receives it: KeyDown, KeyPress
    //! for its character, and typing of printable characters. True when the
    //! editor consumed it (the native control must not see it).
    bool ProcessKey(int key, Qt::KeyboardModifiers shift, const QString &text);

    //! Focus entry and exit. Exit raises a validation error (focus stays).
    void DoEnter();
    void DoExit();

    // ---- in-place entry points for a host ----
    void ActivateInPlace();
    void ActivateInPlaceByKey(QChar ch);
    //! ActivateInPlace, then a left-button press (button still down) or
    //! release at point, given in the coordinates of the editor's parent.
    void ActivateInPlaceByMouse(Qt::KeyboardModifiers shift, const QPoint &point, bool leftButtonDown);
    //! Validates (raising on error) and rebuilds the display text.
    bool DeactivateInPlace();

    //! Applies changed properties to the inner control.
    virtual void PropertiesChanged();
    //! Handles exceptions that reach a Qt event handler (the application's
    //! error box in the program; tests record them).
    static void SetExceptionHandler(std::function<void(const std::exception &)> handler);
    static void HandleException(const std::exception &error);
    //! The beep of refused input (the system beep; tests count them).
    static void Beep();
    static void SetBeepHandler(std::function<void()> handler);

protected:
    void SetDataBinding(std::unique_ptr<TkvEditDataBinding> binding);
    //! Installs the native control (owned by this widget through Qt).
    void SetInnerControl(TkvEditInnerControl *inner);

    //! Steps of the key-down chain after the host's OnKeyDown.
    virtual void DoKeyDown(int &key, Qt::KeyboardModifiers shift);
    virtual void DoKeyPress(QChar &ch);
    //! Delete, Backspace and the editor's own keys that change the value.
    virtual bool IsModifyingKey(int key, Qt::KeyboardModifiers shift) const;
    //! Navigation keys the editor keeps for itself instead of handing them on.
    virtual bool HandlesNavigationKey(int key, Qt::KeyboardModifiers shift) const;
    //! Tab is text for this editor (memo with WantTabs).
    virtual bool WantsTab() const { return false; }
    //! The editor kind's character filter.
    virtual bool IsValidChar(QChar ch) const;
    //! Types a printable character (under the clearing guard); false when the
    //! editor has no text to type into.
    virtual bool ApplyTypedChar(QChar ch);
    //! An in-place editor may decline the character that opened it (a memo
    //! declines the carriage return).
    virtual bool DeclinesActivationChar(QChar ch) const;
    //! Text from the clipboard, a drop, the selection clipboard: asks
    //! RequestEditing, filters it like typing and inserts it at the caret; a
    //! text of which nothing may be typed beeps with BeepOnError.
    virtual void PasteText(const QString &text);
    //! What of a pasted text may be typed here: one line for single-line
    //! editors, no control characters, only characters of the editor's filter.
    virtual QString FilterPastedText(const QString &text) const;
    virtual bool IsMultiLine() const { return false; }
    //! Deletes the selected text (permission already given).
    virtual void DeleteSelection();
    //! Whether the native control may change the text by its own shortcuts
    //! (undo, delete to the end of the line); a mask allows none of them.
    virtual bool AllowsNativeEditing() const { return true; }
    //! Shows the context menu at a global position (modal).
    virtual void ShowContextMenu(const QPoint &globalPos);
    //! The editor is not read-only and RequestEditing agrees.
    bool MayModifyText();
    //! The editor kind refuses editing altogether (hidden cursor).
    virtual bool RefusesEditing() const { return false; }
    virtual bool IsDropDownOpen() const { return false; }
    virtual bool AcceptsProperties(const TkvCustomEditProperties &properties) const;
    //! Text to show for the current edit value in the current focus state.
    virtual QString DisplayTextForEditValue() const;
    //! The edit value was replaced (assigned, read back from the display or
    //! reloaded from the field); editor kinds that remember something about
    //! the value refresh it here.
    virtual void EditValueAssigned() {}
    //! The form in which the editor keeps a value given to it (a date edit
    //! that keeps no time of day cuts it off).
    virtual Variant AdjustedEditValue(const Variant &value) const { return value; }
    //! Moves the keyboard focus to the next (or previous) control of the form.
    virtual void FocusNextControl(bool forward);
    //! The inner control's text changed (typing, paste, delete).
    void InnerTextChanged();
    //! The shown text takes a new form (a new CharCase): unfocused, the value
    //! is shown again; focused, the text being edited is replaced, keeping the
    //! selection, and stored with the rest of the edit.
    void ReshapeShownText(const QString &reshaped);
    bool ClearingGuard() const { return IsUserChange(FInputState); }

    bool eventFilter(QObject *watched, QEvent *event) override;

    //! Runs fn under the clearing guard: what fn changes is a user change.
    template <typename Fn> void WithClearingGuard(Fn fn)
    {
        WithInputActivity(TkvEditInputActivity::UserChange, fn);
    }

private:
    // The collaborators work on the editor's own steps and state (the virtual
    // steps of the editor kinds included).
    friend class TkvEditClipboard;
    friend class TkvEditFocus;
    friend class TkvEditKeyboard;
    friend class TkvEditPermission;
    friend class TkvEditSideInput;
    friend class TkvEditValidation;

    void DoChange();
    void DoEditValueChanged();
    //! After the edit value was replaced: the change flags by the input
    //! state, and the notices when the value differs from `old`.
    void EditValueReplaced(const Variant &old);
    bool CanStore() const;
    template <typename Fn> void WithInputActivity(TkvEditInputActivity activity, Fn fn)
    {
        const TkvEditInputState saved = FInputState;
        FInputState = EnterInputActivity(saved, activity);
        try {
            fn();
        } catch (...) {
            FInputState = saved;
            throw;
        }
        FInputState = saved;
    }

    std::unique_ptr<TkvCustomEditProperties> FOwnProperties;
    TkvCustomEditProperties *FActiveProperties = nullptr;
    std::unique_ptr<TkvEditDataBinding> FDataBinding;
    TkvEditInnerControl *FInnerControl = nullptr;

    Variant FEditValue = Variant::null();
    Variant FEntryValue = Variant::null();
    TkvEditChangeFlags FChanges;
    TkvEditInputState FInputState = TkvEditInputState::Idle;
    TkvEditChangeNotices FNotices;
    const bool FIsInplace;
    bool FBeepOnEnter = true;
    int FDisplayUpdateLock = 0;
    TkvEditKeyboard FKeyboard{*this};
    TkvEditSideInput FSideInput{*this};
    TkvEditClipboard FClipboard{*this};
    TkvEditValidation FValidation{*this};
    TkvEditFocus FFocus{*this};
    TkvEditPermission FPermission{*this};
};

} // namespace kestrum
