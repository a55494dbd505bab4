// The tokenizer's script data states: the text of a <script> element, with
// its escaped ("<!--") and double-escaped ("<!--<script>") sections, where
// an end tag ends the element only outside the double-escaped part.
#include "html5/tokenizer/tokenizer.h"

#include "html5/tokenizer/tokenizer_bytes.h"

namespace tagweave::html5 {

using namespace tokenizer_bytes;
namespace {

bool ends_double_escape_name(char c) {
  return is_tokenizer_whitespace(c) || c == '/' || c == '>';
}

/// Whether `name` is "script" in any case of ASCII letters.
bool is_script(std::string_view name) {
  constexpr std::string_view script = "script";
  if (name.size() != script.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (to_ascii_lower(name[i]) != script[i]) return false;
  }
  return true;
}

}  // namespace

void tokenizer::script_data_less_than_sign_state() {
  char c = at_end() ? ' ' : current();
  if (c == '/') {
    ++pos_;
    return raw_end_tag(state::script_data);
  }
  if (c == '!') {
    ++pos_;
    emit_text("<!");
    state_ = state::script_data_escape_start;
    return;
  }
  emit_text('<');
  state_ = state::script_data;
}

/// The script data escape start and escape start dash states: each goes on
/// to `next_on_dash` after a '-', and back to script data otherwise.
void tokenizer::script_data_escape_start_state(state next_on_dash) {
  if (!at_end() && current() == '-') {
    ++pos_;
    emit_text('-');
    state_ = next_on_dash;
  } else {
    state_ = state::script_data;
  }
}

/// The script data escaped, escaped dash and escaped dash dash states.
void tokenizer::script_data_escaped_state(state self) {
  if (self == state::script_data_escaped) {
    emit_text(consume_run(script_escaped_stops));
  }
  // eof-in-script-html-comment-like-text
  if (at_end()) return emit_end_of_file();
  char c = consume();
  switch (c) {
    case '-':
      emit_text('-');
      state_ = self == state::script_data_escaped
                   ? state::script_data_escaped_dash
                   : state::script_data_escaped_dash_dash;
      break;
    case '<': state_ = state::script_data_escaped_less_than_sign; break;
    case '>':
      emit_text('>');
      state_ = self == state::script_data_escaped_dash_dash
                   ? state::script_data
                   : state::script_data_escaped;
      break;
    case '\0':
      emit_replacement_character();
      state_ = state::script_data_escaped;
      break;
    default:
      emit_text(c);
      state_ = state::script_data_escaped;
      break;
  }
}

void tokenizer::script_data_escaped_less_than_sign_state() {
  char c = at_end() ? ' ' : current();
  if (c == '/') {
    ++pos_;
    return raw_end_tag(state::script_data_escaped);
  }
  emit_text('<');
  if (is_ascii_alpha(c)) {
    script_data_double_escape(state::script_data_double_escaped,
                              state::script_data_escaped);
  } else {
    state_ = state::script_data_escaped;
  }
}

/// The script data double escape start and double escape end states, which
/// emit the letters they read as text: after the letters, a tag-ending
/// character goes to `on_script` if they spell "script", to `otherwise` if
/// not; any other character is reconsumed in `otherwise`.
void tokenizer::script_data_double_escape(state on_script, state otherwise) {
  std::size_t name_start = pos_;
  while (!at_end() && is_ascii_alpha(current())) ++pos_;
  std::string_view name = input_.substr(name_start, pos_ - name_start);
  emit_text(name);
  if (!at_end() && ends_double_escape_name(current())) {
    emit_text(consume());
    state_ = is_script(name) ? on_script : otherwise;
  } else {
    state_ = otherwise;
  }
}

/// The script data double escaped, double escaped dash and double escaped
/// dash dash states.
void tokenizer::script_data_double_escaped_state(state self) {
  if (self == state::script_data_double_escaped) {
    emit_text(consume_run(script_escaped_stops));
  }
  // eof-in-script-html-comment-like-text
  if (at_end()) return emit_end_of_file();
  char c = consume();
  switch (c) {
    case '-':
      emit_text('-');
      state_ = self == state::script_data_double_escaped
                   ? state::script_data_double_escaped_dash
                   : state::script_data_double_escaped_dash_dash;
      break;
    case '<':
      emit_text('<');
      state_ = state::script_data_double_escaped_less_than_sign;
      break;
    case '>':
      emit_text('>');
      state_ = self == state::script_data_double_escaped_dash_dash
                   ? state::script_data
                   : state::script_data_double_escaped;
      break;
    case '\0':
      emit_replacement_character();
      state_ = state::script_data_double_escaped;
      break;
    default:
      emit_text(c);
      state_ = state::script_data_double_escaped;
      break;
  }
}

void tokenizer::script_data_double_escaped_less_than_sign_state() {
  if (!at_end() && current() == '/') {
    emit_text(consume());
    script_data_double_escape(state::script_data_escaped,
                              state::script_data_double_escaped);
  } else {
    state_ = state::script_data_double_escaped;
  }
}

}  // namespace tagweave::html5
