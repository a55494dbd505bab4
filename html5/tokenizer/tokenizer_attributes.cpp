// The tokenizer's attribute states and the end of a tag: names, values in
// their three quotings, the self-closing flag, and dropping an attribute
// whose name an earlier one on the same tag already has.
#include "html5/tokenizer/tokenizer.h"

#include "html5/tokenizer/tokenizer_bytes.h"

namespace tagweave::html5 {

using namespace tokenizer_bytes;
namespace {

/// Up to this many earlier attributes on a tag, a new name is compared with
/// each of them: real tags have a handful, and a few string comparisons cost
/// less than a set. Beyond it the names go into an ordered set, so a tag with
/// n attributes costs O(n log n) comparisons rather than O(n^2). The set is
/// ordered, not hashed, so that no crafted set of names can degrade it.
constexpr std::size_t few_attributes = 8;

}  // namespace

void tokenizer::before_attribute_name_state() {
  if (skip_whitespace() || current() == '/' || current() == '>') {
    state_ = state::after_attribute_name;
    return;
  }
  if (current() == '=') {  // unexpected-equals-sign-before-attribute-name
    ++pos_;
    start_attribute("=");
  } else {
    start_attribute("");
  }
  state_ = state::attribute_name;
}

void tokenizer::attribute_name_state() {
  // '"', '\'' and '<' are parse errors here but stay in the name.
  append_lowercase(current_.attributes.back().name,
                   consume_run(attribute_name_stops));
  if (!at_end() && current() == '\0') {  // unexpected-null-character
    ++pos_;
    current_.attributes.back().name.append(replacement_character_utf8);
    return;
  }
  leave_attribute_name();
  if (!at_end() && current() == '=') {
    ++pos_;
    state_ = state::before_attribute_value;
  } else {
    state_ = state::after_attribute_name;
  }
}

void tokenizer::after_attribute_name_state() {
  if (skip_whitespace()) return emit_end_of_file();  // eof-in-tag
  switch (current()) {
    case '/':
      ++pos_;
      state_ = state::self_closing_start_tag;
      break;
    case '=':
      ++pos_;
      state_ = state::before_attribute_value;
      break;
    case '>':
      ++pos_;
      emit_tag();
      break;
    default:
      start_attribute("");
      state_ = state::attribute_name;
      break;
  }
}

void tokenizer::before_attribute_value_state() {
  if (skip_whitespace()) {
    state_ = state::attribute_value_unquoted;
    return;
  }
  switch (current()) {
    case '"':
      ++pos_;
      state_ = state::attribute_value_double_quoted;
      break;
    case '\'':
      ++pos_;
      state_ = state::attribute_value_single_quoted;
      break;
    case '>':  // missing-attribute-value
      ++pos_;
      emit_tag();
      break;
    default: state_ = state::attribute_value_unquoted; break;
  }
}

/// The attribute value (double-quoted) and (single-quoted) states.
void tokenizer::attribute_value_quoted_state(char quote) {
  attribute_value().append(consume_run(
      quote == '"' ? double_quoted_value_stops : single_quoted_value_stops));
  if (at_end()) return emit_end_of_file();  // eof-in-tag
  char c = consume();
  if (c == quote) {
    state_ = state::after_attribute_value_quoted;
  } else if (c == '&') {
    return_state_ = state_;
    state_ = state::character_reference;
  } else {  // U+0000: unexpected-null-character
    attribute_value().append(replacement_character_utf8);
  }
}

void tokenizer::attribute_value_unquoted_state() {
  // '"', '\'', '<', '=' and '`' are parse errors here but stay in the value.
  attribute_value().append(consume_run(unquoted_value_stops));
  if (at_end()) return emit_end_of_file();  // eof-in-tag
  switch (consume()) {
    case '&':
      return_state_ = state::attribute_value_unquoted;
      state_ = state::character_reference;
      break;
    case '>': emit_tag(); break;
    case '\0': attribute_value().append(replacement_character_utf8); break;
    default: state_ = state::before_attribute_name; break;  // white space
  }
}

void tokenizer::after_attribute_value_quoted_state() {
  if (at_end()) return emit_end_of_file();  // eof-in-tag
  char c = current();
  if (is_tokenizer_whitespace(c)) {
    ++pos_;
    state_ = state::before_attribute_name;
  } else if (c == '/') {
    ++pos_;
    state_ = state::self_closing_start_tag;
  } else if (c == '>') {
    ++pos_;
    emit_tag();
  } else {  // missing-whitespace-between-attributes
    state_ = state::before_attribute_name;
  }
}

void tokenizer::self_closing_start_tag_state() {
  if (at_end()) return emit_end_of_file();  // eof-in-tag
  if (current() == '>') {
    ++pos_;
    current_.self_closing = true;
    emit_tag();
  } else {  // unexpected-solidus-in-tag
    state_ = state::before_attribute_name;
  }
}

void tokenizer::start_attribute(std::string_view name) {
  drop_duplicate_attribute();
  attribute& a = current_.attributes.emplace_back();
  a.name.assign(name);
}

/// The HTML standard compares the name with the tag's other attributes when the
/// attribute name state is left; the value still gets read, into an
/// attribute that is dropped afterwards.
void tokenizer::leave_attribute_name() {
  attribute_is_duplicate_ = is_duplicate_attribute_name();
}

void tokenizer::drop_duplicate_attribute() {
  if (!attribute_is_duplicate_) return;
  current_.attributes.pop_back();
  attribute_is_duplicate_ = false;
}

bool tokenizer::is_duplicate_attribute_name() {
  const std::vector<attribute>& attributes = current_.attributes;
  std::size_t last = attributes.size() - 1;
  if (last < few_attributes) {
    for (std::size_t i = 0; i < last; ++i) {
      if (attributes[i].name == attributes[last].name) return true;
    }
    return false;
  }
  if (attribute_names_.empty()) {
    for (std::size_t i = 0; i < last; ++i) attribute_names_.insert(i);
  }
  return !attribute_names_.insert(last).second;
}

bool tokenizer::in_attribute_value() const {
  return return_state_ == state::attribute_value_double_quoted ||
         return_state_ == state::attribute_value_single_quoted ||
         return_state_ == state::attribute_value_unquoted;
}

}  // namespace tagweave::html5
