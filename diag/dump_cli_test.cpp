// End-to-end runs of the built tagweave-dump: standard output, standard
// error and exit status, byte for byte.
#include "testing/run_program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tagweave {
namespace {

using testing::program_call;
using testing::program_run;
using testing::temp_dir;

std::string run(const std::string& text) {
  return "M_NONE START\n{\n\t" + text + "}\n";
}

struct dump_cli_case {
  const char* what;
  std::string document;  // in page.html, or on standard input for "-"
  std::string argument;
  std::string out;
  std::string err;
  int status;
};

TEST(DumpProgram, PrintsTheSplitDocument) {
  const std::string page = "<title>Demo</title>\n<h1>Intro</h1>\n<p>x &lt; y\n";
  const std::string page_dump = "M_TITLE START\n" + run("Demo") +
                                "M_TITLE END\n" + "M_HEADER_1 START\n" +
                                run("Intro") + "M_HEADER_1 END\n" +
                                "M_PARAGRAPH START\n" + run("x < y\n");
  const std::vector<dump_cli_case> cases = {
      {"named file", page, "page.html", page_dump, "", 0},
      {"standard input", page, "-", page_dump, "", 0},
      {"empty file", "", "page.html", "", "", 0},
      // Loading folds runs of the same line-end character.
      {"line ends folded", "x\n\n\ny\r\r<pre>\n\nz</pre>", "page.html",
       run("x\ny\r") + "UNKNOWN 18 START\n" + run("z") + "UNKNOWN 18 END\n", "",
       0},
      {"line ends folded on standard input", "a\n\n\n<b>x</b>", "-",
       run("a\n") + "UNKNOWN 28 START\n" + run("x") + "UNKNOWN 28 END\n", "",
       0},
      {"plain text to the end", "<plaintext>\n<b>&lt;", "-",
       "UNKNOWN 19 START\n" + run("<b>&lt;"), "", 0},
      // What was read before an unclosed tag is still shown.
      {"unclosed tag", "ab <i", "page.html", run("ab "),
       "error parsing mark, bailing out\n", 1},
      {"unclosed tag on standard input", "<p>x<!y", "-",
       "M_PARAGRAPH START\n" + run("x"), "error parsing mark, bailing out\n",
       1},
  };
  for (const dump_cli_case& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir dir;
    program_call call;
    call.program = TAGWEAVE_DUMP_BIN;
    call.args = {c.argument};
    call.directory = dir.path();
    if (c.argument == "-") {
      call.input = c.document;
    } else {
      dir.write(c.argument, c.document);
    }
    program_run got = testing::run_program(call);
    EXPECT_EQ(got.out, c.out);
    EXPECT_EQ(got.err, c.err);
    EXPECT_EQ(got.status, c.status);
  }
}

TEST(DumpProgram, FailsWithoutAReadableFile) {
  temp_dir dir;
  program_call call;
  call.program = TAGWEAVE_DUMP_BIN;
  call.directory = dir.path();

  call.args = {"missing.html"};
  program_run got = testing::run_program(call);
  EXPECT_EQ(got.out, "");
  EXPECT_NE(got.err.find("missing.html"), std::string::npos) << got.err;
  EXPECT_EQ(got.status, 1);

  call.args = {};
  got = testing::run_program(call);
  EXPECT_EQ(got.out, "");
  EXPECT_NE(got.err, "");
  EXPECT_EQ(got.status, 1);
}

}  // namespace
}  // namespace tagweave
