// The "in body" insertion mode of the HTML standard, one handler per group
// of tags. Each returns false when the token is not of its group.
#include "html5/tree/tree_builder.h"

#include "html5/tree/tree_chars.h"

#include <algorithm>

namespace tagweave::html5 {
namespace {

bool is_heading(tag t) {
  return t == tag::h1 || t == tag::h2 || t == tag::h3 || t == tag::h4 ||
         t == tag::h5 || t == tag::h6;
}

bool is_formatting_tag(tag t) {
  switch (t) {
    case tag::a:
    case tag::b:
    case tag::big:
    case tag::code:
    case tag::em:
    case tag::font:
    case tag::i:
    case tag::nobr:
    case tag::s:
    case tag::small:
    case tag::strike:
    case tag::strong:
    case tag::tt:
    case tag::u: return true;
    default: return false;
  }
}

}  // namespace

bool tree_builder::in_body(token& t) {
  switch (t.kind) {
    case token_kind::comment: insert_comment(t.data); return true;
    case token_kind::doctype: return true;
    case token_kind::start_tag: in_body_start(t); return true;
    case token_kind::end_tag:
      if (token_tag_ == tag::html) {
        if (!open_.in_scope(tag::body, scope_kind::normal)) return true;
        mode_ = insertion_mode::after_body;
        return false;
      }
      in_body_end(t);
      return true;
    case token_kind::end_of_file:
      if (!template_modes_.empty()) return in_template(t);
      stop_parsing();
      return true;
    case token_kind::characters: return true;
  }
  return true;
}

// Characters: U+0000 is dropped, the rest inserted after reconstructing the
// active formatting elements.
void tree_builder::in_body_characters(std::string_view& text) {
  while (!text.empty()) {
    std::size_t end = text.find('\0');
    std::string_view run = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (run.empty()) continue;
    reconstruct_formatting();
    insert_characters(run);
    if (has_non_whitespace(run)) frameset_ok_ = false;
  }
}

void tree_builder::in_body_start(token& t) {
  if (in_body_start_structure(t) || in_body_start_block(t) ||
      in_body_start_list_item(t) || in_body_start_phrasing(t) ||
      in_body_start_form_control(t) || in_body_start_raw(t)) {
    return;
  }
  // Any other start tag.
  reconstruct_formatting();
  if (drop_other_start_tag(t)) return;
  node_id element = insert_html_element(t);
  if (token_tag_ == tag::selectedcontent) note_select_part(element, t);
}

// html, body, frameset, the elements of the head, and the table parts that
// are ignored here.
bool tree_builder::in_body_start_structure(token& t) {
  if (is_head_element(token_tag_)) {
    in_head(t);
    return true;
  }
  switch (token_tag_) {
    case tag::html:
      if (!template_on_stack()) add_missing_attributes(open_.node_at(0), t);
      return true;
    case tag::body:
      if (open_.size() < 2 || !open_.is_html_at(1, tag::body) ||
          template_on_stack()) {
        return true;
      }
      frameset_ok_ = false;
      add_missing_attributes(open_.node_at(1), t);
      return true;
    case tag::frameset:
      if (open_.size() < 2 || !open_.is_html_at(1, tag::body) ||
          !frameset_ok_) {
        return true;
      }
      doc_.detach(open_.node_at(1));
      open_.pop_to_size(1);
      insert_html_element(t);
      mode_ = insertion_mode::in_frameset;
      return true;
    case tag::caption:
    case tag::col:
    case tag::colgroup:
    case tag::frame:
    case tag::head:
    case tag::tbody:
    case tag::td:
    case tag::tfoot:
    case tag::th:
    case tag::thead:
    case tag::tr: return true;
    default: return false;
  }
}

// Blocks that close an open p first.
bool tree_builder::in_body_start_block(token& t) {
  switch (token_tag_) {
    case tag::address:
    case tag::article:
    case tag::aside:
    case tag::blockquote:
    case tag::center:
    case tag::details:
    case tag::dialog:
    case tag::dir:
    case tag::div:
    case tag::dl:
    case tag::fieldset:
    case tag::figcaption:
    case tag::figure:
    case tag::footer:
    case tag::header:
    case tag::hgroup:
    case tag::main:
    case tag::menu:
    case tag::nav:
    case tag::ol:
    case tag::p:
    case tag::search:
    case tag::section:
    case tag::summary:
    case tag::ul:
      close_p_in_button_scope();
      if (!drop_start_tag(t)) insert_html_element(t);
      return true;
    case tag::h1:
    case tag::h2:
    case tag::h3:
    case tag::h4:
    case tag::h5:
    case tag::h6:
      close_p_in_button_scope();
      if (open_.current_space() == element_namespace::html &&
          is_heading(open_.current_tag())) {
        open_.pop();
      }
      if (!drop_start_tag(t)) insert_html_element(t);
      return true;
    case tag::pre:
    case tag::listing:
      close_p_in_button_scope();
      insert_html_element(t);
      skip_newline_ = true;
      frameset_ok_ = false;
      return true;
    case tag::form:
      if (form_ != no_node && !template_on_stack()) return true;
      close_p_in_button_scope();
      {
        node_id form = insert_html_element(t);
        if (!template_on_stack()) form_ = form;
      }
      return true;
    case tag::plaintext:
      close_p_in_button_scope();
      insert_html_element(t);
      switch_tokenizer(tokenizer_state::plaintext);
      return true;
    case tag::table:
      if (doc_.mode() != quirks_mode::quirks) close_p_in_button_scope();
      insert_html_element(t);
      frameset_ok_ = false;
      mode_ = insertion_mode::in_table;
      return true;
    case tag::hr:
      close_p_in_button_scope();
      if (open_.in_scope(tag::select, scope_kind::normal)) {
        generate_implied_end_tags();
      }
      if (!drop_start_tag(t)) {
        insert_html_element(t);
        open_.pop();
      }
      frameset_ok_ = false;
      return true;
    default: return false;
  }
}

// li, dd and dt close the open list item of their kind, if the walk down
// the stack finds one before a special element other than address, div and
// p. The walk is one comparison: the topmost item against the topmost
// element that would stop it.
void tree_builder::close_list_items_for(tag name) {
  std::size_t item = name == tag::li ? open_.topmost(tag::li)
                                     : std::max(open_.topmost(tag::dd) + 1,
                                                open_.topmost(tag::dt) + 1) -
                                           1;
  if (!open_.position_in_scope(item, scope_kind::list_walk)) return;
  tag found = open_.tag_at(item);
  generate_implied_end_tags(found);
  open_.pop_to_size(item);
}

bool tree_builder::in_body_start_list_item(token& t) {
  if (token_tag_ != tag::li && token_tag_ != tag::dd && token_tag_ != tag::dt) {
    return false;
  }
  frameset_ok_ = false;
  close_list_items_for(token_tag_);
  close_p_in_button_scope();
  if (!drop_start_tag(t)) insert_html_element(t);
  return true;
}

// Formatting elements, void elements, ruby, and the foreign roots.
bool tree_builder::in_body_start_phrasing(token& t) {
  switch (token_tag_) {
    case tag::a: {
      std::size_t open_a = formatting_.find_after_marker(tag::a);
      if (open_a != active_formatting::npos) {
        node_id a = formatting_.at(open_a).node;
        if (!adoption_agency(tag::a)) in_body_end_other(tag::a);
        std::size_t still_listed = formatting_.index_of(a);
        if (still_listed != active_formatting::npos) {
          formatting_.remove_at(still_listed);
        }
        std::size_t still_open = open_.index_of(a);
        if (still_open != open_elements::npos) open_.remove_at(still_open);
      }
      reconstruct_formatting();
      if (!drop_start_tag(t)) push_formatting(insert_html_element(t), tag::a);
      return true;
    }
    case tag::nobr:
      reconstruct_formatting();
      if (open_.in_scope(tag::nobr, scope_kind::normal)) {
        if (!adoption_agency(tag::nobr)) in_body_end_other(tag::nobr);
        reconstruct_formatting();
      }
      if (!drop_start_tag(t)) {
        push_formatting(insert_html_element(t), tag::nobr);
      }
      return true;
    case tag::applet:
    case tag::marquee:
    case tag::object:
      reconstruct_formatting();
      insert_html_element(t);
      formatting_.push_marker();
      frameset_ok_ = false;
      return true;
    case tag::area:
    case tag::br:
    case tag::embed:
    case tag::img:
    case tag::keygen:
    case tag::wbr:
      reconstruct_formatting();
      if (!drop_start_tag(t)) {
        insert_html_element(t);
        open_.pop();
      }
      frameset_ok_ = false;
      return true;
    case tag::param:
    case tag::source:
    case tag::track:
      insert_html_element(t);
      open_.pop();
      return true;
    case tag::image:
      t.name = "img";
      token_tag_ = tag::img;
      return in_body_start_phrasing(t);
    case tag::rb:
    case tag::rtc:
      if (open_.in_scope(tag::ruby, scope_kind::normal)) {
        generate_implied_end_tags();
      }
      insert_html_element(t);
      return true;
    case tag::rp:
    case tag::rt:
      if (open_.in_scope(tag::ruby, scope_kind::normal)) {
        generate_implied_end_tags(tag::rtc);
      }
      insert_html_element(t);
      return true;
    case tag::math:
      reconstruct_formatting();
      insert_foreign_element(t, element_namespace::mathml);
      if (t.self_closing) open_.pop();
      return true;
    case tag::svg:
      reconstruct_formatting();
      insert_foreign_element(t, element_namespace::svg);
      if (t.self_closing) open_.pop();
      return true;
    default:
      if (!is_formatting_tag(token_tag_)) return false;
      reconstruct_formatting();
      if (!drop_start_tag(t)) {
        push_formatting(insert_html_element(t), token_tag_);
      }
      return true;
  }
}

// Buttons and the form controls around select, by the relaxed select
// parsing of the HTML standard.
bool tree_builder::in_body_start_form_control(token& t) {
  switch (token_tag_) {
    case tag::button:
      if (open_.in_scope(tag::button, scope_kind::normal)) {
        generate_implied_end_tags();
        pop_until(tag::button);
      }
      reconstruct_formatting();
      insert_html_element(t);
      frameset_ok_ = false;
      return true;
    case tag::select:
      if (open_.in_scope(tag::select, scope_kind::normal)) {
        // A select inside a select closes it and is dropped.
        pop_until(tag::select);
        return true;
      }
      reconstruct_formatting();
      insert_html_element(t);
      frameset_ok_ = false;
      return true;
    case tag::input:
      if (open_.in_scope(tag::select, scope_kind::normal)) {
        pop_until(tag::select);
      }
      reconstruct_formatting();
      insert_html_element(t);
      open_.pop();
      if (!is_hidden_input(t)) frameset_ok_ = false;
      return true;
    case tag::option:
      if (open_.in_scope(tag::select, scope_kind::normal)) {
        generate_implied_end_tags(tag::optgroup);
      } else if (open_.current_is(tag::option)) {
        open_.pop();
      }
      reconstruct_formatting();
      note_select_part(insert_html_element(t), t);
      return true;
    case tag::optgroup:
      if (open_.in_scope(tag::select, scope_kind::normal)) {
        generate_implied_end_tags();
      } else if (open_.current_is(tag::option)) {
        open_.pop();
      }
      reconstruct_formatting();
      insert_html_element(t);
      return true;
    default: return false;
  }
}

// Elements whose content the tokenizer reads as raw text or RCDATA.
bool tree_builder::in_body_start_raw(token& t) {
  switch (token_tag_) {
    case tag::textarea:
      insert_html_element(t);
      skip_newline_ = true;
      switch_tokenizer(tokenizer_state::rcdata);
      original_mode_ = mode_;
      frameset_ok_ = false;
      mode_ = insertion_mode::text;
      return true;
    case tag::xmp:
      close_p_in_button_scope();
      reconstruct_formatting();
      frameset_ok_ = false;
      generic_text_element(t, tokenizer_state::rawtext);
      return true;
    case tag::iframe:
      frameset_ok_ = false;
      generic_text_element(t, tokenizer_state::rawtext);
      return true;
    case tag::noembed:
      generic_text_element(t, tokenizer_state::rawtext);
      return true;
    default: return false;
  }
}

void tree_builder::in_body_end(token& t) {
  if (in_body_end_block(t) || in_body_end_list_or_heading(t)) return;
  if (is_formatting_tag(token_tag_)) {
    if (!adoption_agency(token_tag_)) in_body_end_other(token_tag_);
    return;
  }
  in_body_end_other(token_tag_);
}

// End tags of blocks, body, form, applet-like elements and br.
bool tree_builder::in_body_end_block(token& t) {
  switch (token_tag_) {
    case tag::template_: in_head(t); return true;
    case tag::body:
      if (open_.in_scope(tag::body, scope_kind::normal)) {
        mode_ = insertion_mode::after_body;
      }
      return true;
    case tag::address:
    case tag::article:
    case tag::aside:
    case tag::blockquote:
    case tag::button:
    case tag::center:
    case tag::details:
    case tag::dialog:
    case tag::dir:
    case tag::div:
    case tag::dl:
    case tag::fieldset:
    case tag::figcaption:
    case tag::figure:
    case tag::footer:
    case tag::header:
    case tag::hgroup:
    case tag::listing:
    case tag::main:
    case tag::menu:
    case tag::nav:
    case tag::ol:
    case tag::pre:
    case tag::search:
    case tag::section:
    case tag::select:
    case tag::summary:
    case tag::ul:
      if (!open_.in_scope(token_tag_, scope_kind::normal)) return true;
      generate_implied_end_tags();
      pop_until(token_tag_);
      return true;
    case tag::form:
      if (!template_on_stack()) {
        node_id form = form_;
        form_ = no_node;
        std::size_t at = open_.index_of(form);
        if (form == no_node ||
            !open_.position_in_scope(at, scope_kind::normal)) {
          return true;
        }
        generate_implied_end_tags();
        open_.remove_at(open_.index_of(form));
        return true;
      }
      if (!open_.in_scope(tag::form, scope_kind::normal)) return true;
      generate_implied_end_tags();
      pop_until(tag::form);
      return true;
    case tag::p:
      if (!open_.in_scope(tag::p, scope_kind::button)) {
        if (drop_implied_p()) return true;
        insert_implied(tag::p);
      }
      close_p();
      return true;
    case tag::applet:
    case tag::marquee:
    case tag::object:
      if (!open_.in_scope(token_tag_, scope_kind::normal)) return true;
      generate_implied_end_tags();
      pop_until(token_tag_);
      formatting_.clear_to_last_marker();
      return true;
    case tag::br:
      // Parse error: treated as <br> without attributes.
      t.attributes.clear();
      t.kind = token_kind::start_tag;
      in_body_start_phrasing(t);
      return true;
    default: return false;
  }
}

bool tree_builder::in_body_end_list_or_heading(token&) {
  switch (token_tag_) {
    case tag::li:
      if (!open_.in_scope(tag::li, scope_kind::list_item)) return true;
      generate_implied_end_tags(tag::li);
      pop_until(tag::li);
      return true;
    case tag::dd:
    case tag::dt:
      if (!open_.in_scope(token_tag_, scope_kind::normal)) return true;
      generate_implied_end_tags(token_tag_);
      pop_until(token_tag_);
      return true;
    case tag::h1:
    case tag::h2:
    case tag::h3:
    case tag::h4:
    case tag::h5:
    case tag::h6: {
      static constexpr std::initializer_list<tag> headings = {
          tag::h1, tag::h2, tag::h3, tag::h4, tag::h5, tag::h6};
      bool any = false;
      for (tag h : headings) any = any || open_.in_scope(h, scope_kind::normal);
      if (!any) return true;
      generate_implied_end_tags();
      pop_until_one_of(headings);
      return true;
    }
    default: return false;
  }
}

// "Any other end tag": the walk down the stack stops at the topmost element
// of the tag, or at a special element above it. Both are known positions.
void tree_builder::in_body_end_other(tag name) {
  std::size_t at = open_.topmost(name);
  if (!open_.position_in_scope(at, scope_kind::special)) return;
  generate_implied_end_tags(name);
  open_.pop_to_size(at);
}

}  // namespace tagweave::html5
