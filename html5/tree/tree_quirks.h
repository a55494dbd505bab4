// The document mode a DOCTYPE token sets, by the HTML standard's "initial"
// insertion mode: its lists of public and system identifiers, kept as data.
#pragma once

#include "html5/tokenizer/token.h"
#include "html5/tree/dom.h"

namespace tagweave::html5 {

/// The mode a DOCTYPE token puts the document in.
quirks_mode doctype_quirks_mode(const token& doctype);

}  // namespace tagweave::html5
