#include "latex/escape.h"

#include <array>

namespace tagweave {
namespace {

using escape_table = std::array<std::string_view, 256>;

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
  return table;
}

constexpr escape_table escapes = make_escape_table();

/// The replacement for `byte`, or the empty view when it passes unchanged.
std::string_view latex_escape_of(char byte) {
  return escapes[static_cast<unsigned char>(byte)];
}

}  // namespace

void write_escaped(byte_sink& dest, std::string_view chars) {
  // Write each run of bytes that need no escape with one call.
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < chars.size(); ++i) {
    std::string_view escape = latex_escape_of(chars[i]);
    if (escape.empty()) continue;
    dest.write(chars.substr(run_start, i - run_start));
    dest.write(escape);
    run_start = i + 1;
  }
  dest.write(chars.substr(run_start));
}

}  // namespace tagweave
