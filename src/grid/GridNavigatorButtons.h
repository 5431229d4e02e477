#pragma once
// The buttons of a grid view's own navigator: each acts on the view (its
// controller and data controller) instead of on a record set. Deleting goes
// through the view's confirmed delete, which asks its own question, so the
// view switches the navigator's "Delete record?" off when it makes them.
#include "navigator/NavigatorButtons.h"

namespace kestrum {

class TkvGridTableView;

class TkvNavigatorControlButtons : public TkvCustomNavigatorButtons {
public:
    explicit TkvNavigatorControlButtons(TkvGridTableView *view) : FGridView(view) {}

    //! Asks "Delete record?" before the view deletes; default true.
    bool ConfirmDelete() const { return FConfirmDelete; }
    void SetConfirmDelete(bool value) { FConfirmDelete = value; }

protected:
    bool IsActionEnabled(int index) const override;
    void DoButtonAction(int index) override;

private:
    TkvGridTableView *FGridView;
    bool FConfirmDelete = true;
};

} // namespace kestrum
