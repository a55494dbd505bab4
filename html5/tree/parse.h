// Parsing a whole document by the HTML standard: tokenizer and tree builder,
// scripting disabled.
#pragma once

#include "html5/tree/dom.h"

#include <string_view>

namespace tagweave::html5 {

/// Parses `input` (preprocessed UTF-8: no CR, as the input stream's
/// preprocessing leaves it) into a document, which keeps the input: its
/// text nodes refer to it rather than copy it. Linear in the input; throws
/// std::length_error when the document would outgrow 32-bit indices, and
/// std::bad_alloc when memory runs out.
document parse_document(std::string input);

}  // namespace tagweave::html5
