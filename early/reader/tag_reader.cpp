#include "early/reader/tag_reader.h"

#include "early/reader/char_class.h"
#include "early/reader/char_refs.h"

#include <algorithm>
#include <array>
#include <cstdint>
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

// The lookup is a perfect hash on a name's first eight bytes, folded to
// lower case and packed into one word: every tag of a document is looked up,
// and a word's multiply and one compare cost less than a search of strings.
// Only "plaintext" is longer than eight bytes; its ninth is checked apart.
constexpr std::size_t packed_bytes = 8;
static_assert(longest_tag_name <= packed_bytes + 1);

constexpr std::uint64_t pack_folded(std::string_view name) {
  std::uint64_t word = 0;
  std::size_t bytes = std::min(name.size(), packed_bytes);
  for (std::size_t i = 0; i < bytes; ++i) {
    word |= std::uint64_t{static_cast<unsigned char>(fold_case(name[i]))}
            << (8 * i);
  }
  return word;
}

/// Slots of the hash table: a power of two, several times the names, so
/// that a multiplier without collisions is quickly found.
constexpr unsigned slot_bits = 7;
constexpr std::size_t slot_count = std::size_t{1} << slot_bits;

constexpr std::size_t slot_of(std::uint64_t packed, std::uint64_t multiplier) {
  return static_cast<std::size_t>((packed * multiplier) >> (64 - slot_bits));
}

constexpr bool is_perfect(std::uint64_t multiplier) {
  std::array<bool, slot_count> taken{};
  for (const tag_entry& entry : tag_names) {
    std::size_t slot = slot_of(pack_folded(entry.name), multiplier);
    if (taken[slot]) return false;
    taken[slot] = true;
  }
  return true;
}

/// The first multiplier that gives every name a slot of its own, among odd
/// numbers drawn from a linear congruential sequence (neighbouring numbers
/// would spread the names alike, so counting up would take long).
constexpr std::uint64_t find_multiplier() {
  for (std::uint64_t m = 0x9E3779B97F4A7C15u;;
       m = (m * 6364136223846793005u + 1442695040888963407u) | 1u) {
    if (is_perfect(m)) return m;
  }
}

constexpr std::uint64_t name_multiplier = find_multiplier();

struct name_slot {
  std::uint64_t packed = 0;
  std::string_view name;  // empty: a free slot
  mark_kind kind = M_UNKNOWN;
};

constexpr std::array<name_slot, slot_count> make_name_slots() {
  std::array<name_slot, slot_count> slots{};
  for (const tag_entry& entry : tag_names) {
    std::uint64_t packed = pack_folded(entry.name);
    slots[slot_of(packed, name_multiplier)] = {packed, entry.name, entry.kind};
  }
  return slots;
}

constexpr std::array<name_slot, slot_count> name_slots = make_name_slots();

}  // namespace

std::string_view tag_name(mark_kind kind) {
  for (const tag_entry& entry : tag_names) {
    if (entry.kind == kind) return entry.name;
  }
  return {};
}

mark_kind lookup_tag_name(std::string_view name) {
  if (name.empty() || name.size() > longest_tag_name) return M_UNKNOWN;
  std::uint64_t packed = pack_folded(name);
  const name_slot& slot = name_slots[slot_of(packed, name_multiplier)];
  // Equal packed words and lengths mean equal first eight bytes; a ninth
  // byte is compared on its own.
  if (slot.packed != packed || slot.name.size() != name.size()) {
    return M_UNKNOWN;
  }
  if (name.size() > packed_bytes &&
      fold_case(name[packed_bytes]) != slot.name[packed_bytes]) {
    return M_UNKNOWN;
  }
  return slot.kind;
}

tag_identity identify_tag(std::string_view decoded_text) {
  bool is_end = !decoded_text.empty() && decoded_text.front() == '/';
  std::string_view name = decoded_text.substr(is_end ? 1 : 0);
  std::size_t name_end = 0;
  while (name_end < name.size() && !is_c_space(name[name_end])) ++name_end;
  return {lookup_tag_name(name.substr(0, name_end)), is_end};
}

std::string decoded_name_prefix(std::string_view written,
                                std::size_t last_semicolon) {
  std::string prefix;
  std::size_t at = 0;
  while (at < written.size() && prefix.size() < longest_tag_name + 2) {
    if (is_reference_start(written, at)) {
      bool terminated =
          last_semicolon != std::string_view::npos && last_semicolon > at;
      if (auto ref = decode_reference(written, at, terminated)) {
        prefix.push_back(ref->byte);
        at = ref->resume;
        continue;
      }
    }
    prefix.push_back(written[at++]);
  }
  return prefix;
}

tag_identity identify_written_tag(std::string_view written) {
  // The identity depends on the '/' and the name alone. When no '&' stands
  // among them, the text as written is the decoded text as far as they go.
  bool is_end = !written.empty() && written.front() == '/';
  std::size_t start = is_end ? 1 : 0;
  std::size_t reach = std::min(written.size(), start + longest_tag_name + 1);
  std::size_t at = start;
  for (; at < reach && !is_c_space(written[at]); ++at) {
    if (written[at] == '&') {
      return identify_tag(decoded_name_prefix(written, written.rfind(';')));
    }
  }
  return {lookup_tag_name({written.data() + start, at - start}), is_end};
}

tag_read read_tag(std::string_view text, std::size_t position) {
  if (position >= text.size() || text[position] != '<') {
    return {tag_status::not_a_tag, {}, position};
  }
  // The first '>' ends the tag: quotes, comments and references play no
  // part in finding it.
  std::size_t close = find_byte(text, '>', position + 1);
  if (close == std::string_view::npos) {
    return {tag_status::unterminated, {}, text.size()};
  }
  // Built directly: substr's range check is a call on every tag.
  std::string_view written(text.data() + position + 1, close - position - 1);
  tag_identity identity = identify_written_tag(written);
  return {tag_status::read, mark_view{identity.kind, identity.is_end, written},
          close};
}

mark_up owned_record(const mark_view& view) {
  mark_up record{view.kind, view.is_end, std::string(view.text)};
  if (!view.is_text_run()) decode_entities(record.text);
  return record;
}

}  // namespace tagweave
