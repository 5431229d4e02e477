// The cell editor's keys and the grid's keys, characters, clicks and timer
// that open it: what reaches the editing controller from the keyboard and
// the mouse.
#include "grid/GridEditingController.h"

#include "editors/CustomEdit.h"
#include "grid/GridColumn.h"
#include "grid/GridSite.h"
#include "grid/GridTableController.h"
#include "grid/GridTableView.h"

#include <QApplication>
#include <QTimer>

namespace kestrum {

// ---- keys ----

void TkvGridEditingController::EditKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    TkvGridTableController &controller = FView->Controller();
    controller.MakeFocusedRowVisible();
    const bool ctrlOnly = (shift & ~Qt::KeypadModifier) == Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        key = 0;
        CloseCellEditor(true);
        if (FEditingItem)
            return; // the close was refused
        if (FView->OptionsBehavior().GoToNextCellOnEnter()) {
            {
                TStep step(*this, TkvGridEditingState::ForwardingEnter);
                controller.KeyDown(TkvGridKey::Enter, TkvGridSite::TranslateModifiers(shift));
            }
            ShowEditAndActivate(controller.FocusedItem());
        } else if (FView->OptionsBehavior().AlwaysShowEditor()) {
            ShowEditAndActivate(controller.FocusedItem());
        }
        return;
    }
    case Qt::Key_Escape: {
        const bool changed = FEdit && FEdit->ChangedSinceEntry();
        CloseCellEditor(false);
        if (FView->OptionsBehavior().AlwaysShowEditor())
            ShowEditAndActivate(controller.FocusedItem());
        if (changed)
            key = 0;
        return;
    }
    case Qt::Key_Delete:
        if (ctrlOnly) {
            controller.KeyDown(TkvGridKey::Delete, TkvGridSite::TranslateModifiers(shift));
            key = 0;
        }
        return;
    default:
        return;
    }
}

void TkvGridEditingController::EditHostKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    const TkvGridKey gridKey = TkvGridSite::TranslateKey(key, shift);
    TkvGridTableController &controller = FView->Controller();
    if (gridKey == TkvGridKey::None || !controller.IsControllerKey(gridKey))
        return;
    if (controller.KeyDown(gridKey, TkvGridSite::TranslateModifiers(shift)))
        key = 0;
}

bool TkvGridEditingController::FocusedRowKeyDown(TkvGridKey key, TkvGridShiftState shift)
{
    if ((key != TkvGridKey::Enter && key != TkvGridKey::F2) || IsForwardingEnter())
        return false;
    if (shift.Ctrl || shift.Alt || (shift.Shift && key != TkvGridKey::Enter))
        return false;
    TkvGridTableController &controller = FView->Controller();
    TkvCustomGridRecord *record = controller.FocusedRecord();
    if (!record || !record->HasCells() || !controller.FocusedItem())
        return false;
    return ShowEditAndActivate(controller.FocusedItem());
}

bool TkvGridEditingController::FocusedRowKeyPress(QChar ch)
{
    const char16_t code = ch.unicode();
    if (code != 8 && code != 22 && code != 24 && code < 32)
        return false;
    TkvGridTableController &controller = FView->Controller();
    TkvCustomGridRecord *record = controller.FocusedRecord();
    if (!record || !record->HasCells() || !controller.FocusedItem())
        return false;
    ShowEditByKey(controller.FocusedItem(), ch);
    return true;
}

// ---- mouse and delayed activation ----

void TkvGridEditingController::CellMouseDown(TkvCustomGridTableItem *item, bool wasFocusedCell)
{
    CancelDelayedActivation();
    FPressedItem = item;
    FPressWasFocusedCell = item && wasFocusedCell;
}

void TkvGridEditingController::CellMouseUp(TkvCustomGridTableItem *item, const QPoint &point,
                                           TkvGridShiftState shift, bool doubleClick)
{
    const bool pressWasFocusedCell = FPressWasFocusedCell && item == FPressedItem;
    FPressedItem = nullptr;
    FPressWasFocusedCell = false;
    if (shift.Shift || shift.Ctrl || !item || item != FView->Controller().FocusedItem())
        return;
    if (item == FEditingItem && FEdit)
        return;
    if (FView->OptionsBehavior().ImmediateEditor())
        ShowEditByMouse(item, shift, point, false);
    else if (pressWasFocusedCell && !doubleClick)
        StartDelayedActivation(item);
}

void TkvGridEditingController::StartDelayedActivation(TkvCustomGridTableItem *item)
{
    CancelDelayedActivation();
    if (!item)
        return;
    FDelayedItem = item;
    FDelayedTimer = std::make_unique<QTimer>();
    FDelayedTimer->setSingleShot(true);
    FDelayedTimer->setInterval(QApplication::doubleClickInterval());
    QObject::connect(FDelayedTimer.get(), &QTimer::timeout, [this] {
        try {
            DelayedActivationFired();
        } catch (const std::exception &error) {
            TkvCustomEdit::HandleException(error);
        }
    });
    FDelayedTimer->start();
}

void TkvGridEditingController::CancelDelayedActivation()
{
    FDelayedItem = nullptr;
    if (FDelayedTimer) {
        FDelayedTimer->stop();
        // Freed later: this may run inside the timer's own signal.
        FDelayedTimer.release()->deleteLater();
    }
}

void TkvGridEditingController::DelayedActivationFired()
{
    TkvCustomGridTableItem *item = FDelayedItem;
    CancelDelayedActivation();
    if (item)
        ShowEditAndActivate(item);
}

void TkvGridEditingController::ItemRemoving(TkvCustomGridTableItem *item)
{
    if (item == FDelayedItem)
        CancelDelayedActivation();
    if (item == FPressedItem)
        FPressedItem = nullptr;
    if (item == FEditingItem)
        CloseCellEditor(false);
}

} // namespace kestrum
