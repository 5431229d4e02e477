#pragma once
// The table view's controller: turns keys, mouse presses, the wheel and the
// scroll bars into focus moves, group expansion and scrolling. Keys arrive
// as platform-independent actions, so tests call KeyDown directly.
#include "grid/TkvGridViewData.h"

#include <QPoint>

namespace kestrum {

class TkvGridTableView;
class TkvCustomGridTableItem;

enum class TkvGridMouseButton : std::uint8_t { Left, Right, Middle };

//! The scroll bar actions.
enum class TkvGridScrollCode : std::uint8_t { LineUp, LineDown, PageUp, PageDown, Track, Top, Bottom };

class TkvGridTableController {
public:
    explicit TkvGridTableController(TkvGridTableView *view) : FGridView(view) {}
    TkvGridTableController(const TkvGridTableController &) = delete;
    TkvGridTableController &operator=(const TkvGridTableController &) = delete;

    TkvGridTableView &GridView() const { return *FGridView; }

    // Focus.
    TkvCustomGridTableItem *FocusedItem() const { return FFocusedItem; }
    void SetFocusedItem(TkvCustomGridTableItem *item);
    int FocusedRowIndex() const;
    bool SetFocusedRowIndex(int rowIndex);
    //! Forgets an item that leaves the view.
    void ItemRemoved(TkvCustomGridTableItem *item);

    // Scrolling.
    int TopRowIndex() const { return FTopRowIndex; }
    void SetTopRowIndex(int rowIndex);
    int LeftPos() const { return FLeftPos; }
    void SetLeftPos(int leftPos);
    //! Brings the focused row into the rows area (scrolling as little as possible).
    void MakeFocusedRowVisible();
    void MakeRowVisible(int rowIndex);
    //! Keeps the top row valid after the rows changed.
    void CheckTopRowIndex();

    // Input.
    bool KeyDown(TkvGridKey key, TkvGridShiftState shift);
    bool IsControllerKey(TkvGridKey key) const;
    void MouseDown(TkvGridMouseButton button, const QPoint &point, TkvGridShiftState shift, bool doubleClick);
    void MouseUp(TkvGridMouseButton button, const QPoint &point, TkvGridShiftState shift);
    //! One wheel message: positive steps scroll up, negative down, lines rows per step.
    void MouseWheel(int steps, int linesPerStep = 3);
    void Scroll(bool vertical, TkvGridScrollCode code, int position = 0);

    // Moves.
    bool FocusNextRow(int fromRowIndex, bool forward);
    bool FocusNextCell(bool forward, bool keepRow);
    void GoToFirst();
    void GoToLast();
    void PageUp();
    void PageDown();

    bool IsDoubleClick() const { return FDoubleClick; }

private:
    int NextFocusableRow(int fromRowIndex, bool forward) const;
    bool FocusedRowHasCells() const;
    void FocusFirstOrLastCell(bool first);
    void ScrollHorizontally(int delta);

    TkvGridTableView *FGridView;
    TkvCustomGridTableItem *FFocusedItem = nullptr;
    int FTopRowIndex = 0;
    int FLeftPos = 0;
    bool FDoubleClick = false;
};

} // namespace kestrum
