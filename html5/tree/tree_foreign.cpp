// The HTML standard's rules for parsing tokens in foreign content (SVG and
// MathML), and its integration points.
#include "html5/tree/tree_builder.h"

#include "html5/tree/tree_chars.h"

namespace tagweave::html5 {
namespace {

// HTML start tags that end foreign content.
bool breaks_out_of_foreign_content(tag t) {
  switch (t) {
    case tag::b:
    case tag::big:
    case tag::blockquote:
    case tag::body:
    case tag::br:
    case tag::center:
    case tag::code:
    case tag::dd:
    case tag::div:
    case tag::dl:
    case tag::dt:
    case tag::em:
    case tag::embed:
    case tag::h1:
    case tag::h2:
    case tag::h3:
    case tag::h4:
    case tag::h5:
    case tag::h6:
    case tag::head:
    case tag::hr:
    case tag::i:
    case tag::img:
    case tag::li:
    case tag::listing:
    case tag::menu:
    case tag::meta:
    case tag::nobr:
    case tag::ol:
    case tag::p:
    case tag::pre:
    case tag::ruby:
    case tag::s:
    case tag::small:
    case tag::span:
    case tag::strong:
    case tag::strike:
    case tag::sub:
    case tag::sup:
    case tag::table:
    case tag::tt:
    case tag::u:
    case tag::ul:
    case tag::var: return true;
    default: return false;
  }
}

bool has_font_attribute(const token& t) {
  for (const attribute& a : t.attributes) {
    if (a.name == "color" || a.name == "face" || a.name == "size") return true;
  }
  return false;
}

// U+FFFD REPLACEMENT CHARACTER in UTF-8, for U+0000 in foreign content.
constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

}  // namespace

bool tree_builder::is_mathml_text_integration_point(std::size_t i) const {
  if (open_.space_at(i) != element_namespace::mathml) return false;
  tag t = open_.tag_at(i);
  return t == tag::mi || t == tag::mo || t == tag::mn || t == tag::ms ||
         t == tag::mtext;
}

bool tree_builder::is_html_integration_point(std::size_t i) const {
  tag t = open_.tag_at(i);
  switch (open_.space_at(i)) {
    case element_namespace::mathml:
      return t == tag::annotation_xml &&
             html_annotations_.count(open_.node_at(i)) != 0;
    case element_namespace::svg:
      return t == tag::foreignobject || t == tag::desc || t == tag::title;
    default: return false;
  }
}

node_id tree_builder::insert_foreign_element(token& t,
                                             element_namespace space) {
  location where = appropriate_place();
  node_id element = create_element_for(t, space, token_tag_);
  insert_at(where, element);
  open_.push(element, token_tag_, space);
  return element;
}

void tree_builder::foreign_characters(std::string_view& text) {
  std::string replaced;
  std::string_view data = text;
  if (data.find('\0') != std::string_view::npos) {
    for (char c : data) {
      if (c == '\0') {
        replaced.append(replacement_character);
      } else {
        replaced.push_back(c);
      }
    }
    data = replaced;
  }
  for (char c : text) {
    if (c != '\0' && !is_tree_whitespace(c)) {
      frameset_ok_ = false;
      break;
    }
  }
  insert_characters(data);
  text = {};
}

tree_builder::foreign_result tree_builder::foreign_token(token& t) {
  switch (t.kind) {
    case token_kind::comment:
      insert_comment(t.data);
      return foreign_result::done;
    case token_kind::doctype: return foreign_result::done;
    case token_kind::start_tag: return foreign_start_tag(t);
    case token_kind::end_tag: return foreign_end_tag();
    default: return foreign_result::use_insertion_mode;
  }
}

// Breaking out of foreign content: pops until the current node is HTML or
// an integration point.
void tree_builder::pop_to_html_content() {
  while (!open_.empty() && open_.current_space() != element_namespace::html &&
         !is_mathml_text_integration_point(open_.size() - 1) &&
         !is_html_integration_point(open_.size() - 1)) {
    open_.pop();
  }
}

tree_builder::foreign_result tree_builder::foreign_start_tag(token& t) {
  if (breaks_out_of_foreign_content(token_tag_) ||
      (token_tag_ == tag::font && has_font_attribute(t))) {
    pop_to_html_content();
    return foreign_result::use_insertion_mode;
  }
  element_namespace space = open_.current_space();
  if (drop_foreign_start_tag(space)) return foreign_result::done;
  insert_foreign_element(t, space);
  if (t.self_closing) open_.pop();
  return foreign_result::done;
}

// End tags: </br> and </p> break out like the start tags above; any other
// closes the topmost foreign element of that name if no HTML element is
// open above it, else goes to the insertion mode. Both positions are known,
// so nothing walks the stack.
tree_builder::foreign_result tree_builder::foreign_end_tag() {
  if (token_tag_ == tag::br || token_tag_ == tag::p) {
    pop_to_html_content();
    // By the insertion mode's rules, not the dispatcher's: at an HTML
    // integration point an end tag would come back here for ever.
    return foreign_result::use_insertion_mode;
  }
  std::size_t at = open_.topmost_foreign(token_tag_);
  std::size_t html = open_.boundary(scope_kind::html);
  if (at != open_elements::npos && (html == open_elements::npos || at > html)) {
    open_.pop_to_size(at);
    return foreign_result::done;
  }
  return foreign_result::use_insertion_mode;
}

}  // namespace tagweave::html5
