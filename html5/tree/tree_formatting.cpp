// The list of active formatting elements.
#include "html5/tree/tree_formatting.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <tuple>
#include <utility>

namespace tagweave::html5 {

std::uint64_t hash_attributes(const document& doc, attribute_span attributes) {
  // A sum of per-attribute hashes does not depend on the order, as the
  // Noah's Ark clause's comparison of attribute sets must not.
  std::hash<std::string_view> h;
  std::uint64_t sum = attributes.count;
  for (const attribute_view& a : doc.attributes_in(attributes)) {
    std::uint64_t x = h(a.name) * 0x9E3779B97F4A7C15ull;
    sum += x ^ (h(a.value) + 0x632BE59BD9B4E019ull + (x << 6) + (x >> 2));
  }
  return sum;
}

std::size_t active_formatting::first_after_marker() const {
  for (std::size_t i = entries_.size(); i > 0; --i) {
    if (entries_[i - 1].is_marker()) return i;
  }
  return 0;
}

bool active_formatting::same_attributes(const document& doc, node_id x,
                                        node_id y) {
  std::vector<attribute_view> a = doc.attributes(x);
  std::vector<attribute_view> b = doc.attributes(y);
  if (a.size() != b.size()) return false;
  auto by_name = [](const attribute_view& l, const attribute_view& r) {
    return std::tie(l.space, l.name) < std::tie(r.space, r.name);
  };
  std::sort(a.begin(), a.end(), by_name);
  std::sort(b.begin(), b.end(), by_name);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].space != b[i].space || a[i].name != b[i].name ||
        a[i].value != b[i].value) {
      return false;
    }
  }
  return true;
}

void active_formatting::push(const entry& e, const document& doc) {
  std::size_t start = first_after_marker();
  // Noah's Ark: at most three identical elements after the last marker.
  std::size_t identical = 0;
  std::size_t earliest = npos;
  for (std::size_t i = entries_.size(); i > start; --i) {
    const entry& other = entries_[i - 1];
    if (other.name == e.name && other.attributes_hash == e.attributes_hash &&
        same_attributes(doc, other.node, e.node)) {
      ++identical;
      earliest = i - 1;
      if (identical == 3) break;
    }
  }
  if (identical == 3) remove_at(earliest);
  if (entries_.size() - start >= max_formatting_entries) remove_at(start);
  entries_.push_back(e);
}

void active_formatting::clear_to_last_marker() {
  while (!entries_.empty()) {
    bool marker = entries_.back().is_marker();
    entries_.pop_back();
    if (marker) return;
  }
}

std::size_t active_formatting::find_after_marker(tag t) const {
  for (std::size_t i = entries_.size(); i > 0; --i) {
    const entry& e = entries_[i - 1];
    if (e.is_marker()) return npos;
    if (e.name == t) return i - 1;
  }
  return npos;
}

std::size_t active_formatting::index_of(node_id n) const {
  for (std::size_t i = entries_.size(); i > 0; --i) {
    const entry& e = entries_[i - 1];
    if (e.is_marker()) return npos;
    if (e.node == n) return i - 1;
  }
  return npos;
}

void active_formatting::remove_at(std::size_t i) {
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
}

void active_formatting::insert_at(std::size_t i, const entry& e) {
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(i), e);
}

}  // namespace tagweave::html5
