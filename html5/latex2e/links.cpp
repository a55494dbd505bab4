// Classifying links by their scheme, as the URL standard's parser finds it.
#include "html5/latex2e/links.h"

#include "html5/latex2e/html_text.h"

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

/// `url` without a leading "scheme:" (and the "//" after it) and a final
/// "/", as a reader recognizes the same address.
std::string_view bare_address(std::string_view url) {
  std::size_t colon = url.find(':');
  if (colon != std::string_view::npos && colon > 0 &&
      is_ascii_letter(url.front())) {
    bool scheme = true;
    for (std::size_t i = 1; i < colon && scheme; ++i) {
      scheme = is_scheme_character(url[i]);
    }
    if (scheme) url.remove_prefix(colon + 1);
  }
  while (url.substr(0, 1) == "/") url.remove_prefix(1);
  if (url.size() > 1 && url.back() == '/') url.remove_suffix(1);
  return url;
}

}  // namespace

std::optional<std::string_view> own_page_fragment(std::string_view clean_href,
                                                  std::string_view page_file) {
  std::size_t hash = clean_href.find('#');
  if (page_file.empty() || hash == std::string_view::npos ||
      hash + 1 == clean_href.size()) {
    return std::nullopt;
  }
  std::string_view path = clean_href.substr(0, hash);
  while (path.substr(0, 2) == "./") path.remove_prefix(2);
  if (path != page_file) return std::nullopt;
  return clean_href.substr(hash + 1);
}

bool text_shows_url(std::string_view text, std::string_view clean_href) {
  return equal_ignoring_case(bare_address(text), bare_address(clean_href));
}

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
