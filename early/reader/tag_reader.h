// Reading one tag: from its '<' to the first '>' after it. The kind comes
// from the tag's name alone, looked up case-insensitively in the tag table;
// attributes travel along in the stored text and are never interpreted.
#pragma once

#include "early/reader/mark_up.h"

#include <cstddef>
#include <string>
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

/// The first `longest_tag_name` + 2 bytes of a tag's text as written,
/// decoded as the whole text would decode: enough for identify_tag.
/// `last_semicolon` is the position of the text's last ';' (npos: none),
/// which tells whether a reference is terminated; nothing is read or copied
/// beyond the prefix, so a caller that knows it pays nothing per byte.
std::string decoded_name_prefix(std::string_view written,
                                std::size_t last_semicolon);

/// Identifies a tag from its text as written, references undecoded: the
/// same answer identify_tag gives for the decoded text.
tag_identity identify_written_tag(std::string_view written);

enum class tag_status {
  not_a_tag,     ///< the position does not hold '<'
  unterminated,  ///< no '>' follows before the end of the text
  read,          ///< a tag was read
};

struct tag_read {
  tag_status status;
  mark_view mark;   ///< the tag, when read: a view of its text as written
  std::size_t end;  ///< the '>' (read) or the end of the text (unterminated)
};

/// Reads the tag whose '<' stands at `position` in `text`. The kind is that
/// of the decoded text, but nothing is copied or decoded unless a reference
/// stands in the name.
tag_read read_tag(std::string_view text, std::size_t position);

/// A record that owns its text, a tag's text decoded: what a list keeps.
mark_up owned_record(const mark_view& view);

}  // namespace tagweave
