// Escaping text and URLs for LaTeX2e.
#include "html5/latex2e/escape.h"

#include "html5/latex2e/characters.h"
#include "html5/latex2e/html_text.h"

#include <array>
#include <string>

namespace tagweave::latex2e {
namespace {

constexpr char hex_digits[] = "0123456789ABCDEF";

/// The LaTeX for an ASCII character that is not written as itself, or
/// empty. Control characters are dropped (a browser shows nothing for them,
/// and TeX refuses most of them).
std::string_view ascii_replacement(char c) {
  switch (c) {
    case '\\': return "\\textbackslash{}";
    case '{': return "\\{";
    case '}': return "\\}";
    case '$': return "\\$";
    case '&': return "\\&";
    case '#': return "\\#";
    case '%': return "\\%";
    case '_': return "\\_";
    case '^': return "\\textasciicircum{}";
    case '~': return "\\textasciitilde{}";
    case '<': return "\\textless{}";
    case '>': return "\\textgreater{}";
    case '\'': return "\\textquotesingle{}";
    case '`': return "\\textasciigrave{}";
    case '"': return "\\textquotedbl{}";
    default: return {};
  }
}

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

/// The characters that start a ligature of the T1 fonts with a following
/// one that is written as itself: "--", "---" and ",,".
bool starts_ligature(char c) { return c == '-' || c == ','; }

/// Decodes the UTF-8 sequence at `at` (valid: the parser produced it);
/// sets `length`.
char32_t decode_utf8(std::string_view text, std::size_t at,
                     std::size_t& length) {
  auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[at + i]);
  };
  unsigned char lead = byte(0);
  length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (at + length > text.size()) {  // never from the parser; be safe
    length = 1;
    return 0xFFFD;
  }
  char32_t c = lead & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) c = (c << 6) | (byte(i) & 0x3F);
  return c;
}

void write_placeholder(byte_sink& out, char32_t c, escape_state& state) {
  std::array<char, 8> digits{};
  std::size_t n = 0;
  do {
    digits[n++] = hex_digits[c & 0xF];
    c >>= 4;
  } while (c != 0 && n < digits.size());
  while (n < 4) digits[n++] = '0';
  out.write("\\twmissing{");
  while (n > 0) out.put(digits[--n]);
  out.put('}');
  ++state.untypeset;
}

void write_non_ascii(byte_sink& out, char32_t c, escape_state& state) {
  if (c == 0xA0) {
    out.put('~');
  } else if (c >= 0x80 && c < 0xA0) {
    // C1 control characters: nothing to show.
  } else if (auto latex = latex_for_character(c)) {
    out.write(*latex);
  } else {
    write_placeholder(out, c, state);
  }
}

/// Bytes written as themselves whatever comes before or after them: ASCII
/// letters, digits and the punctuation TeX and the T1 fonts print as is.
constexpr std::array<bool, 256> stands_for_itself = [] {
  std::array<bool, 256> table{};
  for (int c = 0x21; c < 0x7F; ++c) table[c] = true;
  for (unsigned char c : std::string_view("\\{}$&#%_^~<>'`\"-,")) {
    table[c] = false;
  }
  return table;
}();

}  // namespace

std::size_t plain_run_end(std::string_view text, std::size_t at,
                          std::size_t limit) {
  limit = std::min(limit, text.size());
  while (at < limit &&
         stands_for_itself[static_cast<unsigned char>(text[at])]) {
    ++at;
  }
  return at;
}

std::size_t write_escaped_word(byte_sink& out, std::string_view text,
                               std::size_t at, escape_state& state) {
  while (at < text.size() && !is_html_space(text[at])) {
    std::size_t plain = plain_run_end(text, at, text.size());
    if (plain > at) {
      out.write(text.substr(at, plain - at));
      state.ligature_start = 0;
      at = plain;
      continue;
    }
    at = write_escaped_character(out, text, at, state);
  }
  return at;
}

std::size_t write_escaped_character(byte_sink& out, std::string_view text,
                                    std::size_t at, escape_state& state) {
  auto c = static_cast<unsigned char>(text[at]);
  if (c >= 0x80) {
    std::size_t length = 1;
    write_non_ascii(out, decode_utf8(text, at, length), state);
    state.ligature_start = 0;
    return at + length;
  }
  char ch = static_cast<char>(c);
  if (is_control(c) && ch != '\n' && ch != '\t') {
    return at + 1;
  }
  std::string_view replacement = ascii_replacement(ch);
  if (!replacement.empty()) {
    out.write(replacement);
    state.ligature_start = 0;
    return at + 1;
  }
  if (starts_ligature(ch) && state.ligature_start == ch) out.write("{}");
  out.put(ch);
  state.ligature_start = starts_ligature(ch) ? ch : 0;
  return at + 1;
}

std::string first_words_of(std::string_view text, std::size_t limit) {
  std::size_t end = text.rfind(' ', limit);
  if (end == std::string_view::npos || end < limit / 2) {
    end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
      --end;
    }
  }
  return std::string(text.substr(0, end)) + "...";
}

void write_escaped(byte_sink& out, std::string_view text, escape_state& state) {
  std::size_t at = 0;
  while (at < text.size()) at = write_escaped_character(out, text, at, state);
}

/// How escape_url writes a byte.
enum class url_byte : unsigned char { plain, backslashed, percent_encoded };

constexpr std::array<url_byte, 256> url_bytes = [] {
  std::array<url_byte, 256> table{};
  table.fill(url_byte::percent_encoded);
  for (int c = 0x21; c < 0x7F; ++c) table[c] = url_byte::plain;
  for (unsigned char c : std::string_view("\\{}^~\"<>|`")) {
    table[c] = url_byte::percent_encoded;
  }
  for (unsigned char c : std::string_view("#%&_")) {
    table[c] = url_byte::backslashed;
  }
  return table;
}();

std::string escape_url(std::string_view url) {
  std::string out;
  out.reserve(url.size() + url.size() / 8 + 8);
  std::size_t at = 0;
  while (at < url.size()) {
    std::size_t plain = at;
    while (plain < url.size() &&
           url_bytes[static_cast<unsigned char>(url[plain])] ==
               url_byte::plain) {
      ++plain;
    }
    out.append(url, at, plain - at);
    if (plain == url.size()) break;
    char ch = url[plain];
    auto c = static_cast<unsigned char>(ch);
    out += '\\';
    if (url_bytes[c] == url_byte::backslashed) {
      out += ch;
    } else {
      out += '%';
      out += hex_digits[c >> 4];
      out += hex_digits[c & 0xF];
    }
    at = plain + 1;
  }
  return out;
}

std::string target_name(std::size_t number) {
  return "tw." + std::to_string(number);
}

}  // namespace tagweave::latex2e
