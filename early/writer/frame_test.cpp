#include "early/writer/frame.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tagweave {
namespace {

using testing::banner;
const std::string article_start =
    "\\documentstyle{article}\n"
    "\\begin{document}\n";

struct frame_case {
  const char* name;
  std::function<void(document_options&)> set;
  std::string preamble;  // after the banner
  std::string closing;
};

TEST(WriteFrame, PreambleAndClosingFollowTheOptions) {
  const std::vector<frame_case> cases = {
      {"no options", [](document_options&) {}, article_start,
       "\\end{document}\n"},
      {"title with an ampersand", [](document_options& o) { o.title = "Q&A"; },
       article_start + "\\title{Q\\&A}\n"
                       "\\author{}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      {"an empty title still makes a title block",
       [](document_options& o) { o.title = ""; },
       article_start + "\\title{}\n"
                       "\\author{}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      // \maketitle needs a title: "No \title given" otherwise.
      {"author without a title gets an empty title",
       [](document_options& o) { o.author = "J. ~Doe"; },
       article_start + "\\title{}\n"
                       "\\author{J. \\~{}Doe}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      // \author is not \long, \title is: only the author loses blank lines.
      {"blank lines in the author are closed up, in the title kept",
       [](document_options& o) {
         o.title = "T\n\nU";
         o.author = "A\n \nB\r\n\r\nC";
       },
       article_start + "\\title{T\n\nU}\n"
                       "\\author{A\n B\r\nC}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      {"page break alone", [](document_options& o) { o.page_break = true; },
       article_start, "\\end{document}\n"},
      {"contents without page break",
       [](document_options& o) { o.contents = true; },
       article_start + "\\tableofcontents \n", "\\end{document}\n"},
      {"page break with contents",
       [](document_options& o) {
         o.page_break = true;
         o.contents = true;
       },
       article_start + "\\tableofcontents \n"
                       "\\newpage\n",
       "\\end{document}\n"},
      {"page break with contents and title",
       [](document_options& o) {
         o.page_break = true;
         o.contents = true;
         o.title = "T";
       },
       article_start + "\\title{T}\n"
                       "\\author{}\n"
                       "\\maketitle\n"
                       "\\newpage\n"
                       "\\tableofcontents \n"
                       "\\newpage\n",
       "\\end{document}\n"},
      {"header and footer unchanged, no line break added",
       [](document_options& o) {
         o.header = "\\large{}%&";
         o.footer = "\\vfill_";
       },
       article_start + "\\large{}%&", "\\vfill_\\end{document}\n"},
      {"header comes before the title block, after an empty title it may "
       "replace",
       [](document_options& o) {
         o.header = "\\title{H}\n";
         o.author = "A";
       },
       article_start + "\\title{}\n"
                       "\\title{H}\n"
                       "\\author{A}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      {"style options written unchanged",
       [](document_options& o) { o.style = "[11pt]{article}"; },
       "\\documentstyle[11pt]{article}\n"
       "\\begin{document}\n",
       "\\end{document}\n"},
  };
  for (const frame_case& c : cases) {
    SCOPED_TRACE(c.name);
    document_options options;
    c.set(options);
    byte_sink preamble;
    write_frame_preamble(preamble, options);
    EXPECT_EQ(preamble.contents(), banner + c.preamble);
    byte_sink closing;
    write_frame_closing(closing, options);
    EXPECT_EQ(closing.contents(), c.closing);
  }
}

}  // namespace
}  // namespace tagweave
