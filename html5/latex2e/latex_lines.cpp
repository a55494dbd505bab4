#include "html5/latex2e/latex_lines.h"

#include "html5/latex2e/escape.h"

namespace tagweave::latex2e {

void latex_lines::end_long_line() {
  if (out_.written() - line_start_ <= max_output_line) return;
  write("%\n");
}

void latex_lines::write_space() {
  std::size_t column = out_.written() - line_start_;
  if (column > wrap_column) {
    put('\n');
  } else if (column == 0) {
    // After a comment's line end whose token wrote nothing (a control
    // character): TeX drops a space at the start of a line, not after {}.
    write("{} ");
  } else {
    put(' ');
  }
}

}  // namespace tagweave::latex2e
