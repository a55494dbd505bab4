#include "early/writer/escape.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tagweave {
namespace {

using escape_table = std::array<std::string_view, 256>;

constexpr char delete_char = '\x7f';

/// What ends a verbatim environment, and what follows it when text has
/// written it: the text as a line of its own, then the environment again.
constexpr std::string_view environment_end = "\\end{verbatim}";
constexpr std::string_view environment_end_shown =
    "\\noindent\\verb|\\end{verbatim}|\\begin{verbatim}";

constexpr escape_table make_escape_table() {
  escape_table table{};
  table['#'] = "\\#";
  table['$'] = "\\$";
  table['%'] = "\\%";
  table['&'] = "\\&";
  table['_'] = "\\_";
  table['{'] = "\\{";
  table['}'] = "\\}";
  // Like '^': a bare "\~" would be the tilde accent over the next character.
  table['~'] = "\\~{}";
  table['^'] = "\\^{}";
  table['<'] = "$<$";
  table['>'] = "$>$";
  table['\\'] = "$\\backslash$";
  // TeX stops at DEL: "Text line contains an invalid character". An empty
  // group typesets nothing, and a line holding only a DEL stays not blank.
  table[delete_char] = "{}";
  return table;
}

constexpr escape_table escapes = make_escape_table();

/// The bytes that have a replacement, as one flag each: the scan for the
/// next of them is the writer's innermost loop.
constexpr std::array<bool, 256> make_escaped_bytes() {
  std::array<bool, 256> escaped{};
  for (std::size_t byte = 0; byte < escaped.size(); ++byte) {
    escaped[byte] = !escapes[byte].empty();
  }
  return escaped;
}

constexpr std::array<bool, 256> escaped_bytes = make_escaped_bytes();

#if defined(__SSE2__)
/// A flag byte (0xFF) for each of the sixteen bytes at `at` that has a
/// replacement: # $ % & (0x23-0x26), < > (0x3C 0x3E), \\ (0x5C), ^ _ (0x5E
/// 0x5F), { (0x7B), } ~ DEL (0x7D-0x7F). Each group is one or two compares.
int escaped_mask(const char* at) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  auto in_range = [&bytes](char low, char span) {
    __m128i offset = _mm_sub_epi8(bytes, _mm_set1_epi8(low));
    return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(span)), offset);
  };
  auto equals = [](__m128i value, char byte) {
    return _mm_cmpeq_epi8(value, _mm_set1_epi8(byte));
  };
  __m128i flags = in_range('#', 3);
  flags =
      _mm_or_si128(flags, equals(_mm_or_si128(bytes, _mm_set1_epi8(2)), '>'));
  flags = _mm_or_si128(flags, equals(bytes, '\\'));
  flags =
      _mm_or_si128(flags, equals(_mm_or_si128(bytes, _mm_set1_epi8(1)), '_'));
  flags = _mm_or_si128(flags, equals(bytes, '{'));
  flags = _mm_or_si128(flags, in_range('}', 2));
  return _mm_movemask_epi8(flags);
}
#endif

/// The first byte of `chars` at or after `from` that has a replacement, or
/// the end. Sixteen bytes at a time where SSE2 is there (on every x86-64),
/// the table a byte at a time for the rest.
std::size_t next_escaped(std::string_view chars, std::size_t from) {
  // Specials often come in runs ("<>", "{}"): the next byte is
  // looked at alone before a block is.
  if (from < chars.size() &&
      escaped_bytes[static_cast<unsigned char>(chars[from])]) {
    return from;
  }
#if defined(__SSE2__)
  for (; from + 16 <= chars.size(); from += 16) {
    if (int mask = escaped_mask(chars.data() + from)) {
      return from + static_cast<std::size_t>(
                        __builtin_ctz(static_cast<unsigned>(mask)));
    }
  }
#endif
  while (from < chars.size() &&
         !escaped_bytes[static_cast<unsigned char>(chars[from])]) {
    ++from;
  }
  return from;
}

/// Every byte's output padded to a fixed width, for writing a stretch
/// thick with specials: each byte is one fixed-size copy and one add
/// instead of a search and a call.
struct padded_output {
  char bytes[16];
  std::uint8_t length;
};

constexpr std::size_t longest_escape() {
  std::size_t longest = 1;
  for (std::size_t byte = 0; byte < escapes.size(); ++byte) {
    longest = std::max(longest, escapes[byte].size());
  }
  return longest;
}
static_assert(longest_escape() <= sizeof(padded_output{}.bytes));

constexpr std::array<padded_output, 256> make_padded_outputs() {
  std::array<padded_output, 256> outputs{};
  for (std::size_t byte = 0; byte < outputs.size(); ++byte) {
    if (escapes[byte].empty()) {
      outputs[byte].bytes[0] = static_cast<char>(byte);
      outputs[byte].length = 1;
      continue;
    }
    for (std::size_t i = 0; i < escapes[byte].size(); ++i) {
      outputs[byte].bytes[i] = escapes[byte][i];
    }
    outputs[byte].length = static_cast<std::uint8_t>(escapes[byte].size());
  }
  return outputs;
}

constexpr std::array<padded_output, 256> padded_outputs = make_padded_outputs();

/// How many bytes a stretch takes at a time, and the room its output may
/// need: every byte at the padded width.
constexpr std::size_t stretch_bytes = 16;
constexpr std::size_t stretch_room =
    stretch_bytes * sizeof(padded_output{}.bytes);
static_assert(stretch_room <= byte_sink::max_room);

/// True when one of the sixteen bytes at `at` has a replacement.
bool has_special(const char* at) {
#if defined(__SSE2__)
  return escaped_mask(at) != 0;
#else
  for (std::size_t i = 0; i < 16; ++i) {
    if (escaped_bytes[static_cast<unsigned char>(at[i])]) return true;
  }
  return false;
#endif
}

/// Writes sixteen bytes of `in` by table.
void write_stretch(byte_sink& dest, const char* in) {
  char* out = dest.room(stretch_room);
  for (std::size_t i = 0; i < stretch_bytes; ++i) {
    const padded_output& output =
        padded_outputs[static_cast<unsigned char>(in[i])];
    std::memcpy(out, output.bytes, sizeof output.bytes);
    out += output.length;
  }
  dest.commit(out);
}

/// Writes `chars` from `at`, where a special stands, sixteen bytes at a
/// time by table as long as each sixteen hold a special; returns where it
/// stopped: before sixteen plain bytes, or near the end.
std::size_t write_thick_stretch(byte_sink& dest, std::string_view chars,
                                std::size_t at) {
  if (at + stretch_bytes > chars.size()) return at;
  do {
    write_stretch(dest, chars.data() + at);
    at += stretch_bytes;
  } while (at + stretch_bytes <= chars.size() &&
           has_special(chars.data() + at));
  return at;
}

/// The replacement for `byte`, or the empty view when it passes unchanged.
std::string_view latex_escape_of(char byte) {
  return escapes[static_cast<unsigned char>(byte)];
}

/// Moves `line` past `piece`, which holds no line end.
void step_over(line_position& line, std::string_view piece) {
  if (piece.empty()) return;
  line.after_cr = false;
  if (piece.find_first_not_of(" \t") != std::string_view::npos) {
    line.blank = false;
  }
}

void write_argument_line_end(byte_sink& dest, char line_end,
                             line_position& line) {
  bool completes_cr = line_end == '\n' && line.after_cr;
  line.after_cr = false;
  if (completes_cr) {
    dest.put(line_end);
    return;
  }
  if (line.blank) return;  // it would end a blank line
  dest.put(line_end);
  line.blank = true;
  line.after_cr = line_end == '\r';
}

}  // namespace

void write_escaped(byte_sink& dest, std::string_view chars) {
  // Each run of bytes that need no escape goes out with one call; where
  // specials are thick, sixteen bytes go out by table.
  std::size_t at = 0;
  while (at < chars.size()) {
    std::size_t special = next_escaped(chars, at);
    if (special > at) dest.write({chars.data() + at, special - at});
    if (special == chars.size()) return;
    dest.write(latex_escape_of(chars[special]));
    at = special + 1;
    if (at < chars.size() &&
        escaped_bytes[static_cast<unsigned char>(chars[at])]) {
      at = write_thick_stretch(dest, chars, at);
    }
  }
}

void write_escaped_argument(byte_sink& dest, std::string_view chars,
                            line_position& line) {
  while (!chars.empty()) {
    std::size_t line_end = chars.find_first_of("\n\r");
    std::string_view piece = chars.substr(0, line_end);
    write_escaped(dest, piece);
    step_over(line, piece);
    if (line_end == std::string_view::npos) return;
    write_argument_line_end(dest, chars[line_end], line);
    chars.remove_prefix(line_end + 1);
  }
}

void verbatim_writer::write(byte_sink& dest, std::string_view chars) {
  for (std::size_t del = chars.find(delete_char); del != std::string_view::npos;
       del = chars.find(delete_char)) {
    write_without_delete(dest, chars.substr(0, del));
    chars.remove_prefix(del + 1);
  }
  write_without_delete(dest, chars);
}

void verbatim_writer::write_without_delete(byte_sink& dest,
                                           std::string_view chars) {
  while (!chars.empty()) {
    std::size_t end = follow_environment_end(chars);
    if (end == std::string_view::npos) {
      dest.write(chars);
      return;
    }
    dest.write(chars.substr(0, end));
    dest.write(environment_end_shown);
    chars.remove_prefix(end);
  }
}

/// Follows `chars` along "\end{verbatim}": the length of the part of
/// `chars` that completes it, or npos when none does.
std::size_t verbatim_writer::follow_environment_end(std::string_view chars) {
  for (std::size_t at = 0; at < chars.size(); ++at) {
    if (matched_ == 0) {
      at = chars.find('\\', at);
      if (at == std::string_view::npos) return at;
    }
    char byte = chars[at];
    // TeX drops NUL as it reads, so a NUL inside the text hides nothing.
    if (byte == '\0') continue;
    if (byte != environment_end[matched_]) {
      matched_ = byte == '\\' ? 1 : 0;
    } else if (++matched_ == environment_end.size()) {
      matched_ = 0;
      return at + 1;
    }
  }
  return std::string_view::npos;
}

}  // namespace tagweave
