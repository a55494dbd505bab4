// One whole conversion, inside the library and through its public API.
#include "early/convert/document.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <tagweave/tagweave.h>

#include <string>
#include <vector>

namespace tagweave {
namespace {

using namespace std::string_literals;

TEST(ConvertDocument, ReportsWhetherTheDocumentWasWrittenWhole) {
  struct outcome_case {
    std::string text;
    std::string body;
    bool unterminated_tag;
    bool stray_list_end;
  };
  const std::vector<outcome_case> cases = {
      {"<p>x &lt; y\n", "\\par x $<$ y\n", false, false},
      {"", "", false, false},
      {"ab <i", "ab ", true, false},
      {"a</ul>b", "a\\end{itemize}", false, true},
      {"<ul><li>a</ul></menu>b",
       "\\begin{itemize}\\item a\\end{itemize}"
       "\\end{itemize}",
       false, true},
      {"</ol>x<b", "\\end{enumerate}", true, true},
  };
  for (const outcome_case& c : cases) {
    SCOPED_TRACE(c.text);
    byte_sink dest;
    conversion_status status = convert_document(c.text, dest, {});
    EXPECT_EQ(dest.contents(), testing::default_document(c.body));
    EXPECT_EQ(status.unterminated_tag, c.unterminated_tag);
    EXPECT_EQ(status.stray_list_end, c.stray_list_end);
    EXPECT_EQ(status.whole(), !c.unterminated_tag && !c.stray_list_end);
  }
}

TEST(PublicApi, AppliesTheLoadingRulesOfTheCommandLine) {
  // The command line folds line ends and drops NULs while loading a file;
  // the library does the same to the text it is given, so a listing keeps
  // the same lines either way.
  const std::string html = "<listing>\na\n\n\nb\r\r\0c</listing>\n"s;
  std::string latex;
  EXPECT_TRUE(convert(html, {}, latex).whole());
  // The line feed after </listing> is a blank run, dropped.
  EXPECT_EQ(latex, testing::default_document(
                       "\\begin{verbatim}a\nb\rc\\end{verbatim}"));
}

TEST(PublicApi, StringAndFunctionGiveTheSameBytes) {
  document_options options;
  options.title = "T & U";
  options.author = "A";
  options.numbered_headings = true;
  options.page_break = true;
  options.contents = true;
  options.header = "\\relax\n";
  options.footer = "% end\n";
  options.style = "[12pt]{report}";
  // Large enough that the function gets it in several pieces.
  std::string html;
  for (int i = 0; i < 20000; ++i) {
    html += "<h2>Part " + std::to_string(i) + "</h2><p>x_" + std::to_string(i) +
            "\n";
  }

  std::string into_string = "kept|";
  conversion_status to_string = convert(html, options, into_string);
  std::string from_function;
  int pieces = 0;
  conversion_status to_function =
      convert(html, options, [&](std::string_view piece) {
        from_function += piece;
        ++pieces;
      });

  EXPECT_TRUE(to_string.whole());
  EXPECT_TRUE(to_function.whole());
  EXPECT_EQ(into_string, "kept|" + from_function) << "appends to the string";
  EXPECT_GT(pieces, 1);
  EXPECT_NE(from_function.find("\\subsection{Part 19999}"), std::string::npos)
      << "numbered headings";
  EXPECT_NE(from_function.find("\\documentstyle[12pt]{report}\n"),
            std::string::npos);
}

TEST(PublicApi, ReportsWhatTheCommandLineReports) {
  std::string latex;
  conversion_status status = convert("a</ul>b<i", {}, latex);
  EXPECT_TRUE(status.unterminated_tag);
  EXPECT_TRUE(status.stray_list_end);
  EXPECT_FALSE(status.whole());
}

TEST(PublicApi, AnExceptionFromTheWriterReachesTheCaller) {
  struct stop {};
  EXPECT_THROW(
      convert("<p>x\n", {}, [](std::string_view) -> void { throw stop{}; }),
      stop);
}

}  // namespace
}  // namespace tagweave
