// Character tests on a page's text and attribute values that the writer's
// files share: HTML's white space, ASCII case and space-separated tokens.
#pragma once

#include <cstddef>
#include <string_view>

namespace tagweave::latex2e {

/// ASCII white space as HTML means it: what collapses between words and
/// separates the tokens of a class or role attribute.
inline bool is_html_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

inline char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Equal but for the case of ASCII letters.
inline bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

/// Calls `f` with each token of a space-separated list until it returns
/// true; whether one did.
template <typename F>
bool any_token(std::string_view list, F&& f) {
  std::size_t at = 0;
  while (at < list.size()) {
    while (at < list.size() && is_html_space(list[at])) ++at;
    std::size_t end = at;
    while (end < list.size() && !is_html_space(list[end])) ++end;
    if (end > at && f(list.substr(at, end - at))) return true;
    at = end;
  }
  return false;
}

}  // namespace tagweave::latex2e
