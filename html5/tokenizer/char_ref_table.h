// The generated data behind html5/tokenizer/char_refs.h, visible to its tests:
// the named character references and the numeric references' table for
// 0x80-0x9F. Regenerate with html5/tokenizer/make_char_ref_table.py.
#pragma once

#include <cstddef>
#include <string_view>

namespace tagweave::html5 {

struct char_ref_entry {
  std::string_view name;  ///< without the '&'; ';' included if it has one
  std::string_view replacement;  ///< UTF-8
};

#include "html5/tokenizer/char_ref_table.inc"

}  // namespace tagweave::html5
