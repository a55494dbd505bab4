// Writes a document tree in the "#document" format of html5lib-tests'
// tree-construction files, for the conformance tests and for debugging.
#pragma once

#include "html5/tree/dom.h"

#include <string>

namespace tagweave::html5 {

/// Appends the dump of `doc` to `out`: one line per node, "| " then two
/// spaces per level, attributes sorted by name below their element, a
/// "content" line for each template's contents. Walks without recursion.
void dump_tree(const document& doc, std::string& out);

}  // namespace tagweave::html5
