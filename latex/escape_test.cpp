#include "latex/escape.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tagweave {
namespace {

std::string escaped(std::string_view text) {
  byte_sink sink;
  write_escaped(sink, text);
  return sink.contents();
}

TEST(WriteEscaped, ReplacesTheSpecialCharacters) {
  struct escape_case {
    std::string text;
    std::string expected;
  };
  const std::vector<escape_case> cases = {
      {"", ""},
      {"plain text", "plain text"},
      {"\\", "$\\backslash$"},
      {"\\\\", "$\\backslash$$\\backslash$"},
      {"^^", "\\^{}\\^{}"},
      {"%_", "\\%\\_"},
      {"<>", "$<$$>$"},
      {"~", "\\~{}"},
      // The tilde gets its braces, or it would accent the next character.
      {"a~b", "a\\~{}b"},
      {"x~}", "x\\~{}\\}"},
      {"#$%&_{}", "\\#\\$\\%\\&\\_\\{\\}"},
      {"x < y & z", "x $<$ y \\& z"},
      {"AT&T", "AT\\&T"},
      {"100%", "100\\%"},
      {"{a}", "\\{a\\}"},
      {"c:\\dir\\f_1", "c:$\\backslash$dir$\\backslash$f\\_1"},
      // Everything else passes unchanged, line structure included.
      {"\"'`-|[]@!?*+=/:;,.()", "\"'`-|[]@!?*+=/:;,.()"},
      {"a\nb\r\n\tc", "a\nb\r\n\tc"},
      {"\x01\x1f\x7f", "\x01\x1f\x7f"},
      {"caf\xc3\xa9 \xe9\xff\x80", "caf\xc3\xa9 \xe9\xff\x80"},
  };
  for (const escape_case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(escaped(c.text), c.expected);
  }
}

TEST(WriteEscaped, EveryByteAloneAndBetweenLetters) {
  const std::map<char, std::string> special = {
      {'#', "\\#"},   {'$', "\\$"},
      {'%', "\\%"},   {'&', "\\&"},
      {'_', "\\_"},   {'{', "\\{"},
      {'}', "\\}"},   {'~', "\\~{}"},
      {'^', "\\^{}"}, {'\\', "$\\backslash$"},
      {'<', "$<$"},   {'>', "$>$"},
  };
  for (int value = 0; value < 256; ++value) {
    char byte = static_cast<char>(value);
    SCOPED_TRACE(value);
    auto found = special.find(byte);
    std::string expected =
        found == special.end() ? std::string(1, byte) : found->second;
    EXPECT_EQ(escaped(std::string_view(&byte, 1)), expected);
    EXPECT_EQ(escaped("ab" + std::string(1, byte) + "cd"),
              "ab" + expected + "cd");
  }
}

}  // namespace
}  // namespace tagweave
