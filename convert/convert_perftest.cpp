// Throughput of whole conversions, reading and writing, on the pathological
// shapes and on an ordinary mixed page for the baseline.
#include "convert/convert.h"

#include "testing/bench_support.h"
#include "testing/pathological.h"

#include <benchmark/benchmark.h>

#include <string>

namespace tagweave {
namespace {

using testing::report_bytes;
using testing::with_sizes;

void convert_text(benchmark::State& state, const std::string& text) {
  document_options options;
  for (auto _ : state) {
    byte_sink sink;
    conversion_status status = convert_document(text, sink, options);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(sink.contents().data());
  }
  report_bytes(state, text.size());
}

void convert_shape(benchmark::State& state,
                   const testing::pathological_shape* shape) {
  auto bytes = static_cast<std::size_t>(state.range(0));
  convert_text(state, shape->make(testing::count_for_size(*shape, bytes)));
}

void BM_convert_mixed_page(benchmark::State& state) {
  convert_text(
      state, testing::mixed_page_of(static_cast<std::size_t>(state.range(0))));
}

BENCHMARK(BM_convert_mixed_page)->Apply(with_sizes);

bool register_shapes() {
  for (const testing::pathological_shape& shape :
       testing::all_pathological_shapes()) {
    with_sizes(benchmark::RegisterBenchmark(
        ("convert/" + std::string(shape.name)).c_str(), convert_shape, &shape));
  }
  return true;
}

const bool shapes_registered = register_shapes();

}  // namespace
}  // namespace tagweave
