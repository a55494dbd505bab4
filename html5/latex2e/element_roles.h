// What each element of the tree becomes in LaTeX2e: the one table the
// writer and the table planner share, so both skip the same elements.
#pragma once

#include "html5/tree/dom.h"

#include <cstdint>

namespace tagweave::latex2e {

enum class role : std::uint8_t {
  hidden,     ///< not shown: head, script, style, form controls, hidden
  plain,      ///< shown as its content: span, font, abbr, unknown tags
  block,      ///< a paragraph break before and after
  heading,    ///< h1-h6
  quotation,  ///< blockquote
  note,  ///< aside, and blocks a page marks as notes (html5/latex2e/notes.h)
  unordered_list,
  ordered_list,
  definition_list,
  list_item,
  definition_term,
  definition_description,
  preformatted,  ///< pre, listing, xmp, plaintext
  monospace,     ///< code, kbd, samp, tt
  bold,
  italic,
  underline,
  subscript,
  superscript,
  small,
  inline_quote,  ///< q
  link,
  image,
  line_break,
  word_break,
  rule,
  table,
  table_row,
  table_cell,
  table_caption,
};

/// The role of an element node; `hidden` also for any element with the
/// hidden attribute and for SVG.
role role_of(const html5::document& doc, html5::node_id element);

/// 1 for h1 ... 6 for h6.
int heading_level(html5::tag name);

}  // namespace tagweave::latex2e
