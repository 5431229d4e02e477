#pragma once
// The one in-place editor of a table view: which column it edits, taking an
// editor for the column's properties from the view's list, placing it over
// the focused cell, loading the cell's value, routing the editor's keys and
// events back to the grid, and writing its value into the record before it
// goes away again.
//
// The editor is a real editor widget parented to the grid site; everything
// else is plain logic that tests drive through the controller's methods and
// the editor's own entry points.
#include "editors/InplaceEditList.h"
#include "grid/GridEditorActivation.h"
#include "grid/GridViewData.h"

#include <QPoint>
#include <QPointer>
#include <QRect>

#include <cstdint>
#include <memory>
#include <vector>

class QWidget;

namespace kestrum {

class TkvCustomDataController;
class TkvCustomEdit;
class TkvCustomGridTableItem;
class TkvGridTableView;

//! What the editing controller is in the middle of. Idle covers an editor
//! open and waiting for the user as well as none at all; every other value
//! is one step that runs to its end before the controller is Idle again. A
//! step begun inside another returns to the outer one when it ends.
enum class TkvGridEditingState : std::uint8_t {
    Idle,
    ChangingItem,    //!< the editing item changes: the old editor closes, the new one is taken
    Loading,         //!< the editor is prepared or gets the record's value: no change of the user's
    Closing,         //!< the editor closes and hands the keyboard focus back to the grid site
    PostingOnClose,  //!< a close writes the editor's value into the record
    Posting,         //!< the value is written into the record while the editor stays open
    StartingEdit,    //!< the editor asked to edit: the record goes into edit state
    ForwardingEnter, //!< an Enter handed back by the editor runs through the table controller
};

//! The state a step begun in state outer runs in. A close stays a close
//! whatever it sets off, except that its write is told apart as
//! PostingOnClose, so both the close's checks and the write's apply.
TkvGridEditingState EnterEditingStep(TkvGridEditingState outer, TkvGridEditingState step);

class TkvGridEditingController {
public:
    explicit TkvGridEditingController(TkvGridTableView *view);
    ~TkvGridEditingController();
    TkvGridEditingController(const TkvGridEditingController &) = delete;
    TkvGridEditingController &operator=(const TkvGridEditingController &) = delete;

    //! The widget the editor is laid over (the view's site); set by the site.
    QWidget *Site() const { return FSite; }
    void SetSite(QWidget *site);

    //! The column whose cell is being edited, or nullptr.
    TkvCustomGridTableItem *EditingItem() const { return FEditingItem; }
    bool IsEditing() const { return FEditingItem != nullptr; }
    //! The open editor, or nullptr.
    TkvCustomEdit *Edit() const { return FEdit; }
    TkvInplaceEditList &EditList() { return FEditList; }
    //! The step the controller is in; Idle between them.
    TkvGridEditingState State() const { return FState; }
    //! The last close caused by the editor losing the focus failed validation.
    bool IsErrorOnExit() const { return FErrorOnExit; }

    //! Opens the editor on the focused row's cell of item; true when an editor
    //! is open on item now (also when it was open already and should be
    //! activated again).
    bool ShowCellEditor(TkvCustomGridTableItem *item, bool byMouse = false);
    //! ShowCellEditor, then the editor takes the keyboard focus (Enter, F2).
    bool ShowEditAndActivate(TkvCustomGridTableItem *item);
    //! ShowCellEditor, then the character is delivered as if typed.
    bool ShowEditByKey(TkvCustomGridTableItem *item, QChar ch);
    //! ShowCellEditor, then a left press (leftButtonDown) or release at point,
    //! given in site coordinates, reaches the editor.
    bool ShowEditByMouse(TkvCustomGridTableItem *item, TkvGridShiftState shift, const QPoint &point,
                         bool leftButtonDown);
    //! Closes the editor, writing its value first when accept is true. A
    //! validation error raises and the editor stays open.
    void CloseCellEditor(bool accept);
    //! Writes the editor's value into the record when it changed since the
    //! editor opened (never posts the record). False when the text was
    //! refused without a message: nothing was written and the caller stops.
    bool PostCellValue();
    //! Puts the record's current value for the editing item into the editor.
    void ReloadCellValue();
    //! The data controller's rows or the record changed: the value is read
    //! again (not while the editor closes, asks to edit or writes).
    void RefreshEditor();
    //! Under AlwaysShowEditor the editor stands on the focused cell after
    //! every move of the focus: opened there, or, open on that column
    //! already, loaded from the record now focused. Not while the editor
    //! gives the keyboard focus back to the grid.
    void ShowEditorAlways();
    //! The view was laid out again: the editor follows its cell.
    void UpdateEditorBounds();
    //! The rectangle the editor is placed at (empty while none is open).
    QRect EditorBounds() const;

    //! The focused row's keys that open the editor: Enter, F2; consumed when
    //! the editor is now showing.
    bool FocusedRowKeyDown(TkvGridKey key, TkvGridShiftState shift);
    //! The focused row's characters: Backspace, Ctrl+V, Ctrl+X and printable
    //! characters open the editor with that character.
    bool FocusedRowKeyPress(QChar ch);
    //! A press, before it moves the focus: any press cancels the delayed
    //! activation; for a data cell (item) whether it had the focus is noted
    //! for its release.
    void CellMouseDown(TkvCustomGridTableItem *item, bool wasFocusedCell);
    //! A release of the left button on a data cell (mouse steps of the
    //! controller): opens the editor at once, or arms the delayed activation
    //! without ImmediateEditor.
    void CellMouseUp(TkvCustomGridTableItem *item, const QPoint &point, TkvGridShiftState shift,
                     bool doubleClick);
    //! Set while an Enter handed back by the editor runs through the
    //! controller; the focused row's keys are skipped meanwhile.
    bool IsForwardingEnter() const { return FState == TkvGridEditingState::ForwardingEnter; }

    // Delayed activation (ImmediateEditor off).
    void StartDelayedActivation(TkvCustomGridTableItem *item) { FActivation.Start(item); }
    void CancelDelayedActivation() { FActivation.Cancel(); }
    bool IsDelayedActivationArmed() const { return FActivation.IsArmed(); }
    //! What the timer does when it fires (tests call it directly).
    void DelayedActivationFired() { FActivation.Fired(); }

    //! An item leaves the view: an editor on it closes without writing.
    void ItemRemoving(TkvCustomGridTableItem *item);

private:
    class TStep;
    bool IsClosing() const;
    bool IsPosting() const;
    bool GridHasFocus() const;
    bool SiteHasFocus() const;
    TkvCustomDataController *DataController() const;
    //! Changes the editing item (to none: closes the editor).
    void SetEditingItem(TkvCustomGridTableItem *item);
    void PrepareEdit();
    void HookEdit();
    void UnhookEdit();
    //! Places the editor over its cell, or off the view when the cell is out of view.
    void PlaceEdit();
    QRect CellEditBounds(bool &found) const;
    //! The editor asks to edit: the item must be editable, and the record
    //! goes into edit state.
    bool InitiateEditing();
    void EditKeyDown(int &key, Qt::KeyboardModifiers shift);
    void EditHostKeyDown(int &key, Qt::KeyboardModifiers shift);
    void EditExit();
    //! Whether a close on exit accepts (not for an untouched new record with CancelOnExit).
    bool AcceptOnExit() const;

    TkvGridTableView *FView;
    QWidget *FSite = nullptr;
    TkvInplaceEditList FEditList;
    TkvCustomGridTableItem *FEditingItem = nullptr;
    TkvCustomEdit *FEdit = nullptr;
    TkvCustomEditProperties *FEditProperties = nullptr;
    //! The record the editor's value belongs to; nothing is written elsewhere.
    int FEditingRecordIndex = -1;
    TkvGridEditingState FState = TkvGridEditingState::Idle;
    //! Outlives the close that set it: the next press on a cell reads it.
    bool FErrorOnExit = false;
    TkvEditNotifyEvent FSavedOnChange;
    TkvEditNotifyEvent FSavedOnEditValueChanged;
    QRect FEditBounds;
    TkvGridEditorActivation FActivation;
    std::unique_ptr<QObject> FKeyBarrier;
    //! Editors laid into the site; they leave it with the site.
    std::vector<QPointer<TkvCustomEdit>> FSitedEdits;
};

//! One step for the length of a scope: the only place the state changes.
//! Leave ends it early, where the step's last notices must already see the
//! controller out of it.
class TkvGridEditingController::TStep {
public:
    TStep(TkvGridEditingController &owner, TkvGridEditingState step) : FOwner(owner), FOuter(owner.FState)
    {
        FOwner.FState = EnterEditingStep(FOuter, step);
    }
    ~TStep() { Leave(); }
    TStep(const TStep &) = delete;
    TStep &operator=(const TStep &) = delete;

    void Leave()
    {
        if (FActive)
            FOwner.FState = FOuter;
        FActive = false;
    }

private:
    TkvGridEditingController &FOwner;
    const TkvGridEditingState FOuter;
    bool FActive = true;
};

} // namespace kestrum
