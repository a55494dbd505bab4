// The HTML standard's stack of open elements, as parallel arrays (node, tag
// ID, namespace), kept so that every question the tree construction rules
// ask of it is answered without walking it:
//  - for each tag ID, the topmost open HTML element with that tag (and the
//    topmost foreign one), the entries of one tag doubly linked;
//  - for each kind of scope, the open elements that bound it (html, table,
//    td, ... for "has an element in scope"; ol and ul too for list item
//    scope; everything but option and optgroup for select scope; the special
//    category for the "any other end tag" walk), doubly linked the same way.
// An element is in a scope exactly when no bounding element sits above the
// topmost element of its tag, so "has an element in scope" compares two
// positions.
//
// Removing an entry from the middle leaves a hole (skipped by every walk and
// trimmed once it reaches the top), and the adoption agency algorithm
// rewrites the stretch between its formatting element and furthest block in
// place (rewrite_range), so neither moves the entries above: both cost what
// the HTML standard's own steps touch, however deep the stack.
#pragma once

#include "html5/dom.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tagweave::html5 {

/// The element sets that stop a walk down the stack.
enum class scope_kind : std::uint8_t {
  normal,     ///< "has an element in scope"
  list_item,  ///< "in list item scope"
  button,     ///< "in button scope"
  table,      ///< "in table scope"
  select,     ///< "in select scope"
  special,    ///< the special category
  /// The special category but address, div and p: where the "in body"
  /// walks for <li>, <dd> and <dt> stop.
  list_walk,
  html,  ///< any HTML element: where an end tag in foreign content stops
  count,
};

class open_elements {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  struct element_entry {
    node_id node;
    tag name;
    element_namespace space;
  };

  /// The number of slots, holes included; the top slot is never a hole.
  std::size_t size() const { return nodes_.size(); }
  bool empty() const { return nodes_.empty(); }
  bool is_hole(std::size_t i) const { return nodes_[i] == no_node; }
  node_id node_at(std::size_t i) const { return nodes_[i]; }
  tag tag_at(std::size_t i) const { return tags_[i]; }
  element_namespace space_at(std::size_t i) const { return spaces_[i]; }
  bool is_html_at(std::size_t i, tag t) const {
    return !is_hole(i) && tags_[i] == t &&
           spaces_[i] == element_namespace::html;
  }
  node_id current() const { return nodes_.back(); }
  tag current_tag() const { return tags_.back(); }
  element_namespace current_space() const { return spaces_.back(); }
  /// Whether the current node is the HTML element `t`.
  bool current_is(tag t) const { return !empty() && is_html_at(size() - 1, t); }
  /// The nearest element below slot `i` (skipping holes), or npos.
  std::size_t below(std::size_t i) const;

  void push(node_id n, tag t, element_namespace space);
  void pop();
  /// Pops entries until only `count` slots remain.
  void pop_to_size(std::size_t count);
  /// Takes entry `i` out of the stack, leaving a hole. O(1).
  void remove_at(std::size_t i);
  /// Puts `n` (an element of the same tag) in the place of entry `i`.
  void replace_at(std::size_t i, node_id n);
  /// Replaces the entries of slots first..last (both live) by `entries`
  /// (no more of them), which take the top slots of the range; the rest
  /// become holes. Every tag and namespace in `entries` must have been in
  /// the range already, as holds for the adoption agency algorithm, whose
  /// new elements are clones. Costs the size of the range.
  void rewrite_range(std::size_t first, std::size_t last,
                     const std::vector<element_entry>& entries);

  /// The position of the topmost open HTML element of tag `t`, or npos.
  std::size_t topmost(tag t) const;
  /// The same for SVG and MathML elements.
  std::size_t topmost_foreign(tag t) const;
  /// The position of `n`, or npos when it is not open.
  std::size_t index_of(node_id n) const;
  bool contains(node_id n) const { return index_of(n) != npos; }
  /// The position of the topmost element that bounds `kind`, or npos.
  std::size_t boundary(scope_kind kind) const;
  /// Whether the element at position `i` is in scope `kind`.
  bool position_in_scope(std::size_t i, scope_kind kind) const;
  /// "Has an element in scope" for the HTML element `t`.
  bool in_scope(tag t, scope_kind kind) const {
    return position_in_scope(topmost(t), kind);
  }
  /// Whether the entry at `i` is in the special category.
  bool is_special_at(std::size_t i) const;

 private:
  static constexpr std::uint32_t none = static_cast<std::uint32_t>(-1);
  static constexpr std::size_t kinds =
      static_cast<std::size_t>(scope_kind::count);

  /// A doubly linked list through the slots: by tag, or by scope kind.
  struct links {
    std::uint32_t below = none;
    std::uint32_t above = none;
  };
  struct slot_links {
    links by_tag;
    std::array<links, kinds> by_kind;
  };

  static std::uint32_t categories(tag t, element_namespace space);
  std::uint32_t& tag_top(std::size_t i);
  void link_on_top(std::size_t i);
  void unlink(std::size_t i);
  void trim_holes();
  void set_slot(std::size_t i, node_id n, tag t, element_namespace space);

  std::vector<node_id> nodes_;
  std::vector<tag> tags_;
  std::vector<element_namespace> spaces_;
  std::vector<slot_links> links_;
  std::vector<std::uint32_t> top_html_;     ///< per tag ID
  std::vector<std::uint32_t> top_foreign_;  ///< per tag ID
  std::array<std::uint32_t, kinds> top_kind_{none, none, none, none,
                                             none, none, none, none};
  std::vector<std::uint32_t> index_of_node_;  ///< per node ID
};

}  // namespace tagweave::html5
