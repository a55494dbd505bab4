// Throughput of the HTML standard's parser: real pages (the HTML files under
// /usr/share/doc, as found on the machine), with gumbo beside it when it is
// installed, and the hostile shapes, whose complexity fit must say linear.
#include "html5/encoding/encoding.h"
#include "html5/tree/parse.h"
#include "testing/bench_support.h"
#include "testing/heap_meter.h"
#include "testing/hostile_html.h"
#include "testing/real_pages.h"

#include <benchmark/benchmark.h>

#if TAGWEAVE_HAVE_GUMBO
#include <gumbo.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tagweave::html5 {
namespace {

using testing::report_bytes;

/// The real pages, decoded.
const std::vector<std::string>& real_pages() {
  static const std::vector<std::string> pages = [] {
    std::vector<std::string> texts;
    for (const std::string& bytes : testing::real_html_pages()) {
      texts.push_back(decode_input(bytes).text);
    }
    return texts;
  }();
  return pages;
}

using testing::total_size;

void BM_parse_real_pages(benchmark::State& state) {
  const auto& pages = real_pages();
  if (pages.empty()) state.SkipWithError("no HTML under /usr/share/doc");
  for (auto _ : state) {
    for (const std::string& page : pages) {
      document doc = parse_document(page);
      benchmark::DoNotOptimize(doc);
    }
  }
  report_bytes(state, total_size(pages));
}
BENCHMARK(BM_parse_real_pages)->Unit(benchmark::kMillisecond)->MinTime(1.0);

/// Peak heap, per byte of input, while the real pages are read as one
/// document the way the converter reads a file: its bytes, decoded (the
/// bytes dropped then), then parsed. bench/run prints it; the bar is 4.
void BM_parse_real_pages_memory(benchmark::State& state) {
  const auto& pages = real_pages();
  if (pages.empty()) state.SkipWithError("no HTML under /usr/share/doc");
  std::size_t size = total_size(pages);
  double peak_per_byte = 0;
  for (auto _ : state) {
    testing::heap_meter meter;
    std::string bytes;
    bytes.reserve(size);
    for (const std::string& page : pages) bytes += page;
    std::string text = decode_input(bytes).text;
    std::string().swap(bytes);
    document doc = parse_document(std::move(text));
    benchmark::DoNotOptimize(doc);
    peak_per_byte =
        static_cast<double>(meter.peak()) / static_cast<double>(size);
  }
  state.counters["peak_per_input_byte"] = peak_per_byte;
}
BENCHMARK(BM_parse_real_pages_memory)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

#if TAGWEAVE_HAVE_GUMBO
void BM_gumbo_real_pages(benchmark::State& state) {
  const auto& pages = real_pages();
  if (pages.empty()) state.SkipWithError("no HTML under /usr/share/doc");
  for (auto _ : state) {
    for (const std::string& page : pages) {
      GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions,
                                                     page.data(), page.size());
      benchmark::DoNotOptimize(output);
      gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
  }
  report_bytes(state, total_size(pages));
}
BENCHMARK(BM_gumbo_real_pages)->Unit(benchmark::kMillisecond)->MinTime(1.0);
#endif

void parse_shape(benchmark::State& state, const testing::hostile_shape* shape) {
  std::string text = shape->text(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    {
      document doc = parse_document(text);
      benchmark::DoNotOptimize(doc);
    }
    state.PauseTiming();
    testing::return_free_memory();
    state.ResumeTiming();
  }
  report_bytes(state, text.size());
}

/// Peak heap, per byte of input, while a hostile shape of the given size is
/// parsed; its text is copied inside the meter, one buffer of its size, as
/// a file is loaded. bench/run prints it; the bar is 8.
void parse_shape_memory(benchmark::State& state,
                        const testing::hostile_shape* shape) {
  std::string text = shape->text(static_cast<std::size_t>(state.range(0)));
  double peak_per_byte = 0;
  for (auto _ : state) {
    testing::heap_meter meter;
    document doc = parse_document(std::string(text));
    benchmark::DoNotOptimize(doc);
    peak_per_byte =
        static_cast<double>(meter.peak()) / static_cast<double>(text.size());
  }
  state.counters["peak_per_input_byte"] = peak_per_byte;
}

/// Each hostile shape at 1 MiB and 16 MiB: linear means the second takes
/// about 16 times the first; bench/run prints the ratio, which must stay
/// below 20.
void at_one_and_sixteen_mib(benchmark::internal::Benchmark* bench) {
  bench->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
}

bool register_shapes() {
  for (const testing::hostile_shape& shape : testing::hostile_shapes()) {
    at_one_and_sixteen_mib(benchmark::RegisterBenchmark(
        ("html5_parse/" + std::string(shape.name)).c_str(), parse_shape,
        &shape));
    benchmark::RegisterBenchmark(
        ("html5_parse_memory/" + std::string(shape.name)).c_str(),
        parse_shape_memory, &shape)
        ->Arg(16 << 20)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}

const bool shapes_registered = register_shapes();

}  // namespace
}  // namespace tagweave::html5
