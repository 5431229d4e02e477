#pragma once
// What the benchmarks of the program's pages share: pages that stay open
// from one benchmark to the next, one per size, and a main that closes them
// while the application object still lives (widgets die before it).
#include "core/RegionalSettings.h"

#include <QApplication>
#include <QByteArray>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>

namespace kestrum::bench {

//! One open page (or ledger) per size, made when first asked for.
template <typename Page> class TOpenPages {
public:
    template <typename... Args> Page &Get(std::int64_t size, Args &&...args)
    {
        auto &slot = FOpen[size];
        if (!slot)
            slot = std::make_unique<Page>(std::forward<Args>(args)...);
        return *slot;
    }
    void CloseAll() { FOpen.clear(); }

private:
    std::map<std::int64_t, std::unique_ptr<Page>> FOpen;
};

//! Runs the benchmarks offscreen with the zh-CN regional settings, then
//! closes the pages while the application object still lives.
template <typename Page> int RunPageBenchmarks(int argc, char **argv, TOpenPages<Page> &pages)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setRegionalSettings(RegionalSettings::simplifiedChinese());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    pages.CloseAll();
    return 0;
}

} // namespace kestrum::bench
