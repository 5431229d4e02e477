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

//! How a group box's frame is drawn.
enum class TPqGroupFrame {
    Themed,         //!< the platform theme's group box, caption included
    FlatCutCorners, //!< one flat line with each corner cut by a pixel
    Flat,           //!< one flat line
    FlatBold,       //!< two flat lines
    Groove,         //!< sunken outer edge, raised inner edge
    Bump,           //!< raised outer edge, sunken inner edge
    Lowered,        //!< one sunken edge
    Raised,         //!< one raised edge
    TopLine,        //!< a line along the top only
    TopLineBold,    //!< two lines along the top only
    None,           //!< no frame
};

//! themed: ThemeAware is on and the platform draws themed controls; it wins
//! over every style. A standard box is grooved unless BorderOuter names
//! another border.
TPqGroupFrame PqGroupBoxFrame(TPqGroupStyle style, TPqFrameStyle borderOuter, bool themed);

} // namespace kestrum
