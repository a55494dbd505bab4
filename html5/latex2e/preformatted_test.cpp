// Preformatted text: each block sized to its longest line, and long lines
// wrapped where code can wrap. The measurement and the break points are
// checked on the writer's output; what a reader gets (lines kept whole,
// words unsplit, the continuation mark, the space around a block) on the
// PDF that pdflatex makes of it.
#include "html5/latex2e/preformatted.h"

#include "html5/latex2e/writer.h"
#include "html5/tree/parse.h"
#include "tagweave/tagweave.h"
#include "testing/run_program.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave::latex2e {
namespace {

html5::node_id first_pre(const html5::document& doc) {
  for (html5::node_id n = 0; n < doc.size(); ++n) {
    if (doc[n].kind == html5::node_kind::element &&
        doc[n].name == html5::tag::pre) {
      return n;
    }
  }
  return html5::no_node;
}

TEST(Html5Preformatted, LongestLineCountsCharactersAsWritten) {
  struct longest_case {
    const char* what;
    const char* html;
    std::size_t columns;
  };
  const longest_case cases[] = {
      {"the longest of the lines", "<pre>ab\nabcd\nabc</pre>", 4},
      {"the first newline after <pre> is not a line", "<pre>\nab</pre>", 2},
      {"a tab reaches the next tab stop", "<pre>ab\tc</pre>", 9},
      {"a br ends a line", "<pre>abc<br>ab</pre>", 3},
      {"text in elements counts", "<pre>a<b>bc<i>d</i></b>e</pre>", 5},
      {"hidden elements do not", "<pre>a<script>xxxxxx</script>b</pre>", 2},
      {"a UTF-8 sequence is one character", "<pre>\xC3\xA9t\xC3\xA9</pre>", 3},
      {"the text after the pre is not its own",
       "<div><pre>ab</pre>abcdef</div>", 2},
  };
  for (const longest_case& c : cases) {
    html5::document doc = html5::parse_document(c.html);
    EXPECT_EQ(longest_line(doc, first_pre(doc)), c.columns) << c.what;
  }
}

std::string body_of(std::string html) {
  html5::document doc = html5::parse_document(std::move(html));
  std::string latex;
  byte_sink out(latex);
  write_body(doc, out, writer_options{});
  out.flush();
  return latex;
}

TEST(Html5Preformatted, BreakPointsFollowSpacesAndPunctuation) {
  struct body_case {
    const char* what;
    const char* html;
    const char* body;
  };
  const body_case cases[] = {
      {"the block is sized for its longest line", "<pre>a\nabcde</pre>",
       "\\begin{twpre}{5}a\\leavevmode\\newline\n"
       "abcde\\end{twpre}\n"},
      {"after the last of a run of spaces, not in the indentation",
       "<pre>  a   b</pre>",
       "\\begin{twpre}{7}\\mbox{}\\nobreak\\ \\ a\\nobreak\\ \\ \\ "
       "\\twbreak{}b\\end{twpre}\n"},
      {"after a punctuation mark", "<pre>f(x,y)</pre>",
       "\\begin{twpre}{6}f(\\twbreak{}x,\\twbreak{}y)\\end{twpre}\n"},
      {"a mark before a space: after the space", "<pre>a, b</pre>",
       "\\begin{twpre}{4}a,\\nobreak\\ \\twbreak{}b\\end{twpre}\n"},
      {"inside a word, only every few characters",
       "<pre>abcdefghijklmnopq</pre>",
       "\\begin{twpre}{17}abcdefgh\\twsplit{}ijklmnop\\twsplit{}q"
       "\\end{twpre}\n"},
      {"a break point restarts the count", "<pre>abc.defghijkl</pre>",
       "\\begin{twpre}{13}abc.\\twbreak{}defghijk\\twsplit{}l"
       "\\end{twpre}\n"},
  };
  for (const body_case& c : cases) {
    EXPECT_EQ(body_of(c.html), c.body) << c.what << "\n" << c.html;
  }
}

// --- With pdflatex -----------------------------------------------------------

using testing::find_on_path;

/// A page as pdflatex typesets it: the log, and the PDF's text from
/// pdftotext, with -bbox when asked (each word with its box).
struct typeset_page {
  std::string latex, log, text;
};

class Html5PreformattedPdf : public ::testing::Test {
 protected:
  void SetUp() override {
    pdflatex_ = find_on_path("pdflatex");
    pdftotext_ = find_on_path("pdftotext");
    if (pdflatex_.empty() || pdftotext_.empty()) {
      GTEST_SKIP() << "skipped: needs pdflatex and pdftotext on PATH";
    }
  }

  typeset_page typeset(const std::string& html, bool boxes = false) const {
    typeset_page page;
    document_options options;
    options.mode = reading_mode::html5;
    convert(html, options, page.latex);
    testing::temp_dir dir;
    dir.write("doc.tex", page.latex);
    testing::program_call call;
    call.program = pdflatex_;
    call.args = {"-interaction=nonstopmode", "-halt-on-error", "doc.tex"};
    call.directory = dir.path();
    testing::program_run run = testing::run_program(call);
    page.log = dir.read("doc.log");
    EXPECT_EQ(run.status, 0) << page.log;
    testing::program_call to_text;
    to_text.program = pdftotext_;
    to_text.args = {"doc.pdf", "-"};
    if (boxes) to_text.args.insert(to_text.args.begin(), "-bbox");
    to_text.directory = dir.path();
    page.text = testing::run_program(to_text).out;
    return page;
  }

  std::string pdflatex_, pdftotext_;
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool has_line(const std::string& text, const std::string& line) {
  for (const std::string& l : lines_of(text)) {
    if (l == line) return true;
  }
  return false;
}

/// A line of code `columns` wide: words of five letters, numbered so that
/// each is found once.
std::string code_line(std::size_t columns) {
  std::string line;
  for (int word = 0; line.size() + 6 <= columns; ++word) {
    if (!line.empty()) line += ' ';
    line += "w" + std::to_string(1000 + word);
  }
  return line;
}

TEST_F(Html5PreformattedPdf, AWideBlockIsSetSmallerAndKeepsItsLines) {
  // The node documentation's URL diagram is 98 characters wide: at the
  // text's size a line holds about 65.
  const std::string wide = code_line(98);
  const std::string html = "<p>Text.<pre>short one\n" + wide +
                           "\n  indented two\nend</pre><p>More text.";
  typeset_page page = typeset(html);
  EXPECT_NE(
      page.latex.find("\\begin{twpre}{" + std::to_string(wide.size()) + "}"),
      std::string::npos);
  for (const std::string& line :
       {std::string("short one"), wide, std::string("indented two"),
        std::string("end")}) {
    EXPECT_TRUE(has_line(page.text, line)) << line << "\n" << page.text;
  }
  EXPECT_EQ(page.log.find("Overfull"), std::string::npos) << page.log;
}

TEST_F(Html5PreformattedPdf, ALineTooLongForAnySizeWrapsBetweenWords) {
  const std::string longest = code_line(300);
  const std::string html = "<pre>short one\n" + longest + "\nshort two\nx" +
                           std::string(400, 'y') + "z\n</pre>";
  typeset_page page = typeset(html);
  EXPECT_TRUE(has_line(page.text, "short one")) << page.text;
  EXPECT_TRUE(has_line(page.text, "short two")) << page.text;
  // Every word whole, and the continuations marked.
  std::string text = page.text;
  std::istringstream words(longest);
  for (std::string word; words >> word;) {
    EXPECT_NE(text.find(word), std::string::npos) << word << "\n" << text;
  }
  std::size_t marks = 0;
  for (const std::string& line : lines_of(text)) {
    if (line.find("\xE2\x86\x92") != std::string::npos) ++marks;  // U+2192
  }
  EXPECT_GE(marks, 4u) << text;
  // The word with no break point broke where it had to, and all of it is
  // there, on no line past the margin.
  std::string letters;
  for (char c : text) {
    if (c == 'x' || c == 'y' || c == 'z') letters += c;
  }
  EXPECT_NE(letters.find("x" + std::string(400, 'y') + "z"), std::string::npos);
  EXPECT_EQ(page.log.find("Overfull"), std::string::npos) << page.log;
}

/// The top and bottom of the first word `word` in pdftotext -bbox output.
std::pair<double, double> word_box(const std::string& boxes,
                                   const std::string& word) {
  std::size_t end = boxes.find(">" + word + "</word>");
  std::size_t start = boxes.rfind("<word", end);
  if (end == std::string::npos || start == std::string::npos) return {0, 0};
  std::string tag = boxes.substr(start, end - start);
  auto number = [&](const std::string& name) {
    std::size_t at = tag.find(name + "=\"");
    return at == std::string::npos
               ? 0.0
               : std::atof(tag.c_str() + at + name.size() + 2);
  };
  return {number("yMin"), number("yMax")};
}

TEST_F(Html5PreformattedPdf, ABlockStandsApartAsAParagraphDoes) {
  typeset_page page =
      typeset("<p>before<pre>one\ntwo</pre><p>after<p>next", /*boxes=*/true);
  auto gap = [&](const char* upper, const char* lower) {
    return word_box(page.text, lower).first - word_box(page.text, upper).second;
  };
  // Between the lines of a block no paragraph skip; before and after it
  // the skip between two paragraphs.
  double inside = gap("one", "two");
  double paragraphs = gap("after", "next");
  EXPECT_GT(paragraphs, inside + 3) << page.text;
  EXPECT_GT(gap("before", "one"), inside + 3) << page.text;
  EXPECT_GT(gap("two", "after"), inside + 3) << page.text;
}

}  // namespace
}  // namespace tagweave::latex2e
