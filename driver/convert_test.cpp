#include "driver/convert.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tagweave {
namespace {

TEST(DeriveFileNames, FromTheArgumentAndWhatCanBeOpened) {
  struct name_case {
    std::string argument;
    std::set<std::string> existing;
    std::string input;
    std::string output;
  };
  const std::vector<name_case> cases = {
      {"page.html", {}, "page.html", "page.tex"},
      {"page", {"page"}, "page", "page.tex"},
      {"page", {"page.html"}, "page.html", "page.tex"},
      {"page", {}, "page.html", "page.tex"},
      {"page.htm", {}, "page.htm.html", "page.htm.tex"},
      {"page.htm", {"page.htm"}, "page.htm", "page.htm.tex"},
      {"page.HTML", {"page.HTML"}, "page.HTML", "page.HTML.tex"},
      {"page.HTML", {}, "page.HTML.html", "page.HTML.tex"},
      {"old.d/page", {}, "old.d/page.html", "old.d/page.tex"},
      {"dir.html/page", {}, "dir.html/page.html", "dir.html/page.tex"},
      {"a.html.html", {}, "a.html.html", "a.html.tex"},
      {".html", {}, ".html", ".tex"},
      {"", {}, ".html", ".tex"},
      {"-n", {}, "-n.html", "-n.tex"},
      {"page.html ", {}, "page.html .html", "page.html .tex"},
      {"page.tex", {"page.tex"}, "page.tex", "page.tex.tex"},
  };
  for (const name_case& c : cases) {
    SCOPED_TRACE("argument \"" + c.argument + "\"");
    file_names names = derive_file_names(
        c.argument,
        [&](const std::string& name) { return c.existing.count(name) != 0; });
    EXPECT_EQ(names.input, c.input);
    EXPECT_EQ(names.output, c.output);
  }
}

TEST(ConvertDocument, ReportsWhetherTheDocumentWasWrittenWhole) {
  struct outcome_case {
    std::string text;
    std::string body;
    split_status split;
    bool abnormal_exit;
  };
  const std::vector<outcome_case> cases = {
      {"<p>x &lt; y\n", "\\par x $<$ y\n", split_status::complete, false},
      {"", "", split_status::complete, false},
      {"ab <i", "ab ", split_status::unterminated_tag, false},
      {"a</ul>b", "a\\end{itemize}", split_status::complete, true},
      {"<ul><li>a</ul></menu>b",
       "\\begin{itemize}\\item a\\end{itemize}"
       "\\end{itemize}",
       split_status::complete, true},
  };
  for (const outcome_case& c : cases) {
    SCOPED_TRACE(c.text);
    RunOptions options;
    byte_sink dest;
    conversion_outcome outcome = convert_document(c.text, dest, options);
    EXPECT_EQ(dest.contents(), testing::default_document(c.body));
    EXPECT_EQ(outcome.split, c.split);
    EXPECT_EQ(outcome.abnormal_exit, c.abnormal_exit);
    EXPECT_EQ(outcome.whole(),
              !c.abnormal_exit && c.split == split_status::complete);
  }
}

}  // namespace
}  // namespace tagweave
