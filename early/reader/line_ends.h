// The loading rules of the early tag set: each run of the same line-end
// character folds into one, so blank lines never reach the splitter, and NUL
// bytes are dropped, since a document ends at its end, not at a NUL. The
// command line applies them while reading a file, the library to the text it
// is given.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tagweave {

/// Folds line ends and drops NULs from successive chunks of one input.
/// `previous` carries the last byte read across chunks (-1: none yet).
class line_end_folder {
 public:
  /// Folds the `size` bytes at `data`, the next chunk of the input, in
  /// place, and returns how many remain.
  std::size_t fold(char* data, std::size_t size);
  /// Appends `chunk` to `text`, folded.
  void append(std::string& text, std::string_view chunk);

 private:
  int previous_ = -1;
};

/// `text` with the loading rules applied.
std::string fold_line_ends(std::string_view text);

}  // namespace tagweave
