#include "editors/CalculatorLayout.h"

#include "core/RegionalSettings.h"

#include <cmath>

namespace kestrum {

namespace {

int RoundDiv(int numerator, int denominator)
{
    return int(std::lround(double(numerator) / denominator));
}

const QColor kvMaroon(128, 0, 0);
const QColor kvRed(255, 0, 0);
const QColor kvBlue(0, 0, 255);
const QColor kvNavy(0, 0, 128);

} // namespace

TkvCalculatorMetrics TkvCalculatorLayout::MetricsFor(int keyHeight)
{
    TkvCalculatorMetrics metrics;
    metrics.KeyHeight = keyHeight;
    metrics.KeyWidth = RoundDiv(keyHeight * 28, 22);
    metrics.Gap = RoundDiv(keyHeight * 3, 22);
    // Truncated, not rounded: the base metrics have 47 for 28 × 1.7.
    metrics.WideKeyWidth = metrics.KeyWidth * 17 / 10;
    metrics.FontHeight = RoundDiv(keyHeight * 8, 22);
    metrics.Size = QSize(6 * metrics.KeyWidth + 8 * metrics.Gap + 4, 5 * keyHeight + 6 * metrics.Gap);
    return metrics;
}

int TkvCalculatorLayout::FitKeyHeight(QSize available)
{
    int height = available.height();
    int scaledWidth = RoundDiv(available.width() * 131, 198);
    if (scaledWidth < height)
        height = scaledWidth;
    int best = 22;
    for (int keyHeight = 22; keyHeight < 1000; ++keyHeight) {
        if (MetricsFor(keyHeight).Size.height() > height)
            break;
        best = keyHeight;
    }
    return best;
}

void TkvCalculatorLayout::Build(int keyHeight)
{
    FMetrics = MetricsFor(keyHeight);
    const int h = FMetrics.KeyHeight, w = FMetrics.KeyWidth, g = FMetrics.Gap;
    const QString separator(regionalSettings().decimalSeparator);
    const struct {
        TkvCalcButton Index;
        QString Caption;
        QColor Color;
    } table[kvCalcButtonCount] = {
        {cbBack, "Back", kvMaroon},
        {cbCancelEntry, "CE", kvMaroon},
        {cbClear, "C", kvMaroon},
        {cbMC, "MC", kvRed},
        {cbMR, "MR", kvRed},
        {cbMS, "MS", kvRed},
        {cbMP, "M+", kvRed},
        {cbNum0, "0", kvBlue},
        {cbNum1, "1", kvBlue},
        {cbNum2, "2", kvBlue},
        {cbNum3, "3", kvBlue},
        {cbNum4, "4", kvBlue},
        {cbNum5, "5", kvBlue},
        {cbNum6, "6", kvBlue},
        {cbNum7, "7", kvBlue},
        {cbNum8, "8", kvBlue},
        {cbNum9, "9", kvBlue},
        {cbSign, "+/-", kvBlue},
        {cbDecimal, separator, kvBlue},
        {cbDiv, "/", kvRed},
        {cbMul, "*", kvRed},
        {cbSub, "-", kvRed},
        {cbAdd, "+", kvRed},
        {cbSqrt, "sqrt", kvNavy},
        {cbPercent, "%", kvNavy},
        {cbRev, "1/x", kvNavy},
        {cbEqual, "=", kvRed},
    };
    for (const auto &entry : table)
        FButtons[std::size_t(entry.Index)] =
            TkvCalcButtonInfo{entry.Index, entry.Caption, entry.Color, QRect()};

    auto rowTop = [&](int row) { return g + row * (h + g); };
    // The memory column stands apart: the key block starts after a wider gap.
    const int blockLeft = w + 2 * g + 4 + g;
    auto columnLeft = [&](int column) { return blockLeft + column * (w + g); };
    const int blockRight = columnLeft(4) + w;
    const TkvCalcButton wide[3] = {cbBack, cbCancelEntry, cbClear};
    for (int i = 0; i < 3; ++i) {
        int right = blockRight - (2 - i) * (FMetrics.WideKeyWidth + g);
        FButtons[std::size_t(wide[i])].Rect =
            QRect(right - FMetrics.WideKeyWidth, rowTop(0), FMetrics.WideKeyWidth, h);
    }
    const TkvCalcButton grid[4][6] = {
        {cbMC, cbNum7, cbNum8, cbNum9, cbDiv, cbSqrt},
        {cbMR, cbNum4, cbNum5, cbNum6, cbMul, cbPercent},
        {cbMS, cbNum1, cbNum2, cbNum3, cbSub, cbRev},
        {cbMP, cbNum0, cbSign, cbDecimal, cbAdd, cbEqual},
    };
    for (int row = 0; row < 4; ++row) {
        FButtons[std::size_t(grid[row][0])].Rect = QRect(g, rowTop(row + 1), w, h);
        for (int column = 0; column < 5; ++column)
            FButtons[std::size_t(grid[row][column + 1])].Rect =
                QRect(columnLeft(column), rowTop(row + 1), w, h);
    }
}

TkvCalcButton TkvCalculatorLayout::ButtonAt(QPoint point) const
{
    for (const TkvCalcButtonInfo &button : FButtons)
        if (button.Rect.contains(point))
            return button.Index;
    return cbNone;
}

} // namespace kestrum
