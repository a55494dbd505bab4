// The reader view: which words of a small page reach the LaTeX by default
// and which only with the whole page, the command's --whole-page, and a
// page with chrome through pdflatex.
#include "html5/latex2e/content_selection.h"

#include "html5/latex2e/writer.h"
#include "html5/tree/parse.h"
#include "testing/run_program.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

namespace tagweave::latex2e {
namespace {

std::string body_of(std::string html, bool whole_page) {
  html5::document doc = html5::parse_document(std::move(html));
  std::string latex;
  byte_sink out(latex);
  writer_options options;
  options.whole_page = whole_page;
  write_body(doc, out, options);
  out.flush();
  return latex;
}

struct selection_case {
  const char* what;
  std::string html;
  std::vector<std::string> kept;
  std::vector<std::string> left_out;  ///< written only with the whole page
};

const std::string article =
    "<h1>Heading</h1><p>Article text with a <a href=/x>link</a> in it.</p>"
    "<p>More article text.</p>";

/// Text enough that a page's menus are a small part of it.
const std::string long_paragraph =
    "<p>A paragraph long enough to outweigh the menus around it, as the text "
    "of an article would: several sentences of words, none of them a link, "
    "which the reader came to the page for.</p>";

/// `count` list items, each a link showing `word`; `separator`, when not
/// empty, stands between bare links instead.
std::string links(std::string_view word, int count,
                  std::string_view separator = {}) {
  std::string html;
  for (int i = 0; i < count; ++i) {
    if (separator.empty()) html += "<li>";
    if (!separator.empty() && i > 0) html += separator;
    html += "<a href=/" + std::to_string(i) + ">" + std::string(word) + "</a>";
  }
  return html;
}

const std::vector<selection_case> selection_cases = {
    {"main: everything outside it is left out",
     "<header>Sitename</header><nav>Navlink</nav><main>" + article +
         "</main><aside>Sidebar</aside><footer>Copyright</footer>after",
     {"Heading", "Article", "More"},
     {"Sitename", "Navlink", "Sidebar", "Copyright", "after"}},
    {"role=main, deep inside wrappers",
     "<div>Before<div><div role=main>" + article +
         "</div><p>Beside</p></div></div>",
     {"Heading", "Article"},
     {"Before", "Beside"}},
    {"several mains: both are kept, what lies between is not",
     "<main><p>Firstmain</p></main><p>Between</p><div role=main>"
     "<p>Secondmain</p></div>",
     {"Firstmain", "Secondmain"},
     {"Between"}},
    {"a main inside a main counts as the outer one",
     "<p>Outside</p><div role=main><p>Outertext</p><main><p>Innertext</p>"
     "</main></div>",
     {"Outertext", "Innertext"},
     {"Outside"}},
    {"a hidden main is not the content",
     "<main hidden><p>Stale</p></main><p>Shown</p>",
     {"Shown"},
     {}},
    {"an empty main is not the content",
     "<nav>Navlink</nav><main></main><p>Shown text of the page.</p>",
     {"Shown"},
     {"Navlink"}},
    {"navigation, search, banner and footer of the site",
     "<header><a href=/>Sitename</a></header><nav>Navlink</nav>"
     "<div role=navigation>Rolenav</div><search>Searchbox</search>"
     "<div role=search>Rolesearch</div><div role=banner>Rolebanner</div>" +
         article +
         "<footer>Copyright</footer><div role=contentinfo>Contact</div>",
     {"Heading", "Article", "More"},
     {"Sitename", "Navlink", "Rolenav", "Searchbox", "Rolesearch", "Rolebanner",
      "Copyright", "Contact"}},
    {"an article's own header and footer are its text",
     "<article><header>Byline</header>" + article +
         "<footer>Signature</footer></article>",
     {"Byline", "Heading", "Signature"},
     {}},
    {"a banner holding the page's heading stays, its navigation goes",
     "<header><h1>Pagetitle</h1><nav>Navlink</nav></header><p>Body text.</p>",
     {"Pagetitle", "Body"},
     {"Navlink"}},
    {"aria-hidden elements, anywhere",
     "<main><p>Shown<span aria-hidden=TRUE>Decoration</span></p>"
     "<div aria-hidden=true><p>Duplicate</p></div></main>",
     {"Shown"},
     {"Decoration", "Duplicate"}},
    {"lists of links at the start and end of the body, inside wrappers",
     "<div id=wrap><div><ul>" + links("Toplink", 5) + "</ul></div>" + article +
         long_paragraph + "<p>" + links("Bottomlink", 4, " | ") +
         " | Terms</p></div>",
     {"Heading", "Article", "link", "More"},
     {"Toplink", "Bottomlink", "Terms"}},
    {"a section of links with its heading at the end (an index) stays",
     article + long_paragraph + "<div><h2>Index</h2><ul>" + links("Entry", 6) +
         "</ul></div>",
     {"Index", "Entry"},
     {}},
    {"a list of links amid the text stays",
     article + "<ul>" + links("Midlink", 5) + "</ul><p>Closing words.</p>",
     {"Midlink", "Closing"},
     {}},
    {"a sentence ending in a link or two stays",
     article + "<p>See <a href=/a>Firstref</a> and <a href=/b>Secondref</a>",
     {"Firstref", "Secondref"},
     {}},
    {"a page of links is its own content",
     "<h1>Index</h1><ul>" + links("Entry", 20) + "</ul>",
     {"Index", "Entry"},
     {}},
    {"permalink marks in headings and terms",
     "<section id=s><h2 id=h>Title<a href=#h>\xC2\xB6</a></h2>"
     "<h3>Sub<a href=#s> \xC2\xA7 </a></h3>"
     "<h4><a id=m href=#m>#</a>Method</h4>"
     "<dl><dt id=t>Term<a href=#t></a><a href=#t>Ownlink</a></dt>"
     "<dd>Definition</dd></dl></section>",
     {"Title", "Sub", "Method", "Term", "Ownlink", "Definition"},
     {"\xC2\xB6", "\xC2\xA7", "\\#"}},
    {"a mark linking elsewhere, or outside a heading, stays",
     "<h2 id=h>Title<a href=#other>\xC2\xB6</a></h2><p id=p>Text"
     "<a href=#p>#</a></p><p id=other>x",
     {"Title", "\xC2\xB6", "\\#"},
     {}},
    {"a leading skip link",
     "<a href=#c>Skip to main content</a><p id=c>Content "
     "<a href=#c>skip to content</a>",
     {"Content", "skip"},
     {"Skip to main"}},
    {"table cells around a main stay cells; their text goes",
     "<table><tr><td><p>Leftcell</p></td><td><main><p>Maintext</p></main>"
     "</td></tr></table>",
     {"Maintext", "longtable", "&"},
     {"Leftcell"}},
};

TEST(ReaderView, KeepsTheContentAndLeavesOutTheRest) {
  for (const selection_case& c : selection_cases) {
    std::string reader = body_of(c.html, false);
    std::string whole = body_of(c.html, true);
    for (const std::string& word : c.kept) {
      EXPECT_NE(reader.find(word), std::string::npos)
          << c.what << ": lost " << word << "\n"
          << reader;
    }
    for (const std::string& word : c.left_out) {
      EXPECT_EQ(reader.find(word), std::string::npos)
          << c.what << ": kept " << word << "\n"
          << reader;
      EXPECT_NE(whole.find(word), std::string::npos)
          << c.what << ": the whole page lacks " << word << "\n"
          << whole;
    }
  }
}

TEST(ReaderView, APageWithoutChromeIsWrittenWhole) {
  const std::vector<std::string> pages = {
      article,
      "<p>Just a line.",
      "<a href=/x>Only</a> <a href=/y>links</a> <a href=/z>here</a>",
      "<h2 id=h>Title <a href=#h>Read more</a></h2><p>Text",
      "<article><header><h1>T</h1></header><p>Text</p><footer>F</footer>",
      "<nav><p>A page that is all navigation stays whole.</p></nav>",
      "<div aria-hidden=true><p>All of the text is hidden from readers.</p>"
      "</div>",
      "",
  };
  for (const std::string& page : pages) {
    EXPECT_EQ(body_of(page, false), body_of(page, true)) << page;
  }
}

TEST(ReaderView, SelectsNothingOnAPageWithoutChrome) {
  html5::document doc = html5::parse_document(article);
  EXPECT_TRUE(select_content(doc).empty());
}

// --- The command, and pdflatex ---------------------------------------------

namespace fs = std::filesystem;

/// A page with every kind of chrome, and links into what is left out.
const std::string chrome_page =
    "<!DOCTYPE html><title>Page title</title>"
    "<a href=#main>Skip to content</a>"
    "<nav id=toc><a href=#a>Navfirst</a> <a href=#b>Navsecond</a></nav>"
    "<main id=main><h2 id=a>Alpha<a href=#a>\xC2\xB6</a></h2>"
    "<p>Contentword, back to the <a href=#toc>contents</a>.</p>"
    "<h2><a id=b href=#b>#</a>Beta</h2><p>See <a href=#a>Alpha</a>.</p>"
    "</main><footer>Footerword</footer>";

testing::program_run convert_page(const testing::temp_dir& dir,
                                  std::vector<std::string> options) {
  dir.write("page.html", chrome_page);
  testing::program_call call;
  call.program = TAGWEAVE_BIN;
  call.args = {"--html5"};
  call.args.insert(call.args.end(), options.begin(), options.end());
  call.args.push_back("page.html");
  call.directory = dir.path();
  return testing::run_program(call);
}

TEST(ReaderView, WholePageOptionOfTheCommand) {
  testing::temp_dir dir;
  ASSERT_EQ(convert_page(dir, {}).status, 0);
  std::string reader = dir.read("page.tex");
  ASSERT_EQ(convert_page(dir, {"--whole-page"}).status, 0);
  std::string whole = dir.read("page.tex");
  for (const char* word : {"Contentword", "Alpha", "Beta", "Page title"}) {
    EXPECT_NE(reader.find(word), std::string::npos) << word;
    EXPECT_NE(whole.find(word), std::string::npos) << word;
  }
  for (const char* word : {"Navfirst", "Footerword", "Skip to"}) {
    EXPECT_EQ(reader.find(word), std::string::npos) << word;
    EXPECT_NE(whole.find(word), std::string::npos) << word;
  }
}

using testing::find_on_path;

// Links into the navigation left out, and to targets on permalink marks
// left out, still compile; the content shows and the chrome does not.
TEST(ReaderView, CompilesWithPdflatex) {
  const std::string pdflatex = find_on_path("pdflatex");
  const std::string pdftotext = find_on_path("pdftotext");
  if (pdflatex.empty() || pdftotext.empty()) {
    GTEST_SKIP() << "skipped: pdflatex or pdftotext is not installed";
  }
  testing::temp_dir dir;
  ASSERT_EQ(convert_page(dir, {}).status, 0);
  testing::program_call latex{
      .program = pdflatex,
      .args = {"-interaction=nonstopmode", "-halt-on-error", "page.tex"},
      .directory = dir.path()};
  testing::program_run run = testing::run_program(latex);
  ASSERT_EQ(run.status, 0) << run.out;
  testing::program_call text{
      .program = pdftotext, .args = {"page.pdf", "-"}, .directory = dir.path()};
  run = testing::run_program(text);
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Contentword"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Navfirst"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("\xC2\xB6"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tagweave::latex2e
