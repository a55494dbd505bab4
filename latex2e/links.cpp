// Classifying links by their scheme, as the URL standard's parser finds it.
#include "latex2e/links.h"

#include <array>

namespace tagweave::latex2e {
namespace {

bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_scheme_character(char c) {
  return is_ascii_letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
         c == '.';
}

/// The URL standard strips these from both ends of a URL...
bool is_strippable(char c) { return static_cast<unsigned char>(c) <= 0x20; }

/// ...and removes these from anywhere inside it.
bool is_removable(char c) { return c == '\t' || c == '\n' || c == '\r'; }

/// The schemes written as links: the web's, mail and file transfer.
bool is_allowed_scheme(std::string_view scheme) {
  static constexpr std::array<std::string_view, 4> allowed = {"http", "https",
                                                              "ftp", "mailto"};
  for (std::string_view name : allowed) {
    if (scheme.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      same = (scheme[i] | 0x20) == name[i];
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

std::string cleaned_href(std::string_view href) {
  while (!href.empty() && is_strippable(href.front())) href.remove_prefix(1);
  while (!href.empty() && is_strippable(href.back())) href.remove_suffix(1);
  std::string clean;
  clean.reserve(href.size());
  for (char c : href) {
    if (!is_removable(c)) clean += c;
  }
  return clean;
}

link_kind classify_link(std::string_view href) {
  std::string clean = cleaned_href(href);
  if (clean.empty()) return link_kind::text;
  if (clean.front() == '#') {
    return clean.size() > 1 ? link_kind::in_page : link_kind::text;
  }
  // A scheme is a letter, then letters, digits, "+", "-" or ".", then ":".
  // Without one the URL is relative, whatever colons come later.
  if (!is_ascii_letter(clean.front())) return link_kind::relative;
  std::size_t end = 1;
  while (end < clean.size() && is_scheme_character(clean[end])) ++end;
  if (end == clean.size() || clean[end] != ':') return link_kind::relative;
  return is_allowed_scheme(std::string_view(clean).substr(0, end))
             ? link_kind::web
             : link_kind::text;
}

}  // namespace tagweave::latex2e
