// The frame around every converted body: the comment banner, the style line,
// \begin{document} and the optional header, title block and table of
// contents before it; the optional footer and \end{document} after it.
#pragma once

#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

#include <string_view>

namespace tagweave {

/// Everything before the body.
void write_frame_preamble(byte_sink& dest, const document_options& options);

/// Everything after the body.
void write_frame_closing(byte_sink& dest, const document_options& options);

}  // namespace tagweave
