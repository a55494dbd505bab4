// The whole --html5 conversion (decoding, parsing, writing LaTeX2e) on the
// machine's real pages: throughput, and peak heap per byte of input.
#include "html5/convert/document.h"
#include "testing/bench_support.h"
#include "testing/heap_meter.h"
#include "testing/hostile_html.h"
#include "testing/real_pages.h"

#include <benchmark/benchmark.h>

namespace tagweave {
namespace {

document_options html5_options() {
  document_options options;
  options.mode = reading_mode::html5;
  return options;
}

/// Output goes nowhere: the sink's buffer is drained by a function that
/// drops it, as a descriptor sink would hand it to write(2).
void BM_convert_html5_real_pages(benchmark::State& state) {
  const auto& pages = testing::real_html_pages();
  if (pages.empty()) state.SkipWithError("no HTML under /usr/share/doc");
  document_options options = html5_options();
  for (auto _ : state) {
    for (const std::string& page : pages) {
      byte_sink out([](std::string_view piece) {
        benchmark::DoNotOptimize(piece.data());
      });
      convert_html5_document(page, out, options);
      out.flush();
    }
  }
  testing::report_bytes(state, testing::total_size(pages));
}
// A second of iterations whatever bench/run's minimum: one iteration of
// about 0.2 s is too few for a figure held to a bar.
BENCHMARK(BM_convert_html5_real_pages)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

/// Peak heap, per byte of input, converting the real pages as one
/// document, from its bytes as loaded. bench/run prints it; the bar is 4.
void BM_convert_html5_memory(benchmark::State& state) {
  const auto& pages = testing::real_html_pages();
  if (pages.empty()) state.SkipWithError("no HTML under /usr/share/doc");
  std::size_t size = testing::total_size(pages);
  document_options options = html5_options();
  double peak_per_byte = 0;
  for (auto _ : state) {
    testing::heap_meter meter;
    std::string bytes;
    bytes.reserve(size);
    for (const std::string& page : pages) bytes += page;
    byte_sink out(
        [](std::string_view piece) { benchmark::DoNotOptimize(piece.data()); });
    convert_html5_document(std::move(bytes), out, options);
    out.flush();
    peak_per_byte =
        static_cast<double>(meter.peak()) / static_cast<double>(size);
  }
  state.counters["peak_per_input_byte"] = peak_per_byte;
}
BENCHMARK(BM_convert_html5_memory)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

/// A hostile shape through the whole conversion, LaTeX written to a sink
/// that drops it; bench/run prints the 16 MiB / 1 MiB time ratio.
void convert_shape(benchmark::State& state,
                   const testing::hostile_shape* shape) {
  std::string text = shape->text(static_cast<std::size_t>(state.range(0)));
  document_options options = html5_options();
  for (auto _ : state) {
    byte_sink out(
        [](std::string_view piece) { benchmark::DoNotOptimize(piece.data()); });
    convert_html5_document(text, out, options);
    out.flush();
    state.PauseTiming();
    testing::return_free_memory();
    state.ResumeTiming();
  }
  testing::report_bytes(state, text.size());
}

/// Peak heap, per byte of input, converting a hostile shape of the given
/// size from its bytes as loaded (copied inside the meter, one buffer of
/// their size). bench/run prints it; the bar is 8.
void convert_shape_memory(benchmark::State& state,
                          const testing::hostile_shape* shape) {
  std::string text = shape->text(static_cast<std::size_t>(state.range(0)));
  document_options options = html5_options();
  double peak_per_byte = 0;
  for (auto _ : state) {
    testing::heap_meter meter;
    byte_sink out(
        [](std::string_view piece) { benchmark::DoNotOptimize(piece.data()); });
    convert_html5_document(std::string(text), out, options);
    out.flush();
    peak_per_byte =
        static_cast<double>(meter.peak()) / static_cast<double>(text.size());
  }
  state.counters["peak_per_input_byte"] = peak_per_byte;
}

bool register_shapes() {
  for (const testing::hostile_shape& shape : testing::hostile_shapes()) {
    benchmark::RegisterBenchmark(
        ("html5_convert/" + std::string(shape.name)).c_str(), convert_shape,
        &shape)
        ->Arg(1 << 20)
        ->Arg(16 << 20)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        ("html5_convert_memory/" + std::string(shape.name)).c_str(),
        convert_shape_memory, &shape)
        ->Arg(16 << 20)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}

const bool shapes_registered = register_shapes();

}  // namespace
}  // namespace tagweave
