#include "html/mark_up.h"

#include "html/char_class.h"

#include <algorithm>

namespace tagweave {
namespace {

/// True when `text` holds only tabs, line feeds and spaces (or nothing).
bool is_blank_run(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return is_html_blank(c); });
}

}  // namespace

bool is_dropped_blank_run(const mark_up& rec, bool keep_blanks) {
  return !keep_blanks && rec.is_text_run() && is_blank_run(rec.text);
}

}  // namespace tagweave
