// The adoption agency algorithm and "reconstruct the active formatting
// elements" of the HTML standard.
#include "html5/tree/tree_builder.h"

namespace tagweave::html5 {

// Clones share the original's attribute span: nothing is copied.
node_id tree_builder::clone_element(node_id original) {
  const node& n = doc_[original];
  return doc_.create_element(n.name, n.space, doc_.attribute_list(original));
}

// "Reconstruct the active formatting elements": the entries after the last
// one that is open (or a marker) are cloned and opened again. The list is
// bounded after its last marker, so this is too. Past the bounds on elements
// (tree_bounds.cpp) the rest stay closed: the text loses their formatting.
void tree_builder::reconstruct_formatting() {
  std::size_t n = formatting_.size();
  if (n == 0) return;
  auto needs_reopening = [this](std::size_t i) {
    const active_formatting::entry& e = formatting_.at(i);
    return !e.is_marker() && !open_.contains(e.node);
  };
  if (!needs_reopening(n - 1)) return;
  std::size_t first = n - 1;
  while (first > 0 && needs_reopening(first - 1)) --first;
  for (std::size_t i = first; i < n; ++i) {
    const active_formatting::entry& e = formatting_.at(i);
    if (!may_clone(e.node)) return;
    node_id clone = clone_element(e.node);
    insert_at(appropriate_place(), clone);
    open_.push(clone, e.name, element_namespace::html);
    formatting_.replace_at(i, clone);
  }
}

// The adoption agency algorithm. Its inner loop visits every element between
// the formatting element and the furthest block once, and the stack changes
// only in that stretch (open_elements::rewrite_range), so an iteration costs
// what lies between the two, never what lies above. The elements it moves
// get their depth from their new parent; their descendants keep the depth
// they were inserted at, so a subtree this algorithm pushes down (by one
// level per iteration) may end deeper than max_tree_depth.
bool tree_builder::adoption_agency(tag subject) {
  if (open_.current_is(subject) &&
      formatting_.index_of(open_.current()) == active_formatting::npos) {
    open_.pop();
    return true;
  }
  // The HTML standard's outer loop runs at most eight times.
  constexpr int outer_loop_limit = 8;
  for (int outer = 0; outer < outer_loop_limit; ++outer) {
    std::size_t fe_entry = formatting_.find_after_marker(subject);
    if (fe_entry == active_formatting::npos) return false;
    node_id fe = formatting_.at(fe_entry).node;
    std::size_t fe_pos = open_.index_of(fe);
    if (fe_pos == open_elements::npos) {
      formatting_.remove_at(fe_entry);
      return true;
    }
    if (!open_.position_in_scope(fe_pos, scope_kind::normal)) return true;
    std::size_t fb_pos = open_elements::npos;
    for (std::size_t i = fe_pos + 1; i < open_.size(); ++i) {
      if (open_.is_special_at(i)) {
        fb_pos = i;
        break;
      }
    }
    if (fb_pos == open_elements::npos) {
      open_.pop_to_size(fe_pos);
      formatting_.remove_at(fe_entry);
      return true;
    }
    node_id fb = open_.node_at(fb_pos);
    node_id common_ancestor = open_.node_at(open_.below(fe_pos));
    node_id bookmark_after = no_node;  // no_node: in the place of fe
    node_id last_node = fb;
    // The clones that stay open, from the top of the stack down.
    std::vector<open_elements::element_entry> kept;
    int inner = 0;
    for (std::size_t pos = fb_pos - 1; pos > fe_pos; --pos) {
      if (open_.is_hole(pos)) continue;
      ++inner;
      node_id n = open_.node_at(pos);
      std::size_t entry = formatting_.index_of(n);
      if (inner > 3 && entry != active_formatting::npos) {
        formatting_.remove_at(entry);
        entry = active_formatting::npos;
      }
      if (entry == active_formatting::npos) continue;  // leaves the stack
      node_id clone = clone_element(n);
      formatting_.replace_at(entry, clone);
      kept.push_back({clone, open_.tag_at(pos), element_namespace::html});
      if (last_node == fb) bookmark_after = clone;
      doc_.detach(last_node);
      doc_.append_child(clone, last_node);
      last_node = clone;
    }
    doc_.detach(last_node);
    insert_at(appropriate_place(common_ancestor), last_node);
    node_id new_element = clone_element(fe);
    while (doc_[fb].first_child != no_node) {
      node_id child = doc_[fb].first_child;
      doc_.detach(child);
      doc_.append_child(new_element, child);
    }
    doc_.append_child(fb, new_element);
    // The list: the new element takes fe's place or the bookmark's.
    active_formatting::entry replacement = formatting_.at(fe_entry);
    replacement.node = new_element;
    if (bookmark_after == no_node) {
      formatting_.replace_at(formatting_.index_of(fe), new_element);
    } else {
      formatting_.remove_at(formatting_.index_of(fe));
      formatting_.insert_at(formatting_.index_of(bookmark_after) + 1,
                            replacement);
    }
    // The stack: fe and the elements that left go; the clones, fb and the
    // new element follow in that order. What is above fb does not move.
    std::vector<open_elements::element_entry> rebuilt(kept.rbegin(),
                                                      kept.rend());
    rebuilt.push_back({fb, open_.tag_at(fb_pos), open_.space_at(fb_pos)});
    rebuilt.push_back({new_element, subject, element_namespace::html});
    open_.rewrite_range(fe_pos, fb_pos, rebuilt);
  }
  return true;
}

}  // namespace tagweave::html5
