// One early-tag-set conversion: a loaded document in, a complete LaTeX
// document out.
#pragma once

#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

#include <string>
#include <string_view>

namespace tagweave {

/// Writes the frame and, inside it, the body of `text`, which the loading
/// rules have already been applied to, to `dest`, each record as soon as it
/// is read, so memory does not grow with the number of records. Every
/// document starts in the normal render state, so one document's unclosed
/// title or listing does not swallow the next one's text.
conversion_status convert_document(std::string_view text, byte_sink& dest,
                                   const document_options& options);

/// The same conversion without a copy of the text: `text` is working space,
/// its runs decoded where they stand, and its contents afterwards are
/// unspecified. Memory stays that of the text plus the output's buffer.
conversion_status convert_document_in_place(std::string& text, byte_sink& dest,
                                            const document_options& options);

}  // namespace tagweave
