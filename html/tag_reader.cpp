#include "html/tag_reader.h"

#include "html/char_class.h"
#include "html/char_refs.h"

#include <algorithm>
#include <array>
#include <string>

namespace tagweave {
namespace {

struct tag_entry {
  mark_kind kind;
  std::string_view name;
};

// In ascending kind order, which is the order of the lookup. M_NONE and
// M_UNKNOWN have no name a tag can select.
constexpr std::array<tag_entry, 36> tag_names{{
    {M_TITLE, "title"},
    {M_HEADER_1, "h1"},
    {M_HEADER_2, "h2"},
    {M_HEADER_3, "h3"},
    {M_HEADER_4, "h4"},
    {M_HEADER_5, "h5"},
    {M_HEADER_6, "h6"},
    {M_ANCHOR, "a"},
    {M_PARAGRAPH, "p"},
    {M_ADDRESS, "address"},
    {M_PLAIN_TEXT, "xmp"},
    {M_UNUM_LIST, "ul"},
    {M_LIST_ITEM, "li"},
    {M_DESC_LIST, "dl"},
    {M_DESC_TITLE, "dt"},
    {M_DESC_TEXT, "dd"},
    {M_PREFORMATTED, "pre"},
    {M_PLAIN_REST, "plaintext"},
    {M_LISTING_TEXT, "listing"},
    {M_INDEX, "isindex"},
    {M_MENU, "menu"},
    {M_DIRECTORY, "dir"},
    {M_IMAGE, "img"},
    {M_NUM_LIST, "ol"},
    {M_EMPHASIS, "em"},
    {M_TELETYPE, "tt"},
    {M_BOLD, "b"},
    {M_ITALIC, "i"},
    {M_UNDERLINE, "u"},
    {M_STRONG, "strong"},
    {M_CODE, "code"},
    {M_SAMPLE, "samp"},
    {M_KEYBOARD, "kbd"},
    {M_VARIABLE, "var"},
    {M_DEFINITION, "dfn"},
    {M_CITATION, "cite"},
}};

// The names are distinct, so the first match in kind order is the only
// match: an index sorted by name finds it by binary search.
constexpr std::array<tag_entry, tag_names.size()> make_name_index() {
  std::array<tag_entry, tag_names.size()> index = tag_names;
  std::sort(
      index.begin(), index.end(),
      [](const tag_entry& a, const tag_entry& b) { return a.name < b.name; });
  return index;
}

constexpr std::array<tag_entry, tag_names.size()> name_index =
    make_name_index();

constexpr std::size_t longest_name_in_table() {
  std::size_t longest = 0;
  for (const tag_entry& entry : tag_names) {
    longest = std::max(longest, entry.name.size());
  }
  return longest;
}
// Names longer than this are rejected unread, and the end-tag search decodes
// no more than this: it must be the table's longest name exactly.
static_assert(longest_tag_name == longest_name_in_table());

}  // namespace

std::string_view tag_name(mark_kind kind) {
  for (const tag_entry& entry : tag_names) {
    if (entry.kind == kind) return entry.name;
  }
  return {};
}

mark_kind lookup_tag_name(std::string_view name) {
  if (name.empty() || name.size() > longest_tag_name) return M_UNKNOWN;
  std::array<char, longest_tag_name> buffer{};
  std::transform(name.begin(), name.end(), buffer.begin(), fold_case);
  std::string_view lowered(buffer.data(), name.size());
  const auto* found =
      std::lower_bound(name_index.begin(), name_index.end(), lowered,
                       [](const tag_entry& entry, std::string_view key) {
                         return entry.name < key;
                       });
  if (found != name_index.end() && found->name == lowered) return found->kind;
  return M_UNKNOWN;
}

tag_identity identify_tag(std::string_view decoded_text) {
  bool is_end = !decoded_text.empty() && decoded_text.front() == '/';
  std::string_view name = decoded_text.substr(is_end ? 1 : 0);
  std::size_t name_end = 0;
  while (name_end < name.size() && !is_c_space(name[name_end])) ++name_end;
  return {lookup_tag_name(name.substr(0, name_end)), is_end};
}

tag_read read_tag(std::string_view text, std::size_t position) {
  if (position >= text.size() || text[position] != '<') {
    return {tag_status::not_a_tag, {}, position};
  }
  // The first '>' ends the tag: quotes, comments and references play no
  // part in finding it.
  std::size_t close = text.find('>', position + 1);
  if (close == std::string_view::npos) {
    return {tag_status::unterminated, {}, text.size()};
  }
  mark_up mark;
  mark.text.assign(text.substr(position + 1, close - position - 1));
  decode_entities(mark.text);
  tag_identity identity = identify_tag(mark.text);
  mark.kind = identity.kind;
  mark.is_end = identity.is_end;
  return {tag_status::read, std::move(mark), close};
}

}  // namespace tagweave
