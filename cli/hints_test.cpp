#include "cli/hints.h"

#include <gtest/gtest.h>

namespace tagweave {
namespace {

TEST(Hints, Html5Doctype) {
  struct page_case {
    std::string_view page;
    bool declares;
  };
  const page_case cases[] = {
      {"<!DOCTYPE html>\n<p>x", true},
      {"<!doctype HTML >", true},
      {"\xEF\xBB\xBF \r\n\t<!DocType\nhtml>", true},
      {"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\">", false},
      {"<!DOCTYPE html", false},
      {"<!DOCTYPEhtml>", false},
      {"<!DOCTYPE htmlx>", false},
      {"<p>x</p><!DOCTYPE html>", false},
      {"", false},
  };
  for (const page_case& c : cases) {
    EXPECT_EQ(declares_html5_doctype(c.page), c.declares) << c.page;
  }
}

TEST(Hints, TexFileGivenAsStyle) {
  EXPECT_TRUE(looks_like_tex_file("out.tex"));
  EXPECT_TRUE(looks_like_tex_file("dir/out.tex"));
  EXPECT_FALSE(looks_like_tex_file("[12pt]{report}"));
  EXPECT_FALSE(looks_like_tex_file("out.texi"));
}

}  // namespace
}  // namespace tagweave
