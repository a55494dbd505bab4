// The stack of open elements and its per-tag and per-scope indexes.
#include "html5/tree_open_elements.h"

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

std::uint32_t& open_elements::tag_top(std::size_t i) {
  auto t = static_cast<std::size_t>(tags_[i]);
  auto& tops = spaces_[i] == element_namespace::html ? top_html_ : top_foreign_;
  if (tops.size() <= t) tops.resize(t + 1, none);
  return tops[t];
}

void open_elements::set_slot(std::size_t i, node_id n, tag t,
                             element_namespace space) {
  nodes_[i] = n;
  tags_[i] = t;
  spaces_[i] = space;
  links_[i] = slot_links{};
  if (n == no_node) return;
  if (index_of_node_.size() <= n) index_of_node_.resize(n + 1, none);
  index_of_node_[n] = static_cast<std::uint32_t>(i);
}

// Links slot `i`, the topmost live one, on top of its lists.
void open_elements::link_on_top(std::size_t i) {
  auto at = static_cast<std::uint32_t>(i);
  std::uint32_t& top = tag_top(i);
  links_[i].by_tag.below = top;
  if (top != none) links_[top].by_tag.above = at;
  top = at;
  std::uint32_t c = categories(tags_[i], spaces_[i]);
  for (std::size_t k = 0; k < kinds; ++k) {
    if ((c & (1u << k)) == 0) continue;
    links_[i].by_kind[k].below = top_kind_[k];
    if (top_kind_[k] != none) links_[top_kind_[k]].by_kind[k].above = at;
    top_kind_[k] = at;
  }
}

// Takes live slot `i` out of its lists, wherever it is.
void open_elements::unlink(std::size_t i) {
  links& t = links_[i].by_tag;
  std::uint32_t& top = tag_top(i);
  if (t.below != none) links_[t.below].by_tag.above = t.above;
  if (t.above != none) {
    links_[t.above].by_tag.below = t.below;
  } else {
    top = t.below;
  }
  std::uint32_t c = categories(tags_[i], spaces_[i]);
  for (std::size_t k = 0; k < kinds; ++k) {
    if ((c & (1u << k)) == 0) continue;
    links& l = links_[i].by_kind[k];
    if (l.below != none) links_[l.below].by_kind[k].above = l.above;
    if (l.above != none) {
      links_[l.above].by_kind[k].below = l.below;
    } else {
      top_kind_[k] = l.below;
    }
  }
  index_of_node_[nodes_[i]] = none;
}

void open_elements::trim_holes() {
  while (!nodes_.empty() && nodes_.back() == no_node) {
    nodes_.pop_back();
    tags_.pop_back();
    spaces_.pop_back();
    links_.pop_back();
  }
}

void open_elements::push(node_id n, tag t, element_namespace space) {
  nodes_.push_back(no_node);
  tags_.push_back(t);
  spaces_.push_back(space);
  links_.emplace_back();
  set_slot(size() - 1, n, t, space);
  link_on_top(size() - 1);
}

void open_elements::pop() {
  unlink(size() - 1);
  nodes_.back() = no_node;
  trim_holes();
}

void open_elements::pop_to_size(std::size_t count) {
  while (size() > count) pop();
}

void open_elements::remove_at(std::size_t i) {
  unlink(i);
  nodes_[i] = no_node;
  trim_holes();
}

std::size_t open_elements::below(std::size_t i) const {
  while (i > 0) {
    --i;
    if (!is_hole(i)) return i;
  }
  return npos;
}

void open_elements::replace_at(std::size_t i, node_id n) {
  index_of_node_[nodes_[i]] = none;
  nodes_[i] = n;
  if (index_of_node_.size() <= n) index_of_node_.resize(n + 1, none);
  index_of_node_[n] = static_cast<std::uint32_t>(i);
}

// Each list (a tag's, a scope kind's) enters the range from the entry below
// it and leaves it to the entry above it; the new entries of that list are
// linked in between, in order. The ends are read before the old entries go.
void open_elements::rewrite_range(std::size_t first, std::size_t last,
                                  const std::vector<element_entry>& entries) {
  struct ends {
    std::uint32_t below = none;
    std::uint32_t above = none;
    std::uint32_t last_new = none;
    bool seen = false;
  };
  // Tag lists keyed by (tag, is_html); a small vector, searched linearly:
  // the range's distinct tags are few next to its length in practice, and
  // the range is paid for by the HTML standard's own walk over it.
  std::vector<std::pair<std::pair<tag, bool>, ends>> tag_ends;
  std::array<ends, kinds> kind_ends{};
  auto tag_key = [](tag t, element_namespace space) {
    return std::make_pair(t, space == element_namespace::html);
  };
  auto find_tag = [&](std::pair<tag, bool> key) -> ends& {
    for (auto& [k, e] : tag_ends) {
      if (k == key) return e;
    }
    tag_ends.push_back({key, ends{}});
    return tag_ends.back().second;
  };
  for (std::size_t i = first; i <= last; ++i) {
    if (is_hole(i)) continue;
    ends& e = find_tag(tag_key(tags_[i], spaces_[i]));
    if (!e.seen) e.below = links_[i].by_tag.below;
    e.above = links_[i].by_tag.above;
    e.seen = true;
    std::uint32_t c = categories(tags_[i], spaces_[i]);
    for (std::size_t k = 0; k < kinds; ++k) {
      if ((c & (1u << k)) == 0) continue;
      if (!kind_ends[k].seen) kind_ends[k].below = links_[i].by_kind[k].below;
      kind_ends[k].above = links_[i].by_kind[k].above;
      kind_ends[k].seen = true;
    }
    index_of_node_[nodes_[i]] = none;
    nodes_[i] = no_node;
  }
  for (auto& [key, e] : tag_ends) e.last_new = e.below;
  for (ends& e : kind_ends) e.last_new = e.below;
  std::size_t slot = last + 1 - entries.size();
  for (std::size_t i = first; i < slot; ++i) {
    set_slot(i, no_node, tag::first_unknown, element_namespace::html);
  }
  for (const element_entry& entry : entries) {
    set_slot(slot, entry.node, entry.name, entry.space);
    auto at = static_cast<std::uint32_t>(slot);
    ends& e = find_tag(tag_key(entry.name, entry.space));
    links_[slot].by_tag.below = e.last_new;
    if (e.last_new != none) links_[e.last_new].by_tag.above = at;
    e.last_new = at;
    std::uint32_t c = categories(entry.name, entry.space);
    for (std::size_t k = 0; k < kinds; ++k) {
      if ((c & (1u << k)) == 0) continue;
      links_[slot].by_kind[k].below = kind_ends[k].last_new;
      if (kind_ends[k].last_new != none) {
        links_[kind_ends[k].last_new].by_kind[k].above = at;
      }
      kind_ends[k].last_new = at;
    }
    ++slot;
  }
  // Close each list over the range: its last new entry (or the entry below
  // the range) meets the entry above the range (or becomes the top).
  for (auto& [key, e] : tag_ends) {
    if (!e.seen) continue;
    if (e.last_new != none) links_[e.last_new].by_tag.above = e.above;
    auto& tops = key.second ? top_html_ : top_foreign_;
    if (e.above != none) {
      links_[e.above].by_tag.below = e.last_new;
    } else {
      tops[static_cast<std::size_t>(key.first)] = e.last_new;
    }
  }
  for (std::size_t k = 0; k < kinds; ++k) {
    ends& e = kind_ends[k];
    if (!e.seen) continue;
    if (e.last_new != none) links_[e.last_new].by_kind[k].above = e.above;
    if (e.above != none) {
      links_[e.above].by_kind[k].below = e.last_new;
    } else {
      top_kind_[k] = e.last_new;
    }
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
  std::uint32_t top = top_kind_[static_cast<std::size_t>(kind)];
  return top == none ? npos : top;
}

bool open_elements::position_in_scope(std::size_t i, scope_kind kind) const {
  if (i == npos) return false;
  std::size_t b = boundary(kind);
  return b == npos || b <= i;
}

bool open_elements::is_special_at(std::size_t i) const {
  return !is_hole(i) &&
         (categories(tags_[i], spaces_[i]) & bit(scope_kind::special)) != 0;
}

}  // namespace tagweave::html5
