#pragma once
// The drop-down editors' common part: a mask edit with a drop-down button
// that opens a popup control under the editor (the calculator, the
// calendar). Closing the popup never stores the value; the ordinary rules
// (Enter, leaving the editor) do.
#include "editors/MaskEdit.h"
#include "editors/PopupWindow.h"

class QToolButton;

namespace kestrum {

class TkvCustomPopupEdit;

class TkvCustomPopupEditProperties : public TkvCustomMaskEditProperties {
public:
    TkvCustomPopupEditProperties();

    TkvEditNotifyEvent OnCloseUp;
    TkvEditNotifyEvent OnInitPopup;
    TkvEditNotifyEvent OnPopup;
};

class TkvCustomPopupEdit : public TkvCustomMaskEdit {
public:
    TkvCustomPopupEdit(std::unique_ptr<TkvCustomPopupEditProperties> properties, bool isInplace,
                       QWidget *parent);
    ~TkvCustomPopupEdit() override;
    TkvCustomPopupEditProperties &Properties() const
    {
        return static_cast<TkvCustomPopupEditProperties &>(TkvCustomEdit::Properties());
    }

    bool DroppedDown() const;
    //! Opens the popup (drop-down button, F4, Alt+Down).
    void DropDown();
    //! Closes the popup without storing anything.
    void CloseUp();
    TkvPopupWindow *PopupWindow() const { return FPopupWindow; }
    //! Puts text into the editor as typing would: asks RequestEditing first;
    //! false when editing is refused.
    bool SetTextFromPopup(const QString &text);

protected:
    //! The control the popup shows; created once by the editor kind.
    virtual QWidget *CreatePopupControl() = 0;
    //! Prepares the popup control before it is shown.
    virtual void InitPopup() {}
    //! The popup closed (by a choice, a key or a click elsewhere).
    virtual void PopupClosed() {}
    void DoKeyDown(int &key, Qt::KeyboardModifiers shift) override;
    bool IsDropDownOpen() const override { return DroppedDown(); }
    QWidget *PopupControl();

private:
    TkvPopupWindow *FPopupWindow = nullptr;
    QToolButton *FDropDownButton = nullptr;
    bool FClosing = false;
};

} // namespace kestrum
