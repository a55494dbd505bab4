// The LaTeX2e writer, element by element: the body each small page gives,
// exactly. Whether the output compiles is pdflatex's to say (the random
// documents' test and the pdflatex test of the example page); here each
// row pins one rule that a regression would break.
#include "html5/latex2e/writer.h"

#include "html5/latex2e/preamble.h"
#include "html5/latex2e/table_plan.h"
#include "html5/tree/parse.h"

#include <gtest/gtest.h>

#include <string>

namespace tagweave::latex2e {
namespace {

std::string body_of(std::string html, writer_options options = {}) {
  html5::document doc = html5::parse_document(std::move(html));
  std::string latex;
  byte_sink out(latex);
  write_body(doc, out, options);
  out.flush();
  return latex;
}

std::string repeated(std::string_view unit, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += unit;
  return out;
}

std::string numbered(std::string_view before, std::string_view after,
                     int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += before;
    out += std::to_string(i);
    out += after;
  }
  return out;
}

struct body_case {
  const char* what;
  const char* html;
  const char* body;
};

void expect_bodies(const std::vector<body_case>& cases,
                   const writer_options& options = {}) {
  for (const body_case& c : cases) {
    EXPECT_EQ(body_of(c.html, options), c.body) << c.what << "\n" << c.html;
  }
}

TEST(Html5Writer, TextIsCollapsedAndEscaped) {
  expect_bodies({
      {"spaces, tabs and line breaks are one space; none at the ends",
       " \n a \t\n b \n", "a b"},
      {"the space between two inline elements stays", "<a>x</a>\n<a>y</a>",
       "x y"},
      {"a space inside a style goes before it", "a<b> b</b>",
       "a {\\bfseries b}"},
      {"every LaTeX special", "\\ { } $ & # ^ _ ~ % < > \" ' `",
       "\\textbackslash{} \\{ \\} \\$ \\& \\# \\textasciicircum{} \\_ "
       "\\textasciitilde{} \\% \\textless{}\n\\textgreater{} "
       "\\textquotedbl{} \\textquotesingle{} \\textasciigrave{}"},
      {"no ligature joins characters the page kept apart", "a--b ,,c",
       "a-{}-b ,{},c"},
      {"a hyphen after a space or a paragraph break needs no brace",
       "<p>- -</p><p>-", "- -\n\n-"},
      {"a no-break space ties", "a&nbsp;b", "a~b"},
      {"control characters are dropped", "a\x01\x7F b", "a b"},
      {"a character no font has is a placeholder", "\xF0\x9F\x98\x80",
       "\\twmissing{1F600}"},
  });
}

TEST(Html5Writer, EmptyElementsWriteNothing) {
  expect_bodies({
      {"empty styles, lists, paragraphs and headings",
       "<b></b><ul></ul><ol> </ol><p> </p><h1></h1><table></table>x", "x"},
      {"hidden elements and their text",
       "<div hidden>a</div><script>b</script><style>c</style>"
       "<template>d</template><button>e</button><select><option>f</select>"
       "<noscript>g</noscript>x",
       "x"},
  });
}

TEST(Html5Writer, Blocks) {
  expect_bodies({
      {"paragraphs are separated by one blank line",
       "<p>a</p><div><p>b</p></div>", "a\n\nb"},
      {"br breaks a line wherever it falls", "<br>a<br><br>b",
       "\\mbox{}\\newline\na\\mbox{}\\newline\n"
       "\\mbox{}\\newline\nb"},
      {"hr is a rule in a paragraph of its own", "a<hr>b",
       "a\n\n\\noindent\\rule{\\linewidth}{0.4pt}\n\nb"},
      {"blockquote is a quote", "<blockquote>q</blockquote>",
       "\\begin{quote}\nq\n\\end{quote}\n"},
  });
}

TEST(Html5Writer, Headings) {
  expect_bodies({
      {"h1 to h6 are starred sections", "<h1>a</h1><h3>b</h3><h6>c</h6>",
       "\\section*{a}\n\\subsubsection*{b}\n\\twsubsubparagraph*{c}\n"},
      {"a heading's argument holds no line break", "<h2>a<br>b<p>c</p></h2>",
       "\\section*{a b c}\n"},
      {"in a list, a bold paragraph instead", "<ul><li><h2>h</h2>t</ul>",
       "\\begin{itemize}\n\\item\\relax {\\bfseries h}\n\nt\n\\end{itemize}\n"},
  });
  writer_options numbered;
  numbered.numbered_headings = true;
  expect_bodies(
      {{"-n numbers them, with a plain title for the contents",
        "<h2>a <b>]</b>--<script>x</script></h2>",
        "\\section[a {]}-{}-]{a {\\bfseries ]}-{}-}\n"},
       {"a heading's link target goes before it, out of the moving argument",
        "<a href=#s>x</a><h2 id=s>T<a href=#t id=t>u</a></h2>v",
        "\\hyperlink{tw.0}{x}\n\n\\hypertarget{tw.0}{}\\section[Tu]{T"
        "\\protect\\hyperlink{tw.1}{u}}\n\\hypertarget{tw.1}{}v"},
       {"a link around a heading is protected inside it, not outside",
        "<a href=#s><h2 id=s>T</h2>x</a>",
        "\\hypertarget{tw.0}{}\\section[T]{\\protect\\hyperlink{tw.0}{T}}"
        "\n\\hyperlink{tw.0}{x}"}},
      numbered);
  // hyperref takes minutes to turn a long title into a bookmark: the
  // contents get the first words only, cut between two words.
  std::string words;
  for (int i = 0; i < 100; ++i) words += "word" + std::to_string(i) + " ";
  std::string body = body_of("<h1>" + words + "</h1>", numbered);
  EXPECT_EQ(body.find("\\section[word0 word1 "), 0u) << body;
  std::size_t end = body.find("...]{%\nword0 ");
  EXPECT_LT(end, 200u) << body;
  std::string short_title = body.substr(9, end - 9) + " ";
  EXPECT_EQ(words.compare(0, short_title.size(), short_title), 0)
      << "not cut between two words: " << body;
}

TEST(Html5Writer, Lists) {
  expect_bodies({
      {"text before the first item gets an item of its own", "<ul>t<li>a</ul>",
       "\\begin{itemize}\n\\item[] t\n\n\\item\\relax a\n\\end{itemize}\n"},
      {"ol honours start", "<ol start=-3><li>a</ol>",
       "\\begin{enumerate}\\setcounter{enumi}{-4}\n\\item\\relax a\n"
       "\\end{enumerate}\n"},
      {"dl is a description list", "<dl><dt>t<dd>d</dl>",
       "\\begin{description}\n\\item[] {\\bfseries "
       "t}\n\n\\vspace{-\\parskip}d\n"
       "\\end{description}\n"},
      {"an item's text starting with [ is not its label",
       "<ul><li>[x] done</ul>",
       "\\begin{itemize}\n\\item\\relax [x] done\n\\end{itemize}\n"},
      {"an item outside any list is a bulleted paragraph", "<li>a</li>",
       "\\textbullet~a"},
  });
}

TEST(Html5Writer, ListsDeeperThanTheLimitAreFlattened) {
  std::string html;
  for (int i = 0; i < 10; ++i) html += "<ul><li>" + std::to_string(i);
  std::string body = body_of(html);
  std::size_t begun = 0;
  for (std::size_t at = 0;
       (at = body.find("\\begin{itemize}", at)) != std::string::npos; ++at) {
    ++begun;
  }
  EXPECT_EQ(begun, max_list_depth) << body;
  EXPECT_NE(body.find("\\item\\relax 9"), std::string::npos) << body;
}

TEST(Html5Writer, Preformatted) {
  expect_bodies({
      {"spaces, tabs and lines kept; the last line break dropped",
       "<pre>a  b\n\tc\n\n</pre>",
       "\\begin{twpre}{9}a\\nobreak\\ \\ \\twbreak{}b\\leavevmode\\newline\n"
       "\\mbox{}\\nobreak\\ \\ \\ \\ \\ \\ \\ \\ c\\end{twpre}\n"},
      {"a long word may break every few characters", "<pre>abcdefghijk</pre>",
       "\\begin{twpre}{11}abcdefgh\\twsplit{}ijk\\end{twpre}\n"},
      {"markup inside keeps its text", "<pre><span>a</span> <b>b</b></pre>",
       "\\begin{twpre}{3}a\\nobreak\\ {\\bfseries \\twbreak{}b}\\end{twpre}\n"},
  });
}

TEST(Html5Writer, InlineStyles) {
  expect_bodies({
      {"each style", "<b>b</b><i>i</i><code>c</code><small>s</small>",
       "{\\bfseries b}{\\itshape i}{\\ttfamily c}{\\small s}"},
      {"underline word by word, so lines can break", "<u>a b</u>",
       "\\underline{a} \\underline{b}"},
      {"sub and sup", "x<sub>2</sub>y<sup>3</sup>",
       "x\\textsubscript{2}y\\textsuperscript{3}"},
      {"q quotes", "<q>a</q>", "\\textquotedblleft{}a\\textquotedblright{}"},
      {"code may break after _ . / - : inside a word, prose may not",
       "<code>std::vec.push_x</code> a.b_c",
       "{\\ttfamily std::\\twb{}vec.\\twb{}push\\_\\twb{}x} a.b\\_c"},
      {"a word going on in code breaks only after a joiner it wrote",
       "a_&nbsp;m<code>WICS</code>", "a\\_~m{\\ttfamily WICS}"},
  });
}

TEST(Html5Writer, InlineNestingIsCappedBelowTexGroupingLimit) {
  std::string html;
  for (int i = 0; i < 1000; ++i) html += "<b><i>";
  html += "x";
  std::string body = body_of(html);
  std::size_t depth = 0, deepest = 0;
  for (char c : body) {
    if (c == '{') deepest = std::max(deepest, ++depth);
    if (c == '}') --depth;
  }
  EXPECT_EQ(depth, 0u);
  EXPECT_LT(deepest, 255u);
  EXPECT_NE(body.find('x'), std::string::npos);
}

TEST(Html5Writer, Links) {
  expect_bodies({
      {"URL characters TeX reads specially",
       "<a href='http://h/a_b?x=1&amp;y=%41#f'>t</a>",
       "\\href{http://h/a\\_b?x=1\\&y=\\%41\\#f}{t}"},
      {"characters a URL may not hold are percent-encoded",
       "<a href='http://h/a b{c}\\~^\xC3\xA9'>t</a>",
       "\\href{http://h/a\\%20b\\%7Bc\\%7D\\%5C\\%7E\\%5E\\%C3\\%A9}{t}"},
      {"in-page links jump to their target",
       "<a href='#s 1'>go</a><p id='s 1'>here",
       "\\hyperlink{tw.0}{go}\n\n\\hypertarget{tw.0}{}here"},
      {"a link to no target, javascript: and no href are text",
       "<a href='#none'>a</a> <a href='javascript:x()'>b</a> <a>c</a>",
       "a b c"},
      {"a link around blocks links each piece of text",
       "<a href='u'><p>a</p><p>b</p></a>", "\\twlink{u}{a}\n\n\\twlink{u}{b}"},
  });
}

TEST(Html5Writer, OnlyLinksAReaderExpectsAreLinks) {
  // A PDF viewer follows "run:" by starting a program and "file:" or a
  // relative link read as a file by opening a local document: those are
  // text. Relative links are URI actions (\twlink), not \href's GoToR.
  expect_bodies({
      {"the web's schemes, in any case",
       "<a href='https://h/'>a</a> <a href='HTTP://h/'>b</a> "
       "<a href='ftp://h/f'>c</a> <a href='MailTo:x@h'>d</a>",
       "\\href{https://h/}{a} \\href{HTTP://h/}{b} \\href{ftp://h/f}{c} "
       "\\href{MailTo:x@h}{d}"},
      {"launching, local files and any other scheme are text",
       "<a href='run:/usr/bin/xterm'>a</a> <a href='file:///etc/passwd'>b</a> "
       "<a href='data:text/html,x'>c</a> <a href='vbscript:x'>d</a> "
       "<a href='jar:x!/'>e</a>",
       "a b c d e"},
      {"tabs and line breaks inside a scheme do not hide it",
       "<a href='r&#10;un:/bin/sh'>a</a> <a href=' &#9;jav&#13;ascript:x'>b</a>"
       " <a href='fi\tle:/x'>c</a>",
       "a b c"},
      {"relative links, with colons after the first path character",
       "<a href='page.html#s'>a</a> <a href='guide/'>b</a> "
       "<a href='other.pdf'>c</a> <a href='./run:x'>d</a> <a href='1a:b'>e</a>",
       "\\twlink{page.html\\#s}{a} \\twlink{guide/}{b} \\twlink{other.pdf}{c} "
       "\\twlink{./run:x}{d}\n\\twlink{1a:b}{e}"},
      {"an empty href or a lone # is text", "<a href=''>a</a> <a href=#>b</a>",
       "a b"},
  });
}

TEST(Html5Writer, LinksOnPaper) {
  // Paper cannot be clicked: a link whose text is not its URL shows the URL
  // in a footnote, where a footnote can go. A link to the page's own file
  // with a fragment jumps inside the document, as "#id" does.
  writer_options options;
  options.url_footnotes = true;
  options.page_file = "struct.Vec.html";
  expect_bodies(
      {
          {"a link's URL in a footnote, breakable after its punctuation",
           "<a href='https://h.org/a_b?x=1'>docs</a>.",
           "\\href{https://h.org/a\\_b?x=1}{docs}\\footnote{\\href{https://"
           "h.org/a\\_b?x=1}{https:/\\allowbreak{}/\\allowbreak{}%\nh."
           "\\allowbreak{}org/\\allowbreak{}a\\_\\allowbreak{}b?\\allowbreak{}"
           "x=\\allowbreak{}1}}."},
          {"none when the text is the URL, with or without its scheme or "
           "final slash",
           "<a href='https://h.org/'>https://h.org/</a> <a "
           "href='http://h.org/x/'>H.org/x</a> <a "
           "href='mailto:a@h.org'>a@h.org</a>",
           "\\href{https://h.org/}{https://h.org/} \\href{http://h.org/x/}"
           "{H.org/x} \\href{mailto:a@h.org}{a@h.org}"},
          {"none for a link that shows nothing, a relative or in-page link",
           "<a href='http://h/'></a><a href='other.html'>o</a> <a "
           "href='#t'>t</a><p id=t>z",
           "\\twlink{other.html}{o} "
           "\\hyperlink{tw.0}{t}\n\n\\hypertarget{tw.0}{}z"},
          {"none in a heading, whose title moves to the contents",
           "<h2><a href='http://h/'>x</a></h2>",
           "\\section*{\\protect\\href{http://h/}{x}}\n"},
          {"the page's own file with a fragment jumps; a missing target or "
           "another page is a link out",
           "<a href='struct.Vec.html#push'>a</a> <a href='./struct.Vec.html#"
           "none'>b</a> <a href='vec.html#push'>c</a><p id=push>z",
           "\\hyperlink{tw.0}{a} \\twlink{./struct.Vec.html\\#none}{b} "
           "\\twlink{vec.html\\#push}{c}\n\n\\hypertarget{tw.0}{}z"},
      },
      options);
  // In a table, a body cell's footnote goes to the foot of the page
  // (longtable keeps it); a header row repeats on every page and gets none.
  std::string table = body_of(
      "<table><tr><th><a href='http://h/'>head</a><tr><td><a "
      "href='http://c/'>cell</a></table>",
      options);
  EXPECT_EQ(table.find("\\footnote{\\href{http://h/}"), std::string::npos)
      << table;
  EXPECT_NE(table.find("\\footnote{\\href{http://c/}"), std::string::npos)
      << table;
  options.url_footnotes = false;
  expect_bodies({{"--link-urls=none", "<a href='http://h/'>x</a>",
                  "\\href{http://h/}{x}"}},
                options);
}

TEST(Html5Writer, Images) {
  writer_options options;
  options.images = [](std::string_view src) -> std::optional<std::string> {
    if (src == "ok.png") return std::string("ok.png");
    return std::nullopt;
  };
  expect_bodies(
      {
          {"an includable image, alone in its paragraph: centred",
           "<img src=ok.png alt=x>", "{\\centering\\twimage{ok.png}\\par}"},
          {"any other is its alt text in brackets",
           "<img src=no.gif alt=' a  b '>", "[a b]"},
          {"no alt text, nothing", "<img src=no.gif>x", "x"},
          {"alt text in a style that wraps each word is closed before a "
           "paragraph",
           "<u><img src=no.gif alt='a b'></u><p>x",
           "[\\underline{a} \\underline{b}]\n\nx"},
          {"in a heading, the alt text", "<h1><img src=ok.png alt=t></h1>",
           "\\section*{[t]}\n"},
      },
      options);
}

TEST(Html5Writer, Tables) {
  expect_bodies({
      {"header rows repeat, colspan is a multicolumn, rowspan an empty "
       "cell below",
       "<table><tr><th>h<th>i<tr><td colspan=2>a<tr><td rowspan=2>b<td>c"
       "<tr><td>d</table>",
       "\\begingroup\\twtable{2}{0}{0.5000,0.5000}%\n"
       "\\twword{1}{{\\bfseries h}}%\n\\twword{1}{b}%\n"
       "\\twword{2}{{\\bfseries i}}%\n\\twword{2}{c}%\n"
       "\\twword{2}{d}%\n"
       "\\twpiece{1}{{\\bfseries h}}%\n\\twpiece{1}{b}%\n"
       "\\twpiece{2}{{\\bfseries i}}%\n\\twpiece{2}{c}%\n"
       "\\twpiece{2}{d}%\n"
       "\\twfit\n\\begin{longtable}{P{1}P{2}}\n"
       "{}\\bfseries h&\\bfseries i\\tabularnewline\n\\hline\n\\endhead\n"
       "\\multicolumn{2}{>{\\raggedright\\arraybackslash}p{\\dimexpr"
       "\\twcw{1}+\\twcw{2}+2\\tabcolsep\\relax}}{a}\\tabularnewline\n"
       "{}b&c\\tabularnewline\n&d\\tabularnewline\n"
       "\\end{longtable}\\endgroup\n"},
      {"a table in a cell is text in the cell",
       "<table><tr><td><table><tr><td>a<td>b</table></table>",
       "\\begingroup\\twtable{1}{0}{1.0000}%\n"
       "\\twword{1}{a}%\n\\twword{1}{b}%\n"
       "\\twpiece{1}{a}%\n\\twpiece{1}{b}%\n"
       "\\twfit\n\\begin{longtable}{P{1}}\n{}a b\\tabularnewline\n"
       "\\end{longtable}\\endgroup\n"},
  });
}

TEST(Html5Writer, ATableLayingOutAPageIsWrittenAsItsCells) {
  std::string menu, text;
  for (int i = 0; i < 40; ++i) menu += "<p>entry " + std::to_string(i);
  for (int i = 0; i < 600; ++i) text += "word ";
  std::string body =
      body_of("<table><tr><td>" + menu + "<td>" + text + "</table>");
  EXPECT_EQ(body.find("longtable"), std::string::npos) << body;
  EXPECT_NE(body.find("entry 39\n\nword word"), std::string::npos);
}

TEST(Html5Writer, ARowTallerThanAPageInLinesIsWrittenAsText) {
  // A longtable row cannot break across pages: what runs off the page is
  // lost. Short lines count as lines, not as the bytes they hold.
  struct tall_cell {
    const char* what;
    std::string html;
  };
  const std::vector<tall_cell> cells = {
      {"paragraphs", numbered("<p>", "", 100)},
      {"line breaks", numbered("", "<br>", 200)},
      {"preformatted lines", "<pre>" + numbered("", "\n", 200) + "</pre>"},
      {"list items", "<ul>" + numbered("<li>", "", 200) + "</ul>"},
      {"rows of a table inside",
       "<table>" + numbered("<tr><td>", "", 100) + "</table>"},
      {"images", repeated("<img src=ok.png>", 4)},
  };
  writer_options images;
  images.images = [](std::string_view) -> std::optional<std::string> {
    return std::string("ok.png");
  };
  for (const tall_cell& cell : cells) {
    std::string body =
        body_of("<table><tr><td>a<td>" + cell.html + "<td>b</table>", images);
    // The outer row is text; a table inside may then be a longtable of
    // its own, whose rows break across pages.
    EXPECT_EQ(body.find("{}a&"), std::string::npos) << cell.what;
    EXPECT_NE(body.find('b'), std::string::npos) << cell.what;
  }
  std::string short_lines =
      body_of("<table><tr><td>a<td>" + numbered("", "<br>", 20) + "</table>");
  EXPECT_NE(short_lines.find("longtable"), std::string::npos)
      << "twenty lines fit on a page";
  EXPECT_NE(body_of("<table><tr><td><img src=ok.png></table>", images)
                .find("\\twimage[0.25]{ok.png}"),
            std::string::npos)
      << "an image in a cell takes at most a quarter of the page";
}

TEST(Html5Writer, LongRunsOfLineBreaksAreSplitIntoParagraphs) {
  // TeX breaks a paragraph in time that grows with the square of its
  // forced line breaks; the split must not look like a paragraph break.
  for (const std::string& html :
       {repeated("<br>", 2000), repeated("x<br>", 2000),
        "<pre>" + repeated("x\n", 2000) + "</pre>"}) {
    std::string body = body_of(html);
    std::size_t most = 0, lines = 0;
    for (std::size_t at = 0; at < body.size(); ++at) {
      if (body.compare(at, 8, "\\newline") == 0) most = std::max(most, ++lines);
      if (body.compare(at, 4, "\\par") == 0) lines = 0;
    }
    EXPECT_LE(most, 500u) << html.substr(0, 20);
    EXPECT_EQ(body.find("\n\n"), std::string::npos) << "no blank line";
  }
}

TEST(Html5Writer, ATableTheParserCouldNotNestIsWrittenAsText) {
  // Past the depth limit the tree builder inserts a table's row, cell and
  // text as siblings; rows cannot be followed there, words must stay.
  std::string deep;
  for (int i = 0; i < 507; ++i) deep += "<div>";
  std::string body = body_of(deep + "<table><td>a<caption>c</table>");
  EXPECT_EQ(body.find("longtable"), std::string::npos) << body;
  EXPECT_NE(body.find('a'), std::string::npos) << body;
  EXPECT_NE(body.find('c'), std::string::npos) << body;
}

TEST(Html5Writer, TablesAsTextOnTwoColumnPages) {
  writer_options options;
  options.tables_as_text = true;
  expect_bodies({{"longtable refuses two-column pages",
                  "<table><tr><td>a<td>b<tr><td>c</table>", "a b\n\nc"}},
                options);
}

TEST(Html5Writer, TablePlanCapsColumns) {
  std::string html = "<table><tr>";
  for (int i = 0; i < 60; ++i) html += "<td>" + std::to_string(i);
  html += "</table>";
  std::string body = body_of(html);
  std::size_t ampersands = 0;
  for (char c : body) ampersands += c == '&';
  EXPECT_EQ(ampersands, max_table_columns - 1) << body;
  std::string joined;  // the lines as TeX reads them: "%" and a line end
  for (std::size_t at = 0; at < body.size(); ++at) {
    if (body.compare(at, 2, "%\n") == 0) {
      ++at;
    } else {
      joined += body[at];
    }
  }
  EXPECT_NE(joined.find("\\newline 59"), std::string::npos) << body;
}

TEST(Html5Writer, OutputLinesAndParagraphsStayWithinTexLimits) {
  std::string words, tildes(30000, '~');
  for (int i = 0; i < 30000; ++i) words += "w ";
  std::string body = body_of("<p>" + words + "<p>" + tildes + "<pre>" +
                             std::string(5000, 'x') + "</pre>");
  std::size_t longest = 0, line = 0;
  for (char c : body) {
    line = c == '\n' ? 0 : line + 1;
    longest = std::max(longest, line);
  }
  EXPECT_LT(longest, 4000u) << "TeX's input buffer holds 200000 bytes";
  std::size_t first_break = body.find("\n\n");
  ASSERT_NE(first_break, std::string::npos);
  EXPECT_LT(first_break, 70000u) << "a paragraph must fit TeX's memory";
  EXPECT_NE(body.find("\\textasciitilde{}%\n"), std::string::npos)
      << "a line ends inside a word with a comment";
  EXPECT_NE(body.find("\\textasciitilde{}%\n\\allowbreak{}\\textasciitilde{}"),
            std::string::npos)
      << "a word longer than a line may break";
}

/// A page's whole document, preamble included.
std::string document_of(std::string html, writer_options options = {}) {
  html5::document doc = html5::parse_document(std::move(html));
  std::string latex;
  byte_sink out(latex);
  escape_state title_escape;
  write_preamble(out, document_options{}, read_metadata(doc), title_escape);
  write_body(doc, out, options);
  write_closing(out, document_options{});
  out.flush();
  return latex;
}

TEST(Html5Writer, EveryKindOfOutputIsWrittenInLinesTexCanRead) {
  // TeX stops at a line longer than its input buffer (200000 bytes): each
  // of these pages once made one. A line may exceed max_output_line by one
  // unbroken piece (a URL of up to 4096 bytes, a path, a table's column
  // list), never by the page's size.
  writer_options images;
  images.images = [](std::string_view) -> std::optional<std::string> {
    return std::string("ok.png");
  };
  std::string long_id(110000, 'i');
  struct shape {
    const char* what;
    std::string html;
  };
  const std::vector<shape> shapes = {
      {"a title of backslashes", "<title>" + std::string(12600, '\\')},
      {"an author of one long word",
       "<meta name=author content='" + std::string(300000, 'a') + "'>"},
      {"an author of many words",
       "<meta name=author content='" + repeated("ab ", 100000) + "'>"},
      {"alt text of emoji",
       "<img alt='" + repeated("\xF0\x9F\x98\x80", 11800) + "'>"},
      {"alt text of backslashes",
       "<img alt='" + std::string(30000, '\\') + "'>"},
      {"empty cells in a row", "<table><tr>" + repeated("<td>", 10100)},
      {"cells past the last column", "<table><tr>" + repeated("<td>x", 10100)},
      {"images side by side", repeated("<img src=ok.png>", 13500)},
      {"anchors with links", numbered("<a id=t", "></a>", 12000) +
                                 numbered("<a href=#t", ">x</a>", 12000)},
      {"a long id used as a link target",
       "<a href=#" + long_id + ">x</a><p id=" + long_id + ">y"},
      {"word breaks", repeated("a<wbr>", 30000)},
      {"spaces in preformatted text", "<pre>" + std::string(100000, ' ')},
      {"nested quotations", repeated("<q>", 12000) + "x"},
      {"rules", repeated("<hr>", 20000)},
  };
  for (const shape& page : shapes) {
    std::string latex = document_of(page.html, images);
    std::size_t longest = 0, line = 0;
    for (char c : latex) {
      line = c == '\n' ? 0 : line + 1;
      longest = std::max(longest, line);
    }
    EXPECT_LT(longest, max_output_line + 5000) << page.what;
  }
}

TEST(Html5Writer, ATitleBlockTooLongForAPageIsCutAndWrittenWhole) {
  // \maketitle sets its block in one box: what does not fit on the first
  // page is lost, so a long title or author is cut there and follows whole.
  std::string author = numbered("a", " ", 3000);
  std::string latex =
      document_of("<meta name=author content='" + author + "'>");
  std::size_t block = latex.find("\\author{");
  std::size_t whole = latex.find("\\maketitle");
  ASSERT_NE(block, std::string::npos);
  ASSERT_NE(whole, std::string::npos);
  EXPECT_NE(latex.find("...}}", block), std::string::npos)
      << "cut in the block";
  EXPECT_LT(latex.find("...}}", block), whole);
  EXPECT_NE(latex.find("a2999", whole), std::string::npos) << "whole after it";
  std::string short_one = document_of("<meta name=author content='Ann B'>");
  EXPECT_EQ(short_one.find("Ann B", short_one.find("\\maketitle")),
            std::string::npos)
      << "a short author is in the block only";
}

TEST(Html5Writer, PageMetadata) {
  html5::document doc = html5::parse_document(
      "<title> A\n  title </title><meta name=AUTHOR content=' Ann  B '>");
  page_metadata meta = read_metadata(doc);
  EXPECT_EQ(meta.title, "A title");
  EXPECT_EQ(meta.author, "Ann B");
}

}  // namespace
}  // namespace tagweave::latex2e
