// Throughput of reading and of the whole conversion on the pathological
// shapes, at sizes four times apart so that the complexity fit tells linear
// from quadratic at a glance, and on an ordinary mixed page for the baseline.
#include "html/splitter.h"

#include "driver/convert.h"
#include "testing/pathological.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace tagweave {
namespace {

constexpr std::int64_t sizes[] = {64 << 10, 256 << 10, 1 << 20, 4 << 20};

void report(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
  state.SetComplexityN(static_cast<std::int64_t>(bytes));
}

void split_shape(benchmark::State& state,
                 const testing::pathological_shape* shape) {
  auto bytes = static_cast<std::size_t>(state.range(0));
  std::string text = shape->make(testing::count_for_size(*shape, bytes));
  for (auto _ : state) {
    split_result split = split_document(text);
    benchmark::DoNotOptimize(split);
  }
  report(state, text.size());
}

void convert_shape(benchmark::State& state,
                   const testing::pathological_shape* shape) {
  auto bytes = static_cast<std::size_t>(state.range(0));
  std::string text = shape->make(testing::count_for_size(*shape, bytes));
  RunOptions options;
  for (auto _ : state) {
    byte_sink sink;
    conversion_outcome outcome = convert_document(text, sink, options);
    benchmark::DoNotOptimize(outcome);
    benchmark::DoNotOptimize(sink.contents().data());
  }
  report(state, text.size());
}

/// An ordinary page of about `bytes`.
std::string mixed_page_of(std::size_t bytes) {
  std::size_t section =
      testing::mixed_page(2).size() - testing::mixed_page(1).size();
  return testing::mixed_page(bytes / section + 1);
}

void BM_split_mixed_page(benchmark::State& state) {
  std::string page = mixed_page_of(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    split_result split = split_document(page);
    benchmark::DoNotOptimize(split);
  }
  report(state, page.size());
}

void BM_convert_mixed_page(benchmark::State& state) {
  std::string page = mixed_page_of(static_cast<std::size_t>(state.range(0)));
  RunOptions options;
  for (auto _ : state) {
    byte_sink sink;
    conversion_outcome outcome = convert_document(page, sink, options);
    benchmark::DoNotOptimize(outcome);
    benchmark::DoNotOptimize(sink.contents().data());
  }
  report(state, page.size());
}

void with_sizes(benchmark::internal::Benchmark* bench) {
  for (std::int64_t size : sizes) bench->Arg(size);
  bench->Complexity()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_split_mixed_page)->Apply(with_sizes);
BENCHMARK(BM_convert_mixed_page)->Apply(with_sizes);

/// One split and one convert benchmark per shape, named after it.
bool register_shapes() {
  for (const testing::pathological_shape& shape :
       testing::all_pathological_shapes()) {
    std::string name(shape.name);
    with_sizes(benchmark::RegisterBenchmark(("split/" + name).c_str(),
                                            split_shape, &shape));
    with_sizes(benchmark::RegisterBenchmark(("convert/" + name).c_str(),
                                            convert_shape, &shape));
  }
  return true;
}

const bool shapes_registered = register_shapes();

}  // namespace
}  // namespace tagweave
