// Small character and token tests the tree builder's files share.
#pragma once

#include "html5/tokenizer/token.h"

#include <cstddef>
#include <string_view>

namespace tagweave::html5 {

/// ASCII whitespace as the HTML standard's tree construction means it.
inline bool is_tree_whitespace(char c) {
  return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

/// The length of the run of whitespace that starts `text`.
inline std::size_t leading_whitespace(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && is_tree_whitespace(text[n])) ++n;
  return n;
}

inline bool has_non_whitespace(std::string_view text) {
  for (char c : text) {
    if (!is_tree_whitespace(c)) return true;
  }
  return false;
}

/// ASCII case-insensitive comparison with a lowercase string.
inline bool equals_ignoring_case(std::string_view s,
                                 std::string_view lowercase) {
  if (s.size() != lowercase.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowercase[i]) return false;
  }
  return true;
}

/// Whether an <input> token is type=hidden: it keeps frameset-ok and may
/// stay inside a table.
inline bool is_hidden_input(const token& t) {
  for (const attribute& a : t.attributes) {
    if (a.name == "type") return equals_ignoring_case(a.value, "hidden");
  }
  return false;
}

inline bool is_start(const token& t) { return t.kind == token_kind::start_tag; }
inline bool is_end(const token& t) { return t.kind == token_kind::end_tag; }

}  // namespace tagweave::html5
