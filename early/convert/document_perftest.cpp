// Throughput of whole conversions, reading and writing, on the pathological
// shapes and on an ordinary mixed page for the baseline.
#include "early/convert/document.h"

#include "testing/bench_support.h"
#include "testing/hostile_html.h"
#include "testing/pathological.h"

#include <benchmark/benchmark.h>

#include <string>

namespace tagweave {
namespace {

using testing::report_bytes;
using testing::with_sizes;

/// Converts `text` as the command does, in place on a copy of it made
/// with the timer paused, the LaTeX written to a sink that drops it: what
/// is timed is the conversion, not growing a string of the output, whose
/// copies and first-touched pages made 16 MiB look slower per byte than
/// 1 MiB. Freed memory is handed back between iterations, so each starts
/// as a new process would (see return_free_memory).
void convert_text(benchmark::State& state, const std::string& text) {
  document_options options;
  std::string working;
  for (auto _ : state) {
    state.PauseTiming();
    working = text;
    testing::return_free_memory();
    state.ResumeTiming();
    byte_sink sink(
        [](std::string_view piece) { benchmark::DoNotOptimize(piece.data()); });
    conversion_status status =
        convert_document_in_place(working, sink, options);
    sink.flush();
    benchmark::DoNotOptimize(status);
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
    // 16 MiB too: bench/run prints each shape's 16 MiB / 1 MiB time ratio,
    // about 16 when linear.
    auto* bench = benchmark::RegisterBenchmark(
        ("convert/" + std::string(shape.name)).c_str(), convert_shape, &shape);
    with_sizes(bench);
    bench->Arg(16 << 20);
  }
  return true;
}

const bool shapes_registered = register_shapes();

}  // namespace
}  // namespace tagweave
