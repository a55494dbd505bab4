#include "cli/hints.h"

#include <algorithm>
#include <cctype>

namespace tagweave {
namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

void skip_spaces(std::string_view& text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
}

/// Removes `word` from the start of `text`, ASCII case ignored; false (and
/// `text` unchanged) when it is not there.
bool take_word(std::string_view& text, std::string_view word) {
  if (text.size() < word.size()) return false;
  bool same = std::equal(
      word.begin(), word.end(), text.begin(), [](char expected, char c) {
        return std::tolower(static_cast<unsigned char>(c)) == expected;
      });
  if (same) text.remove_prefix(word.size());
  return same;
}

}  // namespace

bool looks_like_tex_file(std::string_view style) {
  return style.ends_with(".tex");
}

bool declares_html5_doctype(std::string_view page) {
  constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
  if (page.starts_with(utf8_bom)) page.remove_prefix(utf8_bom.size());
  skip_spaces(page);
  if (!take_word(page, "<!doctype")) return false;
  std::size_t before = page.size();
  skip_spaces(page);
  if (page.size() == before || !take_word(page, "html")) return false;
  skip_spaces(page);
  return page.starts_with('>');
}

}  // namespace tagweave
