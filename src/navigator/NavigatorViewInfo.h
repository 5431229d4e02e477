#pragma once
// Layout and mouse/keyboard state of the navigator bar, free of painting:
// where each visible button stands, which one is hot, pressed or focused,
// and which button an input should click.
#include "navigator/NavigatorButtons.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

namespace kestrum {

//! Size of the built-in glyphs.
inline constexpr int kvNavigatorGlyphWidth = 12;
inline constexpr int kvNavigatorGlyphHeight = 11;

//! Interval of the first repeat tick while Prior or Next is held, then of the rest.
inline constexpr int kvNavigatorRepeatDelay = 400;
inline constexpr int kvNavigatorRepeatInterval = 100;
//! Rest of the mouse before a hint shows.
inline constexpr int kvNavigatorHintDelay = 500;

struct TkvNavigatorButtonViewInfo {
    int Index = -1; //!< button index (0 .. 14)
    QRect Bounds;
    QSize NaturalSize;
};

class TkvNavigatorViewInfo {
public:
    explicit TkvNavigatorViewInfo(TkvCustomNavigatorButtons &buttons) : FButtons(buttons) {}

    //! The look-and-feel's button border on each side.
    int ButtonBorder() const { return FButtonBorder; }
    void SetButtonBorder(int value) { FButtonBorder = value; }

    //! Natural size of one button: its image (the image list's size, or the
    //! built-in glyph's) plus the border on each side, plus 1 each way.
    QSize NaturalButtonSize(int index) const;
    //! Lays the visible buttons out in a bar of the requested size and
    //! answers the bar's size: at least the natural sum and the tallest
    //! button; a surplus is shared evenly and its remainder cut off.
    QSize Calculate(const QSize &requested);

    const std::vector<TkvNavigatorButtonViewInfo> &ButtonInfos() const { return FInfos; }
    QSize BarSize() const { return FBarSize; }
    //! Button index under a point, -1 when none.
    int ButtonAt(const QPoint &point) const;
    QRect ButtonBounds(int index) const;
    //! "1,2,3 | 17x16 ..." form of the layout: "index:x+width" per button.
    QString LayoutText() const;

    int HotIndex() const { return FHotIndex; }
    int PressedIndex() const { return FPressedIndex; }
    int FocusedIndex() const { return FFocusedIndex; }

    //! Left button down: an enabled button becomes pressed and focused.
    //! Answers whether the repeat timer starts.
    bool MouseDown(const QPoint &point);
    //! Hot-tracking; answers whether the hot button changed.
    bool MouseMove(const QPoint &point);
    void MouseLeave();
    //! Left button up: answers the button to click (the pressed one), or -1.
    int MouseUp(const QPoint &point);
    //! A repeat tick: Prior and Next click again while pressed, hot and enabled.
    int RepeatTick() const;
    //! Left and Right move the focused button among the visible ones; Space
    //! answers the focused button when it is enabled. Answers the button to
    //! click, or -1.
    int KeyDown(int key);

    //! Keeps the hot, pressed and focused buttons on visible buttons.
    void Validate();

private:
    int VisibleOrder(int index) const;

    TkvCustomNavigatorButtons &FButtons;
    int FButtonBorder = 2;
    std::vector<TkvNavigatorButtonViewInfo> FInfos;
    QSize FBarSize;
    int FHotIndex = -1;
    int FPressedIndex = -1;
    int FFocusedIndex = -1;
};

} // namespace kestrum
