#pragma once
// The fixed set of fifteen navigator buttons: which may be pressed now, and
// what a click does. TkvCustomNavigatorButtons knows nothing of record sets;
// TkvDBNavigatorButtons binds the buttons to one through a data link.
#include "navigator/NavigatorButton.h"

#include <array>
#include <functional>

class QWidget;

namespace kestrum {

class TImageList;
class TkvCustomNavigatorButtons;

//! Sender, the button's index, and done: set it to stop the default action.
using TkvNavigatorButtonClickEvent =
    std::function<void(TkvCustomNavigatorButtons *sender, int buttonIndex, bool &done)>;

class TkvCustomNavigatorButtons {
public:
    TkvCustomNavigatorButtons();
    virtual ~TkvCustomNavigatorButtons() = default;
    TkvCustomNavigatorButtons(const TkvCustomNavigatorButtons &) = delete;
    TkvCustomNavigatorButtons &operator=(const TkvCustomNavigatorButtons &) = delete;

    TkvNavigatorButton &Button(int index) { return FButtons.at(std::size_t(index)); }
    const TkvNavigatorButton &Button(int index) const { return FButtons.at(std::size_t(index)); }
    int ButtonCount() const { return kvNavigatorButtonCount; }
    TkvNavigatorButton &First() { return Button(nbFirst); }
    TkvNavigatorButton &PriorPage() { return Button(nbPriorPage); }
    TkvNavigatorButton &Prior() { return Button(nbPrior); }
    TkvNavigatorButton &Next() { return Button(nbNext); }
    TkvNavigatorButton &NextPage() { return Button(nbNextPage); }
    TkvNavigatorButton &Last() { return Button(nbLast); }
    TkvNavigatorButton &Insert() { return Button(nbInsert); }
    TkvNavigatorButton &Delete() { return Button(nbDelete); }
    TkvNavigatorButton &Edit() { return Button(nbEdit); }
    TkvNavigatorButton &Post() { return Button(nbPost); }
    TkvNavigatorButton &Cancel() { return Button(nbCancel); }
    TkvNavigatorButton &Refresh() { return Button(nbRefresh); }
    TkvNavigatorButton &SaveBookmark() { return Button(nbSaveBookmark); }
    TkvNavigatorButton &GotoBookmark() { return Button(nbGotoBookmark); }
    TkvNavigatorButton &Filter() { return Button(nbFilter); }

    //! Images for buttons whose ImageIndex is 0 or more (not owned; none by default).
    TImageList *Images() const { return FImages; }
    void SetImages(TImageList *images);

    //! Whether the owning navigator is enabled (it tells the buttons).
    bool OwnerEnabled() const { return FOwnerEnabled; }
    void SetOwnerEnabled(bool value) { FOwnerEnabled = value; }

    //! The button's Enabled flag, an enabled owner, and the state rule.
    bool IsButtonEnabled(int index) const;
    //! The button's own handler, else OnButtonClick, else (unless it set
    //! done) the default action.
    void ClickButton(int index);

    //! A button's visibility, enabling, image or hint changed.
    void ButtonChanged();

    TkvNavigatorButtonClickEvent OnButtonClick;
    //! Told when the buttons' layout or look changed (a button's settings, the images).
    std::function<void()> OnChanged;

protected:
    //! The state rule of each button (true in the base).
    virtual bool IsActionEnabled(int index) const;
    virtual void DoButtonAction(int index);

private:
    std::array<TkvNavigatorButton, kvNavigatorButtonCount> FButtons;
    TImageList *FImages = nullptr;
    bool FOwnerEnabled = true;
};

//! The question the Delete button asks before it deletes, as a box over
//! parent; true when the user answers OK.
bool ConfirmRecordDelete(QWidget *parent);

} // namespace kestrum
