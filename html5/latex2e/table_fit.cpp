// Collecting each column's longest words while a table is planned, and the
// LaTeX that measures them and sets the table's size and column widths.
#include "html5/latex2e/table_fit.h"

#include "html5/latex2e/escape.h"
#include "html5/latex2e/html_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace tagweave::latex2e {
namespace {

bool is_continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

/// Estimated widths of a character in each font, relative to the upright
/// one: they only rank a column's words, TeX measures the ones kept.
double character_width(std::uint8_t font) {
  double width = 1.0;
  if (font & font_mono) width *= 1.15;
  if (font & font_bold) width *= 1.1;
  return width;
}

/// Font changes inside a collected word are marked by a control byte: the
/// font plus this. Control characters of the page are dropped (escaping
/// drops them too), so no text byte is taken for a mark.
constexpr char font_mark_base = 1;
static_assert(font_mark_base + (font_bold | font_mono | font_italic) < ' ');

bool is_control(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

std::string decimal(std::size_t value) {
  char buffer[24];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)error;
  return std::string(buffer, end);
}

void write_font_switches(byte_sink& out, std::uint8_t font) {
  if (font & font_bold) out.write("\\bfseries ");
  if (font & font_mono) out.write("\\ttfamily ");
  if (font & font_italic) out.write("\\itshape ");
}

/// A collected word as LaTeX: each run of a font other than the upright one
/// in a group of its own.
void write_collected(byte_sink& out, std::string_view text) {
  escape_state state;
  bool in_group = false;
  for (std::size_t at = 0; at < text.size();) {
    if (is_control(text[at])) {
      auto font = static_cast<std::uint8_t>(text[at] - font_mark_base);
      if (in_group) out.put('}');
      in_group = font != 0;
      if (in_group) out.put('{');
      write_font_switches(out, font);
      state.ligature_start = 0;
      ++at;
      continue;
    }
    at = write_escaped_character(out, text, at, state);
  }
  if (in_group) out.put('}');
}

}  // namespace

void column_words::run::add(std::string_view characters,
                            std::uint8_t character_font) {
  if (character_font != font) {
    c.text += static_cast<char>(font_mark_base + character_font);
    font = character_font;
  }
  c.text += characters;
  std::size_t count = 0;
  for (char byte : characters) count += is_continuation(byte) ? 0 : 1;
  c.width += character_width(character_font) * static_cast<double>(count);
  bytes += characters.size();
}

void column_words::start_cell(std::size_t column) {
  end_word();
  column_ = column;
  if (column != no_column && words_.size() <= column) {
    words_.resize(column + 1);
    pieces_.resize(column + 1);
  }
}

void column_words::add_text(std::string_view text, std::uint8_t font) {
  if (column_ == no_column) return;
  for (std::size_t at = 0; at < text.size();) {
    char c = text[at];
    if (is_html_space(c)) {
      end_word();
      ++at;
      continue;
    }
    if (is_control(c)) {
      ++at;
      continue;
    }
    // A joiner alone, else the characters up to the next joiner or space,
    // as many whole ones as the word has room for.
    bool joiner = joins_word_parts(c);
    std::size_t end = at + 1;
    while (!joiner && end < text.size() && !is_html_space(text[end]) &&
           !is_control(text[end]) && !joins_word_parts(text[end])) {
      ++end;
    }
    if (word_.bytes >= longest_measured_word) end_word();
    std::size_t room = longest_measured_word - word_.bytes;
    if (end - at > room) {
      end = at + room;
      while (end > at && is_continuation(text[end])) --end;
      if (end == at) {  // its next character starts the next word
        end_word();
        continue;
      }
    }
    // The writer lets a cell break here (see body_writer::break_word_parts).
    if (after_joiner_ && !joiner && word_has_part_) end_piece();
    std::string_view characters = text.substr(at, end - at);
    word_.add(characters, font);
    piece_.add(characters, font);
    word_has_part_ = word_has_part_ || !joiner;
    after_joiner_ = joiner;
    at = end;
  }
}

void column_words::end_piece() {
  if (column_ != no_column && piece_.bytes > 0) {
    keep_if_wide(pieces_[column_], piece_.c);
  }
  piece_.clear();
}

void column_words::end_word() {
  end_piece();
  if (column_ != no_column && word_.bytes > 0) {
    keep_if_wide(words_[column_], word_.c);
  }
  word_.clear();
  word_has_part_ = after_joiner_ = false;
}

void column_words::keep_if_wide(best& kept, const candidate& c) {
  auto narrowest = std::min_element(
      kept.begin(), kept.end(),
      [](const candidate& a, const candidate& b) { return a.width < b.width; });
  bool full = kept.size() == measured_words_per_column;
  if (full && narrowest->width >= c.width) return;
  for (const candidate& k : kept) {
    if (k.text == c.text) return;
  }
  if (full) {
    *narrowest = c;
  } else {
    kept.push_back(c);
  }
}

double column_words::widest_word(std::size_t column) const {
  double widest = 0;
  if (column >= words_.size()) return widest;
  for (const candidate& c : words_[column]) widest = std::max(widest, c.width);
  return widest;
}

void column_words::write_candidates(byte_sink& out, std::string_view command,
                                    const std::vector<best>& per_column) {
  for (std::size_t column = 0; column < per_column.size(); ++column) {
    for (const candidate& c : per_column[column]) {
      out.write(command);
      out.put('{');
      out.write(decimal(column + 1));
      out.write("}{");
      write_collected(out, c.text);
      out.write("}%\n");
    }
  }
}

void column_words::write_measured(byte_sink& out) const {
  write_candidates(out, "\\twword", words_);
  write_candidates(out, "\\twpiece", pieces_);
}

bool draws_rules(const html5::document& doc, html5::node_id table) {
  auto border = doc.attribute(table, "border");
  if (border) {
    // The HTML standard maps an unparsable or empty border to 1.
    std::string_view v = *border;
    while (!v.empty() && is_html_space(v.front())) v.remove_prefix(1);
    std::size_t digits = 0;
    while (digits < v.size() && v[digits] >= '0' && v[digits] <= '9') {
      ++digits;
    }
    bool zero = digits > 0 && v.substr(0, digits).find_first_not_of('0') ==
                                  std::string_view::npos;
    if (!zero) return true;
  }
  auto lower_equals = [](std::string_view value, std::string_view word) {
    return value.size() == word.size() &&
           std::equal(value.begin(), value.end(), word.begin(),
                      [](char a, char b) { return (a | 0x20) == b; });
  };
  auto rules = doc.attribute(table, "rules");
  if (rules && !lower_equals(*rules, "none")) return true;
  auto frame = doc.attribute(table, "frame");
  return frame && !lower_equals(*frame, "void");
}

std::string table_opening(const column_words& words,
                          const std::vector<double>& fractions, bool ruled) {
  std::string text = "\\begingroup\\twtable{";
  text += decimal(fractions.size());
  text += ruled ? "}{1}{" : "}{0}{";
  for (std::size_t i = 0; i < fractions.size(); ++i) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%.4f", i > 0 ? "," : "",
                  fractions[i]);
    text += buffer;
  }
  text += "}%\n";
  {
    byte_sink out(text);
    words.write_measured(out);
    out.flush();
  }
  text += "\\twfit\n\\begin{longtable}{";
  if (ruled) text += '|';
  for (std::size_t i = 0; i < fractions.size(); ++i) {
    text += "P{";
    text += decimal(i + 1);
    text += ruled ? "}|" : "}";
  }
  text += "}\n";
  return text;
}

std::string spanned_width(std::size_t first, std::size_t span,
                          std::size_t rules) {
  std::string width = "\\dimexpr";
  for (std::size_t i = first; i < first + span; ++i) {
    if (i > first) width += '+';
    width += "\\twcw{";
    width += decimal(i + 1);
    width += '}';
  }
  if (span > 1) {
    width += '+';
    width += decimal(2 * (span - 1));
    width += "\\tabcolsep";
  }
  if (rules > 0) {
    width += '+';
    width += decimal(rules);
    width += "\\arrayrulewidth";
  }
  width += "\\relax";
  return width;
}

// \twtable{columns}{ruled}{shares} starts fitting a table; \twword and
// \twpiece{column}{text} give a column's longest words and longest parts of
// words; \twfit measures them and sets the type size and each column's
// width \twcw{column}. The width left for the columns' text is the line's
// less the space around each column and the rules. The type gets smaller
// (\footnotesize, then \scriptsize at least, where the class has them)
// until the columns' longest words fit side by side; if they still do not,
// the longest parts must.
// Each column gets its minimum and, of what the line has left, an amount in
// proportion to how much more than its minimum its share would give it.
// Parts wider than the line together are shrunk alike to fit. \twb is where
// a cell may break a word between its parts: a penalty of 200 costs more
// than a line more of the cell (TeX weighs a line at about 100 demerits
// against 40000 for the penalty), so a word breaks only where it has to.
const std::string_view table_fit_preamble =
    "\\makeatletter\n"
    "\\newdimen\\tw@avail\\newdimen\\tw@d\\newdimen\\tw@sum"
    "\\newdimen\\tw@slack\\newdimen\\tw@rest\n"
    "\\newcount\\tw@i\\newcount\\tw@cols\\newif\\iftw@ruled\n"
    "\\def\\twcw#1{\\csname tw@cw@#1\\endcsname}\n"
    "\\newcolumntype{P}[1]{>{\\raggedright\\arraybackslash}p{\\twcw{#1}}}\n"
    "\\def\\twb{\\penalty200\\relax}\n"
    "\\def\\twtable#1#2#3{\\tw@cols=#1\\relax\n"
    "  \\ifnum#2=1 \\tw@ruledtrue\\else\\tw@ruledfalse\\fi\n"
    "  \\let\\tw@words\\@empty\\let\\tw@pieces\\@empty\\tw@i=\\z@\n"
    "  \\@for\\tw@f:=#3\\do{\\advance\\tw@i\\@ne\n"
    "    \\expandafter\\edef\\csname tw@f@\\the\\tw@i\\endcsname{\\tw@f}}}\n"
    "\\def\\tw@append#1#2{\\expandafter\\def\\expandafter#1\\expandafter"
    "{#1#2}}\n"
    "\\def\\twword#1#2{\\tw@append\\tw@words{\\tw@measure{#1}{#2}}}\n"
    "\\def\\twpiece#1#2{\\tw@append\\tw@pieces{\\tw@measure{#1}{#2}}}\n"
    "\\def\\tw@measure#1#2{\\settowidth\\tw@d{#2}%\n"
    "  \\ifdim\\tw@d>\\csname tw@m@#1\\endcsname\\relax\n"
    "    \\expandafter\\edef\\csname tw@m@#1\\endcsname{\\the\\tw@d}\\fi}\n"
    "\\def\\tw@eachcolumn#1{\\tw@i=\\z@\n"
    "  \\loop\\ifnum\\tw@i<\\tw@cols\\advance\\tw@i\\@ne#1\\repeat}\n"
    "\\def\\tw@m{\\csname tw@m@\\the\\tw@i\\endcsname}\n"
    "\\def\\tw@minima#1{%\n"
    "  \\tw@eachcolumn{\\expandafter\\def\\csname tw@m@\\the\\tw@i"
    "\\endcsname{0pt}}%\n"
    "  #1\\tw@sum=\\z@\\tw@eachcolumn{\\advance\\tw@sum\\tw@m\\relax}}\n"
    "\\def\\tw@size#1{\\@ifundefined{#1}{}{\\csname #1\\endcsname"
    "\\tw@minima\\tw@words}}\n"
    "\\def\\twfit{%\n"
    "  \\tw@avail=\\dimexpr\\linewidth-2\\tabcolsep*\\tw@cols\\relax\n"
    "  \\iftw@ruled\\advance\\tw@avail-\\numexpr\\tw@cols+1\\relax"
    "\\arrayrulewidth\\fi\n"
    "  \\ifdim\\tw@avail<\\tw@cols\\p@\\tw@avail=\\tw@cols\\p@\\fi\n"
    "  \\tw@minima\\tw@words\n"
    "  \\ifdim\\tw@sum>\\tw@avail\\tw@size{footnotesize}\\fi\n"
    "  \\ifdim\\tw@sum>\\tw@avail\\tw@size{scriptsize}\\fi\n"
    "  \\tw@eachcolumn{\\expandafter\\edef\\csname tw@w@\\the\\tw@i"
    "\\endcsname{\\tw@m}}%\n"
    "  \\ifdim\\tw@sum>\\tw@avail\\tw@minima\\tw@pieces\\fi\n"
    "  \\tw@slack=\\z@\\tw@eachcolumn{\\tw@desired\\advance\\tw@slack"
    "\\tw@d}%\n"
    "  \\tw@rest=\\dimexpr\\tw@avail-\\tw@sum\\relax\n"
    "  \\ifdim\\tw@rest>\\tw@slack\\tw@rest=\\tw@slack\\fi\n"
    "  \\tw@eachcolumn{\\tw@width\\expandafter\\edef\\csname tw@cw@"
    "\\the\\tw@i\\endcsname{\\the\\tw@d}}}\n"
    "\\def\\tw@desired{%\n"
    "  \\tw@d=\\csname tw@f@\\the\\tw@i\\endcsname\\tw@avail\n"
    "  \\ifdim\\tw@d<\\csname tw@w@\\the\\tw@i\\endcsname\\relax"
    "\\tw@d=\\csname tw@w@\\the\\tw@i\\endcsname\\relax\\fi\n"
    "  \\ifdim\\tw@d<\\tw@m\\relax\\tw@d=\\tw@m\\relax\\fi\n"
    "  \\advance\\tw@d-\\tw@m\\relax\n"
    "  \\expandafter\\edef\\csname tw@s@\\the\\tw@i\\endcsname"
    "{\\the\\tw@d}}\n"
    "\\def\\tw@width{%\n"
    "  \\ifdim\\tw@rest<\\z@\n"
    "    \\tw@d=\\dimexpr\\tw@m*\\number\\tw@avail/\\number\\tw@sum\\relax\n"
    "  \\else\\tw@d=\\tw@m\\relax\\ifdim\\tw@slack>\\z@\n"
    "    \\advance\\tw@d\\dimexpr\\csname tw@s@\\the\\tw@i\\endcsname"
    "*\\number\\tw@rest/\\number\\tw@slack\\relax\\fi\\fi}\n"
    "\\makeatother\n";

}  // namespace tagweave::latex2e
