// The byte classes the tokenizer's states test, fixed to ASCII so that no
// locale changes them, and the sets of bytes that end a run of ordinary
// characters in each state: the states copy such a run whole and look at one
// byte at a time only where something happens.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// In a namespace of their own, so that other stages may name their helpers
// alike.
namespace tagweave::html5::tokenizer_bytes {

constexpr bool is_ascii_upper_alpha(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool is_ascii_alpha(char c) {
  return is_ascii_upper_alpha(c) || (c >= 'a' && c <= 'z');
}
constexpr bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_ascii_alphanumeric(char c) {
  return is_ascii_alpha(c) || is_ascii_digit(c);
}
constexpr bool is_ascii_hex_digit(char c) {
  return is_ascii_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
/// The tokenizer's white space: tab, line feed, form feed and space (the
/// input stream holds no carriage return).
constexpr bool is_tokenizer_whitespace(char c) {
  return c == '\t' || c == '\n' || c == '\f' || c == ' ';
}
constexpr char to_ascii_lower(char c) {
  return is_ascii_upper_alpha(c) ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Appends `text` to `out` with ASCII upper-case letters made lower-case, as
/// the HTML standard does for tag, attribute and DOCTYPE names.
inline void append_lowercase(std::string& out, std::string_view text) {
  std::size_t start = out.size();
  out.append(text);
  for (std::size_t i = start; i < out.size(); ++i) {
    out[i] = to_ascii_lower(out[i]);
  }
}

/// A set of bytes, tested with one table look-up.
class byte_set {
 public:
  /// The bytes of a string literal, NUL bytes written in it included.
  template <std::size_t N>
  constexpr explicit byte_set(const char (&bytes)[N]) {
    for (std::size_t i = 0; i + 1 < N; ++i) {
      members_[static_cast<unsigned char>(bytes[i])] = true;
    }
  }
  constexpr bool contains(char c) const {
    return members_[static_cast<unsigned char>(c)];
  }

 private:
  std::array<bool, 256> members_{};
};

// The bytes that end a run of ordinary characters in each state.
inline constexpr byte_set data_stops("<&\0");
inline constexpr byte_set rcdata_stops("<&\0");
inline constexpr byte_set rawtext_stops("<\0");  // and script data
inline constexpr byte_set plaintext_stops("\0");
inline constexpr byte_set script_escaped_stops("-<\0");
inline constexpr byte_set tag_name_stops("\t\n\f />\0");
inline constexpr byte_set attribute_name_stops("\t\n\f />=\0");
inline constexpr byte_set double_quoted_value_stops("\"&\0");
inline constexpr byte_set single_quoted_value_stops("'&\0");
inline constexpr byte_set unquoted_value_stops("\t\n\f &>\0");
inline constexpr byte_set bogus_comment_stops(">\0");
inline constexpr byte_set comment_stops("<-\0");
inline constexpr byte_set doctype_name_stops("\t\n\f >\0");
inline constexpr byte_set double_quoted_identifier_stops("\">\0");
inline constexpr byte_set single_quoted_identifier_stops("'>\0");
inline constexpr byte_set cdata_stops("]");

/// The UTF-8 of U+FFFD REPLACEMENT CHARACTER, which stands in for U+0000
/// wherever the HTML standard says so.
inline constexpr std::string_view replacement_character_utf8 = "\xEF\xBF\xBD";

}  // namespace tagweave::html5::tokenizer_bytes
