// Reading one tag: from its '<' to the first '>' after it. The kind comes
// from the tag's name alone, looked up case-insensitively in the tag table;
// attributes travel along in the stored text and are never interpreted.
#pragma once

#include "html/mark_up.h"

#include <cstddef>
#include <string_view>

namespace tagweave {

/// The lowercase tag name that selects `kind`, or the empty view for kinds
/// that no tag selects (M_NONE, M_UNKNOWN).
std::string_view tag_name(mark_kind kind);

/// The kind whose tag name equals `name` without regard to ASCII case;
/// M_UNKNOWN when none does (the empty name included).
mark_kind lookup_tag_name(std::string_view name);

/// The longest name in the tag table: a longer name can select nothing.
inline constexpr std::size_t longest_tag_name = 9;

/// What a tag's decoded text says about it: its kind and whether it is an
/// end tag (text beginning with '/', the name starting after it).
struct tag_identity {
  mark_kind kind;
  bool is_end;
};

/// Identifies a tag from its decoded text, or from a decoded prefix of it
/// that reaches past the end of the name or holds more than
/// `longest_tag_name` + 1 name characters.
tag_identity identify_tag(std::string_view decoded_text);

enum class tag_status {
  not_a_tag,     ///< the position does not hold '<'
  unterminated,  ///< no '>' follows before the end of the text
  read,          ///< a tag was read
};

struct tag_read {
  tag_status status;
  mark_up mark;     ///< the tag, when read
  std::size_t end;  ///< the '>' (read) or the end of the text (unterminated)
};

/// Reads the tag whose '<' stands at `position` in `text`. The tag text is
/// copied and its character references decoded before anything looks at it.
tag_read read_tag(std::string_view text, std::size_t position);

}  // namespace tagweave
