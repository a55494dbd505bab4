// Notes and warnings: blocks a page sets apart from its text (aside, role
// "note", Sphinx's and other generators' admonitions by their class), which
// the writer frames with their title in bold.
#pragma once

#include "html5/tree/dom.h"

#include <optional>
#include <string_view>

namespace tagweave::latex2e {

/// What a note is called when it has no title of its own: "Note",
/// "Warning", ...; empty for an aside, which is set apart untitled.
using note_title = std::string_view;

/// The title a block shown as a note gets by its kind, or nothing when the
/// element is no note.
std::optional<note_title> note_kind_title(const html5::document& doc,
                                          html5::node_id element);

/// The note's own title: its first child element, when that is a heading
/// or is classed as a title ("admonition-title", "title") and nothing but
/// white space comes before it; else no_node.
html5::node_id note_title_element(const html5::document& doc,
                                  html5::node_id note);

}  // namespace tagweave::latex2e
