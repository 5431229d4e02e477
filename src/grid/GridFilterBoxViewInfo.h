#pragma once
// The filter box below the footer: its height, the criteria's caption between
// the button groups, the close button and the activate check box at the left
// and the customize button at the right. Plain layout from plain inputs; the
// table view's layout feeds it and the painter draws what it computed.
#include "grid/GridTypes.h"

#include <QFont>
#include <QRect>
#include <QString>

#include <vector>

namespace kestrum {

//! A button of the filter box: close, the activate check box, customize.
struct TkvGridFilterBoxButtonViewInfo {
    TkvGridHitKind Kind = TkvGridHitKind::None;
    QRect Bounds;
    QString Text;         //!< the customize button's caption
    bool Checked = false; //!< the check box: the filter is active
    TkvGridCellState State = TkvGridCellState::Normal;
};

//! What the filter box shows: the criteria's state and the view's choices.
struct TkvGridFilterBoxContent {
    QFont Font;
    QString Caption;                               //!< the criteria's caption, empty when it has none
    bool FilterActive = false;                     //!< the check box's state
    bool CustomizeButton = false;                  //!< the view offers the customize dialog
    TkvGridHitKind Pressed = TkvGridHitKind::None; //!< the button held down, if any
};

class TkvGridFilterBoxViewInfo {
public:
    //! The box's height for a font, 0 when it is not shown.
    static int Height(bool shown, const QFont &font, bool customizeButton);

    //! Lays the box out in its bounds.
    void Calculate(const QRect &bounds, const TkvGridFilterBoxContent &content);
    //! The box is not shown: no text, no buttons.
    void Clear();

    const QString &Text() const { return FText; }
    const QRect &TextBounds() const { return FTextBounds; }
    const std::vector<TkvGridFilterBoxButtonViewInfo> &Buttons() const { return FButtons; }
    //! The button under a point, or None.
    TkvGridHitKind ButtonAt(const QPoint &point) const;

private:
    QString FText;
    QRect FTextBounds;
    std::vector<TkvGridFilterBoxButtonViewInfo> FButtons;
};

//! The customize button's caption.
QString FilterBoxCustomizeCaption();
//! The filter box text while the criteria has no caption.
QString FilterBoxEmptyText();

} // namespace kestrum
