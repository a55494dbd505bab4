// The stack of open elements answers from indexes (per-tag lists, per-scope
// positions, a node's slot); here random pushes, pops, removals from the
// middle, replacements and adoption-style range rewrites are checked
// against answers found by walking a plain copy of the stack.
#include "html5/tree/tree_open_elements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace tagweave::html5 {
namespace {

struct plain_entry {
  node_id node;
  tag name;
  element_namespace space;
};

/// The same stack, holes and all, answered by walking it.
struct plain_stack {
  std::vector<plain_entry> slots;

  bool live(std::size_t i) const { return slots[i].node != no_node; }
  std::size_t topmost(tag t, bool html) const {
    for (std::size_t i = slots.size(); i-- > 0;) {
      if (live(i) && slots[i].name == t &&
          (slots[i].space == element_namespace::html) == html) {
        return i;
      }
    }
    return open_elements::npos;
  }
  std::size_t boundary(scope_kind kind) const {
    for (std::size_t i = slots.size(); i-- > 0;) {
      if (live(i) && (open_elements::categories(slots[i].name, slots[i].space) &
                      (1u << static_cast<unsigned>(kind))) != 0) {
        return i;
      }
    }
    return open_elements::npos;
  }
  void trim() {
    while (!slots.empty() && !live(slots.size() - 1)) slots.pop_back();
  }
};

// Tags from every scope category, HTML and foreign, few enough that the
// same tag is often open twice.
const std::vector<std::pair<tag, element_namespace>> sample_tags = {
    {tag::b, element_namespace::html},
    {tag::div, element_namespace::html},
    {tag::p, element_namespace::html},
    {tag::table, element_namespace::html},
    {tag::td, element_namespace::html},
    {tag::ul, element_namespace::html},
    {tag::button, element_namespace::html},
    {tag::option, element_namespace::html},
    {tag::html, element_namespace::html},
    {tag::template_, element_namespace::html},
    {tag::title, element_namespace::svg},
    {tag::mi, element_namespace::mathml},
    {tag::b, element_namespace::svg},
};

void expect_same_answers(const open_elements& fast, const plain_stack& slow,
                         node_id nodes_made) {
  ASSERT_EQ(fast.size(), slow.slots.size());
  for (auto [t, space] : sample_tags) {
    if (space == element_namespace::html) {
      ASSERT_EQ(fast.topmost(t), slow.topmost(t, true));
    } else {
      ASSERT_EQ(fast.topmost_foreign(t), slow.topmost(t, false));
    }
  }
  for (std::size_t k = 0; k < static_cast<std::size_t>(scope_kind::count);
       ++k) {
    auto kind = static_cast<scope_kind>(k);
    ASSERT_EQ(fast.boundary(kind), slow.boundary(kind)) << "kind " << k;
  }
  std::vector<std::size_t> slot_of(nodes_made, open_elements::npos);
  for (std::size_t i = 0; i < slow.slots.size(); ++i) {
    if (slow.live(i)) slot_of[slow.slots[i].node] = i;
  }
  for (node_id n = 0; n < nodes_made; ++n) {
    ASSERT_EQ(fast.index_of(n), slot_of[n]) << "node " << n;
  }
}

TEST(OpenElements, IndexesAgreeWithWalkingTheStack) {
  std::mt19937 random(20261210);
  auto below = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  for (int round = 0; round < 200; ++round) {
    open_elements fast;
    plain_stack slow;
    node_id next_node = 0;
    for (int step = 0; step < 300; ++step) {
      std::vector<std::size_t> live;
      for (std::size_t i = 0; i < slow.slots.size(); ++i) {
        if (slow.live(i)) live.push_back(i);
      }
      std::size_t action = live.empty() ? 0 : below(10);
      if (action < 5) {  // push
        auto [t, space] = sample_tags[below(sample_tags.size())];
        fast.push(next_node, t, space);
        slow.slots.push_back({next_node++, t, space});
      } else if (action < 7) {  // pop
        fast.pop();
        slow.slots.back().node = no_node;
        slow.trim();
      } else if (action == 7) {  // remove from anywhere
        std::size_t i = live[below(live.size())];
        fast.remove_at(i);
        slow.slots[i].node = no_node;
        slow.trim();
      } else if (action == 8) {  // replace by a clone
        std::size_t i = live[below(live.size())];
        fast.replace_at(i, next_node);
        slow.slots[i].node = next_node++;
      } else {  // rewrite a range with clones of some of its entries
        std::size_t a = live[below(live.size())], b = live[below(live.size())];
        auto [first, last] = std::minmax(a, b);
        std::vector<open_elements::element_entry> entries;
        for (std::size_t i = first; i <= last; ++i) {
          if (slow.live(i) && below(3) != 0) {
            entries.push_back(
                {next_node++, slow.slots[i].name, slow.slots[i].space});
          }
        }
        std::shuffle(entries.begin(), entries.end(), random);
        fast.rewrite_range(first, last, entries);
        std::size_t at = last + 1 - entries.size();
        for (std::size_t i = first; i < at; ++i) slow.slots[i].node = no_node;
        for (const auto& e : entries)
          slow.slots[at++] = {e.node, e.name, e.space};
        slow.trim();
      }
      expect_same_answers(fast, slow, next_node);
      if (::testing::Test::HasFatalFailure()) {
        FAIL() << "round " << round << ", step " << step;
      }
    }
  }
}

}  // namespace
}  // namespace tagweave::html5
