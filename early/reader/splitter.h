// Splitting a loaded document into its list of text runs and tags. Example
// and listing content is taken raw up to its end tag, plain-text content to
// the end of the input, and preformatted content keeps its blank runs.
#pragma once

#include "early/reader/char_class.h"
#include "early/reader/mark_up.h"

#include <algorithm>

#include <string>
#include <string_view>

namespace tagweave {

enum class split_status {
  complete,
  unterminated_tag,  ///< a '<' that may begin a tag was never closed
};

struct split_result {
  mark_list marks;  ///< everything read, up to a failure
  split_status status = split_status::complete;
};

/// Splits `source` into mark-up records, handing each to `consumer` as soon
/// as it is read; blank runs outside preformatted text are dropped. Linear in
/// the size of the text, whatever the text. Text runs are decoded where they
/// stand, so `source` is working space: afterwards its contents are
/// unspecified. Nothing is copied, so memory stays that of the text.
split_status split_document(std::string& source, mark_consumer& consumer);

/// Splits a copy of `source` into the list of its mark-up records.
split_result split_document(std::string_view source);

/// True when `rec` is a text run made only of blanks and blanks are not
/// kept: outside preformatted text such runs carry nothing, and the splitter
/// drops them.
/// (Inline: the splitter asks it of every record.)
inline bool is_dropped_blank_run(const mark_view& rec, bool keep_blanks) {
  return !keep_blanks && rec.is_text_run() &&
         std::all_of(rec.text.begin(), rec.text.end(), is_html_blank);
}

}  // namespace tagweave
