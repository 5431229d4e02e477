#pragma once
// The look-and-feel painter: the sizes the layout needs (borders, expand
// button, footer cell offset, header glyphs) and the default colours of each
// element. One consistent flat scheme; the layout only asks for numbers.
#include "grid/GridStyles.h"

#include <QColor>
#include <QFont>
#include <QRect>

class QPainter;

namespace kestrum {

class TkvGridLookAndFeelPainter {
public:
    virtual ~TkvGridLookAndFeelPainter() = default;

    // Sizes the layout uses.
    virtual int ExpandButtonSize() const { return 11; }
    virtual int HeaderBorderWidth() const { return 1; }
    virtual int FooterBorderWidth() const { return 1; }
    virtual int FooterCellOffset() const { return 1; }
    virtual int FooterSeparatorWidth() const { return 1; }
    virtual int FilterButtonWidth() const { return 12; }
    virtual int SortMarkWidth() const { return 8; }

    // Default colours per element.
    virtual QColor ContentColor() const { return QColor(255, 255, 255); }
    virtual QColor ContentTextColor() const { return QColor(0, 0, 0); }
    virtual QColor HighlightColor() const { return QColor(49, 106, 197); }
    virtual QColor HighlightTextColor() const { return QColor(255, 255, 255); }
    virtual QColor InactiveColor() const { return QColor(212, 208, 200); }
    virtual QColor InactiveTextColor() const { return QColor(0, 0, 0); }
    virtual QColor HeaderColor() const { return QColor(236, 233, 216); }
    virtual QColor HeaderTextColor() const { return QColor(0, 0, 0); }
    virtual QColor FooterColor() const { return QColor(236, 233, 216); }
    virtual QColor FooterTextColor() const { return QColor(0, 0, 0); }
    virtual QColor GroupColor() const { return QColor(226, 226, 218); }
    virtual QColor GroupTextColor() const { return QColor(0, 0, 0); }
    virtual QColor GroupByBoxColor() const { return QColor(128, 128, 128); }
    virtual QColor GroupByBoxTextColor() const { return QColor(255, 255, 255); }
    virtual QColor FilterBoxColor() const { return QColor(128, 128, 128); }
    virtual QColor FilterBoxTextColor() const { return QColor(255, 255, 255); }
    virtual QColor GridLineColor() const { return QColor(192, 192, 192); }
    virtual QColor GrayTextColor() const { return QColor(128, 128, 128); }
    virtual QColor PreviewTextColor() const { return QColor(0, 0, 255); }
    virtual QColor BorderLightColor() const { return QColor(255, 255, 255); }
    virtual QColor BorderDarkColor() const { return QColor(128, 128, 128); }

    // Drawing of the framework's elements.
    virtual void DrawHeader(QPainter &painter, const QRect &bounds, const TkvGridViewParams &params,
                            bool pressed) const;
    virtual void DrawFooterCell(QPainter &painter, const QRect &bounds,
                                const TkvGridViewParams &params) const;
    virtual void DrawExpandButton(QPainter &painter, const QRect &bounds, bool expanded) const;
    virtual void DrawSortMark(QPainter &painter, const QRect &bounds, bool ascending) const;
    //! A small button with an arrow; a funnel in the highlight colour when its column is filtered.
    virtual void DrawFilterButton(QPainter &painter, const QRect &bounds, bool pressed, bool active) const;
    //! The filter box's close button (a cross), check box and push button.
    virtual void DrawCloseButton(QPainter &painter, const QRect &bounds, bool pressed) const;
    virtual void DrawCheckBox(QPainter &painter, const QRect &bounds, bool checked, bool pressed) const;
    virtual void DrawButton(QPainter &painter, const QRect &bounds, const QString &text, const QFont &font,
                            bool pressed) const;

    //! The shared default painter.
    static const TkvGridLookAndFeelPainter &Default();
};

} // namespace kestrum
