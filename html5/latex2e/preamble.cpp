// The --html5 document's preamble and closing.
#include "html5/latex2e/preamble.h"

#include "html5/latex2e/latex_lines.h"
#include "html5/latex2e/preformatted.h"
#include "html5/latex2e/table_fit.h"

namespace tagweave::latex2e {
namespace {

// Packages and settings every --html5 document uses. Paragraphs are
// separated by space, not indented, as on a web page. Lists number in
// arabic at every level, so that no start value or length can overflow a
// letter or roman counter. twpre, preformatted text, is defined after these
// (preformatted_preamble of html5/latex2e/preformatted.h). \twimage
// includes a picture at its natural size, shrunk to fit the line and a
// share of the page's height (0.8 unless given: a table cell gives less, so
// that its row fits on a page). \twmissing shows a character no font has, by
// its code point, with a chance to break the line after it: a run of them is no
// word. \twlink links to a relative URL with a URI action, as \href does
// for a URL with a scheme: \href would make it a GoToR action that opens a
// local file. The lists and headings of the page are set by
// list_preamble and heading_preamble.
constexpr std::string_view fixed_preamble =
    "\\usepackage[T1]{fontenc}\n"
    "\\usepackage[utf8]{inputenc}\n"
    "\\usepackage{lmodern}\n"
    "\\usepackage{textcomp}\n"
    "\\usepackage{amssymb}\n"
    "\\usepackage{array}\n"
    "\\usepackage{longtable}\n"
    "\\usepackage{graphicx}\n"
    "\\usepackage{color}\n"
    "\\definecolor{twlinkcolor}{rgb}{0.1,0.25,0.6}\n"
    "\\usepackage[colorlinks,allcolors=twlinkcolor]{hyperref}\n"
    "\\setlength{\\parindent}{0pt}\n"
    "\\setlength{\\parskip}{0.5\\baselineskip plus 2pt}\n"
    "\\setlength{\\tabcolsep}{3pt}\n"
    "\\setlength{\\LTpre}{\\parskip}\n"
    "\\setlength{\\LTpost}{\\parskip}\n"
    "\\renewcommand{\\theenumii}{\\arabic{enumii}}\n"
    "\\renewcommand{\\theenumiii}{\\arabic{enumiii}}\n"
    "\\renewcommand{\\theenumiv}{\\arabic{enumiv}}\n"
    "\\renewcommand{\\labelenumii}{\\theenumii.}\n"
    "\\renewcommand{\\labelenumiii}{\\theenumiii.}\n"
    "\\renewcommand{\\labelenumiv}{\\theenumiv.}\n"
    "\\newsavebox{\\twimagebox}\n"
    "\\newcommand{\\twimage}[2][0.8]{\\sbox{\\twimagebox}{\\includegraphics{#2}"
    "}%\n"
    "  \\ifdim\\wd\\twimagebox>\\linewidth\n"
    "    \\sbox{\\twimagebox}{\\resizebox{\\linewidth}{!}"
    "{\\usebox{\\twimagebox}}}\\fi\n"
    "  \\ifdim\\ht\\twimagebox>#1\\textheight\n"
    "    \\sbox{\\twimagebox}{\\resizebox{!}{#1\\textheight}"
    "{\\usebox{\\twimagebox}}}\\fi\n"
    "  \\usebox{\\twimagebox}}\n"
    "\\newcommand{\\twmissing}[1]{\\fbox{\\scriptsize U+#1}\\allowbreak}\n"
    "\\makeatletter\n"
    "\\def\\twlink{\\hyper@normalise\\tw@link}\n"
    "\\def\\tw@link#1#2{\\hyper@linkurl{#2}{#1}}\n"
    "\\makeatother\n"
    "\\sloppy\n";

void write_line(byte_sink& out, std::string_view line) {
  out.write(line);
  out.put('\n');
}

// Lists at every depth the writer begins (max_list_depth), however deep:
// itemize, enumerate, description and quote are lists of \tw@list, which
// keeps \list's parameters of the sixth level below it instead of stopping
// at LaTeX's limit of six lists (and four itemize and enumerate). Lists are
// tight, as browsers show them: items 1pt apart, while paragraphs inside an
// item, a dd or a quote are as far apart as in the body (inside a list
// \parskip is \parsep; an item adds \itemsep to it), and a list inside
// a list has no space above or below (\tw@nested; inside a quote or a
// note it has, as in the body). The labels and counters past LaTeX's four
// levels are written by write_list_levels.
constexpr std::string_view list_preamble =
    "\\makeatletter\n"
    "\\newskip\\tw@parskip\\tw@parskip=\\parskip\n"
    "\\newcount\\tw@itemdepth\\newcount\\tw@enumdepth\n"
    "\\def\\tw@tight{\\parsep\\tw@parskip"
    "\\itemsep\\dimexpr1pt-\\tw@parskip\\relax}\n"
    "\\def\\tw@list#1#2{\\edef\\tw@outerdepth{\\the\\@listdepth}%\n"
    "  \\ifnum\\@listdepth>5 \\global\\@listdepth5 \\fi\n"
    "  \\list{#1}{#2\\tw@tight}}\n"
    "\\def\\endtw@list{\\endlist\\global\\@listdepth\\tw@outerdepth\\relax}\n"
    "\\def\\tw@islist{list}\\let\\tw@parent\\relax\n"
    "\\def\\tw@nested{\\ifx\\tw@parent\\tw@islist"
    "\\topsep-\\tw@parskip\\partopsep\\z@\\fi\\let\\tw@parent\\tw@islist}\n"
    "\\def\\itemize{\\advance\\tw@itemdepth\\@ne\n"
    "  \\expandafter\\tw@list"
    "\\csname labelitem\\romannumeral\\tw@itemdepth\\endcsname\n"
    "  {\\tw@nested\\def\\makelabel##1{\\hss\\llap{##1}}}}\n"
    "\\def\\enditemize{\\endtw@list}\n"
    "\\def\\enumerate{\\advance\\tw@enumdepth\\@ne\n"
    "  \\edef\\@enumctr{enum\\romannumeral\\tw@enumdepth}%\n"
    "  \\expandafter\\tw@list\\csname label\\@enumctr\\endcsname\n"
    "  {\\tw@nested\\usecounter\\@enumctr"
    "\\def\\makelabel##1{\\hss\\llap{##1}}}}\n"
    "\\def\\endenumerate{\\endtw@list}\n"
    "\\providecommand*{\\descriptionlabel}[1]{\\hspace\\labelsep"
    "\\normalfont\\bfseries #1}\n"
    "\\def\\description{\\tw@list{}{\\tw@nested\\labelwidth\\z@"
    "\\itemindent-\\leftmargin\\let\\makelabel\\descriptionlabel}}\n"
    "\\def\\enddescription{\\endtw@list}\n"
    "\\def\\quote{\\tw@list{}{\\let\\tw@parent\\relax\\rightmargin\\leftmargin}"
    "\\item\\relax}\n"
    "\\def\\endquote{\\endtw@list}\n"
    "\\makeatother\n";

// Headings: each level its own look (size, bold, italic, small capitals),
// h4 and deeper standing on a line of their own as on the page rather than
// running into the text. \twsubsubparagraph is a sixth level below
// \subparagraph, for pages whose headings go six deep under \section.
constexpr std::string_view heading_preamble =
    "\\makeatletter\n"
    "\\@ifundefined{@startsection}{}{%\n"
    "\\renewcommand{\\paragraph}{\\@startsection{paragraph}{4}{\\z@}"
    "{2ex \\@plus 1ex \\@minus .2ex}{0.5ex}"
    "{\\normalfont\\normalsize\\bfseries\\itshape}}%\n"
    "\\renewcommand{\\subparagraph}{\\@startsection{subparagraph}{5}"
    "{\\z@}{2ex \\@plus 1ex \\@minus .2ex}{0.5ex}"
    "{\\normalfont\\normalsize\\itshape}}%\n"
    "\\newcounter{twsubsubparagraph}[subparagraph]%\n"
    "\\def\\thetwsubsubparagraph{\\thesubparagraph.\\arabic"
    "{twsubsubparagraph}}%\n"
    "\\def\\theHtwsubsubparagraph{\\theHsubparagraph.\\arabic"
    "{twsubsubparagraph}}%\n"
    "\\newcommand{\\twsubsubparagraph}{\\@startsection{twsubsubparagraph}{6}"
    "{\\z@}{2ex \\@plus 1ex \\@minus .2ex}{0.5ex}"
    "{\\normalfont\\normalsize\\scshape}}%\n"
    "\\def\\l@twsubsubparagraph{\\@dottedtocline{6}{14em}{7em}}%\n"
    "\\def\\toclevel@twsubsubparagraph{6}}\n"
    "\\makeatother\n";

// Notes and warnings (twnote, its title the argument, bold when not empty):
// set in from both margins between two rules that reach the margins, as a
// list, so that a long one breaks across pages and nests like a list.
// Figures' pictures and captions are centred by the writer.
constexpr std::string_view note_preamble =
    "\\makeatletter\n"
    "\\def\\tw@noterule{\\hspace*{-\\leftmargin}\\rule[0.5ex]"
    "{\\dimexpr\\linewidth+\\leftmargin+\\rightmargin\\relax}{0.6pt}}\n"
    "\\newenvironment{twnote}[1]{\\tw@list{}{\\let\\tw@parent\\relax"
    "\\leftmargin1.5em"
    "\\rightmargin\\leftmargin}%\n"
    "  \\item\\relax\\tw@noterule\\par\\nobreak\\vspace{-\\parskip}%\n"
    "  \\if\\relax\\detokenize{#1}\\relax\\else{\\bfseries #1}\\par\\fi}\n"
    "  {\\par\\nobreak\\vspace{-\\parskip}\\noindent\\tw@noterule\\par"
    "\\endtw@list}\n"
    "\\makeatother\n";

/// Lowercase roman numerals for LaTeX's names of list levels (enumv, ...).
std::string roman(std::size_t n) {
  static constexpr std::string_view units[] = {"",  "i",  "ii",  "iii",  "iv",
                                               "v", "vi", "vii", "viii", "ix"};
  std::string out(n / 10, 'x');
  out += units[n % 10];
  return out;
}

/// Counters and labels of the list levels LaTeX has none for: numbers in
/// arabic, bullets repeating LaTeX's four.
void write_list_levels(byte_sink& out) {
  constexpr std::size_t latex_levels = 4;
  for (std::size_t level = latex_levels + 1; level <= max_list_depth; ++level) {
    std::string name = roman(level);
    out.write("\\newcounter{enum" + name + "}\\def\\labelenum" + name +
              "{\\theenum" + name + ".}\\def\\labelitem" + name +
              "{\\labelitem" + roman((level - 1) % latex_levels + 1) + "}\n");
  }
}

/// The most of a title or an author the title block holds (about ten lines
/// of the title's large type): \maketitle sets the block in one box, and
/// what does not fit on the first page is lost. A longer one is cut there
/// in the block and written whole at the start of the body.
constexpr std::size_t max_title_block_text = 600;

/// A title's or an author's text escaped, white space as spaces, in lines
/// as the body's (latex_lines). With `paragraph_bytes`, a blank line ends a
/// paragraph after about that many bytes, between words (TeX holds a
/// paragraph in its memory); without, none is written, as an argument that
/// is not \long needs.
void write_text_in_lines(latex_lines& out, std::string_view text,
                         escape_state& escape,
                         std::size_t paragraph_bytes = 0) {
  std::size_t paragraph_start = out.written();
  for (std::size_t at = 0; at < text.size();) {
    char c = text[at];
    if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f') {
      if (paragraph_bytes > 0 &&
          out.written() - paragraph_start > paragraph_bytes) {
        out.write("\n\n");
        paragraph_start = out.written();
      } else {
        out.write_space();
      }
      ++at;
      continue;
    }
    out.end_long_line();
    at = write_escaped_character(out.sink(), text, at, escape);
  }
}

/// \title{...} or \author{...} with the text between `open` and `close`.
void write_title_command(byte_sink& out, std::string_view open,
                         std::string_view text, std::string_view close,
                         escape_state& escape) {
  latex_lines lines(out);  // the command starts a line
  lines.write(open);
  write_text_in_lines(lines, text, escape);
  write_line(out, close);
}

/// `text` as the title block holds it: whole, or its first words and "...".
std::string block_text(std::string_view text) {
  if (text.size() <= max_title_block_text) return std::string(text);
  return first_words_of(text, max_title_block_text);
}

/// After \maketitle, a title or author the block had to cut, whole, as a
/// paragraph of its own (`style` around it).
void write_whole_text(byte_sink& out, std::string_view text,
                      std::string_view style, escape_state& escape) {
  if (text.size() <= max_title_block_text) return;
  latex_lines lines(out);
  lines.write(style);
  // Paragraphs of a style group end inside it: the group closes after.
  write_text_in_lines(lines, text, escape, max_paragraph_bytes);
  write_line(out, style.empty() ? "\\par" : "\\par}");
}

/// The raw LaTeX of -h or -f on lines of its own: the line end keeps a
/// control word at its end ("\\twocolumn") from running into the next
/// word, and a comment at its end ("% note") from swallowing what follows.
void write_raw_text(byte_sink& out, std::string_view text) {
  out.write(text);
  if (!text.empty() && text.back() != '\n') out.put('\n');
}

}  // namespace

void write_preamble(byte_sink& out, const document_options& options,
                    const page_metadata& page, escape_state& escape) {
  out.write("% Converted from HTML to LaTeX2e by tagweave ");
  out.write(TAGWEAVE_VERSION);  // given to every stage (CMakeLists.txt)
  write_line(out, " (--html5)");
  out.write("\\documentclass");
  write_line(out, options.style ? std::string_view(*options.style)
                                : std::string_view("{article}"));
  out.write(fixed_preamble);
  out.write(preformatted_preamble);
  out.write(table_fit_preamble);
  out.write(list_preamble);
  write_list_levels(out);
  out.write(heading_preamble);
  out.write(note_preamble);
  std::string_view title = options.title ? *options.title : page.title;
  std::string_view author = options.author ? *options.author : page.author;
  bool title_block = !title.empty() || !author.empty();
  if (title_block) {
    write_title_command(out, "\\title{", block_text(title), "}", escape);
    // \maketitle sets the author in a tabular column that never breaks a
    // line: a paragraph as wide as the line keeps a long one on the page.
    if (author.empty()) {
      write_line(out, "\\author{}");
    } else {
      write_title_command(
          out,
          "\\author{\\parbox[t]{\\dimexpr\\linewidth-2\\tabcolsep"
          "\\relax}{\\centering ",
          block_text(author), "}}", escape);
    }
    write_line(out, "\\date{}");
  }
  write_line(out, "\\begin{document}");
  if (options.header) write_raw_text(out, *options.header);
  if (title_block) {
    // \relax: with hyperref, \maketitle takes an optional argument, and a
    // body starting with "[" would be read as one.
    write_line(out, "\\maketitle\\relax");
    // Their characters were counted in the block already.
    escape_state counted;
    write_whole_text(out, title, "{\\bfseries ", counted);
    write_whole_text(out, author, "", counted);
    if (options.page_break) write_line(out, "\\newpage");
  }
  if (options.contents) {
    write_line(out, "\\tableofcontents");
    if (options.page_break) write_line(out, "\\newpage");
  }
}

void write_closing(byte_sink& out, const document_options& options) {
  out.put('\n');
  if (options.footer) write_raw_text(out, *options.footer);
  write_line(out, "\\end{document}");
}

}  // namespace tagweave::latex2e
