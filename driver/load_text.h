// Loading one input whole from a file descriptor, applying the early tag
// set's loading rules (html/line_ends.h) chunk by chunk as it reads.
#pragma once

#include <string>
#include <string_view>

namespace tagweave {

enum class load_status {
  complete,
  read_error,  ///< what was read before the error is kept
  out_of_memory,
};

struct loaded_text {
  std::string text;
  load_status status = load_status::complete;
};

/// Reads `fd` to its end and returns its folded contents. Does not close
/// `fd`.
loaded_text load_text(int fd);

}  // namespace tagweave
