#pragma once
// A drop-down window: a Qt popup that closes by itself when the user clicks
// elsewhere, and tells its owner when it closed.
#include <QFrame>

#include <functional>

namespace kestrum {

//! Flags of a drop-down window: a Qt popup, which closes by itself on a click
//! elsewhere and keeps the editor focused. The offscreen platform (tests) can
//! neither raise nor grab a window, so there a popup is a child of its owner.
Qt::WindowFlags PopupWindowFlags();

class TkvPopupWindow : public QFrame {
public:
    explicit TkvPopupWindow(QWidget *owner);

    //! The control shown in the window (owned by the window from now on).
    void SetContent(QWidget *content);
    QWidget *Content() const { return FContent; }
    //! Sizes the window to the content and shows it under anchor (above it
    //! when there is no room below).
    void ShowUnder(QWidget *anchor);
    void ClosePopup();
    bool IsOpen() const { return FOpen; }

    //! Called once each time the window closes, for whatever reason.
    std::function<void()> OnClosed;

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void Closed();

    QWidget *FContent = nullptr;
    bool FOpen = false;
};

} // namespace kestrum
