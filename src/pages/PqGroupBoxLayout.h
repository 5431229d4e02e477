#pragma once
// Geometry of a captioned group box: where the caption sits, where the frame
// runs and which rectangle is left for the controls inside.
#include "pages/PqTypes.h"

#include <QRect>
#include <QSize>

namespace kestrum {

struct TPqGroupBoxGeometry {
    QRect CaptionRect; //!< null for an empty caption, so the frame runs unbroken
    QRect FrameRect;
    QRect ClientRect;
};

//! bounds: the box's rectangle; captionSize: the caption's text size; textHeight: the
//! height of "Yy" in the box's font.
TPqGroupBoxGeometry PqGroupBoxLayout(const QRect &bounds, TPqGroupStyle style, TPqCaptionAlignment alignment,
                                     QSize captionSize, int textHeight, int borderWidth, bool rightToLeft);

} // namespace kestrum
