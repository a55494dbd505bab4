#include "html/line_ends.h"

namespace tagweave {

void line_end_folder::append(std::string& text, std::string_view chunk) {
  std::size_t kept = text.size();
  text.resize(kept + chunk.size());
  char* out = text.data();
  for (char c : chunk) {
    int byte = static_cast<unsigned char>(c);
    if (byte > '\r') {  // the common case: nothing to fold or drop
      out[kept++] = c;
      previous_ = byte;
      continue;
    }
    // A dropped byte still counts as the last one read.
    bool repeated_line_end = byte == previous_ && (c == '\n' || c == '\r');
    previous_ = byte;
    if (repeated_line_end || c == '\0') continue;
    out[kept++] = c;
  }
  text.resize(kept);
}

std::string fold_line_ends(std::string_view text) {
  std::string folded;
  line_end_folder().append(folded, text);
  return folded;
}

}  // namespace tagweave
