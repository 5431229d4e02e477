#pragma once
// Paints a page control: background, tabs from the last back to the first
// shown, the selected tab on top, then the card with its frame and shadow.
class QPainter;

namespace kestrum {

class TPqPageControl;

class TPqTabPainter {
public:
    static void Paint(TPqPageControl &control, QPainter &painter);
};

} // namespace kestrum
