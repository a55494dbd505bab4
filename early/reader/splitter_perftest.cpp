// Throughput of reading alone, on the pathological shapes and on an ordinary
// mixed page for the baseline.
#include "early/reader/splitter.h"

#include "testing/bench_support.h"
#include "testing/pathological.h"

#include <benchmark/benchmark.h>

#include <string>

namespace tagweave {
namespace {

using testing::report_bytes;
using testing::with_sizes;

void split_shape(benchmark::State& state,
                 const testing::pathological_shape* shape) {
  auto bytes = static_cast<std::size_t>(state.range(0));
  std::string text = shape->make(testing::count_for_size(*shape, bytes));
  for (auto _ : state) {
    split_result split = split_document(text);
    benchmark::DoNotOptimize(split);
  }
  report_bytes(state, text.size());
}

void BM_split_mixed_page(benchmark::State& state) {
  std::string page =
      testing::mixed_page_of(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    split_result split = split_document(page);
    benchmark::DoNotOptimize(split);
  }
  report_bytes(state, page.size());
}

BENCHMARK(BM_split_mixed_page)->Apply(with_sizes);

bool register_shapes() {
  for (const testing::pathological_shape& shape :
       testing::all_pathological_shapes()) {
    with_sizes(benchmark::RegisterBenchmark(
        ("split/" + std::string(shape.name)).c_str(), split_shape, &shape));
  }
  return true;
}

const bool shapes_registered = register_shapes();

}  // namespace
}  // namespace tagweave
