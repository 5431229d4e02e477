#pragma once
// Geometry of the tab row: tab sizes, positions in a single scrolling row, the
// scroller, the page area, the tab shapes and hit testing. Plain code over
// sizes so that tests reach it without a display.
#include "pages/PqTypes.h"

#include <QPolygon>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

namespace kestrum {

//! The control's settings that decide the tab geometry.
struct TPqTabMetrics {
    TPqTabStyle TabStyle = tsSingleSlant;
    TPqTabOrientation TabOrientation = toTop;
    TPqTabSequence TabSequence = tsStandard;
    int TabHeight = 0; //!< fixed outer height when above 0
    int TabWidth = 0;  //!< fixed outer width when above 0
    int Margin = 0;
    TPqImagePosition ImagePosition = ipLeft;
    int ImageMargin = 2;
    QSize ImageSize; //!< the image list's size; empty without an image list
    int CutCornerSize = 6;
    bool BoldCurrentTab = false;
    bool ShowCloseButton = false;
    int CloseButtonSize = 16;
    int ScrollerButtonSize = 16;
    bool ShowCardFrame = true;
    bool ShowFullFrame = true;
    bool ShowShadow = true;
};

//! Measures a caption (accelerator markers already interpreted) in the control's
//! font, bold or not; also measures "A" for the minimum content size.
using TPqTextMeasure = std::function<QSize(const QString &caption, bool bold)>;

struct TPqTabGeometryInput {
    QString Caption;
    bool HasImage = false;
};

struct TPqTabRowLayout {
    std::vector<QRect> TabRects; //!< per tab; a null rect for tabs scrolled out before the first shown
    int FixedDimension = 0;      //!< height of the tab row
    int FirstShown = 0;
    int LastShown = -1; //!< last tab that lies wholly inside the row
    bool ScrollerVisible = false;
    QRect ScrollerRect; //!< two arrow buttons side by side, left arrow first
};

//! Content size of one tab: caption and image combined by ImagePosition.
QSize PqTabContentSize(const TPqTabMetrics &metrics, const TPqTabGeometryInput &tab,
                       const TPqTextMeasure &measure);
//! Outer size of a top or bottom tab with the given content size.
QSize PqTabOuterSize(const TPqTabMetrics &metrics, QSize content);
//! Height of the tab row: the largest outer height of the tabs.
int PqFixedDimension(const TPqTabMetrics &metrics, const std::vector<TPqTabGeometryInput> &tabs,
                     const TPqTextMeasure &measure);
//! Lays the tabs out in one row starting with tab `firstShown`.
TPqTabRowLayout PqLayoutTabRow(const TPqTabMetrics &metrics, const std::vector<TPqTabGeometryInput> &tabs,
                               const TPqTextMeasure &measure, QSize controlSize, int firstShown);
//! How far a tab overlaps its neighbour's start: the next tab starts at
//! left + width - slant + 1.
int PqTabSlant(TPqTabStyle style, int fixedDimension);

//! The rectangle below (or above) the tab row where the cards are drawn.
QRect PqCardRect(const TPqTabMetrics &metrics, QSize controlSize, int fixedDimension);
//! Where the sheets go: inside the card frame, leaving the shadow free.
QRect PqPageArea(const TPqTabMetrics &metrics, QSize controlSize, int fixedDimension);

//! Outline points of a tab; the last segment runs back along the card's edge.
//! The rectangle's right and bottom are taken as left + width and top + height.
//! Round-corner tabs grow by 2 pixels to the left, right and outwards when selected.
QPolygon PqTabShape(TPqTabStyle style, TPqTabOrientation orientation, const QRect &tabRect, bool selected,
                    int cutCornerSize);
//! Raises "Incorrect number of points in tab shape" when a shape does not have the
//! number of points its style calls for (a guard for the drawing code).
void PqCheckTabShape(TPqTabStyle style, const QPolygon &shape);

//! The tab under `point`: the selected tab first (it is drawn on top), then every
//! tab from the first shown onwards, wrapping around; -1 when none.
int PqTabAt(const TPqTabMetrics &metrics, const TPqTabRowLayout &layout, int selectedTab, QPoint point);

} // namespace kestrum
