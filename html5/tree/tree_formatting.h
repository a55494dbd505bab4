// The HTML standard's list of active formatting elements, with markers and
// the Noah's Ark clause, bounded so that every walk over it is short.
//
// The bound: at most max_formatting_entries elements after the last marker.
// Pushing one more drops the oldest of them. Each search the tree builder
// makes (for an "a" element, for the adoption agency algorithm's formatting
// element, for "reconstruct the active formatting elements") stops at the
// last marker, so each costs at most that many steps. Where this differs
// from the HTML standard: on a page with more than that many formatting
// elements open at once in one cell, the dropped (outermost) ones are no
// longer reopened after a block closes them, and their end tags take the
// "any other end tag" path instead of the adoption agency algorithm.
#pragma once

#include "html5/tree/dom.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tagweave::html5 {

/// More formatting elements than this open at once in one cell or caption
/// is far beyond real pages (html5lib-tests need eight); past it, the oldest
/// entry is dropped. Reconstructing the list clones at most this many
/// elements per character token, which also bounds the nodes a byte of
/// hostile input can make.
inline constexpr std::size_t max_formatting_entries = 16;

class active_formatting {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  struct entry {
    node_id node = no_node;  ///< no_node for a marker
    tag name = tag::first_unknown;
    /// An order-free hash of the attributes, for the Noah's Ark clause.
    std::uint64_t attributes_hash = 0;
    bool is_marker() const { return node == no_node; }
  };

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const entry& at(std::size_t i) const { return entries_[i]; }

  void push_marker() { entries_.push_back(entry{}); }
  /// Pushes a formatting element, applying the Noah's Ark clause and the
  /// bound.
  void push(const entry& e, const document& doc);
  /// "Clear the list of active formatting elements up to the last marker."
  void clear_to_last_marker();
  /// The last entry for the tag `t` after the last marker, or npos.
  std::size_t find_after_marker(tag t) const;
  /// The position of `n` after the last marker, or npos.
  std::size_t index_of(node_id n) const;
  void remove_at(std::size_t i);
  void replace_at(std::size_t i, node_id n) { entries_[i].node = n; }
  void insert_at(std::size_t i, const entry& e);
  /// The position just after the last marker (0 when there is none).
  std::size_t first_after_marker() const;

 private:
  static bool same_attributes(const document& doc, node_id x, node_id y);

  std::vector<entry> entries_;
};

/// The hash active_formatting::entry wants for an attribute list.
std::uint64_t hash_attributes(const document& doc, attribute_span attributes);

}  // namespace tagweave::html5
