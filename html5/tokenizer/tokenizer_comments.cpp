// The tokenizer's markup declarations: the markup declaration open state
// that tells comments, DOCTYPEs and CDATA sections apart, the comment states
// (bogus comments included) and the CDATA section states.
#include "html5/tokenizer/tokenizer.h"

#include "html5/tokenizer/tokenizer_bytes.h"

namespace tagweave::html5 {

using namespace tokenizer_bytes;

void tokenizer::bogus_comment_state() {
  current_.data.append(consume_run(bogus_comment_stops));
  if (at_end()) return eof_in_comment();
  if (consume() == '>') {
    state_ = state::data;
    emit_current();
  } else {  // U+0000: unexpected-null-character
    current_.data.append(replacement_character_utf8);
  }
}

void tokenizer::markup_declaration_open_state() {
  if (consume_if_next("--", false)) {
    start_comment("");
    state_ = state::comment_start;
  } else if (consume_if_next("doctype", true)) {
    state_ = state::doctype;
  } else if (consume_if_next("[CDATA[", false)) {
    if (cdata_allowed_) {
      state_ = state::cdata_section;
    } else {  // cdata-in-html-content
      start_comment("[CDATA[");
      state_ = state::bogus_comment;
    }
  } else {  // incorrectly-opened-comment
    start_comment("");
    state_ = state::bogus_comment;
  }
}

void tokenizer::comment_start_state() {
  if (!at_end() && current() == '-') {
    ++pos_;
    state_ = state::comment_start_dash;
  } else if (!at_end() && current() == '>') {
    ++pos_;  // abrupt-closing-of-empty-comment
    state_ = state::data;
    emit_current();
  } else {
    state_ = state::comment;
  }
}

void tokenizer::comment_start_dash_state() {
  if (at_end()) return eof_in_comment();
  if (current() == '-') {
    ++pos_;
    state_ = state::comment_end;
  } else if (current() == '>') {
    ++pos_;  // abrupt-closing-of-empty-comment
    state_ = state::data;
    emit_current();
  } else {
    current_.data.push_back('-');
    state_ = state::comment;
  }
}

void tokenizer::comment_state() {
  current_.data.append(consume_run(comment_stops));
  if (at_end()) return eof_in_comment();
  switch (consume()) {
    case '<':
      current_.data.push_back('<');
      state_ = state::comment_less_than_sign;
      break;
    case '-': state_ = state::comment_end_dash; break;
    case '\0':  // unexpected-null-character
      current_.data.append(replacement_character_utf8);
      break;
  }
}

void tokenizer::comment_less_than_sign_state() {
  if (!at_end() && current() == '!') {
    current_.data.push_back(consume());
    state_ = state::comment_less_than_sign_bang;
  } else if (!at_end() && current() == '<') {
    current_.data.push_back(consume());
  } else {
    state_ = state::comment;
  }
}

void tokenizer::comment_less_than_sign_bang_state() {
  if (!at_end() && current() == '-') {
    ++pos_;
    state_ = state::comment_less_than_sign_bang_dash;
  } else {
    state_ = state::comment;
  }
}

void tokenizer::comment_less_than_sign_bang_dash_state() {
  if (!at_end() && current() == '-') {
    ++pos_;
    state_ = state::comment_less_than_sign_bang_dash_dash;
  } else {
    state_ = state::comment_end_dash;
  }
}

void tokenizer::comment_less_than_sign_bang_dash_dash_state() {
  // Anything but '>' or the end is a nested-comment parse error; every case
  // goes on in the comment end state.
  state_ = state::comment_end;
}

void tokenizer::comment_end_dash_state() {
  if (at_end()) return eof_in_comment();
  if (current() == '-') {
    ++pos_;
    state_ = state::comment_end;
  } else {
    current_.data.push_back('-');
    state_ = state::comment;
  }
}

void tokenizer::comment_end_state() {
  if (at_end()) return eof_in_comment();
  switch (current()) {
    case '>':
      ++pos_;
      state_ = state::data;
      emit_current();
      break;
    case '!':
      ++pos_;
      state_ = state::comment_end_bang;
      break;
    case '-':
      ++pos_;
      current_.data.push_back('-');
      break;
    default:
      current_.data.append("--");
      state_ = state::comment;
      break;
  }
}

void tokenizer::comment_end_bang_state() {
  if (at_end()) return eof_in_comment();
  if (current() == '-') {
    ++pos_;
    current_.data.append("--!");
    state_ = state::comment_end_dash;
  } else if (current() == '>') {
    ++pos_;  // incorrectly-closed-comment
    state_ = state::data;
    emit_current();
  } else {
    current_.data.append("--!");
    state_ = state::comment;
  }
}

/// eof-in-comment: the comment so far, then the end of the file.
void tokenizer::eof_in_comment() {
  emit_current();
  emit_end_of_file();
}

void tokenizer::cdata_section_state() {
  emit_text(consume_run(cdata_stops));
  if (at_end()) return emit_end_of_file();  // eof-in-cdata
  ++pos_;                                   // ']'
  state_ = state::cdata_section_bracket;
}

void tokenizer::cdata_section_bracket_state() {
  if (!at_end() && current() == ']') {
    ++pos_;
    state_ = state::cdata_section_end;
  } else {
    emit_text(']');
    state_ = state::cdata_section;
  }
}

void tokenizer::cdata_section_end_state() {
  if (!at_end() && current() == ']') {
    emit_text(consume());
  } else if (!at_end() && current() == '>') {
    ++pos_;
    state_ = state::data;
  } else {
    emit_text("]]");
    state_ = state::cdata_section;
  }
}

}  // namespace tagweave::html5
