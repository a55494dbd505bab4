// The tokenizer's character reference states: named references (longest
// match, with the rule that keeps legacy names in attribute values as they
// stand), the ambiguous ampersand, and decimal and hexadecimal references.
// What a reference stands for goes to the attribute value when one is being
// read, else into the text.
#include "html5/tokenizer/tokenizer.h"

#include "html5/tokenizer/char_refs.h"
#include "html5/tokenizer/tokenizer_bytes.h"

#include <algorithm>

namespace tagweave::html5 {

using namespace tokenizer_bytes;
namespace {

/// Any value above U+10FFFF stands for U+FFFD, so digits are read with the
/// value clamped to this one: a million digits can neither wrap around nor
/// overflow.
constexpr std::uint32_t beyond_last_code_point = 0x110000;

std::uint32_t hex_digit_value(char c) {
  if (is_ascii_digit(c)) return static_cast<std::uint32_t>(c - '0');
  return static_cast<std::uint32_t>(to_ascii_lower(c) - 'a' + 10);
}

}  // namespace

/// Entered after the '&'.
void tokenizer::character_reference_state() {
  if (!at_end() && is_ascii_alphanumeric(current())) {
    named_character_reference();
  } else if (!at_end() && current() == '#') {
    ++pos_;
    numeric_character_reference();
  } else {
    flush_reference_text("&");
  }
  state_ = return_state_;
}

/// The named character reference state, and the ambiguous ampersand state
/// it may go on to, as one step.
void tokenizer::named_character_reference() {
  // The table's longest name bounds how far this looks.
  named_reference match = longest_named_reference(input_.substr(pos_));
  if (match.length == 0) {
    // The ambiguous ampersand state: letters and digits go through as they
    // stand (a ';' after them is unknown-named-character-reference).
    std::size_t start = pos_;
    while (!at_end() && is_ascii_alphanumeric(current())) ++pos_;
    flush_reference_text("&");
    flush_reference_text(input_.substr(start, pos_ - start));
    return;
  }
  std::string_view name = input_.substr(pos_, match.length);
  pos_ += match.length;
  // For compatibility, a legacy name without ';' in an attribute value that
  // goes on with '=' or a letter or digit (a URL's query, say) stays text.
  bool kept_as_written = in_attribute_value() && !match.ends_with_semicolon &&
                         !at_end() &&
                         (current() == '=' || is_ascii_alphanumeric(current()));
  if (kept_as_written) {
    flush_reference_text("&");
    flush_reference_text(name);
    return;
  }
  // missing-semicolon-after-character-reference unless it ends with ';'.
  flush_reference_text(match.replacement);
}

/// The numeric character reference state and the states it leads to, entered
/// after "&#": the hexadecimal or decimal start state, the digits, and the
/// numeric character reference end state.
void tokenizer::numeric_character_reference() {
  std::size_t reference_start = pos_ - 2;  // the '&'
  bool hexadecimal = !at_end() && (current() == 'x' || current() == 'X');
  if (hexadecimal) ++pos_;
  std::uint32_t base = hexadecimal ? 16 : 10;
  std::size_t digits_start = pos_;
  std::uint32_t value = 0;
  while (!at_end() && (hexadecimal ? is_ascii_hex_digit(current())
                                   : is_ascii_digit(current()))) {
    value = std::min(value * base + hex_digit_value(consume()),
                     beyond_last_code_point);
  }
  if (pos_ == digits_start) {
    // absence-of-digits-in-numeric-character-reference: "&#" or "&#x" stay.
    flush_reference_text(
        input_.substr(reference_start, pos_ - reference_start));
    return;
  }
  // Without ';': missing-semicolon-after-character-reference.
  if (!at_end() && current() == ';') ++pos_;
  std::string& target =
      in_attribute_value() ? attribute_value() : pending_text_buffer();
  append_utf8(target, numeric_reference_code_point(value));
}

void tokenizer::flush_reference_text(std::string_view text) {
  if (in_attribute_value()) {
    attribute_value().append(text);
  } else {
    emit_text(text);
  }
}

}  // namespace tagweave::html5
