#include "early/reader/line_ends.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tagweave {
namespace {

using namespace std::string_literals;

struct fold_case {
  std::vector<std::string> chunks;  // handed to one folder in turn
  std::string expected;
};

std::string describe(const std::vector<std::string>& chunks) {
  std::string text;
  for (const std::string& chunk : chunks) {
    text += '[';
    for (char c : chunk) {
      switch (c) {
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\0': text += "\\0"; break;
        default: text += c;
      }
    }
    text += ']';
  }
  return text;
}

TEST(LineEndFolder, FoldsRunsOfTheSameLineEndAndDropsNuls) {
  const std::vector<fold_case> cases = {
      {{""}, ""},
      {{"x\n\n\ny"}, "x\ny"},
      {{"\n\n"}, "\n"},
      {{"a\r\r\rb"}, "a\rb"},
      // Alternating line ends are not runs of the same character.
      {{"a\r\n\r\nb"}, "a\r\n\r\nb"},
      {{"a\n\r\r\n\nb"}, "a\n\r\nb"},
      {{"a\n\r\n\r\n\nb"}, "a\n\r\n\r\nb"},
      // Only line ends fold.
      {{"  \t\taabb\xff\xff"}, "  \t\taabb\xff\xff"},
      {{"caf\xc3\xa9\n"}, "caf\xc3\xa9\n"},
      {{"\x01\x01\x0b\x0b\x0c\x0c"}, "\x01\x01\x0b\x0b\x0c\x0c"},
      {{"\n\x0b\n\r\x0c\r"}, "\n\x0b\n\r\x0c\r"},
      // A NUL is dropped, but it is the last character read, so the line
      // feed after it does not repeat the one before it.
      {{"\n\0\n"s}, "\n\n"},
      {{"\r\0\r"s}, "\r\r"},
      {{"a\0\0b"s}, "ab"},
      {{"\0"s}, ""},
      {{"\n\0\n\n\0"s}, "\n\n"},
      // A dropped line end is still the last character read.
      {{"\n\n\0\n"s}, "\n\n"},
      // Folding carries across chunks, empty ones included.
      {{"\n", "\n"}, "\n"},
      {{"a\r", "", "\r\nb"}, "a\r\nb"},
      {{"a\n", "\n", "\n", "b"}, "a\nb"},
      {{"\n", "\0"s, "\n"}, "\n\n"},
      {{"x\r", "\n"}, "x\r\n"},
  };
  for (const fold_case& c : cases) {
    SCOPED_TRACE(describe(c.chunks));
    std::string text;
    line_end_folder folder;
    for (const std::string& chunk : c.chunks) folder.append(text, chunk);
    EXPECT_EQ(text, c.expected);
  }
}

TEST(LineEndFolder, KeepsWhatTheTextAlreadyHolds) {
  std::string text = "kept\n";
  line_end_folder folder;
  // A fresh folder has read nothing yet: its first line feed is kept even
  // though the text before it ends with one.
  folder.append(text, "\nmore");
  EXPECT_EQ(text, "kept\n\nmore");
}

/// The loading rules one byte at a time, as plainly as they can be written.
std::string fold_byte_by_byte(std::string_view text) {
  std::string out;
  int previous = -1;
  for (char c : text) {
    int byte = static_cast<unsigned char>(c);
    bool repeated = byte == previous && (c == '\n' || c == '\r');
    previous = byte;
    if (!repeated && c != '\0') out += c;
  }
  return out;
}

// The folder skips ordinary bytes sixteen at a time: a byte to fold must be
// found at every offset within a block, after bytes above 127 too, and
// nothing else may stop the skip.
TEST(FoldLineEnds, FindsEveryByteToFoldWhereverItStandsInABlock) {
  const std::vector<std::string> pieces = {
      "\n\n", "\r\r", "\0"s, "\n\0\n"s, "\n", "\r\n\r\n", "\x0e\x0c\x0d\x0d"};
  const std::vector<std::string> fillers = {"x", "\xe9", "\x80\xff", "\x0e"};
  for (const std::string& piece : pieces) {
    for (const std::string& filler : fillers) {
      for (std::size_t offset = 0; offset < 20; ++offset) {
        std::string text;
        for (std::size_t i = 0; i < offset; ++i) text += filler;
        text += piece;
        for (std::size_t i = 0; i < 9; ++i) text += filler;
        text += piece + "end";
        SCOPED_TRACE(testing::quoted(text));
        EXPECT_EQ(fold_line_ends(text), fold_byte_by_byte(text));
      }
    }
  }
}

TEST(FoldLineEnds, IsTheFolderOverTheWholeText) {
  EXPECT_EQ(fold_line_ends("a\n\n\nb\r\r\rc\r\n\r\nd\0e\n\0\nf\n"s),
            "a\nb\rc\r\n\r\nde\n\nf\n");
  EXPECT_EQ(fold_line_ends(""), "");
}

}  // namespace
}  // namespace tagweave
