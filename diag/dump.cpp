#include "diag/dump.h"

#include <array>
#include <string>
#include <string_view>

namespace tagweave {
namespace {

// Names by kind value. The dump has always shown the preformatted and
// plain-rest kinds, and the kinds from the ordered list on, by number; the
// gaps keep that output stable for anyone who compares dumps.
constexpr std::array<std::string_view, 25> kind_names{
    "",
    "M_NONE",
    "M_TITLE",
    "M_HEADER_1",
    "M_HEADER_2",
    "M_HEADER_3",
    "M_HEADER_4",
    "M_HEADER_5",
    "M_HEADER_6",
    "M_ANCHOR",
    "M_PARAGRAPH",
    "M_ADDRESS",
    "M_PLAIN_TEXT",
    "M_UNUM_LIST",
    "M_LIST_ITEM",
    "M_DESC_LIST",
    "M_DESC_TITLE",
    "M_DESC_TEXT",
    "",
    "",
    "M_LISTING_TEXT",
    "M_INDEX",
    "M_MENU",
    "M_DIRECTORY",
    "M_IMAGE",
};

}  // namespace

void print_kind(byte_sink& dest, std::uint32_t kind) {
  if (kind < kind_names.size() && !kind_names[kind].empty()) {
    dest.write(kind_names[kind]);
    return;
  }
  dest.write("UNKNOWN ");
  dest.write(std::to_string(kind));
}

void dump_marks(byte_sink& dest, const mark_list& marks) {
  for (const mark_up& mark : marks) {
    print_kind(dest, mark.kind);
    dest.write(mark.is_end ? " END\n" : " START\n");
    if (mark.is_text_run()) {
      dest.write("{\n\t");
      dest.write(mark.text);
      dest.write("}\n");
    }
  }
}

}  // namespace tagweave
