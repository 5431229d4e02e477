#include "app/AmountAxis.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

TAmountAxisTicks NiceAmountTicks(double low, double high, int mostTicks)
{
    mostTicks = std::max(mostTicks, 2);
    if (!std::isfinite(low) || !std::isfinite(high))
        return {};
    if (high < low)
        std::swap(low, high);
    const double span = high - low;
    // A step no finer than the span allows, then the next round ones upward
    // until the rounded range fits in the ticks; rounding the ends outward
    // can need one step more than span / step.
    // The labels are whole amounts, so a step is a whole number too.
    const double rough = std::max(span > 0 ? span / (mostTicks - 1) : std::abs(high), 1.0);
    double decade = std::pow(10.0, std::floor(std::log10(rough)));
    static constexpr double Mantissas[] = {1, 2, 2.5, 5};
    for (int attempt = 0; attempt < 8; ++attempt, decade *= 10) {
        for (const double mantissa : Mantissas) {
            const double step = mantissa * decade;
            if (step < rough || step != std::floor(step))
                continue;
            const double first = std::floor(low / step) * step;
            double last = std::ceil(high / step) * step;
            if (last <= first)
                last = first + step;
            const int count = int(std::lround((last - first) / step)) + 1;
            if (count <= mostTicks)
                return {first == 0 ? 0.0 : first, last, count};
        }
    }
    return {low, high, 2};
}

} // namespace kestrum
