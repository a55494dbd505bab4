#include "latex/frame.h"

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
  std::function<void(RunOptions&)> set;
  std::string preamble;  // after the banner
  std::string closing;
};

TEST(WriteFrame, PreambleAndClosingFollowTheOptions) {
  const std::vector<frame_case> cases = {
      {"no options", [](RunOptions&) {}, article_start, "\\end{document}\n"},
      {"title with an ampersand",
       [](RunOptions& o) {
         o.have_title = true;
         o.title_text = "Q&A";
       },
       article_start + "\\title{Q\\&A}\n"
                       "\\author{}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      {"an empty title still makes a title block",
       [](RunOptions& o) { o.have_title = true; },
       article_start + "\\title{}\n"
                       "\\author{}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      // \maketitle needs a title: "No \title given" otherwise.
      {"author without a title gets an empty title",
       [](RunOptions& o) {
         o.have_author = true;
         o.author_text = "J. ~Doe";
       },
       article_start + "\\title{}\n"
                       "\\author{J. \\~{}Doe}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      // \author is not \long, \title is: only the author loses blank lines.
      {"blank lines in the author are closed up, in the title kept",
       [](RunOptions& o) {
         o.have_title = true;
         o.title_text = "T\n\nU";
         o.have_author = true;
         o.author_text = "A\n \nB\r\n\r\nC";
       },
       article_start + "\\title{T\n\nU}\n"
                       "\\author{A\n B\r\nC}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      {"page break alone", [](RunOptions& o) { o.page_break = true; },
       article_start, "\\end{document}\n"},
      {"contents without page break", [](RunOptions& o) { o.want_toc = true; },
       article_start + "\\tableofcontents \n", "\\end{document}\n"},
      {"page break with contents",
       [](RunOptions& o) {
         o.page_break = true;
         o.want_toc = true;
       },
       article_start + "\\tableofcontents \n"
                       "\\newpage\n",
       "\\end{document}\n"},
      {"page break with contents and title",
       [](RunOptions& o) {
         o.page_break = true;
         o.want_toc = true;
         o.have_title = true;
         o.title_text = "T";
       },
       article_start + "\\title{T}\n"
                       "\\author{}\n"
                       "\\maketitle\n"
                       "\\newpage\n"
                       "\\tableofcontents \n"
                       "\\newpage\n",
       "\\end{document}\n"},
      {"header and footer unchanged, no line break added",
       [](RunOptions& o) {
         o.have_header = true;
         o.header_text = "\\large{}%&";
         o.have_footer = true;
         o.footer_text = "\\vfill_";
       },
       article_start + "\\large{}%&", "\\vfill_\\end{document}\n"},
      {"header comes before the title block, after an empty title it may "
       "replace",
       [](RunOptions& o) {
         o.have_header = true;
         o.header_text = "\\title{H}\n";
         o.have_author = true;
         o.author_text = "A";
       },
       article_start + "\\title{}\n"
                       "\\title{H}\n"
                       "\\author{A}\n"
                       "\\maketitle\n",
       "\\end{document}\n"},
      {"style options written unchanged",
       [](RunOptions& o) {
         o.have_style = true;
         o.style_options = "[11pt]{article}";
       },
       "\\documentstyle[11pt]{article}\n"
       "\\begin{document}\n",
       "\\end{document}\n"},
      {"strings without their flags are not written",
       [](RunOptions& o) {
         o.title_text = "T";
         o.author_text = "A";
         o.header_text = "H";
         o.footer_text = "F";
         o.style_options = "[x]{y}";
       },
       article_start, "\\end{document}\n"},
  };
  for (const frame_case& c : cases) {
    SCOPED_TRACE(c.name);
    RunOptions options;
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
