// The stack of open elements and its per-tag and per-scope indexes.
#include "html5/tree/tree_open_elements.h"

#include <algorithm>

namespace tagweave::html5 {
namespace {

constexpr std::uint32_t bit(scope_kind k) {
  return 1u << static_cast<unsigned>(k);
}

// The bounds of "has an element in scope" that every narrower scope shares.
constexpr std::uint32_t normal_bounds = bit(scope_kind::normal) |
                                        bit(scope_kind::list_item) |
                                        bit(scope_kind::button);

bool is_html_special(tag t) {
  switch (t) {
    case tag::address:
    case tag::applet:
    case tag::area:
    case tag::article:
    case tag::aside:
    case tag::base:
    case tag::basefont:
    case tag::bgsound:
    case tag::blockquote:
    case tag::body:
    case tag::br:
    case tag::button:
    case tag::caption:
    case tag::center:
    case tag::col:
    case tag::colgroup:
    case tag::dd:
    case tag::details:
    case tag::dir:
    case tag::div:
    case tag::dl:
    case tag::dt:
    case tag::embed:
    case tag::fieldset:
    case tag::figcaption:
    case tag::figure:
    case tag::footer:
    case tag::form:
    case tag::frame:
    case tag::frameset:
    case tag::h1:
    case tag::h2:
    case tag::h3:
    case tag::h4:
    case tag::h5:
    case tag::h6:
    case tag::head:
    case tag::header:
    case tag::hgroup:
    case tag::hr:
    case tag::html:
    case tag::iframe:
    case tag::img:
    case tag::input:
    case tag::keygen:
    case tag::li:
    case tag::link:
    case tag::listing:
    case tag::main:
    case tag::marquee:
    case tag::menu:
    case tag::meta:
    case tag::nav:
    case tag::noembed:
    case tag::noframes:
    case tag::noscript:
    case tag::object:
    case tag::ol:
    case tag::p:
    case tag::param:
    case tag::plaintext:
    case tag::pre:
    case tag::script:
    case tag::search:
    case tag::section:
    case tag::select:
    case tag::source:
    case tag::style:
    case tag::summary:
    case tag::table:
    case tag::tbody:
    case tag::td:
    case tag::template_:
    case tag::textarea:
    case tag::tfoot:
    case tag::th:
    case tag::thead:
    case tag::title:
    case tag::tr:
    case tag::track:
    case tag::ul:
    case tag::wbr:
    case tag::xmp: return true;
    default: return false;
  }
}

std::uint32_t html_categories(tag t) {
  std::uint32_t c = bit(scope_kind::html);
  if (t != tag::option && t != tag::optgroup) c |= bit(scope_kind::select);
  if (is_html_special(t)) {
    c |= bit(scope_kind::special);
    if (t != tag::address && t != tag::div && t != tag::p) {
      c |= bit(scope_kind::list_walk);
    }
  }
  switch (t) {
    case tag::html:
    case tag::table:
    case tag::template_: c |= normal_bounds | bit(scope_kind::table); break;
    case tag::applet:
    case tag::caption:
    case tag::td:
    case tag::th:
    case tag::marquee:
    case tag::object:
    case tag::select: c |= normal_bounds; break;
    case tag::ol:
    case tag::ul: c |= bit(scope_kind::list_item); break;
    case tag::button: c |= bit(scope_kind::button); break;
    default: break;
  }
  return c;
}

// MathML text integration points and the SVG elements that hold HTML bound
// the normal scopes and are special.
bool is_foreign_scope_bound(tag t, element_namespace space) {
  if (space == element_namespace::mathml) {
    return t == tag::mi || t == tag::mo || t == tag::mn || t == tag::ms ||
           t == tag::mtext || t == tag::annotation_xml;
  }
  return t == tag::foreignobject || t == tag::desc || t == tag::title;
}

}  // namespace

std::uint32_t open_elements::categories(tag t, element_namespace space) {
  if (space == element_namespace::html) return html_categories(t);
  std::uint32_t c = bit(scope_kind::select);
  if (is_foreign_scope_bound(t, space)) {
    c |= normal_bounds | bit(scope_kind::special) | bit(scope_kind::list_walk);
  }
  return c;
}

bool open_elements::bounds(std::size_t i, std::size_t kind) const {
  return !is_hole(i) && (slots_[i].kinds & (1u << kind)) != 0;
}

std::uint32_t& open_elements::tag_top(std::size_t i) {
  auto t = static_cast<std::size_t>(slots_[i].name);
  auto& tops =
      slots_[i].space == element_namespace::html ? top_html_ : top_foreign_;
  if (tops.size() <= t) tops.resize(t + 1, none);
  return tops[t];
}

void open_elements::set_slot(std::size_t i, node_id n, tag t,
                             element_namespace space) {
  slots_[i] = slot{n, t, space, static_cast<std::uint8_t>(categories(t, space)),
                   tag_links{}};
  if (n == no_node) return;
  while (index_of_node_.size() <= n) index_of_node_.push_back(none);
  index_of_node_[n] = static_cast<std::uint32_t>(i);
}

// Links slot `i`, the topmost of its tag, on top of its tag's list.
void open_elements::link_tag_on_top(std::size_t i) {
  auto at = static_cast<std::uint32_t>(i);
  std::uint32_t& top = tag_top(i);
  slots_[i].by_tag.below = top;
  if (top != none) slots_[top].by_tag.above = at;
  top = at;
}

// Takes live slot `i` out of its tag's list, wherever it is.
void open_elements::unlink_tag(std::size_t i) {
  tag_links& t = slots_[i].by_tag;
  if (t.below != none) slots_[t.below].by_tag.above = t.above;
  if (t.above != none) {
    slots_[t.above].by_tag.below = t.below;
  } else {
    tag_top(i) = t.below;
  }
}

// Makes live slot `i` a hole.
void open_elements::forget(std::size_t i) {
  unlink_tag(i);
  index_of_node_[slots_[i].node] = none;
  slots_[i].node = no_node;
}

void open_elements::trim_holes() {
  while (!slots_.empty() && slots_.back().node == no_node) slots_.pop_back();
}

// Restores each kind's invariant: its last position is a live element that
// bounds it. Only a list that ended at the removed slot, or above the
// trimmed top, can have gone stale. Every position is dropped at most once
// after being added, so this costs O(1) amortized per entry.
void open_elements::drop_stale_bounds(std::size_t removed) {
  for (std::size_t k = 0; k < kinds; ++k) {
    const std::vector<std::uint32_t>& positions = bounds_[k];
    if (!positions.empty() &&
        (positions.back() == removed || positions.back() >= size())) {
      drop_stale_end(k);
    }
  }
}

void open_elements::drop_stale_end(std::size_t kind) {
  std::vector<std::uint32_t>& positions = bounds_[kind];
  while (!positions.empty() &&
         (positions.back() >= size() || !bounds(positions.back(), kind))) {
    positions.pop_back();
  }
}

void open_elements::push(node_id n, tag t, element_namespace space) {
  slots_.push_back(slot{});
  std::size_t i = size() - 1;
  set_slot(i, n, t, space);
  link_tag_on_top(i);
  std::uint32_t c = slots_[i].kinds;
  for (std::size_t k = 0; k < kinds; ++k) {
    if ((c & (1u << k)) != 0)
      bounds_[k].push_back(static_cast<std::uint32_t>(i));
  }
}

void open_elements::pop() { remove_at(size() - 1); }

void open_elements::pop_to_size(std::size_t count) {
  while (size() > count) pop();
}

void open_elements::remove_at(std::size_t i) {
  forget(i);
  trim_holes();
  drop_stale_bounds(i);
}

std::size_t open_elements::below(std::size_t i) const {
  while (i > 0) {
    --i;
    if (!is_hole(i)) return i;
  }
  return npos;
}

void open_elements::replace_at(std::size_t i, node_id n) {
  index_of_node_[slots_[i].node] = none;
  slots_[i].node = n;
  while (index_of_node_.size() <= n) index_of_node_.push_back(none);
  index_of_node_[n] = static_cast<std::uint32_t>(i);
}

void open_elements::rewrite_range(std::size_t first, std::size_t last,
                                  const std::vector<element_entry>& entries) {
  rewrite_tag_lists(first, last, entries);
  rewrite_bounds(first, last);
  trim_holes();
  for (std::size_t k = 0; k < kinds; ++k) drop_stale_end(k);
}

// Each tag's list enters the range from the entry below it and leaves it to
// the entry above it; the new entries of that tag are linked in between, in
// order. The ends are read before the old entries go.
void open_elements::rewrite_tag_lists(
    std::size_t first, std::size_t last,
    const std::vector<element_entry>& entries) {
  struct ends {
    std::uint32_t below = none;
    std::uint32_t above = none;
    std::uint32_t last_new = none;
    bool seen = false;
  };
  // Keyed by (tag, is_html); a small vector, searched linearly: the range's
  // distinct tags are few next to its length in practice, and the range is
  // paid for by the HTML standard's own walk over it.
  std::vector<std::pair<std::pair<tag, bool>, ends>> tag_ends;
  auto find_tag = [&](tag t, element_namespace space) -> ends& {
    std::pair<tag, bool> key{t, space == element_namespace::html};
    for (auto& [k, e] : tag_ends) {
      if (k == key) return e;
    }
    tag_ends.push_back({key, ends{}});
    return tag_ends.back().second;
  };
  for (std::size_t i = first; i <= last; ++i) {
    if (is_hole(i)) continue;
    ends& e = find_tag(slots_[i].name, slots_[i].space);
    if (!e.seen) e.below = slots_[i].by_tag.below;
    e.above = slots_[i].by_tag.above;
    e.seen = true;
    index_of_node_[slots_[i].node] = none;
    slots_[i].node = no_node;
  }
  for (auto& [key, e] : tag_ends) e.last_new = e.below;
  std::size_t at = last + 1 - entries.size();
  for (std::size_t i = first; i < at; ++i) {
    set_slot(i, no_node, tag::first_unknown, element_namespace::html);
  }
  for (const element_entry& entry : entries) {
    set_slot(at, entry.node, entry.name, entry.space);
    ends& e = find_tag(entry.name, entry.space);
    slots_[at].by_tag.below = e.last_new;
    if (e.last_new != none) {
      slots_[e.last_new].by_tag.above = static_cast<std::uint32_t>(at);
    }
    e.last_new = static_cast<std::uint32_t>(at);
    ++at;
  }
  // Close each list over the range: its last new entry (or the entry below
  // the range) meets the entry above the range (or becomes the top).
  for (auto& [key, e] : tag_ends) {
    if (!e.seen) continue;
    if (e.last_new != none) slots_[e.last_new].by_tag.above = e.above;
    auto& tops = key.second ? top_html_ : top_foreign_;
    if (e.above != none) {
      slots_[e.above].by_tag.below = e.last_new;
    } else {
      tops[static_cast<std::size_t>(key.first)] = e.last_new;
    }
  }
}

// The positions each kind lists within the range are rewritten in place:
// the range's new bounding elements, preceded by copies of `first` (stale
// unless `first` bounds the kind too) where the range now holds fewer. It
// never holds more: the new entries are clones of entries of the range.
void open_elements::rewrite_bounds(std::size_t first, std::size_t last) {
  for (std::size_t k = 0; k < kinds; ++k) {
    std::vector<std::uint32_t>& positions = bounds_[k];
    auto lo = std::lower_bound(positions.begin(), positions.end(), first);
    auto hi = std::upper_bound(lo, positions.end(), last);
    std::vector<std::uint32_t> fresh;
    for (std::size_t i = first; i <= last; ++i) {
      if (bounds(i, k)) fresh.push_back(static_cast<std::uint32_t>(i));
    }
    auto room = static_cast<std::size_t>(hi - lo);
    if (fresh.size() > room) {
      // Cannot happen with the adoption agency algorithm's entries; kept
      // correct anyway, at the cost of moving the positions above.
      hi = positions.insert(hi, fresh.size() - room, 0);
      lo = hi - static_cast<std::ptrdiff_t>(fresh.size());
      room = fresh.size();
    }
    auto padding = static_cast<std::ptrdiff_t>(room - fresh.size());
    std::fill(lo, lo + padding, static_cast<std::uint32_t>(first));
    std::copy(fresh.begin(), fresh.end(), lo + padding);
  }
}

std::size_t open_elements::topmost(tag t) const {
  auto i = static_cast<std::size_t>(t);
  return i < top_html_.size() && top_html_[i] != none ? top_html_[i] : npos;
}

std::size_t open_elements::topmost_foreign(tag t) const {
  auto i = static_cast<std::size_t>(t);
  return i < top_foreign_.size() && top_foreign_[i] != none ? top_foreign_[i]
                                                            : npos;
}

std::size_t open_elements::index_of(node_id n) const {
  return n < index_of_node_.size() && index_of_node_[n] != none
             ? index_of_node_[n]
             : npos;
}

std::size_t open_elements::boundary(scope_kind kind) const {
  const std::vector<std::uint32_t>& positions =
      bounds_[static_cast<std::size_t>(kind)];
  return positions.empty() ? npos : positions.back();
}

bool open_elements::position_in_scope(std::size_t i, scope_kind kind) const {
  if (i == npos) return false;
  std::size_t b = boundary(kind);
  return b == npos || b <= i;
}

bool open_elements::is_special_at(std::size_t i) const {
  return bounds(i, static_cast<std::size_t>(scope_kind::special));
}

}  // namespace tagweave::html5
