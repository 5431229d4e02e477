#pragma once
// The table view's keyboard: a key runs through incremental search, the
// new-item row, the focused row's own keys, record operations and moves, and
// then the selection follows the move. Also the row and cell moves those
// stages (and the navigator) use.
#include "grid/GridViewData.h"

#include <QChar>

namespace kestrum {

class TkvGridTableView;
class TkvGridTableController;
class TkvCustomGridTableItem;

class TkvGridKeyboardController {
public:
    TkvGridKeyboardController(TkvGridTableView &view, TkvGridTableController &owner);
    TkvGridKeyboardController(const TkvGridKeyboardController &) = delete;
    TkvGridKeyboardController &operator=(const TkvGridKeyboardController &) = delete;

    bool KeyDown(TkvGridKey key, TkvGridShiftState shift);
    //! A typed character (Backspace is 8) whose key was left alone; true when consumed.
    bool KeyPress(QChar character);
    //! Keys an open editor hands to the grid.
    bool IsControllerKey(TkvGridKey key) const;
    //! The next character is dropped (set after Ctrl+Space toggled a selection).
    bool SuppressNextCharacter() const { return FSuppressNextCharacter; }
    TkvCustomGridTableItem *IncSearchItem() const;

    // Moves.
    bool FocusNextRow(int fromRowIndex, bool forward);
    bool FocusNextCell(bool forward, bool keepRow);
    void FocusFirstOrLastCell(bool first);
    void GoToFirst();
    void GoToLast();
    void PageUp();
    void PageDown();

private:
    int NextFocusableRow(int fromRowIndex, bool forward) const;
    bool FocusedRowHasCells() const;
    void ScrollHorizontally(int delta);

    // Key stages; each returns true when it consumed the key.
    bool IncSearchKeyDown(TkvGridKey key, TkvGridShiftState shift);
    bool NewItemRowKeyDown(TkvGridKey key);
    bool RecordKeyDown(TkvGridKey key, TkvGridShiftState shift);
    bool MoveKeyDown(TkvGridKey key, TkvGridShiftState shift, bool &movedRow);
    void SelectByKey(TkvGridKey key, TkvGridShiftState shift);
    bool FocusNewItemRowFromAbove();
    bool FocusTopRowFromNewItemRow();

    TkvGridTableView &FGridView;
    TkvGridTableController &FOwner;
    bool FSuppressNextCharacter = false;
};

} // namespace kestrum
