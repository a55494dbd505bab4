// The token dump: the tokens of a document, one a line, each a JSON array
// written as html5lib-tests' tokenizer files write their expected output, so
// that a dump can be compared with the suite and read by people
// (tagweave-dump --html5-tokens).
#pragma once

#include "html5/tokenizer/token.h"
#include "html5/tokenizer/tokenizer.h"

#include <string>
#include <string_view>

namespace tagweave::html5 {

/// Appends `text` as a JSON string: '"', '\\' and control characters
/// escaped, everything else (UTF-8 included) as it stands.
void append_json_string(std::string& out, std::string_view text);

/// Appends the line of `t`: ["DOCTYPE", name, public_id, system_id,
/// correctness], ["StartTag", name, {attributes}] (with a fourth element
/// true when self-closing), ["EndTag", name], ["Comment", data] or
/// ["Character", data]. End of file has no line.
void append_token_line(std::string& out, const token& t);

/// Tokenizes `input` (the input stream as UTF-8; newlines are normalized here
/// as the HTML standard's preprocessing does) from `start`, with
/// `last_start_tag` as the last start tag's name (empty: none), and appends
/// one line per token, adjacent character tokens merged.
void dump_tokens(std::string_view input, tokenizer_state start,
                 std::string_view last_start_tag, std::string& out);

}  // namespace tagweave::html5
