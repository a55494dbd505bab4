// The table insertion modes of the HTML standard ("in table", "in table
// text", "in caption", "in column group", "in table body", "in row", "in
// cell") and "in template".
#include "html5/tree/tree_builder.h"

#include "html5/tree/tree_chars.h"

namespace tagweave::html5 {
// "Clear the stack back to a table context" and its table body and row
// variants: `context` lists the elements that stop the popping, html aside.
void tree_builder::clear_stack_to_context(std::initializer_list<tag> context) {
  while (!open_.empty() && !open_.current_is(tag::html)) {
    bool stop = false;
    for (tag t : context) stop = stop || open_.current_is(t);
    if (stop) return;
    open_.pop();
  }
}

// The "in table" insertion mode.
bool tree_builder::in_table(token& t) {
  switch (t.kind) {
    case token_kind::comment: insert_comment(t.data); return true;
    case token_kind::doctype: return true;
    case token_kind::end_of_file: return in_body(t);
    case token_kind::start_tag:
      switch (token_tag_) {
        case tag::caption:
          clear_stack_to_context({tag::table, tag::template_});
          formatting_.push_marker();
          insert_html_element(t);
          mode_ = insertion_mode::in_caption;
          return true;
        case tag::colgroup:
          clear_stack_to_context({tag::table, tag::template_});
          insert_html_element(t);
          mode_ = insertion_mode::in_column_group;
          return true;
        case tag::col:
          clear_stack_to_context({tag::table, tag::template_});
          insert_implied(tag::colgroup);
          mode_ = insertion_mode::in_column_group;
          return false;
        case tag::tbody:
        case tag::tfoot:
        case tag::thead:
          clear_stack_to_context({tag::table, tag::template_});
          insert_html_element(t);
          mode_ = insertion_mode::in_table_body;
          return true;
        case tag::td:
        case tag::th:
        case tag::tr:
          clear_stack_to_context({tag::table, tag::template_});
          insert_implied(tag::tbody);
          mode_ = insertion_mode::in_table_body;
          return false;
        case tag::table: return !end_table();
        case tag::style:
        case tag::script:
        case tag::template_: return in_head(t);
        case tag::input:
          if (!is_hidden_input(t)) return in_table_anything_else(t);
          insert_html_element(t);
          open_.pop();
          return true;
        case tag::form:
          if (template_on_stack() || form_ != no_node) return true;
          form_ = insert_html_element(t);
          open_.pop();
          return true;
        default: return in_table_anything_else(t);
      }
    case token_kind::end_tag:
      switch (token_tag_) {
        case tag::table: end_table(); return true;
        case tag::body:
        case tag::caption:
        case tag::col:
        case tag::colgroup:
        case tag::html:
        case tag::tbody:
        case tag::td:
        case tag::tfoot:
        case tag::th:
        case tag::thead:
        case tag::tr: return true;
        case tag::template_: return in_head(t);
        default: return in_table_anything_else(t);
      }
    case token_kind::characters: return true;
  }
  return true;
}

// Closes the current table if one is in table scope; true when it did.
bool tree_builder::end_table() {
  if (!open_.in_scope(tag::table, scope_kind::table)) return false;
  pop_until(tag::table);
  reset_insertion_mode();
  return true;
}

// "Anything else" in a table: the "in body" rules with foster parenting.
bool tree_builder::in_table_anything_else(token& t) {
  foster_parenting_ = true;
  bool done = in_body(t);
  foster_parenting_ = false;
  return done;
}

void tree_builder::in_table_characters(std::string_view& text) {
  if (open_.current_is(tag::table) || open_.current_is(tag::tbody) ||
      open_.current_is(tag::template_) || open_.current_is(tag::tfoot) ||
      open_.current_is(tag::thead) || open_.current_is(tag::tr)) {
    table_text_.clear();
    table_text_has_content_ = false;
    original_mode_ = mode_;
    mode_ = insertion_mode::in_table_text;
    return;
  }
  foster_parenting_ = true;
  in_body_characters(text);
  foster_parenting_ = false;
}

// The "in table text" insertion mode collects characters (U+0000 dropped)
// until the next other token.
void tree_builder::in_table_text_characters(std::string_view& text) {
  for (char c : text) {
    if (c == '\0') continue;
    table_text_.push_back(c);
    if (!is_tree_whitespace(c)) table_text_has_content_ = true;
  }
  text = {};
}

void tree_builder::flush_table_text() {
  std::string_view pending = table_text_;
  if (table_text_has_content_) {
    foster_parenting_ = true;
    in_body_characters(pending);
    foster_parenting_ = false;
  } else {
    insert_characters(pending);
  }
  table_text_.clear();
  table_text_has_content_ = false;
}

// The "in caption" insertion mode.
bool tree_builder::in_caption(token& t) {
  bool ends_caption = false;
  if (is_end(t) && token_tag_ == tag::caption) {
    ends_caption = true;
  } else if (is_start(t)) {
    switch (token_tag_) {
      case tag::caption:
      case tag::col:
      case tag::colgroup:
      case tag::tbody:
      case tag::td:
      case tag::tfoot:
      case tag::th:
      case tag::thead:
      case tag::tr: ends_caption = true; break;
      default: break;
    }
  } else if (is_end(t)) {
    switch (token_tag_) {
      case tag::table: ends_caption = true; break;
      case tag::body:
      case tag::col:
      case tag::colgroup:
      case tag::html:
      case tag::tbody:
      case tag::td:
      case tag::tfoot:
      case tag::th:
      case tag::thead:
      case tag::tr: return true;
      default: break;
    }
  }
  if (!ends_caption) return in_body(t);
  if (!open_.in_scope(tag::caption, scope_kind::table)) return true;
  generate_implied_end_tags();
  pop_until(tag::caption);
  formatting_.clear_to_last_marker();
  mode_ = insertion_mode::in_table;
  return is_end(t) && token_tag_ == tag::caption;
}

// The "in column group" insertion mode.
bool tree_builder::in_column_group(token& t) {
  switch (t.kind) {
    case token_kind::comment: insert_comment(t.data); return true;
    case token_kind::doctype: return true;
    case token_kind::start_tag:
      if (token_tag_ == tag::html) return in_body(t);
      if (token_tag_ == tag::col) {
        insert_html_element(t);
        open_.pop();
        return true;
      }
      if (token_tag_ == tag::template_) return in_head(t);
      break;
    case token_kind::end_tag:
      if (token_tag_ == tag::colgroup) {
        if (open_.current_is(tag::colgroup)) {
          open_.pop();
          mode_ = insertion_mode::in_table;
        }
        return true;
      }
      if (token_tag_ == tag::col) return true;
      if (token_tag_ == tag::template_) return in_head(t);
      break;
    case token_kind::end_of_file: return in_body(t);
    default: break;
  }
  if (!open_.current_is(tag::colgroup)) return true;
  open_.pop();
  mode_ = insertion_mode::in_table;
  return false;
}

void tree_builder::in_column_group_characters(std::string_view& text) {
  std::size_t blank = 0;
  while (blank < text.size() && is_tree_whitespace(text[blank])) ++blank;
  insert_characters(text.substr(0, blank));
  text.remove_prefix(blank);
  if (text.empty()) return;
  if (!open_.current_is(tag::colgroup)) {
    text.remove_prefix(1);  // parse error: the character is dropped
    return;
  }
  open_.pop();
  mode_ = insertion_mode::in_table;
}

// The "in table body" insertion mode.
bool tree_builder::in_table_body(token& t) {
  static constexpr std::initializer_list<tag> body_context = {
      tag::tbody, tag::tfoot, tag::thead, tag::template_};
  if (is_start(t)) {
    switch (token_tag_) {
      case tag::tr:
        clear_stack_to_context(body_context);
        insert_html_element(t);
        mode_ = insertion_mode::in_row;
        return true;
      case tag::th:
      case tag::td:
        clear_stack_to_context(body_context);
        insert_implied(tag::tr);
        mode_ = insertion_mode::in_row;
        return false;
      case tag::caption:
      case tag::col:
      case tag::colgroup:
      case tag::tbody:
      case tag::tfoot:
      case tag::thead: break;
      default: return in_table(t);
    }
  } else if (is_end(t)) {
    switch (token_tag_) {
      case tag::tbody:
      case tag::tfoot:
      case tag::thead:
        if (!open_.in_scope(token_tag_, scope_kind::table)) return true;
        clear_stack_to_context(body_context);
        open_.pop();
        mode_ = insertion_mode::in_table;
        return true;
      case tag::table: break;
      case tag::body:
      case tag::caption:
      case tag::col:
      case tag::colgroup:
      case tag::html:
      case tag::td:
      case tag::th:
      case tag::tr: return true;
      default: return in_table(t);
    }
  } else {
    return in_table(t);
  }
  // A table part or </table>: the open row group closes first.
  if (!open_.in_scope(tag::tbody, scope_kind::table) &&
      !open_.in_scope(tag::thead, scope_kind::table) &&
      !open_.in_scope(tag::tfoot, scope_kind::table)) {
    return true;
  }
  clear_stack_to_context(body_context);
  open_.pop();
  mode_ = insertion_mode::in_table;
  return false;
}

// The "in row" insertion mode.
bool tree_builder::in_row(token& t) {
  static constexpr std::initializer_list<tag> row_context = {tag::tr,
                                                             tag::template_};
  if (is_start(t)) {
    switch (token_tag_) {
      case tag::th:
      case tag::td:
        clear_stack_to_context(row_context);
        count_cell(open_.current());
        insert_html_element(t);
        mode_ = insertion_mode::in_cell;
        formatting_.push_marker();
        return true;
      case tag::caption:
      case tag::col:
      case tag::colgroup:
      case tag::tbody:
      case tag::tfoot:
      case tag::thead: break;
      case tag::tr:
        if (drop_row_start_tag()) return true;
        break;
      default: return in_table(t);
    }
  } else if (is_end(t)) {
    switch (token_tag_) {
      case tag::tr:
        if (!open_.in_scope(tag::tr, scope_kind::table)) return true;
        clear_stack_to_context(row_context);
        open_.pop();
        mode_ = insertion_mode::in_table_body;
        return true;
      case tag::table: break;
      case tag::tbody:
      case tag::tfoot:
      case tag::thead:
        if (!open_.in_scope(token_tag_, scope_kind::table)) return true;
        break;
      case tag::body:
      case tag::caption:
      case tag::col:
      case tag::colgroup:
      case tag::html:
      case tag::td:
      case tag::th: return true;
      default: return in_table(t);
    }
  } else {
    return in_table(t);
  }
  // The row closes first, then the token is reprocessed.
  if (!open_.in_scope(tag::tr, scope_kind::table)) return true;
  clear_stack_to_context(row_context);
  open_.pop();
  mode_ = insertion_mode::in_table_body;
  return false;
}

// "Close the cell".
void tree_builder::close_cell() {
  generate_implied_end_tags();
  pop_until_one_of({tag::td, tag::th});
  formatting_.clear_to_last_marker();
  mode_ = insertion_mode::in_row;
}

// The "in cell" insertion mode.
bool tree_builder::in_cell(token& t) {
  if (is_end(t)) {
    switch (token_tag_) {
      case tag::td:
      case tag::th:
        if (!open_.in_scope(token_tag_, scope_kind::table)) return true;
        generate_implied_end_tags();
        pop_until(token_tag_);
        formatting_.clear_to_last_marker();
        mode_ = insertion_mode::in_row;
        return true;
      case tag::body:
      case tag::caption:
      case tag::col:
      case tag::colgroup:
      case tag::html: return true;
      case tag::table:
      case tag::tbody:
      case tag::tfoot:
      case tag::thead:
      case tag::tr:
        if (!open_.in_scope(token_tag_, scope_kind::table)) return true;
        close_cell();
        return false;
      default: return in_body(t);
    }
  }
  if (is_start(t)) {
    switch (token_tag_) {
      case tag::caption:
      case tag::col:
      case tag::colgroup:
      case tag::tbody:
      case tag::td:
      case tag::tfoot:
      case tag::th:
      case tag::thead:
      case tag::tr:
        if (!open_.in_scope(tag::td, scope_kind::table) &&
            !open_.in_scope(tag::th, scope_kind::table)) {
          return true;
        }
        if ((token_tag_ == tag::td || token_tag_ == tag::th) &&
            drop_cell_start_tag()) {
          return true;
        }
        if (token_tag_ == tag::tr && drop_row_start_tag()) return true;
        close_cell();
        return false;
      default: break;
    }
  }
  return in_body(t);
}

// The "in template" insertion mode.
bool tree_builder::in_template(token& t) {
  auto switch_template_mode = [this](insertion_mode m) {
    template_modes_.pop_back();
    template_modes_.push_back(m);
    mode_ = m;
    return false;
  };
  switch (t.kind) {
    case token_kind::comment:
    case token_kind::doctype: return in_body(t);
    case token_kind::start_tag:
      if (is_head_element(token_tag_)) return in_head(t);
      switch (token_tag_) {
        case tag::caption:
        case tag::colgroup:
        case tag::tbody:
        case tag::tfoot:
        case tag::thead: return switch_template_mode(insertion_mode::in_table);
        case tag::col:
          return switch_template_mode(insertion_mode::in_column_group);
        case tag::tr:
          return switch_template_mode(insertion_mode::in_table_body);
        case tag::td:
        case tag::th: return switch_template_mode(insertion_mode::in_row);
        default: return switch_template_mode(insertion_mode::in_body);
      }
    case token_kind::end_tag:
      if (token_tag_ == tag::template_) return in_head(t);
      return true;
    case token_kind::end_of_file:
      if (!template_on_stack()) {
        stop_parsing();
        return true;
      }
      pop_until(tag::template_);
      formatting_.clear_to_last_marker();
      template_modes_.pop_back();
      reset_insertion_mode();
      return false;
    case token_kind::characters: return true;
  }
  return true;
}

}  // namespace tagweave::html5
