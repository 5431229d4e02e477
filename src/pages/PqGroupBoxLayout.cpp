#include "pages/PqGroupBoxLayout.h"

namespace kestrum {

TPqGroupBoxGeometry PqGroupBoxLayout(const QRect &bounds, TPqGroupStyle style, TPqCaptionAlignment alignment,
                                     QSize captionSize, int textHeight, int borderWidth, bool rightToLeft)
{
    TPqGroupBoxGeometry geometry;
    if (!captionSize.isEmpty()) {
        const int indent = style == gsTopLine ? 0 : 8;
        int x = bounds.left() + indent;
        if (alignment == TPqCaptionAlignment::taRightJustify)
            x = bounds.right() + 1 - indent - captionSize.width();
        else if (alignment == TPqCaptionAlignment::taCenter)
            x = bounds.left() + (bounds.width() - captionSize.width()) / 2;
        if (rightToLeft)
            x = bounds.left() + bounds.right() + 1 - x - captionSize.width();
        geometry.CaptionRect = QRect(QPoint(x, bounds.top()), captionSize);
    }
    geometry.FrameRect = bounds.adjusted(0, textHeight / 2, 0, 0);

    QRect client = bounds.adjusted(borderWidth, borderWidth, -borderWidth, -borderWidth);
    switch (style) {
    case gsCustom:
        client.setTop(client.top() + textHeight);
        client.adjust(2, 2, -2, -2);
        break;
    case gsStandard:
    case gsFlat:
    case gsTopLine: {
        // A wide border already clears the caption's lower half.
        const int drop = textHeight < borderWidth ? textHeight / 2 : textHeight;
        client.setTop(client.top() + drop);
        const int inset = style == gsStandard ? 2 : 1;
        client.adjust(inset, inset, -inset, -inset);
        break;
    }
    }
    geometry.ClientRect = client;
    return geometry;
}

TPqGroupFrame PqGroupBoxFrame(TPqGroupStyle style, TPqFrameStyle borderOuter, bool themed)
{
    if (themed)
        return TPqGroupFrame::Themed;
    switch (style) {
    case gsFlat:
        return TPqGroupFrame::FlatCutCorners;
    case gsStandard:
        switch (borderOuter) {
        case fsNone:
        case fsGroove:
            return TPqGroupFrame::Groove;
        case fsFlat:
            return TPqGroupFrame::Flat;
        case fsFlatBold:
            return TPqGroupFrame::FlatBold;
        case fsLowered:
            return TPqGroupFrame::Lowered;
        case fsRaised:
            return TPqGroupFrame::Raised;
        case fsBump:
            return TPqGroupFrame::Bump;
        }
        return TPqGroupFrame::Groove;
    case gsTopLine:
        return borderOuter == fsFlatBold ? TPqGroupFrame::TopLineBold : TPqGroupFrame::TopLine;
    case gsCustom:
        return TPqGroupFrame::None;
    }
    return TPqGroupFrame::None;
}

} // namespace kestrum
