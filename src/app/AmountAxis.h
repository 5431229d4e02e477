#pragma once
// The range and ticks of a chart's amount axis: every tick a round whole
// number (1, 2, 2.5 or 5 times a power of ten), so that the labels read 0,
// 50000, 100000 rather than a third of the range each.

namespace kestrum {

struct TAmountAxisTicks {
    double Low = 0;
    double High = 0;
    int Count = 2; //!< ticks from Low to High, both ends included
    bool operator==(const TAmountAxisTicks &) const = default;
};

//! The smallest round range holding [low, high] with at most `mostTicks`
//! ticks (at least 2). An empty or inverted range grows to one step.
TAmountAxisTicks NiceAmountTicks(double low, double high, int mostTicks);

} // namespace kestrum
