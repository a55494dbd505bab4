// The libFuzzer target for the HTML standard's reader: any bytes in, decoded
// as a file is, parsed into a tree. A fault shows as a crash, a sanitizer
// report, a time-out on a hostile shape, or one of these properties failing:
// every text node is valid UTF-8, no element is nested deeper than the limit,
// and parsing the same text twice gives the same tree.
#include "html5/dom.h"
#include "html5/encoding.h"
#include "html5/parse.h"
#include "html5/tree_builder.h"
#include "html5/tree_dump.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

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
  return 0;
}
