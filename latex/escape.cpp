#include "latex/escape.h"

#include <array>

namespace tagweave {
namespace {

using escape_table = std::array<std::string_view, 256>;

constexpr char delete_char = '\x7f';

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

/// The first byte of `chars` at or after `from` that has a replacement, or
/// the end.
std::size_t next_escaped(std::string_view chars, std::size_t from) {
  while (from < chars.size() &&
         !escaped_bytes[static_cast<unsigned char>(chars[from])]) {
    ++from;
  }
  return from;
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
  // Each run of bytes that need no escape goes out with one call.
  std::size_t at = 0;
  while (at < chars.size()) {
    std::size_t special = next_escaped(chars, at);
    if (special > at) dest.write(chars.substr(at, special - at));
    if (special == chars.size()) return;
    dest.write(latex_escape_of(chars[special]));
    at = special + 1;
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

void write_verbatim(byte_sink& dest, std::string_view chars) {
  for (std::size_t del = chars.find(delete_char); del != std::string_view::npos;
       del = chars.find(delete_char)) {
    dest.write(chars.substr(0, del));
    chars.remove_prefix(del + 1);
  }
  dest.write(chars);
}

}  // namespace tagweave
