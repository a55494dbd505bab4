// The tokenizer's driver, its emission of tokens, and the states of text and
// tag names. Attributes, script data, comments, DOCTYPE and character
// references have their own files (tokenizer_*.cpp).
#include "html5/tokenizer/tokenizer.h"

#include "html5/tokenizer/tokenizer_bytes.h"

#include <functional>

namespace tagweave::html5 {

using namespace tokenizer_bytes;
namespace {

struct named_state {
  std::string_view name;
  tokenizer_state state;
};

constexpr named_state state_names[] = {
    {"Data state", tokenizer_state::data},
    {"PLAINTEXT state", tokenizer_state::plaintext},
    {"RCDATA state", tokenizer_state::rcdata},
    {"RAWTEXT state", tokenizer_state::rawtext},
    {"Script data state", tokenizer_state::script_data},
    {"CDATA section state", tokenizer_state::cdata_section},
};

}  // namespace

std::optional<tokenizer_state> tokenizer_state_named(std::string_view name) {
  for (const named_state& s : state_names) {
    if (s.name == name) return s.state;
  }
  return std::nullopt;
}

tokenizer::tokenizer(std::string_view input, token_sink& sink)
    : input_(input), sink_(sink) {
  text_.kind = token_kind::characters;
}

void tokenizer::set_state(tokenizer_state s) {
  switch (s) {
    case tokenizer_state::data: state_ = state::data; break;
    case tokenizer_state::rcdata: state_ = state::rcdata; break;
    case tokenizer_state::rawtext: state_ = state::rawtext; break;
    case tokenizer_state::script_data: state_ = state::script_data; break;
    case tokenizer_state::plaintext: state_ = state::plaintext; break;
    case tokenizer_state::cdata_section: state_ = state::cdata_section; break;
  }
}

void tokenizer::set_last_start_tag(std::string_view name) {
  last_start_tag_.assign(name);
}

void tokenizer::set_cdata_allowed(bool allowed) { cdata_allowed_ = allowed; }

void tokenizer::run() {
  while (!finished_) step();
}

// --- Reading the input ---

std::string_view tokenizer::consume_run(const byte_set& stops) {
  const char* begin = input_.data() + pos_;
  const char* end = input_.data() + input_.size();
  const char* p = begin;
  while (p != end && !stops.contains(*p)) ++p;
  auto length = static_cast<std::size_t>(p - begin);
  pos_ += length;
  return {begin, length};
}

bool tokenizer::skip_whitespace() {
  while (!at_end() && is_tokenizer_whitespace(current())) ++pos_;
  return at_end();
}

bool tokenizer::consume_if_next(std::string_view text, bool any_case) {
  if (input_.size() - pos_ < text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = input_[pos_ + i];
    if ((any_case ? to_ascii_lower(c) : c) != text[i]) return false;
  }
  pos_ += text.size();
  return true;
}

// --- Emitting ---

void tokenizer::emit_replacement_character() {
  emit_text(replacement_character_utf8);
}

bool tokenizer::is_in_input(std::string_view text) const {
  // std::less orders pointers into different objects too.
  std::less<const char*> before;
  return !before(text.data(), input_.data()) &&
         !before(input_.data() + input_.size(), text.data() + text.size());
}

void tokenizer::emit_text(std::string_view text) {
  if (text.empty()) return;
  if (text_.data.empty() && is_in_input(text)) {
    if (pending_run_.empty()) {
      pending_run_ = text;
      return;
    }
    if (pending_run_.data() + pending_run_.size() == text.data()) {
      pending_run_ = {pending_run_.data(), pending_run_.size() + text.size()};
      return;
    }
  }
  pending_text_buffer().append(text);
}

std::string& tokenizer::pending_text_buffer() {
  if (!pending_run_.empty()) {
    text_.data.assign(pending_run_);
    pending_run_ = {};
  }
  return text_.data;
}

void tokenizer::flush_text() {
  if (pending_run_.empty() && text_.data.empty()) return;
  text_.kind = token_kind::characters;
  text_.characters =
      pending_run_.empty() ? std::string_view(text_.data) : pending_run_;
  sink_.take(text_);
  text_.data.clear();
  pending_run_ = {};
}

void tokenizer::emit_current() {
  flush_text();
  sink_.take(current_);
}

void tokenizer::emit_tag() {
  // The state changes before the sink sees the tag, so that a tree builder
  // switching to RCDATA after <title> has the last word.
  state_ = state::data;
  drop_duplicate_attribute();
  if (current_.kind == token_kind::start_tag) last_start_tag_ = current_.name;
  emit_current();
}

void tokenizer::emit_end_of_file() {
  flush_text();
  current_.kind = token_kind::end_of_file;
  current_.name.clear();
  current_.attributes.clear();
  current_.data.clear();
  sink_.take(current_);
  finished_ = true;
}

void tokenizer::start_tag_token(token_kind kind) {
  current_.kind = kind;
  current_.name.clear();
  current_.attributes.clear();
  current_.self_closing = false;
  current_.data.clear();
  attribute_is_duplicate_ = false;
  attribute_names_.clear();
}

void tokenizer::start_comment(std::string_view data) {
  current_.kind = token_kind::comment;
  current_.name.clear();
  current_.attributes.clear();
  current_.data.assign(data);
}

void tokenizer::start_doctype() {
  current_.kind = token_kind::doctype;
  current_.name.clear();
  current_.has_name = false;
  current_.has_public_id = false;
  current_.has_system_id = false;
  current_.public_id.clear();
  current_.system_id.clear();
  current_.force_quirks = false;
}

void tokenizer::emit_doctype_with_force_quirks() {
  current_.force_quirks = true;
  state_ = state::data;
  emit_current();
}

// --- The states ---

void tokenizer::step() {
  switch (state_) {
    case state::data:
    case state::rcdata:
    case state::rawtext:
    case state::script_data:
    case state::plaintext: text_state(state_); break;
    case state::tag_open: tag_open_state(); break;
    case state::end_tag_open: end_tag_open_state(); break;
    case state::tag_name: tag_name_state(); break;
    case state::rcdata_less_than_sign:
      text_less_than_sign_state(state::rcdata);
      break;
    case state::rawtext_less_than_sign:
      text_less_than_sign_state(state::rawtext);
      break;
    case state::script_data_less_than_sign:
      script_data_less_than_sign_state();
      break;
    case state::script_data_escape_start:
      script_data_escape_start_state(state::script_data_escape_start_dash);
      break;
    case state::script_data_escape_start_dash:
      script_data_escape_start_state(state::script_data_escaped_dash_dash);
      break;
    case state::script_data_escaped:
    case state::script_data_escaped_dash:
    case state::script_data_escaped_dash_dash:
      script_data_escaped_state(state_);
      break;
    case state::script_data_escaped_less_than_sign:
      script_data_escaped_less_than_sign_state();
      break;
    case state::script_data_double_escaped:
    case state::script_data_double_escaped_dash:
    case state::script_data_double_escaped_dash_dash:
      script_data_double_escaped_state(state_);
      break;
    case state::script_data_double_escaped_less_than_sign:
      script_data_double_escaped_less_than_sign_state();
      break;
    case state::before_attribute_name: before_attribute_name_state(); break;
    case state::attribute_name: attribute_name_state(); break;
    case state::after_attribute_name: after_attribute_name_state(); break;
    case state::before_attribute_value: before_attribute_value_state(); break;
    case state::attribute_value_double_quoted:
      attribute_value_quoted_state('"');
      break;
    case state::attribute_value_single_quoted:
      attribute_value_quoted_state('\'');
      break;
    case state::attribute_value_unquoted:
      attribute_value_unquoted_state();
      break;
    case state::after_attribute_value_quoted:
      after_attribute_value_quoted_state();
      break;
    case state::self_closing_start_tag: self_closing_start_tag_state(); break;
    case state::bogus_comment: bogus_comment_state(); break;
    case state::markup_declaration_open: markup_declaration_open_state(); break;
    case state::comment_start: comment_start_state(); break;
    case state::comment_start_dash: comment_start_dash_state(); break;
    case state::comment: comment_state(); break;
    case state::comment_less_than_sign: comment_less_than_sign_state(); break;
    case state::comment_less_than_sign_bang:
      comment_less_than_sign_bang_state();
      break;
    case state::comment_less_than_sign_bang_dash:
      comment_less_than_sign_bang_dash_state();
      break;
    case state::comment_less_than_sign_bang_dash_dash:
      comment_less_than_sign_bang_dash_dash_state();
      break;
    case state::comment_end_dash: comment_end_dash_state(); break;
    case state::comment_end: comment_end_state(); break;
    case state::comment_end_bang: comment_end_bang_state(); break;
    case state::doctype: doctype_state(); break;
    case state::before_doctype_name: before_doctype_name_state(); break;
    case state::doctype_name: doctype_name_state(); break;
    case state::after_doctype_name: after_doctype_name_state(); break;
    case state::after_doctype_public_keyword:
      after_doctype_keyword_state(true);
      break;
    case state::before_doctype_public_identifier:
      before_doctype_identifier_state(true);
      break;
    case state::doctype_public_identifier_double_quoted:
      doctype_identifier_state(true, '"');
      break;
    case state::doctype_public_identifier_single_quoted:
      doctype_identifier_state(true, '\'');
      break;
    case state::after_doctype_public_identifier:
      after_doctype_public_identifier_state();
      break;
    case state::between_doctype_public_and_system_identifiers:
      between_doctype_identifiers_state();
      break;
    case state::after_doctype_system_keyword:
      after_doctype_keyword_state(false);
      break;
    case state::before_doctype_system_identifier:
      before_doctype_identifier_state(false);
      break;
    case state::doctype_system_identifier_double_quoted:
      doctype_identifier_state(false, '"');
      break;
    case state::doctype_system_identifier_single_quoted:
      doctype_identifier_state(false, '\'');
      break;
    case state::after_doctype_system_identifier:
      after_doctype_system_identifier_state();
      break;
    case state::bogus_doctype: bogus_doctype_state(); break;
    case state::cdata_section: cdata_section_state(); break;
    case state::cdata_section_bracket: cdata_section_bracket_state(); break;
    case state::cdata_section_end: cdata_section_end_state(); break;
    case state::character_reference: character_reference_state(); break;
  }
}

/// The data, RCDATA, RAWTEXT, script data and PLAINTEXT states: a run of
/// text, then the one byte that ends it.
void tokenizer::text_state(state self) {
  const byte_set& stops = self == state::data        ? data_stops
                          : self == state::rcdata    ? rcdata_stops
                          : self == state::plaintext ? plaintext_stops
                                                     : rawtext_stops;
  emit_text(consume_run(stops));
  if (at_end()) return emit_end_of_file();
  switch (consume()) {
    case '\0':
      // The data state hands U+0000 on; the tree builder deals with it.
      if (self == state::data) {
        emit_text('\0');
      } else {
        emit_replacement_character();
      }
      break;
    case '&':
      return_state_ = self;
      state_ = state::character_reference;
      break;
    case '<':
      state_ = self == state::data      ? state::tag_open
               : self == state::rcdata  ? state::rcdata_less_than_sign
               : self == state::rawtext ? state::rawtext_less_than_sign
                                        : state::script_data_less_than_sign;
      break;
  }
}

void tokenizer::tag_open_state() {
  if (at_end()) {  // eof-before-tag-name
    emit_text('<');
    return emit_end_of_file();
  }
  char c = current();
  if (c == '!') {
    ++pos_;
    state_ = state::markup_declaration_open;
  } else if (c == '/') {
    ++pos_;
    state_ = state::end_tag_open;
  } else if (is_ascii_alpha(c)) {
    start_tag_token(token_kind::start_tag);
    state_ = state::tag_name;
  } else if (c == '?') {  // unexpected-question-mark-instead-of-tag-name
    start_comment("");
    state_ = state::bogus_comment;
  } else {  // invalid-first-character-of-tag-name
    emit_text('<');
    state_ = state::data;
  }
}

void tokenizer::end_tag_open_state() {
  if (at_end()) {  // eof-before-tag-name
    emit_text("</");
    return emit_end_of_file();
  }
  char c = current();
  if (is_ascii_alpha(c)) {
    start_tag_token(token_kind::end_tag);
    state_ = state::tag_name;
  } else if (c == '>') {  // missing-end-tag-name
    ++pos_;
    state_ = state::data;
  } else {  // invalid-first-character-of-tag-name
    start_comment("");
    state_ = state::bogus_comment;
  }
}

void tokenizer::tag_name_state() {
  append_lowercase(current_.name, consume_run(tag_name_stops));
  if (at_end()) return emit_end_of_file();  // eof-in-tag
  switch (consume()) {
    case '\t':
    case '\n':
    case '\f':
    case ' ': state_ = state::before_attribute_name; break;
    case '/': state_ = state::self_closing_start_tag; break;
    case '>': emit_tag(); break;
    case '\0': current_.name.append(replacement_character_utf8); break;
  }
}

/// The RCDATA and RAWTEXT less-than sign states.
void tokenizer::text_less_than_sign_state(state text) {
  if (!at_end() && current() == '/') {
    ++pos_;
    return raw_end_tag(text);
  }
  emit_text('<');
  state_ = text;
}

/// The end tag open and end tag name states of RCDATA, RAWTEXT, script data
/// and script data escaped, entered after "</". They emit nothing until the
/// name ends, so they run as one step: the letters after "</" form an end
/// tag only when they name the last start tag and a tag-ending character
/// follows; otherwise they are text and the text state goes on after them.
void tokenizer::raw_end_tag(state text) {
  std::size_t name_start = pos_;
  while (!at_end() && is_ascii_alpha(current())) ++pos_;
  std::string_view name = input_.substr(name_start, pos_ - name_start);
  if (!name.empty() && !at_end() && is_appropriate_end_tag(name)) {
    char c = current();
    bool ends_name = is_tokenizer_whitespace(c) || c == '/' || c == '>';
    if (ends_name) {
      ++pos_;
      start_tag_token(token_kind::end_tag);
      append_lowercase(current_.name, name);
      if (c == '>') return emit_tag();
      state_ = c == '/' ? state::self_closing_start_tag
                        : state::before_attribute_name;
      return;
    }
  }
  emit_text("</");
  emit_text(name);
  state_ = text;
}

bool tokenizer::is_appropriate_end_tag(std::string_view name) const {
  if (name.size() != last_start_tag_.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (to_ascii_lower(name[i]) != last_start_tag_[i]) return false;
  }
  return true;
}

}  // namespace tagweave::html5
