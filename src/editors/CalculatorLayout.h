#pragma once
// The calculator's key table and its geometry, computed from a key height.
#include "editors/CalculatorEngine.h"

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>

namespace kestrum {

struct TkvCalcButtonInfo {
    TkvCalcButton Index = cbNone;
    QString Caption;
    QColor Color;
    QRect Rect;
};

struct TkvCalculatorMetrics {
    int KeyHeight = 22;
    int KeyWidth = 28;
    int Gap = 3;
    int WideKeyWidth = 47;
    int FontHeight = 8; //!< text height of the caption font
    QSize Size{196, 128};
};

class TkvCalculatorLayout {
public:
    TkvCalculatorLayout() { Build(22); }
    //! Metrics and key rectangles for a key height.
    void Build(int keyHeight);
    //! The key height a standalone calculator of that size uses: the largest
    //! from 22 up whose height fits (22 when none does).
    static int FitKeyHeight(QSize available);
    static TkvCalculatorMetrics MetricsFor(int keyHeight);

    const TkvCalculatorMetrics &Metrics() const { return FMetrics; }
    const TkvCalcButtonInfo &Button(TkvCalcButton index) const { return FButtons[std::size_t(index)]; }
    //! The key under a point, cbNone when none.
    TkvCalcButton ButtonAt(QPoint point) const;

private:
    TkvCalculatorMetrics FMetrics;
    std::array<TkvCalcButtonInfo, kvCalcButtonCount> FButtons;
};

} // namespace kestrum
