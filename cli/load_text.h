// Loading one input whole from a file descriptor, as its bytes: the library
// applies its reading mode's loading rules to them where they stand.
#pragma once

#include <string>

namespace tagweave {

enum class load_status {
  complete,
  read_error,  ///< reading stopped early; the text holds what came before
  out_of_memory,
};

struct loaded_text {
  std::string text;
  load_status status = load_status::complete;
};

/// Reads `fd` to its end and returns its bytes unchanged. Does not close
/// `fd`.
loaded_text load_bytes(int fd);

}  // namespace tagweave
