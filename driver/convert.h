// One conversion: a loaded document in, a complete LaTeX document out. Also
// how the file names of one argument are derived. The command-line driver
// calls these; other programs and the tests can too.
#pragma once

#include "driver/run_options.h"
#include "html/splitter.h"
#include "latex/byte_sink.h"

#include <functional>
#include <string>
#include <string_view>

namespace tagweave {

struct conversion_outcome {
  split_status split = split_status::complete;
  /// The body ended early at an end tag of a list or listing that closed
  /// nothing; the closing of the document was still written.
  bool abnormal_exit = false;

  bool whole() const {
    return split == split_status::complete && !abnormal_exit;
  }
};

/// Writes the frame and, inside it, the body of `text` to `dest`, each
/// record as soon as it is read, so memory does not grow with the number of
/// records. Every document starts in the normal render state, so one
/// document's unclosed title or listing does not swallow the next one's text.
conversion_outcome convert_document(std::string_view text, byte_sink& dest,
                                    const RunOptions& options);

struct file_names {
  std::string input;
  std::string output;
};

/// The input and output names for a file argument: "page.html" reads
/// page.html and writes page.tex; any other name is read as it stands if it
/// can be opened (else with ".html" appended) and written with ".tex"
/// appended. `opens_as_input` is asked only about a name without ".html";
/// it opens the name and keeps it open as the input when it can, so that the
/// input is opened once (a second open of a FIFO would wait for a writer that
/// is gone).
file_names derive_file_names(
    std::string_view argument,
    const std::function<bool(const std::string&)>& opens_as_input);

}  // namespace tagweave
