// Escaping text for LaTeX to typeset as text: twelve special characters are
// replaced by fixed sequences, DEL (which TeX refuses in any input line) by an
// empty group, every other byte is copied unchanged. There is no
// character-set handling; multi-byte characters pass byte by byte.
#pragma once

#include "output/byte_sink.h"

#include <cstddef>
#include <string_view>

namespace tagweave {

/// Writes `chars` to `dest`, escaped.
void write_escaped(byte_sink& dest, std::string_view chars);

/// Where the output stands in its line, as TeX reads lines: a line ends at a
/// line feed, a carriage return or the pair of them.
struct line_position {
  bool blank = false;     ///< only spaces and tabs since the last line end
  bool after_cr = false;  ///< a line feed now would complete a CR line end
};

/// Writes `chars` escaped into the argument of a command that is not \long
/// (\section, \item[...], \author): TeX reads a blank line as \par, which
/// ends such an argument with an error, so a line end that would end a blank
/// line is left out. `line` carries the position across calls; an argument
/// starts on its command's line, at the default position.
void write_escaped_argument(byte_sink& dest, std::string_view chars,
                            line_position& line);

/// Writes text into a LaTeX verbatim environment, unchanged but for DEL,
/// which TeX refuses there too and which is left out. LaTeX ends the
/// environment at the first "\end{verbatim}" it reads, whatever wrote it;
/// wherever the text completes one, the writer follows it with a line that
/// shows it and a new environment for the rest, so that no text ever leaves
/// the environment to be read as LaTeX. Every byte written into the
/// environment must go through one writer, in order, since a match may run
/// over any number of pieces.
class verbatim_writer {
 public:
  void write(byte_sink& dest, std::string_view chars);

 private:
  void write_without_delete(byte_sink& dest, std::string_view chars);
  std::size_t follow_environment_end(std::string_view chars);

  /// How many characters of "\end{verbatim}" the text written so far ends
  /// with: always its first ones, since a backslash stands only at its
  /// start, so a count is all a match needs.
  std::size_t matched_ = 0;
};

}  // namespace tagweave
