// The frame around every converted body: the comment banner, the style line,
// \begin{document} and the optional header, title block and table of
// contents before it; the optional footer and \end{document} after it.
#pragma once

#include "driver/run_options.h"
#include "latex/byte_sink.h"

#include <string_view>

namespace tagweave {

inline constexpr std::string_view tagweave_version = "0.9c";

/// Everything before the body.
void write_frame_preamble(byte_sink& dest, const RunOptions& options);

/// Everything after the body.
void write_frame_closing(byte_sink& dest, const RunOptions& options);

}  // namespace tagweave
