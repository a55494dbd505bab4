// The reader view: which parts of a page are its content and which are the
// site around it (navigation, banners, footers, link lists, permalink
// marks), so that the LaTeX starts with what the page is about. Decided
// once, in linear time and without recursion, before the writer walks the
// tree; the writer then passes over the subtrees left out.
#pragma once

#include "html5/tree/dom.h"

#include <vector>

namespace tagweave::latex2e {

/// Per node of `doc`, true where a subtree the reader view leaves out
/// begins; empty when the whole page is kept. What is left out:
///
/// - with a shown `main` element, or an element whose role is "main", that
///   holds text: everything outside it (outside each, when there are
///   several; a nested one counts as its outermost);
/// - without one: navigation (`nav`, `search`, roles "navigation" and
///   "search"), the page's banner and footer (`header` and `footer` outside
///   any article, aside, main, nav or section, roles "banner" and
///   "contentinfo"; a banner holding a heading is kept), and blocks of
///   mostly links, without a heading, at the start or end of the body
///   (not inside a section of links, such as an index, that ends it);
/// - anywhere: elements with aria-hidden="true", permalink marks (a link in
///   a heading or `dt` to its own heading or an element around it, showing
///   only a mark such as the pilcrow), and a leading "skip to content" link.
///
/// A page whose text would all be left out is kept whole.
std::vector<bool> select_content(const html5::document& doc);

}  // namespace tagweave::latex2e
