// Proof that the LaTeX the converter writes compiles with a real pdflatex:
// the shipped example, documents that use every tag in balanced form and
// every byte as text, and every combination of the frame options. Each
// document is compiled in a directory of its own, several at a time, since a
// pdflatex run spends most of its time starting up. Where pdflatex is not on
// PATH the tests are skipped.
#include "early/convert/document.h"
#include "testing/run_program.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tagweave {
namespace {

namespace fs = std::filesystem;

using testing::find_on_path;

/// One document to compile: its name in a failure report, its HTML and the
/// options it is converted with.
struct html_document {
  std::string name;
  std::string html;
  document_options options{};
};

struct conversion {
  std::string latex;
  bool whole = false;
};

/// The document converted through the library, which applies the loading
/// rules of the command line.
conversion convert(const html_document& doc) {
  conversion result;
  result.whole = tagweave::convert(doc.html, doc.options, result.latex).whole();
  return result;
}

/// The last `count` lines of `text`, which ends with a line feed.
std::string tail(std::string_view text, std::size_t count) {
  std::size_t start = text.size();
  for (std::size_t line_ends = 0; line_ends <= count; ++line_ends) {
    if (start == 0) return std::string(text);
    start = text.rfind('\n', start - 1);
    if (start == std::string_view::npos) return std::string(text);
  }
  return std::string(text.substr(start + 1));
}

struct compilation {
  bool compiled = false;
  /// On failure: how pdflatex ended, the LaTeX and the tail of the log.
  std::string report;
};

std::string failure_report(const testing::program_run& run, int pass,
                           const std::string& latex, const std::string& log) {
  std::ostringstream report;
  report << "pdflatex " << (run.timed_out ? "timed out" : "failed")
         << " with status " << run.status << " on pass " << pass
         << "\n----- the converter's LaTeX -----\n"
         << latex << "\n----- the end of pdflatex's log -----\n"
         << (log.empty() ? run.out + run.err : tail(log, 40));
  return report.str();
}

/// Runs pdflatex on `latex` in a fresh directory. A table of contents is
/// read back from the file that the first pass wrote, so a document that
/// wrote one is compiled a second time.
compilation compile(const std::string& pdflatex, const std::string& latex) {
  testing::temp_dir dir;
  dir.write("doc.tex", latex);
  testing::program_call call;
  call.program = pdflatex;
  call.args = {"-interaction=nonstopmode", "-halt-on-error", "doc.tex"};
  call.directory = dir.path();
  for (int pass = 1; pass <= 2; ++pass) {
    testing::program_run run = testing::run_program(call);
    if (run.status != 0) {
      return {false, failure_report(run, pass, latex, dir.read("doc.log"))};
    }
    if (dir.read("doc.toc").empty()) break;
  }
  return {true, ""};
}

/// `run` of each of `inputs`, as many at once as there are cores (two at
/// least). Only the calling thread reports, so the workers just collect.
template <typename Result, typename Input, typename Run>
std::vector<Result> run_all(const std::vector<Input>& inputs, Run run) {
  std::vector<Result> results(inputs.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < inputs.size(); i = next++) {
      results[i] = run(inputs[i]);
    }
  };
  std::size_t workers = std::min<std::size_t>(
      inputs.size(), std::max(2u, std::thread::hardware_concurrency()));
  std::vector<std::future<void>> running;
  for (std::size_t i = 0; i < workers; ++i) {
    running.push_back(std::async(std::launch::async, work));
  }
  for (std::future<void>& worker : running) worker.get();  // rethrows
  return results;
}

/// Compiles every document at once, as run_all does.
std::vector<compilation> compile_all(const std::string& pdflatex,
                                     const std::vector<std::string>& latex) {
  return run_all<compilation>(latex, [&pdflatex](const std::string& one) {
    return compile(pdflatex, one);
  });
}

class Pdflatex : public ::testing::Test {
 protected:
  void SetUp() override {
    pdflatex_ = find_on_path("pdflatex");
    if (pdflatex_.empty()) {
      GTEST_SKIP() << "skipped: pdflatex is not on PATH (install "
                      "texlive-latex-base and texlive-latex-recommended)";
    }
  }

  void expect_all_compile(const std::vector<html_document>& docs) const {
    std::vector<std::string> latex;
    for (const html_document& doc : docs) {
      conversion converted = convert(doc);
      EXPECT_TRUE(converted.whole)
          << doc.name << ": the converter did not take the input as whole";
      latex.push_back(std::move(converted.latex));
    }
    std::vector<compilation> results = compile_all(pdflatex_, latex);
    for (std::size_t i = 0; i < docs.size(); ++i) {
      EXPECT_TRUE(results[i].compiled) << docs[i].name << "\n"
                                       << results[i].report;
    }
  }

  const std::string& pdflatex() const { return pdflatex_; }

 private:
  std::string pdflatex_;
};

document_options numbered_with_contents(std::string_view style) {
  document_options options;
  options.numbered_headings = true;
  options.contents = true;
  options.style = style;
  return options;
}

constexpr std::string_view title_with_specials =
    "Q&A: #1 of 100% {x} ~y ^z \\ <a> _ $5";
constexpr std::string_view author_with_specials =
    "J.~Doe & A_B {Ltd}, 50% #2 ^ \\ <b> $";
// Raw LaTeX for -h and -f: harmless, but not nothing.
constexpr std::string_view header_latex = "{\\small Header text.}\\par\n";
constexpr std::string_view footer_latex = "\\par{\\small Footer text.}\n";

/// Everything the command line sets, as it would set it.
document_options every_frame_option() {
  document_options options = numbered_with_contents("[12pt]{report}");
  options.title = title_with_specials;
  options.author = author_with_specials;
  options.page_break = true;
  options.header = header_latex;
  options.footer = footer_latex;
  return options;
}

std::string read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

/// `text` with every line feed turned into CR LF, as on Windows.
std::string with_crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST_F(Pdflatex, CompilesTheDemo) {
  const fs::path demo_path = fs::path(TAGWEAVE_EXAMPLES_DIR) / "demo.html";
  const std::string demo = read_file(demo_path);
  ASSERT_FALSE(demo.empty()) << "cannot read " << demo_path;
  expect_all_compile({
      {"the demo", demo},
      {"the demo with every frame option", demo, every_frame_option()},
      {"the demo with CR LF line ends", with_crlf(demo)},
  });
}

/// The opening of a list, of each of its items, and its closing.
struct list_kind {
  std::string_view open;
  std::string_view item;
  std::string_view close;
};

constexpr list_kind ul{"<ul>", "<li>", "</ul>"};
constexpr list_kind ol{"<ol>", "<li>", "</ol>"};
constexpr list_kind menu{"<menu>", "<li>", "</menu>"};
constexpr list_kind dl{"<dl>", "<dt>Term<dd>", "</dl>"};

/// One list of each kind in `levels`, each inside the first item of the one
/// before it and followed there by a second item.
std::string nested_lists(const std::vector<list_kind>& levels,
                         std::size_t level = 0) {
  if (level == levels.size()) return "";
  const list_kind& kind = levels[level];
  return std::string(kind.open) + std::string(kind.item) + "level " +
         std::to_string(level + 1) + "\n" + nested_lists(levels, level + 1) +
         std::string(kind.item) + "after level " + std::to_string(level + 1) +
         "\n" + std::string(kind.close) + "\n";
}

/// Documents that use every tag in balanced form: lists never empty nor
/// nested more than four deep, each term followed by its description,
/// items and terms never closed (a closing tag would write their text
/// again), and every listing closed.
std::vector<html_document> balanced_tag_documents() {
  return {
      {"every heading level, holding styles and references",
       "<h1>One &amp; only</h1>\n"
       "<h2><em>Two</em>, <b>bold</b> and <tt>x_1</tt></h2>\n"
       "<h3>Three &lt;3&gt;</h3>\n<p>Text.\n"
       "<h4>Four.</h4>\nText.\n<h5>Five.</h5>\nText.\n"
       "<h6>Six.</h6>\nText.\n"},
      {"paragraphs, closed and left open",
       "<p>First.</p>\n<p>Second.\n<p>Third.</p>\nLoose text.\n"},
      {"unordered, ordered and menu lists",
       "<ul>\n<li>one\n<li>two\n</ul>\n<ol><li>first<li>second</ol>\n"
       "<menu><li>entry</menu>\n"},
      {"a description list",
       "<dl>\n<dt>Term\n<dd>Meaning.\n<dt><b>Bold</b> term\n"
       "<dd><p>Two<p>paragraphs.\n</dl>\n"},
      {"a directory list inside an item",
       "<ul><li>outer<dir><li>entry</dir></ul>\n"},
      {"items holding paragraphs, headings and lists",
       "<ol><li><p>A paragraph.<h3>A heading</h3><ul><li>inner</ul>after"
       "<li>last</ol>\n"
       "<dl><dt>Term<dd><h4>Heading.</h4><ol><li>inner</ol></dl>\n"},
      {"run-in headings first and later in items",
       "<ul><li><h5>Run-in.</h5>Text.<li><p><h6>After a break.</h6>Text."
       "<ol><li><h4>Nested.</h4>Text.</ol></ul>\n"
       "<dl><dt>Term<dd><h6>Run-in.</h6>Text.<dt>Term<dd><h4>Again.</h4>"
       "</dl>\n"},
      {"unordered lists four deep", nested_lists({ul, ul, ul, ul})},
      {"ordered lists four deep", nested_lists({ol, ol, ol, ol})},
      {"menus four deep", nested_lists({menu, menu, menu, menu})},
      {"description lists four deep", nested_lists({dl, dl, dl, dl})},
      {"every list kind nested, outer to inner",
       nested_lists({ul, ol, dl, menu})},
      {"every list kind nested, inner to outer",
       nested_lists({menu, dl, ol, ul})},
      {"example, listing and preformatted text",
       "<xmp>\n<b>not bold</b> x_1 & {y} ~ ^ \\ % $ #\n</xmp>\n"
       "<listing>\nint main(void) { return a_b & 1 < 2; }  "
       "/* ~ ^ \\ % $ # */\n</listing>\n"
       "<pre>\n  x_1 = {a, b}   % 100\n\n     indented\n</pre>\n"},
      {"example, listing and preformatted text inside items",
       "<ul><li><listing>in_list {x}</listing>"
       "<li><xmp>an <i>example</i></xmp><li><pre>\n pre_formatted\n</pre>"
       "</ul>\n<dl><dt>Term<dd><listing>\nlisting_in_a_description\n"
       "</listing></dl>\n"},
      {"every type style, alone and nested",
       "<em>em</em> <strong>strong</strong> <b>b</b> <i>i</i> <u>u</u> "
       "<tt>tt</tt> <code>code</code> <samp>samp</samp> <kbd>kbd</kbd> "
       "<var>var</var> <dfn>dfn</dfn> <cite>cite</cite>\n"
       "<b><i>bold italic</i></b> <u><tt>under_tt</tt></u> "
       "<em><kbd>x</kbd> <cite>y</cite></em>\n"},
      {"type styles inside headings, items and terms",
       "<h2><u>Under</u> <cite>cited</cite> <kbd>keys</kbd></h2>\n"
       "<ul><li><b>bold</b> <u>underlined</u></ul>\n"
       "<dl><dt><u>Underlined term</u> <dfn>defined</dfn>"
       "<dd><em>Emphasised</em> description.</dl>\n"},
      {"empty elements",
       "<h1></h1><h4></h4>Text.\n<ul><li></ul>\n<dl><dt><dd></dl>\n"
       "<listing></listing><pre></pre><xmp></xmp><b></b><u></u><p><p>\n"},
      {"tags that write nothing",
       "<a href=\"notes_1.html#x\">anchor</a> <a name=\"n\"></a>"
       "<img src=\"logo_1.gif\" alt=\"a &amp; b\"> <address>me@x_y.org"
       "</address><isindex><title>Dropped</title><!-- comment -->"
       "<blink>unknown</blink><!DOCTYPE html>\n"},
      {"character references",
       "&lt;&gt;&amp; &#35;&#36;&#37;&#38;&#92;&#94;&#95;&#123;&#125;&#126; "
       "caf&#233; &#127; &LT;x&GT; &#65&#66; &amp\n"},
      {"blank lines inside headings and terms",
       "<h2>A heading\n \nwith a blank line</h2>\n<h3>Ending\n\t\n</h3>\n"
       "<h4>Around\n<a name=\"x\"></a>\nan anchor.</h4>\n"
       "<dl><dt>A term\n \n<dd>Its description.\n</dl>\n"},
      {"blank lines with CR LF line ends",
       with_crlf("<h2>A heading\n\nwith a blank line</h2>\n"
                 "<dl>\n<dt>A term\n\n<dd>Its description.\n</dl>\n")},
      {"plain text to the end",
       "<p>Before.\n<plaintext>\n<b>not bold</b> &amp; # $ % _ { } ~ ^ \\ "
       "< >\n"},
  };
}

TEST_F(Pdflatex, CompilesEveryTagInBalancedForm) {
  std::vector<html_document> docs = balanced_tag_documents();
  // All of them in one document, numbered with a table of contents, once
  // in each style. Plain text swallows the rest, so it comes last.
  std::string together;
  for (const html_document& doc : docs) together += doc.html;
  for (std::string_view style : {"[11pt]{article}", "[12pt]{report}"}) {
    docs.push_back(
        {"all of them, numbered with contents, in " + std::string(style),
         together, numbered_with_contents(style)});
  }
  expect_all_compile(docs);
}

/// Every byte but NUL, which loading drops, and those in `left_out`.
std::string every_byte_but(std::string_view left_out) {
  std::string bytes;
  for (int value = 1; value < 256; ++value) {
    char byte = static_cast<char>(value);
    if (left_out.find(byte) == std::string_view::npos) bytes += byte;
  }
  return bytes;
}

/// `text` as the text of every kind of run: a paragraph, a heading (holding
/// `heading_text` instead), an item, a term and its description, type
/// styles, preformatted text, an example, a listing and plain text.
std::string in_every_context(const std::string& text,
                             const std::string& heading_text) {
  return "<p>" + text + "\n<h2>" + heading_text + "</h2>\n<ul><li>" + text +
         "</ul>\n<dl><dt>" + text + "<dd>" + text + "</dl>\n<b>" + text +
         "</b> <u>" + text + "</u>\n<pre>\n" + text + "\n</pre>\n<xmp>\n" +
         text + "</xmp>\n<listing>\n" + text + "\n</listing>\n<plaintext>\n" +
         text;
}

TEST_F(Pdflatex, CompilesEveryByteAsText) {
  const std::string bytes = every_byte_but("");
  // A form feed is \par to LaTeX, which a table of contents cannot hold: it
  // stays out of the headings that go there.
  const std::string bytes_but_form_feed = every_byte_but("\f");

  document_options titled;
  titled.title = bytes;
  titled.author = bytes;

  document_options numbered = numbered_with_contents("[11pt]{article}");
  numbered.title = bytes;

  document_options blank_lines;
  blank_lines.title = "A title\n\nover a blank line";
  blank_lines.author = "A. Author\n \nB. Author\r\n\r\nC. Author";

  expect_all_compile({
      {"every byte in every context, with title and author",
       in_every_context(bytes, bytes), titled},
      {"every byte in every context, numbered with contents",
       in_every_context(bytes, bytes_but_form_feed), numbered},
      {"blank lines in the title and the author", "Text.\n", blank_lines},
  });
}

/// `text` without its white space, where pdftotext may break lines and
/// the reopened verbatim environments do.
std::string without_white_space(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != ' ' && c != '\n' && c != '\r' && c != '\t' && c != '\f') out += c;
  }
  return out;
}

/// The host name, which a page must not get pdflatex to read; empty when
/// there is no /etc/hostname.
std::string host_name() {
  std::string name = read_file("/etc/hostname");
  while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) {
    name.pop_back();
  }
  return name;
}

// Listings whose text ends the verbatim environment, whole, through a
// reference, completed by a tag inside the listing, or through a listing end
// closing it from inside a list: pdflatex shows that text and runs none of
// it, neither reading /etc/hostname nor writing a file.
TEST_F(Pdflatex, ListingTextThatEndsTheEnvironmentIsShownNotRun) {
  struct hostile_listing {
    std::string html;
    std::string shown;  ///< text the page must show, in monospace
  };
  const std::vector<hostile_listing> listings = {
      {"<listing>\\end{verbatim}\\input{/etc/hostname}\\begin{verbatim}"
       "</listing>\n",
       "\\end{verbatim}\\input{/etc/hostname}\\begin{verbatim}"},
      {"<listing>\\end&#123;verbatim}\\newwrite\\f\\immediate"
       "\\openout\\f=victim.txt</listing>\n",
       "\\end{verbatim}\\newwrite\\f\\immediate\\openout\\f=victim.txt"},
      {"<listing>\\end{verbatim</xmp></b>\\input{/etc/hostname}</listing>\n",
       "\\end{verbatim}\\input{/etc/hostname}"},
      {"<ul><li><listing>\nx\\end{verbatim}\\input{/etc/hostname}\n"
       "</listing></ul>\n",
       "x\\end{verbatim}\\input{/etc/hostname}"},
      {"<listing>a</xmp><ul></listing>\\input{/etc/hostname}\n", ""},
  };
  std::string html;
  for (const hostile_listing& listing : listings) html += listing.html;
  conversion converted = convert({"hostile listings", html});

  testing::temp_dir dir;
  dir.write("doc.tex", converted.latex);
  testing::program_call call;
  call.program = pdflatex();
  call.args = {"-interaction=nonstopmode", "-halt-on-error", "doc.tex"};
  call.directory = dir.path();
  testing::program_run run = testing::run_program(call);
  const std::string log = dir.read("doc.log");
  EXPECT_EQ(run.status, 0) << failure_report(run, 1, converted.latex, log);
  EXPECT_EQ(log.find("(/etc/hostname"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(dir.path() / "victim.txt"));
  if (run.status != 0) return;

  const std::string pdftotext = find_on_path("pdftotext");
  if (pdftotext.empty()) {
    GTEST_SKIP() << "the page's text is not checked: pdftotext is not on "
                    "PATH (install poppler-utils)";
  }
  testing::program_call to_text;
  to_text.program = pdftotext;
  to_text.args = {"doc.pdf", "-"};
  to_text.directory = dir.path();
  testing::program_run text = testing::run_program(to_text);
  ASSERT_EQ(text.status, 0) << text.err;
  const std::string shown = without_white_space(text.out);
  for (const hostile_listing& listing : listings) {
    if (listing.shown.empty()) continue;
    EXPECT_NE(shown.find(without_white_space(listing.shown)), std::string::npos)
        << listing.html << "\nthe page's text:\n"
        << text.out;
  }
  if (std::string name = host_name(); !name.empty()) {
    EXPECT_EQ(shown.find(without_white_space(name)), std::string::npos)
        << text.out;
  }
}

/// What pdflatex made of one page in nonstop mode without -halt-on-error:
/// it reads on past every error, as a user pressing Enter at each would.
struct nonstop_run {
  int status = -1;
  std::string log;
  std::string text;  ///< the PDF's text; empty without pdftotext or a PDF
  bool wrote_victim = false;  ///< "victim.txt" appeared beside the page
};

nonstop_run compile_nonstop(const std::string& pdflatex,
                            const std::string& pdftotext,
                            const std::string& latex) {
  testing::temp_dir dir;
  dir.write("doc.tex", latex);
  testing::program_call call;
  call.program = pdflatex;
  call.args = {"-interaction=nonstopmode", "doc.tex"};
  call.directory = dir.path();
  nonstop_run result;
  result.status = testing::run_program(call).status;
  result.log = dir.read("doc.log");
  result.wrote_victim = fs::exists(dir.path() / "victim.txt");
  if (!pdftotext.empty() && fs::exists(dir.path() / "doc.pdf")) {
    testing::program_call to_text;
    to_text.program = pdftotext;
    to_text.args = {"doc.pdf", "-"};
    to_text.directory = dir.path();
    result.text = testing::run_program(to_text).out;
  }
  return result;
}

/// True when `log` shows that pdflatex opened /etc/hostname, or tried to.
bool read_host_name(const std::string& log) {
  return log.find("(/etc/hostname") != std::string::npos ||
         log.find("`/etc/hostname'") != std::string::npos;
}

// Listings inside a command's argument, where LaTeX's verbatim environment
// does not work and their text would be read as LaTeX: a heading's, an
// underline's, a description term's, an item's optional argument (a "[" its
// text starts with), and arguments that mismatched end tags leave open. Each
// page is compiled on its own, reading on past errors; none gets pdflatex to
// read /etc/hostname or write a file. Pages whose tags are balanced compile
// without an error and show the listing's text.
TEST_F(Pdflatex, ListingTextInsideAnArgumentIsShownNotRun) {
  struct hostile_page {
    html_document doc;
    std::string shown;  ///< text the page shows; empty: it has errors
  };
  document_options numbered;
  numbered.numbered_headings = true;
  const std::string input = "\\input{/etc/hostname}";
  const std::vector<hostile_page> pages = {
      {{"heading", "<h1><listing>}" + input + "</listing></h1>"}, "}" + input},
      {{"numbered heading", "<h2><listing>}" + input + "\n\n</listing>a</h2>",
        numbered},
       "}" + input + "a"},
      {{"run-in heading", "<h4><listing>}" + input + "</listing></h4>x"},
       "}" + input + "x"},
      {{"underline", "<u><listing>}" + input + "</listing></u>"}, "}" + input},
      {{"description term",
        "<dl><dt><listing>}" + input + "</listing><dd>x</dl>"},
       "}" + input + "x"},
      {{"description term, the listing closing it",
        "<dl><dt><listing>]" + input + "</listing><dd>x</dl>"},
       input + "]x"},
      {{"item's optional argument",
        "<ul><li>[<listing>]" + input + "</listing></ul>"},
       input},
      {{"item's optional argument after a line end",
        "<ul><li> \r\n [<listing>]" + input + "</listing></ul>"},
       input},
      {{"listing after an item's blank line, in its environment",
        "<ul><li>\n \n[<listing>]" + input + "</listing></ul>"},
       "[]" + input},
      {{"file written from a heading",
        "<h3><listing>}\\newwrite\\f\\immediate\\openout\\f=victim.txt"
        "</listing></h3>"},
       "}\\newwrite\\f\\immediate\\openout\\f=victim.txt"},
      {{"heading's brace closed by a type style's end",
        "<h1><b></h1><listing>}" + input + "</listing>"},
       ""},
      {{"term's bracket inside a group",
        "<dl><dt><b><dd><listing>}]" + input + "</listing></dl>"},
       ""},
      {{"heading with a paragraph break",
        "<h1>a<p><listing>}" + input + "</listing></h1>"},
       ""},
      {{"item's optional argument never closed",
        "<ul><li>[<listing>}" + input + "</listing></ul>"},
       ""},
  };
  std::vector<std::string> latex;
  for (const hostile_page& page : pages) {
    latex.push_back(convert(page.doc).latex);
  }
  const std::string pdftotext = find_on_path("pdftotext");
  const std::string& program = pdflatex();
  std::vector<nonstop_run> runs = run_all<nonstop_run>(
      latex, [&program, &pdftotext](const std::string& one) {
        return compile_nonstop(program, pdftotext, one);
      });
  const std::string host = without_white_space(host_name());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const hostile_page& page = pages[i];
    const nonstop_run& run = runs[i];
    SCOPED_TRACE(page.doc.name + "\n" + latex[i]);
    EXPECT_FALSE(read_host_name(run.log)) << run.log;
    EXPECT_FALSE(run.wrote_victim);
    const std::string shown = without_white_space(run.text);
    if (!host.empty()) {
      EXPECT_EQ(shown.find(host), std::string::npos) << shown;
    }
    if (page.shown.empty()) continue;
    EXPECT_EQ(run.status, 0) << tail(run.log, 40);
    EXPECT_EQ(run.log.find("\n! "), std::string::npos) << run.log;
    if (!pdftotext.empty()) {
      EXPECT_NE(shown.find(without_white_space(page.shown)), std::string::npos)
          << run.text;
    }
  }
}

/// A frame option of the command line and how it sets the options.
struct frame_option {
  const char* flag;
  void (*set)(document_options&);
};

constexpr frame_option frame_options[] = {
    {"-n", [](document_options& o) { o.numbered_headings = true; }},
    {"-t", [](document_options& o) { o.title = title_with_specials; }},
    {"-a", [](document_options& o) { o.author = author_with_specials; }},
    {"-p", [](document_options& o) { o.page_break = true; }},
    {"-c", [](document_options& o) { o.contents = true; }},
    {"-o", [](document_options& o) { o.style = "[12pt]{report}"; }},
    // The last two choose the quarter of the combinations a test compiles.
    {"-h", [](document_options& o) { o.header = header_latex; }},
    {"-f", [](document_options& o) { o.footer = footer_latex; }},
};

constexpr unsigned option_count = std::size(frame_options);
constexpr unsigned quarter_size = (1u << option_count) / 4;

/// The body of every combination: headings for the table of contents, some
/// text and a list.
constexpr std::string_view frame_body =
    "<h1>Numbered &amp; listed</h1>\n"
    "<p>Text with # $ % &amp; _ { } ~ ^ \\ &lt; &gt; in it.\n"
    "<h2>Second</h2>\n<ul><li>An item.</ul>\n";

html_document frame_combination(unsigned bits) {
  html_document doc{"options", std::string(frame_body)};
  for (unsigned i = 0; i < option_count; ++i) {
    if ((bits & (1u << i)) == 0) continue;
    doc.name += std::string(" ") + frame_options[i].flag;
    frame_options[i].set(doc.options);
  }
  if (bits == 0) doc.name = "no options";
  return doc;
}

// Split in four, so that ctest can run the quarters side by side.
class PdflatexFrameOptions : public Pdflatex,
                             public ::testing::WithParamInterface<unsigned> {};

TEST_P(PdflatexFrameOptions, EveryCombinationCompiles) {
  std::vector<html_document> docs;
  for (unsigned bits = GetParam() * quarter_size;
       bits < (GetParam() + 1) * quarter_size; ++bits) {
    docs.push_back(frame_combination(bits));
  }
  expect_all_compile(docs);
}

std::string quarter_name(const ::testing::TestParamInfo<unsigned>& quarter) {
  constexpr const char* names[] = {"no_header_no_footer", "header", "footer",
                                   "header_and_footer"};
  return names[quarter.param];
}

INSTANTIATE_TEST_SUITE_P(Quarter, PdflatexFrameOptions,
                         ::testing::Range(0u, 4u), quarter_name);

}  // namespace
}  // namespace tagweave
