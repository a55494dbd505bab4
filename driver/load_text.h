// Loading one input whole. On the way, each run of the same line-end
// character folds into one, so blank lines never reach the splitter, and NUL
// bytes are dropped, since the rest of the system treats text as ending at
// the first NUL.
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

/// Folds line ends and drops NULs from successive chunks of one input.
/// `previous` carries the last byte read across chunks (-1: none yet).
class line_end_folder {
 public:
  void append(std::string& text, std::string_view chunk);

 private:
  int previous_ = -1;
};

/// Reads `fd` to its end and returns its folded contents. Does not close
/// `fd`.
loaded_text load_text(int fd);

}  // namespace tagweave
