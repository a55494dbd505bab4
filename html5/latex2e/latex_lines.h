// The LaTeX output as lines: a byte sink that knows where its current line
// began, so that the writers end lines where a reader and TeX want them
// (escape.h: wrap_column, max_output_line) and never where TeX would drop
// a space or join two words.
#pragma once

#include "output/byte_sink.h"

#include <cstddef>
#include <string_view>

namespace tagweave::latex2e {

class latex_lines {
 public:
  /// The output starts on a line of its own.
  explicit latex_lines(byte_sink& out)
      : out_(out), line_start_(out.written()) {}

  /// Writes `latex` as it is; a line end at its end starts a line.
  void write(std::string_view latex) {
    out_.write(latex);
    if (!latex.empty() && latex.back() == '\n') line_start_ = out_.written();
  }
  void put(char c) {
    out_.put(c);
    if (c == '\n') line_start_ = out_.written();
  }
  /// Writes LaTeX that starts with a whole token, first ending the line
  /// with a comment (which adds nothing) if it has grown long.
  void write_latex(std::string_view latex) {
    end_long_line();
    write(latex);
  }
  /// Ends a line longer than max_output_line with "%" and a line end.
  void end_long_line();
  /// The space between two words: a line end past wrap_column. Only here
  /// may a space follow a line end, which TeX would drop.
  void write_space();

  std::size_t written() const { return out_.written(); }
  /// For escaping, which writes no line end of its own.
  byte_sink& sink() { return out_; }

 private:
  byte_sink& out_;
  std::size_t line_start_;  ///< written() where the current line began
};

}  // namespace tagweave::latex2e
