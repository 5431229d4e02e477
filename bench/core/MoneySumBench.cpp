// The exact money total against a plain loop of double additions (the
// floor, which misses the cent on large ledgers) and a compensated sum.
#include "core/MoneySum.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

using namespace kestrum;

namespace {

constexpr int AmountCount = 10000000;

//! Ledger-like amounts: two decimals, up to 10000, a few sub-cent ones.
const std::vector<double> &amounts()
{
    static const std::vector<double> values = [] {
        std::mt19937 random(20261210);
        std::vector<double> result;
        result.reserve(AmountCount);
        for (int i = 0; i < AmountCount; ++i)
            result.push_back(i % 100 == 0 ? double(random() % 100000000) / 10000.0
                                          : double(random() % 1000000) / 100.0);
        return result;
    }();
    return values;
}

void MoneySum_Baseline(benchmark::State &state)
{
    const std::vector<double> &values = amounts();
    for (auto _ : state) {
        double sum = 0;
        for (double value : values)
            sum += value;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * AmountCount);
}
BENCHMARK(MoneySum_Baseline)->Unit(benchmark::kMillisecond);

void NeumaierLoop(benchmark::State &state)
{
    const std::vector<double> &values = amounts();
    for (auto _ : state) {
        double sum = 0, compensation = 0;
        for (double value : values) {
            const double next = sum + value;
            compensation += std::fabs(sum) >= std::fabs(value) ? (sum - next) + value : (value - next) + sum;
            sum = next;
        }
        benchmark::DoNotOptimize(sum + compensation);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * AmountCount);
}
BENCHMARK(NeumaierLoop)->Unit(benchmark::kMillisecond);

void MoneySum(benchmark::State &state)
{
    const std::vector<double> &values = amounts();
    for (auto _ : state) {
        TMoneySum sum;
        for (double value : values)
            sum.Add(value);
        benchmark::DoNotOptimize(sum.Value());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * AmountCount);
}
BENCHMARK(MoneySum)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
