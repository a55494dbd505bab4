// One --html5 conversion: the file's bytes in, a complete LaTeX2e document
// out.
#pragma once

#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

#include <string>

namespace tagweave {

/// html5 mode: `bytes` is the file as read; it is decoded (sniffing or
/// options.encoding), parsed by the HTML standard and written as LaTeX2e.
/// Throws std::invalid_argument when options.encoding names no encoding,
/// before anything is written.
conversion_status convert_html5_document(std::string bytes, byte_sink& dest,
                                         const document_options& options);

}  // namespace tagweave
