// Throughput of the value comparison and LIKE matching that sorting and
// filtering run over every row.
#include "core/Codepage.h"
#include "core/RegionalSettings.h"
#include "core/LikeMatch.h"
#include "core/VariantCompare.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace kestrum;

namespace {

constexpr int ValueCount = 1000000;

std::vector<Variant> makeValues(int kind)
{
    std::mt19937 random(42);
    std::vector<Variant> values;
    values.reserve(ValueCount);
    const char *items[] = {"工资", "奖金", "房租", "水电费", "餐饮",
                           "交通", "医疗", "教育", "娱乐",   "其他收入"};
    for (int i = 0; i < ValueCount; ++i) {
        switch (kind) {
        case 0:
            values.emplace_back(static_cast<int>(random() % 100000));
            break;
        case 1:
            values.emplace_back(static_cast<double>(random() % 1000000) / 100.0);
            break;
        case 2:
            values.push_back(
                Variant::fromUtf8(std::string(items[random() % 10]) + std::to_string(random() % 1000)));
            break;
        case 3: // mixed kinds with Nulls, as a filter value meets a column
            if (random() % 10 == 0)
                values.push_back(Variant::null());
            else if (random() % 2 == 0)
                values.emplace_back(static_cast<int>(random() % 1000));
            else
                values.emplace_back(static_cast<double>(random() % 100000) / 100.0);
            break;
        default:
            values.emplace_back(QString::fromUtf8(items[random() % 10]) + QString::number(random() % 1000));
            break;
        }
    }
    return values;
}

void BM_CompareVariants(benchmark::State &state)
{
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    const std::vector<Variant> values = makeValues(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        long sum = 0;
        for (int i = 1; i < ValueCount; ++i)
            sum +=
                CompareVariants(values[static_cast<std::size_t>(i - 1)], values[static_cast<std::size_t>(i)]);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (ValueCount - 1));
}
BENCHMARK(BM_CompareVariants)
    ->ArgName("int_real_narrow_mixed_wide")
    ->DenseRange(0, 4)
    ->Unit(benchmark::kMillisecond);

void BM_MatchLike(benchmark::State &state)
{
    const std::vector<Variant> values = makeValues(2);
    const char *patterns[] = {"%资%", "工_%", "水电费1%", "%9"};
    const NarrowString pattern = utf8ToNarrow(patterns[state.range(0)]);
    for (auto _ : state) {
        int matches = 0;
        for (const Variant &value : values)
            matches += MatchLike(value.rawNarrow(), pattern) ? 1 : 0;
        benchmark::DoNotOptimize(matches);
    }
    state.SetItemsProcessed(state.iterations() * ValueCount);
}
BENCHMARK(BM_MatchLike)->ArgName("pattern")->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
