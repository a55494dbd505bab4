// Linear passes over a page's tree before it is written, for what the
// writer must know before it reaches an element: how deep the page's
// headings start, and which pictures stand alone in their block.
#pragma once

#include "html5/tree/dom.h"

#include <functional>
#include <unordered_set>

namespace tagweave::latex2e {

/// Whether an element and its subtree are left out of the written body.
using skip_predicate =
    std::function<bool(const html5::document&, html5::node_id)>;

/// The writer's own choice: elements whose role is hidden.
bool is_hidden_element(const html5::document& doc, html5::node_id element);

/// The shallowest level (1 for h1) among the headings the writer sets as
/// sectioning commands (those outside lists, quotes, notes, tables,
/// preformatted text and other headings), or 0 if there is none.
int shallowest_heading_level(const html5::document& doc,
                             const skip_predicate& skips = is_hidden_element);

/// The images that are the only content (text, a picture, a rule, a block
/// with content) of their nearest enclosing block element (p, div, figure,
/// ...), a figure's caption not counting as the figure's content.
std::unordered_set<html5::node_id> lone_images(
    const html5::document& doc,
    const skip_predicate& skips = is_hidden_element);

}  // namespace tagweave::latex2e
