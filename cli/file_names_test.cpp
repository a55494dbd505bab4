#include "cli/file_names.h"

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

TEST(DeriveFileNames, AsksOnlyAboutANameWithoutHtml) {
  std::vector<std::string> asked;
  auto ask = [&](const std::string& name) {
    asked.push_back(name);
    return false;
  };
  derive_file_names("page.html", ask);
  derive_file_names("page", ask);
  EXPECT_EQ(asked, std::vector<std::string>{"page"});
}

}  // namespace
}  // namespace tagweave
