// Whole conversions: HTML text in, the complete LaTeX document out, frame
// included, compared byte for byte.
#include "early/convert/document.h"
#include "early/reader/splitter.h"

#include "early/writer/frame.h"
#include "early/writer/renderer.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave {
namespace {

using testing::default_closing;
using testing::default_document;
using testing::default_preamble;

struct converted {
  std::string out;
  conversion_status outcome;
};

converted convert(std::string_view html, bool numbered = false) {
  document_options options;
  if (numbered) {
    options.numbered_headings = true;
  }
  byte_sink dest;
  conversion_status outcome = convert_document(html, dest, options);
  return {dest.contents(), outcome};
}

struct document_case {
  const char* html;
  const char* body;
  bool abnormal_exit = false;
  bool numbered = false;
};

TEST(ConvertDocument, WholeDocuments) {
  const document_case cases[] = {
      // One document end to end: title dropped, unnumbered heading, the
      // reference decoded and escaped again, lone line feeds between tags
      // dropped, the last run's line feed kept.
      {"<title>Demo</title>\n<h1>Intro</h1>\n<p>x &lt; y\n",
       "\\section*{Intro}\\par x $<$ y\n"},
      {"<title>Demo</title>\n<h1>Intro</h1>\n<p>x &lt; y\n",
       "\\section{Intro}\\par x $<$ y\n", false, true},
      {"", ""},
      {" \n\t\n", ""},
      {"<h1>a</h1><h2>b</h2><h3>c</h3><h4>d</h4><h5>e</h5><h6>f</h6>",
       "\\section*{a}\\subsection*{b}\\subsubsection*{c}\\paragraph*{d}"
       "\\subparagraph*{e}\\subparagraph*{f}"},
      {"<h1>a</h1><h2>b</h2><h3>c</h3><h4>d</h4><h5>e</h5><h6>f</h6>",
       "\\section{a}\\subsection{b}\\subsubsection{c}\\paragraph{d}"
       "\\subparagraph{e}\\subparagraph{f}",
       false, true},
      {"<H2 class=x>Mixed</h2 >", "\\subsection*{Mixed}"},
      {"<p>a</p>", "\\par a\\par "},
      // Lists.
      {"<ul>\n<li>a\n<li>b\n</ul>\n",
       "\\begin{itemize}\\item a\n\\item b\n\\end{itemize}"},
      {"<UL><Li>x</uL>", "\\begin{itemize}\\item x\\end{itemize}"},
      {"<ol><li>one<li>two</ol>",
       "\\begin{enumerate}\\item one\\item two\\end{enumerate}"},
      {"<menu><li>m</menu><dir><li>d</dir>",
       "\\begin{itemize}\\item m\\end{itemize}\\item d"},
      {"<dl><dt>Term<dd>Meaning</dl>",
       "\\begin{description}\\item[Term]Meaning\\end{description}"},
      {"<dl><dt>a</dt><dd>b</dd></dl>",
       "\\begin{description}\\item[a\\item[]b]\\end{description}"},
      {"<ul><li>a<ol><li>b<dl><dt>c<dd>d</dl></ol><li>e</ul>f",
       "\\begin{itemize}\\item a\\begin{enumerate}\\item b"
       "\\begin{description}\\item[c]d\\end{description}\\end{enumerate}"
       "\\item e\\end{itemize}f"},
      // Mismatched end tags: the innermost list closes with the end tag's
      // own text.
      {"<ol><li>x</ul>y", "\\begin{enumerate}\\item x\\end{itemize}y"},
      {"<dl><dt>t</ol>", "\\begin{description}\\item[t\\end{enumerate}"},
      {"<ul><li>a</listing>b_c",
       "\\begin{itemize}\\item a\\end{verbatim}b\\_c"},
      {"<ul><ol>x</ul>y</ol>z",
       "\\begin{itemize}\\begin{enumerate}x\\end{itemize}y\\end{enumerate}z"},
      // Lists left open: the body just stops.
      {"<ul><li>a<ol><li>b",
       "\\begin{itemize}\\item a\\begin{enumerate}\\item b"},
      // Title and heading states inside lists.
      {"<ul><li><title>t</ul>after",
       "\\begin{itemize}\\item \\end{itemize}after"},
      {"<title>T<ul><li>t</ul>after</title>x",
       "\\begin{itemize}\\item t\\end{itemize}x"},
      {"<ul><li><h2>x</ul>y",
       "\\begin{itemize}\\item \\subsection*{x\\end{itemize}y"},
      {"<title><h1>x</h1>y</title>", "\\section*{x}y"},
      {"<title>x", ""},
      {"</title>a<h3>b", "a\\subsubsection*{b"},
      // Listings: content raw, references decoded, tags inside are text.
      {"<listing>\na_b {x}\n</listing>a_b",
       "\\begin{verbatim}a_b {x}\n\\end{verbatim}a\\_b"},
      {"<listing>&lt;b&gt;x</b> \\</listing>",
       "\\begin{verbatim}<b>x</b> \\\\end{verbatim}"},
      {"<ul><li><listing>a_b</listing>c_d</ul>",
       "\\begin{itemize}\\item \\begin{verbatim}a_b\\end{verbatim}c\\_d"
       "\\end{itemize}"},
      // An example's end tag closes the listing's raw content but not its
      // walk: the rest stays raw, and the environment is never closed.
      {"<listing>a_b</xmp>c_d", "\\begin{verbatim}a_bc_d"},
      {"<listing>a</ul>b", "\\begin{verbatim}a</ul>b"},
      // Example, preformatted and plain text: escaped, no fragment.
      {"<xmp>\na_b <i>&amp;</xmp>", "a\\_b $<$i$>$\\&"},
      {"<pre>\n a  b\n</pre>", " a  b\n"},
      {"<pre> </pre><p> </p>", " \\par \\par "},
      {"<plaintext>\n<b>&lt;</b>_</plaintext>",
       "$<$b$>$\\&lt;$<$/b$>$\\_$<$/plaintext$>$"},
      // Type styles.
      {"<em>a</em><strong>b</strong><b>c</b><i>d</i><u>e</u><tt>f</tt>"
       "<code>g</code><samp>h</samp><kbd>i</kbd><var>j</var><dfn>k</dfn>"
       "<cite>l</cite>",
       "{\\it a}{\\bf b}{\\bf c}{\\it d}\\underline{e}{\\tt f}g{\\tt h}"
       "{\\tt\\bf i}{\\it j}{\\bf\\it k}{\\sc l}"},
      {"</b>x<i>y", "}x{\\it y"},
      // Tags that write nothing, known or unknown.
      {"<a href=\"x_y.html\">link</a><img src=a.gif><address>me</address>"
       "<isindex><code>c</code>",
       "linkmec"},
      {"<!DOCTYPE html><blink>a</blink><!-- c --><h7>b</h7><>", "ab$<$$>$"},
      // Text escaping and character references.
      {"# $ % &amp; _ { } ~ ^ \\ &lt;&gt; & x",
       "\\# \\$ \\% \\& \\_ \\{ \\} \\~{} \\^{} $\\backslash$ $<$$>$ \\& x"},
      {"caf&#233; 1 < 2", "caf\xe9 1 $<$ 2"},
      // A stray list end at the top level ends the body there.
      {"a</ul>b", "a\\end{itemize}", true},
      {"<ul></ul></menu><p>x", "\\begin{itemize}\\end{itemize}\\end{itemize}",
       true},
      {"<xmp>a</listing>b", "a\\end{verbatim}", true},
      {"<title>t</dl></title>x", "\\end{description}", true},
  };
  for (const document_case& c : cases) {
    SCOPED_TRACE(c.html);
    converted result = convert(c.html, c.numbered);
    EXPECT_EQ(result.out, default_document(c.body));
    EXPECT_EQ(result.outcome.stray_list_end, c.abnormal_exit);
    EXPECT_FALSE(result.outcome.unterminated_tag);
  }
}

/// Where a listing's text wrote "\end{verbatim}": the environment ends
/// there, so a line shows the text and the environment opens again.
constexpr std::string_view shown_end =
    "\\end{verbatim}\\noindent\\verb|\\end{verbatim}|\\begin{verbatim}";

std::string with_shown_ends(std::string_view body) {
  std::string out;
  for (std::size_t at = 0;;) {
    std::size_t mark = body.find('@', at);
    out += body.substr(at, mark - at);
    if (mark == std::string_view::npos) return out;
    out += shown_end;
    at = mark + 1;
  }
}

// Whatever a page puts in a listing stays its text: "\end{verbatim}" in it,
// written whole or in pieces, never ends the environment for LaTeX to read
// the rest as commands. In the expected bodies '@' stands for shown_end.
TEST(ConvertDocument, ListingTextNeverEndsItsEnvironment) {
  const document_case cases[] = {
      {"<listing>\\end{verbatim}\\input{/etc/hostname}\\begin{verbatim}"
       "</listing>",
       "\\begin{verbatim}@\\input{/etc/hostname}\\begin{verbatim}"
       "\\end{verbatim}"},
      {"<listing>\\end&#123;verbatim&#125;x</listing>",
       "\\begin{verbatim}@x\\end{verbatim}"},
      {"<listing>\\end{verb&#127;atim}x</listing>",
       "\\begin{verbatim}@x\\end{verbatim}"},
      {"<listing>\\end{verb<b>atim}</listing>",
       "\\begin{verbatim}\\end{verb<b>atim}\\end{verbatim}"},
      {"<listing>\\end{verb</xmp>atim}x</listing>",
       "\\begin{verbatim}@x\\end{verbatim}"},
      {"<listing>\\end{verbatim</xmp></b>x</listing>",
       "\\begin{verbatim}@x\\end{verbatim}"},
      {"<listing>\\end{</xmp></title>verbatim</b>\\input{x}</listing>",
       "\\begin{verbatim}@$\\backslash$input\\{x\\}\\end{verbatim}"},
      {"<listing>\n\\end{verbatim}\n\\end{verbatim}\n</listing>",
       "\\begin{verbatim}@\n@\n\\end{verbatim}"},
      {"<listing>\\end\\end{verbatim}</listing>",
       "\\begin{verbatim}\\end@\\end{verbatim}"},
      {"<ul><li><listing>\\end{verbatim}</listing></ul>",
       "\\begin{itemize}\\item \\begin{verbatim}@\\end{verbatim}"
       "\\end{itemize}"},
      {"<listing>\\end {verbatim}\\end{verbatim*}\\end{verbatim</listing>}",
       "\\begin{verbatim}\\end {verbatim}\\end{verbatim*}\\end{verbatim"
       "\\end{verbatim}\\}"},
      {"<listing>x\\end{verb", "\\begin{verbatim}x\\end{verb"},
      {"<listing>x\\end{verbatim}", "\\begin{verbatim}x@"},
      // A listing end inside the listing closes its environment: the text
      // after it is escaped.
      {"<listing>a</xmp><ul></listing>\\input{x}",
       "\\begin{verbatim}a\\begin{itemize}\\end{verbatim}"
       "$\\backslash$input\\{x\\}"},
  };
  for (const document_case& c : cases) {
    SCOPED_TRACE(c.html);
    converted result = convert(c.html);
    EXPECT_EQ(result.out, default_document(with_shown_ends(c.body)));
    EXPECT_EQ(result.outcome.stray_list_end, c.abnormal_exit);
    EXPECT_FALSE(result.outcome.unterminated_tag);
  }
}

// Inside a command's argument no verbatim environment works, and a
// listing's text would be read as LaTeX: there the listing writes no
// environment and its text is escaped. Listings after an argument keep
// theirs.
TEST(ConvertDocument, ListingInsideAnArgumentIsEscapedText) {
  const document_case cases[] = {
      {"<h1><listing>}\\input{/etc/hostname}</listing></h1>",
       "\\section*{\\}$\\backslash$input\\{/etc/hostname\\}}"},
      {"<h1><listing>}\\input{/etc/hostname}</listing></h1>",
       "\\section{\\}$\\backslash$input\\{/etc/hostname\\}}", false, true},
      {"<ul><li>[<listing>]\\input{/etc/hostname}</listing></ul>",
       "\\begin{itemize}\\item []$\\backslash$input\\{/etc/hostname\\}"
       "\\end{itemize}"},
      {"<u><listing>}\\input{/etc/hostname}</listing></u>",
       "\\underline{\\}$\\backslash$input\\{/etc/hostname\\}}"},
      {"<dl><dt><listing>]\\input{/etc/hostname}</listing><dd>x</dl>",
       "\\begin{description}\\item[]$\\backslash$input\\{/etc/hostname\\}]x"
       "\\end{description}"},
      // Arguments a mismatched end tag left open.
      {"<h1><b></h1><listing>}\\input{/etc/hostname}</listing>",
       "\\section*{{\\bf }\\}$\\backslash$input\\{/etc/hostname\\}"},
      {"<dl><dt><b><dd><listing>}]\\input{/etc/hostname}</listing></dl>",
       "\\begin{description}\\item[{\\bf ]\\}]$\\backslash$input\\{/etc/"
       "hostname\\}\\end{description}"},
      // Its lines, with no blank one, and "\end{verbatim}" as text.
      {"<h2><listing>\na\n\n\nb\\end{verbatim}\n</listing></h2>",
       "\\subsection*{a\nb$\\backslash$end\\{verbatim\\}\n}"},
      // After an argument, the environment as before.
      {"<h1>a</h1><listing>}x</listing>",
       "\\section*{a}\\begin{verbatim}}x\\end{verbatim}"},
      {"<u><b>a</b></u><listing>}x</listing>",
       "\\underline{{\\bf a}}\\begin{verbatim}}x\\end{verbatim}"},
      {"<dl><dt>a]<listing>]x</listing></dl>",
       "\\begin{description}\\item[a]\\begin{verbatim}]x\\end{verbatim}"
       "\\end{description}"},
      {"<ul><li>[a]<listing>]x</listing><li>\n\n[<listing>]x</listing></ul>",
       "\\begin{itemize}\\item [a]\\begin{verbatim}]x\\end{verbatim}"
       "\\item \n\n[\\begin{verbatim}]x\\end{verbatim}\\end{itemize}"},
  };
  for (const document_case& c : cases) {
    SCOPED_TRACE(c.html);
    converted result = convert(c.html, c.numbered);
    EXPECT_EQ(result.out, default_document(c.body));
    EXPECT_EQ(result.outcome.stray_list_end, c.abnormal_exit);
    EXPECT_FALSE(result.outcome.unterminated_tag);
  }
}

TEST(ConvertDocument, AbnormalExitStillWritesTheClosing) {
  document_options options;
  options.footer = "% footer\n";
  byte_sink dest;
  conversion_status outcome =
      convert_document("<p>a</ol>b<title>", dest, options);
  EXPECT_TRUE(outcome.stray_list_end);
  EXPECT_FALSE(outcome.whole());
  EXPECT_EQ(dest.contents(), default_preamble +
                                 "\\par a\\end{enumerate}% footer\n" +
                                 std::string(default_closing));
}

TEST(ConvertDocument, UnterminatedTagRendersWhatWasRead) {
  converted result = convert("<b>ab <i");
  EXPECT_EQ(result.out, default_document("{\\bf ab "));
  EXPECT_TRUE(result.outcome.unterminated_tag);
  EXPECT_FALSE(result.outcome.stray_list_end);
  EXPECT_FALSE(result.outcome.whole());
}

TEST(ConvertDocument, EachDocumentStartsInTheNormalState) {
  document_options options;
  byte_sink dest;
  for (std::string_view html : {"<title>open", "<listing>a_b", "<p>x_y"}) {
    SCOPED_TRACE(html);
    EXPECT_TRUE(convert_document(html, dest, options).whole());
  }
  EXPECT_EQ(dest.contents(), default_document("") +
                                 default_document("\\begin{verbatim}a_b") +
                                 default_document("\\par x\\_y"));
}

std::string repeated(std::string_view piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

// Lists nest without limit; a deep document must neither crash nor be cut.
TEST(ConvertDocument, MillionNestedLists) {
  constexpr std::size_t depth = 1'000'000;
  constexpr std::string_view begin = "\\begin{itemize}";
  {
    SCOPED_TRACE("a million unclosed lists");
    converted result = convert(repeated("<ul>", depth));
    EXPECT_TRUE(result.outcome.whole());
    EXPECT_EQ(result.out.size(), default_preamble.size() +
                                     depth * begin.size() +
                                     default_closing.size());
    EXPECT_TRUE(result.out.starts_with(default_preamble + std::string(begin)));
    EXPECT_TRUE(result.out.ends_with(std::string(begin) +
                                     std::string(default_closing)));
    EXPECT_TRUE(result.out == default_document(repeated(
                                  begin, depth)));  // no 15 MB diff on failure
  }
  {
    SCOPED_TRACE("a million closed lists with items");
    converted result =
        convert(repeated("<ul><li>x", depth) + repeated("</ul>", depth));
    EXPECT_TRUE(result.outcome.whole());
    std::string body = repeated("\\begin{itemize}\\item x", depth) +
                       repeated("\\end{itemize}", depth);
    EXPECT_EQ(result.out.size(),
              default_preamble.size() + body.size() + default_closing.size());
    EXPECT_TRUE(
        result.out.starts_with(default_preamble + "\\begin{itemize}\\item x"));
    EXPECT_TRUE(result.out.ends_with("}\\end{itemize}\\end{itemize}" +
                                     std::string(default_closing)));
    EXPECT_TRUE(result.out == default_document(body));
  }
  {
    SCOPED_TRACE("one end tag too many");
    converted result = convert(repeated("<ol>", depth) +
                               repeated("</ol>", depth + 1) + "<p>after");
    EXPECT_TRUE(result.outcome.stray_list_end);
    EXPECT_TRUE(result.out ==
                default_document(repeated("\\begin{enumerate}", depth) +
                                 repeated("\\end{enumerate}", depth + 1)));
  }
}

// Converting writes each record as soon as it is read; reading the whole
// list first and walking it must write the very same document.
TEST(ConvertDocument, WritingWhileReadingMatchesWalkingTheWholeList) {
  const std::vector<std::string> pieces = {
      "<ul>",  "</ul>",  "<ol>",      "</OL>",    "<menu>",      "<dl>",
      "</dl>", "<dt>",   "<dd>",      "<li>",     "<listing>",   "</listing>",
      "<xmp>", "</xmp>", "<title>",   "</title>", "<h2>",        "</h2>",
      "<pre>", "</pre>", "<b>",       "</b>",     "<plaintext>", "<a",
      ">",     "&lt;",   "_",         "\\",       "\n",          " ",
      "x",     "atim}",  "\\end{verb"};
  std::mt19937 rng(4711);
  for (int n = 0; n < 5000; ++n) {
    std::string html;
    for (std::size_t i = rng() % 14; i > 0; --i) {
      html += pieces[rng() % pieces.size()];
    }
    document_options options;
    byte_sink converted;
    conversion_status outcome = convert_document(html, converted, options);

    split_result split = split_document(html);
    byte_sink walked;
    write_frame_preamble(walked, options);
    render_state state = S_NORMAL;
    bool ended_early = render_marks(walked, split.marks, state, options);
    write_frame_closing(walked, options);

    SCOPED_TRACE("input " + testing::quoted(html));
    ASSERT_EQ(converted.contents(), walked.contents());
    ASSERT_EQ(outcome.stray_list_end, ended_early);
    ASSERT_EQ(outcome.unterminated_tag,
              split.status == split_status::unterminated_tag);
  }
}

}  // namespace
}  // namespace tagweave
