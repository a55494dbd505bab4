#include "html5/tokenizer/char_refs.h"

#include "html5/tokenizer/char_ref_table.h"

#include <algorithm>
#include <iterator>
#include <span>

namespace tagweave::html5 {
namespace {

// The lookup keeps the names sorted and narrows the range of names that
// start with the characters consumed so far, one binary search per character:
// O(name length * log n) with no extra structure beside the generated table,
// where a trie would need a second generated table for a small constant gain.

using entry_range = std::span<const char_ref_entry>;

/// The byte of `name` at `pos`, or -1 past its end so that a name that ends
/// there sorts before every name that goes on.
int char_at(std::string_view name, std::size_t pos) {
  return pos < name.size() ? static_cast<unsigned char>(name[pos]) : -1;
}

/// The names of `range` (which all share their first `pos` bytes) whose byte
/// at `pos` is `byte`.
entry_range narrow(entry_range range, std::size_t pos, unsigned char byte) {
  // std::partition_point rather than std::ranges::equal_range, which clang 14
  // cannot compile against libstdc++ 12.
  auto byte_before = [pos, byte](const char_ref_entry& e) {
    return char_at(e.name, pos) < byte;
  };
  auto byte_up_to = [pos, byte](const char_ref_entry& e) {
    return char_at(e.name, pos) <= byte;
  };
  auto first = std::partition_point(range.begin(), range.end(), byte_before);
  auto last = std::partition_point(first, range.end(), byte_up_to);
  return {first, last};
}

constexpr char32_t replacement_character = 0xFFFD;
constexpr char32_t last_code_point = 0x10FFFF;

bool is_surrogate(std::uint32_t value) {
  return value >= 0xD800 && value <= 0xDFFF;
}

bool is_c1_control(std::uint32_t value) {
  return value >= 0x80 && value <= 0x9F;
}

static_assert(std::size(c1_reference_code_points) == 0x20);

}  // namespace

named_reference longest_named_reference(std::string_view text) {
  // No name is longer, so nothing past it can extend a match.
  text = text.substr(0, std::min(text.size(), longest_reference_name));
  named_reference best;
  entry_range range(char_ref_table);
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    range = narrow(range, pos, static_cast<unsigned char>(text[pos]));
    if (range.empty()) break;
    // A name that ends here sorts first among those sharing its bytes.
    const char_ref_entry& shortest = range.front();
    if (shortest.name.size() == pos + 1) {
      best = {pos + 1, shortest.replacement, text[pos] == ';'};
    }
  }
  return best;
}

char32_t numeric_reference_code_point(std::uint32_t value) {
  if (value == 0 || value > last_code_point || is_surrogate(value)) {
    return replacement_character;
  }
  if (is_c1_control(value)) return c1_reference_code_points[value - 0x80];
  return static_cast<char32_t>(value);
}

void append_utf8(std::string& out, char32_t code_point) {
  // Not a scalar value is the caller's mistake; U+FFFD keeps `out` UTF-8.
  if (code_point > last_code_point || is_surrogate(code_point)) {
    code_point = replacement_character;
  }
  auto byte = [](char32_t bits) { return static_cast<char>(bits); };
  auto continuation = [&](int shift) {
    return byte(0x80 | ((code_point >> shift) & 0x3F));
  };
  if (code_point < 0x80) {
    out += byte(code_point);
  } else if (code_point < 0x800) {
    out += byte(0xC0 | (code_point >> 6));
    out += continuation(0);
  } else if (code_point < 0x10000) {
    out += byte(0xE0 | (code_point >> 12));
    out += continuation(6);
    out += continuation(0);
  } else {
    out += byte(0xF0 | (code_point >> 18));
    out += continuation(12);
    out += continuation(6);
    out += continuation(0);
  }
}

}  // namespace tagweave::html5
