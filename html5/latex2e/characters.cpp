#include "html5/latex2e/characters.h"

#include <algorithm>
#include <iterator>

namespace tagweave::latex2e {
namespace {

#include "html5/latex2e/char_table.inc"

constexpr bool strictly_increasing(std::span<const character_entry> table) {
  return std::adjacent_find(
             table.begin(), table.end(),
             [](const character_entry& a, const character_entry& b) {
               return a.code_point >= b.code_point;
             }) == table.end();
}

// The binary search below relies on it.
static_assert(strictly_increasing(character_table),
              "html5/latex2e/char_table.inc is not sorted by code point");

}  // namespace

std::optional<std::string_view> latex_for_character(char32_t code_point) {
  const auto* found = std::lower_bound(
      std::begin(character_table), std::end(character_table), code_point,
      [](const character_entry& entry, char32_t wanted) {
        return entry.code_point < wanted;
      });
  if (found == std::end(character_table) || found->code_point != code_point) {
    return std::nullopt;
  }
  return found->latex;
}

std::span<const character_entry> character_entries() { return character_table; }

}  // namespace tagweave::latex2e
