// Lists, headings, spacing, notes and pictures in --html5 output: the
// LaTeX each small page gives, and what pdflatex makes of a page holding
// them all (positions read back with pdftotext -bbox).
#include "html5/latex2e/preamble.h"
#include "html5/latex2e/writer.h"
#include "html5/tree/parse.h"
#include "testing/run_program.h"
#include "testing/tiny_png.h"

#include <gtest/gtest.h>
#include <tagweave/tagweave.h>

#include <map>
#include <string>
#include <vector>

namespace tagweave::latex2e {
namespace {

std::string body_of(std::string html, const writer_options& options = {}) {
  html5::document doc = html5::parse_document(std::move(html));
  std::string latex;
  byte_sink out(latex);
  write_body(doc, out, options);
  out.flush();
  return latex;
}

std::size_t occurrences(std::string_view text, std::string_view word) {
  std::size_t count = 0;
  for (std::size_t at = text.find(word); at != std::string_view::npos;
       at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

/// `html` nested `depth` times, with `inner` at the bottom.
std::string nested(std::string_view open, std::string_view close, int depth,
                   std::string_view inner = "x") {
  std::string out;
  for (int i = 0; i < depth; ++i) out += open;
  out += inner;
  for (int i = 0; i < depth; ++i) out += close;
  return out;
}

struct body_case {
  const char* what;
  std::string html;
  std::string body;
};

void expect_bodies(const std::vector<body_case>& cases,
                   const writer_options& options = {}) {
  for (const body_case& c : cases) {
    EXPECT_EQ(body_of(c.html, options), c.body) << c.what << "\n" << c.html;
  }
}

TEST(Html5Blocks, ListsNestToTheLimitWhateverTheirKind) {
  struct depth_case {
    const char* what;
    std::string html;
    const char* environment;
    std::size_t begun;
  };
  const int deep = static_cast<int>(max_list_depth) + 2;
  const std::vector<depth_case> cases = {
      {"seven itemize, past LaTeX's four", nested("<ul><li>a", "</ul>", 7),
       "\\begin{itemize}", 7},
      {"seven enumerate", nested("<ol><li>a", "</ol>", 7), "\\begin{enumerate}",
       7},
      {"seven description lists", nested("<dl><dd>a", "</dl>", 7),
       "\\begin{description}", 7},
      {"quotes in lists, past LaTeX's six",
       nested("<ul><li>a<blockquote>b", "</blockquote></ul>", 4),
       "\\begin{quote}", 4},
      {"past the limit, items join the deepest list",
       nested("<ul><li>a", "</ul>", deep), "\\begin{itemize}", max_list_depth},
      {"notes count as levels", nested("<aside>a", "</aside>", deep),
       "\\begin{twnote}", max_list_depth},
  };
  std::string captions = body_of(nested("<figcaption>a", "</figcaption>", 300));
  EXPECT_LT(occurrences(captions, "{\\centering"), 255u)
      << "TeX allows 255 levels of grouping";
  for (const depth_case& c : cases) {
    std::string body = body_of(c.html);
    EXPECT_EQ(occurrences(body, c.environment), c.begun) << c.what << body;
    EXPECT_EQ(occurrences(body, "\\begin{"), occurrences(body, "\\end{"))
        << c.what;
  }
  EXPECT_NE(body_of(nested("<ol start=5><li>a", "</ol>", 6))
                .find("\\begin{enumerate}\\setcounter{enumvi}{4}"),
            std::string::npos)
      << "the sixth level's start";
}

TEST(Html5Blocks, TheShallowestWrittenHeadingIsTheTopSection) {
  expect_bodies({
      {"h2 and h3 only", "<h2>a</h2><h3>b</h3>",
       "\\section*{a}\n\\subsection*{b}\n"},
      {"h3 only", "<h3>a</h3>", "\\section*{a}\n"},
      {"a skipped level stays skipped", "<h2>a</h2><h4>b</h4>",
       "\\section*{a}\n\\subsubsection*{b}\n"},
      {"six levels, each its own command",
       "<h1>a</h1><h2>b</h2><h3>c</h3><h4>d</h4><h5>e</h5><h6>f</h6>",
       "\\section*{a}\n\\subsection*{b}\n\\subsubsection*{c}\n"
       "\\paragraph*{d}\n\\subparagraph*{e}\n\\twsubsubparagraph*{f}\n"},
      {"a hidden h1 is not written, so does not count",
       "<h1 hidden>x</h1><template><h1>y</h1></template><h2>a</h2>",
       "\\section*{a}\n"},
      {"an h1 in a list is a bold paragraph and does not count",
       "<ul><li><h1>x</h1></ul><h2>a</h2>",
       "\\begin{itemize}\n\\item\\relax {\\bfseries x}\n\\end{itemize}\n\n\n"
       "\\section*{a}\n"},
  });
  writer_options chapters;
  chapters.chapters = true;
  expect_bodies({{"with chapters, the top level is a chapter",
                  "<h2>a</h2><h3>b</h3><h6>c</h6>",
                  "\\chapter*{a}\n\\section*{b}\n\\paragraph*{c}\n"}},
                chapters);
  chapters.numbered_headings = true;
  expect_bodies({{"numbered", "<h3>a</h3><h4>b</h4>",
                  "\\chapter[a]{a}\n\\section[b]{b}\n"}},
                chapters);
  for (const char* style : {"[12pt]{report}", "{book}", "{article}"}) {
    document_options options;
    options.mode = reading_mode::html5;
    options.style = style;
    std::string latex;
    convert("<h2>a</h2>", options, latex);
    EXPECT_EQ(latex.find("\\chapter*{a}") != std::string::npos,
              std::string_view(style) != "{article}")
        << "-o " << style << " reaches the writer";
  }
}

TEST(Html5Blocks, Spacing) {
  expect_bodies({
      {"a definition follows its term with no paragraph skip",
       "<dl><dt>t<dd><p>a</p><p>b</p><dd>c</dl>",
       "\\begin{description}\n\\item[] {\\bfseries t}\n\n\\vspace{-\\parskip}a"
       "\n\nb\n\n\\vspace{-\\parskip}c\n\\end{description}\n"},
      {"a dd outside a list is a paragraph", "a<dd>b", "a\n\nb"},
      {"no-break spaces after a line break keep their width",
       "a<br>&nbsp;&nbsp;b<br>\xE2\x80\x83"
       "c<br>d&nbsp;e",
       "a\\mbox{}\\newline\n\\mbox{}~~b\\mbox{}\\newline\n\\mbox{}"
       "\\texorpdfstring{\\hspace{1em}}{\xE2\x80\x83}c\\mbox{}\\newline\nd~e"},
      {"at a paragraph's start they need nothing", "<p>&nbsp;a", "~a"},
  });
}

TEST(Html5Blocks, NotesAreFramedWithTheirTitle) {
  expect_bodies({
      {"Sphinx: the admonition's own title",
       "<div class='admonition warning'>\n<p class=admonition-title>Careful"
       "</p><p>t</p></div>",
       "\\begin{twnote}{}\n{\\bfseries Careful}\n\nt\n\\end{twnote}\n"},
      {"a class names the kind", "<div class=note>t</div>",
       "\\begin{twnote}{Note}\nt\n\\end{twnote}\n"},
      {"the kind wins over a generic admonition, in any case",
       "<div class='Admonition TIP'>t</div>",
       "\\begin{twnote}{Tip}\nt\n\\end{twnote}\n"},
      {"role note", "<section role='region note'>t</section>",
       "\\begin{twnote}{Note}\nt\n\\end{twnote}\n"},
      {"an aside's heading is its title", "<aside><h3>h</h3>t</aside>",
       "\\begin{twnote}{}\n{\\bfseries h}\n\nt\n\\end{twnote}\n"},
      {"an aside without one is untitled", "<aside>t</aside>",
       "\\begin{twnote}{}\nt\n\\end{twnote}\n"},
      {"text first: no title element",
       "<div class=note>a<p class=title>b</div>",
       "\\begin{twnote}{Note}\na\n\nb\n\\end{twnote}\n"},
      {"other classes and inline elements are no notes",
       "<div class=notes>a</div><span class=note>b</span>", "a\n\nb"},
      {"an empty note writes nothing", "<div class=warning> </div>x", "x"},
      {"in a heading, its text", "<h2>a<aside>b</aside></h2>",
       "\\section*{a b}\n"},
  });
}

TEST(Html5Blocks, PicturesAloneAreCentredAndCaptionsFollow) {
  writer_options options;
  options.images = [](std::string_view src) -> std::optional<std::string> {
    if (src == "ok.png") return std::string("ok.png");
    return std::nullopt;
  };
  expect_bodies(
      {
          {"alone in a paragraph, through a link",
           "<p><a href=big.png><img src=ok.png></a></p>",
           "{\\centering\\twimage{ok.png}\\par}"},
          {"a figure and its caption",
           "<figure><div><img src=ok.png></div>\n<figcaption>A <i>c</i>"
           "</figcaption></figure>",
           "{\\centering\\twimage{ok.png}\\par}\n\n"
           "{\\centering\\small A {\\itshape c}\\par}"},
          {"with text it is inline", "<p>a <img src=ok.png></p>",
           "a \\twimage{ok.png}"},
          {"beside a paragraph it is inline", "<div><img src=ok.png><p>a</div>",
           "\\twimage{ok.png}\n\na"},
          {"two pictures are inline", "<p><img src=ok.png><img src=ok.png>",
           "\\twimage{ok.png}\\allowbreak{}\\twimage{ok.png}"},
          {"alt text is text", "<p><img src=no.png alt=a></p>", "[a]"},
          {"in a list item it stays at the label", "<ul><li><img src=ok.png>",
           "\\begin{itemize}\n\\item\\relax \\twimage{ok.png}\n"
           "\\end{itemize}\n"},
      },
      options);
}

// --- With pdflatex -----------------------------------------------------------

using testing::find_on_path;

/// Converts `html` in `dir` with `options` and compiles it there: the
/// PDF's words with their left edges, or nothing when pdflatex failed.
struct placed_word {
  std::string text;
  double x = 0;
  double y = 0;  ///< the top, from the page's top
  double height = 0;
};
std::vector<placed_word> compile(const testing::temp_dir& dir,
                                 const std::string& html,
                                 document_options options) {
  options.mode = reading_mode::html5;
  options.image_folder = dir.path().string();
  std::string latex;
  convert(html, options, latex);
  dir.write("page.tex", latex);
  testing::program_call call;
  call.program = find_on_path("pdflatex");
  call.args = {"-interaction=nonstopmode", "-halt-on-error", "page.tex"};
  call.directory = dir.path();
  testing::program_run run = testing::run_program(call);
  std::size_t error = run.out.find("\n!");
  EXPECT_EQ(run.status, 0) << (error == std::string::npos
                                   ? run.out
                                   : run.out.substr(error, 800));
  if (run.status != 0) return {};
  call.program = find_on_path("pdftotext");
  call.args = {"-bbox", "page.pdf", "-"};
  std::string boxes = testing::run_program(call).out;
  std::vector<placed_word> words;
  auto number_after = [&](std::size_t at, std::string_view key) {
    std::size_t from = boxes.find(key, at) + key.size();
    return std::stod(boxes.substr(from, boxes.find('"', from) - from));
  };
  for (std::size_t at = boxes.find("<word "); at != std::string::npos;
       at = boxes.find("<word ", at + 1)) {
    std::size_t text = boxes.find('>', at) + 1;
    placed_word w;
    w.text = boxes.substr(text, boxes.find('<', text) - text);
    w.x = number_after(at, "xMin=\"");
    w.y = number_after(at, "yMin=\"");
    w.height = number_after(at, "yMax=\"") - number_after(at, "yMin=\"");
    words.push_back(std::move(w));
  }
  return words;
}

const placed_word* find_word(const std::vector<placed_word>& words,
                             std::string_view text) {
  for (const placed_word& w : words) {
    if (w.text == text) return &w;
  }
  return nullptr;
}

#define SKIP_WITHOUT_PDFLATEX()                                                \
  if (find_on_path("pdflatex").empty() || find_on_path("pdftotext").empty()) { \
    GTEST_SKIP() << "skipped: pdflatex or pdftotext is not on PATH";           \
  }

/// A page with every block of this file, deep lists and notes included.
std::string blocks_page() {
  std::string lists;
  for (int i = 1; i <= 10; ++i) {
    lists += "<ul><li>depth" + std::to_string(i);
  }
  std::string mixed, closes;
  for (int i = 1; i <= 10; ++i) {
    mixed += i % 2 ? "<ol start=7><li>" : "<dl><dt>t<dd><blockquote>";
    mixed += "mixed" + std::to_string(i);
    mixed += i % 2 ? "<div class=warning>w" : "<aside>a<p>b</p>";
    closes.insert(0, i % 2 ? "</div></ol>" : "</aside></blockquote></dl>");
  }
  return "<title>Blocks</title><h2>Top</h2><p>Intro</p><h3>Second</h3>"
         "<h4>Third</h4><h5>Fourth</h5><h6>Fifth</h6>" +
         lists + "</ul></ul></ul></ul></ul></ul></ul></ul></ul></ul>" + mixed +
         closes +
         "<p>Plain line<br>&nbsp;&nbsp;&nbsp;&nbsp;Indented<br>"
         "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;Deeper</p>"
         "<ul><li><p>One</p><p>Two</p><li>Three</ul>"
         "<div class='admonition note'><p class=admonition-title>Heads up"
         "</p><p>Text of a note.</p><h2>Inner</h2></div>"
         "<figure><img src=pic.png><figcaption>Caption</figcaption></figure>"
         "<p>Left <img src=pic.png></p>";
}

TEST(Html5Blocks, DeepListsIndentAndNbspKeepsItsWidthInThePdf) {
  SKIP_WITHOUT_PDFLATEX();
  testing::temp_dir dir;
  dir.write("pic.png", testing::tiny_png());
  std::vector<placed_word> words = compile(dir, blocks_page(), {});
  ASSERT_FALSE(words.empty());
  double previous = 0;
  for (std::size_t depth = 1; depth <= max_list_depth + 1; ++depth) {
    const placed_word* w = find_word(words, "depth" + std::to_string(depth));
    ASSERT_NE(w, nullptr) << depth;
    if (depth <= max_list_depth) {
      EXPECT_GT(w->x, previous + 5) << "level " << depth << " is indented";
    } else {
      EXPECT_EQ(w->x, previous) << "past the limit, the deepest level";
    }
    previous = w->x;
  }
  const placed_word* plain = find_word(words, "Plain");
  const placed_word* indented = find_word(words, "Indented");
  const placed_word* deeper = find_word(words, "Deeper");
  ASSERT_TRUE(plain && indented && deeper);
  EXPECT_GT(indented->x, plain->x + 8) << "four no-break spaces";
  EXPECT_GT(deeper->x, indented->x + 8) << "eight no-break spaces";
  const placed_word* top = find_word(words, "Top");
  const placed_word* second = find_word(words, "Second");
  ASSERT_TRUE(top && second);
  EXPECT_GT(top->height, second->height) << "section over subsection";
  for (const char* word :
       {"Heads", "Warning", "Caption", "Left", "mixed10", "Inner"}) {
    EXPECT_NE(find_word(words, word), nullptr) << word;
  }
  const placed_word* caption = find_word(words, "Caption");
  const placed_word* left = find_word(words, "Left");
  ASSERT_TRUE(caption && left);
  EXPECT_GT(caption->x, left->x + 100) << "a caption is centred";
}

TEST(Html5Blocks, WhatADescriptionHoldsStartsOnTheLineBelowItsTerm) {
  // A dd sits right under its term; a list opening it keeps its own space
  // (taking the paragraph skip away too once set it over the term's line).
  SKIP_WITHOUT_PDFLATEX();
  testing::temp_dir dir;
  std::vector<placed_word> words = compile(
      dir,
      "<dl><dt>Core</dt><dd><dl><dt>Tool</dt><dt>Basic</dt></dl></dd>"
      "<dt>Threads</dt><dd>Text</dd><dt>Signals</dt><dd><ul><li>item</ul>"
      "</dd></dl>",
      {});
  ASSERT_FALSE(words.empty());
  for (auto [term, below] :
       {std::pair{"Core", "Tool"}, {"Threads", "Text"}, {"Signals", "item"}}) {
    const placed_word* t = find_word(words, term);
    const placed_word* b = find_word(words, below);
    ASSERT_TRUE(t && b) << term;
    EXPECT_GT(b->y, t->y + 8) << below << " is a line below " << term;
    EXPECT_LT(b->y, t->y + 16) << below << " is right under " << term;
  }
}

TEST(Html5Blocks, ChaptersAndNumberedLevelsCompile) {
  SKIP_WITHOUT_PDFLATEX();
  testing::temp_dir dir;
  dir.write("pic.png", testing::tiny_png());
  for (const char* style : {"{article}", "[12pt]{report}", "{book}"}) {
    document_options options;
    options.style = style;
    options.numbered_headings = true;
    options.contents = true;
    std::vector<placed_word> words =
        compile(dir, "<h1>A</h1>" + blocks_page() + "<h6>Sixth</h6>", options);
    EXPECT_NE(find_word(words, "Sixth"), nullptr) << style;
  }
}

}  // namespace
}  // namespace tagweave::latex2e
