// The HTML standard's stack of open elements, a slot (node, tag ID,
// namespace) per entry, kept so that every question the tree construction
// rules ask of it is answered without walking it:
//  - for each tag ID, the topmost open HTML element with that tag (and the
//    topmost foreign one), the entries of one tag doubly linked;
//  - for each kind of scope, the positions of the open elements that bound
//    it (html, table, td, ... for "has an element in scope"; ol and ul too
//    for list item scope; everything but option and optgroup for select
//    scope; the special category for the "any other end tag" walk), in
//    ascending order. The last position is always a live bounding element;
//    those below it may be stale (a hole, or a slot rewritten since) and are
//    dropped when they come to the end.
// An element is in a scope exactly when no bounding element sits above the
// topmost element of its tag, so "has an element in scope" compares two
// positions.
//
// Removing an entry from the middle leaves a hole (skipped by every walk and
// trimmed once it reaches the top), and the adoption agency algorithm
// rewrites the stretch between its formatting element and furthest block in
// place (rewrite_range), so neither moves the entries above: both cost what
// the HTML standard's own steps touch, however deep the stack.
//
// Hostile pages open millions of elements, so an entry is kept small: 20
// bytes, plus 4 per kind of scope it bounds (three for a div).
#pragma once

#include "html5/tree/chunked_vector.h"
#include "html5/tree/dom.h"

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
  std::size_t size() const { return slots_.size(); }
  bool empty() const { return slots_.empty(); }
  bool is_hole(std::size_t i) const { return slots_[i].node == no_node; }
  node_id node_at(std::size_t i) const { return slots_[i].node; }
  tag tag_at(std::size_t i) const { return slots_[i].name; }
  element_namespace space_at(std::size_t i) const { return slots_[i].space; }
  bool is_html_at(std::size_t i, tag t) const {
    return !is_hole(i) && slots_[i].name == t &&
           slots_[i].space == element_namespace::html;
  }
  node_id current() const { return slots_.back().node; }
  tag current_tag() const { return slots_.back().name; }
  element_namespace current_space() const { return slots_.back().space; }
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
  /// The scope kinds an element bounds, a bit per scope_kind.
  static std::uint32_t categories(tag t, element_namespace space);

 private:
  static constexpr std::uint32_t none = static_cast<std::uint32_t>(-1);
  static constexpr std::size_t kinds =
      static_cast<std::size_t>(scope_kind::count);

  /// The entries of one tag, doubly linked through their slots.
  struct tag_links {
    std::uint32_t below = none;
    std::uint32_t above = none;
  };
  struct slot {
    node_id node = no_node;  ///< no_node for a hole
    tag name = tag::first_unknown;
    element_namespace space = element_namespace::html;
    std::uint8_t kinds = 0;  ///< the scope kinds it bounds, from categories
    tag_links by_tag;
  };
  static_assert(static_cast<std::size_t>(scope_kind::count) <= 8);

  bool bounds(std::size_t i, std::size_t kind) const;
  std::uint32_t& tag_top(std::size_t i);
  void link_tag_on_top(std::size_t i);
  void unlink_tag(std::size_t i);
  void forget(std::size_t i);
  void trim_holes();
  /// Drops stale positions from the end of each kind's list; `removed` is
  /// the slot just made a hole, if any.
  void drop_stale_bounds(std::size_t removed);
  void drop_stale_end(std::size_t kind);
  void set_slot(std::size_t i, node_id n, tag t, element_namespace space);
  void rewrite_tag_lists(std::size_t first, std::size_t last,
                         const std::vector<element_entry>& entries);
  void rewrite_bounds(std::size_t first, std::size_t last);

  chunked_vector<slot> slots_;
  std::vector<std::uint32_t> top_html_;     ///< per tag ID
  std::vector<std::uint32_t> top_foreign_;  ///< per tag ID
  /// Per scope kind, the positions of the elements that bound it.
  std::array<std::vector<std::uint32_t>, kinds> bounds_;
  chunked_vector<std::uint32_t> index_of_node_;  ///< per node ID
};

}  // namespace tagweave::html5
