#include "early/writer/renderer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tagweave {
namespace {

// Tag records carry tag text with attributes, which must never reach the
// output.
mark_up start(mark_kind kind) { return {kind, false, "tag attr=\"v\""}; }
mark_up end(mark_kind kind) { return {kind, true, "/tag"}; }
mark_up text(std::string chars) { return {M_NONE, false, std::move(chars)}; }

constexpr int walked_to_the_end = -1;

struct render_case {
  const char* name;
  mark_list marks;
  std::string body;
  /// Index of the record the walk returns, or walked_to_the_end.
  int returned = walked_to_the_end;
  render_state cell_after = S_NORMAL;
  render_state cell_before = S_NORMAL;
  bool numbered = false;
};

struct render_result {
  std::string body;
  const mark_up* returned;
  render_state cell;
};

render_result render(const mark_list& marks, render_state cell,
                     bool numbered = false) {
  document_options options;
  options.numbered_headings = numbered;
  byte_sink dest;
  const mark_up* returned = render_marks(dest, marks, cell, options);
  return {dest.contents(), returned, cell};
}

void check(const render_case& c) {
  SCOPED_TRACE(c.name);
  render_result result = render(c.marks, c.cell_before, c.numbered);
  EXPECT_EQ(result.body, c.body);
  if (c.returned == walked_to_the_end) {
    EXPECT_EQ(result.returned, nullptr);
  } else {
    EXPECT_EQ(result.returned, &c.marks[static_cast<std::size_t>(c.returned)]);
  }
  EXPECT_EQ(result.cell, c.cell_after);
}

TEST(RenderMarks, TextRunsByState) {
  const render_case cases[] = {
      {"empty list", {}, "", walked_to_the_end, S_NORMAL},
      {"empty list leaves a title state alone",
       {},
       "",
       walked_to_the_end,
       S_TITLE,
       S_TITLE},
      {"plain text is escaped", {text("a_b & {c}")}, "a\\_b \\& \\{c\\}"},
      {"every special character escaped",
       {text("# $ % & _ { } ~ ^ \\ < >")},
       "\\# \\$ \\% \\& \\_ \\{ \\} \\~{} \\^{} $\\backslash$ $<$ $>$"},
      {"line breaks and high bytes pass unchanged",
       {text("a\nb\r\n\xe9\t")},
       "a\nb\r\n\xe9\t"},
      {"title text dropped",
       {start(M_TITLE), text("Home"), end(M_TITLE), start(M_PARAGRAPH),
        text("x")},
       "\\par x"},
      {"unclosed title leaves the cell in the title state",
       {start(M_TITLE), text("Home")},
       "",
       walked_to_the_end,
       S_TITLE},
      {"walk starts from the cell: title state drops text",
       {text("x"), end(M_TITLE), text("y")},
       "y",
       walked_to_the_end,
       S_NORMAL,
       S_TITLE},
      {"walk starts from the cell: verbatim state writes raw text",
       {text("a_b")},
       "a_b",
       walked_to_the_end,
       S_VERBATIM,
       S_VERBATIM},
      {"list state at entry is handed back",
       {text("x")},
       "x",
       walked_to_the_end,
       S_LIST,
       S_LIST},
      {"empty text run writes nothing", {text("")}, ""},
  };
  for (const render_case& c : cases) check(c);
}

TEST(RenderMarks, HeadingsWithAndWithoutNumbers) {
  const std::pair<mark_kind, std::string_view> levels[] = {
      {M_HEADER_1, "\\section"},       {M_HEADER_2, "\\subsection"},
      {M_HEADER_3, "\\subsubsection"}, {M_HEADER_4, "\\paragraph"},
      {M_HEADER_5, "\\subparagraph"},  {M_HEADER_6, "\\subparagraph"},
  };
  for (const auto& [kind, command] : levels) {
    for (bool numbered : {false, true}) {
      std::string_view star = numbered ? "" : "*";
      SCOPED_TRACE(std::string(command) + (numbered ? " numbered" : ""));
      mark_list marks = {start(kind), text("Intro_1"), end(kind)};
      render_result result = render(marks, S_NORMAL, numbered);
      EXPECT_EQ(result.body,
                std::string(command) + std::string(star) + "{Intro\\_1}");
      EXPECT_EQ(result.returned, nullptr);
      EXPECT_EQ(result.cell, S_NORMAL);

      mark_list open_heading = {start(kind), text("x")};
      result = render(open_heading, S_NORMAL, numbered);
      EXPECT_EQ(result.body, std::string(command) + std::string(star) + "{x");
      EXPECT_EQ(result.cell, S_HEADER);
    }
  }
}

TEST(RenderMarks, FixedFragmentsAndStateChanges) {
  const render_case cases[] = {
      {"paragraph start and end",
       {start(M_PARAGRAPH), text("a"), end(M_PARAGRAPH)},
       "\\par a\\par "},
      {"item end writes a second item",
       {start(M_LIST_ITEM), text("a"), end(M_LIST_ITEM)},
       "\\item a\\item "},
      {"description title end writes a second opening",
       {start(M_DESC_TITLE), text("t"), end(M_DESC_TITLE)},
       "\\item[t\\item["},
      {"description text end writes a second bracket",
       {start(M_DESC_TEXT), text("d"), end(M_DESC_TEXT)},
       "]d]"},
      {"heading end with nothing open", {end(M_HEADER_3), text("x")}, "}x"},
      {"heading end with nothing open leaves the title state",
       {text("dropped"), end(M_HEADER_3), text("x")},
       "}x",
       walked_to_the_end,
       S_NORMAL,
       S_TITLE},
      {"heading end inside a title",
       {start(M_TITLE), start(M_HEADER_1), text("x"), end(M_HEADER_1),
        text("y"), end(M_TITLE)},
       "\\section*{x}y"},
      {"heading start inside a title ends the dropping",
       {start(M_TITLE), text("a"), start(M_HEADER_2), text("b"), end(M_TITLE),
        text("c")},
       "\\subsection*{bc"},
      {"title end with no title open",
       {end(M_TITLE), text("x")},
       "x",
       walked_to_the_end,
       S_NORMAL,
       S_HEADER},
      {"title start inside a heading drops text up to the heading end",
       {start(M_HEADER_1), text("a"), start(M_TITLE), text("b"),
        end(M_HEADER_1), text("c")},
       "\\section*{a}c"},
  };
  for (const render_case& c : cases) check(c);
}

TEST(RenderMarks, TypeStyles) {
  const std::pair<mark_kind, std::string_view> styles[] = {
      {M_EMPHASIS, "{\\it "},
      {M_TELETYPE, "{\\tt "},
      {M_BOLD, "{\\bf "},
      {M_ITALIC, "{\\it "},
      {M_UNDERLINE, "\\underline{"},
      {M_STRONG, "{\\bf "},
      {M_SAMPLE, "{\\tt "},
      {M_KEYBOARD, "{\\tt\\bf "},
      {M_VARIABLE, "{\\it "},
      {M_DEFINITION, "{\\bf\\it "},
      {M_CITATION, "{\\sc "},
  };
  for (const auto& [kind, opening] : styles) {
    SCOPED_TRACE(::testing::Message() << "kind " << kind);
    mark_list marks = {start(kind), text("x_y"), end(kind)};
    render_result result = render(marks, S_NORMAL);
    EXPECT_EQ(result.body, std::string(opening) + "x\\_y}");
    EXPECT_EQ(result.cell, S_NORMAL);

    // Nothing pairs starts with ends: a lone end writes its brace.
    mark_list lone_end = {text("a"), end(kind), text("b")};
    EXPECT_EQ(render(lone_end, S_NORMAL).body, "a}b");
  }
}

TEST(RenderMarks, KindsThatWriteNothingOfTheirOwn) {
  const mark_kind silent[] = {
      M_ANCHOR, M_ADDRESS,   M_PLAIN_TEXT, M_PREFORMATTED, M_PLAIN_REST,
      M_INDEX,  M_DIRECTORY, M_IMAGE,      M_CODE,         M_UNKNOWN,
  };
  for (mark_kind kind : silent) {
    SCOPED_TRACE(::testing::Message() << "kind " << kind);
    mark_list marks = {start(kind), text("x"), end(kind)};
    render_result result = render(marks, S_NORMAL);
    EXPECT_EQ(result.body, "x");
    EXPECT_EQ(result.returned, nullptr);
    EXPECT_EQ(result.cell, S_NORMAL);
    // They leave a title or heading state as it was.
    EXPECT_EQ(render(marks, S_TITLE).cell, S_TITLE);
    EXPECT_EQ(render(marks, S_HEADER).cell, S_HEADER);
  }
}

TEST(RenderMarks, ListsAndListings) {
  const render_case cases[] = {
      {"unordered list",
       {start(M_UNUM_LIST), start(M_LIST_ITEM), text("a"), start(M_LIST_ITEM),
        text("b"), end(M_UNUM_LIST)},
       "\\begin{itemize}\\item a\\item b\\end{itemize}"},
      {"closed list hands back the state the cell had at entry",
       {start(M_UNUM_LIST), start(M_LIST_ITEM), text("a"), end(M_UNUM_LIST)},
       "\\begin{itemize}\\item a\\end{itemize}",
       walked_to_the_end,
       S_HEADER,
       S_HEADER},
      {"ordered list",
       {start(M_NUM_LIST), start(M_LIST_ITEM), text("x"), end(M_NUM_LIST)},
       "\\begin{enumerate}\\item x\\end{enumerate}"},
      {"menu",
       {start(M_MENU), start(M_LIST_ITEM), text("x"), end(M_MENU)},
       "\\begin{itemize}\\item x\\end{itemize}"},
      {"description list",
       {start(M_DESC_LIST), start(M_DESC_TITLE), text("Term"),
        start(M_DESC_TEXT), text("Meaning"), end(M_DESC_LIST)},
       "\\begin{description}\\item[Term]Meaning\\end{description}"},
      {"directory writes nothing, its items do",
       {start(M_DIRECTORY), start(M_LIST_ITEM), text("x"), end(M_DIRECTORY)},
       "\\item x"},
      {"nested lists",
       {start(M_UNUM_LIST), start(M_LIST_ITEM), text("a"), start(M_NUM_LIST),
        start(M_LIST_ITEM), text("b"), end(M_NUM_LIST), start(M_LIST_ITEM),
        text("c"), end(M_UNUM_LIST), text("d")},
       "\\begin{itemize}\\item a\\begin{enumerate}\\item b\\end{enumerate}"
       "\\item c\\end{itemize}d"},
      {"ordered list closed by an unordered-list end",
       {start(M_NUM_LIST), start(M_LIST_ITEM), text("x"), end(M_UNUM_LIST)},
       "\\begin{enumerate}\\item x\\end{itemize}"},
      {"description list closed by a listing end",
       {start(M_DESC_LIST), start(M_DESC_TITLE), text("t"), end(M_LISTING_TEXT),
        text("a_b")},
       "\\begin{description}\\item[t\\end{verbatim}a\\_b"},
      {"listing closed by an ordered-list end",
       {start(M_LISTING_TEXT), text("a_b"), end(M_NUM_LIST), text("a_b")},
       "\\begin{verbatim}a_b\\end{enumerate}a\\_b"},
      {"menu closed by a description-list end",
       {start(M_MENU), text("m"), end(M_DESC_LIST)},
       "\\begin{itemize}m\\end{description}"},
      {"an end closes the innermost walk whatever opened it",
       {start(M_UNUM_LIST), start(M_NUM_LIST), text("x"), end(M_UNUM_LIST),
        text("y"), end(M_NUM_LIST), text("z")},
       "\\begin{itemize}\\begin{enumerate}x\\end{itemize}y\\end{enumerate}z"},
      {"listing writes text unchanged",
       {start(M_LISTING_TEXT), text("a_b"), end(M_LISTING_TEXT)},
       "\\begin{verbatim}a_b\\end{verbatim}"},
      {"listing leaves out DEL, which TeX refuses even there",
       {start(M_LISTING_TEXT), text("a\x7f_\x7f"), end(M_LISTING_TEXT)},
       "\\begin{verbatim}a_\\end{verbatim}"},
      {"listing keeps every special character",
       {start(M_LISTING_TEXT), text("\\ {} <&> ~^ #$%"), end(M_LISTING_TEXT),
        text("\\")},
       "\\begin{verbatim}\\ {} <&> ~^ #$%\\end{verbatim}$\\backslash$"},
      {"non-nesting end inside a listing does not close it",
       {start(M_LISTING_TEXT), text("x"), end(M_PLAIN_TEXT), text("y_")},
       "\\begin{verbatim}xy_",
       walked_to_the_end,
       S_VERBATIM},
      {"other tags inside a listing still write their fragments",
       {start(M_LISTING_TEXT), start(M_BOLD), text("a_b"), end(M_BOLD),
        start(M_LIST_ITEM), end(M_LISTING_TEXT)},
       "\\begin{verbatim}{\\bf a_b}\\item \\end{verbatim}"},
      {"heading end inside a listing: text after it is escaped",
       {start(M_LISTING_TEXT), text("a_b"), end(M_HEADER_1), text("a_b"),
        end(M_LISTING_TEXT), text("c_d")},
       "\\begin{verbatim}a_b}a\\_b\\end{verbatim}c\\_d"},
      {"title end inside a listing: text after it is escaped",
       {start(M_LISTING_TEXT), end(M_TITLE), text("a_b")},
       "\\begin{verbatim}a\\_b",
       walked_to_the_end,
       S_NORMAL},
      {"title around a list",
       {start(M_TITLE), start(M_UNUM_LIST), start(M_LIST_ITEM), text("t"),
        end(M_UNUM_LIST), text("after"), end(M_TITLE), text("x")},
       "\\begin{itemize}\\item t\\end{itemize}x"},
      {"listing inside a title writes its text",
       {start(M_TITLE), start(M_LISTING_TEXT), text("a_b"), end(M_LISTING_TEXT),
        text("dropped")},
       "\\begin{verbatim}a_b\\end{verbatim}",
       walked_to_the_end,
       S_TITLE},
      {"title left open inside a closed list has no effect after it",
       {start(M_UNUM_LIST), start(M_LIST_ITEM), start(M_TITLE), text("t"),
        end(M_UNUM_LIST), text("after")},
       "\\begin{itemize}\\item \\end{itemize}after"},
      {"heading left open inside a closed list: state back to normal",
       {start(M_UNUM_LIST), start(M_HEADER_2), text("h"), end(M_UNUM_LIST),
        text("after")},
       "\\begin{itemize}\\subsection*{h\\end{itemize}after",
       walked_to_the_end,
       S_NORMAL},
      {"heading around a closed list stays open after it",
       {start(M_HEADER_1), start(M_UNUM_LIST), end(M_HEADER_1),
        end(M_UNUM_LIST), text("x")},
       "\\section*{\\begin{itemize}}\\end{itemize}x",
       walked_to_the_end,
       S_HEADER},
  };
  for (const render_case& c : cases) check(c);
}

// A heading's text and a term's are arguments of commands that are not
// \long, where a blank line (read as \par) is an error; elsewhere it is a
// paragraph break and stays.
TEST(RenderMarks, BlankLinesInsideHeadingsAndTermsAreClosedUp) {
  const render_case cases[] = {
      {"heading",
       {start(M_HEADER_2), text("a\n \nb\n"), end(M_HEADER_2)},
       "\\subsection*{a\n b\n}"},
      {"heading, CR LF line ends",
       {start(M_HEADER_1), text("a\r\n\r\nb"), end(M_HEADER_1)},
       "\\section*{a\r\nb}"},
      {"heading, blank line across a tag that writes nothing",
       {start(M_HEADER_3), text("a\n"), start(M_ANCHOR), end(M_ANCHOR),
        text("\nb"), end(M_HEADER_3)},
       "\\subsubsection*{a\nb}"},
      {"heading, a style between the line ends keeps both",
       {start(M_HEADER_3), text("a\n"), start(M_BOLD), end(M_BOLD), text("\nb"),
        end(M_HEADER_3)},
       "\\subsubsection*{a\n{\\bf }\nb}"},
      {"heading, a style holding the blank line",
       {start(M_HEADER_4), start(M_ITALIC), text("a\n\t\nb"), end(M_ITALIC),
        end(M_HEADER_4)},
       "\\paragraph*{{\\it a\n\tb}}"},
      {"term, but not its description",
       {start(M_DESC_LIST), start(M_DESC_TITLE), text("t\n \nu\n"),
        start(M_DESC_TEXT), text("d\n \ne"), end(M_DESC_LIST)},
       "\\begin{description}\\item[t\n u\n]d\n \ne\\end{description}"},
      {"text after the heading keeps its blank lines",
       {start(M_HEADER_1), text("h"), end(M_HEADER_1), text("a\n\nb")},
       "\\section*{h}a\n\nb"},
      {"text after a nested list in a term's description keeps them",
       {start(M_DESC_LIST), start(M_DESC_TITLE), text("t"), start(M_DESC_TEXT),
        start(M_UNUM_LIST), start(M_LIST_ITEM), text("x\n\ny"),
        end(M_UNUM_LIST), end(M_DESC_LIST)},
       "\\begin{description}\\item[t]\\begin{itemize}\\item x\n\ny"
       "\\end{itemize}\\end{description}"},
  };
  for (const render_case& c : cases) check(c);
}

// A run-in heading (\paragraph, \subparagraph) before anything of a list's
// first item is typeset stops LaTeX ("perhaps a missing \item"), unless the
// paragraph, and with it the item's label, is started first. Anywhere else
// the heading is written as it is.
TEST(RenderMarks, RunInHeadingFirstInAListStartsTheParagraph) {
  auto in_list = [](mark_kind list, mark_list marks) {
    marks.push_front(start(list));
    marks.push_back(end(list));
    return marks;
  };
  auto heading = [](mark_kind kind, std::string title) -> mark_list {
    return {start(kind), text(std::move(title)), end(kind)};
  };
  auto then = [](mark_list first, const mark_list& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
  };
  const mark_list item = {start(M_LIST_ITEM)};
  const mark_list h4 = heading(M_HEADER_4, "h");
  const render_case cases[] = {
      {"h4 first in the first item", in_list(M_UNUM_LIST, then(item, h4)),
       "\\begin{itemize}\\item \\leavevmode\\paragraph*{h}\\end{itemize}"},
      {"h5 first in the first description",
       in_list(M_DESC_LIST,
               then({start(M_DESC_TITLE), text("t"), start(M_DESC_TEXT)},
                    heading(M_HEADER_5, "h"))),
       "\\begin{description}\\item[t]\\leavevmode\\subparagraph*{h}"
       "\\end{description}"},
      {"h6 after a paragraph break and tags that write nothing",
       in_list(M_NUM_LIST,
               then({start(M_LIST_ITEM), start(M_PARAGRAPH), start(M_ANCHOR),
                     end(M_ANCHOR), start(M_TITLE), text("t"), end(M_TITLE)},
                    heading(M_HEADER_6, "h"))),
       "\\begin{enumerate}\\item \\par \\leavevmode\\subparagraph*{h}"
       "\\end{enumerate}"},
      {"first item of a list nested after text",
       in_list(M_UNUM_LIST, then({start(M_LIST_ITEM), text("x")},
                                 in_list(M_MENU, then(item, h4)))),
       "\\begin{itemize}\\item x\\begin{itemize}\\item "
       "\\leavevmode\\paragraph*{h}\\end{itemize}\\end{itemize}"},
      {"only the first of two run-in headings",
       in_list(M_UNUM_LIST, then(then(item, h4), h4)),
       "\\begin{itemize}\\item \\leavevmode\\paragraph*{h}\\paragraph*{h}"
       "\\end{itemize}"},
      {"second item",
       in_list(M_UNUM_LIST,
               then({start(M_LIST_ITEM), text("x")}, then(item, h4))),
       "\\begin{itemize}\\item x\\item \\paragraph*{h}\\end{itemize}"},
      {"second item after an empty first one, whose label it typesets",
       in_list(M_UNUM_LIST, then(then(item, item), h4)),
       "\\begin{itemize}\\item \\item \\paragraph*{h}\\end{itemize}"},
      {"second description",
       in_list(
           M_DESC_LIST,
           then({start(M_DESC_TITLE), text("t"), start(M_DESC_TEXT), text("d"),
                 start(M_DESC_TITLE), text("u"), start(M_DESC_TEXT)},
                h4)),
       "\\begin{description}\\item[t]d\\item[u]\\paragraph*{h}"
       "\\end{description}"},
      {"after text",
       in_list(M_UNUM_LIST, then({start(M_LIST_ITEM), text("x")}, h4)),
       "\\begin{itemize}\\item x\\paragraph*{h}\\end{itemize}"},
      {"after a listing",
       in_list(M_UNUM_LIST, then({start(M_LIST_ITEM), start(M_LISTING_TEXT),
                                  text("x"), end(M_LISTING_TEXT)},
                                 h4)),
       "\\begin{itemize}\\item \\begin{verbatim}x\\end{verbatim}"
       "\\paragraph*{h}\\end{itemize}"},
      {"after a display heading",
       in_list(M_UNUM_LIST, then(then(item, heading(M_HEADER_3, "d")), h4)),
       "\\begin{itemize}\\item \\subsubsection*{d}\\paragraph*{h}"
       "\\end{itemize}"},
      {"outside any list", then({start(M_PARAGRAPH)}, h4),
       "\\par \\paragraph*{h}"},
  };
  for (const render_case& c : cases) check(c);
}

TEST(RenderMarks, ListEndingInsideNestedWalks) {
  const render_case cases[] = {
      {"open unordered list",
       {start(M_UNUM_LIST), start(M_LIST_ITEM), text("x")},
       "\\begin{itemize}\\item x",
       walked_to_the_end,
       S_LIST},
      {"open menu",
       {start(M_MENU)},
       "\\begin{itemize}",
       walked_to_the_end,
       S_LIST},
      {"open ordered list",
       {start(M_NUM_LIST)},
       "\\begin{enumerate}",
       walked_to_the_end,
       S_LIST},
      {"open description list",
       {start(M_DESC_LIST)},
       "\\begin{description}",
       walked_to_the_end,
       S_DESC_LIST},
      {"open listing",
       {start(M_LISTING_TEXT), text("a_b")},
       "\\begin{verbatim}a_b",
       walked_to_the_end,
       S_VERBATIM},
      {"innermost open walk's state is handed out",
       {start(M_UNUM_LIST), start(M_DESC_LIST), start(M_LISTING_TEXT)},
       "\\begin{itemize}\\begin{description}\\begin{verbatim}",
       walked_to_the_end,
       S_VERBATIM},
      {"inner walk closed, outer left open",
       {start(M_DESC_LIST), start(M_UNUM_LIST), end(M_UNUM_LIST), text("x")},
       "\\begin{description}\\begin{itemize}\\end{itemize}x",
       walked_to_the_end,
       S_DESC_LIST},
      {"title opened inside an open list",
       {start(M_UNUM_LIST), start(M_TITLE), text("t")},
       "\\begin{itemize}",
       walked_to_the_end,
       S_TITLE},
      {"list inside a title, list left open",
       {start(M_TITLE), start(M_NUM_LIST), text("t")},
       "\\begin{enumerate}t",
       walked_to_the_end,
       S_LIST},
      {"heading end inside an open list",
       {start(M_UNUM_LIST), end(M_HEADER_4), text("x")},
       "\\begin{itemize}}x",
       walked_to_the_end,
       S_NORMAL},
  };
  for (const render_case& c : cases) check(c);
}

/// What the walk writes where text in a verbatim environment wrote
/// "\end{verbatim}": that ends the environment, so the text is shown on a
/// line of its own and the environment opened again.
const std::string shown_end =
    "\\end{verbatim}\\noindent\\verb|\\end{verbatim}|\\begin{verbatim}";

// LaTeX ends a verbatim environment at the first "\end{verbatim}" it reads,
// whoever wrote it: the listing's text, a tag's fragment or escaped text
// written while the environment is open. Only a listing's end closes it.
TEST(RenderMarks, NothingWrittenIntoAListingEndsItsEnvironment) {
  const mark_up listing = start(M_LISTING_TEXT);
  const mark_up listing_end = end(M_LISTING_TEXT);
  // Ends the raw text of a listing but not the listing.
  const mark_up raw_end = end(M_PLAIN_TEXT);
  const render_case cases[] = {
      {"whole in one run",
       {listing, text("\\end{verbatim}\\input{x}\\begin{verbatim}"),
        listing_end},
       "\\begin{verbatim}" + shown_end +
           "\\input{x}\\begin{verbatim}\\end{verbatim}"},
      {"twice, and after a false start",
       {listing, text("a\\end{verbatim}b\\end\\end{verbatim}c"), listing_end},
       "\\begin{verbatim}a" + shown_end + "b\\end" + shown_end +
           "c\\end{verbatim}"},
      {"over runs",
       {listing, text("\\end{verb"), text("atim}"), listing_end},
       "\\begin{verbatim}" + shown_end + "\\end{verbatim}"},
      {"over a tag that writes nothing",
       {listing, text("\\end{"), raw_end, start(M_ANCHOR), text("verbatim}")},
       "\\begin{verbatim}" + shown_end,
       walked_to_the_end,
       S_VERBATIM},
      {"completed by a type style's end",
       {listing, text("\\end{verbatim"), raw_end, end(M_BOLD), text("a_b")},
       "\\begin{verbatim}" + shown_end + "a_b",
       walked_to_the_end,
       S_VERBATIM},
      {"completed by a heading's end, escaped text after it",
       {listing, text("\\end{verbatim"), raw_end, end(M_HEADER_2), text("a_b")},
       "\\begin{verbatim}" + shown_end + "a\\_b",
       walked_to_the_end,
       S_NORMAL},
      {"through escaped text after the title's end",
       {listing, text("\\end{"), raw_end, end(M_TITLE), text("verbatim"),
        end(M_BOLD)},
       "\\begin{verbatim}" + shown_end,
       walked_to_the_end,
       S_NORMAL},
      {"through escaped text after a list's end",
       {start(M_UNUM_LIST), listing, raw_end, end(M_UNUM_LIST), text("x"),
        start(M_LISTING_TEXT), text("\\end{verbatim}")},
       "\\begin{itemize}\\begin{verbatim}\\end{itemize}x\\begin{verbatim}" +
           shown_end,
       walked_to_the_end,
       S_VERBATIM},
      {"all but its end at the end of the walk",
       {listing, text("x\\end{verbatim")},
       "\\begin{verbatim}x\\end{verbatim",
       walked_to_the_end,
       S_VERBATIM},
      {"all but its end before the listing's end",
       {listing, text("\\end{verbatim"), listing_end, text("}")},
       "\\begin{verbatim}\\end{verbatim\\end{verbatim}\\}"},
      {"broken by a paragraph tag's fragment",
       {listing, text("\\end{verbatim"), raw_end, start(M_PARAGRAPH),
        end(M_BOLD)},
       "\\begin{verbatim}\\end{verbatim\\par }",
       walked_to_the_end,
       S_VERBATIM},
      {"near misses",
       {listing, text("\\end {verbatim}\\end{verbatim*}\\end{verb"), text("\n"),
        text("atim}"), listing_end},
       "\\begin{verbatim}\\end {verbatim}\\end{verbatim*}\\end{verb\natim}"
       "\\end{verbatim}"},
      {"in a listing inside a list",
       {start(M_UNUM_LIST), start(M_LIST_ITEM), listing,
        text("\\end{verbatim}"), listing_end, end(M_UNUM_LIST)},
       "\\begin{itemize}\\item \\begin{verbatim}" + shown_end +
           "\\end{verbatim}\\end{itemize}"},
      {"walk starting in the verbatim state",
       {text("\\end{verbatim}x")},
       shown_end + "x",
       walked_to_the_end,
       S_VERBATIM,
       S_VERBATIM},
  };
  for (const render_case& c : cases) check(c);
}

// A listing's end closes the open verbatim environment even from inside a
// list or another listing; the outer listing's text after it stands outside
// any environment and is escaped.
TEST(RenderMarks, ListingTextAfterItsEnvironmentClosedIsEscaped) {
  const render_case cases[] = {
      {"a list inside the listing closed by a listing end",
       {start(M_LISTING_TEXT), end(M_PLAIN_TEXT), start(M_UNUM_LIST),
        end(M_LISTING_TEXT), text("\\input{x}")},
       "\\begin{verbatim}\\begin{itemize}\\end{verbatim}$\\backslash$input\\{"
       "x\\}",
       walked_to_the_end,
       S_VERBATIM},
      {"a listing inside the listing",
       {start(M_LISTING_TEXT), end(M_PLAIN_TEXT), start(M_LISTING_TEXT),
        text("a_b"), end(M_LISTING_TEXT), text("\\end{verbatim}")},
       "\\begin{verbatim}\\begin{verbatim}a_b\\end{verbatim}"
       "$\\backslash$end\\{verbatim\\}",
       walked_to_the_end,
       S_VERBATIM},
      {"a list opened and closed inside the listing keeps it open",
       {start(M_LISTING_TEXT), end(M_PLAIN_TEXT), start(M_NUM_LIST),
        end(M_NUM_LIST), text("a_b\\end{verbatim}")},
       "\\begin{verbatim}\\begin{enumerate}\\end{enumerate}a_b" + shown_end,
       walked_to_the_end,
       S_VERBATIM},
  };
  for (const render_case& c : cases) check(c);
}

// LaTeX's verbatim environment does not work inside a command's argument,
// where the listing's text would be read as LaTeX: there a listing writes no
// environment, and its text is escaped as the argument's, without blank
// lines. Arguments are followed as TeX reads them: braces written by any tag
// count, and an item's "[" is its optional argument up to a "]" outside
// groups.
TEST(RenderMarks, ListingInsideAnArgumentIsEscaped) {
  const mark_up listing = start(M_LISTING_TEXT);
  const mark_up listing_end = end(M_LISTING_TEXT);
  // Ends the raw text of a listing but not the listing.
  const mark_up raw_end = end(M_PLAIN_TEXT);
  const std::string hostile = "}]\\input{x}\\end{verbatim}";
  const std::string escaped =
      "\\}]$\\backslash$input\\{x\\}$\\backslash$end"
      "\\{verbatim\\}";
  const render_case cases[] = {
      {"in a heading",
       {start(M_HEADER_1), listing, text(hostile), listing_end,
        end(M_HEADER_1)},
       "\\section*{" + escaped + "}"},
      {"in a numbered heading",
       {start(M_HEADER_4), listing, text(hostile), listing_end,
        end(M_HEADER_4)},
       "\\paragraph{" + escaped + "}",
       walked_to_the_end,
       S_NORMAL,
       S_NORMAL,
       true},
      {"in an underline",
       {start(M_UNDERLINE), listing, text(hostile), listing_end,
        end(M_UNDERLINE)},
       "\\underline{" + escaped + "}"},
      {"in a description term",
       {start(M_DESC_LIST), start(M_DESC_TITLE), listing, text(hostile),
        listing_end, start(M_DESC_TEXT), text("d"), end(M_DESC_LIST)},
       "\\begin{description}\\item[" + escaped + "]d\\end{description}"},
      {"in an item's optional argument",
       {start(M_UNUM_LIST), start(M_LIST_ITEM), text("["), listing,
        text(hostile), listing_end, end(M_UNUM_LIST)},
       "\\begin{itemize}\\item [" + escaped + "\\end{itemize}"},
      {"in an item's optional argument after spaces and a line end",
       {start(M_LIST_ITEM), text(" \t\r\n"), start(M_ANCHOR), text(" [a"),
        listing, text("b")},
       "\\item  \t\r\n [ab",
       walked_to_the_end,
       S_ARGUMENT_LISTING},
      {"in an item's optional argument the item's end wrote",
       {end(M_LIST_ITEM), text("["), listing, text("}")},
       "\\item [\\}",
       walked_to_the_end,
       S_ARGUMENT_LISTING},
      {"in a group inside a heading",
       {start(M_HEADER_2), start(M_BOLD), listing, text("}"), listing_end,
        end(M_BOLD), end(M_HEADER_2)},
       "\\subsection*{{\\bf \\}}}"},
      {"in a heading whose brace a type style's end closed",
       {start(M_HEADER_1), start(M_ITALIC), end(M_HEADER_1), listing,
        text("}x"), listing_end},
       "\\section*{{\\it }\\}x"},
      {"in a term whose bracket stands in a group",
       {start(M_DESC_TITLE), start(M_BOLD), start(M_DESC_TEXT), listing,
        text("}]x"), listing_end},
       "\\item[{\\bf ]\\}]x"},
      {"in an item's argument after a '}', which ends it only with an error",
       {start(M_LIST_ITEM), text("["), end(M_BOLD), listing, text("}")},
       "\\item [}\\}",
       walked_to_the_end,
       S_ARGUMENT_LISTING},
      {"in a heading after a paragraph break, which ends it only with an error",
       {start(M_HEADER_1), start(M_PARAGRAPH), listing, text("}"), listing_end},
       "\\section*{\\par \\}",
       walked_to_the_end,
       S_HEADER},
      {"blank lines closed up",
       {start(M_HEADER_3), text("a\n"), listing, text("\n\nb\r\n\r\n"),
        listing_end, end(M_HEADER_3)},
       "\\subsubsection*{a\nb\r\n}"},
      {"a listing inside it",
       {start(M_UNDERLINE), listing, text("a"), raw_end, listing, text("b"),
        listing_end, text("c"), listing_end, end(M_UNDERLINE)},
       "\\underline{abc}"},
      {"tags inside it write their fragments",
       {start(M_HEADER_1), listing, raw_end, start(M_BOLD), text("a_b"),
        end(M_BOLD), listing_end, end(M_HEADER_1)},
       "\\section*{{\\bf a\\_b}}"},
      {"closed by another nesting end, which writes its own",
       {start(M_HEADER_1), listing, raw_end, end(M_UNUM_LIST), text("x"),
        end(M_HEADER_1)},
       "\\section*{\\end{itemize}x}"},
      {"left open",
       {start(M_UNDERLINE), listing, text("a\\b")},
       "\\underline{a$\\backslash$b",
       walked_to_the_end,
       S_ARGUMENT_LISTING},
  };
  for (const render_case& c : cases) check(c);
}

// Where TeX reads no argument the listing keeps its verbatim environment,
// byte for byte as before.
TEST(RenderMarks, ListingAfterAnArgumentKeepsItsEnvironment) {
  const mark_up listing = start(M_LISTING_TEXT);
  const mark_up listing_end = end(M_LISTING_TEXT);
  const std::string verbatim = "\\begin{verbatim}}]_\\end{verbatim}";
  const render_case cases[] = {
      {"after a heading",
       {start(M_HEADER_1), text("a"), end(M_HEADER_1), listing, text("}]_"),
        listing_end},
       "\\section*{a}" + verbatim},
      {"after an underline with a group inside",
       {start(M_UNDERLINE), start(M_BOLD), end(M_BOLD), end(M_UNDERLINE),
        listing, text("}]_"), listing_end},
       "\\underline{{\\bf }}" + verbatim},
      {"after a term",
       {start(M_DESC_TITLE), text("t"), start(M_DESC_TEXT), listing,
        text("}]_"), listing_end},
       "\\item[t]" + verbatim},
      {"after a term its text ended",
       {start(M_DESC_TITLE), text("t]"), listing, text("}]_"), listing_end},
       "\\item[t]" + verbatim},
      {"after an item's optional argument",
       {start(M_LIST_ITEM), text(" [a] "), listing, text("}]_"), listing_end},
       "\\item  [a] " + verbatim},
      {"right after an item",
       {start(M_LIST_ITEM), listing, text("}]_"), listing_end},
       "\\item " + verbatim},
      {"after a '[' not first in an item",
       {start(M_LIST_ITEM), text("a["), listing, text("}]_"), listing_end},
       "\\item a[" + verbatim},
      {"after a '[' behind a tag's fragment",
       {start(M_LIST_ITEM), start(M_BOLD), end(M_BOLD), text("["), listing,
        text("}]_"), listing_end},
       "\\item {\\bf }[" + verbatim},
      {"after a '[' behind a blank line",
       {start(M_LIST_ITEM), text("\n \t\n["), listing, text("}]_"),
        listing_end},
       "\\item \n \t\n[" + verbatim},
      {"after a '[' behind a blank line of two carriage returns",
       {start(M_LIST_ITEM), text("\r"), text("\r["), listing, text("}]_"),
        listing_end},
       "\\item \r\r[" + verbatim},
      {"after a '[' behind a DEL",
       {start(M_LIST_ITEM), text("\x7f["), listing, text("}]_"), listing_end},
       "\\item {}[" + verbatim},
      {"after a '[' dropped with the title",
       {start(M_LIST_ITEM), start(M_TITLE), text("["), end(M_TITLE), listing,
        text("}]_"), listing_end},
       "\\item " + verbatim},
      {"after an item written into a listing",
       {listing, start(M_LIST_ITEM), text("["), listing_end, listing,
        text("}]_"), listing_end},
       "\\begin{verbatim}\\item [\\end{verbatim}" + verbatim},
  };
  for (const render_case& c : cases) check(c);
}

/// Whether TeX reads an argument after "\item " and then `pieces`, written
/// as text.
bool reads_argument_after_item(const std::vector<std::string>& pieces) {
  argument_reader reader;
  reader.follow(argument_effect::starts_item);
  for (const std::string& piece : pieces) {
    if (reader.follows_text()) reader.follow_text(piece);
  }
  return reader.in_argument();
}

// \item looks past spaces, NUL and a line end for the "[" of its optional
// argument; a blank line is \par, which it does not look past.
TEST(ArgumentReader, ItemLooksForItsOptionalArgumentAsTeXReads) {
  const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
      {{"["}, true},
      {{" \t", std::string("\0", 1), "[x"}, true},
      {{"\n["}, true},
      {{"\r["}, true},
      {{"\r\n["}, true},
      {{"\r", "\n", " ["}, true},
      {{"x["}, false},
      {{"\f["}, false},
      {{"\x01["}, false},
      {{"[x]"}, false},
      {{"[x", "]y"}, false},
      {{"\n\n["}, false},
      {{"\n", "\n["}, false},
      {{"\r\r["}, false},
      {{"\n\r["}, false},
      {{"\r\n\r\n["}, false},
      {{"\r \n["}, false},
      {{"\n \t\n["}, false},
      {{std::string("\n\0\n[", 4)}, false},
  };
  for (const auto& [pieces, reads] : cases) {
    std::string text;
    for (const std::string& piece : pieces) text += piece;
    SCOPED_TRACE(::testing::PrintToString(text));
    EXPECT_EQ(reads_argument_after_item(pieces), reads);
  }
}

TEST(RenderMarks, StrayEndAtTopLevelEndsTheWalk) {
  const render_case cases[] = {
      {"unordered-list end",
       {text("a"), end(M_UNUM_LIST), text("b")},
       "a\\end{itemize}",
       1},
      {"cell keeps its entry value",
       {text("a"), end(M_NUM_LIST), text("b")},
       "a\\end{enumerate}",
       1,
       S_HEADER,
       S_HEADER},
      {"state changes before the stray end do not reach the cell",
       {start(M_TITLE), text("t"), end(M_DESC_LIST), end(M_TITLE), text("b")},
       "\\end{description}",
       2,
       S_NORMAL},
      {"listing end",
       {end(M_LISTING_TEXT), start(M_UNUM_LIST)},
       "\\end{verbatim}",
       0},
      {"menu end", {end(M_MENU), end(M_MENU)}, "\\end{itemize}", 0},
      {"stray end after a closed list",
       {start(M_UNUM_LIST), end(M_UNUM_LIST), end(M_NUM_LIST), text("z")},
       "\\begin{itemize}\\end{itemize}\\end{enumerate}",
       2},
      {"later records unwritten, open list included",
       {end(M_DESC_LIST), start(M_UNUM_LIST), start(M_LIST_ITEM), text("x")},
       "\\end{description}",
       0,
       S_VERBATIM,
       S_VERBATIM},
  };
  for (const render_case& c : cases) check(c);
}

TEST(RenderMarks, DeepNestingKeepsTheInnermostState) {
  constexpr std::size_t depth = 1'000'000;
  mark_list marks(depth, start(M_UNUM_LIST));
  marks.push_back(start(M_DESC_LIST));
  render_result open = render(marks, S_NORMAL);
  EXPECT_EQ(open.returned, nullptr);
  EXPECT_EQ(open.cell, S_DESC_LIST);
  EXPECT_EQ(open.body.size(),
            depth * std::string_view("\\begin{itemize}").size() +
                std::string_view("\\begin{description}").size());

  // Close every level, then one more: that last end is stray.
  marks.insert(marks.end(), depth + 1, end(M_NUM_LIST));
  marks.push_back(end(M_UNUM_LIST));
  marks.push_back(text("x"));
  render_result closed = render(marks, S_TITLE);
  EXPECT_EQ(closed.returned, &marks[marks.size() - 2]);
  EXPECT_EQ(closed.cell, S_TITLE);
  EXPECT_TRUE(closed.body.ends_with("\\end{enumerate}\\end{itemize}"));
}

}  // namespace
}  // namespace tagweave
