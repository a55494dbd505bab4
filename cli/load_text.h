// Loading one input whole from a file descriptor: as the early tag set reads
// it (early/reader/line_ends.h, applied chunk by chunk), or as bytes.
#pragma once

#include <string>
#include <string_view>

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

/// Reads `fd` to its end and returns its folded contents. Does not close
/// `fd`.
loaded_text load_text(int fd);

/// Reads `fd` to its end and returns its bytes unchanged, for readers with
/// loading rules of their own (the HTML standard's input stream). Does not
/// close `fd`.
loaded_text load_bytes(int fd);

}  // namespace tagweave
