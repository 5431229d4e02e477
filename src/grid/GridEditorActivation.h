#pragma once
// How a click opens the cell editor without ImmediateEditor: a press on the
// cell that already had the focus, released without a double click, arms a
// timer of the double-click interval; when it fires the editor opens. Any
// press in between cancels it. Also the press it remembers for the release.
#include <functional>
#include <memory>

class QTimer;

namespace kestrum {

class TkvCustomGridTableItem;

class TkvGridEditorActivation {
public:
    //! open runs when the timer fires, with the armed item.
    explicit TkvGridEditorActivation(std::function<void(TkvCustomGridTableItem *)> open);
    ~TkvGridEditorActivation();
    TkvGridEditorActivation(const TkvGridEditorActivation &) = delete;
    TkvGridEditorActivation &operator=(const TkvGridEditorActivation &) = delete;

    //! A press: for a data cell (item) whether it had the focus is kept for its release.
    void Press(TkvCustomGridTableItem *item, bool wasFocusedCell);
    //! The release on item: whether its press was on that same, focused, cell; forgets the press.
    bool TakePressWasFocusedCell(TkvCustomGridTableItem *item);

    void Start(TkvCustomGridTableItem *item);
    void Cancel();
    bool IsArmed() const { return FItem != nullptr; }
    void Fired();
    //! An item leaves the view: nothing of it is kept.
    void ItemRemoving(TkvCustomGridTableItem *item);

private:
    std::function<void(TkvCustomGridTableItem *)> FOpen;
    TkvCustomGridTableItem *FPressedItem = nullptr;
    bool FPressWasFocusedCell = false;
    std::unique_ptr<QTimer> FTimer;
    TkvCustomGridTableItem *FItem = nullptr;
};

} // namespace kestrum
