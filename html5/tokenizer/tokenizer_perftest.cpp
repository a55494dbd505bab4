// Throughput of the HTML standard's tokenizer alone: real pages found on the
// machine, the ordinary mixed page, the shared pathological shapes, and
// shapes aimed at the tokenizer's own states. The complexity fit over four
// sizes tells linear from quadratic.
#include "html5/tokenizer/tokenizer.h"

#include "testing/bench_support.h"
#include "testing/pathological.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tagweave::html5 {
namespace {

using tagweave::testing::repeat;
using tagweave::testing::report_bytes;
using tagweave::testing::with_sizes;

/// Looks at every token as a tree builder would at the least: its kind and
/// the size of its text.
class counting_sink : public token_sink {
 public:
  void take(token& t) override {
    ++tokens;
    bytes += t.data.size() + t.name.size() + t.attributes.size();
  }
  std::size_t tokens = 0;
  std::size_t bytes = 0;
};

void tokenize(std::string_view text, benchmark::State& state) {
  for (auto _ : state) {
    counting_sink sink;
    tokenizer(text, sink).run();
    benchmark::DoNotOptimize(sink.bytes);
  }
}

// clang-format off
/// Shapes aimed at the tokenizer's states, in the form of
/// testing::pathological_shapes.
const tagweave::testing::pathological_shape tokenizer_shapes[] = {
    {"same_attribute", "one name repeated: duplicates dropped",
     [](std::size_t n) { return "<a" + repeat(" x=1", n) + ">"; }},
    {"distinct_attributes", "many names: the duplicate check",
     [](std::size_t n) {
       std::string tag = "<a";
       for (std::size_t i = 0; i < n; ++i) tag += " a" + std::to_string(i);
       return tag + ">";
     }},
    {"attribute_legacy_refs", "legacy references kept in a value",
     [](std::size_t n) { return "<a href=\"" + repeat("&ampx", n) + "\">"; }},
    {"long_numeric_ref", "digits of one reference",
     [](std::size_t n) { return "&#" + repeat("9", n) + ";"; }},
    {"unknown_refs", "ambiguous ampersands",
     [](std::size_t n) { return repeat("&zzzzzzzz", n); }},
    {"nested_comment_starts", "the comment less-than sign states",
     [](std::size_t n) { return "<!--" + repeat("-!<!-", n) + "-->"; }},
    {"comment_dashes", "the comment end states",
     [](std::size_t n) { return "<!--" + repeat("--!", n) + "-->"; }},
    {"rcdata_end_tags", "end tags that are not the appropriate one",
     [](std::size_t n) { return "<title>" + repeat("</titl", n); }},
    {"script_double_escapes", "escaped and double-escaped script data",
     [](std::size_t n) {
       return "<script>" + repeat("<!--<script>x</script>-->", n);
     }},
    {"doctype_long_name", "a DOCTYPE name",
     [](std::size_t n) { return "<!DOCTYPE " + repeat("h", n) + ">"; }},
    {"bogus_comments", "short bogus comments",
     [](std::size_t n) { return repeat("<?x>", n); }},
};
// clang-format on

void tokenize_shape(benchmark::State& state,
                    const tagweave::testing::pathological_shape* shape) {
  auto bytes = static_cast<std::size_t>(state.range(0));
  std::string text =
      shape->make(tagweave::testing::count_for_size(*shape, bytes));
  tokenize(text, state);
  report_bytes(state, text.size());
}

bool register_shapes() {
  for (const auto& shape : tagweave::testing::all_pathological_shapes()) {
    with_sizes(benchmark::RegisterBenchmark(
        ("tokenize/" + std::string(shape.name)).c_str(), tokenize_shape,
        &shape));
  }
  for (const auto& shape : tokenizer_shapes) {
    with_sizes(benchmark::RegisterBenchmark(
        ("tokenize/" + std::string(shape.name)).c_str(), tokenize_shape,
        &shape));
  }
  return true;
}

const bool shapes_registered = register_shapes();

void BM_tokenize_mixed_page(benchmark::State& state) {
  std::string page = tagweave::testing::mixed_page_of(
      static_cast<std::size_t>(state.range(0)));
  tokenize(page, state);
  report_bytes(state, page.size());
}

BENCHMARK(BM_tokenize_mixed_page)->Apply(with_sizes);

/// The HTML pages of the machine's documentation, one after another: real
/// mark-up written by many tools.
std::string real_pages() {
  namespace fs = std::filesystem;
  std::string pages;
  std::error_code error;
  fs::recursive_directory_iterator it("/usr/share/doc", error), end;
  for (; !error && it != end; it.increment(error)) {
    if (it->path().extension() != ".html") continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    pages += contents.str();
  }
  return pages;
}

void BM_tokenize_real_pages(benchmark::State& state) {
  static const std::string pages = real_pages();
  if (pages.empty()) {
    state.SkipWithError("no .html files under /usr/share/doc");
    return;
  }
  tokenize(pages, state);
  report_bytes(state, pages.size());
  state.counters["megabytes"] = static_cast<double>(pages.size()) / 1e6;
}

BENCHMARK(BM_tokenize_real_pages)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tagweave::html5
