// Character references as the HTML standard's tokenizer resolves them: the
// longest named reference at a point of the text, the code point a numeric
// reference stands for, and UTF-8 encoding of the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tagweave::html5 {

/// The longest named character reference at the start of `text`, which
/// begins right after the '&': the HTML standard's named character reference
/// state consumes the most characters that form a name in the table (names
/// include their ';' when the table has it; the legacy names also appear
/// without ';'). length == 0 when no name in the table is a prefix of `text`.
struct named_reference {
  std::size_t length = 0;  ///< bytes of `text` matched, ';' included if matched
  std::string_view replacement;  ///< UTF-8 of the one or two code points
  bool ends_with_semicolon = false;
};
named_reference longest_named_reference(std::string_view text);

/// The code point a numeric character reference with value `value` stands for,
/// per the HTML standard's numeric character reference end state: 0, surrogates
/// and values beyond U+10FFFF become U+FFFD; 0x80-0x9F map as windows-1252 does
/// (the standard's table); everything else (noncharacters, other controls)
/// stays. `value` saturates: callers clamp huge numbers to any value above
/// 0x10FFFF.
char32_t numeric_reference_code_point(std::uint32_t value);

/// Appends the UTF-8 encoding of `code_point` (a scalar value) to `out`.
void append_utf8(std::string& out, char32_t code_point);

}  // namespace tagweave::html5
