#pragma once
// Scrolling of the table view: the top row and the horizontal offset, kept
// in range by the layout; scroll bar codes, the wheel (whole notches, the
// rest of a fine touchpad delta carried to the next message) and bringing a
// row into view. Scrolling vertically lays out only the rows again.
#include <QPoint>

#include <cstdint>

namespace kestrum {

class TkvGridEditingController;
class TkvGridTableView;
struct TkvGridShiftState;
enum class TkvGridScrollCode : std::uint8_t;

class TkvGridScrollController {
public:
    TkvGridScrollController(TkvGridTableView &view, TkvGridEditingController &editing)
        : FGridView(view), FEditingController(editing)
    {
    }
    TkvGridScrollController(const TkvGridScrollController &) = delete;
    TkvGridScrollController &operator=(const TkvGridScrollController &) = delete;

    int TopRowIndex() const { return FTopRowIndex; }
    void SetTopRowIndex(int rowIndex);
    int LeftPos() const { return FLeftPos; }
    void SetLeftPos(int leftPos);
    //! Scrolls as little as possible to show a row completely.
    void MakeRowVisible(int rowIndex);
    //! Keeps the top row valid after the rows changed.
    void CheckTopRowIndex();
    void ScrollHorizontally(int delta);

    //! One wheel message: positive steps scroll up, negative down, lines rows per step.
    void MouseWheel(int steps, int linesPerStep);
    //! One wheel message in eighths of a degree per axis; see TkvGridTableController.
    bool MouseWheelDelta(const QPoint &angleDelta, const QPoint &point, TkvGridShiftState shift,
                         int linesPerStep);
    bool VerticalScrollBarShown() const;
    bool HorizontalScrollBarShown() const;
    void Scroll(bool vertical, TkvGridScrollCode code, int position);

private:
    TkvGridTableView &FGridView;
    TkvGridEditingController &FEditingController;
    int FTopRowIndex = 0;
    int FLeftPos = 0;
    // Wheel deltas short of a notch, per axis, carried to the next wheel message.
    int FWheelRestX = 0;
    int FWheelRestY = 0;
};

} // namespace kestrum
