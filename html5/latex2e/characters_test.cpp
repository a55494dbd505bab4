#include "html5/latex2e/characters.h"

#include "testing/run_program.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace tagweave::latex2e {
namespace {

constexpr char32_t last_code_point = 0x10FFFF;

bool is_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

std::string u_plus(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

struct lookup_case {
  const char* what;
  char32_t code_point;
  std::optional<std::string_view> latex;
};

TEST(LatexForCharacter, PassesThroughCommandsOrNothing) {
  const lookup_case cases[] = {
      {"a Latin-1 letter passes through", 0xE9, "\xC3\xA9"},
      {"a no-break space passes through", 0xA0, "\xC2\xA0"},
      {"a letter with marks above and below: the one below goes on last",
       0x1EC7, "\\texorpdfstring{\\d{\\^{e}}}{\xE1\xBB\x87}"},
      {"an accent over a letter that has no accent of its own", 0x01FE,
       "\\texorpdfstring{\\'{\\O{}}}{\xC7\xBE}"},
      {"a double arrow in math", 0x21D2,
       "\\texorpdfstring{\\ensuremath{\\Rightarrow}}{\xE2\x87\x92}"},
      {"less than or equal in math", 0x2264,
       "\\texorpdfstring{\\ensuremath{\\leq}}{\xE2\x89\xA4}"},
      {"the trade mark sign, which the typewriter font lacks", 0x2122,
       "\\texorpdfstring{\\textsuperscript{TM}}{\xE2\x84\xA2}"},
      {"a zero-width joiner shows nothing", 0x200D, "{}"},
      {"the replacement character shows", 0xFFFD,
       "\\texorpdfstring{\\textcircled{?}}{\xEF\xBF\xBD}"},
      {"an emoji has no font", 0x1F600, std::nullopt},
      {"a CJK ideograph has no font", 0x4E2D, std::nullopt},
      {"a surrogate is no character", 0xD800, std::nullopt},
      {"ASCII is the writer's to escape", U'A', std::nullopt},
      {"NUL is ASCII too", 0, std::nullopt},
      {"beyond the last code point", last_code_point + 1, std::nullopt},
  };
  for (const lookup_case& c : cases) {
    EXPECT_EQ(latex_for_character(c.code_point), c.latex) << c.what;
  }
}

/// Whether `latex` has balanced braces, escaped ones (\{ \}) not counted.
bool balanced(std::string_view latex) {
  int depth = 0;
  for (std::size_t i = 0; i < latex.size(); ++i) {
    if (latex[i] == '\\') {
      ++i;  // a control symbol's character, or a control word's first letter
    } else if (latex[i] == '{') {
      ++depth;
    } else if (latex[i] == '}' && --depth < 0) {
      return false;
    }
  }
  return depth == 0;
}

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

/// Whether `latex` ends with a control word, which would swallow a letter or
/// a space after it.
bool ends_with_control_word(std::string_view latex) {
  std::size_t letters = 0;
  while (letters < latex.size() &&
         is_letter(latex[latex.size() - 1 - letters])) {
    ++letters;
  }
  return letters > 0 && letters < latex.size() &&
         latex[latex.size() - 1 - letters] == '\\';
}

TEST(CharacterTable, HoldsNonAsciiCharactersInOrderWithSafeLatex) {
  const auto entries = character_entries();
  ASSERT_FALSE(entries.empty());
  char32_t previous = 0x7F;  // every entry is above ASCII
  for (const character_entry& entry : entries) {
    SCOPED_TRACE(u_plus(entry.code_point));
    EXPECT_GT(entry.code_point, previous) << "out of order or repeated";
    previous = entry.code_point;
    EXPECT_LE(entry.code_point, last_code_point);
    EXPECT_FALSE(is_surrogate(entry.code_point));
    EXPECT_FALSE(entry.latex.empty());
    EXPECT_TRUE(balanced(entry.latex)) << entry.latex;
    EXPECT_FALSE(ends_with_control_word(entry.latex)) << entry.latex;
  }
}

TEST(CharacterTable, FindsEveryEntryAndNothingBetween) {
  const auto entries = character_entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const char32_t code_point = entries[i].code_point;
    EXPECT_EQ(latex_for_character(code_point), entries[i].latex)
        << u_plus(code_point);
    const bool next_is_entry =
        i + 1 < entries.size() && entries[i + 1].code_point == code_point + 1;
    if (!next_is_entry) {
      EXPECT_EQ(latex_for_character(code_point + 1), std::nullopt)
          << u_plus(code_point + 1);
    }
  }
}

// --- With pdflatex -----------------------------------------------------------

using testing::find_on_path;

/// The LaTeX2e writer's preamble. \tracinglostchars logs a glyph that a
/// font lacks, which pdflatex would otherwise drop without a word.
constexpr std::string_view preamble =
    "\\documentclass{article}\n"
    "\\usepackage[T1]{fontenc}\n"
    "\\usepackage[utf8]{inputenc}\n"
    "\\usepackage{lmodern}\n"
    "\\usepackage{textcomp}\n"
    "\\usepackage{amssymb}\n"
    "\\usepackage{array}\n"
    "\\usepackage{longtable}\n"
    "\\usepackage{graphicx}\n"
    "\\usepackage[hidelinks]{hyperref}\n"
    "\\tracinglostchars=2\n";

// Entries per heading and per table row: long enough to keep the document
// short, short enough that a heading or a row stays a few lines.
constexpr std::size_t entries_per_group = 40;

/// The entries from `first` on, at most `entries_per_group`, each followed
/// by a letter and a space, which it must leave alone.
std::string group_from(std::size_t first) {
  std::string text;
  const auto entries = character_entries();
  for (std::size_t i = first;
       i < entries.size() && i < first + entries_per_group; ++i) {
    text += entries[i].latex;
    text += "x ";
  }
  return text;
}

/// Every entry in running text, in bold, italic and typewriter type, in
/// link text and a footnote, in starred headings and in p-column cells of a
/// longtable.
std::string document_with_every_entry() {
  std::string all;
  for (std::size_t i = 0; i < character_entries().size();
       i += entries_per_group) {
    all += group_from(i);
  }
  std::string doc(preamble);
  doc += "\\begin{document}\n" + all + "\n\n\\textbf{" + all + "}\n\n\\emph{" +
         all + "}\n\n\\texttt{" + all + "}\n\n\\href{https://example.org/}{" +
         all + "}\\footnote{" + all + "}\n\n";
  std::string rows;
  for (std::size_t i = 0; i < character_entries().size();
       i += entries_per_group) {
    doc += "\\section*{" + group_from(i) + "}\n";
    rows += group_from(i) + "\\\\\n";
  }
  doc += "\\begin{longtable}{p{0.8\\linewidth}}\n" + rows +
         "\\end{longtable}\n\\end{document}\n";
  return doc;
}

TEST(CharacterTable, EveryEntryTypesetsWithPdflatex) {
  const std::string pdflatex = find_on_path("pdflatex");
  if (pdflatex.empty()) {
    GTEST_SKIP() << "skipped: pdflatex is not on PATH (install "
                    "texlive-latex-base and texlive-latex-recommended)";
  }
  testing::temp_dir dir;
  dir.write("doc.tex", document_with_every_entry());
  testing::program_call call;
  call.program = pdflatex;
  call.args = {"-interaction=nonstopmode", "-halt-on-error", "doc.tex"};
  call.directory = dir.path();
  const testing::program_run run = testing::run_program(call);
  const std::string log = dir.read("doc.log");
  const std::size_t error = log.find("\n! ");
  EXPECT_EQ(run.status, 0) << (error == std::string::npos
                                   ? run.out
                                   : log.substr(error, 1000));
  const std::size_t missing = log.find("Missing character");
  EXPECT_EQ(missing, std::string::npos)
      << log.substr(missing == std::string::npos ? 0 : missing, 200);
}

}  // namespace
}  // namespace tagweave::latex2e
