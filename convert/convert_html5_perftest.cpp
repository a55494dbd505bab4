// The whole --html5 conversion (decoding, parsing, writing LaTeX2e) on the
// machine's real pages: throughput, and peak heap per byte of input.
#include "convert/convert.h"
#include "testing/bench_support.h"
#include "testing/heap_meter.h"
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
BENCHMARK(BM_convert_html5_real_pages)->Unit(benchmark::kMillisecond);

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

}  // namespace
}  // namespace tagweave
