// Tree construction's shared steps: the appropriate place for inserting a
// node (foster parenting, template contents, the depth limit), creating and
// inserting elements, text and comments, and the HTML standard's generic
// algorithms (implied end tags, closing a p element, resetting the
// insertion mode).
#include "html5/tree/tree_builder.h"

namespace tagweave::html5 {

// "The appropriate place for inserting a node", with foster parenting, then
// the depth limit.
tree_builder::location tree_builder::appropriate_place(node_id target) const {
  location where{target, no_node};
  const node& t = doc_[target];
  bool table_like =
      t.kind == node_kind::element && t.space == element_namespace::html &&
      (t.name == tag::table || t.name == tag::tbody || t.name == tag::tfoot ||
       t.name == tag::thead || t.name == tag::tr);
  if (foster_parenting_ && table_like) {
    std::size_t last_template = open_.topmost(tag::template_);
    std::size_t last_table = open_.topmost(tag::table);
    if (last_template != open_elements::npos &&
        (last_table == open_elements::npos || last_template > last_table)) {
      where = location{doc_.template_contents(open_.node_at(last_template)),
                       no_node};
      return clamp_depth(where);
    }
    if (last_table == open_elements::npos) {
      where = location{open_.node_at(0), no_node};
    } else {
      node_id table = open_.node_at(last_table);
      if (doc_[table].parent != no_node) {
        where = location{doc_[table].parent, table};
      } else {
        where = location{open_.node_at(open_.below(last_table)), no_node};
      }
    }
  }
  if (node_id contents = doc_.template_contents(where.parent);
      contents != no_node) {
    where = location{contents, no_node};
  }
  return clamp_depth(where);
}

tree_builder::location tree_builder::appropriate_place() const {
  return appropriate_place(open_.current());
}

// The depth limit: a node whose parent is already at max_tree_depth goes
// into the nearest ancestor above the limit, after its last child, so lands
// at max_tree_depth itself. (Only a template's contents can sit one level
// deeper than the limit: a template placed at the limit keeps its contents
// fragment below it, and what would go in there goes beside the template.)
tree_builder::location tree_builder::clamp_depth(location where) const {
  node_id parent = where.parent;
  while (doc_[parent].depth >= max_tree_depth &&
         doc_[parent].parent != no_node) {
    parent = doc_[parent].parent;
  }
  if (parent == where.parent) return where;
  return location{parent, no_node};
}

void tree_builder::insert_at(location where, node_id child) {
  doc_.insert_before(where.parent, child, where.before);
}

attribute_span tree_builder::store_attributes(const token& t,
                                              element_namespace space) {
  for (const attribute& a : t.attributes) {
    std::string_view name = a.name;
    if (space == element_namespace::html) {
      doc_.add_attribute(name, a.value, attribute_namespace::none);
      continue;
    }
    // "Adjust SVG attributes" or "adjust MathML attributes", then "adjust
    // foreign attributes".
    name = space == element_namespace::svg
               ? adjusted_svg_attribute_name(name)
               : adjusted_mathml_attribute_name(name);
    if (auto foreign = adjusted_foreign_attribute(name)) {
      doc_.add_attribute(foreign->local_name, a.value, foreign->space);
    } else {
      doc_.add_attribute(name, a.value, attribute_namespace::none);
    }
  }
  return doc_.take_attributes();
}

node_id tree_builder::create_element_for(token& t, element_namespace space,
                                         tag name) {
  node_id element =
      doc_.create_element(name, space, store_attributes(t, space));
  if (space == element_namespace::mathml && name == tag::annotation_xml) {
    for (const attribute& a : t.attributes) {
      if (a.name != "encoding") continue;
      std::string value = a.value;
      for (char& c : value) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
      if (value == "text/html" || value == "application/xhtml+xml") {
        html_annotations_.insert(element);
      }
    }
  }
  return element;
}

node_id tree_builder::insert_html_element(token& t) {
  location where = appropriate_place();
  node_id element = create_element_for(t, element_namespace::html, token_tag_);
  insert_at(where, element);
  open_.push(element, token_tag_, element_namespace::html);
  return element;
}

node_id tree_builder::insert_implied(tag name) {
  location where =
      open_.empty() ? location{document::root(), no_node} : appropriate_place();
  node_id element =
      doc_.create_element(name, element_namespace::html, attribute_span{});
  insert_at(where, element);
  open_.push(element, name, element_namespace::html);
  return element;
}

void tree_builder::insert_characters(std::string_view text) {
  if (text.empty()) return;
  location where = appropriate_place();
  if (doc_[where.parent].kind == node_kind::document) return;
  node_id before = where.before == no_node ? doc_.last_child(where.parent)
                                           : doc_.prev_sibling(where.before);
  if (before != no_node && doc_[before].kind == node_kind::text) {
    doc_.append_text(before, text);
    return;
  }
  insert_at(where, doc_.create_text(text));
}

void tree_builder::insert_comment(std::string_view data, location where) {
  insert_at(where, doc_.create_comment(data));
}

void tree_builder::insert_comment(std::string_view data) {
  insert_comment(data, appropriate_place());
}

void tree_builder::push_formatting(node_id element, tag name) {
  active_formatting::entry e;
  e.node = element;
  e.name = name;
  e.attributes_hash = hash_attributes(doc_, doc_.attribute_list(element));
  formatting_.push(e, doc_);
}

void tree_builder::add_missing_attributes(node_id element, const token& t) {
  for (const attribute& a : t.attributes) {
    doc_.add_late_attribute(element, a.name, a.value);
  }
}

// The generic algorithms.

void tree_builder::switch_tokenizer(tokenizer_state state) {
  if (tokenizer_ == nullptr) return;
  tokenizer_->set_state(state);
}

// The generic raw text and RCDATA element parsing algorithms.
void tree_builder::generic_text_element(token& t, tokenizer_state state) {
  insert_html_element(t);
  switch_tokenizer(state);
  original_mode_ = mode_;
  mode_ = insertion_mode::text;
}

namespace {

bool has_implied_end_tag(tag t) {
  switch (t) {
    case tag::dd:
    case tag::dt:
    case tag::li:
    case tag::optgroup:
    case tag::option:
    case tag::p:
    case tag::rb:
    case tag::rp:
    case tag::rt:
    case tag::rtc: return true;
    default: return false;
  }
}

bool has_thorough_implied_end_tag(tag t) {
  switch (t) {
    case tag::caption:
    case tag::colgroup:
    case tag::tbody:
    case tag::td:
    case tag::tfoot:
    case tag::th:
    case tag::thead:
    case tag::tr: return true;
    default: return has_implied_end_tag(t);
  }
}

}  // namespace

void tree_builder::generate_implied_end_tags(tag except) {
  while (!open_.empty() && open_.current_space() == element_namespace::html &&
         open_.current_tag() != except &&
         has_implied_end_tag(open_.current_tag())) {
    open_.pop();
  }
}

void tree_builder::generate_all_implied_end_tags_thoroughly() {
  while (!open_.empty() && open_.current_space() == element_namespace::html &&
         has_thorough_implied_end_tag(open_.current_tag())) {
    open_.pop();
  }
}

void tree_builder::pop_until(tag name) {
  std::size_t at = open_.topmost(name);
  if (at != open_elements::npos) open_.pop_to_size(at);
}

void tree_builder::pop_until_one_of(std::initializer_list<tag> names) {
  std::size_t top = open_elements::npos;
  for (tag name : names) {
    std::size_t at = open_.topmost(name);
    if (at != open_elements::npos && (top == open_elements::npos || at > top)) {
      top = at;
    }
  }
  if (top != open_elements::npos) open_.pop_to_size(top);
}

// "Close a p element".
void tree_builder::close_p() {
  generate_implied_end_tags(tag::p);
  pop_until(tag::p);
}

void tree_builder::close_p_in_button_scope() {
  if (open_.in_scope(tag::p, scope_kind::button)) close_p();
}

// "Reset the insertion mode appropriately". Instead of walking the stack, it
// finds the topmost element that decides the mode through the per-tag
// positions: only the elements listed below decide it.
void tree_builder::reset_insertion_mode() {
  static constexpr tag deciding[] = {
      tag::td,    tag::th,      tag::tr,       tag::tbody, tag::thead,
      tag::tfoot, tag::caption, tag::colgroup, tag::table, tag::template_,
      tag::head,  tag::body,    tag::frameset, tag::html};
  std::size_t top = open_elements::npos;
  for (tag t : deciding) {
    std::size_t at = open_.topmost(t);
    if (at != open_elements::npos && (top == open_elements::npos || at > top)) {
      top = at;
    }
  }
  if (top == open_elements::npos) {
    mode_ = insertion_mode::in_body;
    return;
  }
  switch (open_.tag_at(top)) {
    case tag::td:
    case tag::th: mode_ = insertion_mode::in_cell; return;
    case tag::tr: mode_ = insertion_mode::in_row; return;
    case tag::tbody:
    case tag::thead:
    case tag::tfoot: mode_ = insertion_mode::in_table_body; return;
    case tag::caption: mode_ = insertion_mode::in_caption; return;
    case tag::colgroup: mode_ = insertion_mode::in_column_group; return;
    case tag::table: mode_ = insertion_mode::in_table; return;
    case tag::template_: mode_ = template_modes_.back(); return;
    case tag::head:
      mode_ = top == 0 ? insertion_mode::in_body : insertion_mode::in_head;
      return;
    case tag::body: mode_ = insertion_mode::in_body; return;
    case tag::frameset: mode_ = insertion_mode::in_frameset; return;
    default:
      mode_ = head_ == no_node ? insertion_mode::before_head
                               : insertion_mode::after_head;
      return;
  }
}

void tree_builder::stop_parsing() {
  stopped_ = true;
  fill_selected_content();
  open_.pop_to_size(0);
}

}  // namespace tagweave::html5
