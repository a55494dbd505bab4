// Tree construction: dispatching tokens, and the insertion modes before
// "in body" and after it.
#include "html5/tree/tree_builder.h"

#include "html5/tree/tree_chars.h"

#include "html5/tree/tree_quirks.h"

#include <algorithm>

namespace tagweave::html5 {
tree_builder::tree_builder(document& doc)
    : doc_(doc),
      element_budget_(element_allowance +
                      doc.source().size() / min_bytes_per_element) {}

void tree_builder::take(token& t) {
  if (stopped_) return;
  if (t.kind == token_kind::characters) {
    std::string_view text = t.characters;
    // After <pre>, <listing> and <textarea> a first newline is dropped.
    if (skip_newline_ && !text.empty() && text.front() == '\n') {
      text.remove_prefix(1);
    }
    skip_newline_ = false;
    process_characters(text);
  } else {
    skip_newline_ = false;
    if (is_start(t) || is_end(t)) token_tag_ = tag_of(t);
    process(t);
  }
  if (tokenizer_ != nullptr) {
    tokenizer_->set_cdata_allowed(
        !open_.empty() && open_.current_space() != element_namespace::html);
  }
}

tag tree_builder::tag_of(const token& t) { return doc_.intern_tag(t.name); }

// The tree construction dispatcher of the HTML standard.
bool tree_builder::uses_foreign_rules(const token* t) const {
  if (open_.empty()) return false;
  std::size_t i = open_.size() - 1;
  if (open_.space_at(i) == element_namespace::html) return false;
  if (t != nullptr && t->kind == token_kind::end_of_file) return false;
  bool start = t != nullptr && t->kind == token_kind::start_tag;
  if (is_mathml_text_integration_point(i)) {
    if (t == nullptr) return false;
    if (start && token_tag_ != tag::mglyph && token_tag_ != tag::malignmark) {
      return false;
    }
  }
  if (start && token_tag_ == tag::svg &&
      open_.space_at(i) == element_namespace::mathml &&
      open_.tag_at(i) == tag::annotation_xml) {
    return false;
  }
  if (is_html_integration_point(i) && (t == nullptr || start)) return false;
  return true;
}

void tree_builder::process(token& t) {
  // A token is reprocessed (a mode handler returns false) through the
  // dispatcher again; the foreign content rules hand a token to the
  // insertion mode directly.
  while (!stopped_) {
    if (uses_foreign_rules(&t) && foreign_token(t) == foreign_result::done) {
      return;
    }
    if (process_in(mode_, t)) return;
  }
}

void tree_builder::process_characters(std::string_view text) {
  while (!text.empty() && !stopped_) {
    if (uses_foreign_rules(nullptr)) {
      foreign_characters(text);
    } else {
      characters_in(mode_, text);
    }
  }
}

bool tree_builder::process_in(insertion_mode mode, token& t) {
  switch (mode) {
    case insertion_mode::initial: return initial(t);
    case insertion_mode::before_html: return before_html(t);
    case insertion_mode::before_head: return before_head(t);
    case insertion_mode::in_head: return in_head(t);
    case insertion_mode::in_head_noscript: return in_head_noscript(t);
    case insertion_mode::after_head: return after_head(t);
    case insertion_mode::in_body: return in_body(t);
    case insertion_mode::text: return text_mode(t);
    case insertion_mode::in_table: return in_table(t);
    case insertion_mode::in_table_text:
      flush_table_text();
      mode_ = original_mode_;
      return false;
    case insertion_mode::in_caption: return in_caption(t);
    case insertion_mode::in_column_group: return in_column_group(t);
    case insertion_mode::in_table_body: return in_table_body(t);
    case insertion_mode::in_row: return in_row(t);
    case insertion_mode::in_cell: return in_cell(t);
    case insertion_mode::in_template: return in_template(t);
    case insertion_mode::after_body: return after_body(t);
    case insertion_mode::in_frameset: return in_frameset(t);
    case insertion_mode::after_frameset: return after_frameset(t);
    case insertion_mode::after_after_body: return after_after_body(t);
    case insertion_mode::after_after_frameset: return after_after_frameset(t);
  }
  return true;
}

void tree_builder::characters_in(insertion_mode mode, std::string_view& text) {
  switch (mode) {
    case insertion_mode::initial:
    case insertion_mode::before_html:
    case insertion_mode::before_head:
    case insertion_mode::in_head:
    case insertion_mode::in_head_noscript:
    case insertion_mode::after_head: characters_before_body(mode, text); return;
    case insertion_mode::in_body:
    case insertion_mode::in_caption:
    case insertion_mode::in_cell:
    case insertion_mode::in_template: in_body_characters(text); return;
    case insertion_mode::text:
      insert_characters(text);
      text = {};
      return;
    case insertion_mode::in_table:
    case insertion_mode::in_table_body:
    case insertion_mode::in_row: in_table_characters(text); return;
    case insertion_mode::in_table_text: in_table_text_characters(text); return;
    case insertion_mode::in_column_group:
      in_column_group_characters(text);
      return;
    case insertion_mode::after_body:
    case insertion_mode::in_frameset:
    case insertion_mode::after_frameset:
    case insertion_mode::after_after_body:
    case insertion_mode::after_after_frameset:
      characters_after_body(mode, text);
      return;
  }
}

// Whitespace at the start of these modes is dropped or inserted; anything
// else makes the elements the standard implies and is reprocessed.
void tree_builder::characters_before_body(insertion_mode mode,
                                          std::string_view& text) {
  std::size_t blank = leading_whitespace(text);
  std::string_view spaces = text.substr(0, blank);
  text.remove_prefix(blank);
  switch (mode) {
    case insertion_mode::initial:
      if (text.empty()) return;
      doc_.set_mode(quirks_mode::quirks);
      mode_ = insertion_mode::before_html;
      return;
    case insertion_mode::before_html:
      if (text.empty()) return;
      insert_implied(tag::html);
      mode_ = insertion_mode::before_head;
      return;
    case insertion_mode::before_head:
      if (text.empty()) return;
      head_ = insert_implied(tag::head);
      mode_ = insertion_mode::in_head;
      return;
    case insertion_mode::in_head:
    case insertion_mode::after_head:
      insert_characters(spaces);
      if (text.empty()) return;
      if (mode == insertion_mode::in_head) {
        open_.pop();
        mode_ = insertion_mode::after_head;
      } else {
        insert_implied(tag::body);
        mode_ = insertion_mode::in_body;
      }
      return;
    case insertion_mode::in_head_noscript:
      insert_characters(spaces);
      if (text.empty()) return;
      open_.pop();
      mode_ = insertion_mode::in_head;
      return;
    default: return;
  }
}

void tree_builder::characters_after_body(insertion_mode mode,
                                         std::string_view& text) {
  if (mode == insertion_mode::in_frameset ||
      mode == insertion_mode::after_frameset) {
    // Only the whitespace is kept; every other character is a parse error.
    std::string spaces;
    for (char c : text) {
      if (is_tree_whitespace(c)) spaces.push_back(c);
    }
    insert_characters(spaces);
    text = {};
    return;
  }
  std::size_t blank = leading_whitespace(text);
  std::string_view spaces = text.substr(0, blank);
  text.remove_prefix(blank);
  if (!spaces.empty()) in_body_characters(spaces);
  if (text.empty()) return;
  if (mode == insertion_mode::after_after_frameset) {
    // Parse errors, ignored; whitespace after them still counts.
    std::size_t other = 0;
    while (other < text.size() && !is_tree_whitespace(text[other])) ++other;
    text.remove_prefix(other);
    return;
  }
  mode_ = insertion_mode::in_body;
}

// The "initial" insertion mode.
bool tree_builder::initial(token& t) {
  if (t.kind == token_kind::comment) {
    insert_comment(t.data, location{document::root(), no_node});
    return true;
  }
  if (t.kind == token_kind::doctype) {
    doctype_record record;
    record.name = doc_.store(t.name);
    record.public_id = doc_.store(t.public_id);
    record.system_id = doc_.store(t.system_id);
    record.has_public_id = t.has_public_id;
    record.has_system_id = t.has_system_id;
    doc_.append_child(document::root(), doc_.create_doctype(record));
    doc_.set_mode(doctype_quirks_mode(t));
    mode_ = insertion_mode::before_html;
    return true;
  }
  doc_.set_mode(quirks_mode::quirks);
  mode_ = insertion_mode::before_html;
  return false;
}

// The "before html" insertion mode.
bool tree_builder::before_html(token& t) {
  switch (t.kind) {
    case token_kind::doctype: return true;
    case token_kind::comment:
      insert_comment(t.data, location{document::root(), no_node});
      return true;
    case token_kind::start_tag:
      if (token_tag_ == tag::html) {
        node_id html =
            create_element_for(t, element_namespace::html, tag::html);
        doc_.append_child(document::root(), html);
        open_.push(html, tag::html, element_namespace::html);
        mode_ = insertion_mode::before_head;
        return true;
      }
      break;
    case token_kind::end_tag:
      if (token_tag_ != tag::head && token_tag_ != tag::body &&
          token_tag_ != tag::html && token_tag_ != tag::br) {
        return true;
      }
      break;
    default: break;
  }
  insert_implied(tag::html);
  mode_ = insertion_mode::before_head;
  return false;
}

// The "before head" insertion mode.
bool tree_builder::before_head(token& t) {
  switch (t.kind) {
    case token_kind::comment: insert_comment(t.data); return true;
    case token_kind::doctype: return true;
    case token_kind::start_tag:
      if (token_tag_ == tag::html) return in_body(t);
      if (token_tag_ == tag::head) {
        head_ = insert_html_element(t);
        mode_ = insertion_mode::in_head;
        return true;
      }
      break;
    case token_kind::end_tag:
      if (token_tag_ != tag::head && token_tag_ != tag::body &&
          token_tag_ != tag::html && token_tag_ != tag::br) {
        return true;
      }
      break;
    default: break;
  }
  head_ = insert_implied(tag::head);
  mode_ = insertion_mode::in_head;
  return false;
}

// The "in head" insertion mode.
bool tree_builder::in_head(token& t) {
  switch (t.kind) {
    case token_kind::comment: insert_comment(t.data); return true;
    case token_kind::doctype: return true;
    case token_kind::start_tag:
      switch (token_tag_) {
        case tag::html: return in_body(t);
        case tag::base:
        case tag::basefont:
        case tag::bgsound:
        case tag::link:
        case tag::meta:
          insert_html_element(t);
          open_.pop();
          return true;
        case tag::title:
          generic_text_element(t, tokenizer_state::rcdata);
          return true;
        case tag::noframes:
        case tag::style:
          generic_text_element(t, tokenizer_state::rawtext);
          return true;
        case tag::noscript:  // scripting is disabled
          insert_html_element(t);
          mode_ = insertion_mode::in_head_noscript;
          return true;
        case tag::script:
          generic_text_element(t, tokenizer_state::script_data);
          return true;
        case tag::template_:
          insert_html_element(t);
          formatting_.push_marker();
          frameset_ok_ = false;
          mode_ = insertion_mode::in_template;
          template_modes_.push_back(insertion_mode::in_template);
          return true;
        case tag::head: return true;
        default: break;
      }
      break;
    case token_kind::end_tag:
      switch (token_tag_) {
        case tag::head:
          open_.pop();
          mode_ = insertion_mode::after_head;
          return true;
        case tag::body:
        case tag::html:
        case tag::br: break;
        case tag::template_:
          if (!template_on_stack()) return true;
          generate_all_implied_end_tags_thoroughly();
          pop_until(tag::template_);
          formatting_.clear_to_last_marker();
          template_modes_.pop_back();
          reset_insertion_mode();
          return true;
        default: return true;
      }
      break;
    default: break;
  }
  open_.pop();
  mode_ = insertion_mode::after_head;
  return false;
}

// The "in head noscript" insertion mode.
bool tree_builder::in_head_noscript(token& t) {
  switch (t.kind) {
    case token_kind::doctype: return true;
    case token_kind::comment: return in_head(t);
    case token_kind::start_tag:
      switch (token_tag_) {
        case tag::html: return in_body(t);
        case tag::basefont:
        case tag::bgsound:
        case tag::link:
        case tag::meta:
        case tag::noframes:
        case tag::style: return in_head(t);
        case tag::head:
        case tag::noscript: return true;
        default: break;
      }
      break;
    case token_kind::end_tag:
      if (token_tag_ == tag::noscript) {
        open_.pop();
        mode_ = insertion_mode::in_head;
        return true;
      }
      if (token_tag_ != tag::br) return true;
      break;
    default: break;
  }
  open_.pop();
  mode_ = insertion_mode::in_head;
  return false;
}

// The "after head" insertion mode.
bool tree_builder::after_head(token& t) {
  switch (t.kind) {
    case token_kind::comment: insert_comment(t.data); return true;
    case token_kind::doctype: return true;
    case token_kind::start_tag:
      if (is_head_element(token_tag_)) {
        // Parse error: the element goes into the head after all.
        open_.push(head_, tag::head, element_namespace::html);
        in_head(t);
        std::size_t at = open_.index_of(head_);
        if (at != open_elements::npos) open_.remove_at(at);
        return true;
      }
      switch (token_tag_) {
        case tag::html: return in_body(t);
        case tag::body:
          insert_html_element(t);
          frameset_ok_ = false;
          mode_ = insertion_mode::in_body;
          return true;
        case tag::frameset:
          insert_html_element(t);
          mode_ = insertion_mode::in_frameset;
          return true;
        case tag::head: return true;
        default: break;
      }
      break;
    case token_kind::end_tag:
      if (token_tag_ == tag::template_) return in_head(t);
      if (token_tag_ != tag::body && token_tag_ != tag::html &&
          token_tag_ != tag::br) {
        return true;
      }
      break;
    default: break;
  }
  insert_implied(tag::body);
  mode_ = insertion_mode::in_body;
  return false;
}

// The "text" insertion mode.
bool tree_builder::text_mode(token& t) {
  if (t.kind == token_kind::end_of_file || t.kind == token_kind::end_tag) {
    open_.pop();
    mode_ = original_mode_;
    return t.kind != token_kind::end_of_file;
  }
  return true;
}

// The "after body" insertion mode.
bool tree_builder::after_body(token& t) {
  switch (t.kind) {
    case token_kind::comment:
      insert_comment(t.data, location{open_.node_at(0), no_node});
      return true;
    case token_kind::doctype: return true;
    case token_kind::start_tag:
      if (token_tag_ == tag::html) return in_body(t);
      break;
    case token_kind::end_tag:
      if (token_tag_ == tag::html) {
        mode_ = insertion_mode::after_after_body;
        return true;
      }
      break;
    case token_kind::end_of_file: stop_parsing(); return true;
    default: break;
  }
  mode_ = insertion_mode::in_body;
  return false;
}

// The "in frameset" insertion mode.
bool tree_builder::in_frameset(token& t) {
  switch (t.kind) {
    case token_kind::comment: insert_comment(t.data); return true;
    case token_kind::start_tag:
      switch (token_tag_) {
        case tag::html: return in_body(t);
        case tag::frameset: insert_html_element(t); return true;
        case tag::frame:
          insert_html_element(t);
          open_.pop();
          return true;
        case tag::noframes: return in_head(t);
        default: return true;
      }
    case token_kind::end_tag:
      if (token_tag_ == tag::frameset && open_.size() > 1) {
        open_.pop();
        if (!open_.current_is(tag::frameset)) {
          mode_ = insertion_mode::after_frameset;
        }
      }
      return true;
    case token_kind::end_of_file: stop_parsing(); return true;
    default: return true;
  }
}

// The "after frameset" insertion mode.
bool tree_builder::after_frameset(token& t) {
  switch (t.kind) {
    case token_kind::comment: insert_comment(t.data); return true;
    case token_kind::start_tag:
      if (token_tag_ == tag::html) return in_body(t);
      if (token_tag_ == tag::noframes) return in_head(t);
      return true;
    case token_kind::end_tag:
      if (token_tag_ == tag::html) {
        mode_ = insertion_mode::after_after_frameset;
      }
      return true;
    case token_kind::end_of_file: stop_parsing(); return true;
    default: return true;
  }
}

// The "after after body" insertion mode.
bool tree_builder::after_after_body(token& t) {
  switch (t.kind) {
    case token_kind::comment:
      insert_comment(t.data, location{document::root(), no_node});
      return true;
    case token_kind::doctype: return in_body(t);
    case token_kind::start_tag:
      if (token_tag_ == tag::html) return in_body(t);
      break;
    case token_kind::end_of_file: stop_parsing(); return true;
    default: break;
  }
  mode_ = insertion_mode::in_body;
  return false;
}

// The "after after frameset" insertion mode.
bool tree_builder::after_after_frameset(token& t) {
  switch (t.kind) {
    case token_kind::comment:
      insert_comment(t.data, location{document::root(), no_node});
      return true;
    case token_kind::doctype: return in_body(t);
    case token_kind::start_tag:
      if (token_tag_ == tag::html) return in_body(t);
      if (token_tag_ == tag::noframes) return in_head(t);
      return true;
    case token_kind::end_of_file: stop_parsing(); return true;
    default: return true;
  }
}

}  // namespace tagweave::html5
