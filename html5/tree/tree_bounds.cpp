// The bounds on elements (see tree_builder.h): past max_open_elements or
// past the element budget, a start tag of an element that only styles or
// groups text creates no element and opens none. Its text stays, in order,
// in the element around it; where the element would have separated words (a
// block, a line break, a list item) a space keeps them apart. Only
// formatting is lost. Its end tag then acts on the elements that are open,
// as an end tag without a start tag does.
//
// Table rows and cells opened without closing the last one are bounded the
// same way: past max_cells_per_row a cell start tag, and past the budget a
// row start tag, continue the open cell after a space; past the budget a row
// start tag right after an empty row is dropped.
//
// Never dropped: elements that change how what follows is read (tables,
// forms, raw text, templates, select, foreign content), that hide what they
// hold (a hidden attribute, dialog, and unknown tags, among them video and
// canvas), or that carry text of their own (images and their alt text); but
// past max_open_elements any element that would land at the depth limit is
// dropped, since it would hold nothing: an unknown one, a hidden one, or an
// SVG or MathML one that holds no HTML.
#include "html5/tree/tree_bounds.h"
#include "html5/tree/tree_builder.h"

#include <algorithm>

namespace tagweave::html5 {
namespace {

bool has_hidden_attribute(const token& t) {
  return std::any_of(t.attributes.begin(), t.attributes.end(),
                     [](const attribute& a) { return a.name == "hidden"; });
}

}  // namespace

void tree_builder::leave_separating_space() { insert_characters(" "); }

bool tree_builder::drop_start_tag_past_bounds(const token& t) {
  text_role r = text_role_of(token_tag_);
  if (r == text_role::kept || within_element_bounds() ||
      has_hidden_attribute(t)) {
    return false;
  }
  if (r == text_role::separating) leave_separating_space();
  return true;
}

bool tree_builder::drop_other_start_tag_past_bounds(const token& t) {
  if (text_role_of(token_tag_) != text_role::kept) {
    return drop_start_tag_past_bounds(t);
  }
  return token_tag_ != tag::selectedcontent &&
         open_.size() >= max_open_elements && lands_at_depth_limit();
}

// Landing at the depth limit, an element is a leaf: whatever follows goes
// beside it, so it would hide nothing and show nothing.
bool tree_builder::lands_at_depth_limit() const {
  std::size_t parent_depth = doc_[appropriate_place().parent].depth;
  return parent_depth + 1 >= max_tree_depth;
}

bool tree_builder::drop_foreign_start_tag(element_namespace space) {
  if (open_.size() < max_open_elements) return false;
  // Integration points: what follows them is read as HTML.
  bool holds_html =
      space == element_namespace::svg
          ? token_tag_ == tag::foreignobject || token_tag_ == tag::desc ||
                token_tag_ == tag::title
          : token_tag_ == tag::mi || token_tag_ == tag::mo ||
                token_tag_ == tag::mn || token_tag_ == tag::ms ||
                token_tag_ == tag::mtext || token_tag_ == tag::annotation_xml;
  return !holds_html && lands_at_depth_limit();
}

bool tree_builder::drop_implied_p() {
  if (within_element_bounds()) return false;
  leave_separating_space();
  return true;
}

bool tree_builder::drop_cell_start_tag() {
  // Only a cell that is the current node: what is open inside a cell (a
  // hidden element, say) must close with it.
  if (!open_.current_is(tag::td) && !open_.current_is(tag::th)) return false;
  std::size_t row = open_.below(open_.size() - 1);
  if (row == open_elements::npos || open_.node_at(row) != counted_row_ ||
      cells_in_row_ < max_cells_per_row) {
    return false;
  }
  leave_separating_space();
  return true;
}

bool tree_builder::drop_row_start_tag() {
  bool in_cell = open_.current_is(tag::td) || open_.current_is(tag::th);
  bool after_empty_row =
      open_.current_is(tag::tr) && doc_[open_.current()].first_child == no_node;
  if ((!in_cell && !after_empty_row) || within_element_bounds()) return false;
  if (in_cell) leave_separating_space();
  return true;
}

}  // namespace tagweave::html5
