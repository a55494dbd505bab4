// The libFuzzer target for the HTML standard's reader: any bytes in, decoded
// as a file is, parsed into a tree. A fault shows as a crash, a sanitizer
// report, a time-out on a hostile shape, or one of these properties failing:
// every text node is valid UTF-8, no element is nested deeper than the limit,
// and parsing the same text twice gives the same tree. Then the whole --html5
// conversion runs: its LaTeX must be valid UTF-8, with balanced braces and
// every \begin matched by its \end, in lines TeX's input buffer holds, and
// with links only to the schemes a reader expects.
#include "diag/tree_dump.h"
#include "html5/encoding/encoding.h"
#include "html5/tree/dom.h"
#include "html5/tree/parse.h"
#include "html5/tree/tree_builder.h"

#include <tagweave/tagweave.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tagweave::html5;

[[noreturn]] void fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "html5_fuzz: %s\n%s\n", what, detail.c_str());
  std::abort();
}

/// True when `text` is well-formed UTF-8 (no surrogates, nothing beyond
/// U+10FFFF, no overlong forms).
bool is_valid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80           ? 1
                         : (byte >> 5) == 0x06 ? 2
                         : (byte >> 4) == 0x0E ? 3
                         : (byte >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || i + length > text.size()) return false;
    std::uint32_t code = length == 1 ? byte : byte & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

void check_nodes(const document& doc) {
  for (node_id id = 0; id < doc.size(); ++id) {
    const node& n = doc[id];
    if (n.kind == node_kind::text && !is_valid_utf8(doc.text_data(id))) {
      fail("a text node is not valid UTF-8", doc.text_data(id));
    }
    if (n.kind == node_kind::element && n.depth > max_tree_depth) {
      fail("an element is nested deeper than the limit",
           std::to_string(n.depth));
    }
  }
}

/// The name in "\\begin{name}" or "\\end{name}" at `at` (just past the
/// command), or empty.
std::string_view environment_name(std::string_view latex, std::size_t at) {
  if (at >= latex.size() || latex[at] != '{') return {};
  std::size_t close = latex.find('}', at);
  if (close == std::string_view::npos) return {};
  return latex.substr(at + 1, close - at - 1);
}

/// Braces balance (an escaped one, after a backslash, does not count) and
/// environments nest properly.
void check_latex_structure(std::string_view latex) {
  std::size_t depth = 0;
  std::vector<std::string_view> environments;
  for (std::size_t i = 0; i < latex.size(); ++i) {
    char c = latex[i];
    if (c == '\\') {
      if (latex.substr(i + 1).starts_with("begin{")) {
        environments.push_back(environment_name(latex, i + 6));
      } else if (latex.substr(i + 1).starts_with("end{")) {
        std::string_view name = environment_name(latex, i + 4);
        if (environments.empty() || environments.back() != name) {
          fail("an \\end does not match its \\begin", std::string(latex));
        }
        environments.pop_back();
      }
      ++i;  // the escaped character, or the command's first letter
      continue;
    }
    if (c == '{') ++depth;
    if (c == '}' && depth-- == 0)
      fail("a '}' closes nothing", std::string(latex));
  }
  if (depth != 0) fail("a '{' is never closed", std::string(latex));
  if (!environments.empty())
    fail("an environment is never ended", std::string(latex));
}

/// TeX reads a line into a buffer of 200000 bytes; the writer ends lines
/// after about 100 bytes (2000 before), and a piece it cannot break (a URL
/// of at most 4096 bytes, a table's column list) may add this much.
constexpr std::size_t longest_line_allowed = 2000 + 5000;

void check_lines(std::string_view latex) {
  std::size_t line_start = 0;
  for (std::size_t i = 0; i <= latex.size(); ++i) {
    if (i < latex.size() && latex[i] != '\n') continue;
    if (i - line_start > longest_line_allowed) {
      fail("a line is too long", std::string(latex.substr(line_start, 200)));
    }
    line_start = i + 1;
  }
}

/// Every \href names http, https, ftp or mailto: a PDF viewer acts on
/// others (run: launches a program, file: opens a local document).
void check_links(std::string_view latex) {
  static constexpr std::string_view allowed[] = {
      "http:", "https:", "ftp:", "mailto:"};
  for (std::size_t at = latex.find("\\href{"); at != std::string_view::npos;
       at = latex.find("\\href{", at + 1)) {
    std::string_view url = latex.substr(at + 6, 8);
    bool ok = false;
    for (std::string_view scheme : allowed) {
      ok = ok || (url.size() >= scheme.size() &&
                  std::equal(scheme.begin(), scheme.end(), url.begin(),
                             [](char a, char b) { return a == (b | 0x20); }));
    }
    if (!ok) fail("a link to a scheme not allowed", std::string(url));
  }
}

void check_conversion(std::string_view bytes) {
  tagweave::document_options options;
  options.mode = tagweave::reading_mode::html5;
  std::string latex;
  tagweave::convert(bytes, options, latex);
  if (!is_valid_utf8(latex)) fail("the LaTeX is not valid UTF-8", latex);
  check_latex_structure(latex);
  check_lines(latex);
  check_links(latex);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  decoded_input input = decode_input(bytes);
  if (!is_valid_utf8(input.text)) fail("decoding gave invalid UTF-8", "");
  document first = parse_document(input.text);
  check_nodes(first);
  std::string first_dump, second_dump;
  dump_tree(first, first_dump);
  dump_tree(parse_document(input.text), second_dump);
  if (first_dump != second_dump) {
    fail("a second parse gave another tree",
         "first:\n" + first_dump + "second:\n" + second_dump);
  }
  check_conversion(bytes);
  return 0;
}
