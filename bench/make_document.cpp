// Writes one benchmark document to standard output, built by the same code
// as the benchmarks' documents, so that bench/compare measures whole
// processes on exactly the inputs the in-process benchmarks use.
//
//   tagweave_make_document mixed BYTES      an ordinary mixed page
//   tagweave_make_document text BYTES       one text run without any mark-up
//   tagweave_make_document SHAPE BYTES      a shape of testing/pathological.h
//
// The output is a function of the arguments alone.
#include "testing/pathological.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using tagweave::testing::pathological_shape;

/// One long text run: words and line feeds, no '<' and no '&', so the whole
/// document reaches the writer as a single run.
std::string one_text_run(std::size_t bytes) {
  constexpr std::string_view line =
      "plain words that run on without any mark-up at all, line after line\n";
  return tagweave::testing::repeat(line, bytes / line.size() + 1);
}

const pathological_shape* find_shape(std::string_view name) {
  for (const pathological_shape& shape :
       tagweave::testing::all_pathological_shapes()) {
    if (shape.name == name) return &shape;
  }
  return nullptr;
}

bool make(std::string_view kind, std::size_t bytes, std::string& out) {
  if (kind == "mixed") {
    out = tagweave::testing::mixed_page_of(bytes);
  } else if (kind == "text") {
    out = one_text_run(bytes);
  } else if (const pathological_shape* shape = find_shape(kind)) {
    out = shape->make(tagweave::testing::count_for_size(*shape, bytes));
  } else {
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  char* end = nullptr;
  unsigned long long bytes = argc == 3 ? std::strtoull(argv[2], &end, 10) : 0;
  std::string document;
  if (argc != 3 || end == argv[2] || *end != '\0' ||
      !make(argv[1], static_cast<std::size_t>(bytes), document)) {
    std::fputs("usage: tagweave_make_document mixed|text|SHAPE BYTES\n",
               stderr);
    return 2;
  }
  bool written = std::fwrite(document.data(), 1, document.size(), stdout) ==
                     document.size() &&
                 std::fflush(stdout) == 0;
  return written ? 0 : 1;
}
