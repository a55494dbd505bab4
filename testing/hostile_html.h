// Hostile HTML shapes for the benchmarks: a unit repeated to a given size
// between a head and a tail, each built to push one part of reading or
// writing today's HTML toward quadratic time, deep recursion or a large
// multiple of the input in memory. The parser's benchmark and the whole
// --html5 conversion's run the same shapes, for time and for peak heap.
#pragma once

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cstddef>
#include <string>
#include <vector>

namespace tagweave::testing {

struct hostile_shape {
  const char* name;
  std::string head;
  std::string unit;
  std::string tail;

  /// The shape at about `bytes` bytes.
  std::string text(std::size_t bytes) const {
    std::string out = head;
    while (out.size() < bytes) out += unit;
    out += tail;
    return out;
  }
};

inline const std::vector<hostile_shape>& hostile_shapes() {
  static const std::vector<hostile_shape> shapes = [] {
    std::string formatting_with_attributes;
    for (int i = 0; i < 200; ++i) {
      formatting_with_attributes += "<b id=" + std::to_string(i) +
                                    "><i class=c" + std::to_string(i) + ">";
    }
    return std::vector<hostile_shape>{
        {"nested_div", "", "<div>", ""},
        {"ul_li", "", "<ul><li>", ""},
        {"unclosed_b", "", "<b>", ""},
        {"formatting_then_p_x", "<p>" + formatting_with_attributes, "</p>x",
         ""},
        {"nested_table", "", "<table>", ""},
        {"foster_parented_text", "<table>", "x", ""},
        {"long_attribute", "<a href=\"", "x", "\">"},
        {"amp_without_semicolon", "", "&amp", ""},
        {"a_in_unclosed_element", "<div>", "<a", ""},
        // Shapes that load the LaTeX writer rather than the parser.
        {"table_rows", "<table>", "<tr><td>x<td colspan=2>y<td rowspan=3>z",
         "</table>"},
        {"links_to_ids", "", "<a href=#t id=t>x</a> ", ""},
        {"long_preformatted_line", "<pre>", "x&lt;", "</pre>"},
        // Shapes that make an element and a text node every few bytes:
        // the bounds on elements keep their memory a few times the input.
        {"formatting_and_text", "", "<b>x", ""},
        {"paragraphs", "", "<p>x", ""},
        {"line_breaks", "", "x<br>", ""},
        {"cells_without_end_tags", "<table><tr>", "<td>x", ""},
        {"rows_without_end_tags", "<table>", "<tr><td>x", ""},
        {"empty_rows", "<table>", "<tr>", ""},
        {"nested_unknown", "", "<x>", ""},
        {"nested_svg", "<svg>", "<g>", ""},
    };
  }();
  return shapes;
}

/// Gives the memory of the last run back to the system, as a new process
/// starts. Without this, glibc keeps a 1 MiB run's memory for the next
/// iteration but returns a 16 MiB run's (its blocks are too large to
/// keep), so only the large size would pay for first touching its pages and
/// the ratio would measure the allocator rather than the code.
inline void return_free_memory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

}  // namespace tagweave::testing
