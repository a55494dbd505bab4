// Fitting a table's columns to their words: TeX measures, in the fonts
// they are set in, the longest words of each column, and makes every
// column at least that wide, the plan's shares dividing what is left of
// the line. Where the words cannot fit side by side the table is set in a
// smaller type, then long words break after the characters that join the
// parts of identifiers, paths and URLs ("_ . / - :"), and the columns are
// at least as wide as the longest of those parts.
#pragma once

#include "html5/tree/dom.h"
#include "output/byte_sink.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave::latex2e {

/// The font a run of a cell's text is set in, as bits.
enum font_bits : std::uint8_t {
  font_bold = 1,
  font_mono = 2,
  font_italic = 4,
};

/// Whether a cell may break the line after `c` (followed by another
/// character of its word that is not one of these): the characters that
/// join the parts of identifiers, paths and URLs.
constexpr bool joins_word_parts(char c) {
  return c == '_' || c == '.' || c == '/' || c == '-' || c == ':';
}

/// Per column, the words TeX measures are the few longest by an estimate of
/// their width: enough that the widest in print is among them, while a
/// table costs a few lines of measuring per column.
inline constexpr std::size_t measured_words_per_column = 4;

/// The writer allows a line break inside a word after this many bytes (its
/// word_piece): no longer run of a word needs room in a column.
inline constexpr std::size_t longest_measured_word = 64;

/// Collects, while a table is planned, each column's longest words and
/// longest parts of words (between the points where a cell may break a
/// word), and writes them for TeX to measure.
class column_words {
 public:
  /// The cell whose text follows is in `column`; no_column when its text
  /// fixes no column's width (it spans several).
  static constexpr std::size_t no_column = static_cast<std::size_t>(-1);
  void start_cell(std::size_t column);
  /// Text of the current cell in `font` (font_bits).
  void add_text(std::string_view text, std::uint8_t font);
  /// Something other than text (a line break, a block) ends the word.
  void end_word();

  /// "\twword{column}{...}" and "\twpiece{column}{...}" lines, columns
  /// counted from 1.
  void write_measured(byte_sink& out) const;

  /// The estimated width, in characters, of the widest word of `column`.
  double widest_word(std::size_t column) const;

 private:
  struct candidate {
    std::string text;  ///< UTF-8, font changes marked by bytes 1 to 8
    double width = 0;  ///< estimated, in characters of the upright font
  };
  struct run {
    candidate c;
    std::uint8_t font = 0xFF;  ///< of the last character added; none yet
    std::size_t bytes = 0;
    void add(std::string_view characters, std::uint8_t character_font);
    /// Keeps the text's memory for the next word.
    void clear() {
      c.text.clear();
      c.width = 0;
      font = 0xFF;
      bytes = 0;
    }
  };
  using best = std::vector<candidate>;  ///< at most measured_words_per_column
  static void keep_if_wide(best& kept, const candidate& c);
  void end_piece();
  static void write_candidates(byte_sink& out, std::string_view command,
                               const std::vector<best>& per_column);

  std::vector<best> words_, pieces_;
  std::size_t column_ = no_column;
  run word_, piece_;
  bool word_has_part_ = false;  ///< a character that joins no parts seen
  bool after_joiner_ = false;   ///< the last character joins parts
};

/// Whether the page draws rules in `table`: a border other than 0, a rules
/// attribute other than "none", or a frame other than "void".
bool draws_rules(const html5::document& doc, html5::node_id table);

/// The LaTeX that opens a planned table: its words measured, its type size
/// and column widths chosen, and \begin{longtable} with a column each.
std::string table_opening(const column_words& words,
                          const std::vector<double>& fractions, bool ruled);
/// What closes it.
inline constexpr std::string_view table_closing =
    "\\end{longtable}\\endgroup\n";

/// The width of `span` columns from `first` (from 0) as a cell spanning
/// them holds it: their widths, the space between them and `rules` rules.
std::string spanned_width(std::size_t first, std::size_t span,
                          std::size_t rules);

/// The preamble's part that measures and fits tables.
extern const std::string_view table_fit_preamble;

}  // namespace tagweave::latex2e
