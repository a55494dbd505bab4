// A subtree of the page's tree in document order, without recursion: the
// passes that look at the tree before the writer walks it share this one.
#pragma once

#include "html5/tree/dom.h"

namespace tagweave::latex2e {

/// Visits the subtree of `top` in tree order: `enter(n)` for each node
/// reached, false to pass over its children, and `leave(n)` after the
/// children of each node entered.
template <typename Enter, typename Leave>
void walk(const html5::document& doc, html5::node_id top, Enter enter,
          Leave leave) {
  html5::node_id n = top;
  while (true) {
    if (enter(n)) {
      if (doc[n].first_child != html5::no_node) {
        n = doc[n].first_child;
        continue;
      }
      leave(n);
    }
    while (n != top && doc[n].next_sibling == html5::no_node) {
      n = doc[n].parent;
      leave(n);
    }
    if (n == top) return;
    n = doc[n].next_sibling;
  }
}

/// The same, for passes with nothing to do on the way back up.
template <typename Enter>
void walk(const html5::document& doc, html5::node_id top, Enter enter) {
  walk(doc, top, enter, [](html5::node_id) {});
}

}  // namespace tagweave::latex2e
