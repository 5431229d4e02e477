#pragma once
// What the user does to a builder model: the parts that take the focus in
// Tab order, what a key means and does, what activating a part shows, and the
// commands behind the row menus and the part lists.
#include "filterdialogs/FilterControlModel.h"

#include <Qt>

#include <vector>

namespace kestrum {

class TkvFilterControlInteraction {
public:
    explicit TkvFilterControlInteraction(TkvFilterControlModel &model) : FModel(model) {}

    //! The parts of a row in Tab order (the footer link is not a row part).
    static std::vector<TkvFilterControlFocus> RowParts(TkvFilterControlRow *row);
    //! Every part of the model's rows in Tab order, the footer link last.
    static std::vector<TkvFilterControlFocus> AllParts(const TkvFilterControlModel &model);
    //! Focuses a part the rows have; anything else is ignored.
    void SetFocus(const TkvFilterControlFocus &focus);
    static TkvFilterControlKeyAction KeyAction(int key, Qt::KeyboardModifiers modifiers);
    //! Runs a key action; false when the key is not the control's (focus leaves).
    bool DoKeyAction(TkvFilterControlKeyAction action, TkvFilterControlActivation *activation);
    //! Focuses the part and says what to show; the footer link and the
    //! add-value part act at once.
    TkvFilterControlActivation ActivatePart(const TkvFilterControlFocus &part);
    void ExecuteMenuCommand(TkvFilterControlRow *row, TkvFilterControlMenuCommand command);
    void ChooseListEntry(const TkvFilterControlFocus &part, int code);

private:
    //! A focus left on a row that went away falls back to the root's button.
    void ValidateFocus();

    TkvFilterControlModel &FModel;
};

} // namespace kestrum
