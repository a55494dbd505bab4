// The tokenizer's DOCTYPE states: the name, the PUBLIC and SYSTEM keywords
// and their quoted identifiers, and the force-quirks flag that every
// malformed DOCTYPE but one (junk after the system identifier) sets.
#include "html5/tokenizer/tokenizer.h"

#include "html5/tokenizer/tokenizer_bytes.h"

#include <algorithm>

namespace tagweave::html5 {

using namespace tokenizer_bytes;
namespace {

bool is_quote(char c) { return c == '"' || c == '\''; }

}  // namespace

void tokenizer::doctype_state() {
  if (at_end()) {  // eof-in-doctype
    start_doctype();
    return eof_in_doctype();
  }
  // Anything but white space is reconsumed in the next state (the error
  // missing-whitespace-before-doctype-name, unless it is '>').
  if (is_tokenizer_whitespace(current())) ++pos_;
  state_ = state::before_doctype_name;
}

void tokenizer::before_doctype_name_state() {
  bool ended = skip_whitespace();
  start_doctype();
  if (ended) return eof_in_doctype();
  if (current() == '>') {  // missing-doctype-name
    ++pos_;
    return emit_doctype_with_force_quirks();
  }
  // The doctype name state treats the first character as the HTML standard's
  // before DOCTYPE name state would: lower-cased, or U+FFFD for U+0000.
  current_.has_name = true;
  state_ = state::doctype_name;
}

void tokenizer::doctype_name_state() {
  append_lowercase(current_.name, consume_run(doctype_name_stops));
  if (at_end()) return eof_in_doctype();
  char c = consume();
  if (c == '>') {
    emit_doctype();
  } else if (c == '\0') {  // unexpected-null-character
    current_.name.append(replacement_character_utf8);
  } else {
    state_ = state::after_doctype_name;
  }
}

void tokenizer::after_doctype_name_state() {
  if (skip_whitespace()) return eof_in_doctype();
  if (current() == '>') {
    ++pos_;
    emit_doctype();
  } else if (consume_if_next("public", true)) {
    state_ = state::after_doctype_public_keyword;
  } else if (consume_if_next("system", true)) {
    state_ = state::after_doctype_system_keyword;
  } else {  // invalid-character-sequence-after-doctype-name
    current_.force_quirks = true;
    state_ = state::bogus_doctype;
  }
}

/// The after DOCTYPE public keyword and after DOCTYPE system keyword states.
void tokenizer::after_doctype_keyword_state(bool is_public) {
  if (at_end()) return eof_in_doctype();
  char c = current();
  if (is_tokenizer_whitespace(c)) {
    ++pos_;
    state_ = is_public ? state::before_doctype_public_identifier
                       : state::before_doctype_system_identifier;
  } else {
    // A quote right after the keyword is missing-whitespace-after-doctype-
    // public-keyword (or -system-keyword), and otherwise the same as after
    // white space.
    before_doctype_identifier_state(is_public);
  }
}

/// The before DOCTYPE public identifier and before DOCTYPE system identifier
/// states.
void tokenizer::before_doctype_identifier_state(bool is_public) {
  if (skip_whitespace()) return eof_in_doctype();
  char c = current();
  if (is_quote(c)) {
    ++pos_;
    start_doctype_identifier(is_public, c);
  } else if (c == '>') {  // missing-doctype-public (or system) -identifier
    ++pos_;
    emit_doctype_with_force_quirks();
  } else {  // missing-quote-before-doctype-public (or system) -identifier
    current_.force_quirks = true;
    state_ = state::bogus_doctype;
  }
}

/// The four DOCTYPE public and system identifier (double- and single-quoted)
/// states.
void tokenizer::doctype_identifier_state(bool is_public, char quote) {
  std::string& id = is_public ? current_.public_id : current_.system_id;
  id.append(consume_run(quote == '"' ? double_quoted_identifier_stops
                                     : single_quoted_identifier_stops));
  if (at_end()) return eof_in_doctype();
  char c = consume();
  if (c == quote) {
    state_ = is_public ? state::after_doctype_public_identifier
                       : state::after_doctype_system_identifier;
  } else if (c == '>') {  // abrupt-doctype-public (or system) -identifier
    emit_doctype_with_force_quirks();
  } else {  // U+0000: unexpected-null-character
    id.append(replacement_character_utf8);
  }
}

void tokenizer::after_doctype_public_identifier_state() {
  if (at_end()) return eof_in_doctype();
  if (is_tokenizer_whitespace(current())) {
    ++pos_;
    state_ = state::between_doctype_public_and_system_identifiers;
  } else {
    // A quote here is missing-whitespace-between-doctype-public-and-system-
    // identifiers, and otherwise the same as after white space.
    between_doctype_identifiers_state();
  }
}

void tokenizer::between_doctype_identifiers_state() {
  if (skip_whitespace()) return eof_in_doctype();
  char c = current();
  if (c == '>') {
    ++pos_;
    emit_doctype();
  } else if (is_quote(c)) {
    ++pos_;
    start_doctype_identifier(false, c);
  } else {  // missing-quote-before-doctype-system-identifier
    current_.force_quirks = true;
    state_ = state::bogus_doctype;
  }
}

void tokenizer::after_doctype_system_identifier_state() {
  if (skip_whitespace()) return eof_in_doctype();
  if (current() == '>') {
    ++pos_;
    emit_doctype();
  } else {
    // unexpected-character-after-doctype-system-identifier: the one error
    // that leaves force-quirks off.
    state_ = state::bogus_doctype;
  }
}

void tokenizer::bogus_doctype_state() {
  // Everything up to '>' is ignored, U+0000 included.
  pos_ = std::min(input_.find('>', pos_), input_.size());
  if (at_end()) {
    emit_current();
    return emit_end_of_file();
  }
  ++pos_;
  emit_doctype();
}

void tokenizer::start_doctype_identifier(bool is_public, char quote) {
  if (is_public) {
    current_.has_public_id = true;
    current_.public_id.clear();
    state_ = quote == '"' ? state::doctype_public_identifier_double_quoted
                          : state::doctype_public_identifier_single_quoted;
  } else {
    current_.has_system_id = true;
    current_.system_id.clear();
    state_ = quote == '"' ? state::doctype_system_identifier_double_quoted
                          : state::doctype_system_identifier_single_quoted;
  }
}

void tokenizer::emit_doctype() {
  state_ = state::data;
  emit_current();
}

/// eof-in-doctype: the DOCTYPE so far with force-quirks on, then the end of
/// the file.
void tokenizer::eof_in_doctype() {
  current_.force_quirks = true;
  emit_current();
  emit_end_of_file();
}

}  // namespace tagweave::html5
