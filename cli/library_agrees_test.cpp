// The example program of examples/library, built on the public header only,
// against the tagweave command: the same input and title give the same bytes.
#include "testing/run_program.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tagweave {
namespace {

using namespace std::string_literals;

std::string read_example(const std::string& name) {
  std::ifstream in(std::string(TAGWEAVE_EXAMPLES_DIR) + "/" + name,
                   std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(LibraryExample, GivesTheBytesOfTheCommandLine) {
  const std::vector<std::string> inputs = {
      read_example("demo.html"),
      read_example("short.html"),
      "<pre>\na\n\n\nb</pre>",  // loading folds the blank lines either way
      "x\r\r\n\0y <i"s,         // NUL dropped; an unterminated tag
      "",
  };
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input.substr(0, 40));
    testing::program_run command = testing::run_program(
        {.program = TAGWEAVE_BIN, .args = {"-t", "T", "-"}, .input = input});
    testing::program_run library = testing::run_program(
        {.program = TAGWEAVE_EXAMPLE_BIN, .args = {"T"}, .input = input});
    EXPECT_EQ(library.out, command.out);
    EXPECT_EQ(library.status, command.status);
  }
}

}  // namespace
}  // namespace tagweave
