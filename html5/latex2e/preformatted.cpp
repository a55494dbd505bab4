// Preformatted text as the twpre environment.
#include "html5/latex2e/preformatted.h"

#include "html5/latex2e/element_roles.h"
#include "html5/latex2e/tree_walk.h"

#include <algorithm>

namespace tagweave::latex2e {
namespace {

using html5::document;
using html5::no_node;
using html5::node_id;
using html5::node_kind;

/// The longest line a twpre block is sized for. TeX multiplies it by the
/// width of a character in \numexpr and \dimexpr, which overflow past 2^31
/// scaled points (about 2500 characters of 25pt type); any line this long
/// needs the smallest size on every page and wraps there anyway.
constexpr std::size_t max_sized_columns = 1000;

/// Counts the columns of a pre element's lines as its text streams by.
class line_measure {
 public:
  void add(std::string_view text) {
    for (char c : text) {
      if (c == '\n') {
        new_line();
      } else if (c == '\t') {
        column_ += tab_width - column_ % tab_width;
      } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
        ++column_;  // a UTF-8 sequence's first byte: one character
      }
    }
  }
  void new_line() {
    longest_ = std::max(longest_, column_);
    column_ = 0;
  }
  std::size_t longest() const { return std::max(longest_, column_); }

 private:
  std::size_t column_ = 0, longest_ = 0;
};

/// After a punctuation mark a code line may wrap at little cost: between
/// the arguments of a call, the parts of a path, the terms of an
/// expression.
bool breaks_after(char c) {
  switch (c) {
    case ',':
    case ';':
    case ':':
    case '.':
    case '(':
    case ')':
    case '[':
    case ']':
    case '{':
    case '}':
    case '<':
    case '>':
    case '/':
    case '\\':
    case '|':
    case '&':
    case '=':
    case '+':
    case '-':
    case '*': return true;
    default: return false;
  }
}

}  // namespace

// twpre's argument is the block's longest line in characters. \twprefit sets
// the block in the size at which that line fits the line width (less a
// point, for rounding), but no smaller than \twprefloor times the
// surrounding size: below that, code is hard to read, and a longer line
// wraps instead. The size is computed, not chosen from the named sizes, so
// that a line just too long shrinks just enough; lmodern scales to any
// size. Small sizes use a design with wider characters: a second step
// measures the chosen size and shrinks it again if need be. The block starts
// its first paragraph before \parskip is zeroed, so that it stands apart from
// the text before it as a paragraph does. A line wraps only at \twbreak (after
// a space or a punctuation mark) and \twsplit (inside a word), which are
// discretionaries: the continuation starts with a hooked arrow in an indent of
// four characters. \twbreak's pre-break kern makes TeX charge \hyphenpenalty
// for it, \twsplit's empty one \exhyphenpenalty: a word is split only where no
// space or mark is near. Spaces are \nobreak\ , no break point of their own:
// TeX would drop the space at a break, and break the indentation off a line.
const std::string_view preformatted_preamble =
    "\\makeatletter\n"
    "\\def\\twprefloor{0.65}\n"
    "\\def\\twprefit#1{\\edef\\tw@base{\\f@size}\\tw@shrink{#1}\\tw@shrink{#1}}"
    "\n"
    "\\def\\tw@shrink#1{\\dimen@=\\fontcharwd\\font`M\\relax\n"
    "  \\ifdim#1\\dimen@>\\dimexpr\\linewidth-\\p@\\relax\n"
    "    \\dimen@=\\dimexpr\\f@size pt*\\dimexpr\\linewidth-\\p@\\relax"
    "/\\numexpr#1*\\dimen@\\relax\\relax\n"
    "    \\ifdim\\dimen@<\\twprefloor\\dimexpr\\tw@base pt\\relax\n"
    "      \\dimen@=\\twprefloor\\dimexpr\\tw@base pt\\relax\\fi\n"
    "    \\fontsize{\\strip@pt\\dimen@}"
    "{\\strip@pt\\dimexpr\\dimen@*6/5\\relax}\\selectfont\n"
    "  \\fi}\n"
    "\\def\\tw@mark{\\hbox to4\\fontcharwd\\font`M{\\hss$\\hookrightarrow$\\ }}"
    "\n"
    "\\def\\twbreak{\\discretionary{\\kern\\z@}{\\tw@mark}{}}\n"
    "\\def\\twsplit{\\discretionary{}{\\tw@mark}{}}\n"
    "\\makeatother\n"
    "\\newenvironment{twpre}[1]{\\par\\ttfamily\\twprefit{#1}\\leavevmode"
    "\\raggedright\\setlength{\\parskip}{0pt}\\frenchspacing"
    "\\hyphenpenalty=0 \\exhyphenpenalty=5000 \\doublehyphendemerits=0 "
    "\\finalhyphendemerits=0 \\relax}{\\par}\n";

std::size_t longest_line(const document& doc, node_id pre) {
  line_measure measure;
  walk(doc, pre, [&](node_id n) {
    if (doc[n].kind == node_kind::text) {
      doc.for_each_text_piece(
          n, [&](std::string_view piece) { measure.add(piece); });
      return false;
    }
    if (doc[n].kind != node_kind::element) return false;
    role r = role_of(doc, n);
    if (r == role::line_break) measure.new_line();
    return r != role::hidden;
  });
  return measure.longest();
}

std::string twpre_begin(std::size_t columns) {
  return "\\begin{twpre}{" +
         std::to_string(
             std::clamp<std::size_t>(columns, 1, max_sized_columns)) +
         "}";
}

std::string pre_line::space(char c) {
  std::size_t spaces = c == '\t' ? tab_width - column_ % tab_width : 1;
  std::string latex;
  if (empty_) latex = "\\mbox{}";
  // Only the first of a run of glue could be a break point.
  if (!in_spaces_) latex += "\\nobreak";
  for (std::size_t i = 0; i < spaces; ++i) latex += "\\ ";
  column_ += spaces;
  run_ = 0;
  empty_ = false;
  in_spaces_ = true;
  soft_break_due_ = !indent_;
  return latex;
}

std::string_view pre_line::before_characters(std::string_view text,
                                             std::size_t at, std::size_t limit,
                                             std::size_t& end) {
  std::string_view latex;
  if (soft_break_due_) {
    latex = "\\twbreak{}";
    run_ = 0;
  } else if (run_ > 0 && run_ % pre_break_interval == 0) {
    latex = "\\twsplit{}";
    run_ = 0;
  }
  limit = std::min(limit, at + (pre_break_interval - run_));
  end = at;
  while (end < limit && !breaks_after(text[end])) ++end;
  if (end < limit) ++end;  // the mark, then a break point
  end = std::max(end, at + 1);
  return latex;
}

void pre_line::wrote(std::size_t count, char last) {
  column_ += count;
  run_ += count;
  empty_ = indent_ = in_spaces_ = false;
  soft_break_due_ = breaks_after(last);
}

}  // namespace tagweave::latex2e
