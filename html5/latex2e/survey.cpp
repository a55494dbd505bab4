// The passes walk the tree by its own links (first child, next sibling,
// parent), so they hold no stack that the page's depth could grow beyond
// what they record.
#include "html5/latex2e/survey.h"

#include "html5/latex2e/element_roles.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace tagweave::latex2e {
namespace {

using html5::document;
using html5::no_node;
using html5::node_id;
using html5::node_kind;

/// Visits every node of the body in document order, not descending into
/// an element for which `enter` returns false; `leave` is called for each
/// element that was descended into, after its subtree.
template <typename Enter, typename Leave>
void walk(const document& doc, Enter&& enter, Leave&& leave) {
  node_id n = doc[document::root()].first_child;
  while (n != no_node) {
    bool descend = enter(n) && doc[n].first_child != no_node;
    if (descend) {
      n = doc[n].first_child;
      continue;
    }
    while (doc[n].next_sibling == no_node) {
      n = doc[n].parent;
      if (n == document::root() || n == no_node) return;
      leave(n);
    }
    n = doc[n].next_sibling;
  }
}

/// Roles inside which a heading is a bold paragraph, not a section.
bool keeps_headings_in_text(role r) {
  switch (r) {
    case role::heading:
    case role::quotation:
    case role::note:
    case role::unordered_list:
    case role::ordered_list:
    case role::definition_list:
    case role::list_item:
    case role::definition_term:
    case role::definition_description:
    case role::preformatted:
    case role::table: return true;
    default: return false;
  }
}

/// Roles whose elements run along in their block's text.
bool is_inline(role r) {
  switch (r) {
    case role::plain:
    case role::monospace:
    case role::bold:
    case role::italic:
    case role::underline:
    case role::subscript:
    case role::superscript:
    case role::small:
    case role::inline_quote:
    case role::link:
    case role::line_break:
    case role::word_break: return true;
    default: return false;
  }
}

bool is_blank_text(const document& doc, node_id text) {
  bool blank = true;
  doc.for_each_text_piece(text, [&](std::string_view piece) {
    blank =
        blank && std::all_of(piece.begin(), piece.end(), [](char c) {
          return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
        });
  });
  return blank;
}

}  // namespace

bool is_hidden_element(const document& doc, node_id element) {
  return role_of(doc, element) == role::hidden;
}

int shallowest_heading_level(const document& doc, const skip_predicate& skips) {
  int shallowest = 0;
  walk(
      doc,
      [&](node_id n) {
        if (doc[n].kind != node_kind::element || skips(doc, n)) return false;
        role r = role_of(doc, n);
        if (r == role::heading) {
          int level = heading_level(doc[n].name);
          if (shallowest == 0 || level < shallowest) shallowest = level;
        }
        return !keeps_headings_in_text(r) && shallowest != 1;
      },
      [](node_id) {});
  return shallowest;
}

std::unordered_set<node_id> lone_images(const document& doc,
                                        const skip_predicate& skips) {
  // Per block on the path from the root: its content so far.
  struct block {
    node_id element;
    bool counts;  ///< a block that may centre a picture
    std::size_t items = 0;
    node_id first = no_node;
  };
  std::vector<block> open;
  std::unordered_set<node_id> lone;
  auto add_item = [&](node_id item) {
    if (open.empty()) return;
    block& b = open.back();
    if (b.items++ == 0) b.first = item;
  };
  walk(
      doc,
      [&](node_id n) {
        if (doc[n].kind == node_kind::text) {
          if (!is_blank_text(doc, n)) add_item(n);
          return false;
        }
        if (doc[n].kind != node_kind::element || skips(doc, n)) return false;
        role r = role_of(doc, n);
        if (r == role::image || r == role::rule) {
          add_item(n);
          return false;
        }
        if (is_inline(r) || doc[n].first_child == no_node) return true;
        open.push_back(block{n, r == role::block, 0, no_node});
        return true;
      },
      [&](node_id n) {
        if (open.empty() || open.back().element != n) return;
        block b = open.back();
        open.pop_back();
        if (b.counts && b.items == 1 &&
            doc[b.first].kind == node_kind::element &&
            role_of(doc, b.first) == role::image) {
          lone.insert(b.first);
        }
        // A block with content is content of its own block; a figure's
        // caption is not.
        if (b.items > 0 && doc[n].name != html5::tag::figcaption) add_item(n);
      });
  return lone;
}

}  // namespace tagweave::latex2e
