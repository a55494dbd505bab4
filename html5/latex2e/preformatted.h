// Preformatted text (pre, listing, xmp) as the twpre environment: every
// character and space kept, each line of the page a line of its own. A
// block is set in a smaller size, down to a floor, so that its longest line
// fits the line width; a line still too long wraps after a space or a
// punctuation mark where it has one, else inside a word, and its
// continuation starts indented behind a hooked arrow.
#pragma once

#include "html5/tree/dom.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tagweave::latex2e {

/// Tab stops in preformatted text.
inline constexpr std::size_t tab_width = 8;

/// A preformatted line that must wrap inside a word may do so after this
/// many characters without another break point: often enough that the line
/// fills most of the width, seldom enough to keep the LaTeX small.
inline constexpr std::size_t pre_break_interval = 8;

/// The definitions of twpre and its break commands, for the preamble.
extern const std::string_view preformatted_preamble;

/// The widest line of a pre element's text in characters, tabs expanded
/// and line breaks (newlines, br) counted as the writer writes them. Visits
/// the element's subtree once, without recursion.
std::size_t longest_line(const html5::document& doc, html5::node_id pre);

/// "\begin{twpre}{N}": the environment sized for a longest line of
/// `columns` characters.
std::string twpre_begin(std::size_t columns);

/// Where a preformatted line stands, and the break points it is due. The
/// writer asks it what LaTeX goes before each space or run of characters.
class pre_line {
 public:
  /// A new line begins (after a line end, or at the block's start).
  void start() { *this = pre_line(); }
  bool empty() const { return empty_; }

  /// The LaTeX for a space or a tab at this point, as many spaces as it
  /// stands for (a tab reaches the next tab stop).
  std::string space(char c);

  /// The LaTeX due before the characters of `text` from `at`: a break
  /// point, when one falls there. Returns where the run that may follow it
  /// without another break point ends (at least one character, no further
  /// than `limit`), which the caller writes and then reports with
  /// `wrote`.
  std::string_view before_characters(std::string_view text, std::size_t at,
                                     std::size_t limit, std::size_t& end);

  /// `text` holds the characters just written: `count` of them, the last
  /// one `last`.
  void wrote(std::size_t count, char last);

 private:
  std::size_t column_ = 0;  ///< characters on the line, tabs expanded
  std::size_t run_ = 0;     ///< characters since the last break point
  bool empty_ = true;       ///< nothing on the line yet
  bool indent_ = true;      ///< only spaces on the line so far
  bool in_spaces_ = false;  ///< the last thing written was a space
  /// A space (past the indentation) or a punctuation mark came last: the
  /// line may wrap before the next character, at little cost.
  bool soft_break_due_ = false;
};

}  // namespace tagweave::latex2e
