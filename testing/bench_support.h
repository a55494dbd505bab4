// Benchmark support: the sizes every benchmark runs at, four times apart so
// that the complexity fit tells linear from quadratic at a glance.
#pragma once

#include "testing/pathological.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace tagweave::testing {

inline constexpr std::int64_t bench_sizes[] = {64 << 10, 256 << 10, 1 << 20,
                                               4 << 20};

/// Runs `bench` at every size and fits its complexity.
inline void with_sizes(benchmark::internal::Benchmark* bench) {
  for (std::int64_t size : bench_sizes) bench->Arg(size);
  bench->Complexity()->Unit(benchmark::kMillisecond);
}

/// Records the bytes each iteration processed, for MB/s and the fit.
inline void report_bytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
  state.SetComplexityN(static_cast<std::int64_t>(bytes));
}

}  // namespace tagweave::testing
