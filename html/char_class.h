// The character classes the reader needs, fixed to ASCII so that no locale
// can change them: bytes 128 to 255 are never letters, digits or blanks.
#pragma once

namespace tagweave {

constexpr bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

/// The blanks of HTML text: tab, line feed and space. Carriage return, form
/// feed and vertical tab are not among them.
constexpr bool is_html_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

/// White space as C's isspace sees it in the POSIX locale: the blanks plus
/// vertical tab, form feed and carriage return. Ends a tag name and is
/// skipped before a number.
constexpr bool is_c_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

/// ASCII letters compare without regard to case; every other byte matches
/// only itself.
constexpr char fold_case(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace tagweave
