// Non-ASCII characters in the LaTeX2e writer's output: for each code point,
// its UTF-8 where inputenc and the preamble's fonts typeset it as it is, LaTeX
// that typesets it otherwise, or nothing when no font of the preamble has it
// (emoji, CJK, scripts without fonts), and the writer prints a placeholder.
// The table is generated and checked with pdflatex by
// html5/latex2e/make_char_table.py.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace tagweave::latex2e {

/// One character the writer can typeset and the LaTeX it writes for it.
/// The LaTeX never swallows what follows it (it ends with '}' or is a single
/// character or control symbol), holds balanced braces, and works in a
/// paragraph, a moving argument (headings, footnotes, link text) and a
/// p-column table cell, in any of the preamble's fonts.
struct character_entry {
  char32_t code_point;
  std::string_view latex;
};

/// How to write `code_point` (a non-ASCII scalar value): its own UTF-8 when
/// it passes through, else the LaTeX that typesets it; an invisible format
/// character (a zero-width joiner, a direction mark, a variation selector)
/// gives "{}". Nothing for code points that cannot be typeset, for ASCII,
/// which the writer escapes itself, and for surrogates, which are not
/// characters.
std::optional<std::string_view> latex_for_character(char32_t code_point);

/// Every entry, in increasing order of code point.
std::span<const character_entry> character_entries();

}  // namespace tagweave::latex2e
