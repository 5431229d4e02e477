#pragma once
// The ledger files the benchmarks run on. Each is generated from a seed and a
// size the first time a benchmark asks for it and kept in a cache folder under
// the build folder (KESTRUM_BENCH_CACHE names another), so a benchmark runs on
// any machine and a second run starts at once. The same seed and size give
// the same rows on every machine.
//
// Sizes are entries in all, half income and half expense: 1k and 1M always,
// 10M (which takes minutes to generate and a few GB of disk) only when the
// environment holds KESTRUM_BENCH_10M=1.
// KESTRUM_LEDGER_1M may name an existing ledger to copy instead of the
// generated one for MakeBenchLedger, which is never written.
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace kestrum::bench {

//! The seed every benchmark uses unless it needs other rows.
constexpr unsigned DefaultSeed = 0;

//! The path of the cached ledger with `incomeRows` and `expenseRows` entries
//! made from `seed`, generated (under a temporary name, renamed when
//! complete) when it is not there yet. The file is shared: read it, or copy
//! it before writing. It holds the ledger's tables and date indexes; the
//! journal and trash are left to the program, as in a ledger written by an
//! older version. Raises std::runtime_error when it cannot be made.
QString CachedBenchLedger(std::int64_t incomeRows, std::int64_t expenseRows, unsigned seed = DefaultSeed);

//! Puts a ledger at `path` (a file that does not exist yet): a copy of the
//! file KESTRUM_LEDGER_1M names, or of the cached generated one.
void MakeBenchLedger(const QString &path, int incomeRows = 1000000, int expenseRows = 1000000);

//! The standard sizes in entries: 1000 and 1000000, and 10000000 when
//! enabled (see above).
std::vector<std::int64_t> BenchSizes();

//! Google Benchmark's Apply() for a benchmark of every standard size: one
//! argument, the size.
void StandardSizes(benchmark::internal::Benchmark *benchmark);

} // namespace kestrum::bench
