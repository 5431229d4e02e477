#pragma once
// The calculator control: paints the key table and turns mouse and keyboard
// into key presses of its engine. The popup calculator works on an editor's
// text through the engine's display callbacks and closes on request.
#include "editors/CalculatorEngine.h"
#include "editors/CalculatorLayout.h"

#include <QTimer>
#include <QWidget>

#include <functional>

namespace kestrum {

class TkvCustomCalculator : public QWidget {
public:
    explicit TkvCustomCalculator(QWidget *parent = nullptr);

    TkvCalculatorEngine &Engine() { return FEngine; }
    const TkvCalculatorLayout &Layout() const { return FLayout; }
    //! Rebuilds the key rectangles for a key height; resets the arithmetic.
    void BuildLayout(int keyHeight);
    //! Presses a key as the keyboard or mouse would.
    void PerformKey(TkvCalcButton button)
    {
        FEngine.PerformKey(button);
        update();
    }
    void CopyToClipboard();
    void PasteFromClipboard();

    //! Key handling as plain calls (tests send keys here); true when used.
    virtual bool HandleKeyPress(int key, Qt::KeyboardModifiers modifiers, const QString &text);
    void HandleKeyRelease(int key);

    TkvCalcButton PressedKey() const { return FPressedKey; }
    TkvCalcButton HotKey() const { return FHotKey; }

    QSize sizeHint() const override { return FLayout.Metrics().Size; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    //! A standalone calculator fits its keys to its size; a popup does not.
    virtual bool FitsToSize() const { return true; }

private:
    TkvCalculatorEngine FEngine;
    TkvCalculatorLayout FLayout;
    TkvCalcButton FPressedKey = cbNone;  //!< held down on the keyboard
    TkvCalcButton FHotKey = cbNone;      //!< under the mouse pointer
    TkvCalcButton FCapturedKey = cbNone; //!< the mouse went down on it
    int FKeyHeight = 22;
};

//! The calculator shown under a calculator edit.
class TkvPopupCalculator : public TkvCustomCalculator {
public:
    explicit TkvPopupCalculator(QWidget *parent = nullptr);

    //! Closes the popup; set by the calculator edit.
    std::function<void()> OnCloseRequest;
    bool QuickClose() const { return FQuickClose; }
    void SetQuickClose(bool value) { FQuickClose = value; }

    bool HandleKeyPress(int key, Qt::KeyboardModifiers modifiers, const QString &text) override;

protected:
    bool FitsToSize() const override { return false; }

private:
    void RequestClose();

    bool FQuickClose = false;
};

} // namespace kestrum
