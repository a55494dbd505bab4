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

const std::string_view dump_usage =
    "usage: tagweave-dump FILE\n"
    "       tagweave-dump --html5-tokens [--state NAME] [--last-start-tag TAG] "
    "FILE\n"
    "       tagweave-dump --html5-tree [--encoding LABEL] FILE\n"
    "FILE may be - for standard input.\n";

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

struct html5_dump_case {
  const char* what = "";
  std::vector<std::string> args{};  // before the file name "-"
  std::string input{};              // standard input
  std::string out{};
  std::string err{};
  int status = 0;
};

void run_html5_cases(const std::vector<html5_dump_case>& cases) {
  for (const html5_dump_case& c : cases) {
    SCOPED_TRACE(c.what);
    program_call call;
    call.program = TAGWEAVE_DUMP_BIN;
    call.argv0 = "tagweave-dump";
    call.args = c.args;
    call.args.push_back("-");
    call.input = c.input;
    program_run got = testing::run_program(call);
    EXPECT_EQ(got.out, c.out);
    EXPECT_EQ(got.err, c.err);
    EXPECT_EQ(got.status, c.status);
  }
}

TEST(DumpProgram, Html5TokensOnePerLine) {
  run_html5_cases({
      {"data state",
       {"--html5-tokens"},
       "<!DOCTYPE html><p class=x id='y'>a &amp; b<br/><!--c--></p>",
       "[\"DOCTYPE\", \"html\", null, null, true]\n"
       "[\"StartTag\", \"p\", {\"class\": \"x\", \"id\": \"y\"}]\n"
       "[\"Character\", \"a & b\"]\n"
       "[\"StartTag\", \"br\", {}, true]\n"
       "[\"Comment\", \"c\"]\n"
       "[\"EndTag\", \"p\"]\n"},
      {"RCDATA with the last start tag",
       {"--html5-tokens", "--state", "RCDATA state", "--last-start-tag",
        "title"},
       "a<b>&lt;</title>z",
       "[\"Character\", \"a<b><\"]\n"
       "[\"EndTag\", \"title\"]\n"
       "[\"Character\", \"z\"]\n"},
      {"the bytes are read as UTF-8, CR LF as LF",
       {"--html5-tokens"},
       "caf\xc3\xa9\r\n\xff",
       "[\"Character\", \"caf\xc3\xa9\\n\xef\xbf\xbd\"]\n"},
      {"unknown state",
       {"--html5-tokens", "--state", "Bogus state"},
       "",
       "",
       "unknown tokenizer state Bogus state.\n" + std::string(dump_usage),
       1},
  });
}

TEST(DumpProgram, Html5TreeWithEncoding) {
  const std::string latin1_page = "<p>caf\xe9";
  const std::string tree_of_cafe =
      "| <html>\n|   <head>\n|   <body>\n|     <p>\n|       \"caf\xc3\xa9\"\n";
  run_html5_cases({
      {"the tree",
       {"--html5-tree"},
       "<title>x</title><p>a<b>c</p>d",
       "| <html>\n|   <head>\n|     <title>\n|       \"x\"\n|   <body>\n"
       "|     <p>\n|       \"a\"\n|       <b>\n|         \"c\"\n"
       "|     <b>\n|       \"d\"\n"},
      {"a declared encoding",
       {"--html5-tree"},
       "<meta charset=latin1>" + latin1_page,
       "| <html>\n|   <head>\n|     <meta>\n|       charset=\"latin1\"\n"
       "|   <body>\n|     <p>\n|       \"caf\xc3\xa9\"\n"},
      {"--encoding overrides sniffing",
       {"--html5-tree", "--encoding", "windows-1252"},
       latin1_page,
       tree_of_cafe},
      {"an encoding that is not supported is read as UTF-8",
       {"--html5-tree", "--encoding", "shift_jis"},
       "<p>caf\xc3\xa9",
       tree_of_cafe,
       "encoding Shift_JIS is not supported: read as UTF-8.\n"},
      {"an unknown label",
       {"--html5-tree", "--encoding", "klingon"},
       "<p>x",
       "",
       "unknown encoding klingon.\n",
       1},
  });
}

TEST(DumpProgram, UnusableCommandLines) {
  run_html5_cases({
      {"two files", {"extra"}, "", "", std::string(dump_usage), 1},
      {"unknown option",
       {"--html6"},
       "",
       "",
       "tagweave-dump: unrecognized option '--html6'\n" +
           std::string(dump_usage),
       1},
  });
}

}  // namespace
}  // namespace tagweave
