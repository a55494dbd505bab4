// Text, URLs and link targets as LaTeX2e source that pdflatex typesets
// exactly as the page shows them: every special character escaped, no
// ligature formed between characters that were separate on the page
// ("--", ",,"), quotes and backquotes kept straight, non-ASCII characters
// through the character table, and a visible placeholder for the ones no
// font of the preamble has.
#pragma once

#include "output/byte_sink.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tagweave::latex2e {

/// The .tex is written for people too: a line ends at the first space
/// between words past this column, so that lines are about as wide as a
/// reader's window, and a space is never written at a line's start, where
/// TeX would drop it.
inline constexpr std::size_t wrap_column = 80;

/// Where no space comes (a long word, a run of tokens), a line is ended
/// after about this many bytes with "%" and a line end, which add nothing.
/// It also keeps every line far below TeX's input buffer (200000 bytes),
/// which a minified page of one line would overflow. What the writer writes
/// between two chances to end a line is bounded too: a URL, an image's
/// path, a table's column list, a word's escaped piece.
inline constexpr std::size_t max_output_line = 100;

/// TeX holds a whole paragraph in its main memory (5 million words in TeX
/// Live) before breaking it into lines: a paragraph's LaTeX is ended after
/// about this many bytes, between two words, and a heading's argument (one
/// paragraph that cannot be ended early) drops its words past this size.
inline constexpr std::size_t max_paragraph_bytes = 60000;

/// What escaping carries from one piece of text to the next.
struct escape_state {
  /// The last character written, when it could form a ligature with the
  /// next one; 0 after anything else.
  char ligature_start = 0;
  /// Characters written as placeholders so far.
  std::size_t untypeset = 0;
};

/// Writes one character of `text` starting at `at` (a whole UTF-8
/// sequence), escaped; returns the position after it. White space is the
/// caller's business: it is written as it is.
std::size_t write_escaped_character(byte_sink& out, std::string_view text,
                                    std::size_t at, escape_state& state);

/// The end of the run of characters from `at` that are written as they
/// stand (ASCII letters, digits and plain punctuation: nothing escaped, no
/// ligature, no white space), but no further than `limit`.
std::size_t plain_run_end(std::string_view text, std::size_t at,
                          std::size_t limit);

/// `text` cut after about `limit` bytes (which it must exceed): at the last
/// space past half the limit, else at a character's end, with "..." after.
std::string first_words_of(std::string_view text, std::size_t limit);

/// Writes `text` escaped, white space included as it is.
void write_escaped(byte_sink& out, std::string_view text, escape_state& state);

/// Writes the characters of `text` from `at` up to the first white space
/// (or the end), escaped; returns where it stopped. Runs of characters
/// that stand for themselves are written in one piece.
std::size_t write_escaped_word(byte_sink& out, std::string_view text,
                               std::size_t at, escape_state& state);

/// A URL as the first argument of \href: characters that TeX or hyperref
/// would read specially are written as \# \% \& \_ \~ (hyperref turns them
/// back), and those a URL may not hold unencoded (space, control
/// characters, braces, backslash, non-ASCII bytes, ...) are percent-encoded.
std::string escape_url(std::string_view url);

/// The name for \hypertarget and \hyperlink of a page's `number`th link
/// target: short and distinct, whatever the ids are.
std::string target_name(std::size_t number);

}  // namespace tagweave::latex2e
